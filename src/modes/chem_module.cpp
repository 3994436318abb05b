#include "modes/chem_module.h"

#include <cmath>

#include "base/app.h"
#include "base/command.h"
#include "base/except.h"
#include "base/message.h"
#include "base/savestream.h"
#include "model/model.h"
#include "model/model_interpreter.h"
#include "model/zone.h"
#include "model/zone_chem.h"
#include "modes/chem_link.h"
#include "modes/fluid_model.h"
#include "modes/particles.h"

namespace {
// Moles of water in a kilogram.
constexpr double kWaterMolesPerKg = 55.55555555555556;
}  // namespace

ChemModule* TheChemModule() { return static_cast<ChemModule*>(Modes().chem); }

ChemModule::ChemModule() : link_(std::make_unique<ChemLink>()) {
  SetOn(false);
  SetTime(0.0);
  SetTimestep(0.0);
  SetAgeLimit(1e20);
}

ChemModule::~ChemModule() { link_->Disconnect(); }

bool ChemModule::Connect() { return link_->TestConnection(ChemComPreinitialised()); }
bool ChemModule::SetApplicationPath(const String* path) { return link_->SetApplicationFolder(path); }
bool ChemModule::ReadResultFile(const String* file) { return link_->ReadSTTable(file ? *file : link_->StFile()); }
void ChemModule::SetGibbsOptions(const String* text) { link_->SetOptions(text); }
bool ChemModule::IsReady() const { return link_->Ready(); }
int ChemModule::FindComponent(const String& name) const { return link_->Table().FindComponent(name); }
int ChemModule::PhaseCount() const { return link_->Table().Phases(); }
int ChemModule::ComponentCount() const { return link_->Table().Components(); }
int ChemModule::ElementCount() const { return link_->Table().Elements(); }
const String& ChemModule::ComponentName(int component) const { return link_->Table().ComponentName(component); }
const String& ChemModule::ElementName(int element) const { return link_->Table().ElementName(element); }

double ChemModule::ComponentValue(int component, const Zone& zone) const {
  if (component < 1) return 0.0;
  double sum = 0.0;
  for (const Particle* p : zone.particles) sum += p->GetAqueousMoles(static_cast<uint32_t>(component));
  return sum;
}

double ChemModule::ComponentValue(int component, const Particle& particle) const {
  return component < 1 ? 0.0 : particle.GetAqueousMoles(static_cast<uint32_t>(component));
}

int32_t ChemModule::ShareAmongParticles(Zone& zone, int component, double amount) {
  if (zone.particles.empty() || component < 1) return 0;
  const double each = amount / static_cast<double>(zone.particles.size());
  for (Particle* p : zone.particles) p->SetAqueousMoles(static_cast<uint32_t>(component), each);
  return static_cast<int32_t>(zone.particles.size());
}

void ChemModule::AdvanceTime(double dt) {
  const bool first = Time() == 0.0;
  SetTime(Time() + dt);
  sinceUpdate_ += dt;
  if (first || sinceUpdate_ >= Timestep()) due_ = 1;
}

void ChemModule::ZoneCreated(Zone& zone) { EnsureChemRecord(zone); }

void ChemModule::Update() {
  due_ = 1;
  Step();
}

void ChemModule::InitialUpdate() {
  initialising_ = 1;
  try {
    Update();
  } catch (...) {
    initialising_ = 0;
    throw;
  }
  initialising_ = 0;
}

double ChemModule::WaterRatio(const Zone& zone) const {
  const FluidModel* fluid = FluidRecord(zone);
  if (!fluid || fluid->modelType == 0) return 1.0;
  double values[4];
  fluid->Values(values);
  const double porosity = values[1];
  if (!(porosity > 0.0)) throw QJExcept("Zone porosity must be > 0.0 for chemistry calculations");
  const double density = fluid->density;
  if (!(density > 0.0)) throw QJExcept("Fluid density must be > 0.0 for chemistry calculations");
  const int water = PhaseCount() + 1;
  const ZoneChem* record = ChemRecord(zone);
  const double w = (record ? record->GetComponent(water) : 0.0) + ComponentValue(water, zone);
  if (!(w > 0.0)) return 1.0;
  return w / (density * porosity * zone.Volume() * kWaterMolesPerKg);
}

// ---------------------------------------------------------------------------
// The chemistry step

void ChemModule::Step() {
  if (!due_) return;
  sinceUpdate_ = 0.0;
  due_ = 0;
  if (!IsReady()) throw QJExcept("ST table not set.");
  if (!link_->Connect(ChemComPreinitialised())) throw QJExcept("Error initializing Gibbs.");
  try {
    const size_t n = static_cast<size_t>(ComponentCount()) + 1;
    sums_.assign(n, 0.0);
    results_.assign(n, 0.0);
    elements_.assign(static_cast<size_t>(ElementCount()), 0.0);
    for (Zone* z : ZoneList()) {
      if (z->particles.empty()) continue;
      ZoneChem* record = ChemRecord(*z);
      if (!record) throw QJExcept("NULL chem zone");
      EquilibrateZone(*z, *record);
    }
  } catch (...) {
    link_->Disconnect();
    throw;
  }
  link_->Disconnect();
}

bool ChemModule::EquilibrateZone(Zone& zone, ZoneChem& record) {
  const double temperature = Modes().thermal ? Modes().thermal->ZoneTemperature(zone) : 0.0;
  const double pressure = zone.AveragePorePressure();
  bool marked = record.reequilibrate != 0;
  if (record.temperatureTolerance >= 0.0 &&
      std::fabs(temperature - record.lastTemperature) >= record.temperatureTolerance)
    marked = true;
  if (record.pressureTolerance >= 0.0 && std::fabs(pressure - record.lastPressure) >= record.pressureTolerance)
    marked = true;
  if (!marked && record.targets.empty()) return false;

  // The zone and its particles together, the aqueous part per pore water.
  const int phases = PhaseCount();
  const int components = ComponentCount();
  const int water = phases + 1;
  std::fill(sums_.begin(), sums_.end(), 0.0);
  for (const ChemAmount& a : record.amounts)
    if (a.component >= 1 && a.component <= components) sums_[static_cast<size_t>(a.component)] += a.amount;
  for (const Particle* p : zone.particles) {
    if (!p->aqueous) continue;
    for (const AqueousAmount& a : *p->aqueous)
      if (a.component >= 1 && a.component <= static_cast<uint32_t>(components)) sums_[a.component] += a.moles;
  }
  const double ratio = WaterRatio(zone);
  for (int k = water; k <= components; ++k) sums_[static_cast<size_t>(k)] /= ratio;
  if (!marked) {
    for (const ChemTarget& t : record.targets) {
      const double amount =
          t.component >= 1 && t.component <= components ? sums_[static_cast<size_t>(t.component)] : 0.0;
      if (t.target <= 0.0) {
        marked = amount > 0.0;
      } else if (amount == 0.0) {
        marked = true;  // the target is not met, and there is nothing to measure against
      } else {
        marked = std::fabs(amount - t.target) / amount * 100.0 >= t.tolerance;
      }
      if (marked) break;
    }
  }
  if (!marked) return false;

  record.reequilibrate = 0;
  for (int32_t& c : record.counters) c = 0;
  record.lastTemperature = temperature;
  record.lastPressure = pressure;
  double waterTerm = 0.0;
  if (water <= components) {
    waterTerm = sums_[static_cast<size_t>(water)];
    sums_[static_cast<size_t>(water)] = 0.0;
  }
  const STTable& table = link_->Table();
  const size_t e = elements_.size();
  std::fill(elements_.begin(), elements_.end(), 0.0);
  for (int k = 1; k <= components; ++k) {
    const double amount = sums_[static_cast<size_t>(k)];
    if (amount == 0.0) continue;
    const double* row = table.DenseRow(k);
    for (size_t j = 0; j < e; ++j) elements_[j] += amount * row[j];
  }
  lastZone_ = zone.Id();
  const int16_t status = link_->Equilibrate(temperature, pressure, waterTerm, elements_.data(), results_, nullptr);
  if (status != 0) {
    const String text = link_->LastResultText();
    link_->Disconnect();
    throw QJExcept(text.c_str());
  }

  for (ChemTarget& t : record.targets)
    if (t.component >= 1 && t.component <= components) t.target = results_[static_cast<size_t>(t.component)];
  for (int k = 1; k <= phases; ++k) record.SetComponent(k, results_[static_cast<size_t>(k)], false);
  // The aqueous results go back to the particles' water; the zone keeps its
  // own share (or, in initialisation, all of it).
  const double count = static_cast<double>(zone.particles.size());
  for (int k = water; k <= components; ++k) {
    double v = results_[static_cast<size_t>(k)] * ratio;
    if (initialising_) {
      record.SetComponent(k, v, true);
      v = 0.0;
    } else {
      v -= record.GetComponent(k);
    }
    results_[static_cast<size_t>(k)] = v / count;
  }
  for (Particle* p : zone.particles)
    for (int k = water; k <= components; ++k)
      p->SetAqueousMoles(static_cast<uint32_t>(k), results_[static_cast<size_t>(k)]);
  return true;
}

// ---------------------------------------------------------------------------
// Mixing in the particle step

void ChemModule::MixParticles() {
  if (!On()) return;
  const int components = ComponentCount();
  const int water = PhaseCount() + 1;
  if (components < water) return;
  sums_.assign(static_cast<size_t>(components) + 1, 0.0);
  for (Zone* z : ZoneList()) {
    if (z->particles.empty()) continue;
    ZoneChem* record = ChemRecord(*z);
    if (!record || (!record->mixRequest && record->fixed.empty())) continue;
    record->mixRequest = 0;
    std::fill(sums_.begin(), sums_.end(), 0.0);
    for (const Particle* p : z->particles) {
      if (!p->aqueous) continue;
      for (const AqueousAmount& a : *p->aqueous)
        if (a.component >= 1 && a.component <= static_cast<uint32_t>(components)) sums_[a.component] += a.moles;
    }
    const double count = static_cast<double>(z->particles.size());
    for (const ChemAmount& f : record->fixed)
      if (f.component >= water && f.component <= components) sums_[static_cast<size_t>(f.component)] = count * f.amount;
    for (Particle* p : z->particles)
      for (int k = water; k <= components; ++k)
        p->SetAqueousMoles(static_cast<uint32_t>(k), sums_[static_cast<size_t>(k)] / count);
    ++record->counters[2];
  }
}

// ---------------------------------------------------------------------------
// Script access

void ChemModule::SetParticleComponent(uint32_t id, const String& name, double amount) {
  if (!IsReady()) throw QJExcept("ST table not set.");
  const int component = FindComponent(name);
  if (component < 1) throw QJExcept(FormatText("Chemical component %1 not found in ST table.", name.c_str()).c_str());
  if (IsPhase(component))
    throw QJExcept(FormatText("Particle cannot be initialized with solid component %1.", name.c_str()).c_str());
  ParticleList& list = TheParticleList();
  for (uint32_t i = 0; i < list.Count(); ++i) {
    Particle* p = list.At(i);
    if (p->id == id) {
      p->SetAqueousMoles(static_cast<uint32_t>(component), amount);
      return;
    }
  }
  throw QJExcept(FormatText("Particle %1 not found.", UIntToString(id).c_str()).c_str());
}

void ChemModule::SetZoneParticles(int component, double amount, Zone& zone, bool useRatio) {
  if (!On() || zone.particles.empty() || !(IsWater(component) || IsOtherAqueous(component))) return;
  double each = amount / static_cast<double>(zone.particles.size());
  if (useRatio) each *= WaterRatio(zone);
  for (Particle* p : zone.particles) p->SetAqueousMoles(static_cast<uint32_t>(component), each);
}

// ---------------------------------------------------------------------------
// Listing and save form

void ChemModule::Dump(CommandType& out) const {
  float temperature = 0.0f, pressure = 0.0f;
  std::vector<double> inputs;
  link_->GetState(&temperature, &pressure, inputs);
  out << "Zone ID = " << lastZone_ << "\n";
  out << "T = " << temperature << "\n";
  out << "P = " << pressure << "\n";
  out << "element  moles\n";
  for (size_t i = 0; i < inputs.size(); ++i) out << "   " << i << "     " << inputs[i] << "\n";
}

void ChemModule::Save(SaveStream& s) const {
  CalcModule::Save(s);
  s.WriteF64(sinceUpdate_);
  s.WriteU8(due_);
  link_->Save(s);
}

void ChemModule::Restore(SaveStream& s) {
  CalcModule::Restore(s);
  sinceUpdate_ = s.ReadF64();
  due_ = s.ReadU8();
  link_->Restore(s, CurrentRestoreVersions().program);
}
