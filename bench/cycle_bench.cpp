// Zone-steps per second of the calculation cycle on a brick grid of
// 50 x 50 x 40 = 100,000 zones (and 50 x 50 x 400 = 1,000,000) on rollers
// with a fixed base, settling under gravity: elastic,
// Mohr-Coulomb staying mostly elastic, Mohr-Coulomb yielding, and a fifth
// of the zones yielding in Mohr-Coulomb while the rest stay elastic. Also
// reports the memory the grid takes. The second argument picks the kernels'
// instruction-set level (0 the baseline code, 1 AVX2 where the processor has it);
// the third, where given, the threads of the step (elapsed time then).
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/memory.h"
#include "bench_support.h"
#include "cmodels/constitutive_model.h"
#include "mechanics/cycle.h"
#include "mechanics/install_mechanics_apply.h"
#include "mechanics/motion.h"
#include "mechanics/step_chunks.h"
#include "mechanics/zone_pass.h"
#include "model/grid.h"
#include "model/grid_commands.h"
#include "model/model_interpreter.h"
#include "model/model_settings.h"

namespace {

constexpr int kNx = 50, kNy = 50;
int kNz = 40;  // 40 layers: 100,000 zones

// Bytes in use: the model memory pool and the heap (the constitutive models).
double BytesInUse() { return static_cast<double>(ModelMemoryInUse()) + static_cast<double>(mallinfo2().uordblks); }

// On rollers at the sides, fixed at the base.
void BuildGrid() {
  BuildBrickGrid(kNx, kNy, kNz);
  for (GridPoint* gp : GridPointList()) {
    if (gp->position[0] == 0.0 || gp->position[0] == kNx) gp->flags |= NodeBase::kFixX;
    if (gp->position[1] == 0.0 || gp->position[1] == kNy) gp->flags |= NodeBase::kFixY;
    if (gp->position[2] == 0.0) gp->flags |= NodeBase::kFixZ;
  }
}

enum Material { kElastic, kMohrElastic, kMohrYielding, kMohrFifthYielding };

void AssignModels(Material material) {
  for (Zone* zone : ZoneList()) {
    zone->SetModelByName(material == kElastic ? "elastic" : "mohr");
    ConstitutiveModel* m = zone->Model();
    m->SetPropertyValue("bulk", 5e7);
    m->SetPropertyValue("shear", 3e7);
    if (material != kElastic) {
      // A fifth of the zones, the lowest layers, weak where the others stay elastic.
      double c[3];
      zone->Centroid(c);
      const bool weak = material == kMohrYielding || (material == kMohrFifthYielding && c[2] < 0.2 * kNz);
      m->SetPropertyValue("cohesion", weak ? 1.0 : 1e6);
      m->SetPropertyValue("friction", weak ? 10.0 : 30.0);
      m->SetPropertyValue("tension", 1e10);
    }
    zone->SetDensity(2000.0);
  }
}

void StepOn(benchmark::State& state, Material material, int threads) {
  kNz = static_cast<int>(state.range(0));
  SetStepThreads(threads);
  if (!SetKernelLevel(state.range(1) ? KernelLevel::kAvx2 : KernelLevel::kBaseline)) {
    state.SkipWithError("the processor lacks AVX2");
    return;
  }
  QuietDevice device;
  MacroTable macros;
  ModelInterpreter interp(&macros, &device);  // a fresh model
  InstallGrid();
  InstallMechanicsApply();  // gravity loads the grid at the preparation, as in the program

  const double before = BytesInUse();
  BuildGrid();
  AssignModels(material);
  const double after = BytesInUse();
  Settings().gravity[2] = -10.0;
  if (!Cycle::Prepare(false, interp, true)) state.SkipWithError("preparation failed");
  for (int i = 0; i < 20; ++i) Cycle::Step(interp);  // under way: velocities and stresses everywhere

  // A checksum of the state after these steps: the same on every machine and
  // with every change that keeps the arithmetic.
  double checksum = 0.0;
  for (Zone* zone : ZoneList())
    for (int o = 0; o < 2; ++o)
      for (int k = 0; k < zone->TetraPerOverlay(); ++k)
        for (double s : zone->Tetra(o)[k].stress) checksum += s;
  for (GridPoint* gp : GridPointList()) checksum += gp->velocity[2];
  std::fprintf(stderr, "%d layers, model %d, level %d, %d threads: checksum %.17g\n", kNz, static_cast<int>(material),
               static_cast<int>(state.range(1)), threads, checksum);

  for (auto _ : state) Cycle::Step(interp);

  const double zones = ZoneList().Count();
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * zones));
  state.counters["zones"] = zones;
  state.counters["bytes_per_zone"] = (after - before) / zones;
  state.counters["ratio"] = Settings().forceRatio;
  int yielding = 0;
  for (Zone* zone : ZoneList()) yielding += zone->Tetra(0)[0].state & 1;
  state.counters["yielding"] = yielding / zones;
}

void BM_Step(benchmark::State& state, Material material) { StepOn(state, material, 1); }

void BM_Threads(benchmark::State& state, Material material) {
  StepOn(state, material, static_cast<int>(state.range(2)));
}

}  // namespace

BENCHMARK_CAPTURE(BM_Step, elastic, kElastic)
    ->Args({40, 1})
    ->Args({40, 0})
    ->Args({400, 1})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
BENCHMARK_CAPTURE(BM_Step, mohr_elastic, kMohrElastic)
    ->Args({40, 1})
    ->Args({40, 0})
    ->Args({400, 1})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
BENCHMARK_CAPTURE(BM_Step, mohr_yielding, kMohrYielding)
    ->Args({40, 1})
    ->Args({40, 0})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
// The step on 1, 2, 4 and 8 threads (AVX2 kernels), elapsed time: the
// arguments are the layers, the level and the threads.
static void ThreadArgs(benchmark::internal::Benchmark* b) {
  for (int layers : {40, 400})
    for (int threads : {1, 2, 4, 8}) b->Args({layers, 1, threads});
}
BENCHMARK_CAPTURE(BM_Threads, elastic, kElastic)
    ->Apply(ThreadArgs)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
BENCHMARK_CAPTURE(BM_Threads, mohr_elastic, kMohrElastic)
    ->Apply(ThreadArgs)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
BENCHMARK_CAPTURE(BM_Threads, mohr_yielding, kMohrYielding)
    ->Apply(ThreadArgs)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
// Yielding changes from step to step: for comparing two programs, the same
// number of steps in each.
BENCHMARK_CAPTURE(BM_Step, mohr_yielding_60_steps, kMohrYielding)
    ->Args({40, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(60);
// A fifth of the zones yielding, the rest of them elastic.
BENCHMARK_CAPTURE(BM_Step, mohr_fifth_yielding, kMohrFifthYielding)
    ->Args({40, 1})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
// A thin grid whose data stays in the caches: the cost of the arithmetic alone.
BENCHMARK_CAPTURE(BM_Step, elastic_cached, kElastic)->Args({1, 1})->Unit(benchmark::kMillisecond)->MinTime(1.0);

BENCHMARK_MAIN();
