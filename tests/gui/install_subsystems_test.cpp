// Start-up of the whole program: every save-file section has an owner, and
// the empty forms stand only for subsystems that install no section of
// their own; every command word of every level can be typed and runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/command.h"
#include "base/command_table.h"
#include "base/linklist.h"
#include "generate/cmd_generate.h"
#include "gui/install_subsystems.h"
#include "model/model.h"
#include "model/model_interpreter.h"
#include "support/fake_device.h"
#include "support/interp_fixture.h"
#include "support/memory_stream.h"
#include "zolt/zolt_interpreter.h"

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

const CommandTableBase* TableNamed(const char* name) {
  for (const CommandTableBase* table : AllCommandTables())
    if (std::strcmp(table->Name(), name) == 0) return table;
  return nullptr;
}

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
        const std::string earlier = Lower(table->Word(j));
        EXPECT_NE(earlier.rfind(Lower(word), 0), 0u)
            << table->Name() << ": \"" << word << "\" selects \"" << earlier << "\"";
      }
    }
  }
}

// The tables the program is made of are all walked above (a table left out
// of the link would escape the check). A command line goes through the
// levels in the order model, general, scripting, and so do PRINT's and SET's items: a
// word of a later level, typed in full, is never taken by a different word
// of an earlier one. (A word in both levels is the earlier level handing it
// down.)
TEST(InstallSubsystemsTest, EveryLevelsWordsReachTheirLevel) {
  ZoltInterpreter zolt;  // links the scripting level's tables, as the program does
  std::set<std::string> names;
  for (const CommandTableBase* table : AllCommandTables()) names.insert(table->Name());
  for (const char* name : {"general", "general set", "general print", "model", "model set", "model print", "generate",
                           "zolt", "print zolt"})
    EXPECT_EQ(names.count(name), 1u) << name;

  const std::vector<std::vector<const char*>> chains = {
      {"model", "general", "zolt"}, {"model print", "general print", "print zolt"}, {"model set", "general set"}};
  for (const auto& chain : chains) {
    for (size_t later = 1; later < chain.size(); ++later) {
      const CommandTableBase* table = TableNamed(chain[later]);
      ASSERT_NE(table, nullptr) << chain[later];
      for (int i = 1; i <= table->Count(); ++i) {
        const std::string typed = Lower(table->Word(i));
        for (size_t before = 0; before < later; ++before) {
          const CommandTableBase* earlier = TableNamed(chain[before]);
          ASSERT_NE(earlier, nullptr) << chain[before];
          for (int j = 1; j <= earlier->Count(); ++j) {
            const std::string word = Lower(earlier->Word(j));
            EXPECT_FALSE(word != typed && word.rfind(typed, 0) == 0)
                << chain[later] << " \"" << typed << "\" is taken by " << chain[before] << " \"" << word << "\"";
          }
        }
      }
    }
  }
}

// A subsystem that installs a word its level's table lacks stops the
// program at start-up with the word named, whichever level it is.
TEST(InstallSubsystemsTest, InstallingAWordNoTableHasFailsAtStartUp) {
  Model model;
  ModelScope scope(model);
  auto handler = [](ModelInterpreter&) {};
  try {
    InstallModelCommand("stepp", handler);
    ADD_FAILURE() << "a model word not in the table was installed";
  } catch (const std::logic_error& e) {
    EXPECT_NE(std::string(e.what()).find("\"stepp\""), std::string::npos) << e.what();
  }
  EXPECT_THROW(InstallModelPrint("stepp", handler), std::logic_error);
  EXPECT_THROW(InstallGenerateSubCommand("stepp", handler), std::logic_error);
  EXPECT_THROW(InstallGuiSetHandler("plott", [](CommandType&) { return 0; }), std::logic_error);
  // A word whose subsystem is not built yet cannot take a handler either.
  EXPECT_THROW(InstallModelCommand("movie", handler), std::logic_error);
}

// Saved after the interpreter's own state and its check value: every section
// in the table's order, each the bytes its owner writes and then the check
// value, on a model with something in the sections of every built subsystem.
TEST(InstallSubsystemsTest, EverySectionInOrderFollowedByTheCheckValue) {
  FakeDevice device;
  MacroTable macros;
  ModelInterpreter interp(&macros, &device);
  InstallSubsystems(interp.TheModel());
  RunLines(interp, device,
           {"gen zone brick size 2 2 2", "gen zone brick size 1 1 1 p0 0 0 2 nomerge", "model elastic",
            "prop bulk 5e7 shear 3e7 density 2000", "group soil range z 0 1", "set gravity 0 0 -10",
            "fix z range z -0.1 0.1", "apply xforce 1 range x 1.9 2.1", "attach face nosnap",
            "interface 1 face range z 1.9 2.1", "water density 1000 table origin 0 0 1 normal 0 0 -1",
            "range name top z 1.9 2.1", "step 2"});
  ASSERT_EQ(device.output.find("***"), std::string::npos) << device.output;
  NumberAllLists();
  MemoryStream file;
  interp.SaveState(file);

  const std::string check(reinterpret_cast<const char*>(&kSaveCheckValue), 4);
  std::string sections;
  for (const SaveSection& section : interp.TheModel().Sections().List()) {
    MemoryStream own;
    section.save(own);
    sections += own.bytes + check;
  }
  ASSERT_GT(file.bytes.size(), sections.size() + 4);
  const size_t start = file.bytes.size() - sections.size();
  EXPECT_EQ(file.bytes.substr(start - 4, 4), check) << "after the interpreter state";
  EXPECT_TRUE(file.bytes.compare(start, std::string::npos, sections) == 0);
}

}  // namespace
