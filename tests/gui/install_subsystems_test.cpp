// Start-up of the whole program: every save-file section has an owner, and
// the empty forms stand only for subsystems that install no section of
// their own.
#include <gtest/gtest.h>

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

}  // namespace
