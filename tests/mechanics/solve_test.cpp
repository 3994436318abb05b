// SOLVE's stepping loop: its limits, banner and status table, the master and
// slave stages, the halt function, keys and its errors.
#include <chrono>
#include <cstdio>
#include <memory>

#include "mechanics/solve_fixture.h"
#include "model/module_doubles.h"
#include "support/link_doubles.h"

namespace {

std::vector<double>& Ratios() {
  static std::vector<double> ratios;
  return ratios;
}

// Every step's ratio, read where the step has just set it.
void RecordRatios(FakeParticipant& participant) {
  Ratios().clear();
  participant.callback = [](int n) {
    if (n == 6) Ratios().push_back(Settings().forceRatio);
  };
}

using SolveRunTest = SolveTest;

TEST_F(SolveRunTest, RatioLimitStopsAtTheFirstStepBelowIt) {
  Column("elastic", {{"bulk", 5e7}, {"shear", 3e7}}, true);
  ParticipantScope recorder;
  RecordRatios(*recorder);
  const std::string out = Run({"solve ratio 1e-5"});
  const std::vector<std::string> lines = Lines(out);
  ASSERT_EQ(lines.size(), 7u) << out;
  EXPECT_EQ(lines[0], "Terrax>solve ratio 1e-5");
  EXPECT_EQ(lines[1].rfind("Starting at: ", 0), 0u);
  EXPECT_EQ(lines[2], "Global Ratio Limit of 1e-05");
  EXPECT_EQ(lines[3], "step     max-unbal. Mech. Ratio ");
  EXPECT_EQ(lines[4], "------- ----------- ----------- ");
  // One status line per step, each overwriting the one before.
  EXPECT_EQ(lines[5].rfind("Calculating geometric constants...\rCycling...                        \r      1 ", 0), 0u);
  EXPECT_EQ(lines[5].back(), '\r');
  EXPECT_EQ(lines[6].rfind("Ending at:   ", 0), 0u);

  ASSERT_GT(Ratios().size(), 10u);
  EXPECT_EQ(static_cast<size_t>(Settings().totalCycles), Ratios().size());
  EXPECT_LT(Ratios().back(), 1e-5);
  for (size_t i = 0; i + 1 < Ratios().size(); ++i) EXPECT_GE(Ratios()[i], 1e-5) << "step " << i + 1;
  // The weight above the centre of the sixth zone: 4.5 m of soil.
  EXPECT_NEAR(ZoneStress(FindZone(6), 2), -90000.0, 900.0);
}

TEST_F(SolveRunTest, ViewsHistoriesAndTheLog) {
  Column("elastic", {{"bulk", 5e7}, {"shear", 3e7}}, true);
  Settings().plotInterval = 2;
  Settings().historyInterval = 3;
  static std::vector<std::string> notes;
  static std::vector<uint32_t> samples;
  notes.clear();
  samples.clear();
  views.notify = [](uint32_t code, const String& text) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%x ", code);
    notes.push_back(hex + text.str());
  };
  ParticipantScope participant;
  participant->sample = [](uint32_t step) { samples.push_back(step); };
  interp.SetLogFile("run.log", 0);
  interp.OpenLog();
  const std::string out = Run({"solve step 6"});
  interp.CloseLog();
  ASSERT_EQ(notes.size(), 3u);
  EXPECT_EQ(notes[0].rfind("7c210010 Step 2\nRatio ", 0), 0u) << notes[0];
  EXPECT_EQ(notes[2].rfind("7c210010 Step 6\nRatio ", 0), 0u) << notes[2];
  EXPECT_EQ(samples, (std::vector<uint32_t>{3, 6}));
  // The console shows every status line, the log the last one only.
  const std::string log = TempDir::Read("run.log");
  EXPECT_TRUE(Has(out, "\r      5 "));
  EXPECT_FALSE(Has(log, "      5 "));
  EXPECT_TRUE(Has(log, "      6  ")) << log;
}

TEST_F(SolveRunTest, StepLimitTakesThatManySteps) {
  Column("elastic", {{"bulk", 5e7}, {"shear", 3e7}}, true);
  const struct {
    const char* line;
    int steps;
  } cases[] = {{"solve step 1", 1}, {"solve step 7", 7}, {"solve force 1e30 step 0", 1}};
  for (const auto& c : cases) {
    const int before = Settings().totalCycles;
    const std::string out = Run({c.line});
    EXPECT_EQ(Settings().totalCycles - before, c.steps) << c.line << "\n" << out;
    EXPECT_TRUE(Has(out, "\nEnding at:   ")) << out;
  }
  EXPECT_TRUE(Has(Run({"solve step 2"}), "Global Step Limit of 2\nstep    \n------- \n"));
}

TEST_F(SolveRunTest, ClockLimitIsInMinutes) {
  // Without gravity nothing is out of balance and the ratio stays 1.
  Column("elastic", {{"bulk", 5e7}, {"shear", 3e7}}, true);
  Settings().gravity[2] = 0.0;
  const auto start = std::chrono::steady_clock::now();
  const std::string out = Run({"solve clock 0.005"});
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(seconds, 0.3);
  EXPECT_LT(seconds, 5.0);
  EXPECT_TRUE(Has(out, "Clock Limit of 0.005 minutes\nstep    Clock \n------- ----- \n")) << out.substr(0, 300);
  EXPECT_GT(Settings().totalCycles, 1);
}

TEST_F(SolveRunTest, ForceAndMechanicalLimits) {
  Column("elastic", {{"bulk", 5e7}, {"shear", 3e7}}, true);
  std::string out = Run({"solve force 100"});
  EXPECT_TRUE(Has(out, "Global Maximum Unbalanced Force Limit of 100\n")) << out.substr(0, 300);
  EXPECT_LT(Settings().unbalancedForce, 100.0);

  // The mechanical settings stop a SOLVE without limits of its own.
  ModelSettings& s = Settings();
  s.stepLimit = 5;
  int before = s.totalCycles;
  out = Run({"solve"});
  EXPECT_TRUE(Has(out, "Mechanical Total Step Limit of 5\nstep    \n")) << out.substr(0, 300);
  EXPECT_EQ(s.totalCycles - before, 5);
  s.stepLimit = 1000000000;
  s.ratioLimit = 1e-7;
  out = Run({"solve"});
  EXPECT_TRUE(Has(out, "Force Ratio Limit of 1e-07\nstep     max-unbal. Mech. Ratio \n")) << out.substr(0, 300);
  EXPECT_LT(s.forceRatio, 1e-7);
}

// A model in which no grid-point carries any force is in equilibrium: its ratio
// reads 1 for want of a force, yet a ratio limit ends the run after one step
// instead of stepping to the step limit.
TEST_F(SolveRunTest, ARatioLimitEndsARunWithoutForces) {
  const struct {
    bool column;
    const char* line;
    int steps;
  } cases[] = {{true, "solve ratio 1e-5", 1}, {false, "solve ratio 1e-5", 1}, {false, "solve elastic", 2}};
  for (const auto& c : cases) {
    if (c.column) {
      Column("mohr", {{"bulk", 5e7}, {"shear", 3e7}, {"cohesion", 1e5}, {"friction", 30}}, true);
      Settings().gravity[2] = 0.0;
    }
    const int before = Settings().totalCycles;
    const std::string out = Run({c.line});
    EXPECT_EQ(Settings().totalCycles - before, c.steps) << c.line << "\n" << out;
    EXPECT_TRUE(Has(out, "\nEnding at:   ")) << out;
    app.New();
  }
}

TEST_F(SolveRunTest, AgeLimitOfTheCreepTime) {
  Column("elastic", {{"bulk", 5e7}, {"shear", 3e7}}, true);
  TheModules().Add(MakeModeModule(CalcModule::kCreep));
  // No module proposes a time step: every step is 1 long.
  const std::string out = Run({"solve age 5.5"});
  EXPECT_EQ(Settings().totalCycles, 6) << out;
  EXPECT_TRUE(Has(out, "Global Age Limit of 5.5\n"));
  EXPECT_TRUE(Has(out, "step    Creep Time  ratio       max-unbal   Time Step   \n")) << out;
}

TEST_F(SolveRunTest, ZoneCheckStopsWithoutTheEndLine) {
  Column("elastic", {{"bulk", 5e7}, {"shear", 3e7}}, true);
  UnitBrick(5, 5, 5);
  const std::string out = Run({"solve step 5"});
  EXPECT_TRUE(Has(out, "*** Zone 11 has an undefined material model\n")) << out;
  EXPECT_FALSE(Has(out, "Ending at:"));
  EXPECT_EQ(Settings().totalCycles, 0);
}

TEST_F(SolveRunTest, NoMasterProcess) {
  Column("elastic", {{"bulk", 5e7}, {"shear", 3e7}}, true);
  Settings().mechanical = false;
  EXPECT_EQ(Run({"solve"}), "Terrax>solve\n*** No master process active for solve\n");
  // A fluid process that is a slave is no master either.
  auto fluid = std::make_unique<SolvedModule<FluidCalcModule>>();
  fluid->solve.slave = true;
  TheModules().Add(std::move(fluid));
  EXPECT_EQ(Run({"solve step 3"}), "Terrax>solve step 3\n*** No master process active for solve\n");
  EXPECT_EQ(Settings().totalCycles, 0);
}

TEST_F(SolveRunTest, BadWordsAreRefusedBeforeAnyStep) {
  Column("elastic", {{"bulk", 5e7}, {"shear", 3e7}}, true);
  const struct {
    const char* line;
    const char* message;
  } cases[] = {
      {"solve bogus", "*** Unrecognized parameter 1 (bogus)\n"},
      {"solve fos include bogus", "*** Unrecognized parameter 3 (bogus)\n"},
      {"solve ratio", "*** Missing parameter 2\n"},
      {"solve step x", "*** Bad conversion parameter 2 (x)\n"},
      {"solve step -3", "*** Bad conversion parameter 2 (-3)\n"},
      {"solve zolthalt stop_it", "*** Zolt-function name expected but not found\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(Run({c.line}), std::string("Terrax>") + c.line + "\n" + c.message);
  EXPECT_EQ(Settings().totalCycles, 0);
  EXPECT_FALSE(ScratchLeft());
}

TEST_F(SolveRunTest, ThermalSlaveDoublesTheMasterStage) {
  Column("elastic", {{"bulk", 5e7}, {"shear", 3e7}}, true);
  // The thermal slave meets its ratio limit in every step.
  auto thermal = std::make_unique<SolvedModule<ThermalCalcModule>>();
  thermal->solve.slave = true;
  thermal->solve.ratio = 0.5;
  thermal->solve.ratioLimit = 1.0;
  TheModules().Add(std::move(thermal));
  Settings().substepLimit = 8;
  static std::string trace;
  trace.clear();
  ParticipantScope participant;
  participant->callback = [](int n) {
    if (n == 13) trace += Settings().mechanical ? 'M' : 'T';
  };
  const std::string out = Run({"solve step 40"});
  EXPECT_EQ(trace.substr(0, 40), "MTMMTMMMMTMMMMMMMMTMMMMMMMMTMMMMMMMMTMMM") << out.substr(0, 400);
  EXPECT_TRUE(Has(out,
                  "step    Mast Ther Curr Sub  Therm Ratio Therm. Time Time Step   \n"
                  "------- ---- ---- ---- ---- ----------- ----------- ----------- \n"))
      << out.substr(0, 400);
  // The thermal step of the second sweep: two master steps in it, one thermal step in the last.
  EXPECT_TRUE(Has(out, "\r      2    2    1 Ther    1  5.0000e-01  2.0000e+00  1.0000e+00 \r")) << out.substr(0, 600);
  // Both processes are on again after SOLVE.
  EXPECT_TRUE(Settings().mechanical);
  EXPECT_TRUE(Modes().thermal->On());
}

TEST_F(SolveRunTest, MechanicalSlaveTakesItsSubstepsEverySweep) {
  Column("elastic", {{"bulk", 5e7}, {"shear", 3e7}}, true);
  TheModules().Add(MakeModeModule(CalcModule::kThermal));
  Settings().solveSlave = true;
  Settings().substepLimit = 3;
  static std::string trace;
  trace.clear();
  ParticipantScope participant;
  participant->callback = [](int n) {
    if (n == 13) trace += Settings().mechanical ? 'M' : 'T';
  };
  const std::string out = Run({"solve step 9"});
  // The thermal master takes one step a sweep, the mechanical slave three.
  EXPECT_EQ(trace, "TMMMTMMMTMMM");
  EXPECT_TRUE(Has(out, "step    Mast Mech Curr Sub  Therm Ratio Therm. Time Time Step   \n")) << out.substr(0, 300);
  EXPECT_TRUE(Settings().mechanical);
}

TEST_F(SolveRunTest, HaltFunctionStopsAfterItsSweep) {
  Column("elastic", {{"bulk", 5e7}, {"shear", 3e7}}, true);
  static int cleared, asked;
  static std::string name;
  cleared = asked = 0;
  script.clearHalt = [] { ++cleared; };
  script.setHalt = [](CommandType& interp) { name = interp.GetString().str(); };
  script.haltValue = [](CommandType&) { return ++asked == 3 ? int32_t{1} : int32_t{0}; };
  Run({"solve zolthalt stop_it"});
  EXPECT_EQ(name, "stop_it");
  EXPECT_EQ(cleared, 1);
  EXPECT_EQ(Settings().totalCycles, 3);
  // A SOLVE without words keeps the halt function.
  asked = 0;
  Run({"solve"});
  EXPECT_EQ(cleared, 1);
  EXPECT_EQ(Settings().totalCycles, 6);
}

TEST_F(SolveRunTest, EscLeavesEveryProcessOn) {
  Column("elastic", {{"bulk", 5e7}, {"shear", 3e7}}, true);
  auto thermal = std::make_unique<SolvedModule<ThermalCalcModule>>();
  thermal->solve.slave = true;
  TheModules().Add(std::move(thermal));
  // ESC in the thermal slave stage, while the mechanical process is off.
  static FakeDevice* keys;
  keys = &device;
  ParticipantScope participant;
  participant->callback = [](int n) {
    if (n == 13 && !Settings().mechanical) keys->keys.push_back(27);
  };
  const std::string out = Run({"solve ratio 1e-5"});
  EXPECT_TRUE(Has(out, "*** ESC key pressed to halt\n")) << out;
  EXPECT_EQ(Settings().totalCycles, 2);
  EXPECT_TRUE(Settings().mechanical);
  EXPECT_TRUE(Modes().thermal->On());
}

TEST_F(SolveRunTest, MathErrorOfTheLastStepIsReported) {
  Column("elastic", {{"bulk", 5e7}, {"shear", 3e7}}, true);
  ParticipantScope participant;
  participant->callback = [](int n) {
    if (n != 13) return;
    volatile double zero = 0.0;
    volatile double nan = zero / zero;
    (void)nan;
  };
  const std::string out = Run({"solve step 1"});
  EXPECT_TRUE(Has(out, "*** Math error:")) << out;
  EXPECT_FALSE(Has(out, "Ending at:"));
}

TEST_F(SolveRunTest, StatusTableStaysWithinOneRow) {
  Column("elastic", {{"bulk", 5e7}, {"shear", 3e7}}, true);
  for (uint8_t type : {CalcModule::kCreep, CalcModule::kThermal, CalcModule::kFluid})
    TheModules().Add(MakeModeModule(type));
  Settings().cycleDisplay = true;
  script.displayName = [] { return String("user_value"); };
  SolveLimits limits;
  limits.clockLimit = 6000.0;
  limits.ratioLimit = 1e-5;
  limits.master[kMechanicalProcess] = limits.master[kThermalProcess] = true;
  limits.slave[kFluidProcess] = true;
  Solve::PrintBanner(limits, interp);
  const std::vector<std::string> lines = Lines(device.Take());
  ASSERT_GE(lines.size(), 3u);
  const std::string& header = lines[lines.size() - 2];
  const std::string& dashes = lines.back();
  EXPECT_EQ(header, "step    Mast G.W. Curr Sub  Clock  max-unbal. Mech. Ratio Therm Ratio ");
  EXPECT_EQ(dashes.size(), header.size());
  EXPECT_EQ(Solve::StatusLine(limits, interp).Length(), static_cast<int>(dashes.size()));
}

}  // namespace
