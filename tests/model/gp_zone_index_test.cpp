// The grid-point to zone index.
#include "model/gp_zone_index.h"

#include "model/grid_fixture.h"
#include "model/zone_shapes.h"

namespace {

class GpZoneIndexTest : public GridTest {
 protected:
  void TearDown() override {
    ClearGpZoneIndex();
    GridTest::TearDown();
  }
};

std::string Message(void (*build)()) {
  try {
    build();
  } catch (const QJExcept& e) {
    return e.Text();
  }
  return "";
}

TEST_F(GpZoneIndexTest, EightBricksAroundTheCentreInListOrder) {
  std::vector<Zone*> made;
  for (int k = 0; k < 2; ++k)
    for (int j = 0; j < 2; ++j)
      for (int i = 0; i < 2; ++i) made.push_back(UnitBrick(i, j, k));
  BuildGpZoneIndex();
  const GpZoneIndex& index = TheGpZoneIndex();
  EXPECT_EQ(index.Length(), 27u);
  const double centre[3] = {1, 1, 1};
  const std::vector<Zone*>* zones = index.ZonesOf(CoincidentGridpoint(centre)->id);
  ASSERT_NE(zones, nullptr);
  EXPECT_EQ(*zones, made);
  const double corner[3] = {0, 0, 0};
  zones = index.ZonesOf(CoincidentGridpoint(corner)->id);
  ASSERT_EQ(zones->size(), 1u);
  EXPECT_EQ(zones->front(), made[0]);
  EXPECT_EQ(index.ZonesOf(0), nullptr);
  EXPECT_EQ(index.ZonesOf(28), nullptr);
  // Each zone appears once per grid-point: 8 x 8 entries in all.
  size_t total = 0;
  for (uint32_t id = 1; id <= index.Length(); ++id) total += index.ZonesOf(id)->size();
  EXPECT_EQ(total, 64u);
  // A rebuild starts afresh; clearing leaves nothing.
  BuildGpZoneIndex();
  EXPECT_EQ(index.ZonesOf(CoincidentGridpoint(centre)->id)->size(), 8u);
  ClearGpZoneIndex();
  EXPECT_EQ(TheGpZoneIndex().Length(), 0u);
}

TEST_F(GpZoneIndexTest, IdsWithoutGridPointsKeepEmptyEntries) {
  Zone* first = zone_shapes::Shape(kTetrahedron);               // grid-points 1 to 4
  Zone* second = zone_shapes::Shape(kTetrahedron, 1, 2, 0, 0);  // 5 to 8
  GridPoint* gone[4] = {first->Gp(0), first->Gp(1), first->Gp(2), first->Gp(3)};
  DeleteZone(first);
  for (GridPoint* gp : gone) DeleteGridPoint(gp);
  BuildGpZoneIndex();
  EXPECT_EQ(TheGpZoneIndex().Length(), 8u);
  for (uint32_t id = 1; id <= 4; ++id) EXPECT_TRUE(TheGpZoneIndex().ZonesOf(id)->empty());
  for (uint32_t id = 5; id <= 8; ++id) EXPECT_EQ(*TheGpZoneIndex().ZonesOf(id), std::vector<Zone*>{second});
}

TEST_F(GpZoneIndexTest, LargeIdsTakeNoRoomOfTheirOwn) {
  // Ids near the top of the 32-bit range, as GP ID or a save file gives them.
  const uint32_t ids[4] = {7u, 2147483647u, 4000000000u, 4294967295u};
  GridPoint* gps[kZoneSlots] = {};
  for (int i = 0; i < 4; ++i) gps[i] = CreateGridPoint(zone_shapes::kUnit[i], ids[i]);
  Zone* z = CreateZone(kTetrahedron, gps);
  BuildGpZoneIndex();
  const GpZoneIndex& index = TheGpZoneIndex();
  EXPECT_EQ(index.Length(), 4294967295u);
  for (uint32_t id : ids) EXPECT_EQ(*index.ZonesOf(id), std::vector<Zone*>{z});
  ASSERT_NE(index.ZonesOf(8), nullptr);
  EXPECT_TRUE(index.ZonesOf(8)->empty());
  EXPECT_EQ(index.ZonesOf(0), nullptr);
}

TEST_F(GpZoneIndexTest, InconsistentZonesAreRefused) {
  Zone* z = zone_shapes::Shape(kTetrahedron);
  // A grid-point no longer in the list carries an id above the largest.
  GridPoint* last = z->Gp(3);
  GridPointList().Remove(last);
  EXPECT_EQ(Message(BuildGpZoneIndex), "Gridpoint ID is out of range.");
  GridPointList().Append(last);
  EXPECT_EQ(Message(BuildGpZoneIndex), "");
  // With no grid-points at all any zone is out of range.
  std::vector<GridPoint*> all(GridPointList().begin(), GridPointList().end());
  for (GridPoint* gp : all) GridPointList().Remove(gp);
  EXPECT_EQ(Message(BuildGpZoneIndex), "Gridpoint ID is out of range.");
  EXPECT_EQ(TheGpZoneIndex().Length(), 0u);
  for (GridPoint* gp : all) GridPointList().Append(gp);
  // Id 0.
  const uint32_t id = z->Gp(1)->id;
  z->Gp(1)->id = 0;
  EXPECT_EQ(Message(BuildGpZoneIndex), "Gridpoint ID is out of range.");
  z->Gp(1)->id = id;
  // A type byte the tables do not know.
  z->SetType(7);
  EXPECT_EQ(Message(BuildGpZoneIndex), "Number of gridpoints and zone type don't match.");
  z->SetType(kTetrahedron);
}

}  // namespace
