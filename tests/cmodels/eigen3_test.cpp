#include "cmodels/eigen3.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
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

}  // namespace
