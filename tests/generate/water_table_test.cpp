// The water table: the pore pressure under triangles of either winding, the
// last triangle over a grid-point deciding, and damaged save records.
#include <gtest/gtest.h>

#include "base/range.h"
#include "generate/water_table.h"
#include "model/grid_fixture.h"
#include "support/memory_stream.h"

namespace {

class WaterTableTest : public GridTest {
 protected:
  WaterTable table;

  void SetUp() override {
    GridTest::SetUp();
    Settings().gravity[2] = -10.0;
    table.density = 1000.0;
  }
  static WaterFace Face(double z, bool clockwise) {
    WaterFace f{{0, 0, z}, {4, 0, z}, {0, 4, z}};
    if (clockwise) std::swap(f.b, f.c);
    return f;
  }
};

TEST_F(WaterTableTest, TrianglesOfEitherWindingGiveTheHydrostaticPressure) {
  GridPoint* gp = Gp(1, 1, 0);
  for (bool clockwise : {false, true}) {
    gp->porePressure = -1.0;
    table.faces = {Face(2.5, clockwise)};
    table.Apply(Range());
    EXPECT_DOUBLE_EQ(gp->porePressure, 10.0 * 1000.0 * 2.5) << "clockwise " << clockwise;
  }
}

TEST_F(WaterTableTest, TheLastTriangleDecidesAndPointsUnderNoneKeepTheirPressure) {
  GridPoint* under = Gp(1, 1, 0);
  GridPoint* outside = Gp(9, 9, 0);
  outside->porePressure = 7.0;
  table.faces = {Face(3.0, false), Face(1.0, true), Face(2.0, false)};
  table.Apply(Range());
  EXPECT_DOUBLE_EQ(under->porePressure, 20000.0);
  EXPECT_EQ(outside->porePressure, 7.0);
  // Above the surface: no pressure.
  GridPoint* above = Gp(1, 1, 5);
  table.Apply(Range());
  EXPECT_EQ(above->porePressure, 0.0);
}

TEST_F(WaterTableTest, DamagedCountsAreTheReadError) {
  table.faces = {Face(1.0, false), Face(2.0, false)};
  MemoryStream good;
  table.Save(good);
  ASSERT_EQ(good.bytes.size(), 8u + 1 + 48 + 4 + 2 * 72);
  WaterTable back;
  back.Restore(good);
  EXPECT_EQ(back.faces.size(), 2u);
  for (int32_t count : {-1, 3, 1 << 30}) {
    MemoryStream bad;
    bad.bytes = good.bytes;
    std::memcpy(&bad.bytes[57], &count, 4);
    WaterTable damaged;
    EXPECT_THROW(damaged.Restore(bad), KWRExcept) << count;
  }
}

}  // namespace
