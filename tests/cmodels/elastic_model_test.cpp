#include "cmodels/elastic_model.h"

#include <gtest/gtest.h>

#include "cmodels/null_model.h"

namespace {

// Hooke's law for a strain increment with tensor shear: s = lambda tr(e) I + 2G e.
void ExpectHooke(double k, double g, const double e[6], const double before[6], const double after[6]) {
  double lambda = k - 2.0 * g / 3.0;
  double tr = e[0] + e[1] + e[2];
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(after[i], before[i] + lambda * tr + 2 * g * e[i], 1e-6) << i;
  for (int i = 3; i < 6; ++i) EXPECT_NEAR(after[i], before[i] + 2 * g * e[i], 1e-6) << i;
}

TEST(ElasticModelTest, StrainIncrementGivesTheHookeStress) {
  ElasticModel m;
  m.SetPropertyValue("bulk", 5e9);
  m.SetPropertyValue("shear", 3e9);
  ModelState st;
  const double e[6] = {1e-4, -2e-4, 3e-5, 5e-5, -7e-5, 2e-5};
  const double before[6] = {-1e6, -2e6, -3e6, 1e5, 2e5, 3e5};
  for (int i = 0; i < 6; ++i) {
    st.strain[i] = e[i];
    st.stress[i] = before[i];
  }
  st.state = 0x55;
  ASSERT_EQ(m.UpdateStress(3, st), nullptr);
  ExpectHooke(5e9, 3e9, e, before, st.stress);
  EXPECT_EQ(st.stiffnessDamping, 1);
  EXPECT_EQ(st.state, 0x55u);

  // Uniaxial stress: the axial stress over the axial strain is Young's modulus.
  double k = 5e9, g = 3e9, young = 9 * k * g / (3 * k + g), nu = (3 * k - 2 * g) / (2 * (3 * k + g));
  ModelState u;
  u.strain[0] = 1e-5;
  u.strain[1] = u.strain[2] = -nu * 1e-5;
  m.UpdateStress(3, u);
  EXPECT_NEAR(u.stress[0], young * 1e-5, 1e-3);
  EXPECT_NEAR(u.stress[1], 0.0, 1e-3);
}

TEST(ElasticModelTest, HystereticFactorScalesTheShearModulus) {
  ElasticModel m;
  m.SetPropertyValue("bulk", 2.0);
  m.SetPropertyValue("shear", 1.0);
  ModelState st;
  const double e[6] = {1, 0, 0, 0.5, 0, 0};
  for (int i = 0; i < 6; ++i) st.strain[i] = e[i];
  st.hystFactor = 0.25;
  m.UpdateStress(3, st);
  const double zero[6] = {};
  ExpectHooke(2.0, 0.25, e, zero, st.stress);
}

TEST(NullModelTest, CarriesNoStress) {
  NullModel m;
  ModelState st;
  st.stress[0] = -5;
  st.stress[3] = 2;
  st.strain[0] = 1;
  EXPECT_EQ(m.UpdateStress(3, st), nullptr);
  for (double s : st.stress) EXPECT_EQ(s, 0.0);
  EXPECT_EQ(m.StiffnessModulus(), 0.0);
  EXPECT_TRUE(m.IsNull());
}

}  // namespace
