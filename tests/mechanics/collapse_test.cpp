// Collapse loads and factors of safety typed as a user would, against the
// classic plasticity solutions: a smooth strip footing (Prandtl), a 2:1 slope
// and a vertical cut, plane strain (one zone thick, y fixed).
//
// Zones of constant-strain tetrahedra carry a collapse load that is too high
// by an amount of the order of the zone size over the size of the mechanism:
// the slip lines are smeared over a zone or two, and at a footing's edge or a
// cut's toe the load spreads over the next zone. The tests therefore either
// compare on meshes fine enough for the tolerance, or show the error falling
// with the zone size as first-order convergence does.
//
// The CollapseMeshStudy cases refine the vertical cut to half-metre zones
// and take several minutes; they carry the label "slow" and run by hand:
//   ctest --test-dir build -L slow --output-on-failure
#include <cmath>
#include <cstdio>
#include <string>

#include "generate/gen_geometry.h"
#include "generate/install_generate.h"
#include "mechanics/apply.h"
#include "mechanics/apply_condition.h"
#include "mechanics/install_mechanics_apply.h"
#include "mechanics/solve_fixture.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegree = kPi / 180.0;

std::string Format(const char* format, double a = 0, double b = 0, double c = 0, double d = 0) {
  char text[256];
  std::snprintf(text, sizeof text, format, a, b, c, d);
  return text;
}

// The factor F at which the strengths c / F and tan(phi) / F just carry a
// cut of height H: gamma H / (c / F) = n(phi_F), n increasing in phi_F.
template <class StabilityNumber>
double FactorAt(StabilityNumber n, double cohesion, double friction, double gammaH) {
  double lo = 0.1, hi = 10.0;
  for (int i = 0; i < 200; ++i) {
    const double f = 0.5 * (lo + hi);
    const double phi = std::atan(std::tan(friction * kDegree) / f);
    (n(phi) * cohesion / f > gammaH ? lo : hi) = f;
  }
  return lo;
}

// Planar wedge through the toe of a vertical cut, an upper bound that holds
// for non-associated flow too: gamma H / c = 4 tan(45 + phi / 2).
double WedgeFactor(double cohesion, double friction, double gammaH) {
  return FactorAt([](double phi) { return 4.0 * std::tan(0.25 * kPi + 0.5 * phi); }, cohesion, friction, gammaH);
}

// The log-spiral mechanism through the toe (Chen, Limit Analysis and Soil
// Plasticity, 1975): gamma H / c = 3.83 tan(45 + phi / 2), about 4 % below
// the wedge.
double SpiralFactor(double cohesion, double friction, double gammaH) {
  return FactorAt([](double phi) { return 3.83 * std::tan(0.25 * kPi + 0.5 * phi); }, cohesion, friction, gammaH);
}

class CollapseTest : public SolveTest {
 protected:
  void SetUp() override {
    SolveTest::SetUp();
    InstallGenerate();
    ResetGenGeometry();
    // The gravity loads of the apply conditions, as in the program.
    InstallMechanicsApply();
  }
  void TearDown() override {
    ClearApplyList();
    ResetGenGeometry();
    SolveTest::TearDown();
  }

  // Runs the lines one at a time, failing on any error the command loop reports.
  void Commands(std::initializer_list<std::string> lines) {
    for (const std::string& line : lines) {
      const std::string out = Run({line.c_str()});
      EXPECT_EQ(out.find("***"), std::string::npos) << line << "\n" << out;
    }
  }

  void Fresh() {
    ClearApplyList();
    app.New();
    ResetGenGeometry();
  }

  // SOLVE FOS from the settled model: the factor the search reports.
  double FactorOfSafety() {
    const std::string out = Run({"solve ratio 1e-5", "solve fos"});
    EXPECT_TRUE(Has(out, "*** Factor of Safety is: ")) << out.substr(out.size() > 600 ? out.size() - 600 : 0);
    return Settings().fos;
  }

  // The sum of the vertical reactions of the grid-points at the surface
  // z = 0 from x = 0 to x = b: the footing's load.
  static double FootingLoad(double b) {
    double load = 0.0;
    for (const GridPoint* gp : GridPointList())
      if (std::fabs(gp->position[2]) < 1e-6 && gp->position[0] < b + 1e-6)
        load += gp->unbalancedForce[2] + gp->appliedForce[0][2] + gp->appliedForce[1][2];
    return load;
  }

  // A smooth rigid strip footing of half-width b on a weightless layer of
  // width w and depth d beside its plane of symmetry x = 0, pressed down at
  // a steady rate: the mean pressure under it once the load no longer grows,
  // over the half-width b + h / 2. The footing is its grid-points; the
  // velocity they impose falls to nothing over the next zone, so that the
  // footing the zones feel is half a zone wider on each side.
  double FootingPressure(double b, double h, double w, double d, double friction, double rate, int steps) {
    Fresh();
    const int nx = static_cast<int>(std::lround(w / h)), nz = static_cast<int>(std::lround(d / h));
    Commands({Format("gen zone brick size %g 1 %g p0 0 0 %g", nx, nz, -d) + Format(" p1 %g 0 %g", w, -d) +
                  Format(" p2 0 %g %g p3 0 0 0", h, -d),
              "model mohr",
              Format("prop bulk 1e8 shear 3e7 cohesion 1e5 friction %g dilation 0 tension 1e10", friction),
              "fix x range x -0.001 0.001", Format("fix x range x %g %g", w - 0.001, w + 0.001),
              Format("fix x z range z %g %g", -d - 0.001, -d + 0.001), "fix y",
              Format("apply zvelocity %g range x -0.001 %g z -0.001 0.001", -rate, b + 0.001)});
    const std::string step = Format("step %g", steps / 4);
    double before = 0.0, load = 0.0;
    for (int i = 0; i < 4; ++i) {
      before = load;
      Commands({step});
      load = FootingLoad(b);
    }
    // Settled on its limit: the last quarter of the loading added little.
    EXPECT_LT(std::fabs(load - before), 0.01 * load) << "h " << h;
    return load / ((b + 0.5 * h) * h);
  }
};

// Prandtl: a smooth strip footing on a weightless cohesive layer fails at
// q = (2 + pi) c. Three meshes of 2, 4 and 8 zones under the half-width.
TEST_F(CollapseTest, SmoothFootingOnCohesiveLayer) {
  const double cohesion = 1e5, want = (2.0 + kPi) * cohesion;
  const struct {
    double h;
    int steps;
  } meshes[] = {{0.5, 12000}, {0.25, 12000}, {0.125, 8000}};
  double error[3];
  for (int m = 0; m < 3; ++m) {
    const double q = FootingPressure(1.0, meshes[m].h, 5.0, 2.5, 0.0, 5e-6, meshes[m].steps);
    error[m] = std::fabs(q / want - 1.0);
    SCOPED_TRACE(Format("zone size %g: q / c = %.4f", meshes[m].h, q / cohesion));
    if (m > 0) {
      EXPECT_LT(error[m], error[m - 1]);
    }
  }
  // 2.7 %, 1.0 % and 0.3 % low.
  EXPECT_LT(error[2], 0.03);
}

// Prandtl with friction: q = c N_c with N_q = exp(pi tan phi) tan^2(45 +
// phi / 2) and N_c = (N_q - 1) cot phi, 14.83 at 20 degrees. The flow is not
// associated (dilation 0), which lowers the load a little.
TEST_F(CollapseTest, SmoothFootingOnFrictionalLayer) {
  const double cohesion = 1e5, phi = 20.0 * kDegree;
  const double nq = std::exp(kPi * std::tan(phi)) * std::pow(std::tan(0.25 * kPi + 0.5 * phi), 2);
  const double want = cohesion * (nq - 1.0) / std::tan(phi);
  const double q = FootingPressure(1.0, 0.25, 8.0, 4.0, 20.0, 1e-5, 16000);
  EXPECT_NEAR(q / want, 1.0, 0.05) << "q / c = " << q / cohesion;
}

// A 2:1 slope, H = 10 m, c / (gamma H) = 0.05, phi = 20 degrees, on a rigid
// base at the level of its toe: F = 1.38 from the charts of Bishop and
// Morgenstern (1960) and 1.4 by finite elements (Griffiths and Lane,
// Geotechnique 49 (1999) 387-403). Meshed once with parallelograms whose
// sides follow the slope and once with rectangles and right-angled wedges.
TEST_F(CollapseTest, TwoToOneSlopeOnRigidBase) {
  const char* const props = "prop bulk 1e8 shear 3e7 cohesion 1e4 friction 20 dilation 0 tension 1e10 density 2000";
  // Parallelograms: 1 m zones along x and z; the back rises parallel to the slope.
  Fresh();
  Commands({"gen zone brick size 20 1 10 p0 0 0 0 p1 20 0 0 p2 0 1 0 p3 20 0 10", "model mohr", props, "set gravity 10",
            "fix x z range z -0.01 0.01", "fix y", "fix x z range plane origin 20 0 0 normal 1 0 -2 distance 0.01"});
  const double distorted = FactorOfSafety();

  // Rectangles 1 m by 0.5 m and, along the face, wedges of the same size.
  Fresh();
  for (int k = 0; k < 20; ++k) {
    const double z = 0.5 * k, x = 2.0 * z;
    Commands({Format("gen zone wedge size 1 1 1 p0 %g 0 %g p1 %g 0 %g", x, z, x + 1, z) +
                  Format(" p2 %g 1 %g p3 %g 0 %g", x, z, x + 1, z + 0.5),
              Format("gen zone brick size %g 1 1 p0 %g 0 %g", 39 - x, x + 1, z) + Format(" p1 40 0 %g", z) +
                  Format(" p2 %g 1 %g p3 %g 0 %g", x + 1, z, x + 1, z + 0.5)});
  }
  Commands({"model mohr", props, "set gravity 10", "fix x z range z -0.01 0.01", "fix y", "fix x range x 39.99 40.01"});
  const double regular = FactorOfSafety();

  EXPECT_NEAR(distorted, 1.39, 0.03 * 1.39);
  EXPECT_NEAR(regular, 1.39, 0.03 * 1.39);
  EXPECT_NEAR(distorted / regular, 1.0, 0.02) << distorted << " " << regular;
}

// A vertical cut, H = 10 m, gamma = 20 kN/m3, c = 50 kPa, dilation 0, on a
// rough base at the level of its toe, ground 15 m behind the face.
class CollapseVerticalCut : public CollapseTest {
 protected:
  static constexpr double kCohesion = 5e4, kGammaH = 2e5;

  double Factor(double friction, double h) {
    Fresh();
    Build(friction, h);
    return FactorOfSafety();
  }
  void Build(double friction, double h) {
    Commands({Format("gen zone brick size %g 1 %g p0 0 0 0 p1 15 0 0", std::lround(15 / h), std::lround(10 / h)) +
                  Format(" p2 0 %g 0 p3 0 0 10", h),
              "model mohr",
              Format("prop bulk 1e8 shear 3e7 cohesion 5e4 friction %g dilation 0 tension 1e10 density 2000", friction),
              "set gravity 10", "fix x range x 14.99 15.01", "fix x z range z -0.01 0.01", "fix y"});
  }
};

// Zones of 2 m and 1 m: the factor lies above the log-spiral value and falls
// towards it as the zones halve, the excess roughly halving with them (13 %
// and 5 % over the wedge at 0 degrees, 19 % and 10 % at 20).
TEST_F(CollapseVerticalCut, ConvergesOnTheClassicMechanismsAsZonesShrink) {
  for (double friction : {0.0, 20.0}) {
    SCOPED_TRACE(Format("friction %g", friction));
    const double spiral = SpiralFactor(kCohesion, friction, kGammaH);
    const double wedge = WedgeFactor(kCohesion, friction, kGammaH);
    const double coarse = Factor(friction, 2.0), fine = Factor(friction, 1.0);
    SCOPED_TRACE(Format("F = %.4f and %.4f; spiral %.4f, wedge %.4f", coarse, fine, spiral, wedge));
    EXPECT_GT(fine, spiral);
    EXPECT_LT(fine, 1.12 * wedge);
    const double shrink = (fine - spiral) / (coarse - spiral);
    EXPECT_GT(shrink, 0.3);
    EXPECT_LT(shrink, 0.7);
  }
}

// The search's factor is the one at which the model with its strengths
// reduced by hand stops settling: 1 % below it the cut comes to rest, 1 %
// above it keeps moving.
TEST_F(CollapseVerticalCut, SearchAgreesWithStrengthsReducedByHand) {
  const double friction = 20.0;
  const double found = Factor(friction, 1.0);
  for (const double f : {0.99 * found, 1.01 * found}) {
    SCOPED_TRACE(Format("F = %.4f of %.4f", f, found));
    Fresh();
    Build(friction, 1.0);
    Commands({"solve ratio 1e-5"});
    const double reduced = std::atan(std::tan(friction * kDegree) / f) / kDegree;
    Commands({Format("prop cohesion %.10g friction %.10g", kCohesion / f, reduced)});
    const int start = Settings().totalCycles;
    Run({"solve ratio 1e-5 step 40000"});
    const bool settled = Settings().forceRatio < 1e-5;
    EXPECT_EQ(settled, f < found) << "ratio " << Settings().forceRatio << " after " << Settings().totalCycles - start
                                  << " steps";
  }
}

// Zones of 2, 1 and 0.5 m at 0, 10, 20 and 30 degrees. The excess over the
// log-spiral value about halves with the zone size; extrapolated to zones of no size
// as first-order convergence gives, 2 F(h) - F(2h) from the two finer
// meshes, the factor lies below the wedge and within 6 % of it (2 to 3 %),
// and at 0 degrees gamma H / c lies between 3.70 and 3.85 (3.836; the exact
// value is 3.775, between the bounds of Pastor, Thai and Francescato, 2000).
// Measured: see bench/README.md.
class CollapseMeshStudy : public CollapseVerticalCut {};

TEST_F(CollapseMeshStudy, VerticalCut) {
  for (double friction : {0.0, 10.0, 20.0, 30.0}) {
    const double wedge = WedgeFactor(kCohesion, friction, kGammaH);
    double f[3];
    const double sizes[3] = {2.0, 1.0, 0.5};
    for (int m = 0; m < 3; ++m) f[m] = Factor(friction, sizes[m]);
    const double limit = 2.0 * f[2] - f[1];
    SCOPED_TRACE(Format("friction %g: F = %.4f %.4f %.4f", friction, f[0], f[1], f[2]) +
                 Format(", extrapolated %.4f, wedge %.4f", limit, wedge));
    RecordProperty(Format("friction_%g", friction), Format("%.4f %.4f %.4f", f[0], f[1], f[2]));
    const double spiral = SpiralFactor(kCohesion, friction, kGammaH);
    EXPECT_GT(f[0], f[1]);
    EXPECT_GT(f[1], f[2]);
    EXPECT_LT(f[2] - spiral, 0.5 * (f[0] - spiral));
    EXPECT_LE(limit, wedge);
    EXPECT_GT(limit, 0.94 * wedge);
    if (friction == 0.0) {
      EXPECT_GT(limit * kGammaH / kCohesion, 3.70);
      EXPECT_LT(limit * kGammaH / kCohesion, 3.85);
    }
  }
}

}  // namespace
