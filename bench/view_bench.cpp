// The per-vertex path of every plot item: the grid-points of a 1000 x 1000
// grid projected through a perspective camera and joined row by row with
// LineTo (segments about a pixel long) on a 1024 x 768 raster. At most 0.1 s.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "raster_bench_device.h"
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

}  // namespace

BENCHMARK_MAIN();
