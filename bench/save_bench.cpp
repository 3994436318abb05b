// SAVE and RESTORE of a grid of n x n x n bricks with elastic zones, through
// the interpreter as the commands run them. Both must take time in the
// number of zones: about a hundred thousand zones in seconds at most.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/command.h"
#include "base/string.h"
#include "model/grid.h"
#include "model/model_app.h"
#include "model/model_interpreter.h"
#include "platform/console_device.h"

namespace {

// A console that shows nothing and has no typed input.
class QuietDevice : public ConsoleDevice {
 public:
  void Write(const char*) override {}
  int GetKey() override { return 0; }
  bool KeyPressed(int) override { return false; }
  bool ReadLine(std::string&, const char*, const char*) override { return false; }
  const char* Name() const override { return "GUI Terminal"; }
};

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

int GpIndex(int n, int i, int j, int k) { return (k * (n + 1) + j) * (n + 1) + i; }

constexpr int kCorner[8][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}, {0, 1, 1}, {1, 0, 1}, {1, 1, 1}};

void BuildGrid(int n) {
  TheProgram().app.New();
  std::vector<GridPoint*> gps(static_cast<size_t>((n + 1) * (n + 1) * (n + 1)));
  for (int k = 0; k <= n; ++k)
    for (int j = 0; j <= n; ++j)
      for (int i = 0; i <= n; ++i) {
        const double p[3] = {double(i), double(j), double(k)};
        gps[static_cast<size_t>(GpIndex(n, i, j, k))] = CreateGridPoint(p);
      }
  for (int k = 0; k < n; ++k)
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i) {
        GridPoint* corners[8];
        for (int c = 0; c < 8; ++c)
          corners[c] = gps[static_cast<size_t>(GpIndex(n, i + kCorner[c][0], j + kCorner[c][1], k + kCorner[c][2]))];
        CreateZone(kBrick, corners)->SetModelByName("elastic");
      }
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
