// GENERATE SURFACE FILE: points read from a text file, taken as one polygon
// or as a regular grid of surveyed points.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "base/temp_dir.h"
#include "generate/gen_fixture.h"
#include "generate/gen_geometry.h"
#include "model/grid_fixture.h"

namespace {

class GenSurfaceFileTest : public GridTest {
 protected:
  TempDir dir;
  static const GenGeometry& Store() { return *ActiveGenGeometry(); }
  static size_t Triangles() { return Store().Triangles().Count(); }

  // The area of the triangles' projections on the x-y plane: a survey
  // triangulated without overlap or gap covers its grid exactly once.
  static double ProjectedArea() {
    double area = 0.0;
    for (const GenTriangle* t : Store().Triangles()) {
      const Vec3 a = t->Point(0)->Position(), b = t->Point(1)->Position(), c = t->Point(2)->Position();
      area += 0.5 * std::fabs((b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y));
    }
    return area;
  }
};

TEST_F(GenSurfaceFileTest, AGridImportMakesFourTrianglesPerQuadrilateral) {
  TempDir::Write("s1.txt", "0 0 1\n1 0 2\n2 0 3\n0 1 1\n1 1 2\n2 1 3\n");
  EXPECT_EQ(Run({"gen surface file s1 import name ground surfid 3"}),
            "Terrax>gen surface file s1 import name ground surfid 3\n\n8 Surfaces present\n");
  ASSERT_EQ(Triangles(), 8u);
  EXPECT_EQ(Store().Volumes().Count(), 0u);
  EXPECT_DOUBLE_EQ(ProjectedArea(), 2.0);
  for (const GenTriangle* t : Store().Triangles()) {
    EXPECT_EQ(t->GetSurfaceId(), 3);
    EXPECT_EQ(t->GetName().str(), "ground");
    EXPECT_EQ(t->VolumeNumber(), 0);  // free again after the quiet passes
  }
  ExpectRoundTrip(*ActiveGenGeometry(), "grid import");
}

// Survey files list their points along rows (the first points share y) or
// along columns (the first points share x); both give the same surface.
TEST_F(GenSurfaceFileTest, RowsAndColumnsOfASurveyGiveTheSameSurface) {
  std::string rows, columns;
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 5; ++i)
      rows += std::to_string(i) + " " + std::to_string(2 * j) + " " + std::to_string(i * j) + "\n";
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 3; ++j)
      columns += std::to_string(i) + " " + std::to_string(2 * j) + " " + std::to_string(i * j) + "\n";
  TempDir::Write("rows.txt", rows);
  TempDir::Write("columns.txt", columns);
  for (const char* line : {"gen surface file rows import", "gen surface file columns import"}) {
    ResetGenGeometry();
    EXPECT_EQ(Run({line}), std::string("Terrax>") + line + "\n\n32 Surfaces present\n");
    EXPECT_EQ(Triangles(), 32u) << line;
    EXPECT_DOUBLE_EQ(ProjectedArea(), 16.0) << line;
  }
}

TEST_F(GenSurfaceFileTest, CommentsBlankLinesAndEndAreHonoured) {
  // A polygon: the outline of a square, its last line without a line end;
  // Windows line ends give empty lines between.
  TempDir::Write("square.txt", "; corners\r\n\r\n  0 0 0\r\n1,0,0\r\n\t1 1 0 first\r\n0 1 0");
  EXPECT_EQ(Run({"gen surface file square.txt"}), "Terrax>gen surface file square.txt\n\n4 Surfaces present\n");
  // Reading stops at "end" (or "eof"): the fourth point is never read.
  for (const char* stop : {"END", "eof"}) {
    ResetGenGeometry();
    TempDir::Write("stop.txt", std::string("0 0 0\n1 0 0\n1 1 0\n ") + stop + "\n0 1 0\n");
    Run({"gen surface file stop"});
    EXPECT_EQ(Triangles(), 3u) << stop;
  }
}

// A repeated point leaves the last quadrilateral without area: what was
// made before stays, as free surfaces.
TEST_F(GenSurfaceFileTest, AFailedImportLeavesFreeSurfaces) {
  TempDir::Write("dent.txt", "0 0 0\n1 0 0\n2 0 0\n0 1 0\n1 1 0\n2 1 0\n0 2 0\n1 2 0\n1 2 0\n");
  EXPECT_EQ(Run({"gen surface file dent import"}),
            "Terrax>gen surface file dent import\n*** Attempted to create a degenerate triangle\n");
  EXPECT_EQ(Triangles(), 14u);
  for (const GenTriangle* t : Store().Triangles()) EXPECT_EQ(t->VolumeNumber(), 0) << t->Id();
}

TEST_F(GenSurfaceFileTest, BadFilesAreRefusedBeforeAnyTriangle) {
  TempDir::Write("two.txt", "0 0 0\n1 0 0\nend\n2 2 2\n");
  TempDir::Write("bad.txt", "0 0 0\n1 0 0\n1 x 0\n");
  TempDir::Write("short.txt", "0 0 0\n1 0\n");
  TempDir::Write("ok.txt", "0 0 0\n1 0 0\n1 1 0\n");
  struct Case {
    const char* line;
    const char* message;
  };
  const Case cases[] = {
      {"gen surface file nothere", "Error opening file nothere.txt"},
      {"gen surface file two", "Insufficient number of vertices defined"},
      {"gen surface file bad", "Missing number at line 3 of file bad.txt"},
      {"gen surface file short import", "Missing number at line 2 of file short.txt"},
      {"gen surface file ok surfid 0", "Surface Id must be greater than 0"},
      {"gen surface file ok colour", "Unrecognized parameter 4 (colour)"},
      {"gen surface file", "Missing parameter 3"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run({c.line}), std::string("Terrax>") + c.line + "\n*** " + c.message + "\n") << c.line;
  }
  EXPECT_EQ(Triangles(), 0u);
}

}  // namespace
