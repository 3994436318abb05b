// Interfaces in the calculation: two 100 x 100 x 10 brick grids, one on the
// other without shared grid-points (200,000 zones), an interface of 10,201
// nodes on the lower grid's top. Measures the preparation of a calculation
// (exposed-face list, cells, every node's area and target search), the
// contact and motion passes of one step, and a whole step of the model for
// comparison; single-threaded.
#include <benchmark/benchmark.h>

#include <vector>

#include "base/command.h"
#include "bench_support.h"
#include "gui/install_subsystems.h"
#include "mechanics/cycle.h"
#include "mechanics/interface.h"
#include "model/grid.h"
#include "model/model_app.h"
#include "model/model_interpreter.h"
#include "model/model_settings.h"

namespace {

struct Program : InstalledProgram {
  Program() {
    // The interface on the lower grid's top before the upper grid is there.
    BuildBrickGrid(100, 100, 10, 0.0);
    Command("model elastic");
    Command("interface 1 face range z 9.9 10.1");
    BuildBrickGrid(100, 100, 10, 10.0);
    for (const char* line : {"model elastic", "prop bulk 5e7 shear 3e7 density 2000", "fix x y z range z -0.1 0.1",
                             "set gravity 10", "interface 1 property kn 1e9 ks 1e9 friction 30"})
      Command(line);
    Cycle::BeginRun(interp);
    Cycle::Prepare(false, interp, true);
    for (int i = 0; i < 10; ++i) Cycle::Step(interp);  // under way: in contact everywhere
  }
};

Program& TheProgram() {
  static Program program;
  return program;
}

uint32_t InContact() {
  uint32_t n = 0;
  for (const InterfaceNode* node = Interfaces().Head()->Nodes().Head(); node; node = InterfaceNodeList::Next(node))
    if (node->HasTarget()) ++n;
  return n;
}

void BM_InterfacePreparation(benchmark::State& state) {
  Program& p = TheProgram();
  for (auto _ : state) Interfaces().PrepareContact(false, p.interp);
  state.counters["nodes"] = Interfaces().Head()->Nodes().Count();
  state.counters["targets"] = InContact();
  state.counters["faces"] = Interfaces().Cells().FaceCount();
}

void BM_InterfaceStepPasses(benchmark::State& state) {
  TheProgram();
  InterfaceList& list = Interfaces();
  for (auto _ : state) {
    list.ContactPass();
    list.MotionPass();
  }
  state.counters["nodes"] = list.Head()->Nodes().Count();
  state.counters["elements"] = list.Head()->Elements().Count();
}

void BM_ModelStep(benchmark::State& state) {
  Program& p = TheProgram();
  for (auto _ : state) Cycle::Step(p.interp);
  state.counters["zones"] = ZoneList().Count();
}

BENCHMARK(BM_InterfacePreparation)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_InterfaceStepPasses)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ModelStep)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
