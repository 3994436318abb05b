// Zone stresses by component and the strain measures over the mechanical
// tetrahedra, against linear fields whose gradients are known.
#include <cmath>
#include <limits>
#include <sstream>

#include "model/zone_model_fixture.h"

namespace {

class ZoneStrainTest : public ZoneModelTest {
 protected:
  // A unit brick with a model and the geometry of its tetrahedra prepared.
  static Zone* PreparedBrick(const char* model) {
    Zone* z = UnitBrick();
    z->SetModelByName(model);
    std::ostringstream out;
    EXPECT_TRUE(z->CheckBeforeCycle(out));
    return z;
  }
};

// u = M x (plus a shift) at every grid-point, as displacement or velocity.
void ApplyLinearField(bool velocity, const double m[3][3], const double shift[3] = nullptr) {
  for (GridPoint* gp : GridPointList()) {
    double* u = velocity ? gp->velocity : gp->displacement;
    for (int i = 0; i < 3; ++i) {
      u[i] = shift ? shift[i] : 0.0;
      for (int j = 0; j < 3; ++j) u[i] += m[i][j] * gp->position[j];
    }
  }
}

TEST_F(ZoneStrainTest, StressComponentsFollowTheCallersNumbering) {
  Zone* z = PreparedBrick("elastic");
  for (int c = 0; c < 6; ++c) z->SetStress(10.0 + c, c);
  // The tetrahedra keep xz before yz.
  const double record[6] = {10, 11, 12, 13, 15, 14};
  for (int o = 0; o < 2; ++o)
    for (int k = 0; k < 5; ++k)
      for (int i = 0; i < 6; ++i) EXPECT_EQ(z->Tetra(o)[k].stress[i], record[i]);
  for (int c = 0; c < 6; ++c) EXPECT_DOUBLE_EQ(z->GetStress(c), 10.0 + c);
  for (int bad : {-1, 6}) {
    try {
      z->SetStress(1.0, bad);
      FAIL() << bad;
    } catch (const QJExcept& e) {
      EXPECT_STREQ(e.Text(), "Internal error in Zone::SetStress");
    }
  }
}

TEST_F(ZoneStrainTest, LinearFieldsGiveTheirGradient) {
  Zone* z = PreparedBrick("mohr");
  const double a[3][3] = {{1e-3, 2e-3, -4e-3}, {6e-3, -3e-3, 5e-4}, {1e-3, 7e-3, 4e-3}};
  const double b[3][3] = {{-2.0, 1.0, 0.0}, {0.5, 4.0, 3.0}, {0.0, -1.0, 1.0}};
  const double shift[3] = {5.0, -2.0, 9.0};
  ApplyLinearField(false, a, shift);
  ApplyLinearField(true, b);

  double e[6];
  EXPECT_EQ(z->StrainMeasure(Zone::kStrainTensor, e), 0.0);
  const double sym[6] = {
      a[0][0], a[1][1], a[2][2], 0.5 * (a[0][1] + a[1][0]), 0.5 * (a[1][2] + a[2][1]), 0.5 * (a[0][2] + a[2][0])};
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(e[i], sym[i], 1e-14) << i;
  z->StrainMeasure(Zone::kRotation, e);
  const double rot[6] = {0, 0, 0, 0.5 * (a[0][1] - a[1][0]), 0.5 * (a[1][2] - a[2][1]), 0.5 * (a[0][2] - a[2][0])};
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(e[i], rot[i], 1e-14) << i;
  EXPECT_NEAR(z->StrainMeasure(Zone::kVolumetricStrain, nullptr), a[0][0] + a[1][1] + a[2][2], 1e-14);
  // Shear strain: the root of J2 of the deviatoric part.
  const double mean = (sym[0] + sym[1] + sym[2]) / 3.0;
  const double d[3] = {sym[0] - mean, sym[1] - mean, sym[2] - mean};
  const double j2 =
      0.5 * (d[0] * d[0] + d[1] * d[1] + d[2] * d[2]) + sym[3] * sym[3] + sym[4] * sym[4] + sym[5] * sym[5];
  EXPECT_NEAR(z->StrainMeasure(Zone::kShearStrain, nullptr), std::sqrt(j2), 1e-14);

  // The odd codes read the velocities.
  z->StrainMeasure(Zone::kStrainRateTensor, e);
  EXPECT_NEAR(e[0], -2.0, 1e-13);
  EXPECT_NEAR(e[4], 1.0, 1e-13);  // yz: (3 - 1) / 2
  EXPECT_NEAR(z->StrainMeasure(Zone::kVolumetricStrainRate, nullptr), 3.0, 1e-13);
  z->StrainMeasure(Zone::kRotationRate, e);
  EXPECT_NEAR(e[3], 0.25, 1e-13);
  EXPECT_GT(z->StrainMeasure(Zone::kShearStrainRate, nullptr), 0.0);
}

TEST_F(ZoneStrainTest, RigidMotionsStrainNothing) {
  Zone* z = PreparedBrick("elastic");
  const double none[3][3] = {};
  const double shift[3] = {3.0, -1.0, 2.0};
  const double spin[3][3] = {{0.0, -0.2, 0.1}, {0.2, 0.0, -0.3}, {-0.1, 0.3, 0.0}};
  ApplyLinearField(false, none, shift);
  ApplyLinearField(true, spin);
  double e[6];
  for (int code = Zone::kShearStrain; code <= Zone::kRotation; code += 2) {
    EXPECT_NEAR(z->StrainMeasure(code, e), 0.0, 1e-14) << code;
    if (code >= Zone::kStrainRateTensor) {
      for (double v : e) EXPECT_NEAR(v, 0.0, 1e-14) << code;
    }
  }
  for (int code : {Zone::kShearStrainRate, Zone::kVolumetricStrainRate, Zone::kStrainRateTensor}) {
    EXPECT_NEAR(z->StrainMeasure(code, e), 0.0, 1e-14) << code;
    for (double v : e) EXPECT_NEAR(v, 0.0, 1e-14) << code;
  }
  z->StrainMeasure(Zone::kRotationRate, e);
  EXPECT_NEAR(e[3], -0.2, 1e-14);
  EXPECT_NEAR(e[4], -0.3, 1e-14);
  EXPECT_NEAR(e[5], 0.1, 1e-14);
}

TEST_F(ZoneStrainTest, BothOverlaysAverageTogether) {
  Zone* z = UnitBrick();
  z->SetModelByName("elastic");
  z->Gp(7)->displacement[0] = 1.0;  // not linear: the overlays differ
  double e[2][6], both[6];
  std::ostringstream out;
  for (int code : {1, -1}) {  // no neighbours: A for 1, B for -1
    ASSERT_TRUE(z->Overlay(code));
    ASSERT_TRUE(z->CheckBeforeCycle(out));
    z->StrainMeasure(Zone::kStrainTensor, e[code == 1 ? 0 : 1]);
  }
  ASSERT_TRUE(z->Overlay(2));
  ASSERT_TRUE(z->CheckBeforeCycle(out));
  z->StrainMeasure(Zone::kStrainTensor, both);
  EXPECT_NE(e[0][0], e[1][0]);
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(both[i], 0.5 * (e[0][i] + e[1][i]), 1e-15) << i;
}

TEST_F(ZoneStrainTest, NullAndModellessZonesHaveNoStrain) {
  Zone* z = UnitBrick();
  z->Gp(7)->displacement[0] = 1.0;
  double e[6] = {1, 1, 1, 1, 1, 1};
  EXPECT_EQ(z->StrainMeasure(Zone::kShearStrain, nullptr), 0.0);  // no model, no tetrahedra
  z->SetModelByName("null");
  EXPECT_EQ(z->StrainMeasure(Zone::kStrainTensor, e), 0.0);
  for (double v : e) EXPECT_EQ(v, 0.0);
  EXPECT_EQ(z->StrainMeasure(0, nullptr), 0.0);
  EXPECT_EQ(z->StrainMeasure(9, nullptr), 0.0);
}

TEST_F(ZoneStrainTest, AFlatOrInvertedTetrahedronIsIllegalGeometryNotAnInfiniteStrain) {
  Zone* z = PreparedBrick("elastic");
  z->Gp(7)->velocity[2] = 1.0;
  for (double volume : {0.0, -0.1, std::numeric_limits<double>::quiet_NaN()}) {
    z->Tetra(1)[2].volume = volume;
    try {
      z->StrainMeasure(Zone::kShearStrainRate, nullptr);
      FAIL() << volume;
    } catch (const QJExcept& e) {
      EXPECT_STREQ(e.Text(), "Illegal geometry in zone 1");
    }
  }
  // The listing reports it at the zone's row.
  EXPECT_EQ(Run({"print zone strain"}),
            "Terrax>print zone strain\nZone Strain Values...\n"
            "   ID       SSR             SSI            VSR           VSI\n"
            " ------ -------------  -------------  -------------  -------------\n"
            "      1 *** Illegal geometry in zone 1\n");
}

}  // namespace
