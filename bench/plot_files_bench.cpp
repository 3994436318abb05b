// Plot files: every face of a brick grid of 100,000 zones filled and outlined
// through a canvas and written as a PostScript file (at most 1 s); and a
// 1024 x 768 picture of those faces written as BMP, PCX and JPEG (a few
// milliseconds each). The files go to the temporary folder and are removed.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/app.h"
#include "base/command.h"
#include "bench_support.h"
#include "devices/bitmap_device.h"
#include "devices/canvas.h"
#include "devices/image_files.h"
#include "devices/postscript_device.h"
#include "platform/files.h"

namespace {

std::string TempFile(const char* name) { return TempDirectory() + "/" + name; }

// Draws every face: filled in one state, outlined in another.
void DrawFaces(Canvas& canvas, CanvasState& fill, CanvasState& outline, double scale, PixelPoint origin) {
  const BrickFaces& faces = BrickGridFaces();
  static std::vector<PixelPoint> projected;
  ProjectBrickFaces(faces, scale, origin, projected);
  for (size_t q = 0; q < faces.quads.size(); q += 4) {
    const PixelPoint quad[4] = {projected[faces.quads[q]], projected[faces.quads[q + 1]], projected[faces.quads[q + 2]],
                                projected[faces.quads[q + 3]]};
    canvas.FillPolygon(quad, 4, &fill);
    canvas.DrawPolyline(quad, 4, true, &outline);
  }
}

void BM_PostScriptBrickFaces(benchmark::State& state) {
  QuietDevice quiet;
  MacroTable macros;
  CommandType interp(0, &macros, true, &quiet);
  const std::string name = TempFile("terrax-bench.ps");
  PlotOutputName() = name.c_str();
  PostScriptDevice device;
  interp.Expand("color");
  device.ParseKeywords(interp, 0);
  interp.ClearTokens();
  Canvas canvas(&device);
  CanvasState fill, outline;
  fill.SetDevice(&device);
  outline.SetDevice(&device);
  fill.SetColor(0xA0A0A0);
  outline.SetColor(0x202020);
  BrickGridFaces();
  int64_t bytes = 0;
  for (auto _ : state) {
    // Each plot overwrites the last one.
    std::remove(name.c_str());
    device.BeginOutput(interp);
    DrawFaces(canvas, fill, outline, 77, {2100, 2940});
    device.EndOutput();
    bytes = PathSize(name.c_str());
  }
  std::remove(name.c_str());
  PlotOutputName() = String();
  state.counters["MB"] = double(bytes) / 1e6;
  state.SetItemsProcessed(state.iterations() * int64_t(BrickGridFaces().quads.size() / 4));
}
BENCHMARK(BM_PostScriptBrickFaces)->Unit(benchmark::kMillisecond);

// The 1024 x 768 picture of the faces, drawn once.
const Raster& Picture() {
  static const Raster picture = [] {
    BitmapDevice device(BitmapDevice::kBmp);
    Canvas canvas(&device);
    CanvasState fill, outline;
    fill.SetDevice(&device);
    outline.SetDevice(&device);
    fill.SetColor(0xE0A040);
    outline.SetColor(0x202020);
    // A movie frame is a bitmap that no file is named for yet.
    device.BeginMovieFrame();
    DrawFaces(canvas, fill, outline, 11, {300, 420});
    Raster copy = *device.Image();
    device.EndMovieFrame();
    return copy;
  }();
  return picture;
}

void BM_WriteImage(benchmark::State& state) {
  const int format = int(state.range(0));
  const Raster& picture = Picture();
  const std::string name = TempFile("terrax-bench.img");
  for (auto _ : state) {
    if (SaveImage(name.c_str(), picture, format, 50) != kImageSuccess) state.SkipWithError("not written");
  }
  state.counters["KB"] = double(PathSize(name.c_str())) / 1e3;
  std::remove(name.c_str());
}
BENCHMARK(BM_WriteImage)
    ->ArgName("format")
    ->Arg(kImageBmp)
    ->Arg(kImagePcx)
    ->Arg(kImageJpeg)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
