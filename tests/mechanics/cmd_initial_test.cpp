// INITIAL on a 2 x 2 x 2 brick grid.
#include "mechanics/cmd_initial.h"
#include "mechanics/apply_fixture.h"
#include "model/module_doubles.h"

namespace {

class InitialTest : public ApplyTest {
 protected:
  void SetUp() override {
    ApplyTest::SetUp();
    BrickGrid(2, 2, 2);
  }
  void TearDown() override { ApplyTest::TearDown(); }
};

TEST_F(InitialTest, GridPointValuesSetMultipliedAndAdded) {
  EXPECT_EQ(Run({"initial xvel 1"}), "Terrax>initial xvel 1\n27 grid-points modified\n");
  Run({"initial xvelocity multiply 2 range x -0.1 0.1", "initial xvel add 1 gradient 0 0 1 range id 27"});
  EXPECT_EQ(FindGridpoint(1)->velocity[0], 2.0);
  EXPECT_EQ(FindGridpoint(2)->velocity[0], 1.0);
  EXPECT_EQ(FindGridpoint(27)->velocity[0], 1.0 + 1.0 + 2.0);
  // "multiply" wins over "add".
  Run({"initial ydisp multiply add 3 range id 1"});
  EXPECT_EQ(FindGridpoint(1)->displacement[1], 0.0);
  // Later grid-point keywords keep the selection of the first, though positions move.
  EXPECT_EQ(Run({"initial x add 5 y 7 range x -0.1 0.1"}),
            "Terrax>initial x add 5 y 7 range x -0.1 0.1\n9 grid-points modified\n9 grid-points modified\n");
  EXPECT_EQ(FindGridpoint(1)->position[0], 5.0);
  EXPECT_EQ(FindGridpoint(1)->position[1], 7.0);
  const double moved[3] = {5.0, 7.0, 0.0};
  EXPECT_EQ(NearestGridpointAny(moved), FindGridpoint(1));
  // Excluded grid-points are not changed nor counted.
  FindGridpoint(3)->flags |= NodeBase::kNoMechanicalZone;
  EXPECT_EQ(Run({"initial zfob 4 xsmall 2"}),
            "Terrax>initial zfob 4 xsmall 2\n26 grid-points modified\n26 grid-points modified\n");
  EXPECT_EQ(FindGridpoint(3)->unbalancedForce[2], 0.0);
  EXPECT_EQ(FindGridpoint(4)->smallDisplacement[0], 2.0);
  Run({"initial pp 1e4 gradient 0 0 -1e4"});
  EXPECT_TRUE(Settings().porePressure);
  EXPECT_EQ(FindGridpoint(27)->porePressure, -1e4);
}

TEST_F(InitialTest, ZoneValuesOnlyForNonNullModels) {
  SetModels("elastic");
  ZoneList().Head()->SetModelByName("null");
  EXPECT_EQ(Run({"initial density 2000"}), "Terrax>initial density 2000\n7 zones modified\n");
  EXPECT_EQ(ZoneList().Head()->Density(), 0.0);
  EXPECT_EQ(FindZone(2)->Density(), 2000.0);
  EXPECT_EQ(FindZone(2)->StoredVolume(), 1.0);  // marked zones have their volume
}

TEST_F(InitialTest, StressesWithGradientAtTheZoneCentroid) {
  SetModels("elastic");
  EXPECT_EQ(Run({"initial sxx -1e5 gradient 0 0 1e4"}), "Terrax>initial sxx -1e5 gradient 0 0 1e4\n8 zones modified\n");
  for (Zone* z : ZoneList()) {
    double c[3];
    z->Centroid(c);
    const double expected = c[2] < 1.0 ? -9.5e4 : -8.5e4;
    for (int o = 0; o < 2; ++o)
      for (int k = 0; k < z->TetraPerOverlay(); ++k) EXPECT_EQ(z->Tetra(o)[k].stress[0], expected);
  }
  // szx and sxz name one component: xz of the records.
  Run({"initial szx 3 sxz add 1 syz 5 sxy 6"});
  const ZoneTetra& t = FindZone(4)->Tetra(1)[2];
  EXPECT_EQ(t.stress[4], 4.0);
  EXPECT_EQ(t.stress[5], 5.0);
  EXPECT_EQ(t.stress[3], 6.0);
  Run({"initial state 3 range id 4"});
  EXPECT_EQ(t.state, 3);
}

// A gradient can carry the state beyond every integer: it takes the nearest
// one, kept to the 16 bits of the state word, like a typed value would.
TEST_F(InitialTest, StateBeyondTheIntegersTakesTheNearestOne) {
  SetModels("elastic");
  const ZoneTetra& t = FindZone(4)->Tetra(0)[0];  // centroid x = 1.5
  const struct {
    const char* line;
    uint16_t state;
  } kCases[] = {
      {"initial state 1 gradient 1e12 0 0 range id 4", 0xFFFF},
      {"initial state 1 gradient -1e12 0 0 range id 4", 0},
      {"initial state 70000 range id 4", 70000 & 0xFFFF},
      {"initial state -1 range id 4", 0xFFFF},
  };
  for (const auto& c : kCases) {
    Run({c.line});
    EXPECT_EQ(t.state, c.state) << c.line;
  }
}

TEST_F(InitialTest, ExtraVariablesAndErrors) {
  Settings().gpExtras = 2;
  Settings().zoneExtras = 1;
  for (GridPoint* gp : GridPointList()) gp->extra.Resize(2);
  for (Zone* z : ZoneList()) z->Extra().Resize(1);
  FindGridpoint(1)->extra.At(1).SetString("text");
  FindGridpoint(2)->extra.At(1).SetInt(4);
  EXPECT_EQ(Run({"initial gpextra add 2 1 range id 1 2", "initial gpextra 3 1", "initial gpextra 0 1"}),
            "Terrax>initial gpextra add 2 1 range id 1 2\n2 grid-points modified\n"
            "Terrax>initial gpextra 3 1\n*** Parameter array index out of range\n"
            "Terrax>initial gpextra 0 1\n*** Parameter array index out of range\n");
  EXPECT_EQ(FindGridpoint(1)->extra.At(1).GetFloat(), 1.0);  // a text counts as 0
  EXPECT_EQ(FindGridpoint(2)->extra.At(1).GetFloat(), 5.0);
  EXPECT_EQ(Run({"initial zextra 1 2.5 range id 3"}), "Terrax>initial zextra 1 2.5 range id 3\n1 zones modified\n");
  EXPECT_EQ(FindZone(3)->Extra().At(0).GetFloat(), 2.5);

  struct Case {
    const char* line;
    const char* message;
  } cases[] = {
      {"initial temperature 10", "*** Not configured for thermal calculation"},
      {"initial biot_modulus 1e9", "*** Not configured for fluid flow calculation"},
      {"initial saturation 1", "*** Not configured for fluid flow calculation"},
      {"initial fdensity 1000", "*** Not configured for fluid flow calculation"},
      {"initial chem state", "*** Not configured for chemistry calculations."},
      {"initial bogus 1", "*** Unrecognized parameter 1 (bogus)"},
      {"initial density", "*** Missing parameter 2"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Run({c.line}), std::string("Terrax>") + c.line + "\n" + c.message + "\n") << c.line;
}

TEST_F(InitialTest, FluidAndThermalBlocks) {
  TheModules().Add(MakeModeModule(CalcModule::kThermal));
  TheModules().Add(MakeModeModule(CalcModule::kFluid));
  FindGridpoint(5)->flags |= NodeBase::kNoFluidZone;
  EXPECT_EQ(Run({"initial temp 15 fmodulus 2e9 ftens -1", "initial biot 1e9"}),
            "Terrax>initial temp 15 fmodulus 2e9 ftens -1\n27 grid-points modified\n26 grid-points modified\n"
            "26 grid-points modified\n"
            "Terrax>initial biot 1e9\n*** Biot modulus fluid mode is off\n");
  EXPECT_EQ(FindGridpoint(5)->thermal->temperature, 15.0);
  EXPECT_EQ(FindGridpoint(5)->fluid, nullptr);
  EXPECT_EQ(FindGridpoint(6)->fluid->fluidModulus, 2e9);
  EXPECT_EQ(FindGridpoint(6)->fluid->tensionLimit, -1.0);
}

TEST_F(InitialTest, StaticAndDynamicDamping) {
  EXPECT_EQ(Run({"initial damping rayleigh 0.05 10", "initial damping hysteretic default",
                 "initial damping dynamic local 0.1"}),
            "Terrax>initial damping rayleigh 0.05 10\n*** Rayleigh damping not allowed in static mechanical "
            "calculation\n"
            "Terrax>initial damping hysteretic default\n*** Hysteretic damping not allowed in static mechanical "
            "calculation\n"
            "Terrax>initial damping dynamic local 0.1\n*** Not configured for dynamic calculation\n");
  Run({"initial damping combined 0.3 gradient 0.1 0 0 range id 3"});
  EXPECT_EQ(FindGridpoint(3)->dampingKind, 2u);
  EXPECT_DOUBLE_EQ(FindGridpoint(3)->dampingCoefficient, 0.5);
  Run({"initial damping local range id 3"});
  EXPECT_EQ(FindGridpoint(3)->dampingKind, 0u);
  EXPECT_DOUBLE_EQ(FindGridpoint(3)->dampingCoefficient, 0.5);

  TheModules().Add(MakeModeModule(CalcModule::kDynamic));
  Run({"initial damping rayleigh 0.05 10 range id 1", "initial damping rayleigh 0.05 10 mass range id 2",
       "initial damping rayleigh 0.05 0 range id 4", "initial damping mechanical local 0.2 range id 5"});
  const GpDynamicData& d1 = *FindGridpoint(1)->dynamicBlock;
  EXPECT_EQ(d1.dampingKind, 1);
  EXPECT_DOUBLE_EQ(d1.rayleighAlpha, 6.283185307179586 * 10 * 0.05);
  EXPECT_DOUBLE_EQ(d1.rayleighBeta, 0.05 / (6.283185307179586 * 10));
  EXPECT_EQ(FindGridpoint(2)->dynamicBlock->rayleighBeta, 0.0);
  EXPECT_EQ(FindGridpoint(4)->dynamicBlock->rayleighAlpha, 0.0);
  EXPECT_EQ(FindGridpoint(4)->dynamicBlock->rayleighBeta, 0.0);
  EXPECT_EQ(FindGridpoint(5)->dampingCoefficient, 0.2);
  EXPECT_EQ(FindGridpoint(5)->dynamicBlock, nullptr);
}

TEST_F(InitialTest, HystereticDampingOfZones) {
  TheModules().Add(MakeModeModule(CalcModule::kDynamic));
  SetModels("elastic");
  ZoneList().Head()->SetModelByName("null");
  EXPECT_EQ(Run({"initial damping hysteretic sig3 1 2 3 4 5"}),
            "Terrax>initial damping hysteretic sig3 1 2 3 4 5\n*** Max 4 coefficients allowed.\n");
  Run({"initial damping hysteretic sig3 1 2"});
  EXPECT_EQ(ZoneList().Head()->dampingOn, 0);
  EXPECT_EQ(ZoneList().Head()->damping, nullptr);
  const Zone* z = FindZone(2);
  ASSERT_EQ(z->dampingOn, 1);
  ASSERT_NE(z->damping, nullptr);
  EXPECT_EQ(z->damping->CurveCode(), HystDamping::kSig3);
  EXPECT_EQ(z->damping->Parameters()[0], 1.0);
  EXPECT_EQ(z->damping->Parameters()[1], 2.0);
  EXPECT_EQ(z->damping->Parameters()[2], 0.0);
  // Coefficients not given keep the state's defaults.
  Run({"initial damping hysteretic default range id 3"});
  EXPECT_EQ(FindZone(3)->damping->Parameters()[0], -3.0);
  EXPECT_EQ(FindZone(3)->damping->Parameters()[1], 0.5);
  Run({"initial damping hyst off range id 2"});
  EXPECT_EQ(FindZone(2)->dampingOn, 0);
  EXPECT_EQ(FindZone(2)->damping, nullptr);
  EXPECT_EQ(FindZone(4)->dampingOn, 1);
}

}  // namespace
