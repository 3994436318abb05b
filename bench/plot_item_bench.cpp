// The line items over a brick of zones: grid and boundary drawn into a
// 1024 x 768 BMP (at most 0.5 s for 10^5 zones) and as PostScript (at most
// 1 s), each a whole hardcopy of the view (frame, caption, the item). The
// grid of 10^6 zones into the BMP: at most 10 s.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/command.h"
#include "base/except.h"
#include "devices/output_devices.h"
#include "generate/install_generate.h"
#include "model/grid.h"
#include "model/grid_commands.h"
#include "model/model_interpreter.h"
#include "platform/console_device.h"
#include "plot/plot_item_list.h"
#include "view/model_view.h"

namespace {

class QuietConsole : public ConsoleDevice {
 public:
  void Write(const char*) override {}
  bool ReadLine(std::string&, const char*, const char*) override { return false; }
  int GetKey() override { return 0; }
  bool KeyPressed(int) override { return false; }
  const char* Name() const override { return "Bench"; }
};

// A brick of nx x ny x nz zones, kept while the size stays.
void MakeBrick(ModelInterpreter& interp, int nx, int ny, int nz) {
  if (ZoneList().Count() == uint32_t(nx * ny * nz)) return;
  ClearGrid();
  interp.ClearTokens();
  interp.Expand(String(
      ("gen zone brick size " + std::to_string(nx) + " " + std::to_string(ny) + " " + std::to_string(nz)).c_str()));
  interp.TokenIndex() = 0;
  try {
    interp.Execute();
  } catch (const KWRExcept& e) {
    std::fprintf(stderr, "%s\n", e.Text());
  }
}

void Hardcopy(benchmark::State& state, const char* item, bool bmp, int nx, int ny, int nz) {
  char folder[] = "/tmp/terrax-bench-XXXXXX";
  if (!mkdtemp(folder) || chdir(folder) != 0) {
    state.SkipWithError("no scratch folder");
    return;
  }
  InstallGrid();
  InstallGenerate();
  InstallPlotItems();
  QuietConsole console;
  MacroTable macros;
  ModelInterpreter interp(&macros, &console);
  MakeBrick(interp, nx, ny, nz);
  if (ZoneList().Count() != uint32_t(nx * ny * nz)) {
    state.SkipWithError("the brick was not made");
    return;
  }
  auto line = [&](const char* text, int at) {
    interp.ClearTokens();
    interp.Expand(text);
    interp.TokenIndex() = at;
  };
  line(bmp ? "set plot bmp size 1024 768" : "set plot postscript", 2);
  TheOutputDevices().SetPlot(interp);
  ModelView view;
  line(item, 0);
  static_cast<ItemList&>(view.Items()).AddFromCommand(interp);
  for (auto _ : state) {
    line("plot hardcopy", 2);
    view.Hardcopy(interp);
  }
  state.counters["zones"] = double(ZoneList().Count());

  line("set plot windows", 2);
  TheOutputDevices().SetPlot(interp);
  std::system((std::string("rm -rf ") + folder).c_str());
}

void BM_GridHardcopy(benchmark::State& state) { Hardcopy(state, "grid", state.range(0), 100, 100, 10); }
BENCHMARK(BM_GridHardcopy)->ArgName("bmp")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_BoundaryHardcopy(benchmark::State& state) { Hardcopy(state, "boundary", state.range(0), 100, 100, 10); }
BENCHMARK(BM_BoundaryHardcopy)->ArgName("bmp")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_GridHardcopyMillion(benchmark::State& state) { Hardcopy(state, "grid", true, 100, 100, 100); }
BENCHMARK(BM_GridHardcopyMillion)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
