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
