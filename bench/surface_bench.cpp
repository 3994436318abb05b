// GENERATE surfaces at survey size: the grid-mode import of a 100 x 100
// survey (about 4 x 10^4 triangles), TOPOGRAPH of about 10^5 grid-points
// under it, and the range element "volume" over about 10^5 zones against a
// closed surface of about 10^4 triangles.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "base/range.h"
#include "bench_support.h"
#include "generate/gen_geometry.h"
#include "generate/gen_surface.h"
#include "generate/topograph.h"
#include "gui/install_subsystems.h"
#include "model/grid.h"
#include "model/model_interpreter.h"

namespace {

constexpr const char* kSurvey = "bench_survey.txt";
constexpr int kGrid = 46;      // 46^3 zones, 47^3 grid-points
constexpr int kSurveyN = 100;  // survey points per row and per column

// The tokens of a line, the first word taken as the command word.
void Command(ModelInterpreter& interp, const std::string& line) {
  interp.ClearTokens();
  String rest(line.c_str());
  while (true) {
    String word = interp.SplitWord(rest);
    if (word.IsEmpty()) break;
    interp.AddToken(word);
  }
  interp.TokenIndex() = 1;
}

// A rolling ground over the grid's extent, rows of equal y.
void WriteSurvey() {
  FILE* f = std::fopen(kSurvey, "w");
  const double step = static_cast<double>(kGrid) / (kSurveyN - 1);
  for (int j = 0; j < kSurveyN; ++j)
    for (int i = 0; i < kSurveyN; ++i) {
      const double x = i * step, y = j * step;
      std::fprintf(f, "%.10g %.10g %.10g\n", x, y, kGrid + 5.0 + 3.0 * std::sin(0.3 * x) * std::cos(0.2 * y));
    }
  std::fclose(f);
}

void ImportSurvey(ModelInterpreter& interp) {
  Command(interp, std::string("surface file ") + kSurvey + " import surfid 2");
  SurfaceCommand(interp);
}

void BM_ImportSurvey(benchmark::State& state) {
  QuietDevice device;
  MacroTable macros;
  ModelInterpreter interp(&macros, &device);
  InstallSubsystems(interp.TheModel());
  WriteSurvey();
  for (auto _ : state) {
    state.PauseTiming();
    ResetGenGeometry();
    state.ResumeTiming();
    ImportSurvey(interp);
  }
  const size_t triangles = ActiveGenGeometry()->Triangles().Count();
  if (triangles != 4u * (kSurveyN - 1) * (kSurveyN - 1)) state.SkipWithError("survey not triangulated");
  state.counters["triangles"] = static_cast<double>(triangles);
  std::remove(kSurvey);
}
BENCHMARK(BM_ImportSurvey)->Unit(benchmark::kMillisecond);

void BM_Topograph(benchmark::State& state) {
  QuietDevice device;
  MacroTable macros;
  ModelInterpreter interp(&macros, &device);
  InstallSubsystems(interp.TheModel());
  WriteSurvey();
  ImportSurvey(interp);
  std::remove(kSurvey);
  BuildBrickGrid(kGrid, kGrid, kGrid);
  std::vector<double> heights;
  for (const GridPoint* gp : GridPointList()) heights.push_back(gp->position[2]);
  for (auto _ : state) {
    state.PauseTiming();
    size_t n = 0;
    for (GridPoint* gp : GridPointList()) {
      gp->position[2] = heights[n++];
      gp->flags &= ~NodeBase::kTopographMoved;
    }
    Command(interp, "topograph surfid 2");
    state.ResumeTiming();
    TopographCommand(interp);
  }
  size_t moved = 0;
  for (const GridPoint* gp : GridPointList()) moved += (gp->flags & NodeBase::kTopographMoved) ? 1 : 0;
  if (moved != GridPointList().Count()) state.SkipWithError("grid-points left under no triangle");
  state.counters["gridpoints"] = static_cast<double>(GridPointList().Count());
  state.counters["triangles"] = static_cast<double>(ActiveGenGeometry()->Triangles().Count());
}
BENCHMARK(BM_Topograph)->Unit(benchmark::kMillisecond);

// The surface of a cube of side `size` from `low`, each face in n x n
// squares of two triangles.
void AddCube(int n, double low, double size) {
  GenGeometry& g = *ActiveGenGeometry();
  for (int axis = 0; axis < 3; ++axis)
    for (double side : {low, low + size}) {
      auto at = [&](int i, int j) {
        Vec3 p;
        p.Component(axis) = side;
        p.Component((axis + 1) % 3) = low + i * size / n;
        p.Component((axis + 2) % 3) = low + j * size / n;
        return p;
      };
      for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
          g.CreateTriangle(at(i, j), at(i + 1, j), at(i + 1, j + 1), 1, String(), nullptr);
          g.CreateTriangle(at(i, j), at(i + 1, j + 1), at(i, j + 1), 1, String(), nullptr);
        }
    }
  g.BuildVolumes(nullptr, true);
}

// Every zone of the grid tested against a closed surface that holds about
// a third of them. The first test builds the volume's candidate lists; the
// iterations after it reuse them.
void BM_RangeVolume(benchmark::State& state) {
  QuietDevice device;
  MacroTable macros;
  ModelInterpreter interp(&macros, &device);
  InstallSubsystems(interp.TheModel());
  BuildBrickGrid(kGrid, kGrid, kGrid);
  AddCube(29, 7.3, 32.1);  // 6 x 29 x 29 x 2 = 10092 triangles
  Command(interp, "group range volume 1");
  Range range;
  range.Parse(interp);
  size_t inside = 0;
  for (auto _ : state) {
    inside = 0;
    for (const Zone* z : ZoneList()) inside += range.IsIn(z) ? 1 : 0;
    benchmark::DoNotOptimize(inside);
  }
  if (inside != 32u * 32u * 32u) state.SkipWithError("wrong zones inside");
  state.counters["zones"] = static_cast<double>(ZoneList().Count());
  state.counters["triangles"] = static_cast<double>(ActiveGenGeometry()->Triangles().Count());
  state.counters["inside"] = static_cast<double>(inside);
}
BENCHMARK(BM_RangeVolume)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
