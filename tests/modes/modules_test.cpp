// The module kinds of the coupled modes as CONFIG and RESTORE make them.
#include <gtest/gtest.h>

#include "model/calc_module.h"
#include "model/model_interpreter.h"
#include "model/model_settings.h"
#include "modes/chem_module.h"
#include "modes/install_modes.h"
#include "support/interp_fixture.h"

namespace {

class ModesTest : public ::testing::Test {
 protected:
  FakeDevice device;
  MacroTable macros;
  ModelInterpreter interp{&macros, &device};

  void SetUp() override { InstallModes(); }
};

TEST_F(ModesTest, EachKindStartsWithItsTypeCodeAndModePointer) {
  const uint8_t types[] = {CalcModule::kDynamic, CalcModule::kCreep, CalcModule::kThermal, CalcModule::kFluid,
                           CalcModule::kChemistry};
  for (uint8_t type : types) {
    std::unique_ptr<CalcModule> m = CreateModule(type);
    EXPECT_EQ(m->TypeCode(), type);
    EXPECT_EQ(ModeOf(type), m.get());
    // Chemistry starts inactive: SET chem on lets the cycle run it.
    EXPECT_EQ(m->On(), type != CalcModule::kChemistry) << int(type);
    EXPECT_EQ(m->Time(), 0.0);
    EXPECT_EQ(m->Timestep(), 0.0);
    EXPECT_EQ(m->AgeLimit(), 1e20);
    m.reset();
    EXPECT_EQ(ModeOf(type), nullptr) << int(type);
  }
}

TEST_F(ModesTest, ChemistryApplicationCannotBeReached) {
  ChemModule chem;
  EXPECT_EQ(Modes().chem, &chem);
  EXPECT_FALSE(chem.Connect());
  String path("/opt/gibbs");
  EXPECT_FALSE(chem.SetApplicationPath(&path));
  EXPECT_FALSE(chem.ReadResultFile(nullptr));
}

TEST_F(ModesTest, ConfigOfEveryModeAndChemistryFailure) {
  RunLines(interp, device, {"config dynamic creep thermal fluid chem", "set chem on"});
  EXPECT_EQ(device.Take(),
            "Terrax>config dynamic creep thermal fluid chem\n"
            "Dynamic Mode Available\nCreep Mode Available\nThermal Mode Available\nFluid Mode Available\n"
            "*** Error finding Gibbs chemistry application.\n"
            "Terrax>set chem on\n*** Not configured for chemistry calculations.\n");
  EXPECT_EQ(TheModules().Count(), 4);
  EXPECT_EQ(Modes().chem, nullptr);
}

}  // namespace
