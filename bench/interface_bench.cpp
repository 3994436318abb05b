// Building interfaces through INTERFACE on the top of a 100 x 100 x 10 brick
// grid: the 10,000 top faces (20,000 elements) laid at once, and those
// elements refined to a maximum edge of 0.6 (160,000 elements). Both must
// take time in the number of elements.
#include <benchmark/benchmark.h>

#include <initializer_list>

#include "base/command.h"
#include "bench_support.h"
#include "gui/install_subsystems.h"
#include "mechanics/interface.h"
#include "model/grid.h"
#include "model/model_app.h"
#include "model/model_interpreter.h"

namespace {

struct Program : InstalledProgram {
  Program() {
    BuildBrickGrid(100, 100, 10);
    for (Zone* zone : ZoneList()) zone->SetModelByName("elastic");
  }
};

Program& TheProgram() {
  static Program program;
  return program;
}

void BM_InterfaceFaces(benchmark::State& state) {
  Program& p = TheProgram();
  for (auto _ : state) {
    state.PauseTiming();
    ClearInterfaces();
    state.ResumeTiming();
    p.Command("interface 1 face range z 9.9 10.1");
  }
  state.counters["elements"] = Interfaces().Head()->Elements().Count();
}

void BM_InterfaceMaxEdge(benchmark::State& state) {
  Program& p = TheProgram();
  for (auto _ : state) {
    state.PauseTiming();
    ClearInterfaces();
    p.Command("interface 1 face range z 9.9 10.1");
    state.ResumeTiming();
    p.Command("interface 1 maxedge 0.6");
  }
  state.counters["elements"] = Interfaces().Head()->Elements().Count();
}

BENCHMARK(BM_InterfaceFaces)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InterfaceMaxEdge)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
