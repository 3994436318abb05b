// A calculation step allocates nothing: neither from the heap nor from the
// model memory pool.
#include <cstdlib>
#include <new>

#include "base/memory.h"
#include "mechanics/cycle_fixture.h"

// Counts every allocation of the test program. Weak, as in the other test programs.
namespace {
size_t g_allocations = 0;
}
__attribute__((weak)) void* operator new(std::size_t n) {
  ++g_allocations;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
__attribute__((weak)) void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  ++g_allocations;
  return std::malloc(n ? n : 1);
}
__attribute__((weak)) void* operator new[](std::size_t n) { return operator new(n); }
__attribute__((weak)) void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
__attribute__((weak)) void operator delete(void* p) noexcept { std::free(p); }
__attribute__((weak)) void operator delete(void* p, std::size_t) noexcept { std::free(p); }
__attribute__((weak)) void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
__attribute__((weak)) void operator delete[](void* p) noexcept { std::free(p); }
__attribute__((weak)) void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
__attribute__((weak)) void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

using AllocationTest = CycleTest;

TEST_F(AllocationTest, StepsAllocateNothing) {
  for (int k = 0; k < 3; ++k) {
    Zone* zone = UnitBrick(0, 0, k);
    if (k == 1)
      Assign(zone, "mohr", {{"bulk", 1e8}, {"shear", 6e7}, {"cohesion", 1e3}, {"friction", 30}, {"tension", 1e10}}, 2000);
    else
      Assign(zone, "elastic", {{"bulk", 1e8}, {"shear", 6e7}}, 2000);
  }
  for (GridPoint* gp : GridPointList())
    if (gp->position[2] == 0.0) gp->flags |= NodeBase::kFixVelocity;
  Settings().gravity[2] = -10.0;
  Phases().prepareApply = &GravityLoads;
  for (bool large : {false, true}) {
    Settings().largeStrain = large;
    ASSERT_TRUE(Cycle::Prepare(false, interp, true));
    Cycle::Step(interp);
    const size_t heap = g_allocations;
    const uint64_t pool = ModelMemoryInUse();
    for (int i = 0; i < 50; ++i) Cycle::Step(interp);
    EXPECT_EQ(g_allocations, heap) << "large strain " << large;
    EXPECT_EQ(ModelMemoryInUse(), pool);
    ::operator delete(::operator new(16));  // the counter counts
    EXPECT_EQ(g_allocations, heap + 1);
  }
  EXPECT_GT(Settings().cycleReals[2], 0.0);
}

}  // namespace
