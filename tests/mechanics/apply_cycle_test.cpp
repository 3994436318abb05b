// The apply conditions in the cycle: forces from body forces, face stresses
// and point conditions, constant ones at the preparation and multiplied ones
// in every step.
#include <cmath>

#include "mechanics/apply_fixture.h"
#include "mechanics/apply_geometry.h"
#include "model/module_doubles.h"
#include "support/alloc_counter.h"

namespace {

class ApplyCycleTest : public ApplyTest {
 protected:
  void SetUp() override {
    ApplyTest::SetUp();
    BrickGrid(2, 2, 2);
    SetModels("elastic");
  }
};

// The overlay triangles cover each face once per overlay, turned outward.
TEST(FaceTriangleTable, TrianglesCoverEachFaceOutward) {
  for (int type = 0; type < kZoneTypes; ++type) {
    for (int face = 0; face < kZoneFaces; ++face) {
      const int n = FaceGpCount(type, face);
      for (int o = 0; o < 2; ++o) {
        const FaceTriangleSet& set = FaceTriangles(type, face, o);
        EXPECT_EQ(set.count, n < 3 ? 0 : n - 2) << type << " " << face << " " << o;
      }
    }
  }
}

TEST_F(ApplyCycleTest, FaceTrianglesSumToTheOutwardFaceArea) {
  for (Zone* z : ZoneList()) {
    for (int f = 0; f < kZoneFaces; ++f) {
      ZoneFace ref(z, f);
      double n[3];
      ref.OutwardNormal(n);
      for (int o = 0; o < 2; ++o) {
        double sum[3] = {0, 0, 0};
        const FaceTriangleSet& set = FaceTriangles(z->Type(), f, o);
        for (int t = 0; t < set.count; ++t) {
          double a[3];
          TriangleAreaVector(*z, set.corner[t], a);
          for (int i = 0; i < 3; ++i) sum[i] += a[i];
        }
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(sum[i], n[i], 1e-12);  // unit faces
      }
    }
  }
}

TEST_F(ApplyCycleTest, BodyForceAndGravityGiveTheZoneWeights) {
  Settings().gravity[2] = -10.0;
  for (Zone* z : ZoneList()) z->SetDensity(2000.0);
  Run({"apply xbodyforce 3"});
  FindGridpoint(5)->load[1] = 7.0;
  PrepareApplyConditions();
  double total[3];
  TotalForce(0, total);
  EXPECT_NEAR(total[0], 3.0 * 8, 1e-9);
  EXPECT_NEAR(total[1], 7.0, 1e-12);
  EXPECT_NEAR(total[2], -10.0 * 2000.0 * 8, 1e-6);
  // A corner grid-point carries an eighth of one zone's weight on average.
  EXPECT_NEAR(FindGridpoint(1)->appliedForce[0][2] + FindGridpoint(27)->appliedForce[0][2], -2 * 2500.0, 1e-6);
}

TEST_F(ApplyCycleTest, OneOverlayPassesTheSameBodyForce) {
  Zone* z = ZoneList().Head();
  Run({"apply zbodyforce -4 range id 1"});
  PrepareApplyConditions();
  double both[3];
  TotalForce(0, both);
  ASSERT_TRUE(z->Overlay(1));
  ASSERT_EQ(z->OverlayCount(), 1);
  PrepareApplyConditions();
  double one[3];
  TotalForce(0, one);
  EXPECT_NEAR(both[2], -4.0, 1e-12);
  EXPECT_NEAR(one[2], both[2], 1e-12);
}

TEST_F(ApplyCycleTest, FaceStressesActAsTractions) {
  Run({"apply szz -1e6 range z 1.9 2.1"});
  PrepareApplyConditions();
  double total[3];
  TotalForce(0, total);
  EXPECT_NEAR(total[2], -4e6, 1e-3);
  EXPECT_NEAR(total[0], 0.0, 1e-9);
  for (GridPoint* gp : GridPointList()) {
    if (gp->position[2] < 1.5) {
      EXPECT_EQ(gp->appliedForce[0][2], 0.0);
    }
  }
  // A shear stress on the side x = 2: the force runs along y.
  ClearApplyList();
  Run({"apply sxy 5 range x 1.9 2.1"});
  PrepareApplyConditions();
  TotalForce(0, total);
  EXPECT_NEAR(total[1], 5.0 * 4, 1e-9);
  EXPECT_NEAR(total[0], 0.0, 1e-9);
}

TEST_F(ApplyCycleTest, StressGradientIsTakenAtTheFaceCentroid) {
  ClearApplyList();
  ClearGrid();
  BrickGrid(1, 1, 1);
  for (GridPoint* gp : GridPointList()) gp->position[2] += 1.5;  // side faces centred at z = 2
  SetModels("elastic");
  Run({"apply sxx 1 gradients 0 0 1 range x 0.9 1.1"});
  PrepareApplyConditions();
  double total[3];
  TotalForce(0, total);
  EXPECT_NEAR(total[0], 3.0, 1e-12);
}

TEST_F(ApplyCycleTest, LocalStressesMatchTheGlobalOnesOfTheFaceAxes) {
  struct Pair {
    const char* local;
    const char* global;
  } pairs[] = {{"apply nstress -2 range z 1.9 2.1", "apply szz -2 range z 1.9 2.1"},
               {"apply dstress 3 range z 1.9 2.1", "apply sxz 3 range z 1.9 2.1"},
               {"apply sstress 4 gradients 1 0 0 range z 1.9 2.1", "apply syz 4 gradients 1 0 0 range z 1.9 2.1"},
               {"apply nstress 5 range x 1.9 2.1", "apply sxx 5 range x 1.9 2.1"}};
  for (const Pair& p : pairs) {
    ClearApplyList();
    Run({p.local});
    PrepareApplyConditions();
    std::vector<double> local;
    for (GridPoint* gp : GridPointList()) local.insert(local.end(), gp->appliedForce[0], gp->appliedForce[0] + 3);
    ClearApplyList();
    Run({p.global});
    PrepareApplyConditions();
    size_t i = 0;
    for (GridPoint* gp : GridPointList())
      for (int c = 0; c < 3; ++c) EXPECT_NEAR(local[i++], gp->appliedForce[0][c], 1e-12) << p.local;
  }
}

TEST_F(ApplyCycleTest, ForcesReactionsAndVelocitiesOfGridPoints) {
  FindGridpoint(1)->load[0] = 0.5;
  Run({"apply xforce 2 range id 1", "apply xreaction range id 1", "apply yvel 0.25 range id 3"});
  RecordOf(1)->FindValue(kApplyReaction, 1)->value = -1.0;
  PrepareApplyConditions();
  EXPECT_EQ(FindGridpoint(1)->appliedForce[0][0], 1.5);
  EXPECT_EQ(RecordOf(3)->Local()->velocity[1], 0.25);
  // The step leaves constant conditions alone.
  RecordOf(3)->Local()->velocity[1] = 9.0;
  ApplyConditionsStep();
  EXPECT_EQ(RecordOf(3)->Local()->velocity[1], 9.0);
  EXPECT_EQ(FindGridpoint(1)->appliedForce[0][0], 1.5);
  EXPECT_EQ(FindGridpoint(1)->appliedForce[1][0], 0.0);
}

TEST_F(ApplyCycleTest, MultipliedConditionsActInEveryStepWithoutAllocating) {
  // Table 1 is y = x; function values come from a counter.
  script.tableExists = [](int32_t n) { return n == 1; };
  script.tableValue = [](int32_t, double x) { return x; };
  static double functionValue = 0.0;
  static ZoltSymbol* const kSymbol = reinterpret_cast<ZoltSymbol*>(0x10);
  script.symbolAtToken = [](CommandType& interp) {
    ++interp.TokenIndex();
    return kSymbol;
  };
  script.symbolValue = [](ZoltSymbol*) { return functionValue; };
  Run({"apply xforce 2 history table 1 range id 1", "apply xvel 3 history wave range id 3",
       "apply zbodyforce 1 history table 1 range id 8", "apply szz -2 history table 1 range id 8 z 1.9 2.1",
       "apply xforce 1 range id 1"});
  script.symbolAtToken = nullptr;
  Settings().totalCycles = 5;
  functionValue = 0.5;
  PrepareApplyConditions();
  EXPECT_EQ(FindGridpoint(1)->appliedForce[0][0], 1.0);
  EXPECT_EQ(FindGridpoint(1)->appliedForce[1][0], 0.0);

  const size_t before = TestAllocations();
  ApplyConditionsStep();
  EXPECT_EQ(TestAllocations() - before, 0u);
  EXPECT_EQ(FindGridpoint(1)->appliedForce[1][0], 10.0);
  EXPECT_EQ(FindGridpoint(1)->appliedForce[0][0], 1.0);  // the step never touches the applied force
  EXPECT_EQ(RecordOf(3)->Local()->velocity[0], 1.5);
  double total[3];
  TotalForce(1, total);
  EXPECT_NEAR(total[2], 5.0 - 10.0, 1e-9);

  // The next step starts from nothing.
  Settings().totalCycles = 6;
  functionValue = 2.0;
  ApplyConditionsStep();
  EXPECT_EQ(FindGridpoint(1)->appliedForce[1][0], 12.0);
  EXPECT_EQ(RecordOf(3)->Local()->velocity[0], 6.0);
  TotalForce(1, total);
  EXPECT_NEAR(total[2], 6.0 - 12.0, 1e-9);

  // Conditions removed during a run stop acting at once.
  Run({"apply remove range id 1"});
  ApplyConditionsStep();
  EXPECT_EQ(FindGridpoint(1)->appliedForce[1][0], 0.0);
}

TEST_F(ApplyCycleTest, AMissingTableStopsTheStep) {
  script.tableExists = [](int32_t) { return true; };
  Run({"apply xforce 2 history table 4 range id 1"});
  PrepareApplyConditions();
  try {
    ApplyConditionsStep();
    FAIL() << "no error";
  } catch (const QJExcept& e) {
    EXPECT_STREQ(e.Text(), "Table 4 not found");
  }
}

TEST_F(ApplyCycleTest, LocalAxesFollowTheBoundaryNormalAtEveryPreparation) {
  Run({"apply nvel -1 range id 3"});
  ApplyLocalBlock* block = RecordOf(3)->Local();
  block->axes[2][0] = 0.0;
  PrepareApplyConditions();
  EXPECT_NEAR(block->axes[2][0], 1.0 / std::sqrt(3.0), 1e-12);
  EXPECT_EQ(block->velocity[2], -1.0);
}

}  // namespace

namespace {

TEST_F(ApplyCycleTest, QuietFacesGiveTheirCornersDashpots) {
  const double rho = 2000.0, bulk = 2e9, shear = 1e9;
  for (Zone* z : ZoneList()) {
    z->SetDensity(rho);
    z->Model()->SetPropertyValue("bulk", bulk);
    z->Model()->SetPropertyValue("shear", shear);
  }
  TheModules().Add(MakeModeModule(CalcModule::kDynamic));
  Run({"apply nquiet range id 8 z 1.9 2.1", "apply squiet range id 8 z 1.9 2.1"});
  ApplyCondition* face = GlobalApplyList().FindFace(FindZone(8), 1);
  ASSERT_NE(face, nullptr);
  GlobalApplyList().DynamicCheck(*face, 3, kApplyQuiet);
  GlobalApplyList().DynamicCheck(*face, 2, kApplyQuiet);
  double normal = 0.0, strike = 0.0;
  int marked = 0;
  for (GridPoint* gp : GridPointList()) {
    auto* record = static_cast<ApplyCondition*>(gp->apply);
    if (!record || !record->Quiet()) continue;
    normal += record->Quiet()->quiet[2];
    strike += record->Quiet()->quiet[1];
    if ((gp->flags & apply_flags::kQuiet) == (apply_flags::kQuietY | apply_flags::kQuietZ)) ++marked;
  }
  EXPECT_NEAR(normal, rho * std::sqrt((bulk + 4.0 * shear / 3.0) / rho), 1e-6);
  EXPECT_NEAR(strike, rho * std::sqrt(shear / rho), 1e-6);
  EXPECT_EQ(marked, 4);
  // Removing the quiet values drops the blocks that no quiet face needs any more.
  Run({"apply remove nquiet range id 8 z 1.9 2.1"});
  EXPECT_NE(FindGridpoint(27)->apply, nullptr);
  ASSERT_NE(static_cast<ApplyCondition*>(FindGridpoint(27)->apply)->Quiet(), nullptr);
  Run({"apply remove squiet range id 8 z 1.9 2.1"});
  EXPECT_EQ(static_cast<ApplyCondition*>(FindGridpoint(27)->apply)->Quiet(), nullptr);
  EXPECT_EQ(GlobalApplyList().FindFace(FindZone(8), 1), nullptr);
}

TEST_F(ApplyCycleTest, RecordsOfDeletedObjectsArePurged) {
  Run({"apply xforce 1 range id 1", "apply xbody 1 range id 2", "apply sxx 1 range id 4 x 1.9 2.1",
       "apply syy 1 range id 1 y -0.1 0.1"});
  ASSERT_EQ(GlobalApplyList().Count(), 4u);
  FindGridpoint(1)->flags |= 0x100;
  FindZone(2)->SetFlags(FindZone(2)->Flags() | Zone::kDeleted);
  FindZone(4)->SetFlags(FindZone(4)->Flags() | Zone::kDeleted);
  GlobalApplyList().PurgeDeleted();
  ASSERT_EQ(GlobalApplyList().Count(), 1u);
  EXPECT_EQ(GlobalApplyList().Head()->GetZone(), FindZone(1));
  EXPECT_EQ(FindGridpoint(1)->apply, nullptr);
}

TEST_F(ApplyCycleTest, FreeFieldDumpListsQuietFacesLastFirst) {
  EXPECT_EQ(Run({"print apply freefield"}), "Terrax>print apply freefield\n");
  Run({"apply szz 1 range id 1 z -0.1 0.1", "apply szz 1 range id 2 z -0.1 0.1"});
  for (ApplyCondition* c = GlobalApplyList().Head(); c; c = ApplyList::Next(c)) {
    ApplyQuietBlock* q = c->NewQuietBlock();
    q->quiet[2] = c->GetZone()->Id();
    q->gpA = FindGridpoint(7);
  }
  GlobalApplyList().Head()->Quiet()->ffFace = std::make_unique<ZoneFace>(FindZone(3), 2);
  std::string out = Run({"print apply freefield"});
  EXPECT_EQ(out,
            "Terrax>print apply freefield\n"
            "Free Field Quiet\n  To     = 2,0\n  fvQuiet = (0,0,2)\n  gpA = 7\n  gpB = NULL\n"
            "  fvQFFgpA = (0,0,0)\n  fvQFFgpB = (0,0,0)\n"
            "Free Field Quiet\n  FFFace = 3,2\n  To     = 1,0\n  fvQuiet = (0,0,1)\n  gpA = 7\n  gpB = NULL\n"
            "  fvQFFgpA = (0,0,0)\n  fvQFFgpB = (0,0,0)\n");
  // The face listing names the free-field face.
  out = Run({"print apply range id 1"});
  EXPECT_NE(out.find("      1    0 szz                       1.0000e+00\n FF zone 3               FF face 2\n"),
            std::string::npos)
      << out;
}

}  // namespace
