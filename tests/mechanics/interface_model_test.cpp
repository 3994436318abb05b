// The contact law of interface nodes: Coulomb slip with cohesion, tensile
// and shear bond, dilation; its properties, state texts and saved record.
#include <cmath>
#include <limits>
#include <string>

#include "base/app.h"
#include "mechanics/interface_model.h"
#include "mechanics/interface_node.h"
#include "model/grid_fixture.h"
#include "support/memory_stream.h"

namespace {

constexpr double kDegree = 0.017453292519943295;

class InterfaceModelTest : public GridTest {
 protected:
  void SetUp() override {
    GridTest::SetUp();
    Settings().timestep = 1.0;
    law().kn = 1e9;
    law().ks = 1e9;
  }
  void TearDown() override {
    ResetRestoreVersions();
    GridTest::TearDown();
  }

  InterfaceModel& law() { return static_cast<InterfaceModel&>(*node.Model()); }
  bool Step(double un, double vx = 0.0) {
    const double vs[3] = {vx, 0.0, 0.0};
    return law().ForceDisplacement(un, vs, false);
  }

  InterfaceNode node;
};

TEST_F(InterfaceModelTest, OutOfContactATensileGapCarriesNothing) {
  for (double tension : {0.0, 1e5}) {
    SCOPED_TRACE(tension);
    law().tension = tension;
    node.shearStress[0] = 3.0;
    EXPECT_FALSE(Step(-1e-3, 1e-3));
    EXPECT_EQ(node.normalStress, 0.0);
    EXPECT_EQ(node.shearStress[0], 0.0);
    EXPECT_EQ(law().GetState(), 0u);
    EXPECT_EQ(law().tension, tension);
  }
}

// Coulomb: tau_max = sigma_n tan(phi) + c (any soil mechanics text, e.g.
// Das, Principles of Geotechnical Engineering, the Mohr-Coulomb criterion).
TEST_F(InterfaceModelTest, SlipScalesTheShearStressToTheCoulombStrength) {
  law().friction = std::tan(30 * kDegree);
  EXPECT_TRUE(Step(1e-3, 1e-3));  // sigma = 1e6, trial shear 1e6
  EXPECT_EQ(node.normalStress, 1e6);
  EXPECT_NEAR(node.shearStress[0], 577350.27, 0.01);
  EXPECT_EQ(law().GetState(), InterfaceModel::kInContact | InterfaceModel::kSlipNow);
  EXPECT_EQ(node.stressAddition, 0.0);  // no dilation
  // Within the strength on the next step: the bit of this step becomes the past bit.
  EXPECT_TRUE(Step(1e-3, -1e-4));
  EXPECT_NEAR(node.shearStress[0], 477350.27, 0.01);
  EXPECT_EQ(law().GetState(), InterfaceModel::kInContact | InterfaceModel::kSlipPast);
  EXPECT_EQ(law().StateText().str(), "Shear failure in past. In contact.");
}

TEST_F(InterfaceModelTest, DilationAddsNormalStressOnlyWhenItCan) {
  law().friction = std::tan(30 * kDegree);
  law().dilation = std::tan(10 * kDegree);
  Step(1e-3, 1e-3);
  // The slip beyond the strength, (1e6 - 577350.27) / ks, opens by tan(psi) times kn.
  EXPECT_NEAR(node.stressAddition, (1e6 - 1e6 * std::tan(30 * kDegree)) * std::tan(10 * kDegree), 1e-6);
  EXPECT_EQ(node.normalStress, 1e6);  // the step's own sigma is from before the growth

  // No shear stiffness: the stress slips back from what it was, the normal
  // stress added stays (no inf x 0).
  InterfaceNode other;
  auto& law2 = static_cast<InterfaceModel&>(*other.Model());
  law2.kn = 1e9;
  law2.friction = std::tan(30 * kDegree);
  law2.dilation = std::tan(10 * kDegree);
  other.shearStress[0] = 2e6;
  other.stressAddition = 7.0;
  const double vs[3] = {1.0, 0.0, 0.0};
  EXPECT_TRUE(law2.ForceDisplacement(1e-3, vs, false));
  EXPECT_EQ(other.stressAddition, 7.0);
  EXPECT_TRUE(std::isfinite(other.shearStress[0]));
  EXPECT_NEAR(other.shearStress[0], (1e6 + 7.0) * std::tan(30 * kDegree), 1e-6);
}

TEST_F(InterfaceModelTest, ABondHoldsTensionToItsStrengthAndThenBreaksForGood) {
  law().tension = 1e5;
  EXPECT_TRUE(Step(1e-4));   // into contact
  EXPECT_TRUE(Step(-1e-4));  // -1e5: held
  EXPECT_EQ(node.normalStress, -1e5);
  EXPECT_EQ(law().tension, 1e5);
  EXPECT_FALSE(Step(-1.0001e-4));
  EXPECT_EQ(law().tension, 0.0);
  EXPECT_EQ(node.normalStress, 0.0);
  EXPECT_EQ(law().GetState() & InterfaceModel::kInContact, 0u);
  EXPECT_TRUE(Step(1e-4));
  EXPECT_FALSE(Step(-1e-5));  // unbonded now
}

TEST_F(InterfaceModelTest, ABondBreaksInShearAboveItsRatio) {
  law().tension = 10.0;
  law().sbratio = 100.0;
  law().friction = std::tan(30 * kDegree);
  EXPECT_TRUE(Step(1e-9, 5e-7));  // shear 500 within 100 x 10: the bond holds it past friction
  EXPECT_NEAR(node.shearStress[0], 500.0, 1e-9);
  EXPECT_TRUE(Step(1e-9, 6e-7));  // 1100 > 1000: broken, this step unlimited
  EXPECT_EQ(law().tension, 0.0);
  EXPECT_NEAR(node.shearStress[0], 1100.0, 1e-9);
  // Bonded slip lets a bonded contact slip at its Coulomb strength.
  InterfaceNode slipping;
  auto& law2 = static_cast<InterfaceModel&>(*slipping.Model());
  law2.kn = law2.ks = 1e9;
  law2.tension = 10.0;
  law2.friction = std::tan(30 * kDegree);
  law2.SetProperty(InterfaceModel::kBondSlip, "on");
  const double vs[3] = {5e-7, 0.0, 0.0};
  EXPECT_TRUE(law2.ForceDisplacement(1e-7, vs, false));  // sigma 100, shear 500 within the bond
  EXPECT_NEAR(slipping.shearStress[0], 100.0 * std::tan(30 * kDegree), 1e-9);
  EXPECT_EQ(law2.tension, 10.0);
}

TEST_F(InterfaceModelTest, StateTexts) {
  const struct {
    uint32_t state;
    const char* text;
  } cases[] = {
      {0, "Not in contact."},
      {0x20, "In contact."},
      {0x100, "Shear failure now. Not in contact."},
      {0x80 | 0x20, "Shear failure in past. In contact."},
      {0x20 | 0x80 | 0x100, "Shear failure now and in past. In contact."},
  };
  for (const auto& c : cases) {
    law().SetState(c.state);
    EXPECT_EQ(law().StateText().str(), c.text) << c.state;
  }
  law().ResetState();
  EXPECT_EQ(law().GetState(), 0x80u);
}

TEST_F(InterfaceModelTest, PropertiesByNameAndAsText) {
  InterfaceModel m;
  m.SetProperty(InterfaceModel::kFriction, "30");
  EXPECT_EQ(m.friction, std::tan(30 * kDegree));  // kept as the tangent
  EXPECT_EQ(m.GetPropertyText(InterfaceModel::kFriction).str(), "3.000000e+01");
  m.SetProperty(InterfaceModel::kTension, "-5");
  m.SetProperty(InterfaceModel::kBondRatio, "-2");
  EXPECT_EQ(m.GetPropertyText(InterfaceModel::kTension).str(), "5.000000e+00");
  EXPECT_EQ(m.sbratio, 2.0);
  m.SetProperty(InterfaceModel::kBondSlip, "on");
  EXPECT_EQ(m.GetPropertyText(InterfaceModel::kBondSlip).str(), "On");
  m.SetProperty(InterfaceModel::kBondSlip, "maybe");
  EXPECT_EQ(m.bslip, 1);
  m.SetProperty(InterfaceModel::kBondSlip, "off");
  EXPECT_EQ(m.bslip, 0);
  m.SetProperty(9, "4");
  EXPECT_EQ(m.PropertyText(8).str(), "Unknown");
  EXPECT_EQ(m.PropertyText(6).str(), "Shear bond strength ratio");

  const struct {
    const char* word;
    int index;
  } words[] = {{"kn", 0},   {"normalstiff", 0}, {"n", 0},   {"ks", 1}, {"shear", 1}, {"coh", 2},
               {"fric", 3}, {"ten", 4},         {"dil", 5}, {"sb", 6}, {"bs", 7},    {"bogus", -1}};
  for (const auto& w : words) {
    interp.ClearTokens();
    interp.AddToken(w.word);
    interp.TokenIndex() = 0;
    EXPECT_EQ(m.PropertyIndex(interp), w.index) << w.word;
  }
  m.kn = 3.0;
  m.ks = 4.0;
  EXPECT_EQ(m.StiffnessMagnitude(), 5.0);
}

TEST_F(InterfaceModelTest, ACloneOfTwoModelsOfOneKindIsTheirMean) {
  InterfaceModel a, b;
  a.kn = 2.0;
  b.kn = 4.0;
  a.friction = 0.2;
  b.friction = 0.4;
  b.bslip = 1;
  b.SetState(0x80);
  auto mean = a.Clone(&b);
  const auto& m = static_cast<const InterfaceModel&>(*mean);
  EXPECT_EQ(m.kn, 3.0);
  EXPECT_NEAR(m.friction, 0.3, 1e-15);
  EXPECT_EQ(m.bslip, 1);
  EXPECT_EQ(m.GetState(), 0x80u);
  EXPECT_EQ(m.Owner(), nullptr);
  auto copy = a.Clone(nullptr);
  EXPECT_EQ(static_cast<const InterfaceModel&>(*copy).kn, 2.0);
}

TEST_F(InterfaceModelTest, TheRecordAndItsVersionGates) {
  InterfaceModel m;
  m.kn = 1.0;
  m.ks = 2.0;
  m.cohesion = 3.0;
  m.friction = 4.0;
  m.tension = 5.0;
  m.dilation = 6.0;
  m.sbratio = 7.0;
  m.bslip = 1;
  m.SetState(0x20);
  MemoryStream s;
  m.Save(s);
  ASSERT_EQ(s.bytes.size(), 4u + 4u + 7 * 8u + 1u);
  InterfaceModel back;
  back.Restore(s);
  MemoryStream again;
  back.Save(again);
  EXPECT_EQ(again.bytes, s.bytes);

  // Older records: without state and type (up to 233, and 300 to 302), and
  // without the bond ratio and bslip (up to 151).
  const struct {
    int32_t version;
    bool state;
    bool bond;
  } gates[] = {{151, false, false}, {152, false, true}, {233, false, true}, {234, true, true},
               {300, false, true},  {302, false, true}, {303, true, true}};
  for (const auto& g : gates) {
    SCOPED_TRACE(g.version);
    CurrentRestoreVersions().program = g.version;
    MemoryStream r;
    if (g.state) {
      r.WriteU32(0x80);
      r.WriteI32(1);
    }
    for (int i = 1; i <= 6; ++i) r.WriteF64(i);
    if (g.bond) {
      r.WriteF64(9.0);
      r.WriteU8(1);
    }
    InterfaceModel old;
    old.Restore(r);
    EXPECT_EQ(r.Remaining(), 0u);
    EXPECT_EQ(old.dilation, 6.0);
    EXPECT_EQ(old.sbratio, g.bond ? 9.0 : 100.0);
    EXPECT_EQ(old.bslip, g.bond ? 1 : 0);
    EXPECT_EQ(old.GetState(), g.state ? 0x80u : 0u);
  }
}

}  // namespace
