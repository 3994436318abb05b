// Creating, joining, finding and deleting grid objects through the grid's
// indexes, checked against the plain walks over the lists that they replace.
#include <cfloat>
#include <cmath>
#include <random>

#include "base/memory.h"
#include "model/grid_fixture.h"

namespace {

// The nearest grid-point by a walk over the list: strictly smaller wins.
GridPoint* WalkNearest(const double p[3], uint32_t mask) {
  GridPoint* best = nullptr;
  double bestD = DBL_MAX;
  for (GridPoint* gp : GridPointList()) {
    if (gp->flags & mask) continue;
    double d = std::sqrt((gp->position[0] - p[0]) * (gp->position[0] - p[0]) +
                         (gp->position[1] - p[1]) * (gp->position[1] - p[1]) +
                         (gp->position[2] - p[2]) * (gp->position[2] - p[2]));
    if (d < bestD) {
      bestD = d;
      best = gp;
    }
  }
  return best;
}

TEST_F(GridTest, IdsGivenAreHonouredAndAutomaticIdsSkipThem) {
  EXPECT_EQ(Gp(0, 0, 0, 2)->id, 2u);
  EXPECT_EQ(Gp(1, 0, 0)->id, 3u);  // the counter moved with the given id; 2 is taken anyway
  EXPECT_EQ(Gp(2, 0, 0, 5)->id, 5u);
  EXPECT_EQ(Gp(3, 0, 0)->id, 6u);
  GridPointIdCounter() = 4;
  EXPECT_EQ(Gp(4, 0, 0)->id, 7u);  // 5 and 6 are in use
  EXPECT_THROW(Gp(5, 0, 0, 3), QJExcept);
  EXPECT_EQ(GridPointList().Count(), 5u);
  EXPECT_EQ(FindGridpoint(5)->position[0], 2.0);
  EXPECT_EQ(FindGridpoint(4), nullptr);
  ClearGrid();
  EXPECT_EQ(GridPointList().Count(), 0u);
  EXPECT_EQ(Gp(0, 0, 0)->id, 1u);
}

TEST_F(GridTest, AutomaticIdsNeverWrapToZero) {
  // A restored counter may stand at the top of its range.
  Gp(0, 0, 0);
  GridPointIdCounter() = UINT32_MAX;
  EXPECT_EQ(Gp(1, 0, 0)->id, 2u);
  Gp(0, 1, 0);
  Gp(0, 0, 1);
  GridPoint* gps[kZoneSlots] = {FindGridpoint(1), FindGridpoint(2), FindGridpoint(3), FindGridpoint(4)};
  ZoneIdCounter() = UINT32_MAX;
  EXPECT_EQ(CreateZone(kTetrahedron, gps)->Id(), 1u);
}

// Ids far beyond the serial ones and ids the serial run later reaches are
// found alike, before and after the run passes them and after deletions.
TEST_F(GridTest, FarAndSerialIdsAreFoundAlike) {
  GridPoint* far = Gp(0, 0, 0, 4000000000u);
  GridPoint* ahead = Gp(1, 0, 0, 3000);
  GridPointIdCounter() = 0;
  std::vector<GridPoint*> serial;
  for (int i = 0; i < 5000; ++i) serial.push_back(Gp(2 + i, 0, 0));
  EXPECT_EQ(serial.back()->id, 5001u);  // 3000 was skipped
  EXPECT_EQ(FindGridpoint(4000000000u), far);
  EXPECT_EQ(FindGridpoint(3000), ahead);
  EXPECT_EQ(FindGridpoint(2999), serial[2998]);
  EXPECT_EQ(FindGridpoint(4999), serial[4997]);
  EXPECT_THROW(Gp(9, 9, 9, 4000000000u), QJExcept);
  DeleteGridPoint(ahead);
  DeleteGridPoint(far);
  EXPECT_EQ(FindGridpoint(3000), nullptr);
  EXPECT_EQ(FindGridpoint(4000000000u), nullptr);
  EXPECT_EQ(Gp(9, 9, 9, 3000)->position[0], 9.0);
  EXPECT_EQ(FindGridpoint(3000)->position[0], 9.0);
  // Rebuilt from the list, the index answers the same.
  GridIndexesChanged();
  EXPECT_EQ(FindGridpoint(3000)->position[0], 9.0);
  EXPECT_EQ(FindGridpoint(1)->id, 1u);
  EXPECT_EQ(FindGridpoint(4000000000u), nullptr);
}

TEST_F(GridTest, CoincidenceUsesARelativeTolerance) {
  Gp(0, 0, 0);
  Gp(1000, 0, 0);
  // At the origin only the origin itself coincides: the tolerance scales with the coordinates.
  const double origin[3] = {0, 0, 0}, nearOrigin[3] = {5e-7, 0, 0};
  EXPECT_EQ(CoincidentGridpoint(origin), FindGridpoint(1));
  EXPECT_EQ(CoincidentGridpoint(nearOrigin), nullptr);
  const double nearFar[3] = {1000.0009, 0, 0}, farApart[3] = {1000.0011, 0, 0};
  EXPECT_EQ(CoincidentGridpoint(nearFar), FindGridpoint(2));
  EXPECT_EQ(CoincidentGridpoint(farApart), nullptr);
}

TEST_F(GridTest, NearestSearchesMatchAWalkOverTheList) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> coord(-50.0, 50.0);
  for (int i = 0; i < 3000; ++i) {
    // Some points on a coarse lattice so that equal distances occur.
    if (i % 3 == 0)
      Gp(std::round(coord(random) / 10) * 10, std::round(coord(random) / 10) * 10, 0.0);
    else
      Gp(coord(random), coord(random), coord(random));
  }
  for (GridPoint* gp : GridPointList())
    if (gp->id % 7 == 0) gp->flags |= NodeBase::kNoMechanicalZone;
  std::uniform_real_distribution<double> query(-500.0, 500.0);
  for (int q = 0; q < 400; ++q) {
    double p[3] = {query(random), query(random), q % 4 == 0 ? 0.0 : query(random)};
    if (q % 5 == 0)
      for (double& c : p) c = std::round(c / 20) * 20;  // on the lattice's mid-lines: ties
    ASSERT_EQ(NearestGridpointAny(p), WalkNearest(p, 0)) << q;
    ASSERT_EQ(NearestGridpoint(p, NodeBase::kNoMechanicalZone), WalkNearest(p, NodeBase::kNoMechanicalZone)) << q;
  }
  for (GridPoint* gp : GridPointList()) gp->flags |= NodeBase::kNoMechanicalZone;
  EXPECT_EQ(NearestGridpoint(GridPointList().Head()->position, NodeBase::kNoMechanicalZone), nullptr);
}

TEST_F(GridTest, EqualDistancesGoToTheFirstInListOrder) {
  Gp(1, 0, 0, 9);
  Gp(-1, 0, 0, 3);
  Gp(0, 1, 0, 1);
  const double origin[3] = {0, 0, 0};
  EXPECT_EQ(NearestGridpointAny(origin)->id, 9u);
  GridIndexesChanged();  // a rebuilt index keeps the order
  EXPECT_EQ(NearestGridpointAny(origin)->id, 9u);
  const double empty[3] = {0, 0, 0};
  ClearGrid();
  EXPECT_EQ(NearestGridpointAny(empty), nullptr);
}

// The large-strain step moves grid-points; the searches after it see the
// new positions, and a grid-point deleted after it moved leaves no trace.
TEST_F(GridTest, NearestSearchesFollowMovedGridPoints) {
  for (int i = 0; i < 100; ++i) Gp(i, 0, 0);
  const double start[3] = {0, 0, 0};
  EXPECT_EQ(NearestGridpointAny(start)->id, 1u);
  GridPoint* moved = FindGridpoint(50);
  moved->position[0] = 0.1;
  moved->position[1] = 0.2;
  ++Settings().totalCycles;
  const double there[3] = {0.1, 0.2, 0};
  EXPECT_EQ(NearestGridpointAny(there), moved);
  EXPECT_EQ(CoincidentGridpoint(there), moved);

  // Moved by other code, without a step: deleting it still takes it out of the index.
  moved = FindGridpoint(61);  // at x = 60
  moved->position[1] = 5.0;
  DeleteGridPoint(moved);
  for (const double x : {59.0, 60.0, 61.0}) {
    const double p[3] = {x, 5.0, 0};
    GridPoint* found = NearestGridpointAny(p);
    ASSERT_TRUE(IsGridPoint(found)) << x;
    EXPECT_EQ(found->position[0], x == 60.0 ? 59.0 : x);
  }
}

TEST_F(GridTest, ZonesOfEveryTypeJoinAcrossSharedFaces) {
  Zone* a = UnitBrick();
  Zone* b = UnitBrick(1, 0, 0);
  EXPECT_EQ(a->Neighbour(3), b);
  EXPECT_EQ(b->Neighbour(2), a);
  // A wedge on top of a: its bottom face is the brick's top face.
  // Its grid-points: (0,0,1) (1,0,1) (0,1,1) (0,0,2) (1,1,1) (0,1,2).
  GridPoint* wedge[6] = {a->Gp(3), a->Gp(6), a->Gp(5), Gp(0, 0, 2), a->Gp(7), Gp(0, 1, 2)};
  Zone* w = CreateZone(kWedge, wedge);
  EXPECT_EQ(w->Neighbour(0), a);
  EXPECT_EQ(a->Neighbour(1), w);
  // Two tetrahedra sharing their face 0, the face opposite gp 3.
  GridPoint* t1[4] = {Gp(5, 0, 0), Gp(6, 0, 0), Gp(5, 1, 0), Gp(5, 0, 1)};
  GridPoint* t2[4] = {t1[0], t1[2], t1[1], Gp(5, 0, -1)};
  Zone* ta = CreateZone(kTetrahedron, t1);
  Zone* tb = CreateZone(kTetrahedron, t2);
  EXPECT_EQ(ta->Neighbour(0), tb);
  EXPECT_EQ(tb->Neighbour(0), ta);
  // A triangle never joins a four-cornered face that holds its three corners.
  GridPoint* t3[4] = {b->Gp(1), b->Gp(4), b->Gp(6), Gp(3, 0.5, 0.5)};  // (2,0,0) (2,1,0) (2,0,1) outside
  Zone* tc = CreateZone(kTetrahedron, t3);
  for (int f = 0; f < kZoneFaces; ++f) EXPECT_EQ(tc->Neighbour(f), nullptr);
  EXPECT_EQ(b->Neighbour(3), nullptr);
}

TEST_F(GridTest, DeletingAZoneFreesItsFacesForNewNeighbours) {
  Zone* a = UnitBrick();
  Zone* b = UnitBrick(1, 0, 0);
  ZoneFace* face = new ZoneFace(b, 3);
  InsertUniqueRecord(ZoneFaceListHead(), face);
  DeleteZone(b);
  EXPECT_EQ(a->Neighbour(3), nullptr);
  EXPECT_EQ(ZoneList().Count(), 1u);
  EXPECT_EQ(ZoneFaceListHead(), nullptr);  // no record points at the deleted zone
  EXPECT_EQ(FindZone(2), nullptr);
  Zone* c = UnitBrick(1, 0, 0);
  EXPECT_EQ(c->Id(), 3u);
  EXPECT_EQ(a->Neighbour(3), c);
}

TEST_F(GridTest, ARefusedZoneLeavesNothingBehind) {
  GridPoint* gps[4] = {Gp(0, 0, 0), Gp(0, 1, 0), Gp(1, 0, 0), Gp(0, 0, 1)};  // inverted
  try {
    CreateZone(kTetrahedron, gps);
    FAIL();
  } catch (const QJExcept& e) {
    EXPECT_STREQ(e.Text(), "Illegal geometry in zone 1");
  }
  EXPECT_EQ(ZoneList().Count(), 0u);
  std::swap(gps[1], gps[2]);
  EXPECT_EQ(CreateZone(kTetrahedron, gps)->Id(), 1u);
  EXPECT_THROW(CreateZone(kTetrahedron, gps, 1), QJExcept);
  EXPECT_EQ(CreateZone(kTetrahedron, gps, 8)->Id(), 8u);
}

TEST_F(GridTest, ZoneFaceListKeepsOneRecordPerFace) {
  Zone* a = UnitBrick();
  ZoneFace* first = new ZoneFace(a, 2);
  ZoneFace* again = new ZoneFace(a, 2);
  ZoneFace* other = new ZoneFace(a, 4);
  InsertUniqueRecord(ZoneFaceListHead(), first);
  InsertUniqueRecord(ZoneFaceListHead(), again);
  InsertUniqueRecord(ZoneFaceListHead(), other);
  EXPECT_EQ(again, nullptr);
  ASSERT_EQ(ZoneFaceListHead(), other);  // newest first
  EXPECT_EQ(other->next, first);
  GridPoint* corners[4] = {a->Gp(0), a->Gp(2), a->Gp(5), nullptr};
  EXPECT_EQ(ZoneFaceOfGridPoints(corners, *a), 2);
  GridPoint* none[4] = {a->Gp(0), a->Gp(7), nullptr, nullptr};
  EXPECT_EQ(ZoneFaceOfGridPoints(none, *a), 6);
}

TEST_F(GridTest, NearestZoneSkipsNullZones) {
  Zone* a = UnitBrick();
  Zone* b = UnitBrick(3, 0, 0);
  const double p[3] = {0.5, 0.5, 0.5};
  a->SetModelByName("null");
  EXPECT_EQ(NearestZoneAny(p), a);
  EXPECT_EQ(NearestZone(p), b);
  double value = 0;
  EXPECT_FALSE(a->GetProperty("bulk", &value));
  b->SetModelByName("elastic");
  b->Model()->SetPropertyValue("shear", 3.0);
  EXPECT_TRUE(b->GetProperty("shear", &value));
  EXPECT_EQ(value, 3.0);
}

// The zone with the nearest centroid by a walk over the list: strictly
// smaller wins.
Zone* WalkNearestZone(const double p[3], bool skipNull) {
  Zone* best = nullptr;
  double bestD = 0.0;
  for (Zone* z : ZoneList()) {
    if (skipNull && z->IsNull()) continue;
    double c[3];
    z->Centroid(c);
    const double d = (c[0] - p[0]) * (c[0] - p[0]) + (c[1] - p[1]) * (c[1] - p[1]) + (c[2] - p[2]) * (c[2] - p[2]);
    if (!best || d < bestD) {
      bestD = d;
      best = z;
    }
  }
  return best;
}

// An irregular grid (a block of bricks with its grid-points shaken), some
// zones null, queries inside, outside and far away, and on the original
// lattice where equal distances occur; then again after zones are deleted,
// grid-points moved and a large-strain step taken.
TEST_F(GridTest, NearestZoneMatchesAWalkOverTheList) {
  for (int k = 0; k < 5; ++k)
    for (int j = 0; j < 6; ++j)
      for (int i = 0; i < 8; ++i) UnitBrick(i, j, k)->SetModelByName(((i + j + k) % 5 == 0) ? "null" : "elastic");
  std::mt19937 random(11);
  std::uniform_real_distribution<double> shake(-0.3, 0.3), query(-4.0, 12.0), far(-1e4, 1e4);
  auto check = [&](const char* stage) {
    for (int q = 0; q < 600; ++q) {
      double p[3] = {query(random), query(random), query(random)};
      if (q % 4 == 0)
        for (double& c : p) c = std::round(c * 2.0) / 2.0;
      if (q % 50 == 0)
        for (double& c : p) c = far(random);
      ASSERT_EQ(NearestZone(p), WalkNearestZone(p, true)) << stage << " " << q;
      ASSERT_EQ(NearestZoneAny(p), WalkNearestZone(p, false)) << stage << " " << q;
    }
  };
  check("regular");
  for (GridPoint* gp : GridPointList())
    for (double& c : gp->position) c += shake(random);
  GridPointsMoved();
  check("shaken");
  for (uint32_t id : {5u, 17u, 40u, 41u, 200u}) DeleteZone(FindZone(id));
  check("deleted");
  Settings().largeStrain = true;
  for (GridPoint* gp : GridPointList()) gp->position[2] *= 1.5;
  ++Settings().totalCycles;
  check("stepped");
  Settings().largeStrain = false;
  for (Zone* z : ZoneList()) z->SetModelByName("null");
  const double origin[3] = {0, 0, 0};
  EXPECT_EQ(NearestZone(origin), nullptr);
  ClearGrid();
  EXPECT_EQ(NearestZoneAny(origin), nullptr);
}

TEST_F(GridTest, NearestZoneOnEqualDistancesIsTheFirstInListOrder) {
  Zone* right = UnitBrick(1, 0, 0);
  Zone* left = UnitBrick(0, 0, 0);
  const double face[3] = {1.0, 0.5, 0.5};  // halfway between the centroids
  EXPECT_EQ(NearestZoneAny(face), right);
  const double nearLeft[3] = {0.9, 0.5, 0.5};
  EXPECT_EQ(NearestZoneAny(nearLeft), left);
}

TEST_F(GridTest, ModulesHearOfEveryNewObject) {
  struct Counting : CalcModule {
    Counting() : CalcModule(kCreep) {}
    void ZoneCreated(Zone&) override { ++zones; }
    void GridPointCreated(GridPoint&) override { ++gps; }
    int zones = 0, gps = 0;
  };
  auto* module = static_cast<Counting*>(TheModules().Add(std::make_unique<Counting>()));
  UnitBrick();
  EXPECT_EQ(module->gps, 8);
  EXPECT_EQ(module->zones, 1);
  AttachModuleToModel(*module);
  EXPECT_EQ(module->gps, 16);
  EXPECT_EQ(module->zones, 2);
}

TEST_F(GridTest, ExtraVariablesAndDampingFollowTheSettings) {
  Settings().zoneExtras = 2;
  Settings().dampingType = 2;
  Settings().dampingFactor = 0.3;
  Zone* z = UnitBrick();
  EXPECT_EQ(z->Extra().Count(), 2u);
  EXPECT_EQ(z->Gp(0)->dampingKind, 2u);
  EXPECT_EQ(z->Gp(0)->dampingCoefficient, 0.3);
  z->Extra().At(1).SetFloat(2.5);
  Run({"config zextra 3 gpextra 1", "set mechanical damp local 0.8"});
  EXPECT_EQ(z->Extra().Count(), 3u);
  EXPECT_EQ(z->Extra().At(1).GetFloat(), 2.5);
  EXPECT_EQ(z->Gp(7)->extra.Count(), 1u);
  EXPECT_EQ(z->Gp(7)->dampingCoefficient, 0.8);
  EXPECT_THROW(z->Extra().At(3), ZoltExcept);
}

// Memory per zone of a brick grid with both mechanical overlays, its
// grid-points' share included: the pool's bytes over the zone count.
TEST_F(GridTest, ABrickGridStaysWithinItsMemoryBudget) {
  const uint64_t before = ModelMemoryInUse();
  const int n = 12;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      for (int k = 0; k < n; ++k) UnitBrick(i, j, k)->SetModelByName("elastic");
  const double perZone = static_cast<double>(ModelMemoryInUse() - before) / (n * n * n);
  EXPECT_LT(perZone, 3072.0);
  for (Zone* z : ZoneList()) {
    int joined = 0;
    for (int f = 0; f < kZoneFaces; ++f) joined += z->Neighbour(f) != nullptr;
    EXPECT_GE(joined, 3);
  }
}

}  // namespace
