// Isotropic linear elasticity: bulk and shear modulus.
#pragma once

#include "cmodels/constitutive_model.h"

class ElasticModel final : public ConstitutiveModel {
 public:
  enum Property { kBulk = 1, kShear, kPropertyCount = 2 };

  ElasticModel() : ConstitutiveModel(kElasticType) {}

  const char* Name() const override { return "elastic"; }
  const char* Title() const override { return "Elastic Isotropic"; }
  const char* const* Properties() const override;
  const char* const* States() const override;
  double GetPropertyByIndex(int index) const override;
  std::unique_ptr<ConstitutiveModel> Clone() const override;
  double StiffnessModulus() const override { return prop_[0] + 4.0 * prop_[1] / 3.0; }
  double ShearModulus() const override { return prop_[1]; }
  int Version() const override { return 1; }
  bool SetPropertyByIndex(int index, double value) override;
  bool Copy(const ConstitutiveModel& source) override;
  const char* Initialize(uint32_t dimensions, ModelState& state) override;
  const char* UpdateStress(uint32_t dimensions, ModelState& state) override;
  const char* UpdateZoneStress(uint32_t dimensions, ZoneStressBlock& block) override;
  const char* SaveRestore(ModelSaveObject& object) override;
  bool SupportsHystDamp() const override { return true; }

 private:
  double prop_[kPropertyCount] = {};  // bulk, shear
};
