// Weighted sums, Coons patches and tetrahedron volumes of body grids.
#include <gtest/gtest.h>

#include <cmath>

#include "generate/body/body_interp.h"

namespace {

TEST(BodyInterpTest, CoonsPointOfAFlatSquareIsItsParameters) {
  const Vec3 corners[4] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
  for (double u : {0.0, 0.3, 1.0}) {
    for (double v : {0.0, 0.6, 1.0}) {
      const Vec3 edges[4] = {{u, 0, 0}, {1, v, 0}, {u, 1, 0}, {0, v, 0}};
      const Vec3 p = CoonsPoint(corners, edges, u, v);
      EXPECT_NEAR(p.x, u, 1e-15) << u << " " << v;
      EXPECT_NEAR(p.y, v, 1e-15) << u << " " << v;
      EXPECT_EQ(p.z, 0.0);
    }
  }
  // At (0, 0) the patch gives E1 + E4 - A1, whatever the other points.
  const Vec3 a[4] = {{1, 2, 3}, {9, 9, 9}, {9, 9, 9}, {9, 9, 9}};
  const Vec3 e[4] = {{4, 4, 4}, {9, 9, 9}, {9, 9, 9}, {0, 1, 5}};
  const Vec3 p = CoonsPoint(a, e, 0.0, 0.0);
  EXPECT_TRUE(Vec3::IsEqual(p, Vec3{3, 3, 6}));
}

TEST(BodyInterpTest, CoonsPointBlendsCurvedEdges) {
  // A square whose edge v = 0 bulges by 0.25 sin(pi u) in z: the bulge fades
  // linearly to the opposite edge (Farin, Curves and Surfaces for CAGD, ch. 22).
  const Vec3 corners[4] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
  const double u = 0.5, v = 0.25;
  const Vec3 edges[4] = {{u, 0, 0.25 * std::sin(M_PI * u)}, {1, v, 0}, {u, 1, 0}, {0, v, 0}};
  const Vec3 p = CoonsPoint(corners, edges, u, v);
  EXPECT_NEAR(p.z, 0.75 * 0.25, 1e-15);
  EXPECT_NEAR(p.x, u, 1e-15);
  EXPECT_NEAR(p.y, v, 1e-15);
}

TEST(BodyInterpTest, TetVolumeIsSignedBySense) {
  const Vec3 o{0, 0, 0}, x{1, 0, 0}, y{0, 1, 0}, z{0, 0, 1};
  EXPECT_DOUBLE_EQ(TetVolume(o, x, y, z), 1.0 / 6.0);
  EXPECT_DOUBLE_EQ(TetVolume(o, y, x, z), -1.0 / 6.0);
  EXPECT_DOUBLE_EQ(TetVolume(x, o, y, z), -1.0 / 6.0);
  // Moving the whole tetrahedron changes nothing.
  const Vec3 shift{10, -3, 7};
  EXPECT_NEAR(TetVolume(o + shift, x * 2 + shift, y * 3 + shift, z + shift), 1.0, 1e-13);
}

TEST(BodyInterpTest, WeightedSumsAddInArgumentOrderWithoutFusedProducts) {
  // 1e16 + 1 rounds back to 1e16, so only left-to-right order gives 0 here.
  const Vec3 p4[4] = {{1e16, 0, 0}, {1, 0, 0}, {-1e16, 0, 0}, {0, 0, 0}};
  EXPECT_EQ(WeightedSum4(p4, {1, 1, 1, 1}).x, 0.0);

  // (1 + 2^-30)^2 = 1 + 2^-29 + 2^-60: the rounded product cancels the first
  // term exactly; a fused multiply-add would keep 2^-60.
  const double c = 1.0 + std::ldexp(1.0, -30);
  const Vec3 p6[6] = {{-(1.0 + std::ldexp(1.0, -29)), 0, 0}, {c, 0, 0}, {}, {}, {}, {}};
  EXPECT_EQ(WeightedSum6(p6, {1, c, 0, 0, 0, 0}).x, 0.0);

  Vec3 p8[8], p12[12];
  double w8[8], w12[12];
  for (int k = 0; k < 12; ++k) {
    if (k < 8) {
      p8[k] = {1.0 * k, 2.0 * k, -1.0 * k};
      w8[k] = 0.5;
    }
    p12[k] = {1.0, 1.0 * k, 0.0};
    w12[k] = 1.0 / 12.0;
  }
  const Vec3 s8 = WeightedSum8(p8, w8);
  EXPECT_TRUE(Vec3::IsEqual(s8, Vec3{14, 28, -14}));
  const Vec3 s12 = WeightedSum12(p12, w12);
  EXPECT_NEAR(s12.x, 1.0, 1e-15);
  EXPECT_NEAR(s12.y, 5.5, 1e-14);
}

}  // namespace
