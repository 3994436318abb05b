#include "base/keyword_table.h"

#include <cstring>

namespace {
// Calls `visit` with each keyword and its number until it answers true.
template <class Visit>
void ForEachKeyword(const char* list, Visit visit) {
  const char* p = list;
  int n = 0;
  while (p && *p) {
    while (*p == ' ') ++p;
    if (!*p) break;
    const char* e = std::strchr(p, ' ');
    if (!e) e = p + std::strlen(p);
    if (visit(++n, p, static_cast<size_t>(e - p))) return;
    p = e;
  }
}
}  // namespace

String KeywordAt(const char* list, int number) {
  String found;
  ForEachKeyword(list, [&](int n, const char* word, size_t length) {
    if (n != number) return false;
    found = String(word, static_cast<int>(length));
    return true;
  });
  return found;
}

int KeywordNumber(const char* list, const char* keyword) {
  int found = 0;
  const size_t want = std::strlen(keyword);
  ForEachKeyword(list, [&](int n, const char* word, size_t length) {
    if (length != want || std::strncmp(word, keyword, length) != 0) return false;
    found = n;
    return true;
  });
  return found;
}

int KeywordCount(const char* list) {
  int count = 0;
  ForEachKeyword(list, [&](int n, const char*, size_t) {
    count = n;
    return false;
  });
  return count;
}
