// Building a grid of n x n x n bricks: through the creation functions that
// GENERATE uses, and as a command file of GP and ZONE lines run by the
// interpreter. Both must grow linearly with the number of zones.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "base/command.h"
#include "bench_support.h"
#include "model/grid.h"
#include "model/grid_commands.h"
#include "model/model_interpreter.h"

namespace {

// GP lines first, then one ZONE line per brick naming its grid-points by id.
std::vector<std::string> CommandLines(int n) {
  std::vector<std::string> lines;
  for (int k = 0; k <= n; ++k)
    for (int j = 0; j <= n; ++j)
      for (int i = 0; i <= n; ++i)
        lines.push_back("gp " + std::to_string(i) + " " + std::to_string(j) + " " + std::to_string(k));
  for (int k = 0; k < n; ++k)
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i) {
        std::string line = "zone brick";
        for (const auto& c : kBrickCorner)
          line += " id " + std::to_string(BrickGridIndex(n, n, i + c[0], j + c[1], k + c[2]) + 1);
        lines.push_back(line);
      }
  return lines;
}

void BM_BuildBrickGrid(benchmark::State& state) {
  InstallGrid();
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    BuildBrickGrid(n, n, n);
    state.PauseTiming();
    if (ZoneList().Count() != static_cast<uint32_t>(n * n * n)) state.SkipWithError("zones missing");
    ClearGrid();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * n * n * n);
  state.counters["zones"] = n * n * n;
}
BENCHMARK(BM_BuildBrickGrid)->Arg(10)->Arg(20)->Arg(40)->Unit(benchmark::kMillisecond);

void BM_RunGpAndZoneLines(benchmark::State& state) {
  InstallGrid();
  static QuietDevice device;
  static MacroTable macros;
  static ModelInterpreter interp(&macros, &device);
  const int n = static_cast<int>(state.range(0));
  const std::vector<std::string> lines = CommandLines(n);
  for (auto _ : state) {
    for (const std::string& line : lines) {
      interp.ClearTokens();
      interp.Expand(String(line));
      interp.Execute();
    }
    state.PauseTiming();
    if (ZoneList().Count() != static_cast<uint32_t>(n * n * n)) state.SkipWithError("zones missing");
    ClearGrid();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(lines.size()));
  state.counters["lines"] = static_cast<double>(lines.size());
}
// 36 x 36 x 36 bricks: about 100,000 GP and ZONE lines.
BENCHMARK(BM_RunGpAndZoneLines)->Arg(10)->Arg(20)->Arg(36)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
