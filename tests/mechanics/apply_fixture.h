// A clean model with the boundary-condition commands installed, and a brick
// grid of unit zones built through the grid's creation functions.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mechanics/apply.h"
#include "mechanics/apply_condition.h"
#include "mechanics/install_mechanics_apply.h"
#include "model/grid_fixture.h"

class ApplyTest : public GridTest {
 protected:
  void SetUp() override {
    GridTest::SetUp();
    ClearApplyList();
    InstallMechanicsApply();
  }
  void TearDown() override {
    ClearApplyList();
    GridTest::TearDown();
  }

  // nx x ny x nz unit bricks from the origin; grid-points numbered x fastest.
  static void BrickGrid(int nx, int ny, int nz) {
    std::vector<GridPoint*> gps;
    gps.reserve(static_cast<size_t>((nx + 1) * (ny + 1) * (nz + 1)));
    for (int k = 0; k <= nz; ++k)
      for (int j = 0; j <= ny; ++j)
        for (int i = 0; i <= nx; ++i) {
          const double p[3] = {double(i), double(j), double(k)};
          gps.push_back(CreateGridPoint(p));
        }
    auto at = [&](int i, int j, int k) { return gps[static_cast<size_t>((k * (ny + 1) + j) * (nx + 1) + i)]; };
    static const int kCorner[8][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1},
                                      {1, 1, 0}, {0, 1, 1}, {1, 0, 1}, {1, 1, 1}};
    for (int k = 0; k < nz; ++k)
      for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i) {
          GridPoint* corner[8];
          for (int c = 0; c < 8; ++c) corner[c] = at(i + kCorner[c][0], j + kCorner[c][1], k + kCorner[c][2]);
          CreateZone(kBrick, corner);
        }
  }

  // Every zone gets the model (and with it both overlays).
  static void SetModels(const char* name) {
    for (Zone* z : ZoneList()) z->SetModelByName(name);
  }

  static ApplyCondition* RecordOf(uint32_t gpId) { return static_cast<ApplyCondition*>(FindGridpoint(gpId)->apply); }

  static std::vector<const ApplyCondition*> Records() {
    std::vector<const ApplyCondition*> out;
    for (ApplyCondition* c = GlobalApplyList().Head(); c; c = ApplyList::Next(c)) out.push_back(c);
    return out;
  }

  // The total of one slot of the applied forces over every grid-point.
  static void TotalForce(int slot, double out[3]) {
    out[0] = out[1] = out[2] = 0.0;
    for (GridPoint* gp : GridPointList())
      for (int i = 0; i < 3; ++i) out[i] += gp->appliedForce[slot][i];
  }
};
