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

inline CalcModule*& TestModeSlot(uint8_t type) {
  ModePointers& m = Modes();
  switch (type) {
    case CalcModule::kCreep: return m.creep;
    case CalcModule::kDynamic: return m.dynamic;
    case CalcModule::kThermal: return m.thermal;
    default: return m.fluid;
  }
}

// A module that proposes `proposal`, answers `accepts`, and counts its calls.
class TestModule : public CalcModule {
 public:
  explicit TestModule(uint8_t type, bool registerMode = true) : CalcModule(type), registered_(registerMode) {
    if (registered_) TestModeSlot(type) = this;
  }
  ~TestModule() override {
    if (registered_ && TestModeSlot(TypeCode()) == this) TestModeSlot(TypeCode()) = nullptr;
  }
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

 private:
  bool registered_;
};

class TestChemModule : public ChemCalcModule {
 public:
  static inline bool connects = false;
  TestChemModule() { Modes().chem = this; }
  ~TestChemModule() override {
    if (Modes().chem == this) Modes().chem = nullptr;
  }
  bool Connect() override { return connects; }
  bool SetApplicationPath(const String*) override { return true; }
  bool ReadResultFile(const String*) override { return true; }
  void SetGibbsOptions(const String*) override {}
};

template <uint8_t Type>
std::unique_ptr<CalcModule> MakeTestModule() {
  return std::make_unique<TestModule>(Type);
}
inline std::unique_ptr<CalcModule> MakeTestChem() { return std::make_unique<TestChemModule>(); }

inline void InstallTestModules() {
  InstallModuleFactory(CalcModule::kDynamic, &MakeTestModule<CalcModule::kDynamic>);
  InstallModuleFactory(CalcModule::kCreep, &MakeTestModule<CalcModule::kCreep>);
  InstallModuleFactory(CalcModule::kThermal, &MakeTestModule<CalcModule::kThermal>);
  InstallModuleFactory(CalcModule::kFluid, &MakeTestModule<CalcModule::kFluid>);
  InstallModuleFactory(CalcModule::kChemistry, &MakeTestChem);
}
