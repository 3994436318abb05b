// The thermal mode's step on a brick grid of 50 x 50 x nz zones (40 layers:
// 100,000 zones), single-threaded: a mechanical step without the thermal
// mode, a thermal-mechanical step, a thermal-only step (mechanical off), and
// an implicit step at ten times the stable time step (with its sweep count).
#include <benchmark/benchmark.h>

#include <string>

#include "bench_support.h"
#include "mechanics/cycle.h"
#include "model/model_settings.h"
#include "modes/thermal_module.h"

namespace {

enum Kind { kMechanical, kCoupled, kThermalOnly, kImplicit };

void Build(InstalledProgram& p, int nz, bool thermal) {
  if (thermal) p.Command("config thermal");
  const std::string gen = "gen zone brick size 50 50 " + std::to_string(nz);
  p.Command(gen.c_str());
  p.Command("model elastic");
  p.Command("prop bulk 5e7 shear 3e7 density 2000");
  p.Command("fix x range x -0.1 0.1");
  p.Command("fix z range z -0.1 0.1");
  p.Command("set gravity 0 0 -10");
  if (!thermal) return;
  p.Command("model th_isotropic");
  p.Command("property conductivity 2 spec_heat 900 thexp 1e-5");
  const std::string top = "fix temperature 50 range z " + std::to_string(nz - 0.1) + " " + std::to_string(nz + 0.1);
  p.Command(top.c_str());
}

void BM_Step(benchmark::State& state, Kind kind) {
  InstalledProgram p;
  const int nz = static_cast<int>(state.range(0));
  Build(p, nz, kind != kMechanical);
  if (kind == kThermalOnly || kind == kImplicit) Settings().mechanical = false;
  ThermalModule* thermal = static_cast<ThermalModule*>(Modes().thermal);
  if (kind == kImplicit) {
    Cycle::Prepare(false, p.interp, true);
    const std::string dt = "set thermal dt " + std::to_string(10.0 * thermal->ThermalTimestep()) + " implicit on";
    p.Command(dt.c_str());
  }
  if (!Cycle::Prepare(false, p.interp, true)) state.SkipWithError("preparation failed");
  for (int i = 0; i < 3; ++i) Cycle::Step(p.interp);
  int64_t sweeps = 0;
  for (auto _ : state) {
    Cycle::Step(p.interp);
    if (thermal) sweeps += thermal->LastSweeps();
  }
  const double zones = 50.0 * 50.0 * nz;
  state.counters["zones"] = zones;
  state.counters["zone_steps_per_s"] =
      benchmark::Counter(zones * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  if (kind == kImplicit) {
    state.counters["sweeps_per_step"] = static_cast<double>(sweeps) / static_cast<double>(state.iterations());
    state.counters["sweeps_per_s"] = benchmark::Counter(static_cast<double>(sweeps), benchmark::Counter::kIsRate);
  }
}

BENCHMARK_CAPTURE(BM_Step, mechanical, kMechanical)->Arg(40)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Step, thermal_mechanical, kCoupled)->Arg(40)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Step, thermal_only, kThermalOnly)->Arg(40)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Step, implicit, kImplicit)->Arg(40)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
