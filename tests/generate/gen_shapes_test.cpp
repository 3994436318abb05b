// GENERATE ZONE with the further shapes through the model interpreter: the
// zones and grid-points each makes and their types, zones of positive volume
// joined face to face (also across the pieces of the radial shapes), the
// fill and its group, and the merging with a grid that is there.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "generate/gen_zone_fixture.h"

namespace {

using TypeCounts = std::array<uint32_t, kZoneTypes>;  // brick, wedge, pyramid, degenerate brick, tetrahedron

TypeCounts CountTypes() {
  TypeCounts counts{};
  for (Zone* z : ZoneList()) ++counts[static_cast<size_t>(z->Type())];
  return counts;
}

// A surface on which the free faces of a shape may lie: the value is 0 on it.
using Surface = std::function<double(const double* p)>;

Surface Plane(int axis, double at) {
  return [=](const double* p) { return p[axis] - at; };
}
// The cylinder of the radius around the axis a (0 x, 1 y).
Surface Cylinder(int axis, double radius) {
  return [=](const double* p) { return std::hypot(p[axis == 0 ? 1 : 0], p[2]) - radius; };
}

std::vector<Surface> BoxOfTen() {
  std::vector<Surface> s;
  for (int axis = 0; axis < 3; ++axis) {
    s.push_back(Plane(axis, 0.0));
    s.push_back(Plane(axis, 10.0));
  }
  return s;
}

std::vector<Surface> With(std::vector<Surface> s, std::initializer_list<Surface> more) {
  s.insert(s.end(), more);
  return s;
}

// The faces without neighbour that lie on none of the surfaces: faces inside
// the shape that were not joined.
int StrayFreeFaces(const std::vector<Surface>& surfaces) {
  int stray = 0;
  for (Zone* z : ZoneList()) {
    for (int f = 0; f < kZoneFaces; ++f) {
      if (z->Neighbour(f) || z->FaceGpCount(f) < 3) continue;
      bool onOne = false;
      for (const Surface& s : surfaces) {
        bool all = true;
        for (int c = 0; c < z->FaceGpCount(f) && all; ++c) all = std::fabs(s(z->GetFaceGp(f, c)->position)) < 1e-9;
        onOne = onOne || all;
      }
      if (!onOne) ++stray;
    }
  }
  return stray;
}

TEST_F(GenZoneTest, ShapesMakeTheirZonesGridPointsAndTypes) {
  struct Case {
    const char* line;
    uint32_t zones, gps;
    TypeCounts types;
  };
  const Case cases[] = {
      {"gen zone pyramid size 2 2 2", 8, 19, {4, 0, 4, 0, 0}},
      {"gen zone tetrahedron size 2 2 2", 8, 15, {2, 2, 2, 0, 2}},
      {"gen zone dbrick size 2 4 2", 16, 41, {12, 0, 0, 4, 0}},
      {"gen zone cylinder size 2 2 2", 8, 21, {4, 4, 0, 0, 0}},
      {"gen zone cylinder", 1000, 1221, {900, 100, 0, 0, 0}},
      {"gen zone radtunnel", 2000, 2541, {2000, 0, 0, 0, 0}},
      {"gen zone radtunnel fill group hole", 3000, 3641, {3000, 0, 0, 0, 0}},
      {"gen zone radbrick", 3000, 3641, {3000, 0, 0, 0, 0}},
      {"gen zone radcylinder fill", 2000, 2431, {1900, 100, 0, 0, 0}},
      {"gen zone cshell size 4 3 4", 48, 100, {48, 0, 0, 0, 0}},
      // Rows of 5, 4, 3, 2, 1 nodes: each step ends in a wedge.
      {"gen zone uwedge size 4 1 4", 10, 30, {6, 4, 0, 0, 0}},
      // Rows of 3, 3, 2, 2, 1: wedges at every second step; with the sides
      // swapped the same cross-section.
      {"gen zone uwedge size 4 1 2", 6, 22, {4, 2, 0, 0, 0}},
      {"gen zone uwedge size 2 1 4", 6, 22, {4, 2, 0, 0, 0}},
      // One zone on the small side: bricks up to the last step's wedge.
      {"gen zone uwedge size 3 2 1", 6, 21, {4, 2, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    ClearGrid();
    const std::string out = Run({c.line});
    EXPECT_EQ(out.find("***"), std::string::npos) << out;
    EXPECT_EQ(Zones(), c.zones) << c.line;
    EXPECT_EQ(Gps(), c.gps) << c.line;
    EXPECT_EQ(CountTypes(), c.types) << c.line;
    ExpectLinksConsistent();
  }
}

// Every shape, with and without its fill and with graded radial sizes: zones
// of positive volume in the numbering convention, no corner twice, and every
// inner face joined (the free faces lie on the outer surface, or on the
// opening's when it is not filled).
TEST_F(GenZoneTest, EveryShapeHasSoundZonesJoinedFaceToFace) {
  const std::vector<Surface> box = BoxOfTen();
  const std::vector<Surface> cylinder = {Plane(1, 0), Plane(1, 10), Plane(2, 0), Plane(0, 0), Cylinder(1, 10)};
  const std::vector<Surface> tunnelAlongY = With(box, {Plane(0, 2), Plane(2, 2)});
  struct Case {
    const char* line;
    std::vector<Surface> surfaces;
  };
  const Case cases[] = {
      // The pyramid's sides rise to the apex (0, 0, 10); the degenerate
      // brick's far j side is the patch y = 10 - x z / 10.
      {"gen zone pyramid",
       {Plane(0, 0), Plane(1, 0), Plane(2, 0), [](const double* p) { return p[0] + p[2] - 10; },
        [](const double* p) { return p[1] + p[2] - 10; }}},
      {"gen zone dbrick ratio 1.2 0.9 1.1", With(box, {[](const double* p) { return p[1] - 10 + p[0] * p[2] / 10; }})},
      {"gen zone tetrahedron size 3 4 5 ratio 0.8 1.1 1.2",
       {Plane(0, 0), Plane(1, 0), Plane(2, 0), [](const double* p) { return p[0] / 3 + p[1] / 4 + p[2] / 5 - 1; }}},
      {"gen zone cylinder ratio 1.1 1 0.9", cylinder},
      {"gen zone radtunnel", tunnelAlongY},
      {"gen zone radtunnel fill ratio 1 1 1 1.2", box},
      {"gen zone radbrick ratio 1 1 1 0.8", With(box, {Plane(0, 2), Plane(1, 2), Plane(2, 2)})},
      {"gen zone radbrick fill", box},
      {"gen zone radcylinder ratio 1 1 1 1.2", With(box, {Cylinder(1, 2)})},
      {"gen zone radcylinder fill ratio 1.1 1 1 1.2", box},
      {"gen zone cshell ratio 1.2", With(cylinder, {Cylinder(1, 2)})},
      {"gen zone cshell fill ratio 1 1 1 0.9", cylinder},
      {"gen zone cylint", With(box, {Cylinder(1, 2), Cylinder(0, 2)})},
      {"gen zone cylint fill ratio 1 1 1 1.2 1.3", box},
      // An odd n3: the bricks between the two openings meet the outline's
      // nodes, evenly spread or graded.
      {"gen zone cylint fill size 6 5 7 ratio 1.1 1 1 0.8 1.3 edge 10", box},
      {"gen zone cylint size 6 6 7 ratio 1 1 1.3 edge 10", With(box, {Cylinder(1, 2), Cylinder(0, 2)})},
      {"gen zone tunint ratio 1 1 1 1.2 0.8", With(tunnelAlongY, {Plane(1, 2)})},
      {"gen zone tunint fill ratio 1.1 1 1 1.2 1.3", box},
      {"gen zone uwedge size 4 3 8 ratio 1.2 1.1 0.9",
       {Plane(1, 0), Plane(1, 3), Plane(0, 0), Plane(2, 0), [](const double* p) { return p[0] / 4 + p[2] / 8 - 1; }}},
  };
  for (const Case& c : cases) {
    ClearGrid();
    const std::string out = Run({c.line});
    ASSERT_EQ(out.find("***"), std::string::npos) << out;
    double smallest = HUGE_VAL;
    String report;
    for (Zone* z : ZoneList()) {
      smallest = std::min(smallest, z->Volume());
      EXPECT_TRUE(z->CheckNumbering(report)) << c.line << ": " << report.c_str();
      EXPECT_FALSE(z->CheckDegenerate(report)) << c.line << ": " << report.c_str();
    }
    EXPECT_GT(smallest, 0.0) << c.line;
    EXPECT_EQ(StrayFreeFaces(c.surfaces), 0) << c.line;
    ExpectLinksConsistent();
  }
}

TEST_F(GenZoneTest, RadialPiecesFollowOneAnother) {
  // The opening is the last piece and alone in the fill group.
  Run({"gen zone radtunnel fill group hole"});
  const Group* hole = FindGroup(String("hole"));
  ASSERT_NE(hole, nullptr);
  for (Zone* z : ZoneList()) EXPECT_EQ(z->GetGroup() == hole, z->Id() > 2000) << "zone " << z->Id();

  // Without merging the two pieces stay apart.
  ClearGrid();
  Run({"gen zone radtunnel size 2 2 2 2 nomerge"});
  EXPECT_EQ(Gps(), 2u * 27u);
  for (Zone* z : ZoneList())
    for (int f = 0; f < kZoneFaces; ++f)
      if (Zone* n = z->Neighbour(f)) {
        EXPECT_EQ(z->Id() <= 8, n->Id() <= 8) << "zone " << z->Id();
      }

  // The filling cylinder comes first; the graded part takes its surface.
  ClearGrid();
  Run({"gen zone radcylinder size 2 2 2 2 fill"});
  EXPECT_EQ(FindZone(1)->Type(), kWedge);
  EXPECT_EQ(Gps(), 21u + 27u - 9u);
}

TEST_F(GenZoneTest, EscInAPieceKeepsThePiecesBeforeIt) {
  device.escAtPoll = 5;  // the first row of the second piece
  EXPECT_NE(Run({"gen zone radtunnel size 2 2 2 2"}).find("*** ESC key pressed to halt"), std::string::npos);
  EXPECT_EQ(Zones(), 8u);
  ExpectLinksConsistent();
}

TEST_F(GenZoneTest, ShapesMergeWithAndJoinTheGridThatIsThere) {
  struct Case {
    const char* brick;
    const char* shape;
    uint32_t gps;
    int joins;  // faces of the shape joined to the brick
  };
  const Case cases[] = {
      // A cylinder standing on a brick: its flat k = 0 side, axis wedges too.
      {"gen zone brick size 4 2 1 p0 0 0 -1 p1 4 0 -1 p2 0 2 -1 p3 0 0 0", "gen zone cylinder size 4 2 4",
       30 + (3 + 4 * 3 * 5) - 15, 8},
      // A uniform wedge on a brick: the first zone of each row step.
      {"gen zone brick size 4 2 1 p0 0 0 -1 p1 4 0 -1 p2 0 2 -1 p3 0 0 0", "gen zone uwedge size 4 2 4", 30 + 45 - 15,
       8},
      // A radtunnel beside a brick: the band above the opening.
      {"gen zone brick size 1 2 4 p0 -1 0 2 p1 0 0 2 p2 -1 10 2 p3 -1 0 10", "gen zone radtunnel size 2 2 2 4 edge 10",
       30 + (45 + 45 - 15) - 15, 8},
      // Without merging neither the shell nor its filling cylinder touches
      // the brick (nor each other).
      {"gen zone brick size 4 2 1 p0 0 0 -1 p1 4 0 -1 p2 0 2 -1 p3 0 0 0", "gen zone cshell size 4 2 4 1 fill nomerge",
       30 + 18 + 75, 0},
  };
  for (const Case& c : cases) {
    ClearGrid();
    Run({c.brick});
    const uint32_t brickZones = Zones();
    const std::string out = Run({c.shape});
    EXPECT_EQ(out.find("***"), std::string::npos) << out;
    EXPECT_EQ(Gps(), c.gps) << c.shape;
    int joins = 0;
    for (Zone* z : ZoneList())
      for (int f = 0; f < kZoneFaces && z->Id() > brickZones; ++f)
        if (Zone* n = z->Neighbour(f); n && n->Id() <= brickZones) ++joins;
    EXPECT_EQ(joins, c.joins) << c.shape;
    ExpectLinksConsistent();
  }
}

// Whatever the sizes, ratios and sides, the zones fill the triangle's prism,
// half the box of the corner points.
TEST_F(GenZoneTest, UniformWedgeFillsHalfItsBox) {
  for (const char* line : {"gen zone uwedge size 4 3 4", "gen zone uwedge size 6 3 2 ratio 1.2 0.8 1.1",
                           "gen zone uwedge size 2 3 6 ratio 0.9 1.3 1.2 edge 5"}) {
    ClearGrid();
    Run({line});
    double volume = 0.0;
    for (Zone* z : ZoneList()) volume += z->Volume();
    double extent[3] = {0, 0, 0};
    for (GridPoint* gp : GridPointList())
      for (int a = 0; a < 3; ++a) extent[a] = std::max(extent[a], gp->position[a]);
    EXPECT_NEAR(volume, 0.5 * extent[0] * extent[1] * extent[2], 1e-9) << line;
  }
}

}  // namespace
