// STEP and CYCLE: the command, the step table, the run's end lines, keys,
// the phase order of one step and the periodic re-preparation.
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <vector>

#include "../base/temp_dir.h"
#include "mechanics/cycle_fixture.h"
#include "mechanics/step_chunks.h"
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

// A participant with work at one callback point.
class CallbackAt : public StepParticipant {
 public:
  CallbackAt(int point, std::function<void()> run) : point_(point), run_(std::move(run)) {}
  void Callback(int point) override {
    if (point == point_ && run_) run_();
  }
  bool HasCallback(int point) const override { return point == point_; }

 private:
  int point_;
  std::function<void()> run_;
};

// The zone pass hands its force sums to the law of motion, and the law of
// motion its velocities to the next zone pass, through the packed slots only
// where nothing else reads or writes them in between; a script, a callback
// before the law of motion, a velocity written by a callback after it or a
// command between runs takes the grid-points' own values, to the same bits.
TEST_F(StepCommandTest, SlotsHandedOnGiveTheGridPointsBits) {
  const int threads = StepThreads();
  SetStepChunkMinimum(1, 1);
  int symbol = 0;
  enum Variant { kPlain, kScript, kBeforeMotion, kPushAfterMotion, kPushAndScript };
  auto run = [&](Variant variant, int count) {
    Reset();
    SetStepThreads(count);
    script.symbolByIndex = [&](uint32_t n) -> ZoltSymbol* {
      const bool any = variant == kScript || variant == kPushAndScript;
      return any && n == 1 ? reinterpret_cast<ZoltSymbol*>(&symbol) : nullptr;
    };
    Run({"gen zone brick size 3 3 6", "model mohr",
         "prop bulk 5e7 shear 3e7 density 2000 cohesion 5e3 friction 20 tension 1e10", "fix x range x -0.1 0.1",
         "fix x range x 2.9 3.1", "fix y range y -0.1 0.1", "fix y range y 2.9 3.1", "fix z range z -0.1 0.1",
         "set gravity 10"});
    GridPoint* top = nullptr;
    for (GridPoint* gp : GridPointList())
      if (gp->position[2] == 6.0) top = gp;
    StepParticipants& participants = interp.TheModel().Participants();
    StepParticipant* extra = nullptr;
    if (variant == kBeforeMotion)
      extra = &participants.Add(std::make_unique<CallbackAt>(kCallbackBeforeMotion, nullptr));
    if (variant >= kPushAfterMotion)
      extra =
          &participants.Add(std::make_unique<CallbackAt>(kCallbackAfterMotion, [top] { top->velocity[0] += 1e-5; }));
    Steps(40);
    Run({"ini xvel 1e-4 range z 5.9 6.1"});
    Steps(40);
    if (extra) participants.Remove(extra);
    std::vector<double> state;
    for (GridPoint* gp : GridPointList()) {
      state.insert(state.end(), gp->velocity, gp->velocity + 3);
      state.insert(state.end(), gp->displacement, gp->displacement + 3);
      state.insert(state.end(), gp->unbalancedForce, gp->unbalancedForce + 3);
      state.push_back(gp->forceSum);
    }
    for (Zone* zone : ZoneList())
      for (int o = 0; o < 2; ++o)
        for (int k = 0; k < zone->TetraPerOverlay(); ++k)
          state.insert(state.end(), zone->Tetra(o)[k].stress, zone->Tetra(o)[k].stress + 6);
    return state;
  };
  auto same = [](const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
  };
  for (int count : {1, 4}) {
    SCOPED_TRACE(count);
    const std::vector<double> plain = run(kPlain, count);
    EXPECT_TRUE(same(plain, run(kScript, count)));
    EXPECT_TRUE(same(plain, run(kBeforeMotion, count)));
    const std::vector<double> pushed = run(kPushAfterMotion, count);
    EXPECT_FALSE(same(plain, pushed));
    EXPECT_TRUE(same(pushed, run(kPushAndScript, count)));
  }
  SetStepThreads(threads);
  SetStepChunkMinimum(kStepChunkZones, kStepChunkGps);
}

}  // namespace
