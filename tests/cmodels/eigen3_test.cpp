#include "cmodels/eigen3.h"

#include "cmodels/eigen3x4.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cfenv>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

// Tensors a plane-strain model meets (tiny out-of-plane shear), general
// ones, and ones with double and triple roots, where the closed form is
// least accurate.
std::vector<std::array<double, 6>> Tensors() {
  std::mt19937 g(7);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<std::array<double, 6>> t;
  for (int i = 0; i < 3000; ++i) {
    std::array<double, 6> s{-1e5 + 3e4 * u(g), -1e5 + 3e4 * u(g), -1e5 + 3e4 * u(g),
                            0.3 * u(g),        4e4 * u(g),        0.3 * u(g)};
    if (i % 3 == 1) s = {u(g), u(g), u(g), u(g), u(g), u(g)};
    if (i % 5 == 2) {  // a double root, exact or nearly
      s[1] = s[0] * (1.0 + (i % 2 ? 1e-9 * u(g) : 0.0));
      s[3] = s[5] = 0.0;
    }
    t.push_back(s);
  }
  t.push_back({-3.0, -3.0, -3.0, 0.0, 0.0, 0.0});  // hydrostatic
  t.push_back({0.0, 0.0, 0.0, 0.0, 0.0, 0.0});
  t.push_back({-2e5, -1e5, -1e5, 0.0, 0.0, 0.0});  // triaxial compression
  t.push_back({1.0, 2.0, 3.0, 0.0, 0.0, 0.0});     // already diagonal
  return t;
}

// The closed-form extreme values agree with the rotations to a few rounding
// units of the spread, well inside the margin the yield check keeps.
TEST(PrincipalValuesTest, ClosedFormExtremesAgreeWithRotations) {
  for (const auto& s : Tensors()) {
    double p[3], v[3][3], lo, hi, spread;
    ASSERT_TRUE(cmodels::SymEigen3(s.data(), p, v));
    cmodels::SymExtremeValues(s.data(), lo, hi, spread);
    const double scale = std::fabs(p[0]) + std::fabs(p[2]) + spread;
    EXPECT_LE(std::fabs(lo - p[0]), 1e-9 * scale);
    EXPECT_LE(std::fabs(hi - p[2]), 1e-9 * scale);
    EXPECT_LE(lo, hi);
  }
}

// A tensor with the given principal values along the axes of a rotation
// about the unit axis n by the angle a (Rodrigues).
std::array<double, 6> Rotated(const double l[3], const double n[3], double a) {
  const double c = std::cos(a), s = std::sin(a);
  double r[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      r[i][j] = (1.0 - c) * n[i] * n[j] + (i == j ? c : 0.0);
      if (i != j) {
        const int k = 3 - i - j;
        const double sign = (j == (i + 1) % 3) ? -1.0 : 1.0;
        r[i][j] += sign * s * n[k];
      }
    }
  auto m = [&](int i, int j) { return r[i][0] * l[0] * r[j][0] + r[i][1] * l[1] * r[j][1] + r[i][2] * l[2] * r[j][2]; };
  return {m(0, 0), m(1, 1), m(2, 2), m(0, 1), m(0, 2), m(1, 2)};
}

// Besides Tensors(): rotated double and triple roots (where a direction
// from cross products alone would be lost), roots a rounding unit apart,
// one shear component only on each axis pair, tension and compression, and
// sizes near both ends of the range.
std::vector<std::array<double, 6>> HardTensors() {
  std::vector<std::array<double, 6>> t = Tensors();
  std::mt19937 g(11);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int i = 0; i < 2000; ++i) {
    double n[3] = {u(g), u(g), u(g)};
    const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    for (double& x : n) x /= len;
    const double a = 3.0 * u(g), base = 1e5 * u(g), gap = 1e5 * u(g);
    double l[3] = {base, base, base + gap};
    // A double root below, a triple root, roots a rounding unit apart, the
    // double root above, tension and compression, roots 1e-9 apart.
    if (i % 6 == 1) l[2] = base;
    if (i % 6 == 2) l[1] = base * (1.0 + 1e-15);
    if (i % 6 == 3) l[0] = base + gap, l[2] = base;
    if (i % 6 == 4) l[0] = -1e5, l[1] = 2e5 * u(g), l[2] = 1e5;
    if (i % 6 == 5) l[1] = base + 1e-9 * gap;
    t.push_back(Rotated(l, n, a));
  }
  for (int k = 3; k < 6; ++k) {
    std::array<double, 6> s{-2.0, 5.0, 1.0, 0.0, 0.0, 0.0};
    s[static_cast<size_t>(k)] = 3.0;
    t.push_back(s);
    s[0] = s[1] = s[2] = 7.0;  // equal diagonal
    t.push_back(s);
  }
  t.push_back({4.0, -1.0, -1.0, 0.0, 0.0, 0.0});
  t.push_back({1.0, 1.0, 1.0, 1e-200, 1e-200, 0.0});  // shears whose squares vanish
  for (double size : {1e-300, 1e-160, 1e160, 1e300}) {
    const double l[3] = {-size, 0.5 * size, 0.75 * size}, n[3] = {0.6, 0.0, 0.8};
    t.push_back(Rotated(l, n, 0.7));
  }
  return t;
}

// The closed form and plane rotation agree with the rotations to a few
// rounding units of the tensor's size: the same values, orthonormal
// directions that rebuild the tensor, and the same direction wherever a
// value stands apart from the others.
TEST(PrincipalValuesTest, ClosedFormAgreesWithRotations) {
  const double eps = 2.220446049250313e-16;
  for (const auto& s : HardTensors()) {
    double p[3], v[3][3], pj[3], vj[3][3];
    ASSERT_TRUE(cmodels::SymEigen3(s.data(), p, v));
    ASSERT_TRUE(cmodels::SymEigen3Jacobi(s.data(), pj, vj));
    double big = 0.0, sum = 0.0;
    for (double x : s) big = std::max(big, std::fabs(x));
    for (int i = 0; i < 6; ++i) sum += (i < 3 ? 1.0 : 2.0) * std::pow(s[static_cast<size_t>(i)] / (big + 1e-320), 2);
    const double norm = big * std::sqrt(sum);
    const double tol = 20.0 * eps * norm;
    SCOPED_TRACE(testing::Message() << s[0] << " " << s[1] << " " << s[2] << " " << s[3] << " " << s[4] << " " << s[5]);
    EXPECT_LE(p[0], p[1]);
    EXPECT_LE(p[1], p[2]);
    for (int k = 0; k < 3; ++k) EXPECT_LE(std::fabs(p[k] - pj[k]), tol) << k;
    const int pairs[6][2] = {{0, 0}, {1, 1}, {2, 2}, {0, 1}, {0, 2}, {1, 2}};
    for (int m = 0; m < 6; ++m) {
      const int i = pairs[m][0], j = pairs[m][1];
      double rebuilt = 0.0, dot = 0.0;
      for (int k = 0; k < 3; ++k) {
        rebuilt += p[k] * v[i][k] * v[j][k];
        dot += v[k][i] * v[k][j];
      }
      EXPECT_LE(std::fabs(rebuilt - s[static_cast<size_t>(m)]), tol) << "component " << m;
      EXPECT_NEAR(dot, i == j ? 1.0 : 0.0, 20.0 * eps) << "columns " << i << " " << j;
    }
    for (int k = 0; k < 3; ++k) {
      double gap = 1e300;
      for (int o = 0; o < 3; ++o)
        if (o != k) gap = std::min(gap, std::fabs(pj[k] - pj[o]));
      if (!(gap >= 1e-3 * norm && norm > 0.0)) continue;
      const double cosine = std::fabs(v[0][k] * vj[0][k] + v[1][k] * vj[1][k] + v[2][k] * vj[2][k]);
      EXPECT_NEAR(cosine, 1.0, 20.0 * eps * norm / gap) << "direction " << k;
    }
  }
}

// A tensor holding a NaN or an infinity has no principal values.
TEST(PrincipalValuesTest, NotANumberIsRefused) {
  const double nan = std::nan(""), inf = 1.0 / 0.0 * 1.0;
  for (const std::array<double, 6>& s : {std::array<double, 6>{1, 2, 3, nan, 0, 0},
                                         {nan, 0, 0, 0, 0, 0},
                                         {1, 2, 3, 0.5, 0.25, inf},
                                         {-inf, 0, 0, 0, 0, 0}}) {
    double p[3], v[3][3];
    EXPECT_FALSE(cmodels::SymEigen3(s.data(), p, v));
  }
}

// Three groups of four side by side, as the models call them.
__attribute__((target("arch=x86-64-v3,no-fma"), noinline)) void TwelveAtATime(const double* const s[12], int count,
                                                                              double values[3][3][4],
                                                                              double vectors[3][3][3][4], bool ok[12]) {
  double(*const v[3])[4] = {values[0], values[1], values[2]};
  double(*const vv[3])[3][4] = {vectors[0], vectors[1], vectors[2]};
  cmodels::SymEigen3x4Groups<3>(s, count, v, vv, ok);
}

// Four and twelve tensors at a time give what one at a time gives, to the
// last bit and with the same floating-point flags: every tensor above (the
// hard ones, the ones with a zero shear or a scale far from 1, NaNs and
// infinities) in every lane, with the other lanes full or empty.
TEST(PrincipalValuesTest, FourAtATimeGiveTheSameBits) {
  __builtin_cpu_init();
  if (!__builtin_cpu_supports("x86-64-v3")) GTEST_SKIP() << "the processor lacks AVX2";
  std::vector<std::array<double, 6>> all = HardTensors();
  const double nan = std::nan(""), inf = 1.0 / 0.0 * 1.0;
  all.push_back({1, 2, 3, nan, 0.5, 0.25});
  all.push_back({1, 2, 3, 0.5, 0.25, inf});
  const int flags = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;
  for (size_t i = 0; i < all.size(); ++i) {
    for (int count = 1; count <= 12; ++count) {
      const double* in[12] = {};
      for (int l = 0; l < count; ++l) in[l] = all[(i + static_cast<size_t>(l) * 997) % all.size()].data();
      std::feclearexcept(FE_ALL_EXCEPT);
      double p1[12][3], v1[12][3][3];
      bool ok1[12];
      for (int l = 0; l < count; ++l) ok1[l] = cmodels::SymEigen3(in[l], p1[l], v1[l]);
      const int flags1 = std::fetestexcept(flags);
      // Group g, lane l of the answers of four or twelve at a time.
      double p4[3][3][4], v4[3][3][3][4];
      bool ok4[12];
      const auto check = [&](const char* how) {
        EXPECT_EQ(std::fetestexcept(flags), flags1) << how << i << " " << count;
        for (int n = 0; n < count; ++n) {
          const int g = n / 4, l = n % 4;
          ASSERT_EQ(ok4[n], ok1[n]) << how << i << " lane " << n;
          if (!ok1[n]) continue;
          for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(std::memcmp(&p4[g][k][l], &p1[n][k], sizeof(double)), 0) << how << i << " lane " << n;
            for (int r = 0; r < 3; ++r)
              EXPECT_EQ(std::memcmp(&v4[g][r][k][l], &v1[n][r][k], sizeof(double)), 0) << how << i << " lane " << n;
          }
        }
      };
      if (count <= 4) {
        std::feclearexcept(FE_ALL_EXCEPT);
        cmodels::SymEigen3x4(in, count, p4[0], v4[0], ok4);
        check("four ");
      }
      std::feclearexcept(FE_ALL_EXCEPT);
      TwelveAtATime(in, count, p4, v4, ok4);
      check("twelve ");
    }
  }
  std::feclearexcept(FE_ALL_EXCEPT);
}

}  // namespace
