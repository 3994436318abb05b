// Keyword lists as data: the words of a blank-separated list by number, and
// tables of handlers that subsystems install by keyword at start-up.
#pragma once

#include <vector>

#include "base/string.h"

// The keyword with the given 1-based number; empty when there is none.
String KeywordAt(const char* list, int number);
// The 1-based number of a keyword given in full; 0 when the list lacks it.
int KeywordNumber(const char* list, const char* keyword);
// The number of keywords in the list.
int KeywordCount(const char* list);

// One handler slot per keyword of a list, empty until installed.
template <class Handler>
class KeywordHandlers {
 public:
  explicit KeywordHandlers(const char* list)
      : list_(list), handlers_(static_cast<size_t>(KeywordCount(list)) + 1, nullptr) {}

  // Installs the handler of a keyword given in full; unknown keywords are ignored.
  void Install(const char* keyword, Handler handler) {
    if (int n = KeywordNumber(list_, keyword)) handlers_[static_cast<size_t>(n)] = handler;
  }
  // The handler of the keyword with that number, or null.
  Handler Find(int number) const {
    return number > 0 && static_cast<size_t>(number) < handlers_.size() ? handlers_[static_cast<size_t>(number)]
                                                                         : nullptr;
  }
  // The keyword with that number, upper-cased for messages.
  String UpperName(int number) const {
    String name = KeywordAt(list_, number);
    name.ToUpper();
    return name;
  }
  const char* List() const { return list_; }

 private:
  const char* list_;
  std::vector<Handler> handlers_;
};
