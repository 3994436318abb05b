// The dynamic mode's costs: a dynamic step against a static one on the same
// grid (masses are found at the preparation only), a dynamic step where most
// zones step four times less often (multistepping), and APPLY ff on a grid of
// 100 x 100 x 50 zones. Single-threaded.
#include <benchmark/benchmark.h>

#include <string>

#include "bench_support.h"
#include "mechanics/cycle.h"
#include "model/calc_module.h"
#include "model/zone.h"

namespace {

enum Mode { kStatic, kDynamic, kMultistep };

// 50 x 50 x 20 elastic zones on a fixed base, loaded by gravity; with multistepping all but the
// lowest layer are 40 times softer, so that their own step is about six
// times the critical one (multiplier 4).
void BM_Step(benchmark::State& state, Mode mode) {
  InstalledProgram program;
  program.Command("gen zone brick size 50 50 20");
  program.Command("model elastic");
  program.Command("prop bulk 2e8 shear 1e8 density 2000");
  if (mode == kMultistep) program.Command("prop bulk 5e6 shear 2.5e6 range z 1 20");
  program.Command("fix x y z range z -0.1 0.1");
  program.Command("set gravity 0 0 -10");
  if (mode != kStatic) program.Command("config dynamic");
  if (mode == kMultistep) program.Command("set dynamic multistep on");
  if (!Cycle::Prepare(false, program.interp, true)) state.SkipWithError("preparation failed");
  for (int i = 0; i < 8; ++i) Cycle::Step(program.interp);
  for (auto _ : state) Cycle::Step(program.interp);
  int four = 0;
  for (Zone* z : ZoneList()) four += z->dynamicMultiplier && *z->dynamicMultiplier == 4.0;
  state.counters["zones"] = static_cast<double>(ZoneList().Count());
  state.counters["multiplier_4"] = four;
}

void BM_ApplyFreeField(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    {
      InstalledProgram program;
      program.Command("config dynamic");
      program.Command("gen zone brick size 100 100 50");
      program.Command("model elastic");
      program.Command("prop bulk 2e8 shear 1e8 density 2000");
      state.ResumeTiming();
      program.Command("apply ff");
      state.PauseTiming();
      state.counters["zones"] = static_cast<double>(ZoneList().Count());
    }
    state.ResumeTiming();
  }
}

}  // namespace

BENCHMARK_CAPTURE(BM_Step, static, kStatic)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_CAPTURE(BM_Step, dynamic, kDynamic)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_CAPTURE(BM_Step, multistep, kMultistep)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ApplyFreeField)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
