// Start-up of the whole program: every save-file section has an owner, and
// the empty forms stand only for subsystems that install no section of
// their own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "base/command_table.h"
#include "gui/install_subsystems.h"
#include "model/model.h"

namespace {

TEST(InstallSubsystemsTest, EverySectionHasAnOwner) {
  Model model;
  InstallSubsystems(model);
  for (const SaveSection& section : model.Sections().List()) {
    EXPECT_NE(section.save, nullptr) << section.name;
    EXPECT_NE(section.restore, nullptr) << section.name;
  }
}

TEST(InstallSubsystemsTest, NoEmptyFormStandsForABuiltSubsystem) {
  Model model;
  InstallBuiltSubsystems(model);
  for (const char* name : AbsentSectionNames()) {
    const SaveSection* section = model.Sections().Find(name);
    ASSERT_NE(section, nullptr) << name;
    EXPECT_EQ(section->save, nullptr) << name << " is installed by its subsystem: its empty form must go";
  }
}

// Every word of every level's table runs a handler or answers that it is not
// available in this version, and each word typed in full selects itself:
// no word before it in its table begins with it.
TEST(InstallSubsystemsTest, EveryCommandWordHasAHandlerAndCanBeTyped) {
  Model model;
  InstallSubsystems(model);
  ASSERT_FALSE(AllCommandTables().empty());
  for (const CommandTableBase* table : AllCommandTables()) {
    for (int i = 1; i <= table->Count(); ++i) {
      const std::string word = table->Word(i);
      EXPECT_TRUE(table->HasHandler(i) != !table->Available(i))
          << table->Name() << " " << word << (table->Available(i) ? ": no handler" : ": a handler though not available");
      for (int j = 1; j < i; ++j) {
        std::string earlier = table->Word(j);
        std::transform(earlier.begin(), earlier.end(), earlier.begin(), ::tolower);
        std::string typed = word;
        std::transform(typed.begin(), typed.end(), typed.begin(), ::tolower);
        EXPECT_NE(earlier.rfind(typed, 0), 0u) << table->Name() << ": \"" << word << "\" selects \"" << earlier << "\"";
      }
    }
  }
}

}  // namespace
