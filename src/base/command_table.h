// The words of one level of the interpreter (or of one of its commands'
// items and sub-commands) as data: each word in full, in the order that
// decides abbreviations (a typed word selects the first word of which it is
// a leading part), with its handler beside it. A level below the subsystem
// that owns a word leaves its handler for that subsystem to install at
// start-up; a word whose subsystem is not built yet is marked so and
// answers "<WORD> is not available in this version".
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "base/string.h"

// What every table shows to the check of all tables.
class CommandTableBase {
 public:
  explicit CommandTableBase(const char* name);
  virtual ~CommandTableBase();
  CommandTableBase(const CommandTableBase&) = delete;
  CommandTableBase& operator=(const CommandTableBase&) = delete;

  const char* Name() const { return name_; }
  // The words blank-separated, as the keyword matcher and the help take them.
  const char* Keywords() const { return keywords_.c_str(); }
  int Count() const { return static_cast<int>(words_.size()); }
  // 1-based, in the table's order.
  const char* Word(int number) const { return words_[static_cast<size_t>(number - 1)]; }
  // The word upper-cased, for messages.
  String UpperName(int number) const;
  virtual bool HasHandler(int number) const = 0;
  virtual bool Available(int number) const = 0;

 protected:
  void AddWord(const char* word);
  int NumberOf(const char* word) const;

 private:
  const char* name_;
  std::vector<const char*> words_;
  std::string keywords_;
};

// Every table of the program, for the check that walks them.
const std::vector<const CommandTableBase*>& AllCommandTables();

// Marks a word whose subsystem is not built yet.
struct NotAvailable {};
inline constexpr NotAvailable kNotAvailable{};

template <class Handler>
class CommandTable : public CommandTableBase {
 public:
  struct Entry {
    Entry(const char* w, Handler h = nullptr) : word(w), handler(h) {}
    Entry(const char* w, NotAvailable) : word(w), available(false) {}
    const char* word;
    Handler handler = nullptr;  // null: a subsystem above installs it
    bool available = true;
  };

  CommandTable(const char* name, std::initializer_list<Entry> entries) : CommandTableBase(name), entries_(entries) {
    for (const Entry& e : entries_) AddWord(e.word);
  }

  // A subsystem's handler of its word. A word that is not in the table, or
  // one marked not available in this version, is a programming error.
  void Install(const char* word, Handler handler);

  // The handler of the word with that number; null when none is installed.
  Handler HandlerOf(int number) const { return entries_[static_cast<size_t>(number - 1)].handler; }
  // The handler of a word given in full; null when it has none or is not there.
  Handler HandlerOf(const char* word) const {
    const int number = NumberOf(word);
    return number ? HandlerOf(number) : nullptr;
  }
  bool HasHandler(int number) const override { return HandlerOf(number) != nullptr; }
  bool Available(int number) const override { return entries_[static_cast<size_t>(number - 1)].available; }

 private:
  std::vector<Entry> entries_;
};

// Throws the logic error of an installation that no table can take.
[[noreturn]] void RefuseInstall(const char* table, const char* word, const char* why);

template <class Handler>
void CommandTable<Handler>::Install(const char* word, Handler handler) {
  const int number = NumberOf(word);
  if (number == 0) RefuseInstall(Name(), word, "is not one of its words");
  Entry& entry = entries_[static_cast<size_t>(number - 1)];
  if (!entry.available) RefuseInstall(Name(), word, "is marked not available in this version");
  entry.handler = handler;
}
