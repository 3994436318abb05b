// GENERATE ZONE: zones generated per second for bricks of n x n x n zones,
// alone and glued face to face onto a brick of the same size that is there
// already (every node of the shared face merged, every face joined), and for
// the curved, radial and uniform-wedge shapes, which should come close to a
// brick's rate. All must grow linearly with the number of zones. The first
// run of a size takes fresh memory from the system; later runs reuse the
// model pool's blocks.
#include <benchmark/benchmark.h>

#include <string>

#include "base/command.h"
#include "bench_support.h"
#include "generate/install_generate.h"
#include "generate/primitive.h"
#include "model/grid.h"
#include "model/grid_commands.h"
#include "model/model_interpreter.h"

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

// A primitive of the type with its default points and the sizes given.
void GenerateShape(int32_t type, std::initializer_list<int> sizes) {
  MeshPrimitive shape(type);
  int m = 0;
  for (int n : sizes) shape.size[m++] = n;
  double dimensions[kPrimitiveDimensions] = {};
  shape.BuildGrid(0.0, dimensions);
  shape.Generate(Interp());
}

// Runs the generation and reports zones per second.
template <class Make>
void RunShape(benchmark::State& state, Make make) {
  InstallGrid();
  InstallGenerate();
  uint32_t zones = 0;
  for (auto _ : state) {
    make();
    state.PauseTiming();
    zones = ZoneList().Count();
    ClearGrid();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * zones);
  state.counters["zones"] = zones;
}

// n x n x n: the same zone count as BM_GenerateBrick.
void BM_GenerateCylinder(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  RunShape(state, [n] { GenerateShape(kPrimCylinder, {n, n, n}); });
}
BENCHMARK(BM_GenerateCylinder)->Arg(25)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond);

// Two bricks of n/2 x n x n/2 joined along their diagonal band: n^3 / 2 zones.
void BM_GenerateRadTunnel(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  RunShape(state, [n] { GenerateShape(kPrimRadTunnel, {n / 2, n, n / 2, n / 2}); });
}
BENCHMARK(BM_GenerateRadTunnel)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond);

// n (n + 1) / 2 zones in each of n / 2 layers; n = 100 makes 252,500.
void BM_GenerateUWedge(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  RunShape(state, [n] { GenerateShape(kPrimUWedge, {n, n / 2, n}); });
}
BENCHMARK(BM_GenerateUWedge)->Arg(25)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
