#include "base/command_table.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace {
// Tables are built during static initialisation in any order and may
// outlive other statics: the list is made on first use and never destroyed.
std::vector<const CommandTableBase*>& Tables() {
  static auto* tables = new std::vector<const CommandTableBase*>;
  return *tables;
}
}  // namespace

CommandTableBase::CommandTableBase(const char* name) : name_(name) { Tables().push_back(this); }

CommandTableBase::~CommandTableBase() {
  auto& t = Tables();
  t.erase(std::remove(t.begin(), t.end(), this), t.end());
}

const std::vector<const CommandTableBase*>& AllCommandTables() { return Tables(); }

void CommandTableBase::AddWord(const char* word) {
  words_.push_back(word);
  if (!keywords_.empty()) keywords_ += ' ';
  keywords_ += word;
}

int CommandTableBase::NumberOf(const char* word) const {
  for (size_t i = 0; i < words_.size(); ++i)
    if (std::strcmp(words_[i], word) == 0) return static_cast<int>(i) + 1;
  return 0;
}

String CommandTableBase::UpperName(int number) const {
  String name(Word(number));
  name.ToUpper();
  return name;
}

void RefuseInstall(const char* table, const char* word, const char* why) {
  throw std::logic_error(std::string("installing \"") + word + "\" in the " + table + " table: the word " + why);
}
