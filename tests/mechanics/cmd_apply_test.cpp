// APPLY and PRINT APPLY as typed commands on a 2 x 2 x 2 brick grid.
#include <cmath>

#include "mechanics/apply_fixture.h"
#include "model/module_doubles.h"

namespace {

// The lines of a transcript that contain the text.
int CountLines(const std::string& text, const std::string& part) {
  int n = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (text.compare(start, end - start, part) == 0 || text.substr(start, end - start).find(part) != std::string::npos)
      ++n;
    start = end + 1;
  }
  return n;
}

class ApplyCommandTest : public ApplyTest {
 protected:
  void SetUp() override {
    ApplyTest::SetUp();
    BrickGrid(2, 2, 2);
  }
};

TEST_F(ApplyCommandTest, ConditionsOnGridPointsZonesAndFacesAreListedAndRemoved) {
  std::string out = Run({"apply xvel 0 range x -0.1 0.1", "apply szz -1e6 range z 1.9 2.1", "apply zbodyforce -10"});
  EXPECT_EQ(out,
            "Terrax>apply xvel 0 range x -0.1 0.1\n updated 9 grid-points\n"
            "Terrax>apply szz -1e6 range z 1.9 2.1\n updated 4 faces\n"
            "Terrax>apply zbodyforce -10\n updated 8 zones\n");
  out = Run({"print apply"});
  EXPECT_EQ(CountLines(out, " x-vel. "), 9);
  EXPECT_EQ(CountLines(out, "z-body for."), 8);
  EXPECT_EQ(CountLines(out, " szz "), 4);
  EXPECT_NE(out.find("  Gridpoint Apply Conditions ...\n"
                     "   ID      Type        Hist        Value    Fix  Axes\n"
                     " ------ ----------- ---------- ------------ --- ------\n"
                     "      1 x-vel.                   0.0000e+00 X.. Global\n"),
            std::string::npos);
  EXPECT_NE(out.find("  Zone Apply Conditions ...\n   ID      Type        Hist       Value\n"
                     " ------ ----------- ---------- -----------\n"
                     "      1 z-body for.            -1.0000e+01\n"),
            std::string::npos);
  EXPECT_NE(out.find(" Zone Face Apply Conditions ...\n   ID   Face    Type        Hist        Value\n"
                     " ------ ---- ----------- ---------- -------------\n"
                     "      5    1 szz                      -1.0000e+06\n"),
            std::string::npos);

  EXPECT_EQ(Run({"apply remove"}), "Terrax>apply remove\n updated 9 grid-points\n updated 8 zones\n updated 4 faces\n");
  EXPECT_TRUE(GlobalApplyList().IsEmpty());
  EXPECT_EQ(Run({"print apply"}), "Terrax>print apply\n");
  for (GridPoint* gp : GridPointList()) EXPECT_EQ(gp->apply, nullptr);
}

TEST_F(ApplyCommandTest, AddAndMultiplyChangeTheStoredValue) {
  Run({"apply xforce 1", "apply xforce add 1"});
  const ApplyValue* v = RecordOf(1)->FindValue(kApplyForce, 1);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->value, 2.0);
  Run({"apply xforce multiply 3"});
  EXPECT_EQ(v->value, 6.0);
  EXPECT_EQ(RecordOf(1)->Values()->next, nullptr);  // one item per code and direction
  EXPECT_EQ(Run({"apply xforce 1 interior"}), "Terrax>apply xforce 1 interior\n updated 1 grid-points\n");
  EXPECT_NE(RecordOf(14), nullptr);  // the centre of the grid
  // Gradients: the amount at each grid-point's position.
  Run({"apply yforce 1 gradients 1 0 0 range id 3"});
  EXPECT_EQ(RecordOf(3)->FindValue(kApplyForce, 2)->value, 3.0);
}

TEST_F(ApplyCommandTest, InteriorOnlyRangeWithoutInteriorChangesNothing) {
  EXPECT_EQ(Run({"apply xvel 0 range id 14"}), "Terrax>apply xvel 0 range id 14\n updated 0 grid-points\n");
  EXPECT_TRUE(GlobalApplyList().IsEmpty());
}

TEST_F(ApplyCommandTest, RefusedConditions) {
  Run({"apply xvel 0 range x -0.1 0.1"});
  struct Case {
    const char* line;
    const char* message;
  } cases[] = {
      {"fix x range x -0.1 0.1", "*** Cannot FIX and APPLY velocity in the same direction"},
      {"apply dvel 1 range x -0.1 0.1",
       "*** Cannot have applied velocities in global and local axes at same gridpoint"},
      {"apply xvel 1 plane normal 1 0 0", "*** plane keyword not compatible with this apply condition"},
      {"apply xaccel 1", "*** Not configured for dynamic calculation"},
      {"apply pp 1", "*** Not configured for fluid flow calculation"},
      {"apply psource 1", "*** Not configured for thermal calculation"},
      {"apply dquiet", "*** Not configured for dynamic calculation"},
      {"apply xforce 1 history table 3", "*** Table 3 not found"},
      {"apply xforce 1 history table load", "*** Table 'load' not found"},
      {"apply xforce 1 history wave", "*** ZOLT function not recognized"},
      {"apply ff", "*** Not configured for dynamic calculation"},
      {"apply bogus 1", "*** Unrecognized parameter 1 (bogus)"},
      {"apply xforce", "*** Missing parameter 2"},
  };
  for (const Case& c : cases) {
    std::string out = Run({c.line});
    EXPECT_EQ(out, std::string("Terrax>") + c.line + "\n" + c.message + "\n") << c.line;
  }
  // Nothing refused was written.
  for (GridPoint* gp : GridPointList()) EXPECT_EQ(gp->flags & NodeBase::kFixVelocity, 0u);
  EXPECT_EQ(GlobalApplyList().Count(), 9u);
}

TEST_F(ApplyCommandTest, VelocityConflictsFollowTheAxesAndFixities) {
  GridPoint* gp = FindGridpoint(1);
  gp->flags |= NodeBase::kFixX;
  EXPECT_EQ(Run({"apply xvel 1 range id 1"}),
            "Terrax>apply xvel 1 range id 1\n*** Cannot FIX and APPLY velocity in the same direction\n");
  EXPECT_EQ(Run({"apply yvel 1 range id 1"}), "Terrax>apply yvel 1 range id 1\n updated 1 grid-points\n");
  // Fixed and local axes do not mix.
  EXPECT_EQ(Run({"apply dvel 1 range id 3"}), "Terrax>apply dvel 1 range id 3\n updated 1 grid-points\n");
  EXPECT_EQ(Run({"fix x range id 3"}),
            "Terrax>fix x range id 3\n*** Cannot have applied velocities in global and local axes at same gridpoint\n");
  EXPECT_EQ(Run({"apply zvel 1 range id 3"}),
            "Terrax>apply zvel 1 range id 3\n*** Cannot have applied velocities in global and local axes at same "
            "gridpoint\n");
  // Local axes from two planes: accepted when they agree, refused otherwise,
  // and never mixed with the boundary normal's axes.
  std::string out = Run({"apply nvel 1 plane normal 1 0 1 range id 9", "apply svel 1 plane normal 1 0.001 1 range id 9",
                         "apply dvel 1 plane normal 0 1 1 range id 9", "apply dvel 1 range id 9"});
  EXPECT_EQ(CountLines(out, "updated 1 grid-points"), 2);
  EXPECT_EQ(CountLines(out, "*** Grid-point already has applied velocities in another local axes system"), 2);
  const ApplyLocalBlock* block = RecordOf(9)->Local();
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block->local, 1);
  EXPECT_EQ(block->planeGiven, 1);
  EXPECT_EQ(block->mask, 6u);
  // The local axes of the boundary normal at a corner: the mean of three faces.
  const ApplyLocalBlock* corner = RecordOf(3)->Local();
  const double s = 1.0 / std::sqrt(3.0);
  EXPECT_NEAR(corner->axes[2][0], s, 1e-12);
  EXPECT_NEAR(corner->axes[2][1], -s, 1e-12);
  EXPECT_NEAR(corner->axes[2][2], -s, 1e-12);
}

TEST_F(ApplyCommandTest, ALocalAccelerationJoinsLocalVelocities) {
  TheModules().Add(MakeModeModule(CalcModule::kDynamic));
  std::string out = Run({"apply dvel 1 range id 1", "apply naccel 2 range id 1", "apply xaccel 1 range id 1"});
  EXPECT_EQ(CountLines(out, "updated 1 grid-points"), 2);
  EXPECT_EQ(CountLines(out, "*** Cannot have applied velocities in global and local axes at same gridpoint"), 1);
  EXPECT_EQ(RecordOf(1)->Local()->kind[2], kApplyLocalAcceleration);
  // A velocity and an acceleration in one direction: removing the one that
  // is not in the slot leaves the other acting.
  Run({"apply nvel 3 range id 1", "apply remove naccel range id 1"});
  EXPECT_EQ(RecordOf(1)->Local()->mask, 5u);
  EXPECT_EQ(RecordOf(1)->Local()->kind[2], kApplyLocalVelocity);
  Run({"apply remove nvel range id 1"});
  EXPECT_EQ(RecordOf(1)->Local()->mask, 1u);
}

TEST_F(ApplyCommandTest, LocalAndGlobalStressesDoNotMixOnAFace) {
  EXPECT_EQ(Run({"apply szz -1 range z 1.9 2.1", "apply nstress -1 range z 1.9 2.1"}),
            "Terrax>apply szz -1 range z 1.9 2.1\n updated 4 faces\n"
            "Terrax>apply nstress -1 range z 1.9 2.1\n*** Cannot apply stress in global and local axes on same face\n");
  EXPECT_EQ(Run({"apply nstress -1 range z -0.1 0.1", "apply sxx 1 range z -0.1 0.1"}),
            "Terrax>apply nstress -1 range z -0.1 0.1\n updated 4 faces\n"
            "Terrax>apply sxx 1 range z -0.1 0.1\n*** Cannot apply stress in global and local axes on same face\n");
  EXPECT_EQ(GlobalApplyList().Count(), 8u);  // no empty record was left behind
}

TEST_F(ApplyCommandTest, RemovalByQuantityAndClass) {
  script.tableExists = [](int32_t n) { return n == 1; };
  Run({"apply xforce 1", "apply xforce 2 history table 1", "apply yforce 1", "apply xbody 1", "apply sxx 1"});
  EXPECT_NE(RecordOf(1)->FindValue(kApplyForceHist, 1), nullptr);
  // Removing a quantity takes its multiplied form with it.
  EXPECT_EQ(Run({"apply remove xforce range id 1"}), "Terrax>apply remove xforce range id 1\n updated 1 grid-points\n");
  EXPECT_EQ(RecordOf(1)->FindValue(kApplyForce, 1), nullptr);
  EXPECT_EQ(RecordOf(1)->FindValue(kApplyForceHist, 1), nullptr);
  EXPECT_NE(RecordOf(1)->FindValue(kApplyForce, 2), nullptr);
  // The last value gone, the record goes with it.
  Run({"apply remove yforce range id 1"});
  EXPECT_EQ(FindGridpoint(1)->apply, nullptr);
  // A class word takes only its class; a quantity named after it only that quantity.
  EXPECT_EQ(Run({"apply remove zone"}), "Terrax>apply remove zone\n updated 8 zones\n");
  EXPECT_EQ(Run({"apply remove face sxx"}), "Terrax>apply remove face sxx\n updated 24 faces\n");
  EXPECT_EQ(Run({"apply remove gp zbodyforce"}),
            "Terrax>apply remove gp zbodyforce\n updated 25 grid-points\n*** Missing parameter 4\n");
}

TEST_F(ApplyCommandTest, RemovingEveryConditionKeepsFixitiesAndTies) {
  TheModules().Add(MakeModeModule(CalcModule::kFluid));
  GridPoint* gp = FindGridpoint(1);
  gp->flags |= NodeBase::kFixY | NodeBase::kAttached | apply_flags::kQuietX;
  Run({"apply xvel 0 range id 1", "apply pwell 1 range id 1"});
  EXPECT_TRUE(gp->flags & apply_flags::kPointWell);
  Run({"apply remove range id 1"});
  EXPECT_EQ(gp->apply, nullptr);
  EXPECT_EQ(gp->flags, NodeBase::kFixY | NodeBase::kAttached);
}

TEST_F(ApplyCommandTest, PorePressureAndPointWellExcludeEachOther) {
  TheModules().Add(MakeModeModule(CalcModule::kFluid));
  EXPECT_EQ(Run({"apply pwell 1 range id 1", "apply pp 1 range id 1"}),
            "Terrax>apply pwell 1 range id 1\n updated 1 grid-points\n"
            "Terrax>apply pp 1 range id 1\n*** Attempt to specify PorePressure while Discharge, Leakage or PWell is "
            "specified\n");
  EXPECT_EQ(Run({"apply remove pwell range id 1", "apply pp 1 range id 1"}),
            "Terrax>apply remove pwell range id 1\n updated 1 grid-points\n"
            "Terrax>apply pp 1 range id 1\n updated 1 grid-points\n");
  EXPECT_TRUE(FindGridpoint(1)->flags & NodeBase::kFixPorePressure);
  EXPECT_FALSE(FindGridpoint(1)->flags & apply_flags::kPointWell);
}

TEST_F(ApplyCommandTest, ReactionsAndQuietBoundaries) {
  GridPoint* gp = FindGridpoint(1);
  gp->appliedForce[0][0] = 2.0;
  gp->appliedForce[1][0] = 3.0;
  gp->unbalancedForce[0] = 5.0;
  Run({"apply xreaction range id 1"});
  EXPECT_EQ(RecordOf(1)->FindValue(kApplyReaction, 1)->value, -10.0);
  // A quiet face frees its corners and holds them by their reactions.
  TheModules().Add(MakeModeModule(CalcModule::kDynamic));
  gp->flags |= NodeBase::kFixVelocity;
  Run({"apply xvel 0 range id 2", "apply nquiet range z -0.1 0.1 x 0 1 y 0 1"});
  EXPECT_EQ(gp->flags & NodeBase::kFixVelocity, 0u);
  EXPECT_EQ(RecordOf(2)->Local(), nullptr);
  EXPECT_EQ(RecordOf(2)->FindValue(kApplyVelocity, 1), nullptr);
  EXPECT_NE(RecordOf(2)->FindValue(kApplyReaction, 3), nullptr);
}

TEST_F(ApplyCommandTest, ListingOfLocalAxesMultipliersAndDirections) {
  TheModules().Add(MakeModeModule(CalcModule::kDynamic));
  script.tableExists = [](int32_t n) { return n == 7; };
  std::string out = Run({"apply xvel 1 range id 1", "apply zaccel 2 history table 7 step range id 1",
                         "apply nvel -1 plane normal 0 0 -1 range id 5"});
  EXPECT_NE(out.find("Cycle number will be used as the X-axis reference\n"), std::string::npos);
  out = Run({"print apply"});
  EXPECT_NE(out.find("      1 z-acc.      Table 7      2.0000e+00 X.Z Global\n"
                     "      1 x-vel.                   1.0000e+00 X.Z Global\n"
                     "      5 normal-vel.             -1.0000e+00 ..Z USER  \n"),
            std::string::npos)
      << out;
  // A function multiplier shows the function's name; a function lost on
  // restore shows "Unknown".
  static ZoltSymbol* const kSymbol = reinterpret_cast<ZoltSymbol*>(0x20);
  script.symbolAtToken = [](CommandType& interp) {
    ++interp.TokenIndex();
    return kSymbol;
  };
  script.symbolName = [](const ZoltSymbol*) { return String("wave_function"); };
  Run({"apply xforce 1 history wave_function range id 2", "apply yforce 1 history wave_function range id 2"});
  script.symbolAtToken = nullptr;
  RecordOf(2)->Values()->function = nullptr;
  std::string rows = Run({"print apply range id 2"});
  EXPECT_NE(rows.find("      2 y-force     Unknown      1.0000e+00 ... Global\n"
                      "      2 x-force     wave_funct   1.0000e+00 ... Global\n"),
            std::string::npos)
      << rows;
  EXPECT_NE(out.find("  Gridpoint Local Axes ...\n"
                     "   ID            Dip                   Strike                 Normal\n"
                     " ------  ------ ------ ------   ------ ------ ------   ------ ------ ------\n"
                     "      5 ( 1.000, 0.000, 0.000) ( 0.000,-1.000, 0.000) ( 0.000, 0.000,-1.000)\n"),
            std::string::npos)
      << out;
}

}  // namespace
