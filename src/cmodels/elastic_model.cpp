#include "cmodels/elastic_model.h"

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

const char* ElasticModel::UpdateZoneStress(uint32_t, ZoneStressBlock& block) {
  const double bulk = prop_[0], shear = cmodels::EffectiveShear(prop_[1], *block.zone);
  for (int i = 0; i < block.count; ++i) {
    cmodels::AddHookeIncrement(bulk, shear, block.strain[i], block.stress[i]);
    block.stiffnessDamping[i] = 1;
  }
  return nullptr;
}

const char* ElasticModel::SaveRestore(ModelSaveObject& object) {
  if (object.Saving()) {
    cmodels::SaveProperties(object, Type(), Version(), prop_, kPropertyCount);
    return nullptr;
  }
  return cmodels::RestoreProperties(object, Type(), prop_, kPropertyCount);
}
