// Calculation modules and a memory stream for the model's tests: module kinds
// whose proposals and answers a test sets, made through the same factory
// registry that CONFIG and RESTORE use.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/savestream.h"
#include "model/calc_module.h"
#include "support/memory_stream.h"

// A module that proposes `proposal`, answers `accepts`, and counts its calls;
// over one of the modes' bases it takes that mode's pointer like a real one.
template <class Base>
class CountingModule : public Base {
 public:
  template <class... Args>
  explicit CountingModule(Args... args) : Base(args...) {}
  double GetTimestep() override {
    ++asked;
    return proposal;
  }
  bool AcceptTimestep(double dt) override {
    ++offered;
    lastOffer = dt;
    return accepts;
  }
  void Prepare() override { ++prepared; }
  void PrepareActive(CommandType&) override { ++preparedActive; }

  double proposal = 0.0;
  bool accepts = true;
  int asked = 0, offered = 0, prepared = 0, preparedActive = 0;
  double lastOffer = 0.0;
};

// A module of a kind that takes no mode's pointer.
class TestModule : public CountingModule<CalcModule> {
 public:
  explicit TestModule(uint8_t type) : CountingModule<CalcModule>(type) {}
};

class TestChemModule : public ChemCalcModule {
 public:
  static inline bool connects = false;
  bool Connect() override { return connects; }
  bool SetApplicationPath(const String*) override { return true; }
  bool ReadResultFile(const String*) override { return true; }
  void SetGibbsOptions(const String*) override {}
};

template <class Base>
std::unique_ptr<CalcModule> MakeTestModule() {
  return std::make_unique<CountingModule<Base>>();
}
inline std::unique_ptr<CalcModule> MakeTestChem() { return std::make_unique<TestChemModule>(); }

// A counting module of the mode, taking the mode's pointer.
inline std::unique_ptr<CalcModule> MakeModeModule(uint8_t type) {
  switch (type) {
    case CalcModule::kDynamic:
      return MakeTestModule<DynamicCalcModule>();
    case CalcModule::kCreep:
      return MakeTestModule<CreepCalcModule>();
    case CalcModule::kThermal:
      return MakeTestModule<ThermalCalcModule>();
    case CalcModule::kFluid:
      return MakeTestModule<FluidCalcModule>();
    default:
      return MakeTestChem();
  }
}

// A thermal or fluid module whose SOLVE settings a test sets.
template <class Base>
class SolvedModule : public CountingModule<Base> {
 public:
  SolveModeSettings solve;
  SolveModeSettings SolveSettings() const override { return solve; }
};

// A dynamic module whose step settings a test sets.
class SteppedDynamic : public CountingModule<DynamicCalcModule> {
 public:
  DynamicStepSettings settings;
  DynamicStepSettings StepSettings() const override { return settings; }
};

inline void InstallTestModules() {
  InstallModuleFactory(CalcModule::kDynamic, &MakeTestModule<DynamicCalcModule>);
  InstallModuleFactory(CalcModule::kCreep, &MakeTestModule<CreepCalcModule>);
  InstallModuleFactory(CalcModule::kThermal, &MakeTestModule<ThermalCalcModule>);
  InstallModuleFactory(CalcModule::kFluid, &MakeTestModule<FluidCalcModule>);
  InstallModuleFactory(CalcModule::kChemistry, &MakeTestChem);
}
