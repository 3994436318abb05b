// Zone quality measures and the GEOM_TEST command.
#include <array>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <string>

#include "model/grid_fixture.h"
#include "model/zone_shapes.h"

namespace {

using zone_shapes::Shape;

using ZoneQualityTest = GridTest;

TEST_F(ZoneQualityTest, CornerMeasures) {
  const double x[3] = {1, 0, 0}, y[3] = {0, 2, 0}, z[3] = {0, 0, 4}, zero[3] = {0, 0, 0};
  EXPECT_DOUBLE_EQ(CornerOrthogonality(x, y, z), 1.0 + 1e-9);
  EXPECT_DOUBLE_EQ(CornerOrthogonality(y, x, z), -1.0 + 1e-9);  // left-handed
  EXPECT_DOUBLE_EQ(CornerAspect(x, y, z), 0.25);
  // Zero-length or repeated edges tell nothing.
  EXPECT_EQ(CornerOrthogonality(x, zero, z), DBL_MAX);
  EXPECT_EQ(CornerOrthogonality(x, y, y), DBL_MAX);
  EXPECT_EQ(CornerAspect(z, y, z), DBL_MAX);
}

TEST_F(ZoneQualityTest, MeasuresOfBricks) {
  Zone* cube = Shape(kBrick);
  EXPECT_DOUBLE_EQ(cube->Orthogonality(), 1.0 + 1e-9);
  EXPECT_DOUBLE_EQ(cube->AspectRatio(), 1.0);
  EXPECT_EQ(ZoneFacePlanarity(*cube), 0.0);

  Zone* tall = Shape(kBrick, 1.0, 5, 0, 0);
  for (int i = 0; i < 8; ++i) tall->Gp(i)->position[2] *= 4.0;
  EXPECT_DOUBLE_EQ(tall->AspectRatio(), 0.25);
  EXPECT_DOUBLE_EQ(tall->Orthogonality(), 1.0 + 1e-9);

  // Corner 7 folded through the opposite face: that corner turns negative.
  Zone* folded = Shape(kBrick, 1.0, 10, 0, 0);
  folded->Gp(7)->position[0] = 9.5;
  folded->Gp(7)->position[1] = -0.5;
  folded->Gp(7)->position[2] = -0.5;
  EXPECT_LT(folded->Orthogonality(), 0.0);
}

TEST_F(ZoneQualityTest, PlanarityOfALiftedCornerDoesNotDependOnScale) {
  for (double scale : {1.0, 2.0}) {
    Reset();
    Zone* z = Shape(kBrick, scale);
    z->Gp(4)->position[2] = -0.1 * scale;  // corner 4 of the bottom face, lifted out of its plane
    EXPECT_NEAR(ZoneFacePlanarity(*z), 0.2548, 5e-5);
  }
}

TEST_F(ZoneQualityTest, PlanarityLooksAtFourCorneredFacesOnly) {
  Zone* tetra = Shape(kTetrahedron);
  EXPECT_EQ(ZoneFacePlanarity(*tetra), -DBL_MAX);
  // A pyramid is measured on its base alone: lifting the apex changes nothing.
  Zone* pyramid = Shape(kPyramid, 1.0, 3, 0, 0);
  EXPECT_EQ(ZoneFacePlanarity(*pyramid), 0.0);
  pyramid->Gp(4)->position[2] = 0.1;  // a base corner
  EXPECT_GT(ZoneFacePlanarity(*pyramid), 0.0);
  // Repeated corners of reduced types give the largest double for those corners only.
  Zone* wedge = Shape(kWedge, 1.0, 6, 0, 0);
  EXPECT_DOUBLE_EQ(wedge->AspectRatio(), 1.0 / std::sqrt(2.0));
  EXPECT_LT(wedge->Orthogonality(), DBL_MAX);
}

TEST_F(ZoneQualityTest, PlotItemsAcceptMarkedZonesByTheirNullState) {
  Zone* z = Shape(kBrick);
  EXPECT_FALSE(ZoneAcceptedByPlot(*z, false));  // not marked
  z->SetFlags(kZonePlotMark);
  EXPECT_TRUE(ZoneAcceptedByPlot(*z, false));  // no model is not null
  EXPECT_FALSE(ZoneAcceptedByPlot(*z, true));
  z->SetModelByName("null");
  EXPECT_FALSE(ZoneAcceptedByPlot(*z, false));
  EXPECT_TRUE(ZoneAcceptedByPlot(*z, true));
}

// The table with the given rows holding counts (orthogonality, aspect, planarity).
std::string Table(std::initializer_list<std::array<int, 4>> rows) {
  char line[256];
  std::snprintf(line, sizeof line, "Range%33s%20s%20s\n-----%33s%20s%20s\n", " Orthogonality ", "Aspect Ratio ",
                "Face Planarity ", "---------------", "-------------", "---------------");
  std::string t = line;
  for (int i = 0; i < 20; ++i) {
    int o = 0, a = 0, p = 0;
    for (const auto& r : rows) {
      if (r[0] != i) continue;
      o = r[1];
      a = r[2];
      p = r[3];
    }
    std::snprintf(line, sizeof line, "[ %6.3f - %6.3f ] %10d%20d%20d\n", 0.1 * i - 1, 0.1 * (i + 1) - 1, o, a, p);
    t += line;
  }
  return t;
}

TEST_F(ZoneQualityTest, GeomTestReportsTheWorstZonesAndTheTable) {
  Shape(kBrick);
  Zone* tall = Shape(kBrick, 1.0, 5, 0, 0);
  for (int i = 0; i < 8; ++i) tall->Gp(i)->position[2] *= 4.0;
  Shape(kTetrahedron, 1.0, 10, 0, 0);
  std::string out = Run({"geom_test"});
  const std::string head =
      "Terrax>geom_test\n"
      "\n"
      "*** After looping through all zones in the range the worst case results are \n"
      "*** Orthogonality  ( must be close to 1.0 ): 0.5\n"
      "*** Aspect ratio   ( must be close to 1.0 ): 0.25\n"
      "*** Face Planarity ( must be close to 0.0 ): 0\n";
  // Tetrahedron: only corner c1 (grid-point 2, edges to 0, 1 and 3) has three
  // distinct edges: orthogonality 0.5 (row 15), aspect 1/sqrt(2) (row 17); no
  // planarity value.
  EXPECT_EQ(out, head + Table({{12, 0, 1, 0}, {15, 1, 0, 0}, {10, 0, 0, 2}, {17, 0, 1, 0}, {19, 2, 1, 0}}));

  // With a range: the tetrahedron alone.
  out = Run({"geom_test range x 9 12"});
  EXPECT_NE(out.find("( must be close to 0.0 ): -1.79769e+308\n"), std::string::npos) << out;
  EXPECT_NE(out.find("( must be close to 1.0 ): 0.5\n"), std::string::npos) << out;
  EXPECT_NE(out.find("( must be close to 1.0 ): 0.707107\n"), std::string::npos) << out;
}

TEST_F(ZoneQualityTest, GeomTestOnAnEmptyRangeAndWithBadWords) {
  std::string out = Run({"geom_test"});
  EXPECT_EQ(out,
            "Terrax>geom_test\n\n"
            "*** After looping through all zones in the range the worst case results are \n"
            "*** Orthogonality  ( must be close to 1.0 ): 1.79769e+308\n"
            "*** Aspect ratio   ( must be close to 1.0 ): 1.79769e+308\n"
            "*** Face Planarity ( must be close to 0.0 ): -1.79769e+308\n" +
                Table({}));
  out = Run({"geom_test banana"});
  EXPECT_EQ(out, "Terrax>geom_test banana\n*** Unrecognized parameter 1 (banana)\n");
}

TEST_F(ZoneQualityTest, GeomTestReportsDegenerateAndMisnumberedZones) {
  Zone* a = Shape(kBrick);
  a->Gp(7)->position[0] = 1.0;
  a->Gp(7)->position[1] = 1.0;
  a->Gp(7)->position[2] = 0.0;  // onto grid-point 4
  Zone* b = Shape(kBrick, 1.0, 3, 0, 0);
  b->Gp(3)->position[2] = -1.0;  // through the bottom
  const std::string out = Run({"geom_test"});
  EXPECT_NE(out.find("Zone 1 is degenerate.\nGps 5 and 8 have the same coordinates.\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Zone 2 does not conform to node numbering convention.\n"), std::string::npos) << out;
}

}  // namespace
