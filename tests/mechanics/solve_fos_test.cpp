// SOLVE FOS against closed forms (a column in uniaxial compression under its
// own weight fails at its base), the strength reduction, the searches that
// find no factor, and an ESC in the middle of the search.
#include <algorithm>
#include <cmath>

#include "cmodels/mohr_model.h"
#include "mechanics/solve_fixture.h"
#include "support/link_doubles.h"

namespace {

constexpr double kDegree = 0.017453292519943295;

using SolveFosTest = SolveTest;

// The factor at which the base of the column reaches its unconfined strength
// 2 c' sqrt(N(phi')), with c' = c / F and tan phi' = tan phi / F.
double ColumnFactor(double cohesion, double friction, double stress) {
  auto strength = [&](double f) {
    const double s = std::sin(std::atan(std::tan(friction * kDegree) / f));
    return 2.0 * cohesion / f * std::sqrt((1.0 + s) / (1.0 - s));
  };
  double lo = 1e-3, hi = 1e3;
  for (int i = 0; i < 200; ++i) {
    const double mid = std::sqrt(lo * hi);
    (strength(mid) > stress ? lo : hi) = mid;
  }
  return lo;
}

TEST_F(SolveFosTest, TrescaColumnFailsAtTwiceItsCohesion) {
  const double cohesion = 1.5e5;
  LoadedColumn("mohr", {{"bulk", 5e7}, {"shear", 3e7}, {"cohesion", cohesion}, {"friction", 0}, {"tension", 1e10}});
  Run({"solve ratio 1e-6"});
  const int steps = Settings().totalCycles;
  const double settled = ZoneStress(FindZone(1), 2);

  const std::string out = Run({"solve fos", "print fos"});
  const double want = 2.0 * cohesion / LoadedStress();  // 1.5
  // The bracket closes to half a per cent of the factor.
  EXPECT_NEAR(Settings().fos, want, 0.01 * want) << out.substr(out.size() - 300);
  EXPECT_TRUE(Settings().fosKnown);
  const char* texts[] = {" **** Cohesion included in FOS calculation \n",
                         " **** Friction included in FOS calculation \n",
                         " **** Tension excluded in FOS calculation \n",
                         " **** Interface excluded in FOS calculation \n",
                         "FoS Starting at: ",
                         " Steps   Stages   Operation   Bracket \n------- -------- ----------- ---------\n",
                         "         Response time estimate...              [ 0 0 ]\r",
                         "         Initial stable state...                [ 0 0 ]\r",
                         "         Initial unstable state...              [ 1 0 ]\r",
                         "            Bracketing...                       [ 1 2 ]\r",
                         "\r\n*** Factor of Safety is: 1.50\n",
                         "\n *** To see failure mode restore FoSmode.sav\nFoS Ending at:   ",
                         "Terrax>print fos\n Factor of Safety is : 1.50\n"};
  ASSERT_NO_FATAL_FAILURE(ExpectInOrder(out, texts));
  // The trials print no banner of their own.
  EXPECT_FALSE(Has(out, "\nStarting at: "));
  EXPECT_FALSE(Has(out, "\nEnding at:   "));

  // The model of the start is back, and the scratch file is gone.
  EXPECT_FALSE(ScratchLeft());
  EXPECT_TRUE(FileExists("FoSmode.sav"));
  EXPECT_EQ(Settings().totalCycles, steps);
  EXPECT_EQ(ZoneStress(FindZone(1), 2), settled);
  for (Zone* zone : ZoneList()) {
    EXPECT_EQ(Property(zone->Id(), "cohesion"), cohesion);
    EXPECT_EQ(Property(zone->Id(), "friction"), 0.0);
    EXPECT_EQ(Property(zone->Id(), "tension"), 1e10);
  }
  EXPECT_EQ(Settings().stepLimit, 1000000000);
}

TEST_F(SolveFosTest, FrictionalColumnFromRest) {
  const double cohesion = 8e4, friction = 30.0;
  LoadedColumn("mohr",
               {{"bulk", 5e7}, {"shear", 3e7}, {"cohesion", cohesion}, {"friction", friction}, {"tension", 1e10}});
  // Straight from a model without stresses: every trial loads it from rest.
  const std::string out = Run({"solve fos file mode"});
  const double want = ColumnFactor(cohesion, friction, LoadedStress());  // 1.31
  EXPECT_NEAR(Settings().fos, want, 0.01 * want) << out.substr(out.size() - 300);
  EXPECT_TRUE(Has(out, " *** To see failure mode restore mode.sav\n"));
  EXPECT_TRUE(FileExists("mode.sav"));
  EXPECT_FALSE(FileExists("FoSmode.sav"));
  EXPECT_EQ(Settings().totalCycles, 0);
  EXPECT_EQ(Property(3, "friction"), friction);
  EXPECT_EQ(ZoneStress(FindZone(1), 2), 0.0);
}

TEST_F(SolveFosTest, StrengthReduction) {
  Assign(UnitBrick(), "mohr", {{"cohesion", 1e5}, {"friction", 30}, {"dilation", 5}, {"tension", 4e4}});
  Assign(UnitBrick(1, 0, 0), "elastic", {{"bulk", 1e8}});
  const double reduced = std::atan(0.5 * std::tan(30 * kDegree)) / kDegree;
  const struct {
    bool cohesion, friction, tension, associated;
    double reduction;
    double want[4];  // cohesion, friction, dilation, tension
  } cases[] = {
      {true, true, false, false, 0.5, {5e4, reduced, 5, 4e4}},
      {true, true, true, true, 0.5, {5e4, reduced, reduced, 2e4}},
      {false, true, false, false, 0.5, {1e5, reduced, 5, 4e4}},
      {true, false, false, false, 0.0, {1e20, 30, 5, 4e4}},
      {false, false, true, false, 0.0, {1e5, 30, 5, 1e20}},
  };
  for (const auto& c : cases) {
    ConstitutiveModel* m = FindZone(1)->Model();
    for (auto [index, value] : {std::pair{3, 1e5}, {4, 30.0}, {5, 5.0}, {6, 4e4}}) m->SetPropertyByIndex(index, value);
    SolveLimits limits;
    limits.cohesion = c.cohesion;
    limits.friction = c.friction;
    limits.tension = c.tension;
    limits.associated = c.associated;
    limits.reduction = c.reduction;
    Solve::ReduceStrength(limits);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(m->GetPropertyByIndex(3 + i), c.want[i], 1e-9 * c.want[i]) << i;
  }
  EXPECT_EQ(Property(2, "bulk"), 1e8);
}

TEST_F(SolveFosTest, ExcludedCohesionIsNeverReduced) {
  Column("mohr", {{"bulk", 5e7}, {"shear", 3e7}, {"cohesion", 1.5e5}, {"friction", 20}, {"tension", 1e10}}, false);
  static std::vector<double> seen;
  seen.clear();
  // Each preparation of a run shows the cohesion it steps with.
  ParticipantScope participant;
  participant->callback = [](int n) {
    if (n == 1) seen.push_back(FindZone(1)->Model()->GetPropertyByIndex(MohrModel::kCohesion));
  };
  const std::string out = Run({"solve fos exclude cohesion"});
  EXPECT_TRUE(Has(out, " **** Cohesion excluded in FOS calculation \n")) << out.substr(0, 300);
  ASSERT_GT(seen.size(), 3u);
  // The response time is estimated with the cohesion out of reach.
  EXPECT_EQ(seen[0], 1e20);
  for (size_t i = 1; i < seen.size(); ++i) EXPECT_EQ(seen[i], 1.5e5) << i;
  EXPECT_EQ(Property(1, "friction"), 20.0);
}

TEST_F(SolveFosTest, SearchesThatFindNoFactor) {
  const struct {
    double cohesion;
    const char* message;
    bool failureMode;
  } cases[] = {
      // Stronger than any trial can reduce: no unstable state to bracket.
      {1e9, "\n*** FOS not found: every trial is stable, up to a factor of 32 \nFoS Ending at:   ", false},
      // Unstable even at a sixteenth of the reduction: nothing is divided by zero.
      {1e3,
       "\n*** FOS not found: no trial is stable, down to a factor of 0.0625 \n"
       " *** To see failure mode restore FoSmode.sav\nFoS Ending at:   ",
       true},
  };
  for (const auto& c : cases) {
    app.New();
    Column("mohr", {{"bulk", 5e7}, {"shear", 3e7}, {"cohesion", c.cohesion}, {"friction", 0}, {"tension", 1e10}},
           false);
    Settings().fosKnown = true;
    Settings().fos = 2.5;
    const std::string out = Run({"solve fos", "print fos"});
    EXPECT_TRUE(Has(out, c.message)) << out.substr(out.size() - 300);
    EXPECT_FALSE(Has(out, "*** Factor of Safety is"));
    EXPECT_TRUE(Has(out, "Terrax>print fos\n*** FoS not available \n"));
    EXPECT_EQ(FileExists("FoSmode.sav"), c.failureMode);
    EXPECT_FALSE(ScratchLeft());
    EXPECT_EQ(Property(1, "cohesion"), c.cohesion);
    EXPECT_EQ(Settings().totalCycles, 0);
    std::remove("FoSmode.sav");
  }
}

TEST_F(SolveFosTest, EscInATrialBringsTheModelBack) {
  Column("mohr", {{"bulk", 5e7}, {"shear", 3e7}, {"cohesion", 1.5e5}, {"friction", 0}, {"tension", 1e10}}, false);
  Run({"solve ratio 1e-6"});
  const int steps = Settings().totalCycles;
  const double settled = ZoneStress(FindZone(1), 2);
  Settings().fosKnown = true;
  Settings().fos = 2.5;
  // ESC in the first trial at a factor of 2, when the strengths are halved.
  static FakeDevice* keys;
  keys = &device;
  ParticipantScope participant;
  participant->callback = [](int n) {
    if (n == 13 && Settings().fos == 2.0) keys->keys.push_back(27);
  };
  const std::string out = Run({"solve fos"});
  EXPECT_TRUE(Has(out, "\r\n*** ESC key pressed to halt\n")) << out.substr(out.size() - 300);
  EXPECT_FALSE(Has(out, "Factor of Safety is"));
  EXPECT_FALSE(ScratchLeft());
  EXPECT_EQ(Settings().totalCycles, steps);
  EXPECT_EQ(ZoneStress(FindZone(1), 2), settled);
  EXPECT_EQ(Property(1, "cohesion"), 1.5e5);
  EXPECT_EQ(Settings().stepLimit, 1000000000);
  EXPECT_TRUE(Settings().fosKnown);
  EXPECT_EQ(Settings().fos, 2.5);
}

TEST_F(SolveFosTest, FailuresAfterTheScratchFileBringTheModelBack) {
  // A failure-mode file that cannot be written, at the first unstable trial;
  // a zone without a model, whose check stops the first preparation.
  const struct {
    const char* line;
    bool unassigned;
    const char* message;
  } cases[] = {
      {"solve fos file no_such_folder/mode", false, "*** Error opening file no_such_folder/mode.sav\n"},
      {"solve fos", true, "*** Zone 11 has an undefined material model\n"},
  };
  for (const auto& c : cases) {
    app.New();
    Column("mohr", {{"bulk", 5e7}, {"shear", 3e7}, {"cohesion", 1.5e5}, {"friction", 10}, {"tension", 1e10}}, false);
    if (c.unassigned) UnitBrick(5, 5, 5);
    const std::string out = Run({c.line});
    EXPECT_TRUE(Has(out, c.message)) << out.substr(out.size() > 300 ? out.size() - 300 : 0);
    EXPECT_EQ(Has(out, "Terrax>solve fos\n*** Only Mohr-Coulomb model is allowed \n"), c.unassigned);
    EXPECT_FALSE(Has(out, "Factor of Safety is"));
    EXPECT_FALSE(ScratchLeft());
    EXPECT_FALSE(Settings().fosKnown);
    EXPECT_EQ(Settings().totalCycles, 0);
    EXPECT_EQ(ZoneStress(FindZone(1), 2), 0.0);
    EXPECT_EQ(Property(1, "cohesion"), 1.5e5);
    EXPECT_EQ(Property(1, "friction"), 10.0);
  }
}

TEST_F(SolveFosTest, OtherModelsAreNamedAndLeftAlone) {
  LoadedColumn("mohr", {{"bulk", 5e7}, {"shear", 3e7}, {"cohesion", 1.5e5}, {"friction", 0}, {"tension", 1e10}});
  // The load on top stays, in a zone of another model.
  FindZone(10)->SetModelByName("elastic");
  ASSERT_TRUE(FindZone(10)->Model()->SetPropertyValue("bulk", 5e7));
  ASSERT_TRUE(FindZone(10)->Model()->SetPropertyValue("shear", 3e7));
  const std::string out = Run({"solve fos"});
  EXPECT_TRUE(Has(out, "Terrax>solve fos\n*** Only Mohr-Coulomb model is allowed \n **** Cohesion included"))
      << out.substr(0, 300);
  const double want = 2.0 * 1.5e5 / LoadedStress();
  EXPECT_NEAR(Settings().fos, want, 0.01 * want);
}

// The watch on a trial's ratio, fed step by step with a response time of 16
// steps: a ratio that stops falling fails the trial a quarter of a response
// time after the quarter one response time back (half a response time when
// it stays ten times above the limit); one whose fall over the last response
// time, carried on, would miss the limit at the end of six response times
// by twice fails from the fifth quarter on, and one that would pass ten
// times below it holds from the seventh, unless its fall is slowing; one that falls below the limit,
// or towards it at a rate that leaves the outcome open, is left running.
TEST_F(SolveFosTest, WatchJudgesATrialByItsRatio) {
  const struct {
    const char* name;
    double (*ratio)(int step);
    int decided;  // the step after which the trial is judged; 0: never within six response times
    bool holds;   // the judgement: the trial holds (else it fails)
  } cases[] = {
      {"flat far above the limit", [](int) { return 1e-3; }, 12, false},
      {"flat near the limit", [](int) { return 3e-5; }, 20, false},
      {"wavering about its level", [](int k) { return k % 3 ? 5e-5 : 3e-5; }, 20, false},
      {"levelling off after a fall", [](int k) { return 2e-5 + 1e-3 * std::pow(0.5, k); }, 28, false},
      // Fast enough, carried on, to pass ten times below the limit at the
      // seventh quarter, but its fall is slowing: it levels off above the
      // limit, and holding it then would put the factor too high.
      {"falling fast to a level above the limit", [](int k) { return 2.1e-5 + 1e-3 * std::pow(0.8, k); }, 44, false},
      {"falling by a seventh per quarter, too slowly", [](int k) { return 1e-3 * std::pow(6.0 / 7.0, k / 4.0); }, 20,
       false},
      {"falling by a seventh per quarter, towards the limit", [](int k) { return 1e-4 * std::pow(6.0 / 7.0, k / 4.0); },
       0, false},
      // Ten times above the limit, judged from the third quarter at the rate
      // of the last half response time: falling by a tenth per quarter it
      // would end eight times above the limit; falling by a fifth, below it.
      {"far above the limit, falling by a tenth per quarter", [](int k) { return 1e-3 * std::pow(0.9, k / 4.0); }, 12,
       false},
      {"far above the limit, falling by a fifth per quarter", [](int k) { return 1e-3 * std::pow(0.8, k / 4.0); }, 0,
       false},
      // A quarter without fall in a fast fall: judged on that quarter alone
      // it would fail, yet it settles.
      {"far above the limit, a pause in a fast fall",
       [](int k) { return 3e-3 * std::pow(0.6, (std::min(k, 8) + std::max(k - 12, 0)) / 4.0); }, 28, true},
      {"halving per quarter", [](int k) { return 1e-2 * std::pow(0.5, k / 4.0); }, 28, true},
      {"wavering while it falls", [](int k) { return (k % 3 ? 1.5 : 1.0) * 3e-4 * std::pow(0.9, k); }, 28, true},
      // Down to the limit at the last step of a quarter: the run ends as stable.
      {"reaching the limit", [](int k) { return k < 20 ? 1.05e-5 : 0.99e-5; }, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SolveLimits l;
    l.ratioLimit = 1e-5;
    l.watch.quarter = 4;
    int decided = 0;
    for (int k = 1; k <= 96 && !decided; ++k) {
      Settings().forceRatio = c.ratio(k);
      Solve::WatchRatio(l);
      if (l.watch.levelled || l.watch.settled) decided = k;
    }
    EXPECT_EQ(decided, c.decided);
    if (decided) {
      EXPECT_EQ(l.watch.settled, c.holds);
    }
    EXPECT_FALSE(l.watch.levelled && l.watch.settled);
  }
  // Nothing is watched outside a trial.
  SolveLimits idle;
  Settings().forceRatio = 1.0;
  for (int k = 0; k < 100; ++k) Solve::WatchRatio(idle);
  EXPECT_FALSE(idle.watch.levelled);
}

}  // namespace
