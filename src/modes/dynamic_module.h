// The dynamic calculation mode: real inertial masses from the zone
// densities, the critical time step, Rayleigh or local damping, artificial
// viscosity and multistepping.
#pragma once

#include <cstdint>

#include "model/calc_module.h"

class DynamicModule : public DynamicCalcModule {
 public:
  static constexpr int32_t kMaxMultiplier = 16;

  DynamicModule();
  ~DynamicModule() override;

  double GetTimestep() override;
  bool AcceptTimestep(double dt) override;
  void PrepareActive(CommandType& interp) override;
  void GridPointCreated(GridPoint& gp) override;
  void ZoneCreated(Zone& zone) override;
  int Set(CommandType& interp) override;
  void Print(CommandType& interp) override;
  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;
  DynamicStepSettings StepSettings() const override;
  void AddTetraMass(const ZoneTetra& tetra, GridPoint* const corner[4], Zone& zone, int overlays) override;
  int32_t CreateFreeField(CommandType& interp) override;
  void RemoveFreeField(CommandType& interp) override;

  // The multiplier of a grid-point whose own step is t under the critical step T:
  // the largest power of two below t / T, 1 when t <= 2T, at most m.
  static double MultistepFactor(double t, double T, int32_t m);

  int32_t DampingMode() const { return dampingMode_; }
  double LocalCoefficient() const { return localCoefficient_; }
  double CriticalTimestep() const { return critical_; }
  double Alpha() const { return alpha_; }
  double Beta() const { return beta_; }
  bool Multistepping() const { return multistep_; }

 private:
  void CopyDampingToGridPoints();

  int32_t dampingMode_ = 1;
  double localCoefficient_ = 0.8;
  double critical_ = 0.0;
  double reserved_ = 0.0;
  double alpha_ = 0.0;
  double beta_ = 0.0;
  double quadratic_ = 0.0;
  double linear_ = 0.0;
  bool viscosity_ = false;
  bool multistep_ = false;
  bool stiffnessDamping_ = true;  // found by the last preparation
  int32_t maxMultiplier_ = kMaxMultiplier;
};
