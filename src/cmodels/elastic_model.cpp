#include "cmodels/elastic_model.h"

#include <cstdint>
#include <new>

#include "cmodels/model_support.h"

namespace {
// Stored in save files and command files: never renamed.
const char* const kPropertyNames[] = {"bulk", "shear", nullptr};
const char* const kStateNames[] = {nullptr};
}  // namespace

const char* const* ElasticModel::Properties() const { return kPropertyNames; }
const char* const* ElasticModel::States() const { return kStateNames; }

double ElasticModel::GetPropertyByIndex(int index) const {
  return index >= 1 && index <= kPropertyCount ? prop_[index - 1] : 0.0;
}

bool ElasticModel::SetPropertyByIndex(int index, double value) {
  if (index < 1 || index > kPropertyCount) return false;
  prop_[index - 1] = value;
  return true;
}

std::unique_ptr<ConstitutiveModel> ElasticModel::Clone() const {
  return std::unique_ptr<ConstitutiveModel>(new (std::nothrow) ElasticModel(*this));
}

bool ElasticModel::Copy(const ConstitutiveModel& source) {
  if (source.Type() != Type()) return false;
  const auto& other = static_cast<const ElasticModel&>(source);
  for (int i = 0; i < kPropertyCount; ++i) prop_[i] = other.prop_[i];
  return true;
}

const char* ElasticModel::Initialize(uint32_t, ModelState&) {
  if (!(prop_[0] >= 0.0 && prop_[1] >= 0.0)) return "Bulk and shear modulus must not be negative";
  return nullptr;
}

const char* ElasticModel::UpdateStress(uint32_t, ModelState& state) {
  cmodels::AddHookeIncrement(prop_[0], cmodels::EffectiveShear(prop_[1], state), state.strain, state.stress);
  state.stiffnessDamping = 1;
  return nullptr;
}

namespace {

// Four doubles, loaded and stored where they lie (8-byte alignment).
typedef double Vec4 __attribute__((vector_size(32), aligned(8), may_alias));
typedef int64_t Mask4 __attribute__((vector_size(32)));

// The Hooke increments of a zone's tetrahedra. The AVX2 code works two
// tetrahedra (twelve components) in three four-lane vectors, each lane
// rounding as the scalar code does: the same bits.
template <bool kVector>
[[gnu::always_inline]] inline void HookeRun(double lame, double twoG, const ZoneStressBlock& block) {
  const int n = block.count;
  const double(*e)[6] = block.strain;
  double(*s)[6] = block.stress;
  int i = 0;
  if constexpr (kVector) {
    const Vec4 g = {twoG, twoG, twoG, twoG};
    // The lanes that take the volumetric part (the normal components).
    const Mask4 first = {-1, -1, -1, 0}, second = {0, 0, -1, -1}, third = {-1, 0, 0, 0};
    for (; i + 2 <= n; i += 2) {
      const double* ea = e[i];
      double* sa = s[i];
      const double evA = lame * (ea[0] + ea[1] + ea[2]);
      const double evB = lame * (ea[6] + ea[7] + ea[8]);
      const Vec4 a = {evA, evA, evA, evA}, b = {evB, evB, evB, evB};
      const Vec4 t0 = g * *reinterpret_cast<const Vec4*>(ea);
      const Vec4 t1 = g * *reinterpret_cast<const Vec4*>(ea + 4);
      const Vec4 t2 = g * *reinterpret_cast<const Vec4*>(ea + 8);
      const Vec4 v0 = first ? a + t0 : t0;
      const Vec4 v1 = second ? b + t1 : t1;
      const Vec4 v2 = third ? b + t2 : t2;
      *reinterpret_cast<Vec4*>(sa) = *reinterpret_cast<Vec4*>(sa) + v0;
      *reinterpret_cast<Vec4*>(sa + 4) = *reinterpret_cast<Vec4*>(sa + 4) + v1;
      *reinterpret_cast<Vec4*>(sa + 8) = *reinterpret_cast<Vec4*>(sa + 8) + v2;
    }
  }
  for (; i < n; ++i) cmodels::AddHookeIncrementLame(lame, twoG, e[i], s[i]);
  for (i = 0; i < n; ++i) block.stiffnessDamping[i] = 1;
}

void HookeRunBaseline(double lame, double twoG, const ZoneStressBlock& block) { HookeRun<false>(lame, twoG, block); }

// AVX2 without fused multiply-add.
__attribute__((target("arch=x86-64-v3,no-fma"))) void HookeRunAvx2(double lame, double twoG,
                                                                   const ZoneStressBlock& block) {
  HookeRun<true>(lame, twoG, block);
}

}  // namespace

const char* ElasticModel::UpdateZoneStress(uint32_t, ZoneStressBlock& block) {
  const double bulk = prop_[0], shear = cmodels::EffectiveShear(prop_[1], *block.zone);
  // As AddHookeIncrement works them.
  const double lame = bulk - 2.0 * shear / 3.0, twoG = 2.0 * shear;
  if (cmodels::VectorKernels())
    HookeRunAvx2(lame, twoG, block);
  else
    HookeRunBaseline(lame, twoG, block);
  return nullptr;
}

const char* ElasticModel::SaveRestore(ModelSaveObject& object) {
  if (object.Saving()) {
    cmodels::SaveProperties(object, Type(), Version(), prop_, kPropertyCount);
    return nullptr;
  }
  return cmodels::RestoreProperties(object, Type(), prop_, kPropertyCount);
}
