// GENERATE ZONE: zones generated per second for bricks of n x n x n zones,
// alone and glued face to face onto a brick of the same size that is there
// already (every node of the shared face merged, every face joined). Both
// must grow linearly with the number of zones. The first run of a size takes
// fresh memory from the system; later runs reuse the model pool's blocks.
#include <benchmark/benchmark.h>

#include <string>

#include "base/command.h"
#include "generate/install_generate.h"
#include "generate/primitive.h"
#include "model/grid.h"
#include "model/grid_commands.h"
#include "model/model_interpreter.h"
#include "bench_support.h"

namespace {

ModelInterpreter& Interp() {
  static QuietDevice device;
  static MacroTable macros;
  static ModelInterpreter interp(&macros, &device);
  return interp;
}

// An n x n x n brick of unit zones with its origin corner at x = x0.
void GenerateBrick(int n, double x0) {
  MeshPrimitive brick(kPrimBrick);
  for (int m = 0; m < 3; ++m) brick.size[m] = n;
  brick.point[0] = Vec3{x0, 0.0, 0.0};
  brick.given[0] = true;
  double dimensions[kPrimitiveDimensions] = {};
  brick.BuildGrid(0.0, dimensions);
  brick.Generate(Interp());
}

void BM_GenerateBrick(benchmark::State& state) {
  InstallGrid();
  InstallGenerate();
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    GenerateBrick(n, 0.0);
    state.PauseTiming();
    if (ZoneList().Count() != static_cast<uint32_t>(n * n * n)) state.SkipWithError("zones missing");
    ClearGrid();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * n * n * n);
  state.counters["zones"] = n * n * n;
}
BENCHMARK(BM_GenerateBrick)->Arg(10)->Arg(25)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_GlueBrickOntoBrick(benchmark::State& state) {
  InstallGrid();
  InstallGenerate();
  const int n = static_cast<int>(state.range(0));
  const uint32_t expectedGps = static_cast<uint32_t>((2 * n + 1) * (n + 1) * (n + 1));
  for (auto _ : state) {
    state.PauseTiming();
    GenerateBrick(n, 0.0);
    state.ResumeTiming();
    GenerateBrick(n, static_cast<double>(n));
    state.PauseTiming();
    if (GridPointList().Count() != expectedGps) state.SkipWithError("shared face not merged");
    ClearGrid();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * n * n * n);
  state.counters["zones"] = n * n * n;
}
BENCHMARK(BM_GlueBrickOntoBrick)->Arg(10)->Arg(25)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond);

// A 10 x 10 x 10 brick glued onto the side of a million-zone brick: the
// boundary of the large grid is gathered once, so this costs little more
// than a walk over its zones.
void BM_GlueSmallBrickOntoMillionZones(benchmark::State& state) {
  InstallGrid();
  InstallGenerate();
  for (auto _ : state) {
    state.PauseTiming();
    GenerateBrick(100, 0.0);
    state.ResumeTiming();
    GenerateBrick(10, 100.0);
    state.PauseTiming();
    if (GridPointList().Count() != 1030301u + 11u * 11u * 10u) state.SkipWithError("shared face not merged");
    ClearGrid();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_GlueSmallBrickOntoMillionZones)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
