// The creep calculation mode: decides the time step of time-dependent
// analysis, fixed or adjusted from the state of mechanical balance, and
// keeps the creep time. The creep models run in the zone stress pass.
#pragma once

#include <cstdint>

#include "model/calc_module.h"

class CreepModule : public CreepCalcModule {
 public:
  CreepModule();
  ~CreepModule() override;

  double GetTimestep() override;
  bool AcceptTimestep(double dt) override;
  int Set(CommandType& interp) override;
  void Print(CommandType& interp) override;
  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;

  bool Automatic() const { return automatic_; }
  int32_t Latency() const { return latency_; }
  double MinDt() const { return minDt_; }
  double MaxDt() const { return maxDt_; }
  double Current() const { return current_; }
  bool ForceMeasure() const { return forceMeasure_; }

 private:
  bool automatic_ = false;
  int32_t latency_ = 1;
  int32_t counter_ = 0;
  double minDt_ = 1e-20;
  double maxDt_ = 1e-20;
  double lmul_ = 1.01;
  double umul_ = 0.9;
  double lfob_ = 0.001;
  double ufob_ = 0.005;
  double current_ = 0.0;
  bool forceMeasure_ = false;
};
