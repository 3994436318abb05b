// The chemistry update with the stand-in engine: 10^4 zones of 10 particles
// each, every zone re-equilibrated (at most 1 s). That it allocates nothing
// per zone or particle is shown by the chemistry tests.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

#include "../tests/support/source_file.h"
#include "bench_support.h"
#include "model/zone.h"
#include "model/zone_chem.h"
#include "modes/chem_module.h"
#include "modes/particles.h"

namespace {

// Components of the test table (tests/cases/chem_standin.files).
constexpr int kCalcite = 1, kWater = 3, kCa = 4, kCO3 = 5;

void BM_ChemUpdate(benchmark::State& state) {
  setenv("TERRAX_CHEM_ENGINE", "standin", 1);
  InstalledProgram p;
  for (const char* line : {"config fluid thermal chem", "gen zone brick size 100 100 1", "model elastic",
                           "model fl_isotropic", "property permeability 1e-10 porosity 0.5", "initial fdensity 1000",
                           "initial pp 1e5", "initial temperature 20"})
    p.Command(line);
  ChemModule& chem = *TheChemModule();
  const String table(SourceTreeFile(__FILE__, "../tests/cases/chem_standin.files/st1"));
  if (!chem.ReadResultFile(&table)) throw std::runtime_error("no ST table");
  // Ten particles along x in every unit zone, each with a tenth of the
  // zone's pore water (so the water ratio is 1) and some dissolved calcite.
  const double poreWater = 0.5 * 1000.0 * 55.55555555555556;
  for (Zone* z : ZoneList()) {
    double c[3];
    z->Centroid(c);
    for (int i = 0; i < 10; ++i) {
      const double at[3] = {c[0] - 0.45 + 0.1 * i, c[1], c[2]};
      if (!particle_track::CreateParticle(at, 1.0, 0.0, false, false, z)) throw std::runtime_error("no particle");
    }
    for (Particle* q : z->particles) {
      q->SetAqueousMoles(kWater, poreWater / 10);
      q->SetAqueousMoles(kCa, 0.02);
      q->SetAqueousMoles(kCO3, 0.01);
    }
    ZoneChem& r = *ChemRecord(*z);
    r.SetComponent(kCalcite, 1.0, false);
    r.temperatureTolerance = 0.0;  // every update takes every zone
  }
  chem.Update();  // the particles' lists take every aqueous species once
  for (auto _ : state) chem.Update();
  state.counters["zones"] = static_cast<double>(ZoneList().Count());
  state.counters["particles"] = TheParticleList().Count();
  unsetenv("TERRAX_CHEM_ENGINE");
}
BENCHMARK(BM_ChemUpdate)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
