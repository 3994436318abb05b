#include "base/ask.h"

#include <cerrno>
#include <cstdlib>

#include "base/app.h"
#include "base/command.h"
#include "base/stream.h"
#include "platform/console_device.h"

namespace {

ConsoleStream* MainConsole() {
  auto* app = dynamic_cast<GuiApplication*>(TheApplication());
  return app ? app->Interpreter() : nullptr;
}

// A whole number in the range of int32, blanks around it allowed.
bool ParseInteger(const String& text, int32_t* out) {
  const char* s = text.c_str();
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(s, &end, 10);
  if (end == s || errno == ERANGE || v < INT32_MIN || v > INT32_MAX) return false;
  while (*end == ' ' || *end == '\t' || *end == '\r' || *end == '\n') ++end;
  if (*end) return false;
  *out = static_cast<int32_t>(v);
  return true;
}

bool IsBlank(const String& text) {
  for (const char* s = text.c_str(); *s; ++s)
    if (*s != ' ' && *s != '\t' && *s != '\r' && *s != '\n') return false;
  return true;
}

}  // namespace

bool AskInteger(int32_t* value, const String& title, int32_t minimum, int32_t maximum, ConsoleStream* parent) {
  ConsoleStream* stream = parent ? parent : MainConsole();
  if (!value || !stream || !stream->Device() || !stream->Device()->IsTerminal()) return false;
  ConsoleStream& out = *stream;
  out << title << "\n";
  for (;;) {
    const String offered = IntToString(*value);
    const String prompt = "Value (" + IntToString(minimum) + " to " + IntToString(maximum) + ") [" + offered + "]: ";
    String line;
    if (!out.ReadInput(line, prompt.c_str(), offered.c_str())) return false;
    int32_t typed = *value;
    if (!IsBlank(line) && !ParseInteger(line, &typed)) {
      out << "*** Please type a whole number.\n";
      continue;
    }
    *value = typed;
    if (typed >= minimum && typed <= maximum) return true;
    out << "*** The value must lie between " << IntToString(minimum) << " and " << IntToString(maximum) << ".\n";
  }
}
