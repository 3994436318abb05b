#include "cmodels/null_model.h"

#include <new>

#include "cmodels/model_support.h"

namespace {
const char* const kNoNames[] = {nullptr};
}

const char* const* NullModel::Properties() const { return kNoNames; }
const char* const* NullModel::States() const { return kNoNames; }

std::unique_ptr<ConstitutiveModel> NullModel::Clone() const {
  return std::unique_ptr<ConstitutiveModel>(new (std::nothrow) NullModel(*this));
}

const char* NullModel::UpdateStress(uint32_t, ModelState& state) {
  for (double& s : state.stress) s = 0.0;
  state.state = 0;
  return nullptr;
}

const char* NullModel::UpdateZoneStress(uint32_t, ZoneStressBlock& block) {
  for (int i = 0; i < block.count; ++i) {
    for (double& s : block.stress[i]) s = 0.0;
    block.state[i] = 0;
    block.stiffnessDamping[i] = 0;
  }
  return nullptr;
}

const char* NullModel::SaveRestore(ModelSaveObject& object) {
  if (object.Saving()) {
    cmodels::SaveProperties(object, Type(), Version(), nullptr, 0);
    return nullptr;
  }
  return cmodels::RestoreProperties(object, Type(), nullptr, 0);
}
