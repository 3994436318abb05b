#include "base/message.h"

String MessageText(const char* text, const char* a1, const char* a2) {
  if (!text) return String();
  if (!a1 && !a2) return String(text);
  const char* args[2] = {a1, a2};
  int next = 0;
  String r;
  for (const char* p = text; *p; ++p) {
    if (*p == '%' && (p[1] == 's' || p[1] == 'S')) {
      const char* a = next < 2 ? args[next] : nullptr;
      ++next;
      if (a) r += a;
      ++p;
    } else if (*p == '%' && p[1]) {
      r += '%';
      r += p[1];
      ++p;
    } else {
      r += *p;
    }
  }
  return r;
}
