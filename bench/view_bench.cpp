// The per-vertex path of every plot item: the grid-points of a 1000 x 1000
// grid projected through a perspective camera and joined row by row with
// LineTo (segments about a pixel long) on a 1024 x 768 raster. At most 0.1 s.
// Then a view's own costs: a hardcopy of a view without items (frame,
// caption, legend) as a PostScript file and as a 1024 x 768 BMP, in
// milliseconds; and the key poll that plot items call between drawing
// steps, a million calls in no measurable time.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/command.h"
#include "base/stream.h"
#include "devices/canvas.h"
#include "devices/output_devices.h"
#include "platform/console_device.h"
#include "raster_bench_device.h"
#include "view/model_view.h"
#include "view/view_window.h"

namespace {

class GridCamera : public Camera {
 public:
  ModelBox box;
  ModelBox ModelBounds() override { return box; }
};

void BM_ProjectAndJoinGridPoints(benchmark::State& state) {
  constexpr int kSide = 1000;
  std::vector<Vec3> points;
  points.reserve(size_t(kSide) * kSide);
  for (int j = 0; j < kSide; ++j)
    for (int i = 0; i < kSide; ++i)
      points.push_back({i * 0.01, j * 0.01, 0.5 * std::sin(i * 0.02) * std::cos(j * 0.03)});
  RasterBenchDevice device(1024, 768);
  Canvas surface(&device);
  GridCamera camera;
  camera.box.min = {0, 0, -0.5};
  camera.box.max = {10, 10, 0.5};
  camera.SetRotation(Vec3{30, 0, 20} * kDegree);
  ViewHost view;
  CameraViewWindow window(&view, &camera);
  window.AttachCanvas(&surface);
  window.SetSize(1024, 768);
  window.State().SetColor(0x202020);
  for (auto _ : state) {
    for (int j = 0; j < kSide; ++j) {
      const Vec3* row = &points[size_t(j) * kSide];
      DVect2 v;
      window.Project(row[0], v);
      window.MoveTo(v);
      for (int i = 1; i < kSide; ++i) {
        window.Project(row[i], v);
        window.LineTo(v);
      }
    }
    benchmark::DoNotOptimize(device.Picture().Pixel(512, 384));
  }
  state.SetItemsProcessed(state.iterations() * int64_t(kSide) * kSide);
  // The grid fills the picture: nothing was rejected wholesale.
  const Raster& picture = device.Picture();
  int64_t inked = 0;
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x) inked += picture.Pixel(x, y) != 0xFFFFFF;
  state.counters["inked"] = double(inked) / (picture.Width() * picture.Height());
}
BENCHMARK(BM_ProjectAndJoinGridPoints)->Unit(benchmark::kMillisecond);

// A console that answers no key.
class QuietConsole : public ConsoleDevice {
 public:
  void Write(const char*) override {}
  bool ReadLine(std::string&, const char*, const char*) override { return false; }
  int GetKey() override { return 0; }
  bool KeyPressed(int) override { return false; }
  const char* Name() const override { return "Bench"; }
};

void BM_HardcopyEmptyView(benchmark::State& state) {
  char folder[] = "/tmp/terrax-bench-XXXXXX";
  if (!mkdtemp(folder) || chdir(folder) != 0) {
    state.SkipWithError("no scratch folder");
    return;
  }
  QuietConsole console;
  MacroTable macros;
  CommandType interp(0, &macros, true, &console);
  auto line = [&](const char* text) {
    interp.ClearTokens();
    interp.Expand(text);
    interp.TokenIndex() = 2;
  };
  line(state.range(0) == 0 ? "set plot postscript" : "set plot bmp size 1024 768");
  TheOutputDevices().SetPlot(interp);
  ModelView view;
  for (auto _ : state) {
    line("plot hardcopy");
    view.Hardcopy(interp);
  }
  line("set plot windows");
  TheOutputDevices().SetPlot(interp);
  std::system((std::string("rm -rf ") + folder).c_str());
}
BENCHMARK(BM_HardcopyEmptyView)->ArgName("bmp")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_PollKey(benchmark::State& state) {
  QuietConsole console;
  MacroTable macros;
  CommandType interp(0, &macros, true, &console);
  RasterBenchDevice device(64, 48);
  Canvas surface(&device);
  ViewPort view;
  view.SetSurface(&surface);
  view.SetInterruptStream(&interp);
  for (auto _ : state) {
    for (int i = 0; i < 1000000; ++i) view.PollKey();
  }
  view.SetInterruptStream(nullptr);
  view.SetSurface(nullptr);
  state.SetItemsProcessed(state.iterations() * 1000000);
}
BENCHMARK(BM_PollKey)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
