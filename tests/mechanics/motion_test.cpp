// The grid-point law of motion: density-scaled mass, local and combined
// damping, fixity, applied velocities, the move, the ratio sums and its errors.
#include <vector>

#include "mechanics/apply_condition.h"
#include "mechanics/cycle_fixture.h"
#include "model/module_doubles.h"

namespace {

class MotionTest : public CycleTest {
 protected:
  GridPoint* gp = nullptr;
  void SetUp() override {
    CycleTest::SetUp();
    gp = Gp(0, 0, 0);
    gp->stiffness = 4.0;
    gp->areaSum = 1.0;
    gp->forceSum = 2.0;
    gp->unbalancedForce[0] = 2.0;  // dv = F h / (K h h) = 0.5 with h = 1
    Settings().timestep = 1.0;
  }
};

TEST_F(MotionTest, LocalDampingTakesFourFifthsOfTheIncrement) {
  const struct {
    int kind;
    double v, last, want;
  } cases[] = {
      {0, 1.0, 0.0, 1.1},    // with the velocity: v + 0.2 dv
      {0, -1.0, 0.0, -0.1},  // against it: v + 1.8 dv
      {0, -0.2, 0.0, 0.3},   // damping would reverse it: undamped
      {0, 0.0, 0.0, 0.5},    // from rest: undamped
      {2, 1.0, 0.0, 1.5},    // combined, force growing along the motion: no damping
      {2, 1.0, 3.0, 1.1},    // combined, force falling: twice half the damping
  };
  for (const auto& c : cases) {
    gp->dampingKind = static_cast<uint32_t>(c.kind);
    gp->dampingCoefficient = 0.8;
    gp->velocity[0] = c.v;
    gp->lastForce[0] = c.last;
    MoveGridPoint(*gp);
    EXPECT_NEAR(gp->velocity[0], c.want, 1e-15) << c.kind << " " << c.v;
    EXPECT_EQ(gp->mass, 4.0);
    EXPECT_EQ(gp->lastForce[0], 2.0);  // the force of this move is kept
  }
}

TEST_F(MotionTest, MoveUpdatesDisplacementPositionAndSums) {
  gp->dampingCoefficient = 0.0;
  Settings().timestep = 0.5;  // mass = 4 x 0.25 = 1: dv = F h / m = 1
  MoveGridPoint(*gp);
  EXPECT_EQ(gp->velocity[0], 1.0);
  EXPECT_EQ(gp->displacement[0], 0.5);
  EXPECT_EQ(gp->smallDisplacement[0], 0.5);  // small strain: the position stays
  EXPECT_EQ(gp->position[0], 0.0);
  EXPECT_EQ(Settings().unbalancedForce, 2.0);
  EXPECT_EQ(Settings().sums.unbalanced, 2.0);
  EXPECT_EQ(Settings().sums.forces, 2.0);
  EXPECT_EQ(Settings().sums.localRatio, 1.0);  // |F| / force sum
  Settings().largeStrain = true;
  MoveGridPoint(*gp);
  EXPECT_EQ(gp->position[0], 1.0);
  EXPECT_EQ(gp->smallDisplacement[0], 0.5);
}

TEST_F(MotionTest, FixedDirectionsTakeNoVelocityAndCountNothing) {
  gp->flags = NodeBase::kFixX;
  gp->unbalancedForce[1] = -8.0;
  gp->appliedForce[1][1] = 4.0;
  MoveGridPoint(*gp);
  EXPECT_EQ(gp->velocity[0], 0.0);
  EXPECT_EQ(gp->velocity[1], -1.0);            // (-8 + 4) / 4, from rest
  EXPECT_EQ(Settings().unbalancedForce, 4.0);  // the fixed x force does not count
  EXPECT_EQ(Settings().sums.unbalanced, 4.0);
  EXPECT_EQ(gp->forceSum, 6.0);  // the applied force adds its size
  gp->flags = NodeBase::kFixVelocity;
  gp->velocity[2] = 0.25;  // a fixed velocity is kept
  Settings().unbalancedForce = 0.0;
  Settings().sums.unbalanced = 0.0;
  MoveGridPoint(*gp);
  EXPECT_EQ(gp->velocity[2], 0.25);
  EXPECT_EQ(Settings().sums.unbalanced, 0.0);
}

TEST_F(MotionTest, SkippedGridPointsAreNotMoved) {
  for (uint32_t flag : {0x10u, 0x10000u, 0x100000u}) {
    gp->flags = flag;
    gp->velocity[0] = 0.0;
    gp->stiffness = 0.0;  // not even checked
    MoveGridPoint(*gp);
    EXPECT_EQ(gp->velocity[0], 0.0);
  }
  EXPECT_EQ(TheCycleState().gpCount, 0u);
}

TEST_F(MotionTest, AppliedVelocitiesInGlobalAndLocalAxes) {
  ApplyLocalBlock* block = ApplyCondition::Create(gp)->NewLocalBlock();
  block->mask = 0x5;
  block->kind[0] = kApplyVelocity;
  block->velocity[0] = 3.0;
  block->kind[2] = kApplyAcceleration;
  block->acceleration[2] = 0.5;
  gp->velocity[2] = 1.0;
  MoveGridPoint(*gp);
  EXPECT_EQ(gp->velocity[0], 3.0);
  EXPECT_EQ(gp->velocity[2], 1.5);
  // Local axes turned by 90 degrees about z: local 1 is global y.
  *block = ApplyLocalBlock();
  block->local = 1;
  const double axes[3][3] = {{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) block->axes[i][j] = axes[i][j];
  block->mask = 0x1;
  block->kind[0] = kApplyLocalVelocity;
  block->velocity[0] = 2.0;
  gp->velocity[0] = gp->velocity[1] = gp->velocity[2] = 0.0;
  MoveGridPoint(*gp);
  EXPECT_NEAR(gp->velocity[1], 2.0, 1e-15);
  EXPECT_NEAR(gp->velocity[0], 0.5, 1e-15);  // the global x force moves local -2 freely
}

TEST_F(MotionTest, StaticGridPointWithoutStiffnessStopsTheStep) {
  gp->stiffness = 0.0;
  try {
    MoveGridPoint(*gp);
    FAIL() << "no exception";
  } catch (const QJExcept& e) {
    EXPECT_STREQ(e.Text(), "Zero stiffness in grid-point 1");
  }
  // Through STEP: a grid-point outside every zone.
  Reset();
  Zone* zone = UnitBrick();
  Assign(zone, "elastic", {{"bulk", 1e6}, {"shear", 1e6}}, 1000);
  Gp(5, 5, 5);
  const std::string out = Run({"step 2"});
  EXPECT_NE(out.find("*** Zero stiffness in grid-point 9\n"), std::string::npos) << out;
  EXPECT_EQ(Settings().totalCycles, 1);
}

}  // namespace

namespace {

TEST_F(MotionTest, DynamicModeRayleighDampingMultisteppingAndMass) {
  auto dynamic = std::make_unique<SteppedDynamic>();
  dynamic->settings.multistepping = true;
  TheModules().Add(std::move(dynamic));
  gp->dynamicBlock = std::make_unique<GpDynamicData>();
  GpDynamicData& d = *gp->dynamicBlock;
  d.multiStep = 4.0;
  d.dampingKind = 1;
  d.rayleighAlpha = 0.5;
  gp->mass = 0.0;
  // The dynamic mass is the module's: none is an error.
  Settings().totalCycles = 1;
  try {
    MoveGridPoint(*gp);
    FAIL() << "no exception";
  } catch (const QJExcept& e) {
    EXPECT_STREQ(e.Text(), "Zero mass in grid-point 1");
  }
  gp->mass = 8.0;
  std::vector<int> moved;
  for (int step = 1; step <= 9; ++step) {
    Settings().totalCycles = step;
    const double before = gp->displacement[0];
    MoveGridPoint(*gp);
    if (gp->displacement[0] != before) moved.push_back(step);
  }
  EXPECT_EQ(moved, (std::vector<int>{1, 5, 9}));
  // Rayleigh with h = 4: b = min(1, 4 x 0.5 / 2) = 1, so v = (0 v + dv) / 2.
  gp->velocity[0] = 3.0;
  Settings().totalCycles = 13;
  MoveGridPoint(*gp);
  EXPECT_DOUBLE_EQ(gp->velocity[0], (2.0 * 4.0 / 8.0) / 2.0);
  EXPECT_DOUBLE_EQ(d.acceleration[0], (0.5 - 3.0) / 4.0);
  // dt x alpha / 2 of 1 or more stops the step.
  d.rayleighAlpha = 2.0;
  try {
    MoveGridPoint(*gp);
    FAIL() << "no exception";
  } catch (const QJExcept& e) {
    EXPECT_STREQ(e.Text(), "Viscous damping too high");
  }
}

}  // namespace
