// Editing a grid that is there: COPY and REFLECT of about 10^5 zones, MERGE
// of two slabs that meet on a plane of about 10^5 grid-points (4 x 10^5
// boundary grid-points in all), and DELETE of half of a 100 x 100 x 100
// grid. Each should take time in proportion to what it edits.
#include <benchmark/benchmark.h>

#include <string>

#include "base/command.h"
#include "bench_support.h"
#include "generate/install_generate.h"
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

// One command line, as the command loop hands it over.
void Run(const std::string& line) {
  ModelInterpreter& interp = Interp();
  interp.ClearTokens();
  String text(line.c_str());
  for (String word = text.NextToken(" "); !word.IsEmpty(); word = text.NextToken(" ")) interp.AddToken(word);
  interp.Command();
}

void Install() {
  InstallGrid();
  InstallGenerate();
}

// A 46^3 brick (97,336 zones) copied beside itself, or mirrored below itself:
// one face of 47^2 grid-points merged and 46^2 faces joined.
void CopyOrReflect(benchmark::State& state, const char* line) {
  Install();
  for (auto _ : state) {
    state.PauseTiming();
    ClearGrid();
    Run("gen zone brick size 46 46 46 p1 46 0 0 p2 0 46 0 p3 0 0 46");
    state.ResumeTiming();
    Run(line);
    state.PauseTiming();
    if (ZoneList().Count() != 2u * 46 * 46 * 46) state.SkipWithError("zones not copied");
    state.ResumeTiming();
  }
  ClearGrid();
  state.counters["zones"] = 46 * 46 * 46;
}

void BM_CopyZones(benchmark::State& state) { CopyOrReflect(state, "gen zone copy 46 0 0"); }
BENCHMARK(BM_CopyZones)->Unit(benchmark::kMillisecond);

void BM_ReflectZones(benchmark::State& state) { CopyOrReflect(state, "gen zone reflect"); }
BENCHMARK(BM_ReflectZones)->Unit(benchmark::kMillisecond);

// Two slabs of 316 x 316 x 1 zones, the second on top of the first without
// merging: 99,856 pairs of grid-points on the shared plane.
void BM_MergeSlabs(benchmark::State& state) {
  Install();
  for (auto _ : state) {
    state.PauseTiming();
    ClearGrid();
    Run("gen zone brick size 316 316 1 p1 316 0 0 p2 0 316 0 p3 0 0 1");
    Run("gen zone brick size 316 316 1 p0 0 0 1 p1 316 0 1 p2 0 316 1 p3 0 0 2 nomerge");
    state.ResumeTiming();
    Run("gen merge 1e-3");
    state.PauseTiming();
    if (GridPointList().Count() != 3u * 317 * 317) state.SkipWithError("grid-points not merged");
    state.ResumeTiming();
  }
  ClearGrid();
  state.counters["boundary_gps"] = 4 * 317 * 317;
}
BENCHMARK(BM_MergeSlabs)->Unit(benchmark::kMillisecond);

// Half of a 100 x 100 x 100 grid deleted.
void BM_DeleteHalf(benchmark::State& state) {
  Install();
  for (auto _ : state) {
    state.PauseTiming();
    ClearGrid();
    BuildBrickGrid(100, 100, 100);
    state.ResumeTiming();
    Run("delete range x 50 100");
    state.PauseTiming();
    if (ZoneList().Count() != 500000u) state.SkipWithError("zones not deleted");
    state.ResumeTiming();
  }
  ClearGrid();
  state.counters["deleted"] = 500000;
}
BENCHMARK(BM_DeleteHalf)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
