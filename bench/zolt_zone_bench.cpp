// The zone intrinsics: a function that walks 10^5 zones, reading z_szz and
// writing z_extra in each (at most 20 ms, no allocation per call); nearest
// zone and grid-point look-ups in the same block.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "base/command.h"
#include "bench_support.h"
#include "model/grid.h"
#include "model/model_settings.h"
#include "model/zone.h"
#include "zolt/zolt_interpreter.h"
#include "zolt/zolt_model_pointers.h"

// Every allocation of the program is counted.
namespace {
std::atomic<uint64_t> g_allocations{0};
}  // namespace
void* operator new(size_t bytes) {
  ++g_allocations;
  if (void* p = std::malloc(bytes ? bytes : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

// A block of n x n x n elastic unit bricks with one extra variable each.
void MakeBlock(int n) {
  ClearGrid();
  Settings().zoneExtras = 1;
  BuildBrickGrid(n, n, n);
  for (Zone* z : ZoneList()) z->SetModelByName("elastic");
}

void BM_ZoneLoopReadAndWrite(benchmark::State& state) {
  ScriptProgram p;
  InstallZoltZoneIntrinsics();
  MakeBlock(static_cast<int>(state.range(0)));
  p.Type(
      "define walk\n"
      "  z = zone_head\n"
      "  loop while z # null\n"
      "    z_extra(z, 1) = z_szz(z)\n"
      "    z = z_next(z)\n"
      "  end_loop\n"
      "end\n");
  ZoltStatement* head = p.zolt.State().symbols.Find(String("walk"))->function;
  p.zolt.Execute(p.interp, head);
  uint64_t allocations = 0;
  for (auto _ : state) {
    const uint64_t before = g_allocations;
    p.zolt.Execute(p.interp, head);
    allocations += g_allocations - before;
  }
  state.counters["zones"] = static_cast<double>(ZoneList().Count());
  state.counters["allocs/run"] = static_cast<double>(allocations) / static_cast<double>(state.iterations());
  ClearGrid();
  Settings().zoneExtras = 0;
}
BENCHMARK(BM_ZoneLoopReadAndWrite)->Arg(47)->Unit(benchmark::kMillisecond);

// z_near and gp_near at 1000 points spread through the same block: each
// look-up reads the cells around its point, not the lists.
void BM_NearestZoneAndGridPoint(benchmark::State& state) {
  ScriptProgram p;
  InstallZoltZoneIntrinsics();
  MakeBlock(static_cast<int>(state.range(0)));
  p.Type(
      "define near\n"
      "  loop k (1, 1000)\n"
      "    x = 0.047 * k\n"
      "    y = 47.0 - 0.047 * k\n"
      "    z = k - (k / 47) * 47 + 0.3\n"
      "    a = z_near(x, y, z)\n"
      "    b = gp_near(x, y, z)\n"
      "  end_loop\n"
      "end\n");
  ZoltStatement* head = p.zolt.State().symbols.Find(String("near"))->function;
  p.zolt.Execute(p.interp, head);  // lays the indexes out
  for (auto _ : state) p.zolt.Execute(p.interp, head);
  state.counters["zones"] = static_cast<double>(ZoneList().Count());
  ClearGrid();
  Settings().zoneExtras = 0;
}
BENCHMARK(BM_NearestZoneAndGridPoint)->Arg(47)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
