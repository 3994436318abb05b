// Inside and closest-point queries on GENERATE volumes.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "generate/gen_fixture.h"
#include "generate/gen_geometry.h"

namespace {

bool Inside(const GenVolume* v, double x, double y, double z) {
  const double p[3] = {x, y, z};
  return GenVolume::Contains(v, p);
}

class CubeAndTetrahedron : public ::testing::Test {
 protected:
  GenGeometry g;
  const GenVolume* cube = nullptr;
  const GenVolume* tetra = nullptr;
  void SetUp() override {
    AddCube(g, 1, 1.0);
    g.BuildVolumes(nullptr, true);
    AddTetrahedron(g);  // shares corners and faces' planes with the cube, not its triangles
    g.BuildVolumes(nullptr, true);
    cube = g.FindVolume(1);
    tetra = g.FindVolume(2);
    ASSERT_NE(cube, nullptr);
    ASSERT_NE(tetra, nullptr);
    ASSERT_EQ(cube->TriangleCount(), 12);
    ASSERT_EQ(tetra->TriangleCount(), 4);
  }
};

TEST_F(CubeAndTetrahedron, InsideFollowsTheParityOfDistinctCrossings) {
  struct Case {
    double x, y, z;
    bool inCube, inTetra;
  };
  const Case cases[] = {
      {0.2, 0.2, 0.2, true, true},
      {0.6, 0.6, 0.6, true, false},   // within the tetrahedron's extents, beyond its slanted face
      {0.5, 0.3, 0.3, true, false},   // the +x ray meets the cube's x = 1 face on its diagonal
      {0.5, 0.5, 0.5, true, false},   // rays through the cube's face diagonals
      {1.5, 0.5, 0.5, false, false},  // outside the extents: no ray at all
      {0.5, -0.1, 0.5, false, false},
      {1.0, 0.5, 0.25, true, false},  // on a face: the hit lies within the tolerance
      {0.0, 0.0, 0.0, true, false},   // a shared corner
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Inside(cube, c.x, c.y, c.z), c.inCube) << c.x << " " << c.y << " " << c.z;
    EXPECT_EQ(Inside(tetra, c.x, c.y, c.z), c.inTetra) << c.x << " " << c.y << " " << c.z;
  }
  EXPECT_FALSE(GenVolume::Contains(nullptr, &cases[0].x));
}

TEST(GenVolumeInside, AgreesWithTheShapeAwayFromItsSurface) {
  GenGeometry g;
  AddCube(g, 3, 2.0);
  AddTetrahedron(g);
  g.BuildVolumes(nullptr, true);
  const GenVolume* cube = g.FindVolume(1);
  const GenVolume* tetra = g.FindVolume(2);
  ASSERT_EQ(cube->TriangleCount(), 108);
  std::mt19937 random(7);
  std::uniform_real_distribution<double> coord(-0.5, 2.5);
  int checked = 0;
  for (int i = 0; i < 3000; ++i) {
    const double x = coord(random), y = coord(random), z = coord(random);
    const double toCube =
        std::min({std::fabs(x), std::fabs(y), std::fabs(z), std::fabs(x - 2), std::fabs(y - 2), std::fabs(z - 2)});
    const double toTetra =
        std::min({std::fabs(x), std::fabs(y), std::fabs(z), std::fabs(x + y + z - 1) / std::sqrt(3.0)});
    if (toCube > 1e-3) {
      EXPECT_EQ(Inside(cube, x, y, z), x > 0 && x < 2 && y > 0 && y < 2 && z > 0 && z < 2) << x << " " << y << " " << z;
      ++checked;
    }
    if (toTetra > 1e-3) {
      EXPECT_EQ(Inside(tetra, x, y, z), x > 0 && y > 0 && z > 0 && x + y + z < 1);
    }
  }
  EXPECT_GT(checked, 2900);
}

// A finely divided cube: positions on the grid of its face divisions send
// rays along the diagonals and edges shared by several triangles, which
// must count as one crossing each.
TEST(GenVolumeInside, RaysThroughSharedEdgesOfAFineSurfaceCountOnce) {
  GenGeometry g;
  AddCube(g, 40, 4.0);
  g.BuildVolumes(nullptr, true);
  const GenVolume* cube = g.FindVolume(1);
  ASSERT_EQ(cube->TriangleCount(), 19200);
  int wrong = 0, checked = 0;
  for (int i = -1; i <= 81; i += 2)
    for (int j = -1; j <= 81; j += 3)
      for (int k = -1; k <= 81; k += 5) {
        const double x = 0.05 * i, y = 0.05 * j, z = 0.05 * k;
        if (y == 4.0) continue;  // on a face: the tolerance decides
        const bool inside = x > 0 && x < 4 && y > 0 && y < 4 && z > 0 && z < 4;
        wrong += Inside(cube, x, y, z) != inside ? 1 : 0;
        ++checked;
      }
  EXPECT_EQ(wrong, 0) << "of " << checked;
}

// Deleting a triangle of a volume changes what its rays meet at once.
TEST_F(CubeAndTetrahedron, DeletedTrianglesAreNoLongerMet) {
  EXPECT_TRUE(Inside(cube, 0.5, 0.7, 0.2));
  // The triangles that the rays along +x and +y cross.
  GenTriangle* hitX = nullptr;
  GenTriangle* hitY = nullptr;
  cube->Closest(V(1.0, 0.7, 0.2), &hitX);
  cube->Closest(V(0.5, 1.0, 0.2), &hitY);
  ASSERT_TRUE(hitX && hitY && hitX != hitY);
  g.DeleteTriangle(hitX);
  g.DeleteTriangle(hitY);
  EXPECT_EQ(cube->TriangleCount(), 10);
  EXPECT_FALSE(Inside(cube, 0.5, 0.7, 0.2));
  EXPECT_TRUE(Inside(cube, 0.5, 0.2, 0.7));
}

TEST_F(CubeAndTetrahedron, ClosestIsAProjectionAnEdgeFootOrACorner) {
  struct Case {
    Vec3 p, expected;
  };
  const Case cases[] = {
      {V(0.3, 0.4, 5.0), V(0.3, 0.4, 1.0)},   // over the top face
      {V(0.3, 0.4, 0.2), V(0.3, 0.4, 0.0)},   // inside, nearest the bottom
      {V(0.5, 2.0, 2.0), V(0.5, 1.0, 1.0)},   // beyond an edge
      {V(2.0, 3.0, -1.0), V(1.0, 1.0, 0.0)},  // beyond a corner
  };
  for (const Case& c : cases) {
    GenTriangle* nearest = nullptr;
    const Vec3 q = cube->Closest(c.p, &nearest);
    EXPECT_NEAR(q.x, c.expected.x, 1e-12);
    EXPECT_NEAR(q.y, c.expected.y, 1e-12);
    EXPECT_NEAR(q.z, c.expected.z, 1e-12);
    ASSERT_NE(nearest, nullptr);
    EXPECT_EQ(nearest->VolumeNumber(), 1);
  }
  // A remembered triangle whose face holds the projection answers at once.
  GenTriangle* remembered = nullptr;
  cube->Closest(V(0.3, 0.4, 5.0), &remembered);
  GenTriangle* kept = remembered;
  const Vec3 q = cube->Closest(V(0.31, 0.41, 3.0), &remembered);
  EXPECT_EQ(remembered, kept);
  EXPECT_NEAR(q.z, 1.0, 1e-12);
  // The tetrahedron's slanted face.
  GenTriangle* face = nullptr;
  const Vec3 s = tetra->Closest(V(1, 1, 1), &face);
  EXPECT_NEAR(s.x, 1.0 / 3.0, 1e-12);
  EXPECT_EQ(face->Id(), 16);
}

}  // namespace
