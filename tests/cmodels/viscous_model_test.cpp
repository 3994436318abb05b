#include "cmodels/viscous_model.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

ViscousModel Maxwell(double k, double g, double eta) {
  ViscousModel m;
  m.SetPropertyValue("bulk", k);
  m.SetPropertyValue("shear", g);
  m.SetPropertyValue("viscosity", eta);
  return m;
}

// The Maxwell body held at a constant shear strain after a sudden step relaxes
// as tau(t) = 2 G gamma0 exp(-G t / eta) (any rheology textbook, e.g. Findley,
// Lai and Onaran, "Creep and Relaxation of Nonlinear Viscoelastic Materials", ch. 5).
TEST(ViscousModelTest, ConstantShearStrainRelaxesExponentially) {
  const double k = 2e9, g = 1e9, eta = 1e11, dt = 0.5;  // relaxation time eta/G = 100
  ViscousModel m = Maxwell(k, g, eta);
  ModelState st;
  st.timeStep = 1e-12;  // the step is taken at once
  st.strain[3] = 1e-4;
  ASSERT_EQ(m.UpdateStress(3, st), nullptr);
  const double tau0 = 2 * g * 1e-4;
  EXPECT_NEAR(st.stress[3], tau0, 1e-6 * tau0);
  st.strain[3] = 0;
  st.timeStep = dt;
  for (int n = 1; n <= 600; ++n) {
    m.UpdateStress(3, st);
    if (n % 100 == 0) {
      double exact = tau0 * std::exp(-g * n * dt / eta);
      EXPECT_NEAR(st.stress[3], exact, 0.01 * exact) << "t = " << n * dt;
    }
  }
}

TEST(ViscousModelTest, VolumetricPartStaysElasticWhileDeviatorRelaxes) {
  ViscousModel m = Maxwell(3e9, 1e9, 1e9);  // relaxation time 1
  ModelState st;
  st.timeStep = 1e-12;
  st.strain[0] = 3e-4;  // uniaxial strain: mean K e, deviator 2G (e - e/3)
  m.UpdateStress(3, st);
  EXPECT_NEAR(st.stress[0], 3e9 * 3e-4 + 2e9 * 2e-4, 1e-3);
  EXPECT_NEAR(st.stress[1], 3e9 * 3e-4 - 2e9 * 1e-4, 1e-3);
  for (double& e : st.strain) e = 0;
  st.timeStep = 50;  // far beyond the relaxation time: stable, the deviator is gone
  m.UpdateStress(3, st);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(st.stress[i], 9e5, 1e-6) << i;
  EXPECT_EQ(st.stiffnessDamping, 1);
}

// Under a constant shear strain rate the Maxwell stress tends to 2 eta rate.
TEST(ViscousModelTest, ConstantStrainRateGivesTheViscousStress) {
  ViscousModel m = Maxwell(1e9, 1e8, 1e10);
  ModelState st;
  st.timeStep = 1.0;
  const double rate = 1e-6;
  for (int n = 0; n < 2000; ++n) {
    st.strain[3] = rate * st.timeStep;
    m.UpdateStress(3, st);
  }
  EXPECT_NEAR(st.stress[3], 2 * 1e10 * rate, 1e-6 * 2e4);
}

TEST(ViscousModelTest, NegativeValuesAreRefused) {
  ModelState st;
  EXPECT_EQ(Maxwell(1, 1, 1).Initialize(3, st), nullptr);
  EXPECT_STREQ(Maxwell(1, 1, -1).Initialize(3, st), "Viscosity must not be negative");
  EXPECT_STREQ(Maxwell(-1, 1, 1).Initialize(3, st), "Bulk and shear modulus must not be negative");
}

}  // namespace
