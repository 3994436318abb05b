// The records of groups, grid-points, zones and the zone-face list: a grid
// saved, restored and saved again gives the same bytes and the same grid.
#include <cstring>
#include "cmodels/constitutive_model.h"
#include "model/grid_fixture.h"
#include "support/memory_stream.h"

namespace {

class GridRecordTest : public GridTest {
 protected:
  // The grid's sections in the order of the save file.
  static void SaveGrid(SaveStream& s) {
    NumberAllLists();
    GroupList().Save(s);
    GridPointList().Save(s);
    s.WriteU32(GridPointIdCounter());
    ZoneList().Save(s);
    s.WriteU32(ZoneIdCounter());
    SaveZoneFaceList(s, ZoneFaceListHead());
  }

  static void RestoreGrid(SaveStream& s) {
    Reset();
    GroupList().Restore(s);
    GridPointList().Restore(s);
    GridPointIdCounter() = s.ReadU32();
    ZoneList().Restore(s);
    ZoneIdCounter() = s.ReadU32();
    RestoreZoneFaceList(s, ZoneFaceListHead());
    GroupList().RemapAll();
    GridPointList().RemapAll();
    ZoneList().RemapAll();
    ResolveZoneFaceList(ZoneFaceListHead());
    ReleaseIndexArrays();
  }
};

TEST_F(GridRecordTest, AGridComesBackByteForByte) {
  Settings().zoneExtras = 1;
  Zone* a = UnitBrick();
  Zone* b = UnitBrick(1, 0, 0);
  GridPoint* top[2] = {Gp(0, 0, 2), Gp(0, 1, 2)};
  GridPoint* wedge[6] = {a->Gp(3), a->Gp(6), a->Gp(5), top[0], a->Gp(7), top[1]};
  Zone* w = CreateZone(kWedge, wedge, 9);
  a->SetGroupByName("soil");
  w->SetGroupByName("soil");
  b->SetGroupByName("rock");
  FindGroup("rock")->SetColor(colors::kBrown);
  a->SetModelByName("mohr");
  a->Model()->SetPropertyValue("cohesion", 1e5);
  a->Tetra(1)[3].stress[2] = -7.5;
  a->Tetra(0)[1].state = 3;
  w->SetModelByName("elastic");
  w->SetDensity(1800);
  w->Extra().At(0).SetString("wet");
  b->dynamicMultiplier = std::make_unique<double>(2.0);
  a->Gp(0)->AddLinked(a->Gp(1));
  a->Gp(0)->flags = NodeBase::kFixX;
  a->Gp(0)->velocity[2] = 0.25;
  ZoneFace* face = new ZoneFace(b, 4);
  InsertUniqueRecord(ZoneFaceListHead(), face);

  MemoryStream first;
  SaveGrid(first);
  MemoryStream in;
  in.bytes = first.bytes;
  RestoreGrid(in);
  EXPECT_EQ(in.Remaining(), 0u);
  MemoryStream second;
  SaveGrid(second);
  EXPECT_EQ(second.bytes, first.bytes);

  ASSERT_EQ(ZoneList().Count(), 3u);
  Zone* ra = FindZone(1);
  Zone* rb = FindZone(2);
  Zone* rw = FindZone(9);
  ASSERT_TRUE(ra && rb && rw);
  EXPECT_EQ(ra->Neighbour(3), rb);
  EXPECT_EQ(rw->Neighbour(0), ra);
  EXPECT_EQ(rw->Gp(6), rw->Gp(3));  // the repeats are back
  EXPECT_EQ(rw->Gp(7), rw->Gp(5));
  EXPECT_EQ(ra->GroupName().str(), "soil");
  ASSERT_NE(FindGroup("rock")->GetColor(), nullptr);
  EXPECT_EQ(FindGroup("rock")->GetColor()->Name().str(), "Brown");
  EXPECT_EQ(ra->Model()->GetPropertyByIndex(ra->Model()->GetPropertyIndex("cohesion")), 1e5);
  EXPECT_EQ(ra->Tetra(1)[3].stress[2], -7.5);
  EXPECT_EQ(ra->Tetra(0)[1].state, 3);
  EXPECT_EQ(rw->Density(), 1800);
  EXPECT_EQ(rw->Extra().At(0).GetString().str(), "wet");
  EXPECT_EQ(*rb->dynamicMultiplier, 2.0);
  GridPoint* corner = FindGridpoint(1);
  EXPECT_EQ(corner->flags, NodeBase::kFixX);
  EXPECT_EQ(corner->velocity[2], 0.25);
  ASSERT_NE(corner->linked, nullptr);
  EXPECT_EQ(corner->linked->gp, FindGridpoint(2));
  // gp 5 (1,1,0) is shared by a and b: soil and rock, one use each.
  EXPECT_EQ(FindGridpoint(5)->GroupName(-1).str(), "2");
  ASSERT_NE(ZoneFaceListHead(), nullptr);
  EXPECT_EQ(ZoneFaceListHead()->GetZone(), rb);
  // The indexes follow the restored lists.
  EXPECT_EQ(Gp(5, 5, 5)->id, GridPointIdCounter());
  UnitBrick(2, 0, 0);
  EXPECT_EQ(rb->Neighbour(3), ZoneList().Tail());
}

TEST_F(GridRecordTest, CorruptRecordsAreReadErrors) {
  UnitBrick()->SetModelByName("elastic");
  MemoryStream good;
  SaveGrid(good);
  // Every shortened file fails with the read error, never a crash.
  for (size_t cut : {size_t{5}, good.bytes.size() / 2, good.bytes.size() - 3}) {
    MemoryStream in;
    in.bytes = good.bytes.substr(0, cut);
    EXPECT_THROW(RestoreGrid(in), KWRExcept) << cut;
  }
  Reset();
}

TEST_F(GridRecordTest, AZoneFaceSavedTwiceComesBackOnce) {
  Zone* z = UnitBrick();
  NumberAllLists();
  MemoryStream s;
  s.WriteU32(2);
  ZoneFace(z, 1).Save(s);
  ZoneFace(z, 1).Save(s);
  ZoneFace* head = nullptr;
  RestoreZoneFaceList(s, head);
  ASSERT_NE(head, nullptr);
  EXPECT_EQ(head->next, nullptr);
  ClearZoneFaceList(head);
}

}  // namespace
