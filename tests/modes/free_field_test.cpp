// The free-field boundary: what APPLY ff builds and refuses, the coupling in
// the step, its records through SAVE and RESTORE, removal, and GPATTACH.
#include "modes/free_field.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/except.h"
#include "mechanics/apply_condition.h"
#include "mechanics/cycle.h"
#include "model/grid_fixture.h"
#include "model/grid_point.h"
#include "model/zone.h"

namespace {

class FreeFieldTest : public GridTest {
 protected:
  std::string Run(std::initializer_list<const char*> lines) { return GridTest::Run(lines); }
  void RunText(const std::string& line) { RunLines(interp, device, {line.c_str()}); }
  static GridPoint* At(double x, double y, double z) {
    for (GridPoint* gp : GridPointList())
      if (std::fabs(gp->position[0] - x) < 1e-9 && std::fabs(gp->position[1] - y) < 1e-9 &&
          std::fabs(gp->position[2] - z) < 1e-9)
        return gp;
    return nullptr;
  }

  // A column of two elastic layers, 10 zones high, shaken at its base in x
  // by one cycle of a 2 Hz sine; the x velocity at the top centre over time.
  enum Sides { kFreeField, kFreeSides, kColumn };
  std::vector<double> Shake(int nx, int ny, Sides sides) {
    ClearApplyList();
    Reset();
    RunText("gen zone brick size " + std::to_string(nx) + " " + std::to_string(ny) + " 10");
    Run({"model elastic", "prop bulk 2e8 shear 1e8 density 2000", "prop bulk 5e7 shear 2.5e7 range z 0 4",
         "config dynamic", "set dynamic dt 1e-3"});
    // Table 1 is the input motion against the dynamic time.
    script.tableExists = [](int32_t n) { return n == 1; };
    script.tableValue = [](int32_t, double t) { return t < 0.5 ? std::sin(4.0 * M_PI * t) : 0.0; };
    Run({"apply xvel 1e-2 history table 1 range z -0.1 0.1", "fix y z range z -0.1 0.1"});
    if (sides == kColumn)
      for (int k = 0; k <= 10; ++k)
        RunText("gpattach range z " + std::to_string(k - 0.1) + " " + std::to_string(k + 0.1));
    if (sides == kColumn) Run({"fix y z range z 0.1 11"});
    if (sides == kFreeField) Run({"apply ff"});
    device.Take();
    GridPoint* top = At(nx / 2, ny / 2, 10);
    std::vector<double> v;
    if (!top || !Cycle::Prepare(false, interp, true)) return v;
    for (int n = 0; n < 1000; ++n) {
      Cycle::Step(interp);
      v.push_back(top->velocity[0]);
    }
    return v;
  }
};

// Shaken in shear at its base, a layered block with a free field moves at
// its top as the one-dimensional column of the same layers (vertically
// travelling shear waves: Kramer, "Geotechnical Earthquake Engineering",
// 7.2, the layered column).
TEST_F(FreeFieldTest, TopMovesAsTheOneDimensionalColumn) {
  const std::vector<double> block = Shake(4, 4, kFreeField);
  const std::vector<double> column = Shake(1, 1, kColumn);
  ASSERT_EQ(block.size(), column.size());
  ASSERT_FALSE(block.empty());
  double peak = 0.0, difference = 0.0;
  for (size_t i = 0; i < block.size(); ++i) {
    peak = std::max(peak, std::fabs(column[i]));
    difference = std::max(difference, std::fabs(block[i] - column[i]));
  }
  EXPECT_GT(peak, 1e-2);  // amplified above the base motion
  EXPECT_LT(difference, 0.01 * peak) << difference / peak;
  // Without the free field the same block, free at its sides, does not.
  const std::vector<double> bare = Shake(4, 4, kFreeSides);
  double departure = 0.0;
  for (size_t i = 0; i < bare.size() && i < column.size(); ++i)
    departure = std::max(departure, std::fabs(bare[i] - column[i]));
  EXPECT_GT(departure, 0.1 * peak);
}

}  // namespace

namespace {

// What APPLY ff refuses builds nothing: no zone, grid-point or apply record.
TEST_F(FreeFieldTest, RefusedCreationBuildsNothing) {
  struct Case {
    std::vector<const char*> setup;
    const char* expected;
  } cases[] = {
      {{"gen zone brick size 2 2 2", "gen zone brick p0 2 0 1 size 1 2 1", "model elastic",
        "prop bulk 2e8 shear 1e8 density 2000"},
       "+++ Warning!  Base of model is not horizontal\n*** Free-field not created\n"},
      {{"gen zone brick size 2 2 2", "model elastic", "prop bulk 2e8 shear 1e8 density 2000", "model null range x 0 1"},
       "+++ Warning!  No boundary faces on vertical plane at x=0\n*** Free-field not created\n"},
      {{"gen zone brick size 2 2 2", "model elastic", "prop bulk 2e8 shear 1e8"}, "*** Density not defined\n"},
  };
  for (const Case& c : cases) {
    ClearApplyList();
    Reset();
    Run({"config dynamic"});
    for (const char* line : c.setup) RunText(line);
    const size_t zones = ZoneList().Count(), gps = GridPointList().Count();
    const std::string out = Run({"apply ff"});
    EXPECT_NE(out.find(c.expected), std::string::npos) << out;
    EXPECT_EQ(ZoneList().Count(), zones);
    EXPECT_EQ(GridPointList().Count(), gps);
    EXPECT_EQ(GlobalApplyList().Head(), nullptr);
  }
}

// APPLY remove takes the free field away and leaves the model as it was.
TEST_F(FreeFieldTest, RemovalLeavesTheModel) {
  Run({"config dynamic", "gen zone brick size 2 3 2", "model elastic", "prop bulk 2e8 shear 1e8 density 2000"});
  const size_t zones = ZoneList().Count(), gps = GridPointList().Count();
  const std::string out = Run({"apply ff"});
  EXPECT_NE(out.find(" Created 28 free-field zones \n updated 20 faces\n"), std::string::npos) << out;
  Run({"apply remove ff"});
  EXPECT_EQ(ZoneList().Count(), zones);
  EXPECT_EQ(GridPointList().Count(), gps);
  for (GridPoint* gp : GridPointList()) EXPECT_FALSE(gp->flags & (free_field::kGpFlags | NodeBase::kSlaved));
  ASSERT_TRUE(Cycle::Prepare(false, interp, true));
  Cycle::Step(interp);
  EXPECT_NE(Run({"apply ff"}).find(" Created 28 free-field zones"), std::string::npos);
}

// The free field drives an inner side grid-point through dashpots as strong
// as the quiet ones that absorb its own motion (Lysmer and Kuhlemeyer 1969):
// F = c (v_ff - v), with the free-field velocity averaged over the step.
TEST_F(FreeFieldTest, CouplingMatchesTheQuietDashpots) {
  Run({"config dynamic", "gen zone brick size 2 2 2", "model elastic", "prop bulk 2e8 shear 1e8 density 2000",
       "apply ff"});
  ASSERT_TRUE(Cycle::Prepare(false, interp, true));
  GridPoint* inner = At(0, 1, 1);  // the middle of the side x = 0
  ASSERT_NE(inner, nullptr);
  const ApplyCondition* own = static_cast<const ApplyCondition*>(inner->apply);
  ASSERT_TRUE(own && own->Quiet());
  GridPoint* driver = At(-0.2, 1, 1);  // layer 0, a tenth of the width out
  ASSERT_NE(driver, nullptr);
  const ApplyCondition* ff = static_cast<const ApplyCondition*>(driver->apply);
  ASSERT_TRUE(ff && ff->Quiet());
  EXPECT_EQ(ff->Quiet()->gpA, inner);
  EXPECT_EQ(ff->Quiet()->gpB, nullptr);
  const double rho = 2000.0, cp = std::sqrt((2e8 + 4e8 / 3) / rho), cs = std::sqrt(1e8 / rho);
  // The grid-point's share of the side is one unit of area.
  EXPECT_NEAR(own->Quiet()->quiet[0], rho * cp, 1e-9 * rho * cp);
  EXPECT_NEAR(own->Quiet()->quiet[1], rho * cs, 1e-9 * rho * cs);
  for (int i = 0; i < 3; ++i) EXPECT_DOUBLE_EQ(ff->Quiet()->ffA[i], own->Quiet()->quiet[i]) << i;
  EXPECT_TRUE(inner->flags & apply_flags::kQuietX);
  EXPECT_FALSE(inner->flags & NodeBase::kFixVelocity);
}

// GPATTACH joins groups: a member of another group brings its master and
// the rest of that group along; one grid-point alone only warns.
TEST_F(FreeFieldTest, GpAttachJoinsGroups) {
  Run({"gen zone brick size 3 1 1"});
  EXPECT_EQ(Run({"gpattach range id 5"}),
            "Terrax>gpattach range id 5\n+++ Warning! Gp Attach: only 1 gp found 5\n"
            "+++ Warning! Gp Attach: master: 5\n");
  Run({"gpattach range id 1 any id 2 any", "gpattach range id 3 any id 4 any id 7 any"});
  GridPoint* a = FindGridpoint(1);
  GridPoint* b = FindGridpoint(3);
  ASSERT_TRUE(a && b && a->linked && b->linked);
  Run({"gpattach range id 2 any id 4 any"});  // 2 is 1's member, 4 is 3's
  std::vector<uint32_t> chain;
  for (const GridPoint::LinkedEntry* e = a->linked; e; e = e->next) chain.push_back(e->gp->id);
  EXPECT_EQ(chain, (std::vector<uint32_t>{3, 7, 4, 2}));
  EXPECT_EQ(b->linked, nullptr);
  EXPECT_FALSE(a->flags & NodeBase::kSlaved);
  for (uint32_t id : chain) EXPECT_TRUE(FindGridpoint(id)->flags & NodeBase::kSlaved) << id;
}

}  // namespace
