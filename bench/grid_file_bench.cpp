// The grid text file and the water table on brick grids: EXPGRID and IMPGRID
// of n^3 zones, and WATER of a surveyed surface of 2 m^2 triangles over them.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "base/range.h"
#include "bench_support.h"
#include "generate/grid_file.h"
#include "generate/water_table.h"
#include "gui/install_subsystems.h"
#include "model/model_interpreter.h"
#include "model/model_settings.h"

namespace {

constexpr const char* kFile = "bench_grid.Terrax";

void Command(ModelInterpreter& interp, const std::string& line) {
  interp.ClearTokens();
  String rest(line.c_str());
  while (true) {
    String word = interp.SplitWord(rest);
    if (word.IsEmpty()) break;
    interp.AddToken(word);
  }
  interp.TokenIndex() = 1;
}

void BM_ExportGrid(benchmark::State& state) {
  QuietDevice device;
  MacroTable macros;
  ModelInterpreter interp(&macros, &device);
  InstallSubsystems(interp.TheModel());
  const int n = static_cast<int>(state.range(0));
  BuildBrickGrid(n, n, n);
  for (auto _ : state) {
    Command(interp, std::string("expgrid ") + kFile);
    ExportGrid(interp);
  }
  state.SetItemsProcessed(state.iterations() * n * n * n);
}
BENCHMARK(BM_ExportGrid)->Arg(50)->Unit(benchmark::kMillisecond);

void BM_ImportGrid(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  {
    QuietDevice device;
    MacroTable macros;
    ModelInterpreter interp(&macros, &device);
    InstallSubsystems(interp.TheModel());
    BuildBrickGrid(n, n, n);
    Command(interp, std::string("expgrid ") + kFile);
    ExportGrid(interp);
  }
  for (auto _ : state) {
    state.PauseTiming();
    auto* device = new QuietDevice;
    MacroTable macros;
    auto* interp = new ModelInterpreter(&macros, device);
    InstallSubsystems(interp->TheModel());
    Command(*interp, std::string("impgrid ") + kFile);
    state.ResumeTiming();
    ImportGrid(*interp);
    state.PauseTiming();
    delete interp;
    delete device;
    state.ResumeTiming();
  }
  std::remove(kFile);
  state.SetItemsProcessed(state.iterations() * n * n * n);
}
BENCHMARK(BM_ImportGrid)->Arg(50)->Unit(benchmark::kMillisecond);

// n x n cells of two triangles each over an n x n x n grid.
void BM_WaterTriangles(benchmark::State& state) {
  QuietDevice device;
  MacroTable macros;
  ModelInterpreter interp(&macros, &device);
  InstallSubsystems(interp.TheModel());
  const int n = static_cast<int>(state.range(0));
  BuildBrickGrid(n, n, n);
  Settings().gravity[2] = -10.0;
  WaterTable& table = TheWaterTable();
  table.density = 1000.0;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      const double z = 0.5 * n + 0.001 * (i + j);
      const double x0 = i, y0 = j, x1 = i + 1, y1 = j + 1;
      table.faces.push_back(WaterFace{{x0, y0, z}, {x1, y0, z}, {x1, y1, z}});
      table.faces.push_back(WaterFace{{x0, y0, z}, {x1, y1, z}, {x0, y1, z}});
    }
  const Range all;
  for (auto _ : state) table.Apply(all);
  state.counters["triangles"] = static_cast<double>(table.faces.size());
  state.SetItemsProcessed(state.iterations() * (n + 1) * (n + 1) * (n + 1));
}
BENCHMARK(BM_WaterTriangles)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
