// The zone-type tables, the overlays, the geometry of the tetrahedra and the
// preparation of a zone for cycling.
#include <cmath>
#include <set>
#include <sstream>

#include "cmodels/constitutive_model.h"
#include "model/grid_fixture.h"

namespace {

const double kUnit[8][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}, {0, 1, 1}, {1, 0, 1}, {1, 1, 1}};
// A degenerate brick with plane faces: the brick's edge 6-7 collapsed to one
// point, with the top edge 3-5 and that point placed so that the faces
// 2-4-6-5 and 0-3-6-1 stay plane.
const double kDegenerate[7][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0.25, 1}, {1, 1, 0}, {0, 0.75, 1}, {1, 0.5, 2}};

// A zone of the type with plane faces: the brick's corners of the same numbers
// for the other types, whose repeated corners have collapsed.
Zone* CanonicalZone(int type) {
  GridPoint* gps[8];
  for (int i = 0; i < ZoneGpCount(type); ++i)
    gps[i] = CreateGridPoint(type == kDegenerateBrick ? kDegenerate[i] : kUnit[i]);
  return CreateZone(type, gps);
}

using ZoneTypeTest = GridTest;

TEST_F(ZoneTypeTest, TablesDescribeWellFormedZonesOfEveryType) {
  const double volume[kZoneTypes] = {1.0, 0.5, 1.0 / 3.0, 11.0 / 12.0, 1.0 / 6.0};
  for (int type = 0; type < kZoneTypes; ++type) {
    SCOPED_TRACE(zone_tables::kTypeName[type]);
    Reset();
    Zone* z = CanonicalZone(type);
    // Every slot names a grid-point, the repeats those the tables give.
    for (int s = 0; s < kZoneSlots; ++s) {
      ASSERT_NE(z->Gp(s), nullptr);
      EXPECT_EQ(z->Gp(s), z->Gp(zone_tables::kSlotSource[type][s]));
    }
    // Both overlays fill the zone with positive tetrahedra.
    double sum[2] = {0, 0};
    for (int o = 0; o < 2; ++o)
      for (int k = 0; k < TetraPerOverlay(type); ++k) {
        double v = TetraDefVolume(OverlayDefinitions(type, o)[k], *z);
        EXPECT_GT(v, 0.0);
        sum[o] += v;
      }
    EXPECT_NEAR(sum[0], volume[type], 1e-12);
    EXPECT_NEAR(sum[1], volume[type], 1e-12);
    EXPECT_NEAR(z->Volume(), volume[type], 1e-12);
    // A face counts its distinct corners and its normal points out of the zone.
    double c[3];
    z->Centroid(c);
    for (int f = 0; f < kZoneFaces; ++f) {
      std::set<GridPoint*> corners;
      for (int k = 0; k < z->FaceGpCount(f); ++k) corners.insert(z->GetFaceGp(f, k));
      EXPECT_EQ(static_cast<int>(corners.size()), z->FaceGpCount(f)) << "face " << f;
      if (z->FaceGpCount(f) < 3) continue;
      ZoneFace face(z, f);
      double n[3], fc[3];
      face.OutwardNormal(n);
      face.Centroid(fc);
      EXPECT_GT(n[0] * (fc[0] - c[0]) + n[1] * (fc[1] - c[1]) + n[2] * (fc[2] - c[2]), 0.0) << "face " << f;
    }
    String text;
    EXPECT_FALSE(z->CheckDegenerate(text));
    EXPECT_TRUE(z->CheckNumbering(text));
    EXPECT_TRUE(z->ContainsPoint(c));
    // A model's records carry the volumes of their own definitions.
    z->SetModelByName("elastic");
    for (int o = 0; o < 2; ++o)
      for (int k = 0; k < TetraPerOverlay(type); ++k)
        EXPECT_EQ(z->Tetra(o)[k].volume, TetraDefVolume(OverlayDefinitions(type, o)[k], *z)) << o << k;
  }
}

TEST_F(ZoneTypeTest, DefinitionListsRunInReverseTableOrder) {
  for (int type = 0; type < kZoneTypes; ++type)
    for (int o = 0; o < 2; ++o) {
      const int n = TetraPerOverlay(type);
      for (int k = 0; k < n; ++k)
        for (int c = 0; c < 4; ++c)
          EXPECT_EQ(OverlayDefinitions(type, o)[k].gp[c], zone_tables::kOverlayTable[type][o][n - 1 - k].gp[c]);
    }
  EXPECT_EQ(OverlayDefinitions(kBrick, 0)[0].gp[0], 0);  // (0,4,5,6), the table's last entry
  EXPECT_EQ(OverlayDefinitions(kBrick, 1)[4].gp[3], 3);  // (0,1,2,3), the table's first
}

TEST_F(ZoneTypeTest, OverlayChoiceFollowsCodeModelAndNeighbours) {
  Zone* a = UnitBrick();
  Zone* b = UnitBrick(1, 0, 0);
  ASSERT_EQ(a->Neighbour(3), b);
  EXPECT_TRUE(a->Overlay(2));
  EXPECT_EQ(a->OverlayCount(), 0);  // no model: no tetrahedra whatever the code
  a->SetModelByName("elastic");
  EXPECT_EQ(a->OverlayCount(), 2);
  EXPECT_DOUBLE_EQ(a->Tetra(0)[0].volume, 1.0 / 3.0);  // (0,4,5,6): the middle one
  b->SetModelByName("el");
  // Code 1 and -1: the overlay that fewer neighbours use; a tie decides by the code.
  ASSERT_TRUE(b->Overlay(1));
  EXPECT_NE(b->Tetra(0), nullptr);  // neighbour a has both: a tie
  EXPECT_EQ(b->Tetra(1), nullptr);
  ASSERT_TRUE(b->Overlay(-1));
  EXPECT_EQ(b->Tetra(0), nullptr);
  EXPECT_NE(b->Tetra(1), nullptr);
  ASSERT_TRUE(a->Overlay(1));  // b uses B only: a takes A
  EXPECT_NE(a->Tetra(0), nullptr);
  EXPECT_EQ(a->Tetra(1), nullptr);
  EXPECT_THROW(a->Overlay(3), QJExcept);
  a->SetModelByName("null");
  EXPECT_TRUE(a->IsNull());
  EXPECT_EQ(a->OverlayCount(), 0);
  EXPECT_THROW(a->SetModelByName("granite"), QJExcept);
}

TEST_F(ZoneTypeTest, TetrahedronCarriesTheSameTetrahedronInBothOverlays) {
  Zone* z = CanonicalZone(kTetrahedron);
  z->SetModelByName("elastic");
  ASSERT_EQ(z->OverlayCount(), 2);
  EXPECT_EQ(z->TetraPerOverlay(), 1);
  EXPECT_DOUBLE_EQ(z->Tetra(0)[0].volume, z->Tetra(1)[0].volume);
  // Faces 1 and 4 have fewer than three grid-points and are never found.
  EXPECT_EQ(z->FaceGpCount(1), 1);
  EXPECT_EQ(z->FindFace(z->Gp(0)->id, z->Gp(1)->id, z->Gp(2)->id), 0);
  EXPECT_EQ(z->FindFace(z->Gp(0)->id, z->Gp(0)->id, z->Gp(2)->id), -1);
}

TEST_F(ZoneTypeTest, CheckBeforeCycleOnTheUnitCube) {
  Zone* z = UnitBrick();
  z->SetModelByName("elastic");
  z->Model()->SetPropertyValue("bulk", 2.0);
  z->Model()->SetPropertyValue("shear", 1.5);
  std::ostringstream out;
  ASSERT_TRUE(z->CheckBeforeCycle(out));
  EXPECT_EQ(z->OverlayCount() * z->TetraPerOverlay(), 10);
  EXPECT_NEAR(z->StoredVolume(), 1.0, 1e-15);
  // The area vectors of a corner tetrahedron point inward with the face areas.
  const ZoneTetra& t = z->Tetra(1)[4];  // (0,1,2,3)
  EXPECT_DOUBLE_EQ(t.volume, 1.0 / 6.0);
  EXPECT_DOUBLE_EQ(t.area[0][0], -0.5);
  EXPECT_DOUBLE_EQ(t.area[1][0], 0.5);
  // Every corner gets stiffness and area from the tetrahedra it belongs to.
  double stiffness = 0, area = 0;
  for (GridPoint* gp : GridPointList()) {
    stiffness += gp->stiffness;
    area += gp->areaSum;
  }
  EXPECT_GT(stiffness, 0.0);
  EXPECT_GT(area, 0.0);
  EXPECT_EQ(out.str(), "");

  // The smallest tetrahedron over the zone volume is 1/6.
  Settings().geometryRatio = 0.2;
  EXPECT_FALSE(z->CheckBeforeCycle(out));
  EXPECT_EQ(out.str(), "\n*** Zone 1 volume ratio 0.166667 is below set ratio of 0.2\n *** Cycling will be stopped \n");
  Settings().geometryRatio = 0.16;
  EXPECT_TRUE(z->CheckBeforeCycle(out));
}

TEST_F(ZoneTypeTest, CheckBeforeCycleRefusesMissingModelsAndInvertedTetrahedra) {
  Zone* z = UnitBrick();
  std::ostringstream out;
  try {
    z->CheckBeforeCycle(out);
    FAIL();
  } catch (const QJExcept& e) {
    EXPECT_STREQ(e.Text(), "Zone 1 has an undefined material model");
  }
  z->SetModelByName("null");
  EXPECT_TRUE(z->CheckBeforeCycle(out));
  EXPECT_EQ(z->StoredVolume(), 0.0);  // a null zone is not prepared
  z->SetModelByName("mohr");
  z->Gp(7)->position[0] = -3.0;  // folds the brick over
  try {
    z->CheckBeforeCycle(out);
    FAIL();
  } catch (const QJExcept& e) {
    EXPECT_STREQ(e.Text(), "Illegal geometry in zone 1");
  }
}

TEST_F(ZoneTypeTest, AverageStressAndStateFollowTheTetrahedra) {
  Zone* z = UnitBrick();
  z->SetModelByName("mohr");
  z->SetStoredVolume(z->Volume());
  for (int o = 0; o < 2; ++o)
    for (int k = 0; k < 5; ++k) {
      z->Tetra(o)[k].stress[0] = o == 0 ? 1.0 : 3.0;
      z->Tetra(o)[k].state = o == 0 && k == 0 ? 1 : 0;  // the middle tetrahedron of A: a third
    }
  double s[6];
  z->AverageStress(s, false);
  EXPECT_DOUBLE_EQ(s[0], 2.0);
  int count = 0;
  EXPECT_EQ(z->GetState(&count, false), 1);
  EXPECT_GT(count, 0);
  EXPECT_EQ(z->GetState(&count, true), 0);  // a third of the volume, halved over two overlays
  Settings().porePressure = true;
  for (int i = 0; i < 8; ++i) z->Gp(i)->porePressure = -0.5;
  z->AverageStress(s, true);
  EXPECT_DOUBLE_EQ(s[0], 1.5);
  EXPECT_DOUBLE_EQ(s[3], 0.0);
}

TEST_F(ZoneTypeTest, ContainsPointOnFacesButNotOutside) {
  Zone* z = UnitBrick();
  const double inside[3] = {0.25, 0.5, 0.75}, onFace[3] = {1.0, 0.5, 0.5}, outside[3] = {1.0 + 1e-9, 0.5, 0.5};
  EXPECT_TRUE(z->ContainsPoint(inside));
  EXPECT_TRUE(z->ContainsPoint(onFace));
  EXPECT_FALSE(z->ContainsPoint(outside));
}

TEST_F(ZoneTypeTest, DegenerateAndMisnumberedZonesAreReported) {
  Zone* z = UnitBrick();
  String text;
  GridPoint* second = z->Gp(1);
  z->SetGp(1, z->Gp(0));
  EXPECT_TRUE(z->CheckDegenerate(text));
  EXPECT_EQ(text.str(), "Zone 1 is degenerate.\nGp 1 occurs more than once.\n");
  z->SetGp(1, second);
  second->position[0] = 0.0;
  EXPECT_TRUE(z->CheckDegenerate(text));
  EXPECT_EQ(text.str(), "Zone 1 is degenerate.\nGps 1 and 2 have the same coordinates.\n");
  second->position[0] = -1.0;
  EXPECT_FALSE(z->CheckDegenerate(text));
  EXPECT_FALSE(z->CheckNumbering(text));
  EXPECT_EQ(text.str(), "Zone 1 does not conform to node numbering convention.\n");
  try {
    CheckAllZones();
    FAIL();
  } catch (const QJExcept& e) {
    EXPECT_EQ(std::string(e.Text()), text.str());
  }
}

TEST_F(ZoneTypeTest, CopyFromTakesModelGroupStressAndDensity) {
  Zone* a = UnitBrick();
  Zone* b = UnitBrick(0, 0, 5);
  a->SetModelByName("elastic");
  a->Model()->SetPropertyValue("bulk", 7.0);
  a->SetDensity(2000.0);
  a->SetGroupByName("rock");
  for (int k = 0; k < 5; ++k) a->Tetra(0)[k].stress[1] = -4.0;
  b->CopyFrom(*a);
  EXPECT_EQ(b->Density(), 2000.0);
  EXPECT_EQ(b->GroupName().str(), "rock");
  ASSERT_NE(b->Model(), nullptr);
  EXPECT_EQ(b->Model()->GetPropertyByIndex(1), 7.0);
  EXPECT_EQ(b->Tetra(0)[2].stress[1], -4.0);
  EXPECT_EQ(b->Gp(0)->GroupSlotCount(), 0);  // the grid-points' slots are left alone
}

TEST_F(ZoneTypeTest, EdgesOfZeroLengthOnlyAreDegenerate) {
  Zone* z = UnitBrick();
  MinimumEdgeLength() = 10.0;
  z->UpdateMinEdgeLen();
  EXPECT_EQ(z->MinEdgeLength(), 1.0);
  EXPECT_EQ(MinimumEdgeLength(), 1.0);
  for (int i = 0; i < 8; ++i)
    for (int c = 0; c < 3; ++c) z->Gp(i)->position[c] = 0.0;
  EXPECT_THROW(z->UpdateMinEdgeLen(), QJExcept);
}

}  // namespace
