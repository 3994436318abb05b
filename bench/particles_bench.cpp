// Particle tracking on a 50 x 50 x 40 brick column (100,000 zones) under
// upward seepage with 10,000 particles, single-threaded: the particle work
// of a small-strain step (moves, injection, grid-point fluid velocities) and
// of a large-strain one (the ride with the zones and the edge lengths too);
// its pieces (0 moves and injection, 1 the zones around each grid-point
// built, as at the start of a run, 2 every zone's edge lengths, as at the
// start of a run, 3 the keeping of the grid-point fluid velocities' inputs, 4
// injection alone, 5 every grid-point's fluid velocity at once, 6 the ride
// with the zones of a large-strain step, 7 the keeping and then the
// velocities the particles will ask for, gathered before a preparation
// within a large-strain run); and the writing of 10,000 tracks of 100
// points to a file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <stdexcept>
#include <string>

#include "base/file.h"
#include "bench_support.h"
#include "mechanics/cycle.h"
#include "model/gp_zone_index.h"
#include "model/model_settings.h"
#include "model/zone.h"
#include "modes/particles.h"

namespace {

void Build(InstalledProgram& p) {
  for (const char* line :
       {"config fluid", "gen zone brick size 50 50 40", "model elastic", "model fl_isotropic",
        "property permeability 1e-10 porosity 0.3", "initial fmodulus 1e4", "initial pp 4e5 grad 0 0 -1e4",
        "fix pp 4e5 range z -0.1 0.1", "fix pp 0 range z 39.9 40.1", "set mech off", "set track on",
        "track plane 0.25 0.25 10 49.75 0.25 10 0.25 49.75 10 100 100", "track ppervol 0.01"})
    p.Command(line);
  Cycle::BeginRun(p.interp);
  if (!Cycle::Prepare(false, p.interp, true)) throw std::runtime_error("preparation failed");
}

void BM_ParticleStep(benchmark::State& state) {
  InstalledProgram p;
  Build(p);
  const double dt = 4.8e4;
  BuildGpZoneIndex();
  for (Zone* z : ZoneList()) z->UpdateMinEdgeLen();
  particle_track::PostStep();
  for (auto _ : state) {
    particle_track::Step(false, dt);
    particle_track::PostStep();
  }
  state.counters["particles"] = TheParticleList().Count();
}

// The same in a large-strain step: the particles ride with their zones
// first, and the step's end leaves the edge lengths to the next moves.
void BM_ParticleStepLarge(benchmark::State& state) {
  InstalledProgram p;
  Build(p);
  const double dt = 4.8e4;
  BuildGpZoneIndex();
  for (Zone* z : ZoneList()) z->UpdateMinEdgeLen();
  particle_track::PostStep();
  for (auto _ : state) {
    particle_track::Step(true, dt);
    particle_track::Step(false, dt);
    particle_track::EndStep(true);
  }
}

// The pieces of the step's particle work, one at a time.
void BM_ParticlePiece(benchmark::State& state) {
  InstalledProgram p;
  Build(p);
  const double dt = 4.8e4;
  BuildGpZoneIndex();
  for (Zone* z : ZoneList()) z->UpdateMinEdgeLen();
  particle_track::PostStep();
  const int piece = static_cast<int>(state.range(0));
  for (auto _ : state) {
    if (piece == 0) particle_track::Step(false, dt);
    if (piece == 1) BuildGpZoneIndex();
    if (piece == 2)
      for (Zone* z : ZoneList()) z->UpdateMinEdgeLen();
    if (piece == 3) particle_track::PostStep();
    if (piece == 4) particle_track::InjectPerVolume(dt);
    if (piece == 5) particle_track::GatherAllVelocities();
    if (piece == 6) particle_track::Step(true, dt);
    if (piece == 7) {
      particle_track::PostStep();
      particle_track::GatherParticleVelocities();
    }
  }
}

void BM_WriteTracks(benchmark::State& state) {
  InstalledProgram p;
  p.Command("config fluid");
  p.Command("gen zone brick size 1 1 1");
  p.Command("model fl_isotropic");
  for (int i = 0; i < 10000; ++i) {
    auto q = std::make_unique<Particle>();
    const double x[3] = {0.5, 0.5, 0.5};
    q->keepTail = 1;
    q->Init(nullptr, x, 1.0, 0.0, false);
    for (int k = 1; k < 100; ++k) q->AddTrackPoint(k, x);
    TheParticleList().Append(std::move(q));
  }
  for (auto _ : state) {
    File file;
    file.SetName("particles_bench.trk");
    file.SetMode(File::kOut | File::kTrunc);
    file.Open();
    TheParticleList().WriteTracks(file);
    file.Close();
  }
  std::remove("particles_bench.trk");
}

}  // namespace

BENCHMARK(BM_ParticleStep)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParticleStepLarge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParticlePiece)->DenseRange(0, 7)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteTracks)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_MAIN();
