#include "base/except.h"

#include <cstring>

#include "platform/os_services.h"

KWRExcept::KWRExcept(const char* text, bool fatal)
    : text_(text ? text : "Unknown exception"), fatal_(text ? fatal : true) {
  if (text_.size() > kMaxText) text_.resize(kMaxText);
}

namespace {
String WinExceptText(uint32_t code, uint32_t line, const char* file) {
  String box(file ? file : "");
  if (line != 0xFFFFFFFFu && code != 0xFFFFFFFFu) {
    box += "  Line: ";
    box += UIntToString(line);
    box += "\n Error is:  ";
    box += std::strerror(static_cast<int>(code));
  }
  return box;
}
}  // namespace

WinExcept::WinExcept(uint32_t errorCode, uint32_t line, const char* file)
    : KWRExcept(nullptr), code_(errorCode), line_(line) {
  ShowFatalError(WinExceptText(errorCode, line, file).c_str());
}

const char* OnOffText(bool flag) { return flag ? "On" : "Off"; }
const char* YesNoText(bool flag) { return flag ? "Yes" : "No"; }
