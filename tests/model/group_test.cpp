// Groups: the grid-points' group slots, zone groups and their grid-points,
// GROUP and PRINT GROUP.
#include "model/grid_fixture.h"
#include "support/link_doubles.h"

namespace {

TEST_F(GridTest, GridPointSlotsCountTheUsesOfAGroup) {
  GridPoint* gp = Gp(0, 0, 0);
  Group* soil = FindOrCreateGroup("soil");
  Group* clay = FindOrCreateGroup("clay");
  gp->ChangeGroup(soil, nullptr);
  gp->ChangeGroup(soil, nullptr);
  EXPECT_EQ(gp->GroupSlotCount(), 1);
  EXPECT_EQ(gp->GroupSlotUses(0), 2);
  gp->ChangeGroup(clay, soil);
  EXPECT_TRUE(gp->InGroup(soil));
  EXPECT_TRUE(gp->HasOtherGroup(soil));
  EXPECT_EQ(gp->GroupName(-1).str(), "2");
  EXPECT_EQ(gp->GroupName(1).str(), "clay");
  EXPECT_EQ(gp->GroupName(2).str(), "");
  gp->ChangeGroup(nullptr, soil);
  EXPECT_FALSE(gp->InGroup(soil));
  EXPECT_EQ(gp->GroupName(0).str(), "clay");
  try {
    gp->ChangeGroup(nullptr, soil);
    FAIL();
  } catch (const QJExcept& e) {
    EXPECT_STREQ(e.Text(), "Gridpoint prevname not found.");
  }
  // A group without a name counts as none unless asked to keep it.
  Group blank{String()};
  gp->ChangeGroup(&blank, nullptr);
  EXPECT_EQ(gp->GroupSlotCount(), 1);
  gp->ChangeGroup(&blank, nullptr, true);
  EXPECT_EQ(gp->GroupSlotCount(), 2);
}

TEST_F(GridTest, AThirteenthGroupIsRefusedAndChangesNothing) {
  GridPoint* gp = Gp(0, 0, 0);
  Group* groups[13];
  for (int i = 0; i < 13; ++i) groups[i] = FindOrCreateGroup("g" + IntToString(i));
  for (int i = 0; i < 12; ++i) gp->ChangeGroup(groups[i], nullptr);
  try {
    gp->ChangeGroup(groups[12], nullptr);
    FAIL();
  } catch (const QJExcept& e) {
    EXPECT_STREQ(e.Text(), "Gridpoint groupnames are full.");
  }
  EXPECT_EQ(gp->GroupSlotCount(), 12);
  gp->ChangeGroup(groups[12], groups[0]);  // the last use of g0 frees its slot
  EXPECT_TRUE(gp->InGroup(groups[12]));
  EXPECT_FALSE(gp->InGroup(groups[0]));
}

TEST_F(GridTest, ZoneGroupsMoveTheirGridPointsSlots) {
  Zone* a = UnitBrick();
  Zone* b = UnitBrick(1, 0, 0);
  a->SetGroupByName("Soil");
  b->SetGroupByName("soil");  // the same group, names fold case
  EXPECT_EQ(GroupList().Count(), 1u);
  GridPoint* shared = a->Gp(1);
  EXPECT_EQ(shared->GroupSlotUses(0), 2);
  b->SetGroupByName("none");
  EXPECT_EQ(b->GetGroup(), nullptr);
  EXPECT_EQ(b->GroupName().str(), "None");
  EXPECT_EQ(shared->GroupSlotUses(0), 1);
  EXPECT_EQ(b->Gp(1)->GroupSlotCount(), 0);
  EXPECT_EQ(GroupList().Count(), 1u);  // no group is ever called none
  // Rebuilding the slots from the zones gives the same counts.
  ClearAllGroups();
  EXPECT_EQ(shared->GroupSlotUses(0), 1);
  EXPECT_EQ(a->Gp(0)->GroupSlotUses(0), 1);
}

TEST_F(GridTest, AZoneWhoseGridPointIsFullKeepsItsGroup) {
  Zone* z = UnitBrick();
  GridPoint* gp = z->Gp(7);
  for (int i = 0; i < 12; ++i) gp->ChangeGroup(FindOrCreateGroup("x" + IntToString(i)), nullptr);
  EXPECT_THROW(z->SetGroupByName("rock"), QJExcept);
  EXPECT_EQ(z->GetGroup(), nullptr);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(z->Gp(i)->GroupSlotCount(), 0);
}

TEST_F(GridTest, GroupCommandAndListing) {
  UnitBrick();
  UnitBrick(1, 0, 0);
  std::string out = Run({"group", "group soil range x 0 1", "group remainder Clay lred", "group remainder sand",
                         "region rock rgb 0.5 0.5 0.5 range id 2", "print group", "group soil bleu", "print region"});
  EXPECT_EQ(out,
            "Terrax>group\n*** Missing parameter 1\n"
            "Terrax>group soil range x 0 1\n Group name soil assigned to 1 zones\n"
            "Terrax>group remainder Clay lred\n Group assigned color Light Red\n"
            " Group name Clay assigned to 1 zones\n"
            "Terrax>group remainder sand\n Group name sand assigned to 0 zones\n"
            "Terrax>region rock rgb 0.5 0.5 0.5 range id 2\n"
            " Group assigned color R0.49804 G0.49804 B0.49804 GS0.49804\n"
            " Group name rock assigned to 1 zones\n"
            "Terrax>print group\n"
            "  Group                Zones SELs  Gps  Color\n"
            "  -------------------- ----- ---- ----- --------\n"
            "  soil                 1     0    8   \n"
            "  Clay                 0     0    0    Light Red\n"
            "  sand                 0     0    0   \n"
            "  rock                 1     0    8    R0.49804 G0.49804 B0.49804 GS0.49804\n"
            "Terrax>group soil bleu\n*** Unrecognized parameter 2 (bleu)\n"
            "Terrax>print region\n"
            "  Group                Zones SELs  Gps  Color\n"
            "  -------------------- ----- ---- ----- --------\n"
            "  soil                 1     0    8   \n"
            "  Clay                 0     0    0    Light Red\n"
            "  sand                 0     0    0   \n"
            "  rock                 1     0    8    R0.49804 G0.49804 B0.49804 GS0.49804\n");
}

TEST_F(GridTest, GroupNotifiesTheViewsOnlyWhenZonesChanged) {
  static int notified = 0;
  notified = 0;
  FakeViews views;
  views.notify = [](uint32_t code, const String&) {
    if (code == 0x1000000) ++notified;
  };
  UnitBrick();
  Run({"group a range x 5 6", "group a"});
  EXPECT_EQ(notified, 1);
}

}  // namespace
