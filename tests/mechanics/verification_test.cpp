// Whole calculations typed as a user would, against closed-form results: an
// elastic block under stresses on its faces (along the axes and turned), a
// confined column under a surcharge, and Mohr-Coulomb samples loaded to
// failure in triaxial compression and in tension.
#include <cmath>
#include <cstdio>
#include <string>

#include "generate/gen_geometry.h"
#include "generate/install_generate.h"
#include "mechanics/apply_fixture.h"
#include "mechanics/cycle.h"

namespace {

class VerificationTest : public ApplyTest {
 protected:
  void SetUp() override {
    ApplyTest::SetUp();
    InstallGenerate();
    ResetGenGeometry();
    InstallMechanicsCycle();
    InstallMechanicsApply();
  }
  void TearDown() override {
    ResetGenGeometry();
    ApplyTest::TearDown();
  }

  // A new model for the next case: the conditions go before the grid they hold.
  static void Fresh() {
    ClearApplyList();
    Reset();
    ResetGenGeometry();
  }

  // Runs the lines one at a time, failing on any error the command loop reports.
  void Commands(std::initializer_list<const char*> lines) {
    for (const char* line : lines) {
      const std::string out = Run({line});
      EXPECT_EQ(out.find("***"), std::string::npos) << out;
    }
  }

  static std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
  }

  static void Stress(const Zone* zone, double s[6]) { zone->AverageStress(s, false); }

  // The grid-point nearest to a place.
  static const GridPoint* At(double x, double y, double z) {
    const GridPoint* best = nullptr;
    double nearest = 1e300;
    for (GridPoint* gp : GridPointList()) {
      const double d = std::hypot(gp->position[0] - x, gp->position[1] - y, gp->position[2] - z);
      if (d < nearest) {
        nearest = d;
        best = gp;
      }
    }
    return best;
  }
};

// Stress components in the order the zones keep them.
const char* const kComponent[6] = {"xx", "yy", "zz", "xy", "xz", "yz"};

// A block held by six fixities that take no load (statically determinate), with
// stresses on all its faces: every zone carries the tensor the faces impose,
// and strains by Hooke's law, (s - p I) / 2G + p I / 3K with p the mean stress.
TEST_F(VerificationTest, ElasticBlockCarriesTheStressOnItsFaces) {
  // A cube of side 3 whose edges lie along the orthonormal axes
  // e1 = (2, 2, 1) / 3, e2 = (-2, 1, 2) / 3, e3 = (1, -2, 2) / 3.
  const double e[3][3] = {{2 / 3.0, 2 / 3.0, 1 / 3.0}, {-2 / 3.0, 1 / 3.0, 2 / 3.0}, {1 / 3.0, -2 / 3.0, 2 / 3.0}};
  const double p[3] = {1e5, 2e5, 3e5};  // compressive normal stress on the faces across e1, e2, e3
  double turned[6] = {0, 0, 0, 0, 0, 0};
  static const int kPair[6][2] = {{0, 0}, {1, 1}, {2, 2}, {0, 1}, {0, 2}, {1, 2}};
  for (int c = 0; c < 6; ++c)
    for (int i = 0; i < 3; ++i) turned[c] -= p[i] * e[i][kPair[c][0]] * e[i][kPair[c][1]];

  struct Case {
    const char* name;
    std::initializer_list<const char*> lines;
    double want[6];
  };
  const Case cases[] = {
      {"global tensor on an axis-aligned block",
       {"gen zone brick size 2 2 2", "model elastic", "property bulk 1e8 shear 6e7",
        "fix x y z range sphere center 0 0 0 radius 0.1", "fix y z range sphere center 2 0 0 radius 0.1",
        "fix z range sphere center 0 2 0 radius 0.1", "apply sxx -1e5 syy -2e5 szz -3e5 sxy 4e4 syz -3e4 sxz 2e4"},
       {-1e5, -2e5, -3e5, 4e4, 2e4, -3e4}},
      {"normal stresses on a turned block",
       {"gen zone brick p0 0 0 0 p1 2 2 1 p2 -2 1 2 p3 1 -2 2 size 2 2 2", "model elastic",
        "property bulk 1e8 shear 6e7", "fix x y z range sphere center 0 0 0 radius 0.1",
        "fix y z range sphere center 2 2 1 radius 0.1", "fix z range sphere center -2 1 2 radius 0.1",
        // The face centres lie 1.5 from the centre (0.5, 0.5, 2.5) along +-e1, +-e2, +-e3.
        "apply nstress -1e5 range sphere center 1.5 1.5 3 radius 1.2",
        "apply nstress -1e5 range sphere center -0.5 -0.5 2 radius 1.2",
        "apply nstress -2e5 range sphere center -0.5 1 3.5 radius 1.2",
        "apply nstress -2e5 range sphere center 1.5 0 1.5 radius 1.2",
        "apply nstress -3e5 range sphere center 1 -0.5 3.5 radius 1.2",
        "apply nstress -3e5 range sphere center 0 1.5 1.5 radius 1.2"},
       {turned[0], turned[1], turned[2], turned[3], turned[4], turned[5]}},
  };
  const double bulk = 1e8, shear = 6e7;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fresh();
    Commands(c.lines);
    Commands({"step 3000"});
    ASSERT_EQ(ZoneList().Count(), 8u);
    EXPECT_LT(Settings().forceRatio, 1e-6);
    for (Zone* zone : ZoneList()) {
      double s[6];
      Stress(zone, s);
      for (int k = 0; k < 6; ++k)
        EXPECT_NEAR(s[k], c.want[k], 1e-4 * 3e5) << "s" << kComponent[k] << " of zone " << zone->Id();
      // The strain tensor lists yz before xz.
      const double mean = (c.want[0] + c.want[1] + c.want[2]) / 3.0;
      double want[6] = {c.want[0] - mean, c.want[1] - mean, c.want[2] - mean, c.want[3], c.want[5], c.want[4]};
      for (int k = 0; k < 6; ++k) want[k] = want[k] / (2 * shear) + (k < 3 ? mean / (3 * bulk) : 0.0);
      double strain[6];
      zone->StrainMeasure(Zone::kStrainTensor, strain);
      for (int k = 0; k < 6; ++k)
        EXPECT_NEAR(strain[k], want[k], 1e-4 * 3e5 / (2 * shear)) << "strain " << k << " of zone " << zone->Id();
    }
  }
}

// A column on rollers under a surcharge: the vertical stress is the surcharge,
// the horizontal one nu / (1 - nu) of its change from the initial state, and
// the top settles by the change times the height over the constrained modulus.
TEST_F(VerificationTest, ConfinedColumnSettlesByTheConstrainedModulus) {
  const double bulk = 1e8, shear = 6e7, q = 1e5, height = 4.0;
  const double constrained = bulk + 4.0 * shear / 3.0;
  const double nu = (3 * bulk - 2 * shear) / (2 * (3 * bulk + shear));
  struct Case {
    const char* initial;  // the starting stresses (none: unstressed)
    double vertical, horizontal;
  };
  const Case cases[] = {{nullptr, 0.0, 0.0}, {"initial sxx -4e4 syy -4e4 szz -6e4", -6e4, -4e4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.initial ? c.initial : "unstressed");
    Fresh();
    Commands({"gen zone brick size 1 1 4", "model elastic", "property bulk 1e8 shear 6e7", "fix x range x -0.1 0.1",
              "fix x range x 0.9 1.1", "fix y range y -0.1 0.1", "fix y range y 0.9 1.1", "fix z range z -0.1 0.1",
              "apply szz -1e5 range z 3.9 4.1"});
    if (c.initial) Commands({c.initial});
    Commands({"step 2000"});
    const double change = -q - c.vertical;
    const double lateral = c.horizontal + nu / (1 - nu) * change;
    for (Zone* zone : ZoneList()) {
      double s[6];
      Stress(zone, s);
      EXPECT_NEAR(s[2], -q, 1e-4 * q) << "zone " << zone->Id();
      EXPECT_NEAR(s[0], lateral, 1e-4 * q) << "zone " << zone->Id();
      EXPECT_NEAR(s[1], lateral, 1e-4 * q) << "zone " << zone->Id();
    }
    const double settlement = change * height / constrained;
    for (double y : {0.0, 1.0})
      for (double x : {0.0, 1.0})
        EXPECT_NEAR(At(x, y, height)->displacement[2], settlement, 1e-4 * std::fabs(settlement));
    EXPECT_NEAR(At(0, 0, height / 2)->displacement[2], settlement / 2, 1e-4 * std::fabs(settlement));
  }
}

// A Mohr-Coulomb sample, on planes of symmetry at x = 0, y = 0 and z = 0, with
// a confining stress on its other sides, driven at its top at a steady rate
// until it flows: the axial stress is the strength of the yield condition at
// the lateral stress, and the strain increments of the flow have the ratio of
// the flow rule: volumetric over axial 1 - N_psi in shear (both lateral
// directions share the flow at the corner s2 = s3), 1 at the tension cut-off.
TEST_F(VerificationTest, MohrCoulombSampleFlowsAtItsStrength) {
  const double pi = 3.14159265358979323846;
  auto flowFactor = [&](double degrees) {
    const double s = std::sin(degrees * pi / 180.0);
    return (1 + s) / (1 - s);
  };
  const double cohesion = 1e5, nPhi = flowFactor(30.0), rate = 1e-6;
  struct Case {
    const char* name;
    const char* properties;
    double confining;    // compressive, on the sides
    double tension;      // the axial stress at failure in tension; 0: compressed to its shear strength
    double volumeRatio;  // volumetric over axial strain increment in the flow
  };
  const Case cases[] = {
      {"triaxial compression, no dilation", "property cohesion 1e5 friction 30 dilation 0 tension 1e10", 1e5, 0.0, 0.0},
      {"triaxial compression, dilation 10", "property cohesion 1e5 friction 30 dilation 10 tension 1e10", 1e5, 0.0,
       1.0 - flowFactor(10.0)},
      {"tension cut-off", "property cohesion 1e5 friction 30 dilation 10 tension 4e4", 0.0, 4e4, 1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fresh();
    Commands({"gen zone brick size 1 1 1", "model mohr", "property bulk 1e8 shear 6e7", c.properties,
              "fix x range x -0.1 0.1", "fix y range y -0.1 0.1", "fix z range z -0.1 0.1"});
    if (c.confining != 0.0) {
      const std::string s = Number(-c.confining);
      const std::string initial = "initial sxx " + s + " syy " + s + " szz " + s;
      const std::string sides = "apply sxx " + s + " range x 0.9 1.1";
      const std::string back = "apply syy " + s + " range y 0.9 1.1";
      Commands({initial.c_str(), sides.c_str(), back.c_str()});
    }
    const double velocity = c.tension > 0.0 ? rate : -rate;
    const std::string top = "apply zvelocity " + Number(velocity) + " range z 0.9 1.1";
    Commands({top.c_str()});
    // Failure comes after some 3700 steps in compression, 300 in tension.
    const GridPoint* corner = At(1, 1, 1);
    Commands({"step 6000"});
    double before[3];
    for (int i = 0; i < 3; ++i) before[i] = corner->displacement[i];
    Commands({"step 1000"});
    double increment[3];
    for (int i = 0; i < 3; ++i) increment[i] = corner->displacement[i] - before[i];
    EXPECT_NEAR(increment[2], 1000 * velocity, 1e-9);
    EXPECT_NEAR((increment[0] + increment[1] + increment[2]) / increment[2], c.volumeRatio, 1e-2);
    double s[6];
    Stress(*ZoneList().begin(), s);
    // The sides move steadily while the sample flows, and their damping adds
    // a little to the confining stress, the more the faster the loading.
    const double lateral = -s[0];
    const double strength = c.tension > 0.0 ? c.tension : -(lateral * nPhi + 2 * cohesion * std::sqrt(nPhi));
    EXPECT_NEAR(s[0], -c.confining, 3e-3 * c.confining + 1e-6 * std::fabs(strength));
    EXPECT_NEAR(s[1], s[0], 1e-6 * std::fabs(strength));
    EXPECT_NEAR(s[2], strength, 1e-4 * std::fabs(strength));
    for (int k = 3; k < 6; ++k) EXPECT_NEAR(s[k], 0.0, 1e-6 * std::fabs(strength)) << "s" << kComponent[k];
  }
}

}  // namespace
