// GENERATE SURFACE shapes through the interpreter: what each shape makes,
// the volumes they close, their errors, and the store's save form after
// each of them.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "generate/gen_fixture.h"
#include "generate/gen_geometry.h"
#include "model/grid_fixture.h"

namespace {

class GenSurfaceShapesTest : public GridTest {
 protected:
  static const GenGeometry& Store() { return *ActiveGenGeometry(); }
  static size_t Triangles() { return Store().Triangles().Count(); }
  static size_t Points() { return Store().Points().Count(); }
  static size_t Volumes() { return Store().Volumes().Count(); }
};

TEST_F(GenSurfaceShapesTest, EachShapeMakesItsTrianglesAndClosesWhatIsClosed) {
  struct Case {
    const char* line;
    const char* output;
    size_t triangles, points, volumes;
  };
  const Case cases[] = {
      {"gen surface brick edge 2", "Volume 1 Created with 12 Surfaces\n", 12, 8, 1},
      {"gen surface polygon vertex 0 0 0 vertex 1 0 0 vertex 1 1 0 vertex 0 1 0", "\n4 Surfaces present\n", 4, 5, 0},
      // One layer: four side quadrilaterals, two caps of four.
      {"gen surface xpolygon vertex 0 0 0 vertex 1 0 0 vertex 1 1 0 vertex 0 1 0 closed cap extruded 0 0 1",
       "Volume 1 Created with 16 Surfaces\n", 16, 10, 1},
      // Neither closed nor capped: three walls.
      {"gen surface xpolygon vertex 0 0 0 vertex 1 0 0 vertex 1 1 0 vertex 0 1 0 extruded 0 0 1",
       "\n6 Surfaces present\n", 6, 8, 0},
      // Capped but open: the caps close the outline, the walls do not.
      {"gen surface xpolygon vertex 0 0 0 vertex 1 0 0 vertex 1 1 0 vertex 0 1 0 cap extruded 0 0 1",
       "\n14 Surfaces present\n", 14, 10, 0},
      // 1 + int(0.02 * 100 / 1) = 3 layers of at most 50 times the shortest edge.
      {"gen surface xpolygon vertex 0 0 0 vertex 1 0 0 vertex 1 1 0 vertex 0 1 0 closed cap extruded 0 0 100",
       "Volume 1 Created with 32 Surfaces\n", 32, 18, 1},
      // Segments 0 means 10: eleven arc points, ten wall quadrilaterals.
      {"gen surface xarc edge 1 extruded 0 0 1", "\n20 Surfaces present\n", 20, 22, 0},
      // Closed, the centre joins the outline; capped, it is a volume.
      {"gen surface xarc edge 1 segments 4 closed cap extruded 0 0 1", "Volume 1 Created with 24 Surfaces\n", 24, 14,
       1},
  };
  for (const Case& c : cases) {
    ResetGenGeometry();
    EXPECT_EQ(Run({c.line}), std::string("Terrax>") + c.line + "\n" + c.output) << c.line;
    EXPECT_EQ(Triangles(), c.triangles) << c.line;
    EXPECT_EQ(Points(), c.points) << c.line;
    EXPECT_EQ(Volumes(), c.volumes) << c.line;
    ExpectRoundTrip(*ActiveGenGeometry(), c.line);
  }
}

TEST_F(GenSurfaceShapesTest, ABrickFromTwoVerticesHasEdgesOfTheirDistance) {
  // V1 - V0 gives the first edge; the other two run along y and z.
  Run({"gen surface brick vertex -1 0 0 vertex 2 0 0"});
  const GenVolume* v = Store().FindVolume(1);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->MinExtent().x, -1.0);
  EXPECT_EQ(v->MaxExtent().x, 2.0);
  EXPECT_EQ(v->MaxExtent().y, 3.0);
  EXPECT_EQ(v->MaxExtent().z, 3.0);
  ResetGenGeometry();
  Run({"gen surface brick vertex 0 0 0 vertex 3 4 0"});
  v = Store().FindVolume(1);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->MaxExtent().x, 3.0);
  EXPECT_EQ(v->MaxExtent().y, 9.0);
  EXPECT_EQ(v->MaxExtent().z, 5.0);
}

// The arc about V0 from V2 to V1 follows the ellipse with half-axes
// a = |V1 - V0| and b = |V2 - V0|: r² = a²b² / (b²cos²φ + a²sin²φ), the
// polar equation of an ellipse about its centre.
TEST_F(GenSurfaceShapesTest, TheArcPointsLieOnTheEllipse) {
  Run({"gen surface xarc vertex 1 1 0 vertex 3 1 0 vertex 1 2 0 segments 8 extruded 0 0 0.5"});
  ASSERT_EQ(Points(), 18u);
  int onArc = 0;
  for (const GenPoint* p : Store().Points()) {
    const Vec3 q = p->Position();
    if (q.z != 0.0) continue;
    const double x = (q.x - 1.0) / 2.0, y = q.y - 1.0;
    EXPECT_NEAR(x * x + y * y, 1.0, 1e-12);
    EXPECT_GE(x, -1e-15);
    EXPECT_GE(y, -1e-15);
    ++onArc;
  }
  EXPECT_EQ(onArc, 9);
}

TEST_F(GenSurfaceShapesTest, EveryShapeGivesItsTrianglesTheNameAndSurfaceId) {
  const char* const lines[] = {
      "gen surface triangle vertex 9 9 9 vertex 10 9 9 vertex 9 10 9 name road surfid 4",
      "gen surface brick edge 1 name road surfid 4",
      "gen surface polygon vertex 5 0 0 vertex 6 0 0 vertex 6 1 0 name road surfid 4",
      "gen surface xpolygon vertex 0 5 0 vertex 1 5 0 vertex 1 6 0 extruded 0 0 1 name road surfid 4",
      "gen surface xarc vertex 0 0 7 edge 1 extruded 0 0 1 name road surfid 4",
  };
  for (const char* line : lines) Run({line});
  ASSERT_EQ(Triangles(), 1u + 12u + 3u + 4u + 20u);
  for (const GenTriangle* t : Store().Triangles()) {
    EXPECT_EQ(t->GetSurfaceId(), 4) << t->Id();
    EXPECT_EQ(t->GetName().str(), "road") << t->Id();
  }
}

TEST_F(GenSurfaceShapesTest, BadShapesAreRefusedWithAClearMessage) {
  struct Case {
    const char* line;
    const char* message;
  };
  const Case cases[] = {
      {"gen surface polygon vertex 0 0 0 vertex 1 0 0", "Insufficient number of vertices defined"},
      {"gen surface xpolygon vertex 0 0 0 vertex 1 0 0 vertex 1 1 0", "Must specify a non-zero extrusion vector"},
      {"gen surface xpolygon vertex 0 0 0 vertex 1 0 0 extruded 0 0 1", "Insufficient number of vertices defined"},
      {"gen surface brick vertex 1 1 1", "Insufficient number of vertices defined"},
      {"gen surface xarc vertex 1 1 1 extruded 0 0 1", "Insufficient number of vertices defined"},
      {"gen surface xarc edge 1", "Must specify a non-zero extrusion vector"},
      {"gen surface xpolygon vertex 0 0 0 vertex 1 0 0 vertex 1 1 0 surfid 0 extruded 0 0 1",
       "Surface Id must be greater than 0"},
      {"gen surface brick vertex point 9", "Node 9 not found"},
      // A repeated vertex leaves an edge of no length.
      {"gen surface xpolygon vertex 0 0 0 vertex 0 0 0 vertex 1 1 0 extruded 0 0 1",
       "Attempted to create a degenerate triangle"},
      // An arc whose ends lie in line with its centre has no plane.
      {"gen surface xarc vertex 0 0 0 vertex 1 0 0 vertex -2 0 0 extruded 0 0 1",
       "Arc end points must not be in line with the centre"},
      {"gen surface xarc vertex 0 0 0 vertex 0 0 0 extruded 0 0 1",
       "Arc end points must not be in line with the centre"},
      // Twelve thousand million layers would run past the triangle ids.
      {"gen surface xpolygon vertex 0 0 0 vertex 1 0 0 vertex 1 1 0 extruded 0 0 1e12",
       "Extrusion needs too many triangles"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run({c.line}), std::string("Terrax>") + c.line + "\n*** " + c.message + "\n") << c.line;
    EXPECT_EQ(Triangles(), 0u) << c.line;
  }
}

// The brick's twelve triangles typed one by one in the brick's order: only
// the last closes the set, and then all twelve make the volume. Two bottom
// triangles whose other neighbours were found open earlier in the same
// pass must not be taken for a volume of their own.
TEST_F(GenSurfaceShapesTest, AVolumeIsMadeOnlyOfASetThatCloses) {
  static const double kCorner[8][3] = {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}, {0, 0, 2},
                                       {2, 2, 0}, {0, 2, 2}, {2, 0, 2}, {2, 2, 2}};
  static const int kFaces[12][3] = {{5, 0, 2}, {5, 3, 0}, {6, 4, 1}, {6, 7, 4}, {3, 1, 0}, {3, 6, 1},
                                    {7, 2, 4}, {7, 5, 2}, {0, 4, 2}, {0, 1, 4}, {5, 6, 3}, {5, 7, 6}};
  for (int f = 0; f < 12; ++f) {
    std::string line = "gen surface triangle";
    for (int k = 0; k < 3; ++k) {
      const double* c = kCorner[kFaces[f][k]];
      line += " vertex " + std::to_string(c[0]) + " " + std::to_string(c[1]) + " " + std::to_string(c[2]);
    }
    const std::string out = Run({line.c_str()});
    if (f < 11)
      EXPECT_EQ(out.find("Volume"), std::string::npos) << out;
    else
      EXPECT_NE(out.find("Volume 1 Created with 12 Surfaces"), std::string::npos) << out;
  }
  EXPECT_EQ(Volumes(), 1u);
  EXPECT_EQ(Store().FindVolume(1)->TriangleCount(), 12);
}

// The inside test on the new shapes, against the shapes themselves away
// from their surfaces: a prism over a concave outline and a capped arc.
TEST_F(GenSurfaceShapesTest, InsideAgreesWithTheExtrudedShapes) {
  // An L-shaped outline, extruded 2 up from z = -1.
  Run(
      {"gen surface xpolygon vertex 0 0 -1 vertex 3 0 -1 vertex 3 1 -1 vertex 1 1 -1 vertex 1 3 -1 vertex 0 3 -1 "
       "closed cap extruded 0 0 2",
       "gen surface xarc vertex 10 0 0 vertex 13 0 0 vertex 10 2 0 segments 24 closed cap extruded 0 0 1"});
  ASSERT_EQ(Volumes(), 2u);
  const GenVolume* prism = Store().FindVolume(1);
  const GenVolume* arc = Store().FindVolume(2);
  std::mt19937 random(11);
  std::uniform_real_distribution<double> u(-0.5, 3.5), w(-1.5, 1.5);
  int checked = 0;
  for (int i = 0; i < 2000; ++i) {
    const double p[3] = {u(random), u(random), w(random)};
    const bool inL = p[0] > 0 && p[1] > 0 && p[2] > -1 && p[2] < 1 && (p[0] < 1 || p[1] < 1) && p[0] < 3 && p[1] < 3;
    const double edge = std::min({std::fabs(p[0]), std::fabs(p[1]), std::fabs(p[0] - 1), std::fabs(p[1] - 1),
                                  std::fabs(p[0] - 3), std::fabs(p[1] - 3), std::fabs(p[2] + 1), std::fabs(p[2] - 1)});
    if (edge < 1e-3) continue;
    EXPECT_EQ(GenVolume::Contains(prism, p), inL) << p[0] << " " << p[1] << " " << p[2];
    ++checked;
  }
  EXPECT_GT(checked, 1900);
  // The quarter ellipse x²/9 + y²/4 < 1 about (10, 0), polygon of 24 chords:
  // test well inside and well outside the curve.
  std::uniform_real_distribution<double> ax(9.5, 13.5), ay(-0.5, 2.5), az(-0.5, 1.5);
  for (int i = 0; i < 2000; ++i) {
    const double p[3] = {ax(random), ay(random), az(random)};
    const double x = (p[0] - 10.0) / 3.0, y = p[1] / 2.0, e = x * x + y * y;
    if (std::fabs(e - 1.0) < 0.02 || std::fabs(p[0] - 10) < 1e-3 || std::fabs(p[1]) < 1e-3 || std::fabs(p[2]) < 1e-3 ||
        std::fabs(p[2] - 1) < 1e-3)
      continue;
    const bool in = p[0] > 10 && p[1] > 0 && p[2] > 0 && p[2] < 1 && e < 1.0;
    EXPECT_EQ(GenVolume::Contains(arc, p), in) << p[0] << " " << p[1] << " " << p[2];
  }
}

}  // namespace
