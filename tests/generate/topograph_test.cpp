// GENERATE TOPOGRAPH: grid-points fitted in z to the GENERATE surfaces.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "base/temp_dir.h"
#include "generate/gen_geometry.h"
#include "model/grid_fixture.h"

namespace {

class TopographTest : public GridTest {
 protected:
  // The z of every grid-point at (x, y), from the bottom up.
  static std::vector<double> ColumnAt(double x, double y) {
    std::vector<double> z;
    for (const GridPoint* gp : GridPointList())
      if (gp->position[0] == x && gp->position[1] == y) z.push_back(gp->position[2]);
    std::sort(z.begin(), z.end());
    return z;
  }
  static std::string Line(const char* format, double a, double b) {
    char text[256];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
  }
};

// A column from z = 0 to 10 in two zones under a flat surface: above, the
// top follows the surface and the rest keeps its share of the height;
// below, the bottom does.
TEST_F(TopographTest, TheTopOrTheBottomFollowsTheSurface) {
  struct Case {
    const char* surface;
    const char* command;
    std::vector<double> z;
  };
  const Case cases[] = {
      {"gen surface polygon vertex -1 -1 12 vertex 5 -1 12 vertex 5 5 12 vertex -1 5 12 surfid 2",
       "gen topograph surfid 2",
       {0, 6, 12}},
      {"gen surface polygon vertex -1 -1 -2 vertex 5 -1 -2 vertex 5 5 -2 vertex -1 5 -2 surfid 2",
       "gen topograph below surfid 2",
       {-2, 4, 10}},
  };
  for (const Case& c : cases) {
    Reset();
    ResetGenGeometry();
    Run({"gen zone brick size 1 1 2 p3 0 0 10", c.surface});
    EXPECT_EQ(Run({c.command}),
              std::string("Terrax>") + c.command + "\nGenerating topograph ...\nTopograph generated...\n");
    for (double x : {0.0, 1.0})
      for (double y : {0.0, 1.0}) EXPECT_EQ(ColumnAt(x, y), c.z) << c.command;
    // Moved once, never again.
    Run({c.command});
    EXPECT_EQ(ColumnAt(0, 0), c.z) << c.command;
  }
}

TEST_F(TopographTest, RangeNameAndSurfaceIdChooseWhatMovesAndWhere) {
  Run({"gen zone brick size 2 1 1 p1 2 0 0 p2 0 1 0 p3 0 0 10",
       "gen surface polygon vertex -1 -1 20 vertex 3 -1 20 vertex 3 2 20 vertex -1 2 20 name road",
       "gen surface polygon vertex -1 -1 30 vertex 3 -1 30 vertex 3 2 30 vertex -1 2 30 surfid 3"});
  Run({"gen topograph name ROAD range x -0.5 0.5"});
  EXPECT_EQ(ColumnAt(0, 0), (std::vector<double>{0, 20}));
  EXPECT_EQ(ColumnAt(1, 0), (std::vector<double>{0, 10}));
  Run({"gen topograph surfid 3 range x 0.5 1.5"});
  EXPECT_EQ(ColumnAt(1, 0), (std::vector<double>{0, 30}));
  EXPECT_EQ(ColumnAt(2, 0), (std::vector<double>{0, 10}));
  // Every triangle: where they overlap, the last in list order decides.
  Run({"gen topograph surfid 0 range x 1.5 2.5"});
  EXPECT_EQ(ColumnAt(2, 1), (std::vector<double>{0, 30}));
  EXPECT_EQ(ColumnAt(0, 1), (std::vector<double>{0, 20}));
  EXPECT_EQ(ColumnAt(1, 1), (std::vector<double>{0, 30}));
}

// Linear interpolation over the triangles reproduces a plane exactly, also
// at grid-points on the survey's lines and diagonals, and far from the
// origin, where the corners' coordinates carry rounding: no grid-point
// under the survey may be passed over.
TEST_F(TopographTest, APlanarSurveyIsFollowedExactly) {
  const double offsets[2][2] = {{0.0, 0.0}, {500000.0, 4000000.0}};
  for (const auto& o : offsets) {
    Reset();
    ResetGenGeometry();
    TempDir dir;
    std::string survey;
    auto plane = [&](double x, double y) { return 100.0 + 0.1 * (x - o[0]) - 0.05 * (y - o[1]); };
    for (int j = 0; j <= 10; ++j)
      for (int i = 0; i <= 10; ++i) {
        const double x = o[0] + 10.0 * i, y = o[1] + 10.0 * j;
        char line[128];
        std::snprintf(line, sizeof line, "%.17g %.17g %.17g\n", x, y, plane(x, y));
        survey += line;
      }
    TempDir::Write("survey.txt", survey);
    const std::string brick = Line("gen zone brick size 8 8 2 p0 %.17g %.17g 0", o[0], o[1]) +
                              Line(" p1 %.17g %.17g 0", o[0] + 100, o[1]) +
                              Line(" p2 %.17g %.17g 0", o[0], o[1] + 100) + Line(" p3 %.17g %.17g 50", o[0], o[1]);
    Run({brick.c_str(), "gen surface file survey import"});
    ASSERT_EQ(GridPointList().Count(), 9u * 9u * 3u);
    std::vector<double> before;
    for (const GridPoint* gp : GridPointList()) before.push_back(gp->position[2]);
    Run({"gen topograph surfid 1"});
    size_t n = 0;
    for (const GridPoint* gp : GridPointList()) {
      EXPECT_TRUE(gp->flags & NodeBase::kTopographMoved) << gp->position[0] << " " << gp->position[1];
      const double expected = plane(gp->position[0], gp->position[1]) * before[n++] / 50.0;
      EXPECT_NEAR(gp->position[2], expected, 1e-9) << gp->position[0] << " " << gp->position[1];
    }
  }
}

// A vertical triangle gives no height: a grid-point on its trace keeps
// following the ground surface made before it.
TEST_F(TopographTest, VerticalTrianglesAreNoGround) {
  Run({"gen zone brick size 1 1 2 p3 0 0 10",
       "gen surface polygon vertex -1 -1 12 vertex 5 -1 12 vertex 5 5 12 vertex -1 5 12",
       "gen surface triangle vertex -1 -1 0 vertex 1 1 0 vertex 1 1 5", "gen topograph surfid 0"});
  EXPECT_EQ(ColumnAt(0, 0), (std::vector<double>{0, 6, 12}));
  EXPECT_EQ(ColumnAt(1, 1), (std::vector<double>{0, 6, 12}));
}

TEST_F(TopographTest, AFlatRangeIsRefusedBeforeAnythingMoves) {
  Run({"gen zone brick size 1 1 2 p3 0 0 10",
       "gen surface polygon vertex -1 -1 12 vertex 5 -1 12 vertex 5 5 12 vertex -1 5 12"});
  EXPECT_EQ(Run({"gen topograph surfid 0 range z 9 11"}),
            "Terrax>gen topograph surfid 0 range z 9 11\nGenerating topograph ...\n"
            "*** Grid-points in the range must span a height\n");
  EXPECT_EQ(ColumnAt(0, 0), (std::vector<double>{0, 5, 10}));
  for (const GridPoint* gp : GridPointList()) EXPECT_FALSE(gp->flags & NodeBase::kTopographMoved);
  // An empty range moves nothing and refuses nothing.
  EXPECT_EQ(Run({"gen topograph surfid 0 range z 20 30"}),
            "Terrax>gen topograph surfid 0 range z 20 30\nGenerating topograph ...\nTopograph generated...\n");
}

TEST_F(TopographTest, BadParametersAreReported) {
  struct Case {
    const char* line;
    const char* message;
  };
  const Case cases[] = {
      {"gen topograph", "Missing parameter 2"},
      {"gen topograph below", "Missing parameter 3"},
      {"gen topograph height 2", "Unrecognized parameter 2 (height)"},
      {"gen topograph surfid x", "Bad conversion parameter 3 (x)"},
      {"gen topograph name", "Missing parameter 3"},
      {"gen topograph surfid 2 extra range x 0 1", "Unrecognized parameter 4 (extra)"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Run({c.line}), std::string("Terrax>") + c.line + "\n*** " + c.message + "\n") << c.line;
}

}  // namespace
