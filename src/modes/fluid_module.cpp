#include "modes/fluid_module.h"

#include <algorithm>
#include <cmath>

#include "base/command.h"
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

namespace {
String Sci(double v) { return DoubleToString(v, 6, 13, 1); }
const char* OnOff(bool on) { return on ? "On" : "Off"; }
}  // namespace

FluidModule::FluidModule() { SetFluidZoneModels(&TheFluidModelTable()); }

FluidModule::~FluidModule() {
  if (Modes().fluid == this) SetFluidZoneModels(nullptr);
}

// ---------------------------------------------------------------------------
// Records and blocks

void FluidModule::GridPointCreated(GridPoint& gp) {
  if (!gp.fluid) {
    gp.fluid = std::make_unique<GpFluidData>();
    blocksListed_ = false;
  }
  if (implicit_ && !gp.fluid->implicitTerms) gp.fluid->implicitTerms = std::make_unique<ImplicitTerms>();
}

void FluidModule::ZoneCreated(Zone& zone) {
  if (zone.fluid) return;
  auto record = std::make_unique<FluidModel>();
  record->density = TheWaterTable().density;
  zone.fluid = std::move(record);
}

void FluidModule::EnsureBlocks() {
  for (GridPoint* gp : GridPointList()) GridPointCreated(*gp);
  for (Zone* z : ZoneList()) ZoneCreated(*z);
}

// ---------------------------------------------------------------------------
// Settings

int FluidModule::Set(CommandType& interp) {
  int code = CalcModule::Set(interp);
  if (code == CommandType::kOk || code == CommandType::kMissing) return code;
  int word = 0;
  code = interp.MatchKeyword("step ratio substep implicit biot pcut ", word);
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
      slave_ = interp.HasToken() && interp.MatchKeyword("automatic slave ", k) == CommandType::kOk;
      break;
    }
    case 4:
      implicit_ = interp.GetBool();
      if (implicit_)
        for (GridPoint* gp : GridPointList())
          if (gp->fluid) GridPointCreated(*gp);
      break;
    case 5:
      biot_ = interp.GetBool();
      TakeZoneValues();
      break;
    default:
      pcut_ = interp.GetBool();
      break;
  }
  return CommandType::kOk;
}

void FluidModule::Print(CommandType& interp) {
  PageGuard guard(interp);
  interp << "  Fluid Calculation Settings\n";
  interp << "  Fluid Caluclations   : " << OnOff(On()) << "\n";
  interp << "  Implicit Mode        : " << OnOff(implicit_) << "\n";
  interp << "  Biot Mode            : " << OnOff(biot_) << "\n";
  interp << "  Pcut Mode            : " << OnOff(pcut_) << "\n";
  interp << "  Accumulated Time     : " << Sci(Time()) << "\n";
  interp << "  Timestep             : " << Sci(fluidTimestep_ != 0.0 ? fluidTimestep_ : Timestep()) << "\n";
  interp << "  Step SOLVE limit     : " << IntToString(stepLimit_) << "\n";
  interp << "  Ratio SOLVE limit    : " << Sci(ratioLimit_) << "\n";
  interp << "  Age SOLVE limit      : " << Sci(AgeLimit()) << "\n";
  interp << "  SOLVE SubStep limit  : " << IntToString(substepLimit_) << "\n";
  interp << "  SOLVE Slave          : " << OnOff(slave_) << "\n";
}

void FluidModule::Save(SaveStream& s) const {
  CalcModule::Save(s);
  for (bool b : {implicit_, slave_, biot_, pcut_}) s.WriteU8(b ? 1 : 0);
  s.WriteI32(stepLimit_);
  s.WriteI32(substepLimit_);
  s.WriteI32(iterationLimit_);
  s.WriteF64(fluidTimestep_);
  s.WriteF64(ratioLimit_);
  s.WriteF64(flowRatio_);
}

void FluidModule::Restore(SaveStream& s) {
  const int32_t version = FileVersion();
  if (version > 7) CalcModule::Restore(s);
  implicit_ = s.ReadFlag() != 0;
  slave_ = s.ReadFlag() != 0;
  biot_ = s.ReadFlag() != 0;
  if (version > 4) pcut_ = s.ReadFlag() != 0;
  stepLimit_ = s.ReadI32();
  substepLimit_ = s.ReadI32();
  iterationLimit_ = s.ReadI32();
  fluidTimestep_ = s.ReadF64();
  ratioLimit_ = s.ReadF64();
  flowRatio_ = s.ReadF64();
  TakeZoneValues();
}

// The Biot value of every zone follows the Biot mode.
void FluidModule::TakeZoneValues() {
  for (Zone* z : ZoneList())
    if (FluidModel* r = FluidRecord(*z)) r->TakeValues();
}

SolveModeSettings FluidModule::SolveSettings() const {
  SolveModeSettings m;
  m.slave = slave_;
  m.stepLimit = static_cast<uint32_t>(std::max(stepLimit_, 0));
  m.substeps = static_cast<uint32_t>(std::max(substepLimit_, 1));
  m.ratioLimit = ratioLimit_;
  m.ratio = flowRatio_;
  return m;
}

// ---------------------------------------------------------------------------
// Zone quantities

namespace {
// The sum of a block field over the zone's grid-points divided by their
// count; 0 when one has no block.
template <class Field>
double ZoneAverage(const Zone& zone, Field field) {
  const int n = zone.GpCount();
  double sum = 0.0;
  for (int i = 0; i < n; ++i) {
    const GridPoint* gp = zone.Gp(i);
    if (!gp || !gp->fluid) return 0.0;
    sum += field(*gp->fluid);
  }
  return n > 0 ? sum / n : 0.0;
}

}  // namespace
namespace {
// How many grid-points ahead the gathering of the zone stress pass's inputs
// asks for a grid-point's pore pressure and block.
constexpr size_t kPassAhead = 16;

const FluidModel* NonNullRecord(const Zone& zone) {
  const FluidModel* r = FluidRecord(zone);
  return r && r->modelType != 0 ? r : nullptr;
}
}  // namespace

double FluidModule::ZonePorosity(const Zone& zone) const {
  const FluidModel* r = NonNullRecord(zone);
  return r ? r->stepValues[1] : 0.0;
}

double FluidModule::FluidStiffness(Zone& zone) {
  ZoneCreated(zone);
  const FluidModel* r = NonNullRecord(zone);
  if (!r) return 0.0;
  double v[4];
  r->Values(v);
  return ZoneAverage(zone, [](const GpFluidData& f) { return f.modulus; }) * v[3] * v[3];
}

// Read by the zone stress pass for every zone: the values of the last
// preparation and the three averages in one walk.
void FluidModule::ZoneValues(const Zone& zone, ZoneFluidValues* out) const {
  const FluidModel* r = NonNullRecord(zone);
  if (!r) return;
  out->biot = r->stepValues[3];
  out->thermal = r->stepValues[2];
  const int n = zone.GpCount();
  double s = 0.0, m = 0.0, t = 0.0;
  GridPoint* const* gps = zone.Gps();
  for (int i = 0; i < n; ++i) {
    const GpFluidData* f = gps[i]->fluid.get();
    if (!f) {
      out->saturation = out->modulus = out->tensionLimit = 0.0;
      return;
    }
    s += f->saturation;
    m += f->modulus;
    t += f->tensionLimit;
  }
  const double inv = 1.0 / n;
  out->saturation = s * inv;
  out->modulus = m * inv;
  out->tensionLimit = t * inv;
}

// The same values with the porosity, the weights and the mean pore pressure,
// read in one walk over the corners: the same sums in the same order.
void FluidModule::ZoneCoupling(const Zone& zone, bool pore, ZoneFluidValues* out) const {
  const int n = zone.GpCount();
  GridPoint* const* gps = zone.Gps();
  const FluidModel* r = NonNullRecord(zone);
  out->porosity = 0.0;
  out->cornerWeights = nullptr;
  out->blocks = nullptr;
  out->nodes = nullptr;
  out->flows = nullptr;
  if (!r) {
    double p = 0.0;
    if (pore)
      for (int i = 0; i < n; ++i) p += gps[i]->porePressure;
    out->porePressure = pore ? p / n : 0.0;
    return;
  }
  out->biot = r->stepValues[3];
  out->thermal = r->stepValues[2];
  out->porosity = r->stepValues[1];
  out->cornerWeights = r->cornerWeights;
  double p = 0.0, s = 0.0, m = 0.0, t = 0.0;
  // A zone of the step's list reads its corners through the list's numbers,
  // from the values gathered when the pass met its first listed zone.
  const size_t j = static_cast<size_t>(r->stepIndex);
  if (j < zones_.size() && zones_[j].record == r && zones_[j].zone == &zone) {
    // A listed zone no later than the last one read starts a new pass.
    if (passZone_ == SIZE_MAX || j <= passZone_) {
      passDirect_ = false;
      GatherPassInputs();
    }
    passZone_ = j;
    const ZoneWork& w = zones_[j];
    out->nodes = w.node;
    if (passDirect_) {
      for (int i = 0; i < n; ++i) {
        const int32_t k = w.node[i];
        p += gps_[k]->porePressure;
        const GpFluidData& f = *blocks_[k];
        s += f.saturation;
        m += f.modulus;
        t += f.tensionLimit;
      }
      out->blocks = blocks_.data();
    } else {
      const PassInput* in = passInputs_.data();
      for (int i = 0; i < n; ++i) {
        const PassInput& c = in[w.node[i]];
        p += c.pressure;
        s += c.saturation;
        m += c.modulus;
        t += c.tensionLimit;
      }
      out->flows = passFlows_.data();
    }
    out->porePressure = pore ? p / n : 0.0;
    const double inv = 1.0 / n;
    out->saturation = s * inv;
    out->modulus = m * inv;
    out->tensionLimit = t * inv;
    return;
  }
  // A zone outside the list adds to its corners' blocks: the flows held so
  // far go back to them first, and the rest of the pass adds there too.
  if (passFlowsHeld_) {
    ReturnPassFlows();
    passDirect_ = true;
  }
  bool blocks = true;
  for (int i = 0; i < n; ++i) {
    const GridPoint& gp = *gps[i];
    p += gp.porePressure;
    const GpFluidData* f = gp.fluid.get();
    if (!f) {
      blocks = false;
      continue;
    }
    s += f->saturation;
    m += f->modulus;
    t += f->tensionLimit;
  }
  out->porePressure = pore ? p / n : 0.0;
  if (!blocks) {
    out->saturation = out->modulus = out->tensionLimit = 0.0;
    return;
  }
  const double inv = 1.0 / n;
  out->saturation = s * inv;
  out->modulus = m * inv;
  out->tensionLimit = t * inv;
}

void FluidModule::GatherPassInputs() const {
  // A pass that stopped before its coupling: its flows go back first.
  if (passFlowsHeld_) ReturnPassFlows();
  const size_t count = gps_.size();
  for (size_t k = 0; k < count; ++k) {
    if (k + kPassAhead < count) {
      __builtin_prefetch(&gps_[k + kPassAhead]->porePressure, 0);
      __builtin_prefetch(blocks_[k + kPassAhead], 0);
      __builtin_prefetch(&blocks_[k + kPassAhead]->saturation, 0);
    }
    const GpFluidData& f = *blocks_[k];
    passInputs_[k] = {gps_[k]->porePressure, f.saturation, f.modulus, f.tensionLimit};
    passFlows_[k] = f.flow;
  }
  passFlowsHeld_ = true;
}

void FluidModule::ReturnPassFlows() const {
  const size_t count = gps_.size();
  for (size_t k = 0; k < count; ++k) blocks_[k]->flow = passFlows_[k];
  passFlowsHeld_ = false;
}

// The zone's pore-volume change goes to its grid-points by their shares of
// the zone's volume; the coupling turns it into pressure.
void FluidModule::AddVolumeChange(Zone& zone, double change) {
  const FluidModel* r = FluidRecord(zone);
  if (!r) return;
  const int n = zone.GpCount();
  for (int i = 0; i < n; ++i)
    if (GpFluidData* f = zone.Gp(i)->fluid.get()) f->flow += change * r->cornerWeights[i];
}

double FluidModule::ZoneFluidDensity(const Zone& zone) const {
  const FluidModel* r = NonNullRecord(zone);
  if (!r) return 0.0;
  double v[4];
  r->Values(v);
  return v[1] * r->density * ZoneAverage(zone, [](const GpFluidData& f) { return f.saturation; });
}

double* FluidModule::ZoneFluidDensityField(Zone& zone) {
  ZoneCreated(zone);
  return &FluidRecord(zone)->density;
}

// ---------------------------------------------------------------------------
// Preparation

bool FluidModule::PrepareZones() {
  bool any = false;
  for (Zone* z : ZoneList()) {
    ZoneCreated(*z);
    FluidModel* r = FluidRecord(*z);
    if (r->modelType == 0) continue;
    if (!r->properties) r->SetModel(r->modelType);
    FluidModelMessage m;
    m.operation = FluidModelMessage::kDefaults;
    r->Call(m);
    r->Values(r->stepValues);
    any = true;
  }
  return any;
}

void FluidModule::Prepare() {
  for (GridPoint* gp : GridPointList()) {
    GridPointCreated(*gp);
    GpFluidData& f = *gp->fluid;
    f.inverseVolume = f.poreVolume = f.flow = 0.0;
    if ((gp->flags & NodeBase::kFixPorePressure) && gp->porePressure < f.tensionLimit)
      gp->porePressure = f.tensionLimit;
  }
  for (Zone* z : ZoneList()) {
    ZoneCreated(*z);
    FluidModel& r = *FluidRecord(*z);
    if (r.modelType == 0) continue;
    double v[4];
    r.Values(v);
    for (double& w : r.cornerWeights) w = 0.0;
    for (int o = 0; o < 2; ++o) {
      const ZoneTetra* block = z->GetTetra(o + 1);
      const TetraDef* defs = OverlayDefinitions(z->Type(), o);
      for (int k = 0; k < z->TetraPerOverlay(); ++k) {
        const double share = block[k].volume / 8.0;
        for (int c = 0; c < 4; ++c) {
          GpFluidData& f = *z->Gp(defs[k].gp[c])->fluid;
          f.inverseVolume += share;
          f.poreVolume += v[1] * share;
          r.cornerWeights[defs[k].gp[c]] += block[k].volume;
        }
      }
    }
    double sum = 0.0;
    for (int i = 0; i < z->GpCount(); ++i) sum += r.cornerWeights[i];
    if (sum != 0.0)
      for (double& w : r.cornerWeights) w /= sum;
  }
  for (GridPoint* gp : GridPointList()) {
    GpFluidData& f = *gp->fluid;
    if (f.inverseVolume != 0.0) f.inverseVolume = 1.0 / f.inverseVolume;
    if (!biot_ && f.poreVolume * f.inverseVolume != 0.0) f.modulus = f.fluidModulus / (f.poreVolume * f.inverseVolume);
  }
  BuildWorkLists();
}

void FluidModule::InvertGridPointVolumes() {
  for (GridPoint* gp : GridPointList())
    if (GpFluidData* f = gp->fluid.get(); f && f->inverseVolume != 0.0) f->inverseVolume = 1.0 / f->inverseVolume;
}

void FluidModule::BuildWorkLists() {
  zones_.clear();
  gps_.clear();
  blocks_.clear();
  terms_.clear();
  NodeNumbers numbers;
  for (GridPoint* gp : GridPointList())
    if (gp->fluid) {
      numbers.Add(gp, static_cast<int32_t>(gps_.size()));
      gps_.push_back(gp);
      blocks_.push_back(gp->fluid.get());
      terms_.push_back(gp->fluid->implicitTerms.get());
    }
  for (Zone* z : ZoneList()) {
    FluidModel* r = FluidRecord(*z);
    if (!r || r->modelType == 0) continue;
    ZoneWork w;
    r->stepIndex = -1;
    if (!numbers.Fill(*z, r, w)) continue;
    r->stepIndex = static_cast<int32_t>(zones_.size());
    zones_.push_back(w);
  }
  nodes_.resize(gps_.size());
  passInputs_.resize(gps_.size());
  passFlows_.resize(gps_.size());
  // Flows held from a pass that stopped: the preparation clears them anyway.
  passFlowsHeld_ = false;
  passZone_ = SIZE_MAX;
  increments_.resize(gps_.size());
  PackMatrices(zones_, matrices_);
  if (implicit_)
    relax_.Resize(gps_.size());
  else
    relax_ = ImplicitRelaxation();
  blocksListed_ = true;
}

void FluidModule::BuildConductance(Zone& zone, FluidModel& record) {
  BuildZoneConductance<FluidModelMessage>(zone, record, [&zone](int i, double c) { zone.Gp(i)->fluid->flow += c; });
}

void FluidModule::PrepareActive(CommandType& interp) {
  const double dt = Timestep();
  if (implicit_ && dt == 0.0) {
    interp << " *** Warning: Time step must be set for implicit logic \n"
           << "              explicit method is selected \n";
    implicit_ = false;
  }
  for (GridPoint* gp : GridPointList()) {
    GridPointCreated(*gp);
    if (implicit_) gp->fluid->implicitTerms->estimate = gp->fluid->implicitTerms->weight = 0.0;
  }
  bool any = false;
  for (Zone* z : ZoneList()) {
    ZoneCreated(*z);
    FluidModel& r = *FluidRecord(*z);
    if (r.modelType <= 0) continue;
    BuildConductance(*z, r);
    any = true;
  }
  if (!any) interp << "*** Warning!  No zones with non-null fluid model\n";
  ApplyPass(3);
  ApplyPass(5);
  // The links merge their grid-points' volumes, pore volumes and
  // conductance sums into the grid-points they follow.
  InvertGridPointVolumes();
  CurrentModel().Participants().ForEach([](StepParticipant& p) { p.PrepareFluid(); });
  InvertGridPointVolumes();
  double smallest = ModelSettings::kLargest;
  for (GridPoint* gp : GridPointList()) {
    GpFluidData& f = *gp->fluid;
    if (gp->flags & NodeBase::kNoFluidZone) continue;
    const bool linked = (gp->flags & (NodeBase::kAttached | NodeBase::kSlaved)) != 0;
    const bool fixed = (gp->flags & NodeBase::kFixPorePressure) != 0;
    if (!fixed && !linked) {
      const double d = f.inverseVolume * f.flow;
      const double s = d > 0.0 ? 1.0 / d : 0.0;
      if (d > 0.0 && f.modulus > 0.0 && s / f.modulus < smallest) smallest = s / f.modulus;
      if (implicit_) {
        const double den = f.modulus * dt * 0.5 + s;
        f.implicitTerms->weight = den != 0.0 ? s / den : 0.0;
      }
    }
    if (!(linked && !fixed)) f.flow = 0.0;
  }
  fluidTimestep_ = 0.8 * smallest;
  if (implicit_ && dt < fluidTimestep_) {
    interp << " *** Warning: implicit method not needed for this step\n"
           << "              explicit method used from now on\n";
    implicit_ = false;
  }
  if (dt != 0.0) {
    if (implicit_ || dt <= fluidTimestep_) {
      fluidTimestep_ = dt;
    } else {
      interp << " *** Warning:  gw time step has been reduced for stability\n";
    }
  }
  BuildWorkLists();
}
