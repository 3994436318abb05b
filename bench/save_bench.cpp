// SAVE and RESTORE of a grid of n x n x n bricks with elastic zones, through
// the interpreter as the commands run them. Both must take time in the
// number of zones: about a hundred thousand zones in seconds at most.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/command.h"
#include "base/string.h"
#include "bench_support.h"
#include "model/grid.h"
#include "model/model_app.h"
#include "model/model_interpreter.h"

namespace {

struct Program {
  QuietDevice device;
  MacroTable macros;
  ModelInterpreter interp{&macros, &device};
  ModelApp app{&interp};
  Program() {
    app.Identity();
    interp.SetApp(&app);
  }
};

Program& TheProgram() {
  static Program program;
  return program;
}

void BuildGrid(int n) {
  TheProgram().app.New();
  BuildBrickGrid(n, n, n);
  for (Zone* zone : ZoneList()) zone->SetModelByName("elastic");
}

std::string FileName(int n) { return "terrax_save_bench_" + std::to_string(n) + ".sav"; }

void BM_Save(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  BuildGrid(n);
  const String name(FileName(n));
  for (auto _ : state) TheProgram().interp.Save(name, true);
  state.counters["zones"] = static_cast<double>(n) * n * n;
  std::remove(FileName(n).c_str());
}

void BM_Restore(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  BuildGrid(n);
  const String name(FileName(n));
  TheProgram().interp.Save(name, true);
  for (auto _ : state) TheProgram().interp.Restore(name);
  state.counters["zones"] = static_cast<double>(n) * n * n;
  std::remove(FileName(n).c_str());
}

BENCHMARK(BM_Save)->Arg(10)->Arg(22)->Arg(47)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Restore)->Arg(10)->Arg(22)->Arg(47)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
