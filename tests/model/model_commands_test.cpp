// CONFIG, SET and PRINT of the model level, and the model words that reach
// other subsystems through their installed handlers and services.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/calc_module.h"
#include "model/grid_commands.h"
#include "model/model_interpreter.h"
#include "model/model_settings.h"
#include "model/module_doubles.h"
#include "model/services.h"
#include "support/interp_fixture.h"
#include "support/link_doubles.h"

class ZoltSymbol {};

namespace {

std::vector<std::string>& Calls() {
  static std::vector<std::string> calls;
  return calls;
}

class ModelCommandsTest : public ::testing::Test {
 protected:
  FakeDevice device;
  MacroTable macros;
  ModelInterpreter interp{&macros, &device};

  void SetUp() override {
    InstallTestModules();
    TestChemModule::connects = false;
    Calls().clear();
  }
  void TearDown() override {
    InstallModelCommand("generate", nullptr);
    InstallModelPrint("group", &PrintGroup);
  }
  std::string Run(std::initializer_list<const char*> lines) {
    RunLines(interp, device, lines);
    return device.Take();
  }
};

TEST_F(ModelCommandsTest, ConfigCreatesEachModeOnceAndSizesExtras) {
  std::string out = Run({"config creep gwflow", "config flow creep zextra 3 gpextra 0", "config zextra -1"});
  EXPECT_EQ(out,
            "Terrax>config creep gwflow\nCreep Mode Available\nFluid Mode Available\n"
            "Terrax>config flow creep zextra 3 gpextra 0\n3 Extra variables in all zones\n"
            "0 Extra variables in all grid-points\n"
            "Terrax>config zextra -1\n*** Bad conversion parameter 2 (-1)\n");
  EXPECT_EQ(Settings().zoneExtras, 3);
  EXPECT_EQ(Settings().gpExtras, 0);
  EXPECT_EQ(TheModules().Count(), 2);
  EXPECT_TRUE(Settings().porePressure);
  EXPECT_EQ(Settings().zoneExtras, 3);
}

TEST_F(ModelCommandsTest, ChemistryNeedsFluidThermalAndTheApplication) {
  std::string out = Run({"config fluid thermal chem", "config chem"});
  EXPECT_NE(out.find("*** Error finding Gibbs chemistry application.\n"), std::string::npos);
  EXPECT_EQ(Modes().chem, nullptr);
  TestChemModule::connects = true;
  out = Run({"config chem", "set chem off", "print fluid"});
  EXPECT_EQ(out, "Terrax>config chem\nGibbs chemistry available\nTerrax>set chem off\nTerrax>print fluid\n");
  ASSERT_NE(Modes().chem, nullptr);
  EXPECT_FALSE(Modes().chem->On());
}

TEST_F(ModelCommandsTest, SetItemsChangeTheSettings) {
  Run({"set gravity 1 2", "set geometry -1", "set hist 5 pint 7 geom_rep 3 ratio max", "set large",
       "set animation on"});
  const ModelSettings& s = Settings();
  EXPECT_EQ(s.gravity[0], 1.0);  // x and y stay stored when z is missing
  EXPECT_EQ(s.gravity[1], 2.0);
  EXPECT_EQ(s.geometryRatio, 0.0);
  EXPECT_EQ(s.historyInterval, 5);
  EXPECT_EQ(s.plotInterval, 7);
  EXPECT_EQ(s.geometryInterval, 3);
  EXPECT_EQ(s.ratioType, 1);
  EXPECT_TRUE(s.largeStrain);
  EXPECT_TRUE(PlotAnimation());
  SetPlotAnimation(false);
}

TEST_F(ModelCommandsTest, LargeStrainCopiesNodePositionsOnlyWhenSwitchedOn) {
  struct Structures : StructureLink {
    void ResetNodePositions() override { Calls().push_back("nodes"); }
  } structures;
  interp.TheModel().SetStructures(&structures);
  Run({"set large", "set large", "set small", "set large"});
  interp.TheModel().SetStructures(nullptr);
  EXPECT_EQ(Calls().size(), 2u);
}

TEST_F(ModelCommandsTest, MechanicalSettings) {
  std::string out = Run({"set mech off step 100 force 2 ratio 1e-4", "set mech damp combined",
                         "set mech damp local 0.5 substep 3 on", "set mech substep 1e20"});
  const ModelSettings& s = Settings();
  EXPECT_TRUE(s.mechanical);
  EXPECT_EQ(s.stepLimit, 100);
  EXPECT_EQ(s.forceLimit, 2.0);
  EXPECT_EQ(s.ratioLimit, 1e-4);
  EXPECT_EQ(s.substepLimit, 3);
  EXPECT_FALSE(s.solveSlave);
  EXPECT_EQ(s.dampingType, 0);
  EXPECT_EQ(s.dampingFactor, 0.5);
  EXPECT_NE(out.find("*** Bad conversion parameter 3 (1e20)\n"), std::string::npos);
}

TEST_F(ModelCommandsTest, FluidAndTrackSettings) {
  std::string out = Run({"set fluid off", "config fluid", "set fluid off dt 0.5", "set track on", "set flow on",
                         "set track on", "track"});
  EXPECT_EQ(out,
            "Terrax>set fluid off\n*** Not configured for fluid flow calculation\n"
            "Terrax>config fluid\nFluid Mode Available\n"
            "Terrax>set fluid off dt 0.5\n"
            "Terrax>set track on\n*** Fluid flow must be turned on for particle tracking option.\n"
            "Terrax>set flow on\nTerrax>set track on\n"
            "Terrax>track\n*** TRACK is not available in this version\n");
  EXPECT_EQ(Modes().fluid->Timestep(), 0.5);
  EXPECT_TRUE(Settings().tracking);
}

TEST_F(ModelCommandsTest, DisplayNamesAHistoryOrASymbol) {
  static ZoltSymbol symbol;
  FakeScript script;
  script.symbolAtToken = [](CommandType& in) -> ZoltSymbol* {
    if (in.Token().str() != "sym") return nullptr;
    ++in.TokenIndex();
    return &symbol;
  };
  std::string out = Run({"set display sym", "set display history 3", "set display xyz", "set display"});
  EXPECT_EQ(out,
            "Terrax>set display sym\n"
            "Terrax>set display history 3\n*** History 3 not found\n"
            "Terrax>set display xyz\n*** Unrecognized parameter 2 (xyz)\n"
            "Terrax>set display\n*** Missing parameter 2\n");
  EXPECT_TRUE(Settings().cycleDisplay);  // a failed history leaves the display as it was
  EXPECT_EQ(Settings().displaySymbol, &symbol);
  Run({"set display off"});
  EXPECT_FALSE(Settings().cycleDisplay);
  EXPECT_EQ(Settings().displaySymbol, nullptr);
}

TEST_F(ModelCommandsTest, PrintItems) {
  InstallModelPrint("group", [](ModelInterpreter& in) { in << "groups\n"; });
  Settings().fosKnown = true;
  Settings().fos = 1.234;
  std::string out = Run({"print fos cable struct region", "print group track", "print creep", "print f"});
  EXPECT_EQ(out,
            "Terrax>print fos cable struct region\n Factor of Safety is : 1.23\ngroups\n"
            "Terrax>print group track\ngroups\n*** PRINT TRACK is not available in this version\n"
            "Terrax>print creep\n*** Creep mode not available\n"
            "Terrax>print f\n*** Fluid flow mode not available\n");
}

TEST_F(ModelCommandsTest, PrintWordsOfOtherLevelsGoDown) {
  std::string out = Run({"print mechanical macro", "print nothing"});
  EXPECT_NE(out.find("  Mechanical force ratio      :   0.00000e+00\nList of All Macros ...\n"), std::string::npos);
  EXPECT_NE(out.find("Terrax>print nothing\n*** Unrecognized parameter 1 (nothing)\n"), std::string::npos);
}

TEST_F(ModelCommandsTest, CommandsOfOtherSubsystemsNotifyTheViews) {
  FakeViews views;
  views.notify = [](uint32_t code, const String& text) {
    Calls().push_back(std::to_string(code) + "[" + text.str() + "]");
  };
  InstallModelCommand("generate", [](ModelInterpreter&) {});
  std::string out = Run({"history", "table", "generate", "moo", "sel"});
  // HISTORY and TABLE are not built yet: they fail before the views hear of them.
  EXPECT_EQ(Calls(), (std::vector<std::string>{"4[]"}));
  EXPECT_NE(out.find("*** HISTORY is not available in this version\n"), std::string::npos);
  EXPECT_NE(out.find("Terrax>moo\n\nTerrax>sel"), std::string::npos);
  EXPECT_NE(out.find("*** SEL is not available in this version\n"), std::string::npos);
}

}  // namespace
