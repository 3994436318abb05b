// Drawing through a canvas onto a 1024 x 768 raster: every face of a brick
// grid of 100,000 zones, projected with a fixed matrix, filled and outlined;
// and a million short dashed segments. Each must take at most 0.5 s.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "bench_support.h"
#include "devices/canvas.h"
#include "devices/device.h"
#include "model/grid.h"
#include "model/grid_commands.h"
#include "raster_bench_device.h"

namespace {

void BM_FillAndOutlineBrickFaces(benchmark::State& state) {
  const BrickFaces& faces = BrickGridFaces();
  RasterBenchDevice device(1024, 768);
  Canvas canvas(&device);
  CanvasState fill, outline;
  fill.SetDevice(&device);
  outline.SetDevice(&device);
  fill.SetColor(0x40A0E0);
  outline.SetColor(0x202020);
  std::vector<PixelPoint> projected;
  for (auto _ : state) {
    ProjectBrickFaces(faces, 11, {300, 420}, projected);
    for (size_t q = 0; q < faces.quads.size(); q += 4) {
      const PixelPoint quad[4] = {projected[faces.quads[q]], projected[faces.quads[q + 1]],
                                  projected[faces.quads[q + 2]], projected[faces.quads[q + 3]]};
      canvas.FillPolygon(quad, 4, &fill);
      canvas.DrawPolyline(quad, 4, true, &outline);
    }
  }
  state.SetItemsProcessed(state.iterations() * int64_t(faces.quads.size() / 4));
  state.counters["faces"] = double(faces.quads.size() / 4);
}
BENCHMARK(BM_FillAndOutlineBrickFaces)->Unit(benchmark::kMillisecond);

void BM_DashedSegments(benchmark::State& state) {
  constexpr int kSegments = 1000000;
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> x(0, 1023), y(0, 767), d(-40, 40);
  std::vector<PixelPoint> ends(2 * kSegments);
  for (int i = 0; i < kSegments; ++i) {
    ends[2 * i] = {x(rng), y(rng)};
    ends[2 * i + 1] = {ends[2 * i].x + d(rng), ends[2 * i].y + d(rng)};
  }
  RasterBenchDevice device(1024, 768);
  Canvas canvas(&device);
  canvas.State().SetColor(0x202020);
  canvas.State().SetPen(PredefinedLineStyle(1));
  for (auto _ : state) {
    for (int i = 0; i < kSegments; ++i) canvas.DrawPolyline(&ends[2 * i], 2, false);
  }
  state.SetItemsProcessed(state.iterations() * kSegments);
}
BENCHMARK(BM_DashedSegments)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
