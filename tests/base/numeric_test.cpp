#include "base/numeric.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <limits>
#include <string>

#include "base/except.h"

namespace {

template <class F>
std::string ErrorOf(F f) {
  try {
    f();
  } catch (const KWRExcept& e) {
    return e.Text();
  }
  return "";
}

// Checks A v = lambda v for each pair, unit vectors, mutual orthogonality and ascending order.
void ExpectEigenPairs(const double t[6], const double values[3], const double vectors[9], double tol) {
  const double a[3][3] = {{t[0], t[3], t[4]}, {t[3], t[1], t[5]}, {t[4], t[5], t[2]}};
  for (int k = 0; k < 3; ++k) {
    const double* v = vectors + 3 * k;
    for (int r = 0; r < 3; ++r) {
      double av = a[r][0] * v[0] + a[r][1] * v[1] + a[r][2] * v[2];
      EXPECT_NEAR(av, values[k] * v[r], tol) << "pair " << k;
    }
    EXPECT_NEAR(v[0] * v[0] + v[1] * v[1] + v[2] * v[2], 1.0, 1e-12);
    for (int l = k + 1; l < 3; ++l) {
      const double* w = vectors + 3 * l;
      EXPECT_NEAR(v[0] * w[0] + v[1] * w[1] + v[2] * w[2], 0.0, 1e-12);
    }
  }
  EXPECT_LE(values[0], values[1]);
  EXPECT_LE(values[1], values[2]);
}

TEST(JacobsTest, DiagonalTensorIsSortedWithItsAxes) {
  const double t[6] = {3, 1, 2, 0, 0, 0};
  double d[3], v[9];
  jacobs(t, d, v);
  EXPECT_EQ(d[0], 1.0);
  EXPECT_EQ(d[1], 2.0);
  EXPECT_EQ(d[2], 3.0);
  const double expected[9] = {0, 1, 0, 0, 0, 1, 1, 0, 0};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(v[i], expected[i]) << i;
}

TEST(JacobsTest, ZeroTensorGivesZerosAndTheIdentity) {
  const double t[6] = {0, 0, 0, 0, 0, 0};
  double d[3], v[9];
  jacobs(t, d, v);
  const double identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(d[i], 0.0);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(v[i], identity[i]);
}

TEST(JacobsTest, InPlaneShear) {
  const double t[6] = {2, 2, 0, 1, 0, 0};
  double d[3], v[9];
  jacobs(t, d, v);
  EXPECT_NEAR(d[0], 0.0, 1e-14);
  EXPECT_NEAR(d[1], 1.0, 1e-14);
  EXPECT_NEAR(d[2], 3.0, 1e-14);
  EXPECT_NEAR(std::fabs(v[2]), 1.0, 1e-14);  // the zero value lies along z
  const double r = 1.0 / std::sqrt(2.0);
  EXPECT_NEAR(std::fabs(v[3]), r, 1e-14);
  EXPECT_NEAR(v[3], -v[4], 1e-14);  // (1, -1, 0) / sqrt 2 up to sign
  EXPECT_NEAR(std::fabs(v[6]), r, 1e-14);
  EXPECT_NEAR(v[6], v[7], 1e-14);  // (1, 1, 0) / sqrt 2 up to sign
}

TEST(JacobsTest, RepeatedAndZeroValues) {
  // Each tensor: six components and its principal values.
  struct Case {
    double t[6];
    double values[3];
  };
  const double h = 0.5;
  const Case cases[] = {
      {{4, 4, 4, 0, 0, 0}, {4, 4, 4}},          // hydrostatic
      {{1, 1, 1, 1, 1, 1}, {0, 0, 3}},          // rank one: a double zero
      {{2, 2, 2, -1, -1, -1}, {0, 3, 3}},       // a double value on top
      {{1.5, 1.5, 1, h, 0, 0}, {1, 1, 2}},      // a double value below
      {{0, 0, 0, 1, 0, 0}, {-1, 0, 1}},         // pure shear
      {{1e-20, 0, 0, 0, 0, 0}, {0, 0, 1e-20}},  // below the scale floor
      {{-5e6, -5e6, -2e6, 0, 0, 2e6}, {-6e6, -5e6, -1e6}},
  };
  for (const Case& c : cases) {
    double d[3], v[9];
    jacobs(c.t, d, v);
    double scale = std::fabs(c.values[0]) + std::fabs(c.values[2]) + 1e-30;
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(d[i], c.values[i], 1e-12 * scale) << c.t[0] << " value " << i;
    ExpectEigenPairs(c.t, d, v, 1e-12 * scale);
  }
}

TEST(JacobsTest, NotANumberDoesNotConverge) {
  const double t[6] = {std::numeric_limits<double>::quiet_NaN(), 0, 0, 1, 0, 0};
  double d[3] = {7, 7, 7}, v[9] = {};
  EXPECT_EQ(ErrorOf([&] { jacobs(t, d, v); }), "Too many iterations in routine jacobs");
  EXPECT_EQ(d[0], 7.0);
  std::feclearexcept(FE_ALL_EXCEPT);
}

Mat Rows3(const double r[9]) {
  Mat m(3, 3);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) m(i + 1, j + 1) = r[3 * i + j];
  return m;
}

TEST(TransformTest, StressInRotatedAxes) {
  const double s[6] = {1, 2, 3, 4, 5, 6};  // xx yy zz xy xz yz
  double out[6];
  const double identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  TransformStress(out, s, Rows3(identity));
  for (int i = 0; i < 6; ++i) EXPECT_DOUBLE_EQ(out[i], s[i]);
  const double quarter[9] = {0, 1, 0, -1, 0, 0, 0, 0, 1};
  TransformStress(out, s, Rows3(quarter));
  const double expected[6] = {2, 1, 3, -4, 6, -5};
  for (int i = 0; i < 6; ++i) EXPECT_DOUBLE_EQ(out[i], expected[i]) << i;

  // A general rotation against R s R^T written out.
  double c = std::cos(0.3), sn = std::sin(0.3), c2 = std::cos(1.1), s2 = std::sin(1.1);
  const double r[9] = {c, sn, 0, -sn * c2, c * c2, s2, sn * s2, -c * s2, c2};
  TransformStress(out, s, Rows3(r));
  const double full[3][3] = {{1, 4, 5}, {4, 2, 6}, {5, 6, 3}};
  double rs[3][3] = {};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k)
        for (int l = 0; l < 3; ++l) rs[i][j] += r[3 * i + k] * full[k][l] * r[3 * j + l];
  const double want[6] = {rs[0][0], rs[1][1], rs[2][2], rs[0][1], rs[0][2], rs[1][2]};
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(out[i], want[i], 1e-13) << i;
}

TEST(TransformTest, StrainMatrixAndPlaneTransform) {
  double c = std::cos(0.4), s = std::sin(0.4);
  const double r[9] = {c, s, 0, -s, c, 0, 0, 0, 1};
  Mat t(6, 6);
  StressTransformMatrix(Rows3(r), t);
  EXPECT_DOUBLE_EQ(t(1, 1), c * c);
  EXPECT_DOUBLE_EQ(t(1, 4), c * s);
  EXPECT_DOUBLE_EQ(t(4, 1), -2 * s * c);
  EXPECT_DOUBLE_EQ(t(4, 4), c * c - s * s);
  EXPECT_DOUBLE_EQ(t(5, 5), c);  // R22 R33 + R23 R32
  EXPECT_DOUBLE_EQ(t(6, 6), c);  // R33 R11 + R31 R13
  EXPECT_DOUBLE_EQ(t(3, 3), 1.0);

  Mat r2(2, 2), p(3, 3);
  r2(1, 1) = c;
  r2(1, 2) = s;
  r2(2, 1) = -s;
  r2(2, 2) = c;
  PlaneStressTransform(r2, p);
  EXPECT_DOUBLE_EQ(p(1, 3), 2 * c * s);
  EXPECT_DOUBLE_EQ(p(2, 3), -2 * s * c);
  EXPECT_DOUBLE_EQ(p(3, 1), -c * s);
  EXPECT_DOUBLE_EQ(p(3, 3), c * c - s * s);
}

void ExpectAxes(const Vec3 got[3], const Vec3 want[3]) {
  for (int k = 0; k < 3; ++k) {
    EXPECT_NEAR(got[k].x, want[k].x, 1e-15) << k;
    EXPECT_NEAR(got[k].y, want[k].y, 1e-15) << k;
    EXPECT_NEAR(got[k].z, want[k].z, 1e-15) << k;
  }
}

TEST(AxesFromNormalTest, CoordinateNormals) {
  Vec3 axes[3];
  AxesFromNormal({0, 0, 1}, axes);
  const Vec3 up[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  ExpectAxes(axes, up);
  AxesFromNormal({0, 0, -1}, axes);
  const Vec3 down[3] = {{1, 0, 0}, {0, -1, 0}, {0, 0, -1}};
  ExpectAxes(axes, down);
  AxesFromNormal({1, 0, 0}, axes);
  const Vec3 east[3] = {{0, 0, 1}, {0, -1, 0}, {1, 0, 0}};
  ExpectAxes(axes, east);
}

TEST(AxesFromNormalTest, GeneralNormalsGiveUnitAxes) {
  const Vec3 normals[] = {{1, 2, 3}, {0.3, -0.2, 0.1}, {-1, -1, -1}, {0, 2, 0}};
  for (const Vec3& n : normals) {
    Vec3 axes[3];
    AxesFromNormal(n, axes);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(axes[k].Length(), 1.0, 1e-14);
    EXPECT_NEAR(Vec3::Dot(axes[0], axes[1]), 0.0, 1e-14);
    EXPECT_NEAR(Vec3::Dot(axes[0], axes[2]), 0.0, 1e-14);
    EXPECT_NEAR(Vec3::Dot(axes[1], axes[2]), 0.0, 1e-14);
    EXPECT_NEAR(axes[1].z, 0.0, 1e-14);  // the second axis is horizontal
    EXPECT_GE(axes[0].z, 0.0);           // the first never points downward
    Vec3 unit = n * (1.0 / n.Length());
    EXPECT_NEAR(Vec3::Dot(axes[2], unit), 1.0, 1e-14);
  }
}

TEST(NumericTest, SmallRoutines) {
  struct Case {
    double a, b, expected;
  };
  const Case signs[] = {
      {3, -0.5, -3}, {-3, 2, 3}, {-3, 0, 3}, {3, -0.0, 3}, {-3, std::numeric_limits<double>::quiet_NaN(), 3}};
  for (const Case& c : signs) EXPECT_EQ(CopySign(c.a, c.b), c.expected) << c.a << " " << c.b;

  const double unit[12] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1};
  EXPECT_DOUBLE_EQ(TetVolume6(unit), 1.0);
  const double flipped[12] = {0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1};
  EXPECT_DOUBLE_EQ(TetVolume6(flipped), -1.0);

  EXPECT_TRUE(PointsCoincide({1, 1, 1}, {1, 1, 1 + 1e-15}, 1.0));
  EXPECT_FALSE(PointsCoincide({1, 1, 1}, {1, 1, 1 + 1e-13}, 1.0));
  EXPECT_TRUE(PointsCoincide({1, 1, 1}, {1, 1, 1 + 1e-13}, 100.0));
}

TEST(MathErrorTest, FlagsAreReportedOnceWithFileAndLine) {
  ClearMathErrors();
  volatile double zero = 0.0;
  volatile double r = 1.0 / zero;
  (void)r;
  std::string text = ErrorOf([] { CheckMathError(nullptr, "cycle.cpp", 42); });
  EXPECT_EQ(text, "Math error:\nzero divide\nFile:  cycle.cpp\nLine:  42");
  EXPECT_EQ(ErrorOf([] { CheckMathError(nullptr, "cycle.cpp", 43); }), "");

  volatile double big = 1e300;
  volatile double o = big * big;
  volatile double n = zero / zero;
  (void)o;
  (void)n;
  text = ErrorOf([] { TERRAX_CHECK_MATH(); });
  EXPECT_EQ(text.rfind("Math error:\noverflow\ninvalid\nFile:  ", 0), 0u) << text;

  // Inexact and underflow alone are no error.
  volatile double tiny = 1e-300;
  volatile double u = tiny * tiny;
  (void)u;
  EXPECT_EQ(ErrorOf([] { TERRAX_CHECK_MATH(); }), "");
  EXPECT_EQ(ErrorOf([] { CheckMathError("Pending text", "x", 1); }), "Pending text");
  EXPECT_THROW(CheckMathError("Pending text", "x", 1), QJExcept);
}

TEST(MathErrorTest, LibraryErrorsNameKindFunctionAndArguments) {
  EXPECT_EQ(ErrorOf([] { MathLibraryError(1, "sqrt", -1.0, 0.0); }),
            "Math error: Domain in sqrt(-1.000000e+00,0.000000e+00)");
  EXPECT_EQ(ErrorOf([] { MathLibraryError(6, "pow", 2.0, 0.5); }),
            "Math error: Partial Sig. Loss in pow(2.000000e+00,5.000000e-01)");
  EXPECT_THROW(MathLibraryError(3, "exp", 1000.0, 0.0), QJExcept);
}

}  // namespace
