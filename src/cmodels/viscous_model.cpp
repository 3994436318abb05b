#include "cmodels/viscous_model.h"

#include <cmath>
#include <new>

#include "cmodels/model_support.h"

namespace {
// Stored in save files and command files: never renamed.
const char* const kPropertyNames[] = {"bulk", "shear", "viscosity", nullptr};
const char* const kStateNames[] = {nullptr};
}  // namespace

const char* const* ViscousModel::Properties() const { return kPropertyNames; }
const char* const* ViscousModel::States() const { return kStateNames; }

double ViscousModel::GetPropertyByIndex(int index) const {
  return index >= 1 && index <= kPropertyCount ? prop_[index - 1] : 0.0;
}

bool ViscousModel::SetPropertyByIndex(int index, double value) {
  if (index < 1 || index > kPropertyCount) return false;
  prop_[index - 1] = value;
  return true;
}

std::unique_ptr<ConstitutiveModel> ViscousModel::Clone() const {
  return std::unique_ptr<ConstitutiveModel>(new (std::nothrow) ViscousModel(*this));
}

bool ViscousModel::Copy(const ConstitutiveModel& source) {
  if (source.Type() != Type()) return false;
  const auto& other = static_cast<const ViscousModel&>(source);
  for (int i = 0; i < kPropertyCount; ++i) prop_[i] = other.prop_[i];
  return true;
}

const char* ViscousModel::Initialize(uint32_t, ModelState&) {
  if (!(prop_[0] >= 0.0 && prop_[1] >= 0.0)) return "Bulk and shear modulus must not be negative";
  if (!(prop_[2] >= 0.0)) return "Viscosity must not be negative";
  return nullptr;
}

// Over one step the deviatoric stress obeys ds/dt = 2G de/dt - (G/eta) s with
// the strain rate held constant; integrated exactly this is
//   s' = s exp(-a) + 2G de (1 - exp(-a)) / a,   a = G dt / eta,
// which is stable for any step and exact for relaxation at constant strain.
// A viscosity of 0 is taken as no dashpot (elastic).
namespace {
// The Maxwell update of one tetrahedron (exact decay over the step).
inline void MaxwellIncrement(double bulk, double twoG, double decay, const double e[6], double s[6]) {
  double mean = (s[0] + s[1] + s[2]) / 3.0;
  double ev = e[0] + e[1] + e[2];
  double newMean = mean + bulk * ev;
  for (int i = 0; i < 3; ++i) s[i] = (s[i] - mean) * decay + twoG * (e[i] - ev / 3.0) + newMean;
  for (int i = 3; i < 6; ++i) s[i] = s[i] * decay + twoG * e[i];
}
}  // namespace

void ViscousModel::Factors(double timeStep, double* decay, double* twoG) const {
  const double shear = prop_[1], eta = prop_[2];
  double gain = 1.0;
  *decay = 1.0;
  if (eta > 0.0 && shear > 0.0 && timeStep > 0.0) {
    double a = shear * timeStep / eta;
    *decay = std::exp(-a);
    gain = a > 1e-8 ? -std::expm1(-a) / a : 1.0 - 0.5 * a;
  }
  *twoG = 2.0 * shear * gain;
}

const char* ViscousModel::UpdateStress(uint32_t, ModelState& state) {
  double decay, twoG;
  Factors(state.timeStep, &decay, &twoG);
  MaxwellIncrement(prop_[0], twoG, decay, state.strain, state.stress);
  state.stiffnessDamping = 1;
  return nullptr;
}

const char* ViscousModel::UpdateZoneStress(uint32_t, ZoneStressBlock& block) {
  double decay, twoG;
  Factors(block.zone->timeStep, &decay, &twoG);
  for (int i = 0; i < block.count; ++i) {
    MaxwellIncrement(prop_[0], twoG, decay, block.strain[i], block.stress[i]);
    block.stiffnessDamping[i] = 1;
  }
  return nullptr;
}

const char* ViscousModel::SaveRestore(ModelSaveObject& object) {
  if (object.Saving()) {
    cmodels::SaveProperties(object, Type(), Version(), prop_, kPropertyCount);
    return nullptr;
  }
  return cmodels::RestoreProperties(object, Type(), prop_, kPropertyCount);
}
