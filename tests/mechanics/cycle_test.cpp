// STEP and CYCLE: the command, the step table, the run's end lines, keys,
// the phase order of one step and the periodic re-preparation.
#include <fstream>
#include <sstream>
#include <vector>

#include "../base/temp_dir.h"
#include "mechanics/cycle_fixture.h"
#include "model/module_doubles.h"
#include "support/link_doubles.h"

namespace {

std::vector<std::string>& Trace() {
  static std::vector<std::string> trace;
  return trace;
}

void Record(const std::string& what) { Trace().push_back(what); }

// Every output line of a transcript, carriage returns kept.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

using StepCommandTest = CycleTest;

TEST_F(StepCommandTest, StepZeroPrintsHeaderAndEndLines) {
  const std::string out = Run({"step 0"});
  const std::vector<std::string> lines = Lines(out);
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[0], "Terrax>step 0");
  EXPECT_TRUE(StartsWith(lines[1], "Starting at: "));
  EXPECT_EQ(lines[2], " step    of    total  max-unbal    ratio   ");
  EXPECT_EQ(lines[3], "------ ------ ------- ---------- ----------");
  // The status lines end in carriage returns and leave the line empty after them.
  EXPECT_EQ(lines[4], "Calculating geometric constants...\rCycling...                        \r");
  EXPECT_TRUE(StartsWith(lines[5], "Ending at:   "));
  EXPECT_EQ(Settings().totalCycles, 0);
}

TEST_F(StepCommandTest, BadCountsAreRefused) {
  const struct {
    const char* line;
    const char* message;
  } cases[] = {
      {"step", "*** Missing parameter 1\n"},
      {"step x", "*** Bad conversion parameter 1 (x)\n"},
      {"step -1", "*** Bad conversion parameter 1 (-1)\n"},
      {"cycle 1.5", "*** Bad conversion parameter 1 (1.5)\n"},
      {"step 99999999999", "*** Bad conversion parameter 1 (99999999999)\n"},
  };
  for (const auto& c : cases) {
    const std::string out = Run({c.line});
    EXPECT_EQ(out, std::string("Terrax>") + c.line + "\n" + c.message);
  }
}

TEST_F(StepCommandTest, UnassignedZoneStopsBeforeTheFirstStep) {
  UnitBrick();
  const std::string out = Run({"step 1"});
  EXPECT_NE(out.find("*** Zone 1 has an undefined material model\n"), std::string::npos);
  EXPECT_EQ(out.find("Ending at:"), std::string::npos);
  EXPECT_EQ(Settings().totalCycles, 0);
}

TEST_F(StepCommandTest, NullModelStepsLeaveTheLastLineInTheLog) {
  TempDir dir;
  Zone* zone = UnitBrick();
  zone->SetModelByName("null");
  interp.SetLogFile("run.log", 0);
  interp.OpenLog();
  const std::string out = Run({"step 10"});
  interp.CloseLog();
  const char* last = "    10     10      10  0.000e+00  1.000e+00\r";
  // Each step's line overwrites the one before on the console.
  EXPECT_NE(out.find("     9     10       9  0.000e+00  1.000e+00\r    10     10      10"), std::string::npos) << out;
  EXPECT_NE(out.find(std::string(last) + "\nEnding at:   "), std::string::npos) << out;
  std::ifstream log("run.log");
  std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find(std::string(last) + "\n"), std::string::npos) << text;
  // Only the last line goes to the log.
  EXPECT_EQ(text.find("     9     10       9"), std::string::npos);
  EXPECT_EQ(Settings().totalCycles, 10);
  EXPECT_EQ(Settings().forceRatio, 1.0);
}

TEST_F(StepCommandTest, EscEndsTheRunWithTheEndLineAndTheMessage) {
  Zone* zone = UnitBrick();
  zone->SetModelByName("null");
  // The key arrives during the second step: the command loop drops keys typed before a command.
  static FakeDevice* keys;
  keys = &device;
  ParticipantScope participant;
  participant->callback = [](int n) {
    if (n == 13 && Settings().totalCycles == 2) keys->keys.push_back(27);
  };
  const std::string out = Run({"step 100"});
  EXPECT_NE(out.find("\nEnding at:   "), std::string::npos);
  EXPECT_NE(out.find("*** ESC key pressed to halt\n"), std::string::npos);
  EXPECT_EQ(Settings().totalCycles, 2) << out;
}

TEST_F(StepCommandTest, SpaceEndsTheRunAfterTheCurrentStep) {
  Zone* zone = UnitBrick();
  zone->SetModelByName("null");
  device.keys = {' '};
  const std::string out = Run({"step 100"});
  EXPECT_NE(out.find("     1    100       1  0.000e+00  1.000e+00\r\nEnding at:   "), std::string::npos) << out;
  EXPECT_EQ(out.find("***"), std::string::npos);
  EXPECT_EQ(Settings().totalCycles, 1);
}

TEST_F(StepCommandTest, ModuleColumnsFollowTheActiveModules) {
  String header, dashes;
  Cycle::Header(header, dashes);
  EXPECT_EQ(header.str(), " step    of    total  max-unbal    ratio   ");
  EXPECT_EQ(dashes.Length(), header.Length());
  // A fluid module on: its time follows the time step.
  CalcModule* fluid = TheModules().Add(MakeModeModule(CalcModule::kFluid));
  fluid->SetTime(2.5);
  Settings().timestep = 0.5;
  Cycle::Header(header, dashes);
  EXPECT_EQ(header.str(), " step    of    total  max-unbal    ratio     time-step fluid time");
  EXPECT_EQ(dashes.str(), "------ ------ ------- ---------- ---------- ---------- ----------");
  EXPECT_EQ(Cycle::TableLine(3, 7, interp).str(), "     3      7       0  0.000e+00  0.000e+00  5.000e-01  2.500e+00");
  // The display column: the name cut to 11 characters, "-----------" for a value of no kind.
  Settings().cycleDisplay = true;
  FakeScript script;
  script.displayName = [] { return String("a_long_symbol_name"); };
  Cycle::Header(header, dashes);
  EXPECT_EQ(header.str(), " step    of    total  max-unbal    ratio     time-step fluid time a_long_symb");
  EXPECT_EQ(Cycle::TableLine(3, 7, interp).str(),
            "     3      7       0  0.000e+00  0.000e+00  5.000e-01  2.500e+00 -----------");
  script.displayValue = [](CommandType&) {
    DisplayValue v;
    v.kind = DisplayValue::kInteger;
    v.integer = 42;
    return v;
  };
  EXPECT_EQ(Cycle::TableLine(3, 7, interp).str(),
            "     3      7       0  0.000e+00  0.000e+00  5.000e-01  2.500e+00         42");
  // Without a mechanical calculation a step leaves the ratio as it was.
  TheModules().Clear();
  Settings().mechanical = false;
  Settings().forceRatio = 0.25;
  Cycle::Step(interp);
  EXPECT_EQ(Settings().forceRatio, 0.25);
  EXPECT_EQ(Settings().totalCycles, 1);
}

// A participant that records each phase it is called at, under its name.
class Recorder : public StepParticipant {
 public:
  explicit Recorder(std::string name) : name_(std::move(name)) {}
  void BeginRun(CommandType&) override { Note("begin"); }
  void CheckBeforeCycle(CommandType&, bool, bool, bool) override { Note("check"); }
  void AfterZonePass() override { Note("zones"); }
  void Forces(CommandType&, double) override { Note("forces"); }
  void TieForces() override { Note("ties"); }
  void Motion(bool, double) override { Note("motion"); }
  void AfterMechanical() override { Note("mechanical"); }
  void AfterModes() override { Note("modes"); }
  // The callback points are recorded once, by the first recorder.
  void Callback(int point) override {
    if (name_ == "a") Record(std::to_string(point));
  }

 private:
  void Note(const char* phase) { Record(std::string(phase) + " " + name_); }
  std::string name_;
};

// The phases of one step in their order, with the callback numbers; every
// phase walks the participants in the order they were registered.
TEST_F(StepCommandTest, OneStepRunsItsPhasesInOrder) {
  Zone* zone = UnitBrick();
  Assign(zone, "elastic", {{"bulk", 1e6}, {"shear", 1e6}}, 1000);
  Trace().clear();
  StepParticipants& participants = interp.TheModel().Participants();
  participants.Add(std::make_unique<Recorder>("a"));
  participants.Add(std::make_unique<Recorder>("b"));
  Cycle::BeginRun(interp);
  ASSERT_TRUE(Cycle::Prepare(false, interp, true));
  Cycle::Step(interp);
  const std::vector<std::string> want = {
      "begin a",  "begin b",  "check a",      "check b",      "1",      "2",      "0",       "3",
      "zones a",  "zones b",  "forces a",     "forces b",     "ties a", "ties b", "4",       "5",
      "motion a", "motion b", "mechanical a", "mechanical b", "6",      "13",     "modes a", "modes b"};
  EXPECT_EQ(Trace(), want);
}

// Gravity is the cycle's own: with no apply condition anywhere, the
// preparation loads each grid-point of a unit zone with an eighth of its weight.
TEST_F(StepCommandTest, ThePreparationLoadsTheWeight) {
  Zone* zone = UnitBrick();
  Assign(zone, "elastic", {{"bulk", 1e6}, {"shear", 1e6}}, 1000);
  Settings().gravity[2] = -10.0;
  ASSERT_TRUE(Cycle::Prepare(false, interp, true));
  for (GridPoint* gp : GridPointList()) {
    EXPECT_EQ(gp->apply, nullptr);
    EXPECT_NEAR(gp->appliedForce[0][2], -10.0 * 1000.0 / 8, 1e-9) << gp->id;
  }
}

TEST_F(StepCommandTest, LargeStrainReprepareEveryGeometryInterval) {
  Zone* zone = UnitBrick();
  Assign(zone, "elastic", {{"bulk", 1e6}, {"shear", 1e6}}, 1000);
  for (GridPoint* gp : GridPointList()) gp->flags |= NodeBase::kFixVelocity;
  Settings().largeStrain = true;
  Trace().clear();
  ParticipantScope participant;
  participant->callback = [](int n) {
    if (n == 1) Record("prepare");
    if (n == 2) Record("step");
  };
  Cycle::Run(25, interp);
  int steps = 0;
  std::vector<int> prepares;
  for (const std::string& t : Trace()) {
    if (t == "step") ++steps;
    if (t == "prepare") prepares.push_back(steps);
  }
  EXPECT_EQ(prepares, (std::vector<int>{0, 10, 20}));
  EXPECT_EQ(steps, 25);
}

TEST_F(StepCommandTest, RatioTypesAndAFailedZoneCheck) {
  Zone* zone = UnitBrick();
  Assign(zone, "elastic", {{"bulk", 1e6}, {"shear", 1e6}}, 1000);
  zone->Tetra(0)[0].stress[0] = -1000.0;
  Settings().ratioType = 1;
  Steps(1);
  const ModelSettings& s = Settings();
  ASSERT_GT(s.sums.forces, 0.0);
  EXPECT_DOUBLE_EQ(s.forceRatio, s.unbalancedForce / (s.sums.forces / TheCycleState().gpCount));
  EXPECT_EQ(TheCycleState().gpCount, 8u);
  Settings().ratioType = 2;
  Cycle::Step(interp);
  EXPECT_DOUBLE_EQ(s.forceRatio, s.sums.localRatio);
  // A zone below the geometry ratio stops the run silently after its report.
  Settings().geometryRatio = 0.5;
  const std::string out = Run({"step 5"});
  EXPECT_NE(out.find("*** Zone 1 volume ratio 0.166667 is below set ratio of 0.5\n *** Cycling will be stopped \n"),
            std::string::npos)
      << out;
  EXPECT_EQ(out.find("Ending at:"), std::string::npos);
  EXPECT_EQ(Settings().totalCycles, 2);
}

}  // namespace
