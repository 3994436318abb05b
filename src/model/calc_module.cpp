#include "model/calc_module.h"

#include <algorithm>
#include <array>

#include "base/command.h"
#include "base/except.h"
#include "base/message.h"
#include "base/savestream.h"
#include "model/grid_point.h"
#include "model/model.h"
#include "model/model_settings.h"
#include "model/restore_fields.h"
#include "model/zone.h"

// ---------------------------------------------------------------------------
// CalcModule

int CalcModule::Set(CommandType& interp) {
  bool on = false;
  if (interp.CheckBool(&on) == CommandType::kOk) {
    on_ = on;
    return CommandType::kOk;
  }
  int word = 0;
  if (int code = interp.MatchKeyword("time dt age", word)) return code;
  double value = interp.GetReal();
  switch (word) {
    case 1:
      time_ = value;
      break;
    case 2:
      timestep_ = value;
      break;
    default:
      age_ = value;
      break;
  }
  return CommandType::kOk;
}

int CalcModule::SetLoop(CalcModule& module, CommandType& interp) {
  int code;
  do {
    code = module.Set(interp);
  } while (code == CommandType::kOk);
  return code;
}

void CalcModule::Save(SaveStream& s) const {
  s.WriteU8(on_ ? 1 : 0);
  s.WriteU8(type_);
  s.WriteF64(time_);
  s.WriteF64(timestep_);
  s.WriteF64(age_);
}

void CalcModule::Restore(SaveStream& s) {
  on_ = s.ReadU8() != 0;
  // A record of another kind means the file is corrupt.
  if (s.ReadU8() != type_) s.ReadFailure();
  time_ = s.ReadF64();
  timestep_ = s.ReadF64();
  age_ = s.ReadF64();
}

// ---------------------------------------------------------------------------
// Mode pointers

ModePointers& Modes() { return CurrentModel().Modes(); }

namespace {
// A mode's module enters its pointer when made and leaves it when destroyed.
template <class T>
void Enter(T*& slot, T* module) {
  slot = module;
}
template <class T>
void Leave(T*& slot, const T* module) {
  if (slot == module) slot = nullptr;
}
}  // namespace

ThermalCalcModule::ThermalCalcModule() : CalcModule(kThermal) { Enter(Modes().thermal, this); }
ThermalCalcModule::~ThermalCalcModule() { Leave(Modes().thermal, this); }
FluidCalcModule::FluidCalcModule() : CalcModule(kFluid) { Enter(Modes().fluid, this); }
FluidCalcModule::~FluidCalcModule() { Leave(Modes().fluid, this); }

void FluidCalcModule::ZoneCoupling(const Zone& zone, bool pore, ZoneFluidValues* out) const {
  ZoneValues(zone, out);
  out->porosity = ZonePorosity(zone);
  out->porePressure = pore ? zone.AveragePorePressure() : 0.0;
}
DynamicCalcModule::DynamicCalcModule() : CalcModule(kDynamic) { Enter(Modes().dynamic, this); }
DynamicCalcModule::~DynamicCalcModule() { Leave(Modes().dynamic, this); }
CreepCalcModule::CreepCalcModule() : CalcModule(kCreep) { Enter(Modes().creep, this); }
CreepCalcModule::~CreepCalcModule() { Leave(Modes().creep, this); }
ChemCalcModule::ChemCalcModule() : CalcModule(kChemistry) { Enter(Modes().chem, this); }
ChemCalcModule::~ChemCalcModule() { Leave(Modes().chem, this); }

CalcModule* ModeOf(uint8_t type) {
  switch (type) {
    case CalcModule::kCreep:
      return Modes().creep;
    case CalcModule::kDynamic:
      return Modes().dynamic;
    case CalcModule::kThermal:
      return Modes().thermal;
    case CalcModule::kFluid:
      return Modes().fluid;
    case CalcModule::kChemistry:
      return Modes().chem;
    default:
      return nullptr;
  }
}

ChemCalcModule& CheckChemConfigured() {
  if (!Modes().chem) throw QJExcept("Not configured for chemistry calculations.");
  return *Modes().chem;
}

// ---------------------------------------------------------------------------
// ModuleList

ModuleList& TheModules() { return CurrentModel().Modules(); }

CalcModule* ModuleList::Add(std::unique_ptr<CalcModule> module) {
  if (!module) return nullptr;
  modules_.push_back(std::move(module));
  return modules_.back().get();
}

std::unique_ptr<CalcModule> ModuleList::Remove(CalcModule* module) {
  if (!module) return nullptr;
  auto it = std::find_if(modules_.begin(), modules_.end(),
                         [module](const std::unique_ptr<CalcModule>& m) { return m.get() == module; });
  if (it == modules_.end()) return nullptr;
  std::unique_ptr<CalcModule> out = std::move(*it);
  modules_.erase(it);
  return out;
}

void ModuleList::Clear() {
  // The list is empty before the first destructor runs.
  std::vector<std::unique_ptr<CalcModule>> old;
  old.swap(modules_);
}

bool ModuleList::Contains(const CalcModule* module) const {
  for (const auto& m : modules_)
    if (m.get() == module) return true;
  return false;
}

void ModuleList::PrepareCycle(CommandType& interp) {
  for (const auto& m : modules_) {
    m->Prepare();
    if (m->On()) m->PrepareActive(interp);
  }
}

void ModuleList::NegotiateTimestep() {
  double candidate = ModelSettings::kLargest;
  bool found = false;
  for (const auto& m : modules_) {
    if (!m->On()) continue;
    double dt = m->GetTimestep();
    if (!(dt > 0.0)) continue;  // zero, negative or not a number proposes nothing
    found = true;
    if (dt <= candidate) candidate = dt;
  }
  double& timestep = Settings().timestep;
  timestep = found ? candidate : 1.0;
  for (const auto& m : modules_)
    if (m->On() && !m->AcceptTimestep(timestep)) throw QJExcept("Timestep rejected by module");
}

void ModuleList::AdvanceTime() {
  const double dt = Settings().timestep;
  for (const auto& m : modules_)
    if (m->On()) m->AdvanceTime(dt);
}

bool ModuleList::AnyActive() const {
  for (const auto& m : modules_)
    if (m->On()) return true;
  return false;
}

void ModuleList::ZoneCreated(Zone& zone) {
  for (const auto& m : modules_) m->ZoneCreated(zone);
}

void ModuleList::GridPointCreated(GridPoint& gp) {
  for (const auto& m : modules_) m->GridPointCreated(gp);
}

void AttachModuleToModel(CalcModule& module) {
  for (Zone* z : ZoneList()) module.ZoneCreated(*z);
  for (GridPoint* gp : GridPointList()) module.GridPointCreated(*gp);
}

int32_t DynamicCalcModule::CreateFreeField(CommandType&) {
  throw QJExcept("Free field is not available in this version");
}

// ---------------------------------------------------------------------------
// Factories

namespace {
std::array<ModuleFactory, 8>& Factories() {
  static std::array<ModuleFactory, 8> factories{};
  return factories;
}

const char* ModeTitle(uint8_t type) {
  switch (type) {
    case CalcModule::kCreep:
      return "Creep mode";
    case CalcModule::kDynamic:
      return "Dynamic mode";
    case CalcModule::kThermal:
      return "Thermal mode";
    case CalcModule::kFluid:
      return "Fluid flow mode";
    case CalcModule::kChemistry:
      return "Chemistry mode";
    default:
      return "This mode";
  }
}
}  // namespace

std::array<ZoneRecordFactory, 8>& RecordFactories() {
  static std::array<ZoneRecordFactory, 8> factories{};
  return factories;
}

void InstallZoneRecordFactory(uint8_t type, ZoneRecordFactory factory) {
  if (type < RecordFactories().size()) RecordFactories()[type] = factory;
}

ZoneRecord* NewZoneRecord(uint8_t type) {
  ZoneRecordFactory factory = type < RecordFactories().size() ? RecordFactories()[type] : nullptr;
  return factory ? factory() : nullptr;
}

void InstallModuleFactory(uint8_t type, ModuleFactory factory) {
  if (type < Factories().size()) Factories()[type] = factory;
}

std::unique_ptr<CalcModule> CreateModule(uint8_t type) {
  ModuleFactory factory = type < Factories().size() ? Factories()[type] : nullptr;
  std::unique_ptr<CalcModule> module = factory ? factory() : nullptr;
  if (!module) throw QJExcept(MessageText("%s is not available in this version", ModeTitle(type)));
  return module;
}

// ---------------------------------------------------------------------------
// The module section of the save file

namespace {
constexpr uint8_t kSectionOrder[] = {CalcModule::kDynamic, CalcModule::kCreep, CalcModule::kThermal, CalcModule::kFluid,
                                     CalcModule::kChemistry};

// Takes the mode's module out of the registry and deletes it.
void DropMode(uint8_t type) { TheModules().Remove(ModeOf(type)); }
}  // namespace

void SaveModules(SaveStream& s) {
  for (uint8_t type : kSectionOrder) {
    const CalcModule* module = ModeOf(type);
    s.WriteU8(module ? 1 : 0);
    if (module) module->Save(s);
  }
}

void RestoreModules(SaveStream& s, int32_t fileVersion) {
  TheModules().Clear();
  bool chemInFile = false;
  for (uint8_t type : kSectionOrder) {
    if (type == CalcModule::kChemistry && fileVersion < 300) {
      DropMode(type);
      break;
    }
    if (!s.ReadFlag()) {
      DropMode(type);
      continue;
    }
    if (type == CalcModule::kChemistry) chemInFile = true;
    CalcModule* module = ModeOf(type);
    if (!module) module = TheModules().Add(CreateModule(type));
    module->Restore(s);
  }
  ModePointers& modes = Modes();
  if (modes.chem && modes.fluid && modes.thermal) {
    ChemCalcModule& chem = *modes.chem;
    if (!chem.Connect()) {
      DropMode(CalcModule::kChemistry);
      throw QJExcept("Error finding Gibbs chemistry application.");
    }
    if (chem.On()) {
      if (!chem.SetApplicationPath(nullptr)) throw QJExcept("Error finding unitherm location.");
      if (!chem.ReadResultFile(nullptr)) throw QJExcept("Error finding ST file.");
    }
  } else if (chemInFile) {
    DropMode(CalcModule::kChemistry);
    throw QJExcept("Gibbs chemistry not available.");
  }
}

GpThermalData& ThermalBlock(GridPoint& gp) {
  if (!gp.thermal && Modes().thermal) Modes().thermal->GridPointCreated(gp);
  if (!gp.thermal) gp.thermal = std::make_unique<GpThermalData>();
  return *gp.thermal;
}

GpFluidData& FluidBlock(GridPoint& gp) {
  if (!gp.fluid && Modes().fluid) Modes().fluid->GridPointCreated(gp);
  if (!gp.fluid) gp.fluid = std::make_unique<GpFluidData>();
  return *gp.fluid;
}
