// Points along straight, circular and elliptic edges, and vertices placed by
// their fix relations.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <string>

#include "generate/body/solid.h"
#include "generate/gen_math.h"

namespace {

void ExpectNear(const Vec3& a, const Vec3& b, double tolerance, const std::string& what) {
  EXPECT_NEAR(a.x, b.x, tolerance) << what;
  EXPECT_NEAR(a.y, b.y, tolerance) << what;
  EXPECT_NEAR(a.z, b.z, tolerance) << what;
}

SolidArc ArcThrough(const Vec3& o, const Vec3& a, const Vec3& b, bool arc = true) {
  SolidArc edge{};
  edge.arc = arc;
  edge.SetThreePoint(o, a, b);
  return edge;
}

constexpr double kHalfRoot2 = std::numbers::sqrt2 / 2.0;

TEST(SolidArcTest, PointsAlongEdges) {
  struct Case {
    const char* what;
    Vec3 o, a, b;
    bool arc;
    double t;
    Vec3 expected;
  };
  const Case cases[] = {
      {"quarter circle, middle", {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, true, 0.5, {kHalfRoot2, kHalfRoot2, 0}},
      {"quarter circle about an offset centre",
       {1, 1, 1},
       {3, 1, 1},
       {1, 1, 3},
       true,
       0.5,
       {1 + 2 * kHalfRoot2, 1, 1 + 2 * kHalfRoot2}},
      {"quarter circle, start", {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, true, 0.0, {1, 0, 0}},
      // Semi-axes 2 along the start and 1 along the end.
      {"ellipse, middle", {0, 0, 0}, {2, 0, 0}, {0, 1, 0}, true, 0.5, {2 * kHalfRoot2, kHalfRoot2, 0}},
      {"ellipse, end", {0, 0, 0}, {2, 0, 0}, {0, 1, 0}, true, 1.0, {0, 1, 0}},
      {"ends that meet: the segment", {0, 0, 0}, {1, 0, 0}, {1, 0.00005, 0}, true, 0.5, {1, 0.000025, 0}},
      {"opposite ends: the diameter", {0, 0, 0}, {1, 0, 0}, {-1, 0, 0}, true, 0.5, {0, 0, 0}},
      {"opposite ends, three quarters", {0, 0, 0}, {1, 0, 0}, {-1, 0, 0}, true, 0.75, {-kHalfRoot2, 0, 0}},
      // The cosine of these opposite ends rounds to just below -1.
      {"opposite ends below -1", {0, 0, 0}, {-2.8, 2.0, -0.4}, {2.8, -2.0, 0.4}, true, 1.0, {2.8, -2.0, 0.4}},
      {"no arc flag", {5, 5, 5}, {1, 0, 0}, {0, 1, 0}, false, 0.25, {0.75, 0.25, 0}},
      {"no arc flag, beyond the end", {5, 5, 5}, {0, 0, 0}, {2, 0, 0}, false, 1.5, {3, 0, 0}},
  };
  for (const Case& c : cases) {
    const Vec3 p = ArcThrough(c.o, c.a, c.b, c.arc).Point(c.t);
    ExpectNear(p, c.expected, 1e-12, c.what);
  }
}

TEST(SolidArcTest, CircleAndEllipseGeometry) {
  const SolidArc circle = ArcThrough({0, 0, 0}, {1, 0, 0}, {0, 1, 0});
  EXPECT_FALSE(circle.straight);
  EXPECT_DOUBLE_EQ(circle.sweep, std::numbers::pi / 2);

  const SolidArc ellipse = ArcThrough({0, 0, 0}, {2, 0, 0}, {0, 1, 0});
  EXPECT_FALSE(ellipse.straight);
  EXPECT_DOUBLE_EQ(GenLength(ellipse.firstAxis), 2.0);
  EXPECT_DOUBLE_EQ(GenLength(ellipse.secondAxis), 1.0);
  EXPECT_DOUBLE_EQ(ellipse.sweep, std::numbers::pi / 2);
  // Every point satisfies (x/2)^2 + y^2 = 1.
  for (double t : {0.1, 0.3, 0.7}) {
    const Vec3 p = ellipse.Point(t);
    EXPECT_NEAR(p.x * p.x / 4 + p.y * p.y, 1.0, 1e-14) << t;
  }

  // An axis point across the start turns the major axis there.
  SolidArc towards{};
  towards.arc = true;
  towards.Set({0, 0, 0}, {0, 1, 0}, {2, 0, 0}, {1, 0, 0});
  EXPECT_DOUBLE_EQ(GenLength(towards.firstAxis), 2.0);
  ExpectNear(towards.Point(0.0), {0, 1, 0}, 1e-15, "start of the reversed ellipse");

  // No ellipse through the ends with its major axis that way: the segment.
  SolidArc flat{};
  flat.arc = true;
  flat.Set({0, 0, 0}, {2, 0, 0}, {0, 1, 0}, {0, 1, 0});
  EXPECT_TRUE(flat.straight);
  ExpectNear(flat.Point(0.5), {1, 0.5, 0}, 0, "segment");
}

TEST(SolidArcTest, UpdateEdgeReadsTheVertices) {
  Solid solid;
  solid.SetVertex(0, 0, 0, 0);
  solid.SetVertex(1, 0, 1, 0);
  solid.SetVertex(2, 2, 0, 0);
  solid.SetVertex(3, 1, 0, 0);
  const int32_t e = solid.AddEdge(1, 2, 0, 0);
  solid.UpdateEdges();
  ExpectNear(solid.Edge(e).Point(0.5), {1, 0.5, 0}, 0, "straight until a centre is set");

  solid.SetEdgeCentre(e, 0);
  solid.UpdateEdges();
  ExpectNear(solid.Edge(e).Point(0.5), {2 * kHalfRoot2, kHalfRoot2, 0}, 1e-12, "major axis to the far end");

  // An axis vertex decides where the major axis points: towards the nearer
  // end no ellipse passes through both, and the edge runs straight.
  solid.SetEdgeAxis(e, 1);
  solid.UpdateEdge(e);
  EXPECT_TRUE(solid.Edge(e).straight);
  ExpectNear(solid.Edge(e).Point(0.5), {1, 0.5, 0}, 0, "no ellipse that way");
  solid.SetEdgeAxis(e, 3);
  solid.UpdateEdge(e);
  ExpectNear(solid.Edge(e).Point(0.5), {2 * kHalfRoot2, kHalfRoot2, 0}, 1e-12, "major axis towards vertex 3");

  solid.SetEdgeArc(e, false);
  solid.UpdateEdge(e);
  ExpectNear(solid.Edge(e).Point(0.5), {1, 0.5, 0}, 0, "straight again");
}

class SolidFixTest : public ::testing::Test {
 protected:
  void SetUp() override {
    solid.SetVertex(0, 0, 0, 0);
    solid.SetVertex(1, 10, 0, 0);
    solid.SetVertex(2, 0, 10, 0);
    solid.SetVertex(3, 0, 0, 10);
    solid.SetVertex(4, 1, 0, 0);
    solid.SetVertex(5, 0, 1, 0);
  }
  Solid solid;
};

TEST_F(SolidFixTest, RelationsPlaceTheVertex) {
  struct Case {
    const char* what;
    std::function<void()> fix;
    double d1, d2, d3;
    Vec3 expected;
  };
  const Case cases[] = {
      {"line at a quarter", [&] { solid.FixLine(9, 0, 1, 1); }, 0.25, 0, 0, {2.5, 0, 0}},
      {"line beyond its end", [&] { solid.FixLine(9, 0, 1, 1); }, 1.5, 0, 0, {15, 0, 0}},
      {"point", [&] { solid.FixPoint(9, 2); }, 0, 0, 0, {0, 10, 0}},
      {"arc", [&] { solid.FixArc(9, 0, 4, 5, -1, 1); }, 0.5, 0, 0, {kHalfRoot2, kHalfRoot2, 0}},
      {"plane at its origin", [&] { solid.FixPlane(9, 1, 2, 3, 1, 2); }, 0, 0, 0, {10, 0, 0}},
      {"plane", [&] { solid.FixPlane(9, 0, 1, 2, 1, 2); }, 0.5, 0.25, 0, {5, 2.5, 0}},
      {"space", [&] { solid.FixSpace(9, 0, 1, 2, 3, 1, 2, 3); }, 0.1, 0.2, 0.3, {1, 2, 3}},
  };
  for (const Case& c : cases) {
    solid.SetDim(1, c.d1);
    solid.SetDim(2, c.d2);
    solid.SetDim(3, c.d3);
    c.fix();
    solid.ComputeFixedVertices();
    ExpectNear(solid.VertexPosition(9), c.expected, 1e-14, c.what);
  }
  // Copies and points at fraction 0 are exact.
  solid.FixPoint(9, 2);
  solid.computefixvert(9);
  EXPECT_TRUE(Vec3::IsEqual(solid.VertexPosition(9), solid.VertexPosition(2)));
  solid.SetDim(1, 0.0);
  solid.SetDim(2, 0.0);
  solid.FixPlane(9, 1, 2, 3, 1, 2);
  solid.computefixvert(9);
  EXPECT_TRUE(Vec3::IsEqual(solid.VertexPosition(9), solid.VertexPosition(1)));
}

TEST_F(SolidFixTest, RefixingReusesTheRecordWithoutItsOldKind) {
  solid.SetDim(1, 0.5);
  solid.FixArc(9, 0, 4, 5, 3, 1);
  const int32_t record = solid.Vertex(9).fix;
  solid.FixLine(9, 0, 1, 1);
  EXPECT_EQ(solid.Vertex(9).fix, record);
  EXPECT_EQ(solid.FixCount(), 1);
  solid.computefixvert(9);
  ExpectNear(solid.VertexPosition(9), {5, 0, 0}, 0, "a line, not the old arc");

  solid.UnfixVertex(9);
  EXPECT_EQ(solid.Vertex(9).fix, 0);
  EXPECT_FALSE(solid.Fix(record).defined);
  solid.computefixvert(9);  // a free vertex stays where it is
  ExpectNear(solid.VertexPosition(9), {5, 0, 0}, 0, "free");
}

TEST_F(SolidFixTest, LowerNumbersAreComputedFirst) {
  solid.SetDim(1, 0.5);
  solid.FixLine(6, 0, 1, 1);  // (5, 0, 0)
  solid.FixLine(7, 6, 2, 1);  // halfway from 6 to 2, after 6 moved
  solid.FixLine(8, 0, 9, 1);  // halfway to 9, before 9 moved
  solid.SetVertex(9, 4, 4, 4);
  solid.FixPoint(9, 3);
  solid.ComputeFixedVertices();
  ExpectNear(solid.VertexPosition(7), {2.5, 5, 0}, 0, "sees the new position");
  ExpectNear(solid.VertexPosition(8), {2, 2, 2}, 0, "sees the old position");
}

TEST_F(SolidFixTest, BrokenRelationsRaiseAndLeaveThePosition) {
  solid.SetDim(1, 0.5);
  solid.FixLine(9, 0, 1, 1);
  solid.computefixvert(9);
  solid.Fix(solid.Vertex(9).fix).defined = false;
  solid.SetDim(1, 0.9);
  try {
    solid.computefixvert(9);
    FAIL() << "no exception";
  } catch (const SolidExcept& e) {
    EXPECT_STREQ(e.Text(), "computefixvert-fix does not exist!");
  }
  ExpectNear(solid.VertexPosition(9), {5, 0, 0}, 0, "kept");
  EXPECT_THROW(solid.computefixvert(600), IndexRangeExcept);
  // Numbers are checked before the earlier relation is dropped.
  solid.FixLine(8, 0, 1, 1);
  EXPECT_THROW(solid.FixLine(8, 0, 600, 1), IndexRangeExcept);
  EXPECT_THROW(solid.FixPlane(8, 0, 1, 2, 1, 101), IndexRangeExcept);
  EXPECT_NE(solid.Vertex(8).fix, 0);
}

}  // namespace
