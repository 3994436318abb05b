// The attach ties' heavy work: the automatic face search over two bricks
// of about 400,000 zones each, of unequal zone sizes, one on the other
// (about 220,000 outer faces; every grid-point of the seam is tied), the
// force and motion passes of a step over the 100,000 ties of a seam that
// the search made, and a whole step of such a seam with and without its
// ties, single-threaded.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "base/range.h"
#include "bench_support.h"
#include "mechanics/attach_condition.h"
#include "mechanics/cmd_attach.h"
#include "mechanics/cycle.h"
#include "mechanics/install_mechanics_attach.h"
#include "model/grid.h"
#include "model/grid_commands.h"
#include "model/model_interpreter.h"
#include "model/model_settings.h"

namespace {

// nx x ny x nz bricks of side h from the origin shifted by z0, with their
// own grid-points.
void BuildBrick(int nx, int ny, int nz, double h, double z0) {
  std::vector<GridPoint*> gps(static_cast<size_t>((nx + 1) * (ny + 1) * (nz + 1)));
  for (int k = 0; k <= nz; ++k)
    for (int j = 0; j <= ny; ++j)
      for (int i = 0; i <= nx; ++i) {
        const double p[3] = {h * i, h * j, z0 + h * k};
        gps[BrickGridIndex(nx, ny, i, j, k)] = CreateGridPoint(p);
      }
  for (int k = 0; k < nz; ++k)
    for (int j = 0; j < ny; ++j)
      for (int i = 0; i < nx; ++i) {
        GridPoint* corners[8];
        for (int c = 0; c < 8; ++c) {
          const int* d = kBrickCorner[c];
          corners[c] = gps[BrickGridIndex(nx, ny, i + d[0], j + d[1], k + d[2])];
        }
        CreateZone(kBrick, corners);
      }
}

// 200 x 200 x 10 unit zones under 250 x 250 x 6 zones of side 0.8.
void BM_AttachFaceSearch(benchmark::State& state) {
  QuietDevice device;
  MacroTable macros;
  ModelInterpreter interp(&macros, &device);  // a fresh model
  InstallGrid();
  InstallMechanicsAttach();
  BuildBrick(200, 200, 10, 1.0, 0.0);
  BuildBrick(250, 250, 6, 0.8, 10.0);
  const Range everywhere;
  const AttachSearchOptions options;
  uint32_t ties = 0;
  for (auto _ : state) {
    ties = AttachFaceSearch(interp, everywhere, options);
    state.PauseTiming();
    GlobalAttachList().DeleteAll();
    state.ResumeTiming();
  }
  state.counters["zones"] = ZoneList().Count();
  state.counters["ties"] = ties;
}

// The ties of a seam: n x n x 2 unit zones under m x m x 2 zones of side
// n / m, joined by the face search ((m + 1)^2 ties, most of them to faces).
// 200 under 315 gives 99,856 ties whose grid-points lie far beyond the
// caches; 20 under 31 gives 1,024 that stay in them (the arithmetic alone).
void BM_TiePasses(benchmark::State& state) {
  QuietDevice device;
  MacroTable macros;
  ModelInterpreter interp(&macros, &device);
  InstallGrid();
  InstallMechanicsAttach();
  const int n = static_cast<int>(state.range(0)), m = static_cast<int>(state.range(1));
  BuildBrick(n, n, 2, 1.0, 0.0);
  BuildBrick(m, m, 2, static_cast<double>(n) / m, 2.0);
  AttachSearchOptions options;
  options.tolerance = 1e-9;
  AttachFaceSearch(interp, Range(), options);
  AttachList& list = GlobalAttachList();
  list.CheckAll(false);
  const double dt = 1e-3;
  for (auto _ : state) {
    list.ForcePass();
    list.MotionPass(dt, false);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * list.Count());
  state.counters["ties"] = list.Count();
}

// What the ties add to a whole step: the same seam (200 x 200 under 315 x
// 315 zones, one zone thick each), elastic under gravity on a fixed base,
// stepped with the ties (argument 1) and without them (0), where the upper
// grid's lowest grid-points move by the law of motion like any other.
void BM_TieStep(benchmark::State& state) {
  InstalledProgram p;
  BuildBrick(200, 200, 1, 1.0, 0.0);
  BuildBrick(315, 315, 1, 200.0 / 315.0, 1.0);
  for (const char* line :
       {"model elastic", "prop bulk 5e7 shear 3e7 density 2000", "fix x y z range z -0.1 0.1", "set gravity 10"})
    p.Command(line);
  if (state.range(0)) p.Command("attach face tolerance 1e-9");
  Cycle::BeginRun(p.interp);
  Cycle::Prepare(false, p.interp, true);
  for (int i = 0; i < 5; ++i) Cycle::Step(p.interp);
  for (auto _ : state) Cycle::Step(p.interp);
  state.counters["zones"] = ZoneList().Count();
  state.counters["ties"] = GlobalAttachList().Count();
}

}  // namespace

BENCHMARK(BM_AttachFaceSearch)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_TiePasses)->Args({200, 315})->Args({20, 31})->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_TieStep)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(40);

BENCHMARK_MAIN();
