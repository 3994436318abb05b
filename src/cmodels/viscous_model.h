// The classical Maxwell body: an elastic spring (bulk, shear) in series with a
// linear dashpot (viscosity) acting on the deviatoric stress; the volumetric
// part stays elastic. The stress relaxes with the step's time step.
#pragma once

#include "cmodels/constitutive_model.h"

class ViscousModel final : public ConstitutiveModel {
 public:
  enum Property { kBulk = 1, kShear, kViscosity, kPropertyCount = 3 };

  ViscousModel() : ConstitutiveModel(kViscousType) {}

  const char* Name() const override { return "viscous"; }
  const char* Title() const override { return "Viscous Maxwell"; }
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

 private:
  // The decay of the deviatoric stress over a step and twice the shear modulus it applies with.
  void Factors(double timeStep, double* decay, double* twoG) const;
  double prop_[kPropertyCount] = {};  // bulk, shear, viscosity
};
