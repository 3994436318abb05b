// Stress updates per second of the built-in constitutive models, called the
// way the zone stress pass calls them: one virtual call per tetrahedron.
#include <benchmark/benchmark.h>

#include <array>
#include <memory>
#include <random>
#include <vector>

#include "cmodels/constitutive_model.h"
#include "cmodels/eigen3.h"
#include "cmodels/model_support.h"
#include "cmodels/mohr_model.h"

namespace {

constexpr int kRecords = 1000;

std::unique_ptr<ConstitutiveModel> MakeModel(const char* name) {
  auto m = ConstitutiveModel::FindByMatch(name)->Clone();
  m->SetPropertyValue("bulk", 2e8);
  m->SetPropertyValue("shear", 1e8);
  m->SetPropertyValue("cohesion", 1e5);
  m->SetPropertyValue("friction", 30);
  m->SetPropertyValue("dilation", 10);
  m->SetPropertyValue("tension", 5e4);
  return m;
}

// Records under a confinement of 1 MPa with small random strain increments:
// the stresses stay well inside the Mohr-Coulomb envelope.
std::vector<ModelState> ElasticRecords() {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<ModelState> r(kRecords);
  for (ModelState& st : r) {
    for (int i = 0; i < 3; ++i) st.stress[i] = -1e6 + 1e5 * u(rng);
    for (int i = 3; i < 6; ++i) st.stress[i] = 5e4 * u(rng);
    for (double& e : st.strain) e = 1e-7 * u(rng);
  }
  return r;
}

// Records on the shear envelope (triaxial compression) pushed further out each call.
std::vector<ModelState> PlasticRecords() {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<ModelState> r(kRecords);
  for (ModelState& st : r) {
    st.stress[0] = -3.3464e6;  // 1 MPa x 3 + 2c sqrt(3)
    st.stress[1] = -1.0e6 + 1e4 * u(rng);
    st.stress[2] = -1.0e6 + 1e4 * u(rng);
    st.stress[3] = 1e4 * u(rng);
    st.strain[0] = -1e-5;
    st.strain[1] = st.strain[2] = 2e-6;
    st.strain[4] = 1e-6 * u(rng);
  }
  return r;
}

void RunUpdates(benchmark::State& state, ConstitutiveModel& model, const std::vector<ModelState>& start) {
  std::vector<ModelState> records = start;
  int64_t updates = 0;
  for (auto _ : state) {
    for (size_t i = 0; i < records.size(); ++i) {
      // Each call starts from the same stress, so every call does the same work.
      ModelState& st = records[i];
      for (int k = 0; k < 6; ++k) st.stress[k] = start[i].stress[k];
      benchmark::DoNotOptimize(model.UpdateStress(3, st));
    }
    benchmark::ClobberMemory();
    updates += kRecords;
  }
  state.SetItemsProcessed(updates);
}

void BM_ElasticUpdate(benchmark::State& state) {
  auto m = MakeModel("elastic");
  RunUpdates(state, *m, ElasticRecords());
}
BENCHMARK(BM_ElasticUpdate);

void BM_MohrUpdateElastic(benchmark::State& state) {
  auto m = MakeModel("mohr");
  RunUpdates(state, *m, ElasticRecords());
}
BENCHMARK(BM_MohrUpdateElastic);

void BM_MohrUpdatePlastic(benchmark::State& state) {
  auto m = MakeModel("mohr");
  std::vector<ModelState> records = PlasticRecords();
  // Every record must really yield, or the benchmark measures the wrong path.
  ModelState probe = records[0];
  m->UpdateStress(3, probe);
  if (!(probe.state & MohrModel::kShearNow)) state.SkipWithError("plastic records do not yield");
  RunUpdates(state, *m, records);
}
BENCHMARK(BM_MohrUpdatePlastic);

// The same records as whole zones of ten tetrahedra, as the zone stress pass
// gives them to the built-in models, in the AVX2 code where the processor
// has it.
void BM_MohrZonePlastic(benchmark::State& state) {
  auto m = MakeModel("mohr");
  const std::vector<ModelState> start = PlasticRecords();
  constexpr int kTets = 10;
  std::vector<double[6]> strain(kRecords), stress(kRecords);
  std::vector<uint32_t> bits(kRecords);
  std::vector<uint8_t> damping(kRecords);
  for (int i = 0; i < kRecords; ++i)
    for (int k = 0; k < 6; ++k) strain[static_cast<size_t>(i)][k] = start[static_cast<size_t>(i)].strain[k];
  const bool vector = cmodels::VectorKernels();
  cmodels::SetVectorKernels(state.range(0) != 0);
  ModelState zone;
  int64_t updates = 0;
  for (auto _ : state) {
    // Each call starts from the same stress, so every call does the same work.
    for (int i = 0; i < kRecords; ++i)
      for (int k = 0; k < 6; ++k) stress[static_cast<size_t>(i)][k] = start[static_cast<size_t>(i)].stress[k];
    for (int z = 0; z < kRecords; z += kTets) {
      ZoneStressBlock block;
      block.zone = &zone;
      block.count = kTets;
      block.strain = &strain[static_cast<size_t>(z)];
      block.stress = &stress[static_cast<size_t>(z)];
      block.state = &bits[static_cast<size_t>(z)];
      block.stiffnessDamping = &damping[static_cast<size_t>(z)];
      benchmark::DoNotOptimize(m->UpdateZoneStress(3, block));
    }
    benchmark::ClobberMemory();
    updates += kRecords;
  }
  cmodels::SetVectorKernels(vector);
  if (!(bits[0] & MohrModel::kShearNow)) state.SkipWithError("plastic records do not yield");
  state.SetItemsProcessed(updates);
}
BENCHMARK(BM_MohrZonePlastic)->Arg(0)->Arg(1);

// Stresses a plane-strain model meets: a large in-plane shear, a tiny
// out-of-plane one.
std::vector<std::array<double, 6>> PlaneStrainStresses() {
  std::mt19937 rng(13);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<std::array<double, 6>> r(kRecords);
  for (auto& s : r)
    s = {-1e5 + 3e4 * u(rng), -1e5 + 3e4 * u(rng), -1e5 + 3e4 * u(rng), 0.3 * u(rng), 4e4 * u(rng), 0.3 * u(rng)};
  return r;
}

template <bool (*kSolve)(const double*, double*, double (*)[3])>
void BM_Principal(benchmark::State& state) {
  const auto stresses = PlaneStrainStresses();
  int64_t n = 0;
  for (auto _ : state) {
    for (const auto& s : stresses) {
      double p[3], v[3][3];
      benchmark::DoNotOptimize(kSolve(s.data(), p, v));
      benchmark::DoNotOptimize(p);
      benchmark::DoNotOptimize(v);
    }
    n += kRecords;
  }
  state.SetItemsProcessed(n);
}
// The principal stresses and directions: closed form, and rotations to convergence.
BENCHMARK(BM_Principal<cmodels::SymEigen3>)->Name("BM_PrincipalClosedForm");
BENCHMARK(BM_Principal<cmodels::SymEigen3Jacobi>)->Name("BM_PrincipalRotations");

}  // namespace

BENCHMARK_MAIN();
