// The grid of body blocks: graded edge parameters (straight and arc), the
// transfinite cell grid, zone statistics against closed forms, the library
// lookup, and GENERATE ZONE BODY's zones and refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "generate/body/body.h"
#include "generate/body/body_interp.h"
#include "generate/gen_zone_fixture.h"

namespace {

constexpr int32_t kNew[8] = {-1, -1, -1, -1, -1, -1, -1, -1};

// The body with one brick over the box [0,a] x [0,b] x [0,c].
Body& BoxBody(double a, double b, double c) {
  ResetBody();
  Body& body = TheBody();
  Solid& s = body.Working();
  s.SetBrick(0, kNew, 0, 0, 0, 0, 0, 0);
  for (int32_t v = 0; v < 8; ++v)
    s.SetVertex(v, kSolidCellCorner[v][0] * a, kSolidCellCorner[v][1] * b, kSolidCellCorner[v][2] * c);
  return body;
}

void ExpectNear(const Vec3& p, double x, double y, double z, double tol = 1e-12) {
  EXPECT_NEAR(p.x, x, tol);
  EXPECT_NEAR(p.y, y, tol);
  EXPECT_NEAR(p.z, z, tol);
}

TEST(BodyGridTest, StraightEdgeParametersFollowTheRatio) {
  Body& body = BoxBody(1, 1, 1);
  Solid& s = body.Working();
  s.SetSize(1, 4);
  body.Refresh();
  for (int i = 0; i <= 4; ++i) EXPECT_DOUBLE_EQ(body.EdgeParameter(1, i), 0.25 * i);
  s.SetRatio(1, 2.0);
  body.Refresh();
  // Steps of 1/15, 2/15, 4/15 and 8/15.
  const double expected[5] = {0.0, 1.0 / 15, 3.0 / 15, 7.0 / 15, 1.0};
  for (int i = 0; i <= 4; ++i) EXPECT_NEAR(body.EdgeParameter(1, i), expected[i], 1e-15);
  EXPECT_THROW(body.EdgeParameter(1, 5), IndexRangeExcept);
  EXPECT_THROW(body.EdgeParameter(13, 0), IndexRangeExcept);
}

TEST(BodyGridTest, ArcLengthsFollowTheGrading) {
  // A quarter circle of radius 2 about vertex 0 from vertex 1 to vertex 2,
  // graded by 1.5 over 6 zones: the arc lengths between the points, not the
  // parameters, grow by the ratio.
  ResetBody();
  Body& body = TheBody();
  Solid& s = body.Working();
  s.SetVertex(0, 0, 0, 0);
  s.SetVertex(1, 2, 0, 0);
  s.SetVertex(2, 0, 2, 0);
  const int32_t e = s.AddEdge(1, 2, 0, 0);
  s.SetSize(s.Edge(e).size, 6);
  s.SetRatio(s.Edge(e).ratio, 1.5);
  s.SetEdgeCentre(e, 0);
  body.Refresh();
  Vec3 p[7];
  for (int i = 0; i <= 6; ++i) {
    p[i] = body.EdgePoint(e, i);
    EXPECT_NEAR(std::hypot(p[i].x, p[i].y), 2.0, 1e-12);
  }
  // The steps along the arc, measured as chords, grow by the ratio.
  double step[7];
  double total = 0.0;
  for (int i = 1; i <= 6; ++i) total += step[i] = std::hypot(p[i].x - p[i - 1].x, p[i].y - p[i - 1].y);
  const double first = total * 0.5 / (std::pow(1.5, 6) - 1.0);
  for (int i = 1; i <= 6; ++i) EXPECT_NEAR(step[i], first * std::pow(1.5, i - 1), 2e-4) << "step " << i;
}

TEST(BodyGridTest, ArcWithBothEndsAtTheOriginSettles) {
  // The tolerance scales with the ends' distance from the origin: 0 here.
  ResetBody();
  Body& body = TheBody();
  Solid& s = body.Working();
  s.SetVertex(0, 1, 1, 0);
  s.SetVertex(1, 0, 0, 0);
  s.SetVertex(2, 0, 0, 0);
  s.SetVertex(3, 2, 0, 0);
  const int32_t e = s.AddEdge(1, 3, 0, 0);
  s.SetSize(s.Edge(e).size, 5);
  s.SetRatio(s.Edge(e).ratio, 1.3);
  s.SetEdgeCentre(e, 0);
  body.Refresh();
  s.SetVertex(3, 0, 0, 0);
  s.SetVertex(0, 0, 0, 0);
  body.Refresh();  // returns
  for (int i = 0; i <= 5; ++i) EXPECT_TRUE(std::isfinite(body.EdgeParameter(e, i)));
}

TEST(BodyGridTest, CellGridOfABoxIsTheGradedLattice) {
  Body& body = BoxBody(2, 3, 4);
  Solid& s = body.Working();
  s.SetSize(1, 2);
  s.SetSize(2, 3);
  s.SetSize(3, 4);
  s.SetRatio(3, 2.0);
  body.Refresh();
  int32_t n[3];
  body.CellSizes(1, n);
  EXPECT_EQ(n[0] * n[1] * n[2], 24);
  for (int k = 0; k <= 4; ++k)
    for (int j = 0; j <= 3; ++j)
      for (int i = 0; i <= 2; ++i)
        ExpectNear(body.CellGrid(1, i, j, k), i * 1.0, j * 1.0, 4.0 * (std::pow(2.0, k) - 1.0) / 15.0);
  EXPECT_THROW(body.CellGrid(1, 3, 0, 0), IndexRangeExcept);
  EXPECT_THROW(body.CellGrid(1, 0, 0, 5), IndexRangeExcept);
  ExpectNear(body.CellGrid(2, 0, 0, 0), 0, 0, 0);  // no such cell
  const CellStatistics stats = body.CellZoneStatistics(1);
  EXPECT_EQ(stats.zones, 24);
  EXPECT_NEAR(stats.totVol, 24.0, 1e-12);
  EXPECT_NEAR(stats.minVol, 4.0 / 15.0, 1e-12);
  EXPECT_NEAR(stats.maxVol, 32.0 / 15.0, 1e-12);
  // A box zone: four corner tetrahedra of a sixth and one of a third of it.
  EXPECT_NEAR(stats.tetraRatio, 0.5, 1e-12);
  EXPECT_NEAR(stats.delOverV, 0.0, 1e-12);
}

TEST(BodyGridTest, FacePointsVectorsCentresAndExtent) {
  Body& body = BoxBody(1, 1, 1);
  body.Refresh();
  // Face 5 is the bottom, z = 0: corners 0, 1, 4, 2, first edge along x.
  for (int j = 0; j <= 3; ++j)
    for (int i = 0; i <= 3; ++i) ExpectNear(body.FacePoints(5, i, j), i / 3.0, j / 3.0, 0.0);
  EXPECT_THROW(body.FacePoints(5, 4, 0), IndexRangeExcept);
  ExpectNear(body.FaceVector(5), 0, 0, 1);
  const SolidCell& cell = body.Working().Cell(1);
  EXPECT_DOUBLE_EQ(cell.reals[0], 0.5);
  EXPECT_DOUBLE_EQ(cell.reals[1], 0.5);
  EXPECT_DOUBLE_EQ(cell.reals[2], 0.5);
  Vec3 lo{0.5, 0.5, -1}, hi{0.5, 0.5, 0.5};
  body.UpdateExtent(lo, hi);
  ExpectNear(lo, 0, 0, -1);
  ExpectNear(hi, 1, 1, 1);
}

TEST(BodyGridTest, CurvedBlockGridLiesOnItsArcs) {
  // The cshell: every grid-point of its outer face lies on the unit circle
  // about the axis through vertices 0 and 2, the inner face on radius 0.2.
  ResetBody();
  Body& body = TheBody();
  Solid& s = body.Working();
  Solid shell;
  shell.MakeCShell();
  s = shell;
  body.Refresh();
  for (int j = 0; j <= 3; ++j)
    for (int k = 0; k <= 3; ++k) {
      const Vec3 outer = body.CellGrid(2, 3, j, k);
      const Vec3 inner = body.CellGrid(2, 0, j, k);
      EXPECT_NEAR(std::hypot(outer.x, outer.z), 1.0, 1e-12);
      EXPECT_NEAR(std::hypot(inner.x, inner.z), 0.2, 1e-12);
    }
}

TEST(BodyGridTest, LibraryLookupTakesALeadingPartOfThreeOrMore) {
  ResetBody();
  Body& body = TheBody();
  body.LibraryAdd("abc");
  body.LibraryAdd("tunnel");
  EXPECT_EQ(body.FindInLibrary("tun"), body.Library());
  EXPECT_EQ(body.FindInLibrary("abcd"), nullptr);
  EXPECT_EQ(body.FindInLibrary("abc"), body.Library()->next.get());
  EXPECT_EQ(body.FindInLibrary("ab"), nullptr);
  EXPECT_EQ(body.FindInLibrary("TUN"), nullptr);  // case is respected
  EXPECT_TRUE(body.LibraryDelete("ABC"));
  EXPECT_FALSE(body.LibraryDelete("abc"));
  ResetBody();
  EXPECT_EQ(body.Library(), nullptr);
}

class BodyZoneTest : public GenZoneTest {
 protected:
  void SetUp() override {
    GenZoneTest::SetUp();
    ResetBody();
  }
  void TearDown() override {
    ResetBody();
    GenZoneTest::TearDown();
  }
};

// Every template and block form, meshed, gives zones of positive volume
// joined face to face.
TEST_F(BodyZoneTest, EveryTemplateAndFormMakesPositiveZones) {
  const char* const kSources[] = {"brick",       "dbrick",   "wedge",    "wedge2",    "pyramid",
                                  "tetrahedron", "cylinder", "radbrick", "radtunnel", "radcylinder",
                                  "cshell",      "cylint",   "tunint"};
  for (const char* source : kSources) {
    ClearGrid();
    ResetBody();
    const std::string out = Run({(std::string("body add ") + source).c_str(), "gen zone body"});
    EXPECT_EQ(out.find("***"), std::string::npos) << source << ": " << out;
    ASSERT_GT(Zones(), 0u) << source;
    double total = 0.0;
    for (const Zone* z : ZoneList()) {
      EXPECT_GT(z->Volume(), 0.0) << source << " zone " << z->Id();
      total += z->Volume();
    }
    ExpectLinksConsistent();
    if (std::string(source) == "brick") {
      EXPECT_NEAR(total, 1.0, 1e-12);
    } else if (std::string(source) == "tetrahedron") {
      EXPECT_NEAR(total, 1.0 / 6.0, 1e-12);
    }
  }
}

TEST_F(BodyZoneTest, RefusedBlocksMakeNothing) {
  Run({"body add brick", "body add brick point p1 p-1 p4 p6 p-1 p7 p-1 p-1 size n4 n5 n6",
       "body set p8 2 0 0 p9 2 1 0 p10 2 0 1 p11 2 1 1"});
  TheBody().Working().Cell(2).form = kFormTetra2;
  std::string out = Run({"gen zone body"});
  EXPECT_NE(out.find("*** Block 2: tetra2 blocks cannot be generated"), std::string::npos) << out;
  EXPECT_EQ(Zones(), 0u);
  TheBody().Working().Cell(2).form = kFormBrick;
  TheBody().Working().SetSize(TheBody().Working().Edge(TheBody().Working().Cell(2).Edge(5)).size, 4);
  out = Run({"gen zone body"});
  EXPECT_NE(out.find("*** Block 2: edges of one direction have different sizes"), std::string::npos) << out;
  EXPECT_EQ(Zones(), 0u);
  EXPECT_EQ(Gps(), 0u);
}

}  // namespace
