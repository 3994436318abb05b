// Attach ties in the calculation: sums handed up chains of ties, state
// interpolated back down, the face corners that chains do not follow, the
// slave's own move, the edge weights, the removal of ties of deleted
// objects, and steps with ties that allocate nothing and give the same bits
// at both kernel levels.
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "base/memory.h"
#include "mechanics/attach_condition.h"
#include "mechanics/cycle_fixture.h"
#include "support/alloc_counter.h"

namespace {

class AttachTest : public CycleTest {
 protected:
  AttachList& list = GlobalAttachList();

  static void Set(double v[3], double x, double y, double z) {
    v[0] = x;
    v[1] = y;
    v[2] = z;
  }
  Zone* BuildTiedBricks(GridPoint* gps[8]);
};

// S is tied to the edge from M to X (M weighs 0.25), and M to T: one force
// pass brings S's force through M to T, whichever tie comes first in the
// list, and M's applied force arrives once; one motion pass gives S the
// velocity of its masters' masters. The preparation hands stiffness, ratio
// weight and (dynamic) mass up the same way.
TEST_F(AttachTest, AChainPassesSumsUpAndStateDownInOnePass) {
  for (bool slaveFirst : {true, false}) {
    SCOPED_TRACE(slaveFirst ? "slave's tie first" : "master's tie first");
    GridPoint* s = Gp(0.25, 0, 0);
    GridPoint* m = Gp(0, 0, 0);
    GridPoint* x = Gp(1, 0, 0);
    GridPoint* t = Gp(0, 0, -1);
    auto* low = new AttachEdge(s, m, x, 0.25, false);
    auto* high = new AttachGp(m, t, false);
    list.Add(slaveFirst ? static_cast<AttachCondition*>(low) : high);
    list.Add(slaveFirst ? static_cast<AttachCondition*>(high) : low);

    s->stiffness = 8.0;
    m->stiffness = 1.0;
    s->areaSum = 4.0;
    s->mass = 2.0;
    list.CheckAll(true);
    EXPECT_DOUBLE_EQ(t->stiffness, 3.0);
    EXPECT_DOUBLE_EQ(x->stiffness, 6.0);
    EXPECT_DOUBLE_EQ(t->areaSum, 1.0);
    EXPECT_DOUBLE_EQ(t->mass, 0.5);
    EXPECT_EQ(s->stiffness + m->stiffness + s->mass, 0.0);

    Set(s->unbalancedForce, 4, 8, -12);
    Set(s->appliedForce[1], 0, 0, -4);
    s->forceSum = 24.0;
    Set(m->appliedForce[0], 0, 0, -10);
    list.ForcePass();
    EXPECT_DOUBLE_EQ(t->unbalancedForce[0], 1.0);
    EXPECT_DOUBLE_EQ(t->unbalancedForce[1], 2.0);
    EXPECT_DOUBLE_EQ(t->unbalancedForce[2], -4.0 - 10.0);
    EXPECT_DOUBLE_EQ(x->unbalancedForce[2], -12.0);
    EXPECT_DOUBLE_EQ(t->forceSum, 6.0);
    EXPECT_DOUBLE_EQ(x->forceSum, 18.0);
    for (const GridPoint* g : {s, m}) {
      EXPECT_EQ(g->unbalancedForce[0] + g->unbalancedForce[1] + g->unbalancedForce[2], 0.0);
      EXPECT_EQ(g->forceSum, 0.0);
    }

    Set(t->velocity, 4, 0, 8);
    Set(x->velocity, 0, 4, 0);
    list.MotionPass(0.5, false);
    EXPECT_DOUBLE_EQ(m->velocity[2], 8.0);
    EXPECT_DOUBLE_EQ(s->velocity[0], 1.0);
    EXPECT_DOUBLE_EQ(s->velocity[1], 3.0);
    EXPECT_DOUBLE_EQ(s->velocity[2], 2.0);
    EXPECT_DOUBLE_EQ(s->displacement[1], 1.5);
    list.DeleteAll();
  }
}

// The same chain in the flow modes: the preparation hands conductance
// sums, volumes and capacities up and pore pressure, temperature and their
// increments down; the step's first pass hands the flows up, the second
// the increments (and saturation) down. A slave outside every zone of the
// mode is left out. Dynamic multistepping gives the slave the smaller of
// its edge ends' multipliers, the end M having taken T's.
TEST_F(AttachTest, AChainPassesFlowHeatAndMultipliersToo) {
  for (bool slaveFirst : {true, false}) {
    SCOPED_TRACE(slaveFirst ? "slave's tie first" : "master's tie first");
    GridPoint* s = Gp(0.25, 0, 0);
    GridPoint* m = Gp(0, 0, 0);
    GridPoint* x = Gp(1, 0, 0);
    GridPoint* t = Gp(0, 0, -1);
    for (GridPoint* g : {s, m, x, t}) {
      g->fluid = std::make_unique<GpFluidData>();
      g->thermal = std::make_unique<GpThermalData>();
      g->dynamicBlock = std::make_unique<GpDynamicData>();
    }
    auto* low = new AttachEdge(s, m, x, 0.25, false);
    auto* high = new AttachGp(m, t, false);
    list.Add(slaveFirst ? static_cast<AttachCondition*>(low) : high);
    list.Add(slaveFirst ? static_cast<AttachCondition*>(high) : low);

    s->fluid->flow = 8.0;
    s->fluid->inverseVolume = 4.0;
    m->fluid->flow = 1.0;
    t->porePressure = 10.0;
    t->fluid->pressureIncrement = 2.0;
    x->porePressure = 30.0;
    x->fluid->pressureIncrement = 6.0;
    list.PrepareFluid();
    EXPECT_DOUBLE_EQ(t->fluid->flow, 3.0);
    EXPECT_DOUBLE_EQ(x->fluid->flow, 6.0);
    EXPECT_DOUBLE_EQ(t->fluid->inverseVolume, 1.0);
    EXPECT_EQ(s->fluid->flow + s->fluid->inverseVolume + m->fluid->flow, 0.0);
    EXPECT_DOUBLE_EQ(m->porePressure, 10.0);
    EXPECT_DOUBLE_EQ(s->porePressure, 25.0);
    EXPECT_DOUBLE_EQ(s->fluid->pressureIncrement, 5.0);

    t->fluid->flow = x->fluid->flow = 0.0;
    s->fluid->flow = 4.0;
    s->fluid->flowMagnitude = 8.0;
    list.FluidPass1();
    EXPECT_DOUBLE_EQ(t->fluid->flow, 1.0);
    EXPECT_DOUBLE_EQ(x->fluid->flow, 3.0);
    EXPECT_DOUBLE_EQ(t->fluid->flowMagnitude, 2.0);
    t->fluid->flow = 2.0;
    t->fluid->saturation = 0.5;
    x->fluid->flow = 6.0;
    list.FluidPass2();
    EXPECT_DOUBLE_EQ(m->fluid->flow, 2.0);
    EXPECT_DOUBLE_EQ(s->fluid->flow, 5.0);
    EXPECT_DOUBLE_EQ(s->fluid->saturation, 0.875);

    s->thermal->heatFlow = 8.0;
    s->thermal->inverseCapacity = 4.0;
    t->thermal->temperature = 10.0;
    x->thermal->temperature = 30.0;
    list.PrepareThermal();
    EXPECT_DOUBLE_EQ(t->thermal->heatFlow, 2.0);
    EXPECT_DOUBLE_EQ(x->thermal->inverseCapacity, 3.0);
    EXPECT_DOUBLE_EQ(s->thermal->temperature, 25.0);
    s->thermal->heatFlow = 4.0;
    list.ThermalPass1();
    EXPECT_DOUBLE_EQ(t->thermal->heatFlow, 3.0);
    t->thermal->heatFlow = 2.0;
    x->thermal->heatFlow = 6.0;
    list.ThermalPass2();
    EXPECT_DOUBLE_EQ(s->thermal->heatFlow, 5.0);

    t->dynamicBlock->multiStep = 4.0;
    x->dynamicBlock->multiStep = 8.0;
    list.DynamicCheck();
    EXPECT_EQ(m->dynamicBlock->multiStep, 4.0);
    EXPECT_EQ(s->dynamicBlock->multiStep, 4.0);
    x->dynamicBlock->multiStep = 2.0;
    list.DynamicCheck();
    EXPECT_EQ(s->dynamicBlock->multiStep, 2.0);

    s->flags |= NodeBase::kNoFluidZone;
    s->fluid->flow = 4.0;
    list.PrepareFluid();
    list.FluidPass1();
    EXPECT_EQ(s->fluid->flow, 4.0);
    list.DeleteAll();
  }
}

// A face tie whose corner 0 weighs less than 0.05 gives that corner its
// share of the force but does not follow the corner's own tie: the share
// stays on the corner when the corner's tie has had its turn, and the tie's
// master is not among what the face tie depends on. At 0.05 and above the
// share goes on up.
TEST_F(AttachTest, AFaceFollowsOnlyCornersOfWeightFromFivePercent) {
  Zone* zone = UnitBrick();
  const ZoneFace top(zone, 1);
  GridPoint* corner = top.GetGp(0);
  GridPoint* beyond = Gp(0, 0, 2);
  list.Add(new AttachGp(corner, beyond, false));
  struct Case {
    double weight;
    bool followed;
  };
  for (const Case c : {Case{0.02, false}, Case{0.05, true}, Case{0.2, true}}) {
    SCOPED_TRACE(c.weight);
    GridPoint* slave = Gp(0.4, 0.4, 1);
    FaceWeights w;
    w.weight[0] = c.weight;
    for (int k = 1; k < 4; ++k) w.weight[k] = (1.0 - c.weight) / 3.0;
    auto* tie = new AttachFace(slave, top, &w, false);
    list.Add(tie);
    EXPECT_EQ(tie->DependsOn(beyond), c.followed);
    for (GridPoint* gp : GridPointList()) Set(gp->unbalancedForce, 0, 0, 0);
    Set(slave->unbalancedForce, 0, 0, -1);
    list.ForcePass();
    EXPECT_DOUBLE_EQ(corner->unbalancedForce[2], c.followed ? 0.0 : -c.weight);
    EXPECT_DOUBLE_EQ(beyond->unbalancedForce[2], c.followed ? -c.weight : 0.0);
    EXPECT_DOUBLE_EQ(top.GetGp(2)->unbalancedForce[2], -(1.0 - c.weight) / 3.0);
    list.Delete(tie);
  }
}

// Without snap a slave follows its masters' velocity and moves its own
// displacement, and its position only in large strain; with snap it sits on
// the interpolated place of its masters after every step.
TEST_F(AttachTest, TheSlaveMovesItsPositionOnlyInLargeStrainUnlessItSnaps) {
  struct Case {
    bool snap;
    bool large;
    double x;   // the slave's x afterwards
    double dx;  // its x displacement afterwards
  };
  for (const Case c : {Case{false, false, 0.5, 0.1}, Case{false, true, 0.6, 0.1}, Case{true, false, 1.5, 0.3},
                       Case{true, true, 1.5, 0.3}}) {
    SCOPED_TRACE(std::string(c.snap ? "snap" : "no snap") + (c.large ? ", large" : ", small"));
    GridPoint* a = Gp(1, 0, 0);
    GridPoint* b = Gp(2, 0, 0);
    GridPoint* s = Gp(0.5, 0, 0);
    for (GridPoint* g : {a, b}) {
      Set(g->velocity, 1, 0, 0);
      Set(g->displacement, 0.3, 0, 0);
    }
    list.Add(new AttachEdge(s, a, b, 0.5, c.snap));
    list.MotionPass(0.1, c.large);
    EXPECT_DOUBLE_EQ(s->velocity[0], 1.0);
    EXPECT_DOUBLE_EQ(s->position[0], c.x);
    EXPECT_DOUBLE_EQ(s->displacement[0], c.dx);
    list.DeleteAll();
  }
}

// The edge weight: given or from the slave's place along the edge; a weight
// more than 1e-14 outside [0, 1] is refused and leaves the slave untied.
TEST_F(AttachTest, EdgeWeightsAreComputedClampedOrRefused) {
  struct Case {
    double slaveX;
    double bX;  // B's x; A is at the origin
    double given;
    double stored;  // NaN: refused
  };
  const double refused = std::numeric_limits<double>::quiet_NaN();
  for (const Case c :
       {Case{0, 4, 1.00000000000001, 1.0}, Case{0, 4, 0.25, 0.25}, Case{1, 4, -1, 0.75}, Case{3, 0, -1, 1.0},
        Case{0, 4, 1.1, refused}, Case{6, 4, -1, refused}, Case{0, 4, refused, refused}}) {
    SCOPED_TRACE(testing::Message() << c.slaveX << " " << c.bX << " " << c.given);
    GridPoint* s = Gp(c.slaveX, 1, 0);
    GridPoint* a = Gp(0, 0, 0);
    GridPoint* b = Gp(c.bX, 0, 0);
    if (std::isnan(c.stored)) {
      try {
        AttachEdge tie(s, a, b, c.given, false);
        ADD_FAILURE() << "accepted";
      } catch (const AttachExcept& e) {
        EXPECT_STREQ(e.Text(), "Illegal edge attach weighting");
      }
      EXPECT_EQ(s->attach, nullptr);
      EXPECT_EQ(s->flags & NodeBase::kAttached, 0u);
      continue;
    }
    AttachEdge tie(s, a, b, c.given, false);
    EXPECT_EQ(tie.Weight(), c.stored);
  }
}

// Ties that refer to a grid-point or zone being deleted go; their slaves
// are untied. The others stay.
TEST_F(AttachTest, RemoveDeletedDropsTiesOfWhatIsBeingDeleted) {
  Zone* zone = UnitBrick();
  const ZoneFace top(zone, 1);
  GridPoint* onFace = Gp(0.5, 0.5, 1);
  GridPoint* onEdge = Gp(0.5, 0, 0);
  GridPoint* onGp = Gp(2, 0, 0);
  GridPoint* kept = Gp(3, 0, 0);
  list.Add(new AttachFace(onFace, top, nullptr, false));
  list.Add(new AttachEdge(onEdge, zone->Gp(0), zone->Gp(1), -1, false));
  list.Add(new AttachGp(onGp, kept, false));
  list.Add(new AttachGp(kept, zone->Gp(7), false));
  EXPECT_EQ(list.RemoveDeleted(), 0u);

  zone->SetFlags(zone->Flags() | Zone::kDeleted);
  zone->Gp(1)->flags |= 0x100;
  onGp->flags |= 0x100;
  EXPECT_EQ(list.RemoveDeleted(), 3u);
  ASSERT_EQ(list.Count(), 1u);
  EXPECT_EQ(list.Head()->Slave(), kept);
  for (const GridPoint* g : {onFace, onEdge, onGp}) {
    EXPECT_EQ(g->attach, nullptr);
    EXPECT_EQ(g->flags & NodeBase::kAttached, 0u);
  }
  zone->SetFlags(zone->Flags() & ~Zone::kDeleted);
}

// A unit brick under a brick of its own grid-points, half a unit across,
// whose bottom corners lie on a corner, an edge and inside the lower
// brick's top, tied there by ties of the three kinds; elastic, the base
// fixed, gravity on. Fills in the upper brick's grid-points; answers the
// lower brick.
Zone* AttachTest::BuildTiedBricks(GridPoint* gps[8]) {
  Zone* lower = UnitBrick();
  Assign(lower, "elastic", {{"bulk", 1e8}, {"shear", 6e7}}, 2000);
  static const double kCorner[8][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1},
                                       {1, 1, 0}, {0, 1, 1}, {1, 0, 1}, {1, 1, 1}};
  for (int c = 0; c < 8; ++c) gps[c] = Gp(0.5 * kCorner[c][0], 0.5 * kCorner[c][1], 1 + 0.5 * kCorner[c][2]);
  Zone* upper = CreateZone(kBrick, gps);
  Assign(upper, "elastic", {{"bulk", 1e8}, {"shear", 6e7}}, 2000);
  const ZoneFace top(lower, 1);
  list.Add(new AttachGp(gps[0], lower->Gp(3), true));
  list.Add(new AttachEdge(gps[1], lower->Gp(3), lower->Gp(6), -1, false));
  list.Add(new AttachFace(gps[4], top, nullptr, true));
  list.Add(new AttachEdge(gps[2], lower->Gp(3), lower->Gp(5), -1, true));
  for (GridPoint* gp : GridPointList())
    if (gp->position[2] == 0.0) gp->flags |= NodeBase::kFixVelocity;
  Settings().gravity[2] = -10.0;
  return lower;
}

// Steps of a model with ties of the three kinds allocate nothing.
TEST_F(AttachTest, StepsWithTiesAllocateNothing) {
  GridPoint* gps[8];
  Zone* lower = BuildTiedBricks(gps);
  for (bool large : {false, true}) {
    Settings().largeStrain = large;
    ASSERT_TRUE(Cycle::Prepare(false, interp, true));
    Cycle::Step(interp);
    const size_t heap = TestAllocations();
    const uint64_t pool = ModelMemoryInUse();
    for (int i = 0; i < 20; ++i) Cycle::Step(interp);
    EXPECT_EQ(TestAllocations(), heap) << "large strain " << large;
    EXPECT_EQ(ModelMemoryInUse(), pool);
  }
  EXPECT_LT(gps[4]->displacement[2], 0.0);  // the upper brick settles with the lower
  const double average = 0.25 * (lower->Gp(3)->displacement[2] + lower->Gp(5)->displacement[2] +
                                 lower->Gp(7)->displacement[2] + lower->Gp(6)->displacement[2]);
  EXPECT_NEAR(gps[4]->displacement[2], average, 1e-12 * std::fabs(average));
}

// The tie passes give the same bits with the baseline kernels and the AVX2
// ones, in small and large strain.
TEST_F(AttachTest, KernelLevelsGiveTheSameBitsWithTies) {
  if (!SetKernelLevel(KernelLevel::kAvx2)) GTEST_SKIP() << "the processor lacks AVX2";
  std::vector<double> runs[2];
  const KernelLevel levels[2] = {KernelLevel::kBaseline, KernelLevel::kAvx2};
  for (int r = 0; r < 2; ++r) {
    list.DeleteAll();
    Reset();
    ASSERT_TRUE(SetKernelLevel(levels[r]));
    GridPoint* gps[8];
    BuildTiedBricks(gps);
    for (bool large : {false, true}) {
      Settings().largeStrain = large;
      Steps(30);
    }
    for (const GridPoint* gp : GridPointList()) {
      for (const double* v : {gp->velocity, gp->position, gp->displacement, gp->smallDisplacement, gp->unbalancedForce})
        runs[r].insert(runs[r].end(), v, v + 3);
      runs[r].push_back(gp->forceSum);
    }
  }
  SetKernelLevel(KernelLevel::kAvx2);
  ASSERT_EQ(runs[0].size(), runs[1].size());
  EXPECT_EQ(std::memcmp(runs[0].data(), runs[1].data(), runs[0].size() * sizeof(double)), 0);
}

}  // namespace
