// The further primitive shapes on their own: the inner points of the radial
// shapes, the node positions of the pyramid, degenerate brick, tetrahedron,
// cylinder, radcylinder and cylindrical shell, and the line crossing that the
// uniform wedge lines its nodes up with.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "base/except.h"
#include "generate/primitive.h"

namespace {

void ExpectNear(const Vec3& a, const Vec3& b, const char* what, double tol = 1e-12) {
  EXPECT_NEAR(a.x, b.x, tol) << what;
  EXPECT_NEAR(a.y, b.y, tol) << what;
  EXPECT_NEAR(a.z, b.z, tol) << what;
}

MeshPrimitive Completed(int32_t type, std::vector<int> sizes = {}, double* dimensions = nullptr) {
  MeshPrimitive p(type);
  for (size_t m = 0; m < sizes.size(); ++m) p.size[m] = sizes[m];
  double none[kPrimitiveDimensions] = {};
  p.BuildGrid(0.0, dimensions ? dimensions : none);
  return p;
}

// Distance from the y axis.
double Radius(const Vec3& v) { return std::hypot(v.x, v.z); }

TEST(PrimitiveShapesTest, InnerPointsLieAFifthAlongTheBoxEdges) {
  struct Case {
    int32_t type;
    std::vector<Vec3> inner;  // p8 onwards
  };
  const Case cases[] = {
      {kPrimRadTunnel, {{2, 0, 0}, {0, 0, 2}, {2, 10, 0}, {0, 10, 2}, {2, 0, 2}, {2, 10, 2}}},
      {kPrimRadBrick, {{2, 0, 0}, {0, 2, 0}, {0, 0, 2}, {2, 2, 0}, {0, 2, 2}, {2, 0, 2}, {2, 2, 2}}},
      {kPrimRadCylinder, {{2, 0, 0}, {0, 0, 2}, {2, 10, 0}, {0, 10, 2}}},
      {kPrimCShell, {{2, 0, 0}, {0, 0, 2}, {2, 10, 0}, {0, 10, 2}}},
      {kPrimCylInt, {{2, 2, 0}, {0, 0, 2}, {2, 10, 0}, {0, 10, 2}, {10, 2, 0}, {10, 0, 2}}},
      {kPrimTunInt,
       {{2, 2, 0}, {0, 0, 2}, {2, 2, 2}, {2, 10, 0}, {0, 10, 2}, {2, 10, 2}, {10, 2, 0}, {10, 0, 2}, {10, 2, 2}}},
  };
  for (const Case& c : cases) {
    double dimensions[kPrimitiveDimensions] = {};
    const MeshPrimitive p = Completed(c.type, {}, dimensions);
    for (size_t m = 0; m < c.inner.size(); ++m) ExpectNear(p.point[8 + m], c.inner[m], MeshPrimitive::TypeName(c.type));
    // The defaults chosen are written back; the eighth is never used.
    EXPECT_EQ(dimensions[0], 2.0) << MeshPrimitive::TypeName(c.type);
    EXPECT_EQ(dimensions[7], 0.0);
  }
}

TEST(PrimitiveShapesTest, DimensionsAndGivenPointsPlaceTheInnerPoints) {
  // Given dimensions: the radtunnel's opening at the far end follows d1, d2.
  double given[kPrimitiveDimensions] = {3, 1};
  const MeshPrimitive sized = Completed(kPrimRadTunnel, {}, given);
  ExpectNear(sized.point[10], Vec3{3, 10, 0}, "p10 from d1");
  ExpectNear(sized.point[13], Vec3{3, 10, 1}, "p13");
  EXPECT_EQ(given[2], 3.0);
  EXPECT_EQ(given[3], 1.0);

  // A given p8 leaves d1 at 0, so p10 defaults to p2 itself.
  MeshPrimitive p(kPrimRadTunnel);
  p.point[8] = Vec3{4, 0, 0};
  p.given[8] = true;
  double dimensions[kPrimitiveDimensions] = {};
  p.BuildGrid(0.0, dimensions);
  ExpectNear(p.point[10], p.point[2], "p10 at p2");
  ExpectNear(p.point[12], Vec3{4, 0, 2}, "p12 from the given p8");
  EXPECT_EQ(dimensions[0], 0.0);
}

TEST(PrimitiveShapesTest, StraightShapesCloseOnTheirApexAndEdges) {
  // Pyramid: the top plane is the apex; the base is the brick's.
  const MeshPrimitive pyramid = Completed(kPrimPyramid, {2, 3, 4});
  const PrimitiveMapping pyramidMap(pyramid);
  for (int j = 0; j <= 3; ++j)
    for (int i = 0; i <= 2; ++i) {
      ExpectNear(pyramidMap.Position(i, j, 4), pyramid.point[3], "pyramid apex");
      ExpectNear(pyramidMap.Position(i, j, 0), Vec3{double(i), double(j), 0}, "pyramid base");
    }
  ExpectNear(pyramidMap.Position(2, 3, 2), Vec3{1, 1.5, 2}, "pyramid halfway up the p4 edge");

  // Tetrahedron: the top is the apex, the far j row the edge p2 - p3.
  const MeshPrimitive tetra = Completed(kPrimTetrahedron, {2, 2, 2});
  const PrimitiveMapping tetraMap(tetra);
  for (int i = 0; i <= 2; ++i) {
    for (int j = 0; j <= 2; ++j) ExpectNear(tetraMap.Position(i, j, 2), tetra.point[3], "tetrahedron apex");
    for (int k = 0; k <= 2; ++k) ExpectNear(tetraMap.Position(i, 2, k), Vec3{0, 2.0 - k, double(k)}, "edge p2-p3");
  }
  ExpectNear(tetraMap.Position(2, 1, 1), Vec3{0.5, 0.5, 1}, "tetrahedron inside");

  // Degenerate brick: the top edge at i = n1 is the one point p6.
  const MeshPrimitive dbrick = Completed(kPrimDBrick, {2, 4, 2});
  const PrimitiveMapping dbrickMap(dbrick);
  for (int j = 0; j <= 4; ++j) ExpectNear(dbrickMap.Position(2, j, 2), Vec3{2, 0, 2}, "dbrick edge");
  ExpectNear(dbrickMap.Position(2, 4, 1), Vec3{2, 2, 1}, "dbrick halfway up the p4 edge");
  ExpectNear(dbrickMap.Position(0, 4, 2), Vec3{0, 4, 2}, "dbrick p5");
}

TEST(PrimitiveShapesTest, CylinderNodesLieOnAQuarterCircleOrEllipse) {
  // Equal radii: a quarter circle of radius 10 around the y axis, the
  // inner nodes evenly out from the axis.
  const MeshPrimitive circle = Completed(kPrimCylinder);
  const PrimitiveMapping circleMap(circle);
  for (int k = 0; k <= 10; ++k) {
    const Vec3 outer = circleMap.Position(10, 3, k);
    EXPECT_NEAR(Radius(outer), 10.0, 1e-12) << "k " << k;
    EXPECT_NEAR(outer.y, 3.0, 1e-12);
    EXPECT_NEAR(std::atan2(outer.z, outer.x), k * M_PI / 20.0, 1e-12) << "k " << k;
    EXPECT_NEAR(Radius(circleMap.Position(4, 3, k)), 4.0, 1e-12);
    ExpectNear(circleMap.Position(0, 3, k), Vec3{0, 3, 0}, "axis");
  }

  // Semi-axes 6 along x and 3 along z: the nodes on the ellipse, the last
  // one exactly at distance b.
  MeshPrimitive p(kPrimCylinder);
  p.size[0] = 3;
  p.size[1] = 2;
  p.size[2] = 6;
  const Vec3 points[6] = {{0, 0, 0}, {6, 0, 0}, {0, 4, 0}, {0, 0, 3}, {6, 4, 0}, {0, 4, 3}};
  for (int c = 0; c < 6; ++c) {
    p.point[c] = points[c];
    p.given[c] = true;
  }
  double dimensions[kPrimitiveDimensions] = {};
  p.BuildGrid(0.0, dimensions);
  const PrimitiveMapping ellipseMap(p);
  for (int k = 0; k <= 6; ++k) {
    const Vec3 q = ellipseMap.Position(3, 2, k);
    EXPECT_NEAR(q.x * q.x / 36.0 + q.z * q.z / 9.0, 1.0, 1e-12) << "k " << k;
  }
  const Vec3 last = ellipseMap.Position(3, 1, 6);
  EXPECT_EQ(Radius(last), 3.0);
  EXPECT_NEAR(last.x, 0.0, 1e-15);
}

TEST(PrimitiveShapesTest, RadcylinderOutlineTurnsAtItsMiddleNode) {
  MeshPrimitive p = Completed(kPrimRadCylinder);
  p.size[0] = 2;  // the graded part's n4
  p.size[2] = 4;
  const PrimitiveMapping map(p);
  EXPECT_EQ(map.OutlineCornerNode(), 2);
  // The outline Q1 (10,0,0), Q6 (10,0,10), Q3 (0,0,10) at j = 0, evenly on
  // each straight side; the curved surface of radius 2 at i = 0.
  const Vec3 outline[5] = {{10, 0, 0}, {10, 0, 5}, {10, 0, 10}, {5, 0, 10}, {0, 0, 10}};
  for (int k = 0; k <= 4; ++k) {
    ExpectNear(map.Position(2, 0, k), outline[k], "outline");
    EXPECT_NEAR(Radius(map.Position(0, 0, k)), 2.0, 1e-12) << "k " << k;
  }
  // Graded along k: the node nearest the middle fraction still takes the corner.
  MeshPrimitive graded = p;
  graded.ratio[2] = 2.0;  // fractions 0, 1/15, 3/15, 7/15, 1
  const PrimitiveMapping gradedMap(graded);
  EXPECT_EQ(gradedMap.OutlineCornerNode(), 3);
  ExpectNear(gradedMap.Position(2, 0, 3), Vec3{10, 0, 10}, "corner");
  ExpectNear(gradedMap.Position(2, 0, 1), Vec3{10, 0, 20.0 / 15.0}, "graded side");
}

TEST(PrimitiveShapesTest, ShellRunsFromItsInnerToItsOuterSurface) {
  const MeshPrimitive shell = Completed(kPrimCShell, {5, 2, 5});
  const PrimitiveMapping map(shell);
  for (int k = 0; k <= 5; ++k) {
    EXPECT_NEAR(Radius(map.Position(0, 1, k)), 1.0, 1e-12) << "k " << k;  // a fifth of the outer radius
    EXPECT_NEAR(Radius(map.Position(2, 1, k)), 2.6, 1e-12) << "k " << k;
    EXPECT_NEAR(Radius(map.Position(5, 1, k)), 5.0, 1e-12) << "k " << k;
  }
}

TEST(PrimitiveShapesTest, SweepsOfHalfATurnAreRefusedAtTheirLastNode) {
  struct Case {
    int32_t type;
    const char* message;
  };
  const Case cases[] = {
      {kPrimCylinder, " Cannot generate cylinder for sweep angles greater than or equal to Pi "},
      {kPrimRadCylinder, " Cannot generate radcyl for sweep angles greater than or equal to Pi "},
      {kPrimCShell, " Cannot generate cshell for sweep angles greater than or equal to Pi "},
  };
  for (const Case& c : cases) {
    MeshPrimitive p = Completed(c.type, {2, 2, 4});
    // W points the other way from U: p3 (and p9) mirrored through the axis.
    p.point[3] = Vec3{-2, 0, 0};
    p.point[5] = Vec3{-2, 2, 0};
    p.point[9] = p.point[8] * -1.0;
    p.point[11] = Vec3{-p.point[10].x, 2, 0};
    const PrimitiveMapping map(p);
    EXPECT_NO_THROW(map.Position(1, 1, 3)) << c.message;
    try {
      map.Position(1, 1, 4);
      ADD_FAILURE() << c.message;
    } catch (const QJExcept& e) {
      EXPECT_STREQ(e.Text(), c.message);
    }
  }
}

TEST(PrimitiveShapesTest, SegmentsCrossOnlyWithinTheFirst) {
  Vec3 at;
  ASSERT_TRUE(IntersectSegments({0, 0, 0}, {4, 4, 0}, {0, 4, 0}, {4, 0, 0}, at));
  ExpectNear(at, Vec3{2, 2, 0}, "crossing");
  // In the plane x = 1: the y-z denominator is the one that is not zero.
  ASSERT_TRUE(IntersectSegments({1, 0, 0}, {1, 0, 2}, {1, -1, 1}, {1, 1, 1}, at));
  ExpectNear(at, Vec3{1, 0, 1}, "crossing in y-z");
  // The second line is not bounded by its points.
  ASSERT_TRUE(IntersectSegments({0, 0, 0}, {4, 0, 0}, {3, 5, 0}, {3, 6, 0}, at));
  ExpectNear(at, Vec3{3, 0, 0}, "second line extended");
  EXPECT_FALSE(IntersectSegments({0, 0, 0}, {4, 4, 0}, {1, 0, 0}, {5, 4, 0}, at)) << "parallel";
  EXPECT_FALSE(IntersectSegments({0, 0, 0}, {1, 1, 0}, {0, 4, 0}, {4, 0, 0}, at)) << "beyond the first's end";
  EXPECT_FALSE(IntersectSegments({2, 2, 0}, {4, 4, 0}, {0, 2, 0}, {2, 0, 0}, at)) << "before the first's start";
}

}  // namespace
