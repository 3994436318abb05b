// The primitive description on its own: grading, default points, the corner
// check and the node mapping of the brick and the wedge.
#include <gtest/gtest.h>

#include <cmath>

#include "base/except.h"
#include "generate/primitive.h"

namespace {

void ExpectNear(const Vec3& a, const Vec3& b, const char* what) {
  EXPECT_NEAR(a.x, b.x, 1e-12) << what;
  EXPECT_NEAR(a.y, b.y, 1e-12) << what;
  EXPECT_NEAR(a.z, b.z, 1e-12) << what;
}

MeshPrimitive Completed(MeshPrimitive p, double edge = 0.0) {
  double dimensions[kPrimitiveDimensions] = {};
  p.BuildGrid(edge, dimensions);
  return p;
}

TEST(PrimitiveTest, GradingGrowsEachZoneByTheRatio) {
  for (int i = 0; i <= 4; ++i) EXPECT_DOUBLE_EQ(GradedFraction(i, 4, 1.0), i / 4.0);
  const double doubling[] = {0.0, 1.0 / 7.0, 3.0 / 7.0, 1.0};
  for (int i = 0; i <= 3; ++i) EXPECT_DOUBLE_EQ(GradedFraction(i, 3, 2.0), doubling[i]);
  // Below 1 the zones shrink, and the ends stay at 0 and 1.
  EXPECT_DOUBLE_EQ(GradedFraction(0, 5, 0.5), 0.0);
  EXPECT_DOUBLE_EQ(GradedFraction(5, 5, 0.5), 1.0);
  EXPECT_GT(GradedFraction(1, 5, 0.5), GradedFraction(2, 5, 0.5) - GradedFraction(1, 5, 0.5));
}

TEST(PrimitiveTest, DefaultPointsCompleteABoxFromWhatWasGiven) {
  MeshPrimitive brick(kPrimBrick);
  brick.size[0] = 3;
  brick.size[1] = 4;
  brick.size[2] = 5;
  const MeshPrimitive unit = Completed(brick);
  const Vec3 expected[8] = {{0, 0, 0}, {3, 0, 0}, {0, 4, 0}, {0, 0, 5}, {3, 4, 0}, {0, 4, 5}, {3, 0, 5}, {3, 4, 5}};
  for (int c = 0; c < 8; ++c) ExpectNear(unit.point[c], expected[c], "unit zones");

  // An edge length makes every default edge that long, whatever the sizes.
  const MeshPrimitive edged = Completed(brick, 2.0);
  ExpectNear(edged.point[7], Vec3{2, 2, 2}, "edge 2");

  // p4 = p1 + (p2 - p0) with p2 completed before it.
  MeshPrimitive given(kPrimBrick);
  given.point[1] = Vec3{10, 0, 0};
  given.given[1] = true;
  given.point[0] = Vec3{1, 1, 1};
  given.given[0] = true;
  const MeshPrimitive done = Completed(given);
  ExpectNear(done.point[2], Vec3{1, 11, 1}, "p2 from p0");
  ExpectNear(done.point[4], Vec3{10, 10, 0}, "p4");
  ExpectNear(done.point[7], Vec3{10, 10, 10}, "p7");
}

TEST(PrimitiveTest, CornersMustBeRightHanded) {
  EXPECT_NO_THROW(Completed(MeshPrimitive(kPrimBrick)).CheckCorners());
  struct Case {
    int point;
    Vec3 at;
  };
  // p1 and p2 swapped (p0 fails); the top pushed through the bottom at one
  // corner (p1, p4 or p2 fails); a flat box (zero products).
  const Case cases[] = {{1, {0, 10, 0}}, {6, {10, 0, -1}}, {7, {10, 10, -1}}, {5, {0, 10, -1}}, {3, {0, 0, 0}}};
  for (const Case& c : cases) {
    MeshPrimitive p(kPrimBrick);
    p.point[c.point] = c.at;
    p.given[c.point] = true;
    if (c.point == 1) {
      p.point[2] = Vec3{10, 0, 0};
      p.given[2] = true;
    }
    try {
      Completed(p).CheckCorners();
      ADD_FAILURE() << "p" << c.point << " passed";
    } catch (const QJExcept& e) {
      EXPECT_STREQ(e.Text(), "Mesh primitive does not conform to node numbering convention.");
    }
  }
}

TEST(PrimitiveTest, TheBrickMapIsTrilinearAndGradedPerIndex) {
  MeshPrimitive p(kPrimBrick);
  p.size[0] = 2;
  p.size[1] = 3;
  p.size[2] = 4;
  p.ratio[2] = 2.0;
  // A skewed hexahedron.
  const Vec3 corners[8] = {{0, 0, 0}, {2, 0, 0}, {0, 3, 0}, {0, 1, 4}, {2, 3, 1}, {0, 4, 4}, {2, 1, 4}, {3, 4, 5}};
  for (int c = 0; c < 8; ++c) {
    p.point[c] = corners[c];
    p.given[c] = true;
  }
  const PrimitiveMapping map(p);
  for (int c = 0; c < 8; ++c)
    ExpectNear(map.Position(kCornerOffsets[c][0] * 2, kCornerOffsets[c][1] * 3, kCornerOffsets[c][2] * 4), corners[c],
               "corner");
  // Along the p0-p3 edge the nodes follow the grading of k.
  for (int k = 0; k <= 4; ++k) {
    const double t = GradedFraction(k, 4, 2.0);
    ExpectNear(map.Position(0, 0, k), Vec3{0, t, 4 * t}, "k edge");
  }
  // The middle of the bottom face is the mean of its corners.
  ExpectNear(map.Position(1, 0, 0), Vec3{1, 0, 0}, "i middle");
}

TEST(PrimitiveTest, TheWedgeRisesToItsTopEdge) {
  MeshPrimitive p(kPrimWedge);
  p.size[0] = 3;
  p.size[1] = 2;
  p.size[2] = 2;
  const MeshPrimitive wedge = Completed(p);
  const PrimitiveMapping map(wedge);
  for (int j = 0; j <= 2; ++j) {
    for (int i = 0; i <= 3; ++i) ExpectNear(map.Position(i, j, 2), Vec3{0, double(j), 2}, "top edge");
    ExpectNear(map.Position(3, j, 0), Vec3{3, double(j), 0}, "bottom");
    ExpectNear(map.Position(3, j, 1), Vec3{1.5, double(j), 1}, "halfway up");
  }
}

TEST(PrimitiveTest, APositionFunctionAlonePlacesTheNodes) {
  MeshPrimitive p(kPrimBrick);
  p.positionFunction = [](int i, int j, int k) { return Vec3{10.0 * i, 20.0 * j, 30.0 * k}; };
  const PrimitiveMapping map(Completed(p));
  ExpectNear(map.Position(1, 2, 3), Vec3{10, 40, 90}, "function");
}

TEST(PrimitiveTest, EveryPrimitiveShapeIsBuilt) {
  for (int32_t type = kPrimBrick; type <= kPrimUWedge; ++type)
    EXPECT_TRUE(MeshPrimitive::Available(type)) << MeshPrimitive::TypeName(type);
  EXPECT_FALSE(MeshPrimitive::Available(0));
  EXPECT_FALSE(MeshPrimitive::Available(kPrimUWedge + 1));
  EXPECT_STREQ(MeshPrimitive::TypeName(kPrimRadCylinder), "RADCYLINDER");
}

}  // namespace
