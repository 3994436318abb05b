// SOLVE ELASTIC: the reversible strength encoding, the two runs, the user's
// strengths after them however the first ends, and the refusal of other models.
#include "cmodels/mohr_model.h"
#include "mechanics/solve_fixture.h"
#include "support/link_doubles.h"

namespace {

using SolveElasticTest = SolveTest;

TEST_F(SolveElasticTest, EncodingPutsTheStrengthsOutOfReachAndBack) {
  Assign(UnitBrick(), "mohr", {{"cohesion", 0}, {"friction", 30}, {"tension", 2e4}});
  Assign(UnitBrick(1, 0, 0), "elastic", {{"bulk", 3e7}});
  Solve::ToggleElastic(true);
  EXPECT_EQ(Property(1, "cohesion"), 1e20);
  EXPECT_NEAR(Property(1, "friction"), 3e-19, 1e-33);
  EXPECT_NEAR(Property(1, "tension"), 2.0001e24, 1e10);
  EXPECT_EQ(Property(2, "bulk"), 3e7);
  Solve::ToggleElastic(false);
  EXPECT_NEAR(Property(1, "cohesion"), 0.0, 1e-12);
  EXPECT_NEAR(Property(1, "friction"), 30.0, 1e-12);
  EXPECT_NEAR(Property(1, "tension"), 2e4, 1e-8);
}

TEST_F(SolveElasticTest, ElasticRunThenTheRealStrengths) {
  // A cohesion whose encoding does not come back exactly.
  const double cohesion = 1e6;
  Column("mohr", {{"bulk", 5e7}, {"shear", 3e7}, {"cohesion", cohesion}, {"friction", 0}, {"tension", 0}}, false);
  static std::vector<double> seen;
  seen.clear();
  ParticipantScope participant;
  participant->callback = [](int n) {
    if (n == 1) seen.push_back(FindZone(1)->Model()->GetPropertyByIndex(MohrModel::kCohesion));
  };
  const std::string out = Run({"solve elastic"});
  const char* texts[] = {"Terrax>solve elastic\nElastic Solve Starting at: ",
                         "\nStarting at: ",
                         "\nGlobal Ratio Limit of 1e-05\n",
                         "\r\nEnding at:   ",
                         "\n*** Elastic solution found  \nStarting at: ",
                         "\nGlobal Ratio Limit of 1e-05\n",
                         "\r\nEnding at:   "};
  ASSERT_NO_FATAL_FAILURE(ExpectInOrder(out, texts));
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], (cohesion + 1.0) * 1e20);
  EXPECT_EQ(seen[1], cohesion);
  for (Zone* zone : ZoneList()) {
    EXPECT_EQ(Property(zone->Id(), "cohesion"), cohesion);
    EXPECT_EQ(Property(zone->Id(), "friction"), 0.0);
    EXPECT_EQ(Property(zone->Id(), "tension"), 0.0);
  }
  EXPECT_FALSE(ScratchLeft());
  EXPECT_LT(Settings().forceRatio, 1e-5);
  EXPECT_NEAR(ZoneStress(FindZone(1), 2), -BaseStress(), 1e-3 * BaseStress());
}

TEST_F(SolveElasticTest, StepLimitCountsBothRuns) {
  Column("mohr", {{"bulk", 5e7}, {"shear", 3e7}, {"cohesion", 1e5}, {"friction", 30}, {"tension", 0}}, false);
  Run({"solve elastic step 30"});
  // The elastic run takes the thirty; the second takes the one step that
  // every run takes before it looks at its limits.
  EXPECT_EQ(Settings().totalCycles, 31);
}

TEST_F(SolveElasticTest, OnlyMohrCoulombZones) {
  for (const char* other : {"elastic", "null"}) {
    app.New();
    Column("mohr", {{"bulk", 5e7}, {"shear", 3e7}, {"cohesion", 1e5}, {"friction", 30}}, false);
    FindZone(4)->SetModelByName(other);
    EXPECT_EQ(Run({"solve elastic"}), "Terrax>solve elastic\n*** Only Mohr-Coulomb model allowed \n");
    EXPECT_EQ(Settings().totalCycles, 0);
    EXPECT_EQ(Property(1, "cohesion"), 1e5);
    EXPECT_FALSE(ScratchLeft());
  }
}

TEST_F(SolveElasticTest, EscInTheElasticRunGivesTheStrengthsBack) {
  const double cohesion = 1e6, friction = 35.0, tension = 12345.678;
  Column("mohr", {{"bulk", 5e7}, {"shear", 3e7}, {"cohesion", cohesion}, {"friction", friction}, {"tension", tension}},
         false);
  static FakeDevice* keys;
  keys = &device;
  ParticipantScope participant;
  participant->callback = [](int n) {
    if (n == 13 && Settings().totalCycles == 3) keys->keys.push_back(27);
  };
  const std::string out = Run({"solve elastic"});
  EXPECT_TRUE(Has(out, "*** ESC key pressed to halt\n")) << out;
  EXPECT_FALSE(Has(out, "Elastic solution found"));
  EXPECT_EQ(Settings().totalCycles, 3);
  for (Zone* zone : ZoneList()) {
    EXPECT_EQ(Property(zone->Id(), "cohesion"), cohesion);
    EXPECT_EQ(Property(zone->Id(), "friction"), friction);
    EXPECT_EQ(Property(zone->Id(), "tension"), tension);
  }
}

}  // namespace
