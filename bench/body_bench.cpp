// BODY: GENERATE ZONE BODY and BODY PRINT's zone statistics over the largest
// lattice of bricks a solid holds (6 x 6 x 6 blocks; a seventh layer needs
// more faces than the solid has), each block of n x n x n zones, and the
// kernel's filling of that lattice through setcell and setsolid. Every block
// after the first merges with the blocks made before it.
#include <benchmark/benchmark.h>

#include <vector>

#include "base/command.h"
#include "bench_support.h"
#include "generate/body/body.h"
#include "generate/install_generate.h"
#include "model/grid.h"
#include "model/grid_commands.h"
#include "model/model_interpreter.h"

namespace {

constexpr int32_t kBlocks = 6;

ModelInterpreter& Interp() {
  static QuietDevice device;
  static MacroTable macros;
  static ModelInterpreter interp(&macros, &device);
  return interp;
}

// A lattice of blocks x blocks x blocks bricks of edge 1 sharing their
// vertices, edges and faces.
void FillLattice(Solid& solid, int32_t blocks) {
  solid.Clear();
  const int32_t m = blocks + 1;
  auto id = [m](int32_t i, int32_t j, int32_t k) { return (k * m + j) * m + i; };
  for (int32_t k = 0; k <= blocks; ++k)
    for (int32_t j = 0; j <= blocks; ++j)
      for (int32_t i = 0; i <= blocks; ++i) solid.SetVertex(id(i, j, k), i, j, k);
  for (int32_t k = 0; k < blocks; ++k)
    for (int32_t j = 0; j < blocks; ++j)
      for (int32_t i = 0; i < blocks; ++i) {
        int32_t v[8];
        for (int32_t c = 0; c < 8; ++c)
          v[c] = id(i + static_cast<int32_t>(kSolidCellCorner[c][0]), j + static_cast<int32_t>(kSolidCellCorner[c][1]),
                    k + static_cast<int32_t>(kSolidCellCorner[c][2]));
        solid.setcell(0, kFormBrick, v, 0, 0, 0, 0, 0, 0);
      }
}

// The body's working solid as the lattice with n zones along every edge.
void PrepareBody(int32_t zones) {
  ResetBody();
  Solid& solid = TheBody().Working();
  FillLattice(solid, kBlocks);
  for (int32_t s = 1; s <= solid.SizeCount(); ++s)
    if (solid.Size(s).defined) solid.SetSize(s, zones);
}

void BM_GenerateZoneBody(benchmark::State& state) {
  InstallGrid();
  InstallGenerate();
  const int32_t n = static_cast<int32_t>(state.range(0));
  PrepareBody(n);
  const int64_t zones = int64_t{kBlocks * kBlocks * kBlocks} * n * n * n;
  for (auto _ : state) {
    GenerateBodyZones(Interp());
    state.PauseTiming();
    if (ZoneList().Count() != static_cast<uint32_t>(zones)) state.SkipWithError("zones missing");
    ClearGrid();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * zones);
  state.counters["zones"] = static_cast<double>(zones);
}
BENCHMARK(BM_GenerateZoneBody)->Arg(5)->Arg(10)->Arg(11)->Unit(benchmark::kMillisecond);

void BM_BodyZoneStatistics(benchmark::State& state) {
  const int32_t n = static_cast<int32_t>(state.range(0));
  PrepareBody(n);
  Body& body = TheBody();
  for (auto _ : state) {
    body.Refresh();
    double total = 0.0;
    for (int32_t c = 1; c <= body.Working().CellCount(); ++c) total += body.CellZoneStatistics(c).totVol;
    benchmark::DoNotOptimize(total);
  }
  const int64_t zones = int64_t{kBlocks * kBlocks * kBlocks} * n * n * n;
  state.SetItemsProcessed(state.iterations() * zones);
  state.counters["zones"] = static_cast<double>(zones);
}
BENCHMARK(BM_BodyZoneStatistics)->Arg(10)->Arg(11)->Unit(benchmark::kMillisecond);

// The kernel: the lattice built cell by cell, then copied whole into an
// empty solid through empty maps.
void BM_FillAndPlaceSolid(benchmark::State& state) {
  Solid lattice, copy;
  std::vector<int32_t> cells(kSolidCells), vertices(kSolidVertices), sizes(kSolidSizes), ratios(kSolidRatios),
      dims(kSolidDims);
  for (auto _ : state) {
    FillLattice(lattice, kBlocks);
    copy.Clear();
    std::fill(cells.begin(), cells.end(), 0);
    std::fill(vertices.begin(), vertices.end(), -1);
    std::fill(sizes.begin(), sizes.end(), 0);
    std::fill(ratios.begin(), ratios.end(), 0);
    std::fill(dims.begin(), dims.end(), 0);
    for (int32_t s = 0; s < lattice.SizeCount(); ++s) sizes[static_cast<size_t>(s)] = s + 1;
    for (int32_t r = 0; r < lattice.RatioCount(); ++r) ratios[static_cast<size_t>(r)] = r + 1;
    copy.setsolid(&lattice, cells, vertices, sizes, ratios, dims);
    benchmark::DoNotOptimize(copy.CellCount());
  }
}
BENCHMARK(BM_FillAndPlaceSolid)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
