// Message texts: every message and keyword list passes through MessageText.
#pragma once

#include "base/string.h"

// Replaces each "%s" (or "%S") of the text in turn by the arguments; a
// placeholder with no argument left gives "". With no arguments the text is
// returned unchanged, placeholders included.
String MessageText(const char* text, const char* a1 = nullptr, const char* a2 = nullptr);
inline String MessageText(const char* text, const String& a1) { return MessageText(text, a1.c_str()); }
inline String MessageText(const char* text, const String& a1, const String& a2) {
  return MessageText(text, a1.c_str(), a2.c_str());
}
