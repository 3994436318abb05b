// A calculation step allocates nothing: neither from the heap nor from the
// model memory pool.
#include <cstdlib>
#include <new>

#include "base/memory.h"
#include "mechanics/cycle_fixture.h"
#include "support/alloc_counter.h"

namespace {

using AllocationTest = CycleTest;

TEST_F(AllocationTest, StepsAllocateNothing) {
  for (int k = 0; k < 3; ++k) {
    Zone* zone = UnitBrick(0, 0, k);
    if (k == 1)
      Assign(zone, "mohr", {{"bulk", 1e8}, {"shear", 6e7}, {"cohesion", 1e3}, {"friction", 30}, {"tension", 1e10}},
             2000);
    else
      Assign(zone, "elastic", {{"bulk", 1e8}, {"shear", 6e7}}, 2000);
  }
  for (GridPoint* gp : GridPointList())
    if (gp->position[2] == 0.0) gp->flags |= NodeBase::kFixVelocity;
  Settings().gravity[2] = -10.0;
  for (bool large : {false, true}) {
    Settings().largeStrain = large;
    ASSERT_TRUE(Cycle::Prepare(false, interp, true));
    Cycle::Step(interp);
    const size_t heap = TestAllocations();
    const uint64_t pool = ModelMemoryInUse();
    for (int i = 0; i < 50; ++i) Cycle::Step(interp);
    EXPECT_EQ(TestAllocations(), heap) << "large strain " << large;
    EXPECT_EQ(ModelMemoryInUse(), pool);
    ::operator delete(::operator new(16));  // the counter counts
    EXPECT_EQ(TestAllocations(), heap + 1);
  }
  EXPECT_GT(Settings().sums.forces, 0.0);
}

}  // namespace
