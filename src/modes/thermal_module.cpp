#include "modes/thermal_module.h"

#include <algorithm>
#include <cmath>

#include "base/command.h"
#include "base/except.h"
#include "base/savestream.h"
#include "base/stream.h"
#include "base/string.h"
#include "generate/water_table.h"
#include "model/grid.h"
#include "model/model.h"
#include "model/model_settings.h"
#include "model/restore_fields.h"
#include "model/step_participant.h"
#include "modes/fluid_model.h"
#include "modes/fluid_module.h"
#include "modes/thermal_model.h"

namespace {
String Sci(double v) { return DoubleToString(v, 6, 13, 1); }
const char* OnOff(bool on) { return on ? "On" : "Off"; }
bool Linked(const GridPoint& gp) { return (gp.flags & (NodeBase::kAttached | NodeBase::kSlaved)) != 0; }
bool Fixed(const GridPoint& gp) { return (gp.flags & NodeBase::kFixTemperature) != 0; }
bool Excluded(const GridPoint& gp) { return (gp.flags & NodeBase::kNoThermalZone) != 0; }
}  // namespace

ThermalModule::ThermalModule() { SetThermalZoneModels(&TheThermalModelTable()); }

ThermalModule::~ThermalModule() {
  if (Modes().thermal == this) SetThermalZoneModels(nullptr);
}

// ---------------------------------------------------------------------------
// Records and blocks

void ThermalModule::GridPointCreated(GridPoint& gp) {
  if (!gp.thermal) gp.thermal = std::make_unique<GpThermalData>();
  if (implicit_ && !gp.thermal->implicitTerms) gp.thermal->implicitTerms = std::make_unique<ImplicitTerms>();
}

void ThermalModule::ZoneCreated(Zone& zone) {
  if (!zone.thermal) zone.thermal = std::make_unique<ThermalModel>();
}

// ---------------------------------------------------------------------------
// Settings

int ThermalModule::Set(CommandType& interp) {
  int code = CalcModule::Set(interp);
  if (code == CommandType::kOk || code == CommandType::kMissing) return code;
  int word = 0;
  code = interp.MatchKeyword("step ratio substep implicit ", word);
  if (code != CommandType::kOk) return code;
  switch (word) {
    case 1:
      stepLimit_ = interp.GetInt();
      break;
    case 2:
      ratioLimit_ = interp.GetReal();
      break;
    case 3: {
      substepLimit_ = interp.GetInt();
      int k = 0;
      slave_ = interp.HasToken() && interp.MatchKeyword("automatic slave ", k) == CommandType::kOk && k == 2;
      break;
    }
    default:
      implicit_ = interp.GetBool();
      if (implicit_)
        for (GridPoint* gp : GridPointList())
          if (gp->thermal) GridPointCreated(*gp);
      break;
  }
  return CommandType::kOk;
}

void ThermalModule::Print(CommandType& interp) {
  PageGuard guard(interp);
  interp << "  Thermal Calculation Settings\n";
  interp << "  Thermal Caluclations : " << OnOff(On()) << "\n";
  interp << "  Implicit Mode        : " << OnOff(implicit_) << "\n";
  interp << "  Accumulated Time     : " << Sci(Time()) << "\n";
  interp << "  Timestep             : " << Sci(thermalTimestep_ != 0.0 ? thermalTimestep_ : Timestep()) << "\n";
  interp << "  Step SOLVE limit     : " << IntToString(stepLimit_) << "\n";
  interp << "  Ratio SOLVE limit    : " << Sci(ratioLimit_) << "\n";
  interp << "  Age SOLVE limit      : " << Sci(AgeLimit()) << "\n";
  interp << "  SOLVE SubStep limit  : " << IntToString(substepLimit_) << "\n";
  interp << "  SOLVE Slave          : " << OnOff(slave_) << "\n";
}

void ThermalModule::Save(SaveStream& s) const {
  CalcModule::Save(s);
  s.WriteU8(implicit_ ? 1 : 0);
  s.WriteU8(slave_ ? 1 : 0);
  s.WriteI32(stepLimit_);
  s.WriteI32(substepLimit_);
  s.WriteI32(iterationLimit_);
  s.WriteF64(thermalTimestep_);
  s.WriteF64(ratioLimit_);
  s.WriteF64(heatRatio_);
}

void ThermalModule::Restore(SaveStream& s) {
  if (FileVersion() > 7) CalcModule::Restore(s);
  implicit_ = s.ReadFlag() != 0;
  slave_ = s.ReadFlag() != 0;
  stepLimit_ = s.ReadI32();
  substepLimit_ = s.ReadI32();
  iterationLimit_ = s.ReadI32();
  thermalTimestep_ = s.ReadF64();
  ratioLimit_ = s.ReadF64();
  heatRatio_ = s.ReadF64();
}

SolveModeSettings ThermalModule::SolveSettings() const {
  SolveModeSettings m;
  m.slave = slave_;
  m.stepLimit = static_cast<uint32_t>(std::max(stepLimit_, 0));
  m.substeps = static_cast<uint32_t>(std::max(substepLimit_, 1));
  m.ratioLimit = ratioLimit_;
  m.ratio = heatRatio_;
  return m;
}

// ---------------------------------------------------------------------------
// Zone quantities

double ThermalModule::ZoneTemperature(const Zone& zone) const {
  const int n = zone.GpCount();
  double sum = 0.0;
  for (int i = 0; i < n; ++i)
    if (const GpThermalData* t = zone.Gp(i)->thermal.get()) sum += t->temperature;
  return n > 0 ? sum / n : 0.0;
}

double ThermalModule::ThermalExpansion(const Zone& zone) const {
  const ThermalModel* r = ThermalRecord(zone);
  return r ? r->stepValues[1] : 0.0;
}

double ThermalModule::TetraTemperatureIncrement(const Zone& zone, const TetraDef& tetra) const {
  double sum = 0.0;
  for (int c = 0; c < 4; ++c)
    if (const GpThermalData* t = zone.Gp(tetra.gp[c])->thermal.get()) sum += t->temperatureIncrement;
  return sum * 0.25;
}

void ThermalModule::ClearTemperatureIncrements() {
  // While the mode is on, the step's own list holds every grid-point's block
  // (all have one after preparation): a walk over it, not over the grid.
  if (On() && blocks_.size() == GridPointList().Count()) {
    for (GpThermalData* t : blocks_) t->temperatureIncrement = 0.0;
    return;
  }
  for (GridPoint* gp : GridPointList())
    if (GpThermalData* t = gp->thermal.get()) t->temperatureIncrement = 0.0;
}

namespace {
// Each overlay tetrahedron of the zone with its temperature gradient.
template <class Visit>
void ForEachTetraGradient(const Zone& zone, Visit visit) {
  for (int o = 0; o < 2; ++o) {
    const ZoneTetra* block = const_cast<Zone&>(zone).GetTetra(o + 1);
    if (!block) continue;
    const TetraDef* defs = OverlayDefinitions(zone.Type(), o);
    for (int k = 0; k < zone.TetraPerOverlay(); ++k) {
      const ZoneTetra& t = block[k];
      double g[3] = {0, 0, 0};
      for (int c = 0; c < 4; ++c) {
        const GpThermalData* th = zone.Gp(defs[k].gp[c])->thermal.get();
        const double temperature = th ? th->temperature : 0.0;
        for (int a = 0; a < 3; ++a) g[a] += t.area[c][a] * temperature / (3.0 * t.volume);
      }
      visit(t, defs[k], g);
    }
  }
}
}  // namespace

void ThermalModule::HeatFluxVector(const Zone& zone, double out[3]) const {
  out[0] = out[1] = out[2] = 0.0;
  const ThermalModel* r = ThermalRecord(zone);
  if (!r || r->modelType == 0) return;
  double w = 0.0;
  ForEachTetraGradient(zone, [&](const ZoneTetra& t, const TetraDef&, const double* g) {
    ThermalModelMessage m;
    m.operation = ThermalModelMessage::kFlux;
    for (int a = 0; a < 3; ++a) m.gradient[a] = g[a];
    r->Call(m);
    for (int a = 0; a < 3; ++a) out[a] += m.flux[a] * t.volume;
    w += t.volume;
  });
  for (int a = 0; a < 3; ++a) out[a] = w != 0.0 ? out[a] / w : 0.0;
}

// ---------------------------------------------------------------------------
// Preparation

void ThermalModule::Prepare() {
  for (Zone* z : ZoneList()) {
    ZoneCreated(*z);
    ThermalModel& r = *ThermalRecord(*z);
    if (r.modelType != 0 && !r.properties) r.SetModel(r.modelType);
    r.TakeValues();
  }
}

void ThermalModule::AdvectionPrepare(Zone& zone, ThermalModel& record) {
  auto* fluid = dynamic_cast<FluidModule*>(Modes().fluid);
  const FluidModel* fr = FluidRecord(zone);
  if (!fluid || !fr || fr->modelType == 0) return;
  double q[3];
  const bool on = fluid->On();
  fluid->SetOn(true);
  fluid->FluidFlowVector(zone, q);
  fluid->SetOn(on);
  double saturation = 0.0;
  const int n = zone.GpCount();
  for (int i = 0; i < n; ++i) saturation += zone.Gp(i)->fluid ? zone.Gp(i)->fluid->saturation : 0.0;
  saturation /= n;
  ThermalModelMessage m;
  m.operation = ThermalModelMessage::kPrepare;
  for (int a = 0; a < 3; ++a) m.flux[a] = q[a];
  m.extra[0] = fr->density;
  m.extra[1] = zone.Density();
  m.extra[2] = saturation * fluid->ZonePorosity(zone);
  record.Call(m);
}

void ThermalModule::HeatCapacity(Zone& zone, const ThermalModel& record) {
  const double c = record.stepValues[0] * 0.5;
  const double rho = zone.Density();
  for (int o = 0; o < 2; ++o) {
    const ZoneTetra* block = zone.GetTetra(o + 1);
    if (!block) continue;
    const TetraDef* defs = OverlayDefinitions(zone.Type(), o);
    for (int k = 0; k < zone.TetraPerOverlay(); ++k) {
      if (rho <= 0.0) throw KWRExcept("Density needed for thermal run");
      if (c <= 0.0) throw KWRExcept("Specific heat needed for thermal run");
      for (int corner = 0; corner < 4; ++corner)
        zone.Gp(defs[k].gp[corner])->thermal->inverseCapacity += block[k].volume * c * rho * 0.25;
    }
  }
}

void ThermalModule::BuildConductance(Zone& zone, ThermalModel& record) {
  BuildZoneConductance<ThermalModelMessage>(zone, record,
                                            [&zone](int i, double c) { zone.Gp(i)->thermal->heatFlow += c; });
}

void ThermalModule::PrepareActive(CommandType& interp) {
  const double dt = Timestep();
  if (implicit_ && dt == 0.0) {
    interp << " *** Warning: Time step must be set for implicit logic \n"
           << "              explicit method is selected \n";
    implicit_ = false;
  }
  for (GridPoint* gp : GridPointList()) {
    GridPointCreated(*gp);
    GpThermalData& t = *gp->thermal;
    t.inverseCapacity = t.heatFlow = 0.0;
    if (implicit_) t.implicitTerms->estimate = t.implicitTerms->weight = 0.0;
  }
  // The transition width of th_hyd divides; refuse 0 before anything changes.
  for (Zone* z : ZoneList()) {
    ZoneCreated(*z);
    const ThermalModel& r = *ThermalRecord(*z);
    if (r.modelType == kThHyd && r.Property(thermal_props::kDT) == 0.0)
      throw KWRExcept("th_hyd needs a non-zero transition width dT");
  }
  for (Zone* z : ZoneList()) {
    ThermalModel& r = *ThermalRecord(*z);
    if (r.modelType <= 0) continue;
    if (!r.properties) r.SetModel(r.modelType);
    if (r.modelType == kThAdvection && Modes().fluid) AdvectionPrepare(*z, r);
    if (r.modelType == kThAnisotropic) {
      ThermalModelMessage m;
      m.operation = ThermalModelMessage::kPrepare;
      r.Call(m);
    }
    r.TakeValues();
    HeatCapacity(*z, r);
    BuildConductance(*z, r);
  }
  ApplyPass(3);
  // The links merge their grid-points' capacities and conductance sums
  // into the grid-points they follow.
  CurrentModel().Participants().ForEach([](StepParticipant& p) { p.PrepareThermal(); });
  double smallest = ModelSettings::kLargest;
  for (GridPoint* gp : GridPointList()) {
    GpThermalData& t = *gp->thermal;
    if (Fixed(*gp) || Excluded(*gp) || Linked(*gp)) continue;
    const double d = t.heatFlow > 0.0 ? t.inverseCapacity / t.heatFlow : 0.0;
    if (d > 0.0 && d < smallest) smallest = d;
    if (implicit_) {
      const double den = dt * 0.5 + d;
      t.implicitTerms->weight = den != 0.0 ? d / den : 0.0;
    }
    if (t.inverseCapacity != 0.0) t.inverseCapacity = 1.0 / t.inverseCapacity;
    t.heatFlow = 0.0;
  }
  // Fixed and excluded grid-points keep their sums out of the step.
  for (GridPoint* gp : GridPointList()) gp->thermal->heatFlow = 0.0;
  thermalTimestep_ = 0.8 * smallest;
  if (implicit_ && dt < thermalTimestep_) {
    interp << " *** Warning: implicit method not needed for this step \n"
           << "              explicit method used from now on\n";
    implicit_ = false;
  }
  if (dt != 0.0) {
    if (implicit_ || dt <= thermalTimestep_) {
      thermalTimestep_ = dt;
    } else {
      interp << " *** Warning:  thermal time step has been reduced for stability\n";
    }
  }
  BuildWorkLists();
}

void ThermalModule::BuildWorkLists() {
  zones_.clear();
  hydration_.clear();
  advection_.clear();
  gps_.clear();
  blocks_.clear();
  terms_.clear();
  free_.clear();
  NodeNumbers numbers;
  for (GridPoint* gp : GridPointList())
    if (gp->thermal) {
      numbers.Add(gp, static_cast<int32_t>(gps_.size()));
      gps_.push_back(gp);
      blocks_.push_back(gp->thermal.get());
      terms_.push_back(gp->thermal->implicitTerms.get());
      free_.push_back(!(Fixed(*gp) || Excluded(*gp) || Linked(*gp)));
    }
  for (Zone* z : ZoneList()) {
    ThermalModel* r = ThermalRecord(*z);
    if (!r || r->modelType == 0) continue;
    ZoneWork w;
    if (!numbers.Fill(*z, r, w)) continue;
    zones_.push_back(w);
    if (r->modelType == kThHydConcrete || r->modelType == kThHyd) hydration_.push_back(w);
    if (r->modelType == kThAdvection) advection_.push_back(w);
  }
  PackMatrices(zones_, matrices_);
  if (implicit_)
    relax_.Resize(gps_.size());
  else
    relax_ = ImplicitRelaxation();
}
