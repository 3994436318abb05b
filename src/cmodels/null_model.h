// The null model: a zone without material (an excavation).
#pragma once

#include "cmodels/constitutive_model.h"

class NullModel final : public ConstitutiveModel {
 public:
  NullModel() : ConstitutiveModel(kNullType) {}

  const char* Name() const override { return "null"; }
  const char* Title() const override { return "Null Model"; }
  const char* const* Properties() const override;
  const char* const* States() const override;
  double GetPropertyByIndex(int) const override { return 0.0; }
  std::unique_ptr<ConstitutiveModel> Clone() const override;
  double StiffnessModulus() const override { return 0.0; }
  double ShearModulus() const override { return 0.0; }
  int Version() const override { return 1; }
  bool SetPropertyByIndex(int, double) override { return false; }
  bool Copy(const ConstitutiveModel& source) override { return source.Type() == Type(); }
  const char* Initialize(uint32_t, ModelState&) override { return nullptr; }
  // Empty space carries no stress.
  const char* UpdateStress(uint32_t, ModelState& state) override;
  const char* UpdateZoneStress(uint32_t, ZoneStressBlock& block) override;
  const char* SaveRestore(ModelSaveObject& object) override;
};
