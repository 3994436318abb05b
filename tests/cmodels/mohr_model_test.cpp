#include "cmodels/mohr_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstring>
#include <random>

#include "cmodels/model_support.h"
#include "cmodels/stensor.h"

namespace {

constexpr double kDeg = 0.017453292519943295;

struct Props {
  double bulk, shear, cohesion, friction, dilation, tension;
};

MohrModel Make(const Props& p) {
  MohrModel m;
  const double v[6] = {p.bulk, p.shear, p.cohesion, p.friction, p.dilation, p.tension};
  for (int i = 0; i < 6; ++i) m.SetPropertyByIndex(i + 1, v[i]);
  return m;
}

double Factor(double degrees) {
  double s = std::sin(degrees * kDeg);
  return (1 + s) / (1 - s);
}

// One element under a triaxial compression path: the axial strain (x) grows
// in steps while the lateral strains keep both lateral stresses at -p0.
struct Triaxial {
  MohrModel& model;
  double p0;
  ModelState st;
  double axialStrain = 0.0, volumeStrain = 0.0;

  Triaxial(MohrModel& m, double confinement) : model(m), p0(confinement) {
    st.stress[0] = st.stress[1] = st.stress[2] = -p0;
  }
  // Lateral stress after a trial step with lateral strain x.
  double Lateral(double da, double x, ModelState& out) {
    out = st;
    out.strain[0] = da;
    out.strain[1] = out.strain[2] = x;
    for (int i = 3; i < 6; ++i) out.strain[i] = 0.0;
    EXPECT_EQ(model.UpdateStress(3, out), nullptr);
    return out.stress[1] + p0;
  }
  // The response is piecewise linear in x: a few secant steps find the root.
  void Step(double da) {
    ModelState trial;
    double x0 = 0.0, f0 = Lateral(da, x0, trial);
    double x1 = -0.5 * da, f1 = Lateral(da, x1, trial);
    for (int it = 0; it < 50 && std::fabs(f1) > 1e-9 * p0; ++it) {
      double x2 = x1 - f1 * (x1 - x0) / (f1 - f0);
      x0 = x1;
      f0 = f1;
      x1 = x2;
      f1 = Lateral(da, x1, trial);
    }
    ASSERT_LE(std::fabs(f1), 1e-9 * p0);
    st = trial;
    axialStrain += da;
    volumeStrain += da + 2 * x1;
  }
};

TEST(MohrModelTest, TriaxialPathYieldsOnTheEnvelopeAndDilates) {
  struct Case {
    double friction, dilation, cohesion;
  };
  const Case cases[] = {{30, 10, 1e5}, {30, 0, 1e5}, {30, 30, 0}, {0, 0, 2e5}, {40, 20, 5e4}, {25, -5, 3e5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "friction " << c.friction << " dilation " << c.dilation);
    const double k = 2e8, g = 1e8, p0 = 1e6;
    MohrModel m = Make({k, g, c.cohesion, c.friction, c.dilation, 1e9});
    const double nphi = Factor(c.friction), npsi = Factor(c.dilation);
    const double strength = p0 * nphi + 2 * c.cohesion * std::sqrt(nphi);  // s1 = s3 Nphi + 2c sqrt(Nphi)
    const double young = 9 * k * g / (3 * k + g);
    Triaxial t(m, p0);
    bool yielded = false;
    double yieldAxial = 0, yieldVolume = 0;
    for (int step = 0; step < 400; ++step) {
      t.Step(-5e-5);
      double s1 = -t.st.stress[0];
      EXPECT_LE(s1, strength * (1 + 1e-9));
      if (!yielded) {
        if (t.st.state & MohrModel::kShearNow) {
          yielded = true;
          EXPECT_NEAR(s1, strength, 1e-9 * strength);  // yields exactly on the envelope
          yieldAxial = t.axialStrain;
          yieldVolume = t.volumeStrain;
        } else {
          EXPECT_NEAR(s1 - p0, -young * t.axialStrain, 1e-6 * strength);  // elastic: Young's modulus
        }
      } else {
        EXPECT_NEAR(s1, strength, 1e-9 * strength);  // then follows the envelope
        EXPECT_EQ(t.st.state, MohrModel::kShearNow | MohrModel::kShearPast);
        EXPECT_NEAR(t.st.stress[1], -p0, 1e-9 * p0);
      }
    }
    ASSERT_TRUE(yielded);
    // Stress stays constant after yield, so the strain is all plastic:
    // dev / de_axial = 1 - Npsi (tension positive, axial strain negative).
    double dAxial = t.axialStrain - yieldAxial, dVolume = t.volumeStrain - yieldVolume;
    EXPECT_NEAR(dVolume / dAxial, 1 - npsi, 1e-7);
  }
}

// Extension under confinement: the two lateral stresses are the major ones,
// so the return lies on the other edge of the envelope.
TEST(MohrModelTest, TriaxialExtensionYieldsOnTheOtherEdge) {
  struct Case {
    double friction, dilation, cohesion;
  };
  const Case cases[] = {{30, 10, 1e5}, {35, 0, 5e4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "friction " << c.friction << " dilation " << c.dilation);
    const double p0 = 1e6;
    MohrModel m = Make({2e8, 1e8, c.cohesion, c.friction, c.dilation, 1e9});
    const double nphi = Factor(c.friction), npsi = Factor(c.dilation);
    const double minor = (p0 - 2 * c.cohesion * std::sqrt(nphi)) / nphi;  // p0 = s3 Nphi + 2c sqrt(Nphi)
    Triaxial t(m, p0);
    double yieldAxial = 0, yieldVolume = 0;
    bool yielded = false;
    for (int step = 0; step < 200; ++step) {
      t.Step(2e-5);
      double s3 = -t.st.stress[0];
      EXPECT_GE(s3, minor * (1 - 1e-9));
      if (!yielded && (t.st.state & MohrModel::kShearNow)) {
        yielded = true;
        yieldAxial = t.axialStrain;
        yieldVolume = t.volumeStrain;
      }
      if (yielded) {
        EXPECT_NEAR(s3, minor, 1e-9 * p0);
      }
    }
    ASSERT_TRUE(yielded);
    double dAxial = t.axialStrain - yieldAxial, dVolume = t.volumeStrain - yieldVolume;
    EXPECT_NEAR(dVolume / dAxial, 1 - 1 / npsi, 1e-7);
  }
}

TEST(MohrModelTest, StateBitsRememberThePast) {
  MohrModel m = Make({2e8, 1e8, 1e5, 30, 0, 1e9});
  Triaxial t(m, 1e6);
  for (int i = 0; i < 400 && !(t.st.state & MohrModel::kShearNow); ++i) t.Step(-5e-5);
  ASSERT_EQ(t.st.state, MohrModel::kShearNow | MohrModel::kShearPast);
  EXPECT_EQ(t.st.stiffnessDamping, 0);
  t.Step(5e-5);  // unloading is elastic
  EXPECT_EQ(t.st.state, MohrModel::kShearPast);
  EXPECT_EQ(t.st.stiffnessDamping, 1);
}

// Hydrostatic extension stops at the tension limit, capped at c / tan(phi).
TEST(MohrModelTest, TensionPathStopsAtTheTensionLimit) {
  struct Case {
    double cohesion, friction, tension, limit;
  };
  const double cap30 = 1e5 / std::tan(30 * kDeg);
  const Case cases[] = {{1e5, 30, 1e4, 1e4}, {1e5, 30, 1e6, cap30}, {1e5, 0, 5e4, 5e4}, {0, 30, 1e4, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "tension " << c.tension << " friction " << c.friction);
    MohrModel m = Make({2e8, 1e8, c.cohesion, c.friction, 0, c.tension});
    EXPECT_NEAR(m.TensionLimit(), c.limit, 1e-9 * cap30);
    ModelState st;
    for (int step = 0; step < 50; ++step) {
      for (int i = 0; i < 3; ++i) st.strain[i] = 1e-5;  // 3K e = 6000 a step
      m.UpdateStress(3, st);
      for (int i = 0; i < 3; ++i) EXPECT_LE(st.stress[i], c.limit + 1e-6);
    }
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(st.stress[i], c.limit, 1e-6);
    EXPECT_TRUE(st.state & MohrModel::kTensionNow);
    EXPECT_TRUE(st.state & MohrModel::kTensionPast);
  }
}

TEST(MohrModelTest, UniaxialExtensionFlowsInTension) {
  const double k = 2e8, g = 1e8, a1 = k + 4 * g / 3, a2 = k - 2 * g / 3;
  MohrModel m = Make({k, g, 1e6, 30, 0, 2e4});
  ModelState st;
  bool failed = false;
  for (int step = 0; step < 20; ++step) {
    st.strain[0] = 2e-5;  // a1 e = 5333 a step
    m.UpdateStress(3, st);
    if (st.state & MohrModel::kTensionNow) failed = true;
  }
  ASSERT_TRUE(failed);
  EXPECT_NEAR(st.stress[0], 2e4, 1e-6);
  // The lateral stresses stopped where the axial one reached the limit.
  EXPECT_NEAR(st.stress[1], 2e4 * a2 / a1, 1e-6);
  EXPECT_NEAR(st.stress[2], st.stress[1], 1e-9);
  EXPECT_EQ(st.state, MohrModel::kTensionNow | MohrModel::kTensionPast);
  st.strain[0] = -2e-5;
  m.UpdateStress(3, st);
  EXPECT_EQ(st.state, MohrModel::kTensionPast);
  EXPECT_NEAR(st.stress[0], 2e4 - a1 * 2e-5, 1e-6);
}

// Random trial stresses of every kind: the result lies on or inside the
// surface, elastic updates follow Hooke's law, and plastic strain follows
// the flow rule (shear: positive principal plastic strains total Npsi times
// the negative ones; tension: no negative plastic strain).
TEST(MohrModelTest, ReturnIsAdmissibleAndFollowsTheFlowRule) {
  std::mt19937 rng(12345);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  int elasticCount = 0, shearCount = 0, tensionCount = 0, bothCount = 0;
  for (int n = 0; n < 4000; ++n) {
    const double k = 2e8, g = 1e8;
    double friction = 45 + 40 * u(rng), dilation = friction * (0.5 + 0.5 * u(rng)) - 5;
    double cohesion = 1e5 * (1.2 + u(rng));
    double cap = cohesion / std::tan(friction * kDeg);
    double tension = cap * (0.5 + 0.45 * u(rng));
    MohrModel m = Make({k, g, cohesion, friction, dilation, tension});
    ModelState st;
    // Small steps, large steps, and extension with little shear.
    double step = n % 3 == 0 ? 1e-4 : 1e-2;
    double pull = n % 3 == 2 ? 2e-3 : 0.0;
    double spread = pull > 0 ? 3e4 : 3e5;
    for (int i = 0; i < 6; ++i) {
      st.stress[i] = (i < 3 ? -5e5 : 0.0) + spread * u(rng);
      st.strain[i] = step * u(rng) * (pull > 0 ? 1e-3 : 1.0) + (i < 3 ? pull : 0.0);
    }
    double before[6], trial[6];
    for (int i = 0; i < 6; ++i) before[i] = st.stress[i];
    // The trial stress can be inadmissible already (a stress given by INITIAL).
    const double lame = k - 2 * g / 3;
    double tr = st.strain[0] + st.strain[1] + st.strain[2];
    for (int i = 0; i < 6; ++i) trial[i] = before[i] + 2 * g * st.strain[i] + (i < 3 ? lame * tr : 0.0);
    ASSERT_EQ(m.UpdateStress(3, st), nullptr);

    double p[3];
    STensor::PrinValues(st.stress, p);
    const double scale = 1e-9 * (std::fabs(p[0]) + std::fabs(p[2]) + cohesion);
    double nphi = Factor(friction), npsi = Factor(dilation);
    EXPECT_LE(nphi * p[2] - p[0] - 2 * cohesion * std::sqrt(nphi), scale) << n;
    EXPECT_LE(p[2], m.TensionLimit() + scale) << n;

    bool s = st.state & MohrModel::kShearNow, t = st.state & MohrModel::kTensionNow;
    if (!s && !t) {
      ++elasticCount;
      for (int i = 0; i < 6; ++i) EXPECT_NEAR(st.stress[i], trial[i], 1e-7 * (std::fabs(trial[i]) + 1)) << n;
      continue;
    }
    // Plastic strain = elastic strain of (trial - result).
    double d[6];
    for (int i = 0; i < 6; ++i) d[i] = trial[i] - st.stress[i];
    double mean = (d[0] + d[1] + d[2]) / 3;
    double ep[6];
    for (int i = 0; i < 6; ++i) ep[i] = (d[i] - (i < 3 ? mean : 0.0)) / (2 * g) + (i < 3 ? mean / (3 * k) : 0.0);
    double e[3];
    STensor::PrinValues(ep, e);
    double pos = 0, neg = 0;
    for (double v : e) (v > 0 ? pos : neg) += v;
    double size = pos - neg;
    if (s && !t) {
      ++shearCount;
      EXPECT_NEAR(pos, -npsi * neg, 1e-6 * size + 1e-14) << n;
    } else if (t && !s) {
      ++tensionCount;
      EXPECT_GE(neg, -1e-7 * size - 1e-14) << n;
    } else {
      ++bothCount;
    }
  }
  // Every kind of return was met.
  EXPECT_GT(elasticCount, 100);
  EXPECT_GT(shearCount, 100);
  EXPECT_GT(tensionCount, 100);
  EXPECT_GT(bothCount, 10);
}

// Stresses just inside and just outside the surface, as a plane-strain
// model meets them (a tiny shear out of the plane) and in general, with no
// strain increment: whatever the quick checks before the return decide, a
// stress inside by a hair stays as it is and one outside by a hair yields.
TEST(MohrModelTest, QuickChecksDecideAsThePrincipalValuesDo) {
  std::mt19937 rng(99);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  const double cohesion = 1e4, friction = 20, tension = 3e3;
  MohrModel m = Make({1e8, 3e7, cohesion, friction, 0, tension});
  const double nphi = Factor(friction), limit = 2 * cohesion * std::sqrt(nphi);
  int inside = 0, outside = 0;
  for (int n = 0; n < 4000; ++n) {
    ModelState st;
    const double out = n % 2 ? 0.3 : 0.3 * u(rng);  // out-of-plane shear
    const double s[6] = {-1e5 + 5e4 * u(rng), -1e5 + 5e4 * u(rng), -1e5 + 5e4 * u(rng), out,
                         4e4 * u(rng),        out * u(rng)};
    // Scaled about its mean until its deviator meets the shear envelope.
    const double mean = (s[0] + s[1] + s[2]) / 3;
    auto f = [&](double x) {
      double t[6], p[3];
      for (int i = 0; i < 6; ++i) t[i] = (i < 3 ? mean : 0.0) + x * (s[i] - (i < 3 ? mean : 0.0));
      STensor::PrinValues(t, p);
      return std::max(nphi * p[2] - p[0] - limit, p[2] - m.TensionLimit());
    };
    double lo = 0, hi = 10;
    if (f(lo) > 0 || f(hi) < 0) continue;
    for (int i = 0; i < 100; ++i) (f(0.5 * (lo + hi)) > 0 ? hi : lo) = 0.5 * (lo + hi);
    const bool in = n % 4 < 2;
    const double x = in ? lo * (1 - 1e-9) : hi * (1 + 1e-9);
    for (int i = 0; i < 6; ++i) st.stress[i] = (i < 3 ? mean : 0.0) + x * (s[i] - (i < 3 ? mean : 0.0));
    double before[6];
    std::copy(st.stress, st.stress + 6, before);
    ASSERT_EQ(m.UpdateStress(3, st), nullptr);
    const bool yielded = st.state & (MohrModel::kShearNow | MohrModel::kTensionNow);
    EXPECT_EQ(yielded, !in) << n;
    if (in) {
      ++inside;
      for (int i = 0; i < 6; ++i) EXPECT_EQ(st.stress[i], before[i]) << n;
    } else {
      ++outside;
    }
  }
  EXPECT_GT(inside, 1000);
  EXPECT_GT(outside, 1000);
}

// SOLVE's encodings: strengths made huge for an elastic solution, friction
// shrunk to 3e-19 degrees or set to 0; nothing overflows and the response is elastic.
TEST(MohrModelTest, HugeStrengthEncodingsStayFinite) {
  const Props cases[] = {
      {2e8, 1e8, (1e6 + 1) * 1e20, 30 * 1e-20, 0, (1e5 + 1) * 1e20},
      {2e8, 1e8, 1e20, 3e-19, 3e-19, 1e20},
      {2e8, 1e8, 1e26, 0, 0, 1e26},
      {2e8, 1e8, 1e26, 1e-300, 0, 1e26},
  };
  for (const Props& c : cases) {
    std::feclearexcept(FE_ALL_EXCEPT);
    MohrModel m = Make(c);
    EXPECT_TRUE(std::isfinite(m.TensionLimit()));
    EXPECT_TRUE(std::isfinite(m.FrictionFactor()));
    ModelState st;
    for (int step = 0; step < 20; ++step) {
      const double e[6] = {-1e-2, 3e-3, 2e-3, 4e-3, -1e-3, 5e-3};
      for (int i = 0; i < 6; ++i) st.strain[i] = step % 2 ? e[i] : -0.5 * e[i];
      ASSERT_EQ(m.UpdateStress(3, st), nullptr);
      EXPECT_EQ(st.state, 0u);
    }
    for (double s : st.stress) EXPECT_TRUE(std::isfinite(s));
    EXPECT_EQ(std::fetestexcept(FE_OVERFLOW | FE_DIVBYZERO | FE_INVALID), 0) << c.cohesion;
  }
  // Zero strengths with a vanishing friction angle: finite, and tension-free.
  std::feclearexcept(FE_ALL_EXCEPT);
  MohrModel weak = Make({2e8, 1e8, 0, 3e-19, 0, 0});
  ModelState st;
  for (int i = 0; i < 3; ++i) st.strain[i] = 1e-4;
  st.strain[3] = 2e-4;
  weak.UpdateStress(3, st);
  for (double s : st.stress) EXPECT_TRUE(std::isfinite(s));
  double p[3];
  STensor::PrinValues(st.stress, p);
  EXPECT_LE(p[2], 1e-6);
  EXPECT_EQ(std::fetestexcept(FE_OVERFLOW | FE_DIVBYZERO | FE_INVALID), 0);
}

TEST(MohrModelTest, ZeroStiffnessStaysFinite) {
  std::feclearexcept(FE_ALL_EXCEPT);
  MohrModel m = Make({0, 0, 0, 30, 0, 0});
  ModelState st;
  st.stress[0] = 1e5;  // beyond the tension limit, and no stiffness to return with
  st.strain[0] = 1e-3;
  EXPECT_EQ(m.UpdateStress(3, st), nullptr);
  for (double s : st.stress) EXPECT_TRUE(std::isfinite(s));
  EXPECT_EQ(std::fetestexcept(FE_DIVBYZERO | FE_INVALID), 0);
}

// The AVX2 code works the eigen-solutions and the common returns four at a
// time: random trial stresses near the planes and edges of the surface,
// whole zones of them, give the baseline code's bits, states and
// floating-point flags. Among them materials the four-lane returns leave to
// the one-tensor code (no stiffness, strengths too great to be finite) and
// tensors it takes alone (a coordinate axis among the principal directions,
// a NaN).
TEST(MohrModelTest, FourLanesGiveTheBaselineBits) {
  const bool vector = cmodels::VectorKernels();
  if (!cmodels::SetVectorKernels(true)) GTEST_SKIP() << "the processor lacks AVX2";
  std::mt19937 rng(2026);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  constexpr int kTets = 10;
  const int flags = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;
  int yielded = 0, tested = 0;
  for (int zone = 0; zone < 100000; ++zone) {
    const bool odd = zone % 500 == 0;
    const double friction = 30 + 25 * u(rng), cohesion = 1e5 * (1.1 + u(rng));
    const double tension = cohesion / std::tan(friction * kDeg) * (0.6 + 0.4 * u(rng));
    MohrModel m =
        Make({odd && zone % 1000 ? 0.0 : 2e8, odd && zone % 1000 ? 0.0 : 1e8, odd && !(zone % 1000) ? 1e300 : cohesion,
              friction, friction * (0.5 + 0.5 * u(rng)) - 5, tension});
    const double nphi = m.FrictionFactor(), limit = 2 * cohesion * std::sqrt(nphi);
    double strain[kTets][6], stress[2][kTets][6];
    uint32_t state[2][kTets];
    uint8_t damping[2][kTets] = {};
    for (int t = 0; t < kTets; ++t) {
      // Principal values on a plane, an edge or the tension cut-off, moved a
      // little either way, turned by a random rotation.
      double p[3];
      p[0] = -2e6 * (0.5 + 0.5 * u(rng));
      p[2] = (limit + p[0]) / nphi;
      const int kind = static_cast<int>(rng() % 4);
      p[1] = kind == 0 ? p[0] : kind == 1 ? p[2] : p[0] + (p[2] - p[0]) * (0.5 + 0.5 * u(rng));
      if (kind == 3) p[0] = p[1] = p[2] = m.TensionLimit() * (1 + 0.01 * u(rng));
      for (double& v : p) v *= 1 + 1e-3 * u(rng);
      double q[4] = {u(rng), u(rng), u(rng), u(rng)};
      const double qn = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
      for (double& v : q) v /= qn;
      const double w = q[0], x = q[1], y = q[2], z = q[3];
      const double r[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y)},
                              {2 * (x * y + w * z), 1 - 2 * (x * x + z * z), 2 * (y * z - w * x)},
                              {2 * (x * z - w * y), 2 * (y * z + w * x), 1 - 2 * (x * x + y * y)}};
      const int ij[6][2] = {{0, 0}, {1, 1}, {2, 2}, {0, 1}, {0, 2}, {1, 2}};
      for (int c = 0; c < 6; ++c) {
        double v = 0.0;
        for (int k = 0; k < 3; ++k) v += r[ij[c][0]][k] * p[k] * r[ij[c][1]][k];
        stress[0][t][c] = v;
        strain[t][c] = 1e-5 * u(rng);
      }
      if (t == 7 && zone % 7 == 0) stress[0][t][3] = stress[0][t][4] = 0.0;
      if (t == 8 && zone % 997 == 0) stress[0][t][5] = std::nan("");
      state[0][t] = rng() % 2 ? MohrModel::kShearNow | MohrModel::kShearPast : 0;
    }
    std::memcpy(stress[1], stress[0], sizeof stress[0]);
    std::memcpy(state[1], state[0], sizeof state[0]);
    for (int level = 0; level < 2; ++level) {
      cmodels::SetVectorKernels(level == 1);
      ModelState z;
      ZoneStressBlock block;
      block.zone = &z;
      block.count = kTets;
      block.strain = strain;
      block.stress = stress[level];
      block.state = state[level];
      block.stiffnessDamping = damping[level];
      std::feclearexcept(FE_ALL_EXCEPT);
      ASSERT_EQ(m.UpdateZoneStress(3, block), nullptr);
      damping[level][0] |= static_cast<uint8_t>(std::fetestexcept(flags) << 1);
    }
    ASSERT_EQ(std::memcmp(stress[0], stress[1], sizeof stress[0]), 0) << zone;
    ASSERT_EQ(std::memcmp(state[0], state[1], sizeof state[0]), 0) << zone;
    ASSERT_EQ(std::memcmp(damping[0], damping[1], sizeof damping[0]), 0) << zone;
    for (int t = 0; t < kTets; ++t) yielded += state[0][t] & MohrModel::kShearNow ? 1 : 0;
    tested += kTets;
  }
  cmodels::SetVectorKernels(vector);
  std::feclearexcept(FE_ALL_EXCEPT);
  EXPECT_GT(yielded, tested / 4);
}

// A tetrahedron that yielded in its last update and whose trial stress now
// lies inside the surface, far from it or close to it, keeps the elastic
// trial to the last bit on both kernel levels: its failure of this step
// cleared, its past kept, its increment elastic.
TEST(MohrModelTest, YieldedLastTimeAndInsideNowKeepsTheElasticTrial) {
  const bool vector = cmodels::VectorKernels();
  MohrModel m = Make({2e8, 1e8, 1e5, 30, 10, 1e9});
  const double nphi = m.FrictionFactor(), limit = 2 * 1e5 * std::sqrt(nphi);
  // Principal stresses: hydrostatic, halfway to the shear plane, a hair
  // inside it and a hair inside the edge of equal lesser values; turned off
  // the axes so the return works the full tensor.
  const double lo = -1e6, onPlane = (limit + lo) / nphi;
  const double cases[][3] = {{lo, lo, lo},
                             {lo, 0.5 * (lo + onPlane), 0.5 * (lo + onPlane)},
                             {lo, 0.5 * (lo + onPlane), onPlane - 1e-3},
                             {lo, lo, onPlane - 1e-3}};
  const double c = std::cos(0.3), sn = std::sin(0.3);
  for (int level = 0; level < 2; ++level) {
    if (!cmodels::SetVectorKernels(level == 1)) continue;
    for (const auto& p : cases) {
      SCOPED_TRACE(testing::Message() << "level " << level << " values " << p[0] << " " << p[1] << " " << p[2]);
      // Rotated by 0.3 about z: the trial stress once the increment is added.
      double trial[6] = {
          c * c * p[0] + sn * sn * p[1], sn * sn * p[0] + c * c * p[1], p[2], c * sn * (p[0] - p[1]), 0.0, 1.0};
      const double strain[6] = {1e-6, -2e-6, 5e-7, 3e-7, -1e-7, 2e-7};
      double stress[6], expected[6];
      // The stress before the increment, so that adding it gives the trial.
      const double lame = 2e8 - 2.0 * 1e8 / 3.0, twoG = 2e8;
      const double ev = lame * (strain[0] + strain[1] + strain[2]);
      for (int i = 0; i < 6; ++i) stress[i] = trial[i] - (i < 3 ? ev : 0.0) - twoG * strain[i];
      std::memcpy(expected, stress, sizeof stress);
      cmodels::AddHookeIncrementLame(lame, twoG, strain, expected);
      uint32_t state = MohrModel::kShearNow | MohrModel::kShearPast;
      uint8_t damping = 0;
      ModelState z;
      ZoneStressBlock block;
      block.zone = &z;
      block.count = 1;
      block.strain = &strain;
      block.stress = &stress;
      block.state = &state;
      block.stiffnessDamping = &damping;
      ASSERT_EQ(m.UpdateZoneStress(3, block), nullptr);
      EXPECT_EQ(std::memcmp(stress, expected, sizeof stress), 0);
      EXPECT_EQ(state, static_cast<uint32_t>(MohrModel::kShearPast));
      EXPECT_EQ(damping, 1);
    }
  }
  cmodels::SetVectorKernels(vector);
}

// Hysteretic damping scales the shear modulus of an update: a zone with the
// factor 0.5 yields as the same material of half the shear modulus does, to
// the last bit, at both kernel levels (the returns' constants of the
// model's own moduli must not serve it).
TEST(MohrModelTest, HystereticFactorActsAsTheScaledShearModulus) {
  const bool vector = cmodels::VectorKernels();
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  constexpr int kTets = 10;
  MohrModel damped = Make({2e8, 1e8, 1e4, 30, 10, 2e3}), scaled = Make({2e8, 5e7, 1e4, 30, 10, 2e3});
  double strain[kTets][6], start[kTets][6];
  for (int t = 0; t < kTets; ++t)
    for (int c = 0; c < 6; ++c) {
      strain[t][c] = 2e-3 * u(rng);
      start[t][c] = c < 3 ? -1e5 : 0.0;
    }
  for (int level = 0; level < 2; ++level) {
    if (!cmodels::SetVectorKernels(level == 1)) continue;
    double stress[2][kTets][6];
    uint32_t state[2][kTets] = {};
    uint8_t damping[2][kTets] = {};
    for (int k = 0; k < 2; ++k) {
      std::memcpy(stress[k], start, sizeof start);
      ModelState z;
      z.hystFactor = k == 0 ? 0.5 : -1.0;
      ZoneStressBlock block;
      block.zone = &z;
      block.count = kTets;
      block.strain = strain;
      block.stress = stress[k];
      block.state = state[k];
      block.stiffnessDamping = damping[k];
      ASSERT_EQ((k == 0 ? damped : scaled).UpdateZoneStress(3, block), nullptr);
    }
    EXPECT_EQ(std::memcmp(stress[0], stress[1], sizeof stress[0]), 0) << level;
    EXPECT_EQ(std::memcmp(state[0], state[1], sizeof state[0]), 0) << level;
    EXPECT_GT(std::count_if(state[0], state[0] + kTets, [](uint32_t b) { return b & MohrModel::kShearNow; }), 5);
  }
  cmodels::SetVectorKernels(vector);
}

}  // namespace
