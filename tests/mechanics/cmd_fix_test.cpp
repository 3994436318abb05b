// FIX and FREE on a 2 x 2 x 2 brick grid.
#include "mechanics/apply_fixture.h"
#include "model/module_doubles.h"

namespace {

class FixFreeTest : public ApplyTest {
 protected:
  void SetUp() override {
    ApplyTest::SetUp();
    BrickGrid(2, 2, 2);
  }
  static uint32_t Fixity(uint32_t id) { return FindGridpoint(id)->flags & NodeBase::kFixVelocity; }
};

TEST_F(FixFreeTest, KeywordsWithAndWithoutValues) {
  GridPoint* gp = FindGridpoint(1);
  gp->velocity[0] = 0.75;
  EXPECT_EQ(Run({"fix x y 2.0 range id 1"}), "Terrax>fix x y 2.0 range id 1\n");
  EXPECT_EQ(Fixity(1), NodeBase::kFixX | NodeBase::kFixY);
  EXPECT_EQ(gp->velocity[0], 0.75);  // fixed at its current value
  EXPECT_EQ(gp->velocity[1], 2.0);
  EXPECT_EQ(Fixity(2), 0u);
  Run({"free xvel 1.5 range id 1"});
  EXPECT_EQ(Fixity(1), NodeBase::kFixY);
  EXPECT_EQ(gp->velocity[0], 1.5);
  Run({"fix zvel 0"});
  for (GridPoint* g : GridPointList()) EXPECT_TRUE(g->flags & NodeBase::kFixZ);
  // No keyword: nothing; a word that is none: the parameter error.
  EXPECT_EQ(Run({"fix", "fix range id 1", "free bogus"}),
            "Terrax>fix\nTerrax>fix range id 1\nTerrax>free bogus\n*** Unrecognized parameter 1 (bogus)\n");
}

TEST_F(FixFreeTest, ExcludedGridPointsAreLeftAlone) {
  FindGridpoint(1)->flags |= NodeBase::kNoMechanicalZone;
  FindGridpoint(2)->flags |= NodeBase::kNoThermalZone;
  Run({"fix x", "fix temperature"});
  EXPECT_EQ(Fixity(1), 0u);
  EXPECT_EQ(Fixity(2), NodeBase::kFixX);
  EXPECT_FALSE(FindGridpoint(2)->flags & NodeBase::kFixTemperature);
  EXPECT_TRUE(FindGridpoint(1)->flags & NodeBase::kFixTemperature);  // a temperature without value needs no mode
}

TEST_F(FixFreeTest, TemperatureAndPorePressureValuesNeedTheirModes) {
  EXPECT_EQ(Run({"fix temp 20", "fix pp 1", "free temp 20"}),
            "Terrax>fix temp 20\n*** Not configured for thermal calculation\n"
            "Terrax>fix pp 1\n*** Not configured for fluid flow calculation\n"
            "Terrax>free temp 20\n");
  TheModules().Add(MakeModeModule(CalcModule::kThermal));
  TheModules().Add(MakeModeModule(CalcModule::kFluid));
  GridPoint* gp = FindGridpoint(4);
  gp->porePressure = 3.0;
  Run({"fix temp 20 pp 5 range id 4"});
  ASSERT_TRUE(gp->thermal && gp->fluid);
  EXPECT_EQ(gp->thermal->temperature, 20.0);
  EXPECT_EQ(gp->porePressure, 5.0);
  EXPECT_EQ(gp->fluid->pressureIncrement, 2.0);  // the jump goes into the pressure-change sum
  EXPECT_EQ(gp->thermal->temperatureIncrement, 20.0);
  EXPECT_EQ(gp->flags & (NodeBase::kFixTemperature | NodeBase::kFixPorePressure),
            NodeBase::kFixTemperature | NodeBase::kFixPorePressure);
  Run({"free temp pp range id 4"});
  EXPECT_EQ(gp->flags & (NodeBase::kFixTemperature | NodeBase::kFixPorePressure), 0u);
}

TEST_F(FixFreeTest, ChemistryNeedsItsMode) {
  EXPECT_EQ(Run({"fix chem"}), "Terrax>fix chem\n*** Not configured for chemistry calculations.\n");
  // After another keyword "chem" changes nothing.
  EXPECT_EQ(Run({"fix x chem range id 1"}), "Terrax>fix x chem range id 1\n");
  EXPECT_EQ(Fixity(1), NodeBase::kFixX);
}

TEST_F(FixFreeTest, FixRefusesDirectionsWithAppliedVelocities) {
  Run({"apply xvel 0 range id 1"});
  EXPECT_EQ(Run({"fix x range id 1", "fix y range id 1"}),
            "Terrax>fix x range id 1\n*** Cannot FIX and APPLY velocity in the same direction\n"
            "Terrax>fix y range id 1\n");
  EXPECT_EQ(Fixity(1), NodeBase::kFixY);
  // FREE never asks.
  EXPECT_EQ(Run({"free x range id 1"}), "Terrax>free x range id 1\n");
}

}  // namespace
