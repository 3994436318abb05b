// Interfaces in the calculation: the exposed-face cells, the target search
// at each preparation, the contact and motion passes of a step, checked on
// a block resting and sliding on a plane against the Coulomb law.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/memory.h"
#include "mechanics/cycle.h"
#include "mechanics/interface.h"
#include "model/grid_fixture.h"
#include "support/alloc_counter.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

double Length(const double v[3]) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

class InterfaceContactTest : public GridTest {
 protected:
  // A unit elastic block with an interface on its top, and a second unit
  // block generated on it without merging (its base at z = 1 + lift):
  // lower base fixed, both blocks on rollers in y, density 2000, gravity 10.
  void BlockOnPlane(const char* properties = "interface 1 property kn 1e9 ks 1e9 friction 30", double lift = 0.0) {
    Run({"gen zone brick size 1 1 1", "model elastic", "interface 1 face range z 0.9 1.1", properties});
    const std::string upper = "gen zone brick size 1 1 1 p0 0 0 " + std::to_string(1 + lift) + " p1 1 0 " +
                              std::to_string(1 + lift) + " p2 0 1 " + std::to_string(1 + lift) + " p3 0 0 " +
                              std::to_string(2 + lift) + " nomerge";
    RunLines(interp, device, {upper.c_str()});
    Run({"model elastic", "prop bulk 5e7 shear 3e7 density 2000", "fix x y z range z -0.1 0.1", "fix y",
         "set gravity 10"});
  }

  static Interface& First() { return *Interfaces().Head(); }
  static std::vector<InterfaceNode*> Nodes() {
    std::vector<InterfaceNode*> out;
    for (InterfaceNode* n = First().Nodes().Head(); n; n = InterfaceNodeList::Next(n)) out.push_back(n);
    return out;
  }
  // The upper block's grid-points (ids 9 to 16).
  static std::vector<GridPoint*> Upper() {
    std::vector<GridPoint*> out;
    for (GridPoint* gp : GridPointList())
      if (gp->id >= 9) out.push_back(gp);
    return out;
  }
};

// At rest every node carries the upper block's weight, rho g h; pushed
// sideways at its base, the block slides and every node's shear stress is
// the Coulomb strength sigma tan(phi) + c.
TEST_F(InterfaceContactTest, ABlockRestsAndSlidesOnAPlaneByTheCoulombLaw) {
  const double rho = 2000, g = 10, h = 1, sigma = rho * g * h;
  for (const double cohesion : {0.0, 1000.0}) {
    SCOPED_TRACE(cohesion);
    Reset();
    ClearInterfaces();
    const std::string props = "interface 1 property kn 1e9 ks 1e9 friction 30 cohesion " + std::to_string(cohesion);
    BlockOnPlane(props.c_str());
    Run({"solve"});
    ASSERT_EQ(Nodes().size(), 4u);
    for (const InterfaceNode* n : Nodes()) {
      ASSERT_TRUE(n->HasTarget());
      EXPECT_EQ(n->target.GetZone()->Id(), 2u);
      EXPECT_EQ(n->target.Face(), 0);
      EXPECT_NEAR(n->area, 0.25, 1e-12);
      EXPECT_NEAR(n->normalStress, sigma, 0.005 * sigma) << "node " << n->id;
    }
    Run({"ini xvel 1e-6 range id 9 16 z 0.9 1.1", "fix x range id 9 16 z 0.9 1.1", "step 2000"});
    const double strength = sigma * std::tan(30 * kPi / 180) + cohesion;
    for (const InterfaceNode* n : Nodes()) {
      EXPECT_NEAR(n->normalStress, sigma, 0.005 * sigma) << "node " << n->id;
      EXPECT_NEAR(Length(n->shearStress), strength, 0.01 * strength) << "node " << n->id;
      EXPECT_LT(n->shearStress[0], 0.0);  // against the block's motion over the node
      EXPECT_EQ(n->Model()->StateText().str(), "Shear failure now and in past. In contact.");
    }
  }
  const std::string target = Run({"print interface 1 target range cid 1"});
  EXPECT_TRUE(Contains(target, "     1        2 0  -2.000")) << target;
  EXPECT_TRUE(Contains(target, " Yes\n")) << target;
}

// A node keeps its target at the next preparation while it still projects
// onto it; slid off it, it finds none, unless INTERFACE update off holds it.
TEST_F(InterfaceContactTest, UpdateOffKeepsATargetTheNodeSlidOff) {
  for (const bool keep : {false, true}) {
    SCOPED_TRACE(keep);
    Reset();
    ClearInterfaces();
    BlockOnPlane();
    if (keep) Run({"interface 1 update off"});
    Run({"step 1"});
    for (const InterfaceNode* n : Nodes()) ASSERT_TRUE(n->HasTarget());
    for (GridPoint* gp : Upper()) gp->position[0] += 5.0;
    Run({"step 1"});
    for (const InterfaceNode* n : Nodes()) {
      EXPECT_EQ(n->HasTarget(), keep) << "node " << n->id;
      if (!keep) {
        EXPECT_EQ(n->normalStress, 0.0);
      }
    }
  }
}

// The search reaches a face behind the node only as far as the contact
// tolerance: a block sunk 0.05 into the lower one is found with a
// tolerance of 0.1, not with the one the search sets itself.
TEST_F(InterfaceContactTest, TheContactToleranceReachesFacesBehindTheNode) {
  for (const bool wide : {false, true}) {
    SCOPED_TRACE(wide);
    Reset();
    ClearInterfaces();
    BlockOnPlane("interface 1 property kn 1e9 ks 1e9 friction 30", -0.05);
    if (wide) Run({"interface 1 ctolerance 0.1"});
    Run({"step 1"});
    for (const InterfaceNode* n : Nodes()) {
      EXPECT_EQ(n->HasTarget(), wide) << "node " << n->id;
      EXPECT_GE(n->contactTolerance, wide ? 0.1 : 0.00125);
    }
  }
}

// The listing of the cells; a face between two zones of the grid never
// enters them, a face next to a null zone does.
TEST_F(InterfaceContactTest, TheCellsHoldTheExposedFacesOnly) {
  Run({"gen zone brick size 2 1 1", "model elastic", "interface 1 node 9 9 9", "step 1"});
  const SurfaceFaceCellSpace& cells = Interfaces().Cells();
  EXPECT_EQ(cells.FaceCount(), 10u);  // the face between the two zones is not exposed
  for (uint32_t i = 0; i < cells.FaceCount(); ++i)
    EXPECT_EQ(cells.FaceAt(i).GetZone()->Neighbour(cells.FaceAt(i).Face()), nullptr);
  const std::string out = Run({"print interface cellspace"});
  for (const char* line : {"Surface Face Cell Space...\n", "     Total Cells : (", "  Minimum Extent : (",
                           "  Maximum Extent : (", "       Cell Size : (", "     Total Faces : 10\n",
                           "   Total Entries : ", "    Cell      Entries.....\n------------- \n", "( 0, 0, 0)    ("})
    EXPECT_TRUE(Contains(out, line)) << line << "\n" << out;

  Run({"model null range id 2", "step 1"});
  EXPECT_EQ(cells.FaceCount(), 6u);  // zone 1 with its face next to the null zone
  bool nextToNull = false;
  for (uint32_t i = 0; i < cells.FaceCount(); ++i)
    nextToNull |= cells.FaceAt(i).GetZone()->Neighbour(cells.FaceAt(i).Face()) != nullptr;
  EXPECT_TRUE(nextToNull);

  // Without exposed faces: one empty cell, and a search finds nothing.
  Run({"model null", "step 1"});
  EXPECT_EQ(cells.FaceCount(), 0u);
  EXPECT_EQ(cells.Counts()[0] * cells.Counts()[1] * cells.Counts()[2], 1);
  EXPECT_FALSE(First().Nodes().Head()->HasTarget());
}

// A face carried out of the cells by large strain makes the next fill size
// the cells again, once, and every face is entered.
TEST_F(InterfaceContactTest, AFaceCarriedOutOfTheCellsResizesThemOnce) {
  BlockOnPlane();
  Run({"set large", "step 1"});
  SurfaceFaceCellSpace& cells = Interfaces().Cells();
  const uint32_t sized = cells.sizings;
  for (GridPoint* gp : Upper()) gp->position[2] += 10.0;
  Interfaces().PrepareContact(true, interp);
  EXPECT_EQ(cells.sizings, sized + 1);
  EXPECT_GE(cells.Max()[2], 12.0);
  // Every face is in the cell its box lies in.
  for (uint32_t i = 0; i < cells.FaceCount(); ++i) {
    double lo[3], hi[3], mid[3];
    cells.FaceAt(i).BoundingBox(lo, hi);
    for (int k = 0; k < 3; ++k) mid[k] = 0.5 * (lo[k] + hi[k]);
    int32_t at[3];
    cells.CellIndex(mid, at);
    bool found = false;
    for (void* const* it = cells.GetCellFirst(at); it != cells.GetCell(at); ++it) found |= *it == &cells.FaceAt(i);
    EXPECT_TRUE(found) << i;
  }
}

// Nodes on null zones have no area and push nothing; a law of no stiffness
// is only a warning; a node without a target carries nothing.
TEST_F(InterfaceContactTest, NodesWithoutAreaStiffnessOrTargetCarryNothing) {
  BlockOnPlane("interface 1 property kn 0 ks 0 friction 30");
  std::string out = Run({"step 3"});
  EXPECT_TRUE(Contains(out, "!WARNING: Stiffness of Interface node 1 is zero!\n")) << out;
  EXPECT_TRUE(Contains(out, "      3 ")) << out;  // cycling went on
  for (const InterfaceNode* n : Nodes()) EXPECT_EQ(n->normalStress, 0.0);

  Reset();
  ClearInterfaces();
  BlockOnPlane();
  Run({"model null range z 0 1"});
  Run({"step 5"});
  for (const InterfaceNode* n : Nodes()) {
    EXPECT_EQ(n->area, 0.0);
    EXPECT_EQ(n->normalStress, 0.0);
  }
  for (GridPoint* gp : Upper()) EXPECT_LT(gp->velocity[2], 0.0);  // falling freely

  Reset();
  ClearInterfaces();
  BlockOnPlane("interface 1 property kn 1e9 ks 1e9 friction 30", 0.5);  // out of reach
  Run({"step 5"});
  for (const InterfaceNode* n : Nodes()) {
    EXPECT_FALSE(n->HasTarget());
    EXPECT_EQ(n->normalStress, 0.0);
  }
}

// Two candidate faces equally near and equally aligned: the first one
// visited (the first zone's) becomes the target.
TEST_F(InterfaceContactTest, OfEqualCandidatesTheFirstVisitedWins) {
  BlockOnPlane();
  Run({"gen zone brick size 1 1 1 p0 0 0 1 p1 1 0 1 p2 0 1 1 p3 0 0 2 nomerge", "model elastic", "step 1"});
  for (const InterfaceNode* n : Nodes()) {
    ASSERT_TRUE(n->HasTarget());
    EXPECT_EQ(n->target.GetZone()->Id(), 2u);
  }
}

// Large strain: turning both blocks rigidly turns the shear stress with
// the face and keeps its size; spinning them about the face normal turns
// it about the normal.
TEST_F(InterfaceContactTest, ARigidRotationKeepsTheShearStressMagnitude) {
  BlockOnPlane();
  Run({"set large", "interface 1 sstress 3 4 0", "step 1"});
  InterfaceNode& node = *First().Nodes().Head();
  ASSERT_TRUE(node.HasTarget());
  for (int i = 0; i < 3; ++i) node.shearStress[i] = i == 0 ? 3.0 : i == 1 ? 4.0 : 0.0;
  double n[3];
  node.target.Normal(n);
  for (int i = 0; i < 3; ++i) node.previousNormal[i] = n[i];
  ModelSettings& s = Settings();
  s.timestep = 1.0;
  // Twenty turns of 0.5 degrees about y, about the node.
  const double step = 0.5 * kPi / 180;
  const double c = std::cos(step), sn = std::sin(step);
  for (int turn = 0; turn < 20; ++turn) {
    for (GridPoint* gp : GridPointList()) {
      double* p = gp->position;
      const double x = p[0] - node.position[0], z = p[2] - node.position[2];
      p[0] = node.position[0] + c * x + sn * z;
      p[2] = node.position[2] - sn * x + c * z;
      gp->velocity[0] = gp->velocity[1] = gp->velocity[2] = 0.0;
    }
    node.target.Normal(n);
    node.RotateShearStress(n);
  }
  EXPECT_NEAR(Length(node.shearStress), 5.0, 5e-3);
  EXPECT_NEAR(node.shearStress[0] * n[0] + node.shearStress[1] * n[1] + node.shearStress[2] * n[2], 0.0, 1e-3);

  // A spin of 0.01 per step about the face normal: the stress turns with it.
  const double w = 0.01;
  node.target.Normal(n);
  for (GridPoint* gp : GridPointList()) {
    const double r[3] = {gp->position[0] - node.position[0], gp->position[1] - node.position[1],
                         gp->position[2] - node.position[2]};
    // v = w n x r
    gp->velocity[0] = w * (n[1] * r[2] - n[2] * r[1]);
    gp->velocity[1] = w * (n[2] * r[0] - n[0] * r[2]);
    gp->velocity[2] = w * (n[0] * r[1] - n[1] * r[0]);
  }
  for (int i = 0; i < 3; ++i) node.velocity[i] = 0.0;
  const double before[3] = {node.shearStress[0], node.shearStress[1], node.shearStress[2]};
  node.RotateShearStress(n);
  const double* after = node.shearStress;
  // The turn about the normal: the corners' mean spin, the node's own
  // corner (at no distance) counting as none.
  const double cross[3] = {before[1] * after[2] - before[2] * after[1], before[2] * after[0] - before[0] * after[2],
                           before[0] * after[1] - before[1] * after[0]};
  const double angle = (cross[0] * n[0] + cross[1] * n[1] + cross[2] * n[2]) / 25.0;
  EXPECT_NEAR(angle, 0.75 * w, 1e-4);
  EXPECT_NEAR(Length(after), 5.0, 5e-3);
}

// Free nodes (made by position, without a host face) stay where they are
// and push only the face they sink into.
TEST_F(InterfaceContactTest, FreeNodesPushOnlyTheirTarget) {
  Run({"gen zone brick size 1 1 1", "model elastic", "prop bulk 5e7 shear 3e7 density 2000",
       "fix x y z range z -0.1 0.1",
       "interface 1 element p1 0 0 0.999 p2 1 0 0.999 p3 0 1 0.999 property kn 1e9 ks 1e9",
       "interface 1 ctolerance 0.01", "step 1"});
  for (const InterfaceNode* n : Nodes()) EXPECT_GT(n->normalStress, 0.0);
  Run({"step 20"});
  const double corner[3][2] = {{0, 0}, {1, 0}, {0, 1}};
  int k = 0;
  for (const InterfaceNode* n : Nodes()) {
    EXPECT_FALSE(n->HasHost());
    ASSERT_TRUE(n->HasTarget());
    EXPECT_EQ(n->target.GetZone()->Id(), 1u);
    EXPECT_EQ(n->position[0], corner[k][0]);
    EXPECT_EQ(n->position[1], corner[k][1]);
    EXPECT_EQ(n->position[2], 0.999);
    ++k;
  }
  for (const GridPoint* gp : GridPointList()) {
    if (gp->position[2] != 1.0) continue;
    const bool pushed = gp->position[0] + gp->position[1] < 1.5;  // a corner under a node
    if (pushed) {
      EXPECT_LT(gp->displacement[2], 0.0) << gp->id;
    }
  }
}

// The contact and motion passes of a step allocate nothing, in small and
// in large strain.
TEST_F(InterfaceContactTest, StepsWithInterfacesAllocateNothing) {
  BlockOnPlane();
  for (const bool large : {false, true}) {
    Settings().largeStrain = large;
    ASSERT_TRUE(Cycle::Prepare(false, interp, true));
    Cycle::Step(interp);
    const size_t heap = TestAllocations();
    const uint64_t pool = ModelMemoryInUse();
    for (int i = 0; i < 20; ++i) Cycle::Step(interp);
    EXPECT_EQ(TestAllocations(), heap) << "large strain " << large;
    EXPECT_EQ(ModelMemoryInUse(), pool);
    for (const InterfaceNode* n : Nodes()) EXPECT_GT(n->normalStress, 0.0);
  }
}

}  // namespace
