// Hysteretic damping: the modulus-reduction curves, the strain path with its
// reversals and closed loops, the save form and the record pool.
#include "model/hyst_damping.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "base/except.h"
#include "model/module_doubles.h"

namespace {

constexpr double kLog10e = 0.4342944819032518;

// A pure shear increment: the first strain component moves by g.
double Shear(HystDamping& h, double g) {
  const double de[6] = {0, 0, 0, g, 0, 0};
  return h.Update(de);
}

HystDamping WithCurve(int32_t curve, double p1, double p2, double p3 = 0.0, double p4 = 0.0) {
  HystDamping h;
  const double p[4] = {p1, p2, p3, p4};
  h.SetParameters(curve, p);
  return h;
}

// The curves written out on their own, at L = log10(k gamma).
double DefaultCurve(double L, double L1, double L2) {
  double t = std::clamp((L2 - L) / (L2 - L1), 0.0, 1.0);
  return std::clamp(t * t * (3 - 2 * t) - 6 * kLog10e * t * (1 - t) / (L2 - L1), 0.0, 1.0);
}
double SigmoidCurve(double L, double a, double b, double x0, double y0) {
  double x = std::exp(-(L - x0) / b);
  return std::clamp(y0 + a / (1 + x) + kLog10e * a * x / (b * (1 + x) * (1 + x)), 0.0, 1.0);
}

TEST(HystDampingTest, AZeroFirstIncrementAnswersOneAndLeavesTheState) {
  HystDamping h = WithCurve(HystDamping::kDefault, -3.0, 0.5);
  EXPECT_EQ(Shear(h, 0.0), 1.0);
  EXPECT_EQ(h.Factor(), 1.0);
  EXPECT_EQ(h.Reversals(), 0);
  EXPECT_EQ(h.PathLength(), 0.0);
}

TEST(HystDampingTest, CurvesFollowTheirFormulas) {
  struct Case {
    int32_t curve;
    double p[4];
    double gamma;
  };
  const std::vector<Case> cases = {
      {HystDamping::kDefault, {-3.0, 0.5, 0, 0}, 1e-5},       // L = -3: the flat top
      {HystDamping::kDefault, {-3.0, 0.5, 0, 0}, 0.0316228},  // L = 0.5: the bottom
      {HystDamping::kDefault, {-3.0, 0.5, 0, 0}, 5.6234e-4},  // half way
      {HystDamping::kDefault, {-3.5, 1.0, 0, 0}, 2e-4},      {HystDamping::kSig3, {1.0, -0.5, -1.5, 0}, 3e-4},
      {HystDamping::kSig3, {1.02, -0.6, -1.2, 0}, 2e-2},     {HystDamping::kSig4, {0.9, -0.5, -1.5, 0.05}, 3e-4},
      {HystDamping::kHardin, {0.06, 0, 0, 0}, 3e-4},
  };
  for (const Case& c : cases) {
    HystDamping h = WithCurve(c.curve, c.p[0], c.p[1], c.p[2], c.p[3]);
    const double f = Shear(h, c.gamma);
    const double L = std::log10(100.0 * c.gamma);
    double expected = 0.0;
    switch (c.curve) {
      case HystDamping::kDefault:
        expected = DefaultCurve(L, c.p[0], c.p[1]);
        break;
      case HystDamping::kSig3:
        expected = SigmoidCurve(L, c.p[0], c.p[1], c.p[2], 0.0);
        break;
      case HystDamping::kSig4:
        expected = SigmoidCurve(L, c.p[0], c.p[1], c.p[2], c.p[3]);
        break;
      default:
        expected = std::pow(1.0 / (1.0 + 100.0 * c.gamma / c.p[0]), 2);
        break;
    }
    EXPECT_NEAR(f, expected, 1e-12) << c.curve << " " << c.gamma;
    EXPECT_EQ(h.Factor(), f);
  }
  // The default curve's ends: 1 at L <= -3, 0 at L >= 0.5.
  HystDamping top = WithCurve(HystDamping::kDefault, -3.0, 0.5);
  EXPECT_EQ(Shear(top, 1e-6), 1.0);
  HystDamping bottom = WithCurve(HystDamping::kDefault, -3.0, 0.5);
  EXPECT_EQ(Shear(bottom, 0.05), 0.0);
}

TEST(HystDampingTest, NormalIncrementsCountThroughTheirDifferences) {
  // An equal normal increment in all three directions is no distortion.
  HystDamping h;
  const double volumetric[6] = {1e-3, 1e-3, 1e-3, 0, 0, 0};
  EXPECT_EQ(h.Update(volumetric), 1.0);
  // The shear components go to the strain state as s1, s3, s2.
  const double shear[6] = {0, 0, 0, 1.0, 2.0, 3.0};
  h.Update(shear);
  EXPECT_EQ(h.Strain()[0], 1.0);
  EXPECT_EQ(h.Strain()[1], 3.0);
  EXPECT_EQ(h.Strain()[2], 2.0);
  const double normal[6] = {6.0, 0, 0, 0, 0, 0};
  h.Update(normal);
  EXPECT_NEAR(h.Strain()[3], 6.0 / std::sqrt(6.0), 1e-15);
  EXPECT_EQ(h.Strain()[4], 0.0);
  EXPECT_NEAR(h.Strain()[5], -6.0 / std::sqrt(6.0), 1e-15);
}

TEST(HystDampingTest, AReversalIsRememberedAndAClosedLoopForgotten) {
  HystDamping::FreePool();
  HystDamping h = WithCurve(HystDamping::kSig3, 1.0, -0.5, -1.5);
  Shear(h, 1e-3);     // forward to 1e-3
  Shear(h, -0.4e-3);  // back: the first reversal
  EXPECT_EQ(h.Reversals(), 1);
  EXPECT_EQ(h.Sign(), -1);
  EXPECT_EQ(h.RisingDepth(), 1);
  Shear(h, -0.2e-3);  // on back
  EXPECT_EQ(h.Reversals(), 1);
  Shear(h, 0.1e-3);  // turns forward again
  EXPECT_EQ(h.Reversals(), 2);
  EXPECT_EQ(h.Sign(), 1);
  EXPECT_EQ(h.FallingDepth(), 1);
  // Going past the point where the first reversal began closes the loop:
  // the path is back on the first branch, with both records recycled.
  const double f = Shear(h, 0.2e-3);
  EXPECT_EQ(h.Reversals(), 0);
  EXPECT_EQ(h.RisingDepth(), 0);
  EXPECT_EQ(h.FallingDepth(), 0);
  EXPECT_EQ(HystDamping::PoolCount(), 2);
  HystDamping straight = WithCurve(HystDamping::kSig3, 1.0, -0.5, -1.5);
  EXPECT_NEAR(f, Shear(straight, 0.7e-3), 1e-12);
  // The next reversal takes a record from the pool.
  Shear(h, -0.5e-3);
  EXPECT_EQ(HystDamping::PoolCount(), 1);
  HystDamping::FreePool();
  EXPECT_EQ(HystDamping::PoolCount(), 0);
}

TEST(HystDampingTest, AfterAReversalTheCurveRunsAtHalfScale) {
  HystDamping h = WithCurve(HystDamping::kHardin, 0.06, 0);
  Shear(h, 1e-3);
  const double f = Shear(h, -0.4e-3);
  ASSERT_EQ(h.Reversals(), 1);
  // The reversal step measures the distance along the old direction: 0.6e-3 with k = 50.
  EXPECT_NEAR(f, std::pow(1.0 / (1.0 + 50.0 * 0.6e-3 / 0.06), 2), 1e-12);
}

TEST(HystDampingTest, MeaninglessParametersNeverGiveNaN) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Params {
    int32_t curve;
    double p[4];
  };
  const std::vector<Params> params = {
      {HystDamping::kDefault, {0.5, 0.5, 0, 0}},   // L1 = L2
      {HystDamping::kDefault, {0.5, -3.0, 0, 0}},  // reversed
      {HystDamping::kSig3, {1.0, 0.0, -1.5, 0}},   // b = 0
      {HystDamping::kSig3, {1.0, -1e-300, -1.5, 0}},
      {HystDamping::kSig4, {1.0, 0.0, -1.0, 0.1}},
      {HystDamping::kHardin, {0.0, 0, 0, 0}},    // zero reference strain
      {HystDamping::kHardin, {-0.06, 0, 0, 0}},  // negative reference strain
      {2, {0, 0, 0, 0}},                         // no such curve
      {HystDamping::kDefault, {nan, 0.5, 0, 0}},
  };
  // Steps that go up, back, through the reversal points and to the extremes.
  const std::vector<double> steps = {1e-7, 1e-5, 1e-3, -2e-3, 0.0, 5e-4, 1e-1, -3e-1, 1e-12, 1e30, -1e30, nan, inf};
  for (const Params& p : params) {
    HystDamping h = WithCurve(p.curve, p.p[0], p.p[1], p.p[2], p.p[3]);
    for (double g : steps) {
      const double f = Shear(h, g);
      EXPECT_FALSE(std::isnan(f)) << p.curve << " " << p.p[0] << " " << p.p[1] << " step " << g;
      EXPECT_TRUE(std::isfinite(h.Factor()));
      if (p.curve != HystDamping::kHardin) {
        EXPECT_TRUE(f >= 0.0 && f <= 1.0) << f;
      }
    }
  }
  // A step that is not a number changes nothing.
  HystDamping h = WithCurve(HystDamping::kDefault, -3.0, 0.5);
  const double f = Shear(h, 1e-4);
  const double strain = h.Strain()[0];
  EXPECT_EQ(Shear(h, nan), f);
  EXPECT_EQ(h.Strain()[0], strain);
  EXPECT_EQ(h.Reversals(), 0);
}

// The record's fixed part: 18 doubles of strain, direction and reversal
// strain, 5 path values, 4 parameters and log10(e), then three integers.
constexpr size_t kCurveOffset = (18 + 5 + 4 + 1) * 8;
constexpr size_t kRecordBytes = 12 * 8 + 3 * 8 + 4;

int32_t I32At(const std::string& b, size_t at) {
  int32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}
double F64At(const std::string& b, size_t at) {
  double v;
  std::memcpy(&v, b.data() + at, 8);
  return v;
}

TEST(HystDampingTest, SaveFormFieldByField) {
  HystDamping h = WithCurve(HystDamping::kSig4, 0.9, -0.5, -1.5, 0.05);
  Shear(h, 1e-3);
  Shear(h, -0.4e-3);
  Shear(h, -0.2e-3);
  Shear(h, 0.1e-3);
  MemoryStream s;
  h.Save(s);
  const std::string& b = s.bytes;
  ASSERT_EQ(b.size(), kCurveOffset + 12 + 2 * (4 + kRecordBytes));
  EXPECT_NEAR(F64At(b, 0), 0.5e-3, 1e-18);              // strain[0]
  EXPECT_EQ(F64At(b, 12 * 8), F64At(b, 0));             // reversal strain[0]: the last turn
  EXPECT_EQ(F64At(b, 18 * 8 + 2 * 8), h.Factor());      // reach, projection, factor
  EXPECT_EQ(F64At(b, 18 * 8 + 4 * 8), h.PathLength());  // path
  EXPECT_EQ(F64At(b, 23 * 8), 0.9);                     // p1
  EXPECT_EQ(F64At(b, 26 * 8), 0.05);                    // p4
  EXPECT_EQ(F64At(b, 27 * 8), kLog10e);
  EXPECT_EQ(I32At(b, kCurveOffset), HystDamping::kSig4);
  EXPECT_EQ(I32At(b, kCurveOffset + 4), 2);  // reversals
  EXPECT_EQ(I32At(b, kCurveOffset + 8), 1);  // sign
  const size_t rising = kCurveOffset + 12;
  EXPECT_EQ(I32At(b, rising), 1);
  EXPECT_NEAR(F64At(b, rising + 4 + 12 * 8), 0.6e-3, 1e-18);  // path at reversal
  EXPECT_EQ(I32At(b, rising + 4 + 15 * 8), 0);                // reversals before it
  const size_t falling = rising + 4 + kRecordBytes;
  EXPECT_EQ(I32At(b, falling), 1);
  EXPECT_NEAR(F64At(b, falling + 4), 0.6e-3, 1e-18);  // its reversal strain
  EXPECT_EQ(I32At(b, falling + 4 + 15 * 8), 1);

  // Restored, and copied, it saves the same bytes and goes on alike.
  HystDamping back;
  MemoryStream in;
  in.bytes = b;
  back.Restore(in);
  EXPECT_EQ(in.Remaining(), 0u);
  MemoryStream again;
  back.Save(again);
  EXPECT_EQ(again.bytes, b);
  HystDamping copy;
  copy = h;
  MemoryStream copied;
  copy.Save(copied);
  EXPECT_EQ(copied.bytes, b);
  const double next = Shear(h, 0.2e-3);
  EXPECT_EQ(Shear(back, 0.2e-3), next);
  EXPECT_EQ(Shear(copy, 0.2e-3), next);
}

TEST(HystDampingTest, DamagedRecordsAreReadErrors) {
  HystDamping h;
  Shear(h, 1e-3);
  Shear(h, -0.5e-3);
  MemoryStream good;
  h.Save(good);
  struct Damage {
    size_t at;
    int32_t value;
  };
  const std::vector<Damage> damages = {
      {kCurveOffset, 2},             // no such curve
      {kCurveOffset + 4, -1},        // a negative reversal count
      {kCurveOffset + 8, 0},         // a sign that is not +1 or -1
      {kCurveOffset + 12, -1},       // a negative record count
      {kCurveOffset + 12, 1 << 30},  // more records than the bytes hold
  };
  for (const Damage& d : damages) {
    MemoryStream in;
    in.bytes = good.bytes;
    std::memcpy(in.bytes.data() + d.at, &d.value, 4);
    HystDamping back;
    EXPECT_THROW(back.Restore(in), KWRExcept) << d.at;
  }
  for (size_t cut = 0; cut < good.bytes.size(); cut += 37) {
    MemoryStream in;
    in.bytes = good.bytes.substr(0, cut);
    HystDamping back;
    EXPECT_THROW(back.Restore(in), KWRExcept) << cut;
  }
}

}  // namespace
