// The apply conditions in a whole calculation: a column of elastic zones on a
// fixed base with rollers on its sides, loaded by gravity and a surcharge on
// its top, settles to the closed-form stresses.
#include <cmath>

#include "mechanics/apply_fixture.h"
#include "mechanics/cycle.h"

namespace {

class ApplySolutionTest : public ApplyTest {
 protected:
  void SetUp() override {
    ApplyTest::SetUp();
    InstallMechanicsCycle();
    InstallMechanicsApply();  // the apply phases of the cycle
  }
  void TearDown() override { ApplyTest::TearDown(); }
};

TEST_F(ApplySolutionTest, ColumnUnderGravityAndSurcharge) {
  const double rho = 2000.0, g = 10.0, q = 1e5, height = 10.0;
  const double bulk = 1e8, shear = 5e7;
  const double nu = (3 * bulk - 2 * shear) / (2 * (3 * bulk + shear));
  BrickGrid(2, 2, 10);
  Run({"model elastic", "property bulk 1e8 shear 5e7", "initial density 2000", "set gravity 0 0 -10",
       "fix z range z -0.1 0.1", "fix x range x -0.1 0.1", "fix x range x 1.9 2.1", "fix y range y -0.1 0.1",
       "fix y range y 1.9 2.1", "apply szz -1e5 range z 9.9 10.1"});
  Run({"step 4000"});
  for (Zone* z : ZoneList()) {
    double c[3];
    z->Centroid(c);
    const double szz = -(q + rho * g * (height - c[2]));
    EXPECT_NEAR(z->GetStress(2), szz, 1e-3 * std::fabs(szz)) << "zone " << z->Id();
    EXPECT_NEAR(z->GetStress(0), nu / (1 - nu) * szz, 2e-3 * std::fabs(szz)) << "zone " << z->Id();
  }
  // The applied forces total the weight of the column and the surcharge.
  double applied[3];
  TotalForce(0, applied);
  EXPECT_NEAR(applied[2], -(rho * g * height * 4 + q * 4), 1e-6 * rho * g * height * 4);
}

}  // namespace
