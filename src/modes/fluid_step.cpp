// The fluid mode's work inside a step: zone flows, the explicit and implicit
// pressure updates, the fluid apply conditions, the coupling with the
// mechanical step, the Biot stress update and the pressure cut.
#include <algorithm>
#include <cmath>

#include "base/except.h"
#include "mechanics/apply_condition.h"
#include "model/grid.h"
#include "model/model.h"
#include "model/model_settings.h"
#include "model/step_participant.h"
#include "modes/apply_factor.h"
#include "modes/fluid_model.h"
#include "modes/fluid_module.h"
#include "modes/mode_links.h"

namespace {

constexpr double kSaturated = 0.99999;
// How many zones ahead the zone walks ask for a record's line: the records
// lie apart from one another, and waiting for each one's density held the
// explicit step back most.
constexpr size_t kRecordsAhead = 8;

// How many grid-points ahead the walks over the step's grid-points ask for
// the lines they read: a grid-point's flags, position and pore pressure lie
// on three lines of a large object, its block on two more. Eight ahead
// left the walks waiting on them; sixteen did not.
constexpr size_t kGpsAhead = 16;

// How many zones ahead the Biot stress update asks for the tetrahedron
// stresses it shifts: the zone list reaches them through the zone, and the
// walk otherwise waits on every tetrahedron.
constexpr size_t kStressesAhead = 8;

// The lines of a grid-point and its block that the step's walks read.
inline void PrefetchGp(const GridPoint* gp, const GpFluidData* f) {
  __builtin_prefetch(&gp->flags, 1);
  __builtin_prefetch(gp->position, 0);
  __builtin_prefetch(&gp->porePressure, 1);
  __builtin_prefetch(f, 1);
  __builtin_prefetch(&f->saturation, 1);
}

bool Linked(const GridPoint& gp) { return (gp.flags & (NodeBase::kAttached | NodeBase::kSlaved)) != 0; }
bool Fixed(const GridPoint& gp) { return (gp.flags & NodeBase::kFixPorePressure) != 0; }
bool Excluded(const GridPoint& gp) { return (gp.flags & NodeBase::kNoFluidZone) != 0; }

// The lines of the normal stresses of every mechanical tetrahedron of the
// zone, asked for to be written.
inline void PrefetchZoneStress(const Zone& zone) {
  const int per = zone.TetraPerOverlay();
  for (int o = 0; o < 2; ++o)
    if (const ZoneTetra* block = zone.Tetra(o))
      for (int k = 0; k < per; ++k) {
        __builtin_prefetch(&block[k].stress[0], 1);
        __builtin_prefetch(&block[k].stress[2], 1);
      }
}

// Subtracts the value from the normal stresses of every mechanical tetrahedron.
void ShiftZoneStress(Zone& zone, double value) {
  for (int o = 0; o < 2; ++o) {
    ZoneTetra* block = zone.Tetra(o);
    if (!block) continue;
    for (int k = 0; k < zone.TetraPerOverlay(); ++k)
      for (int a = 0; a < 3; ++a) block[k].stress[a] -= value;
  }
}

// The saturation weighting of a partly saturated zone's flows: the outflows
// are redistributed by the corners' saturations and every flow is scaled by
// a smooth function of the outflow-weighted saturation.
void UnsaturatedFlows(double* q, const double* s, int n) {
  double a = 0.0, b = 0.0;
  for (int i = 0; i < n; ++i)
    if (q[i] > 0.0) {
      a += q[i] * s[i];
      b += q[i];
    }
  if (a > 0.0)
    for (int i = 0; i < n; ++i)
      if (q[i] > 0.0) q[i] = q[i] * s[i] * b / a;
  const double f = b > 0.0 ? a / b : 0.0;
  const double w = f * f * (3.0 - 2.0 * f);
  for (int i = 0; i < n; ++i) q[i] *= w;
}

}  // namespace

void FluidModule::GatherNode(const GridPoint& gp, const GpFluidData& f, FlowNode& node) {
  node.pressure = gp.porePressure;
  node.saturation = f.saturation;
  node.flow = f.flow;
  node.magnitude = f.flowMagnitude;
  for (int a = 0; a < 3; ++a) node.position[a] = gp.position[a];
}

bool FluidModule::GatheredByCoupling() {
  const bool gathered = gathered_ && gatheredStep_ == Settings().totalCycles;
  gathered_ = false;
  if (!gathered) return false;
  // What runs between the coupling and the flow step: callbacks, which may
  // change anything, and the thermal step.
  if ((Modes().thermal && Modes().thermal->On()) || FluidLinked()) return false;
  bool callback = false;
  CurrentModel().Participants().ForEach([&callback](StepParticipant& p) {
    for (int point : {kCallbackBeforeMotion, kCallbackAfterMotion, kCallbackMechanicalDone, kCallbackStructures,
                      kCallbackBeforeThermal, kCallbackAfterThermal, kCallbackBeforeFluid})
      callback = callback || p.HasCallback(point);
  });
  return !callback;
}

void FluidModule::ZoneFlows(const ZoneWork& w, const double g[3], double q[8]) const {
  const FlowNode* nodes = nodes_.data();
  const int n = w.n;
  double sum = 0.0;
  for (int i = 0; i < n; ++i) sum += nodes[w.node[i]].saturation;
  const double s = sum / n;
  const double rho = w.record->density * s;
  const double* x0 = nodes[w.node[0]].position;
  double p[8] = {};
  for (int i = 0; i < n; ++i) {
    const FlowNode& c = nodes[w.node[i]];
    const double* x = c.position;
    p[i] = c.pressure - rho * (g[0] * (x[0] - x0[0]) + g[1] * (x[1] - x0[1]) + g[2] * (x[2] - x0[2]));
  }
  PackedMatrixTimes(w.matrix, p, q, n);
  if (s < kSaturated) {
    double sat[8];
    for (int i = 0; i < n; ++i) sat[i] = nodes[w.node[i]].saturation;
    UnsaturatedFlows(q, sat, n);
  }
}

void FluidModule::AddFlow(GridPoint& gp, double q, bool totals) {
  GpFluidData& f = *gp.fluid;
  f.flow -= q;
  if (!totals) return;
  f.flowMagnitude += std::fabs(q);
  if (Fixed(gp)) return;
  if (q <= 0.0)
    outflow_ += std::fabs(q);
  else
    inflow_ += q;
}

void FluidModule::Step(CommandType&) {
  inflow_ = outflow_ = 0.0;
  const ModelSettings& settings = Settings();
  const double* g = settings.gravity;
  const double dt = settings.timestep;
  // The zone walk reads and writes the grid-points' values gathered side by
  // side, in the order the blocks would have taken them: gathered by this
  // step's coupling unless something since may have changed them.
  const size_t count = gps_.size();
  if (!GatheredByCoupling())
    for (size_t k = 0; k < count; ++k) {
      if (k + kGpsAhead < count) PrefetchGp(gps_[k + kGpsAhead], blocks_[k + kGpsAhead]);
      GatherNode(*gps_[k], *blocks_[k], nodes_[k]);
    }
  FlowNode* nodes = nodes_.data();
  const size_t zoneCount = zones_.size();
  for (size_t z = 0; z < zoneCount; ++z) {
    const ZoneWork& w = zones_[z];
    if (z + kRecordsAhead < zoneCount) __builtin_prefetch(&zones_[z + kRecordsAhead].record->density);
    double q[8];
    ZoneFlows(w, g, q);
    for (int i = 0; i < w.n; ++i) {
      FlowNode& node = nodes[w.node[i]];
      node.flow += q[i];
      node.magnitude += std::fabs(q[i]);
    }
  }
  // Links between grid-points pass the flows on first, and the increments
  // back between the update and the new pressures.
  const bool linked = FluidLinked();
  // With no apply condition, no link and the explicit scheme nothing
  // touches the flows between the zone walk and the update: the update's
  // walk gives them back itself (the magnitudes end at 0 there).
  const bool direct = !implicit_ && !linked && !GlobalApplyList().Head();
  if (!direct) {
    for (size_t k = 0; k < count; ++k) {
      if (k + kGpsAhead < count) __builtin_prefetch(blocks_[k + kGpsAhead], 1);
      blocks_[k]->flow = nodes_[k].flow;
      blocks_[k]->flowMagnitude = nodes_[k].magnitude;
    }
    ApplyPass(1);
    if (implicit_) ApplyPass(2);
    if (linked) FluidLinkPass(1);
  }
  // With the explicit scheme, no link and no callback between this step and
  // the Biot stress update, nothing touches the increments before that
  // update: the update's walk takes them (and clears them) itself.
  bool take = !implicit_ && !linked && Settings().porePressure;
  if (take)
    CurrentModel().Participants().ForEach([&take](StepParticipant& p) {
      if (p.HasCallback(kCallbackAfterFluid) || p.HasCallback(kCallbackAfterFluidStep)) take = false;
    });
  incrementsReady_ = take;
  double* increments = increments_.data();
  // The explicit update and the new pressure of a grid-point depend on that
  // grid-point alone: one walk does both.
  for (size_t k = 0; k < count; ++k) {
    if (k + kGpsAhead < count) PrefetchGp(gps_[k + kGpsAhead], blocks_[k + kGpsAhead]);
    GridPoint& gp = *gps_[k];
    GpFluidData& f = *blocks_[k];
    if (direct) f.flow = nodes_[k].flow;
    if (Excluded(gp)) f.flow = 0.0;
    f.netFlow = f.flow;
    if (Linked(gp)) f.flow = 0.0;
    if (Fixed(gp)) {
      if (f.flow > 0.0)
        inflow_ += f.flow;
      else
        outflow_ += std::fabs(f.flow);
      f.flow = 0.0;
    }
    if (implicit_) continue;
    f.ExplicitUpdate(gp, -dt * f.flow);
    if (linked) continue;
    gp.porePressure += f.flow;
    f.pressureIncrement += f.flow;
    f.flow = 0.0;
    f.flowMagnitude = 0.0;
    if (take) {
      increments[k] = f.pressureIncrement;
      f.pressureIncrement = 0.0;
    }
  }
  const double mean = (inflow_ + outflow_) * 0.5;
  flowRatio_ = mean == 0.0 ? ModelSettings::kLargest : std::fabs(inflow_ - outflow_) / mean;
  if (!implicit_ && !linked) return;
  if (implicit_) ImplicitSolve(dt);
  if (linked) FluidLinkPass(2);
  for (size_t k = 0; k < count; ++k) {
    GpFluidData& f = *blocks_[k];
    gps_[k]->porePressure += f.flow;
    f.pressureIncrement += f.flow;
    f.flow = 0.0;
    f.flowMagnitude = 0.0;
  }
}

void FluidModule::ImplicitSolve(double dt) {
  const size_t count = gps_.size();
  if (relax_.unknowns.size() != count) throw KWRExcept("Implicit scheme failed to converge");
  for (size_t g = 0; g < count; ++g) {
    GpFluidData& f = *blocks_[g];
    if (!terms_[g]) throw KWRExcept("Implicit scheme failed to converge");
    relax_.factor[g] = f.modulus * f.inverseVolume;
    f.flow = -(relax_.factor[g] * f.flow * dt);
    terms_[g]->estimate = terms_[g]->weight * f.flow;
    relax_.increment[g] = f.flow;
    const GridPoint& gp = *gps_[g];
    relax_.free[g] = !(Fixed(gp) || Excluded(gp) || Linked(gp));
  }
  const bool leakage = AnyApplyQuantity(kApplyLeakage);
  if (!relax_.Solve(zones_, terms_.data(), iterationLimit_, dt, lastSweeps_, leakage,
                    [this](ImplicitTerms* const*) { ApplyPass(4); }))
    throw KWRExcept("Implicit scheme failed to converge");
  for (size_t g = 0; g < count; ++g) blocks_[g]->flow = relax_.free[g] ? relax_.unknowns[g].estimate : 0.0;
}

// ---------------------------------------------------------------------------
// Apply conditions

double FluidModule::ApplyFactor(const ApplyValue& value, int phase) { return ModeApplyFactor(*this, value, phase); }

void FluidModule::FacePass(const ApplyValue& item, const ApplyCondition& condition, int phase, double factor) {
  const ZoneFace* face = condition.Face();
  if (!face || !face->GetZone()) return;
  const int n = face->GpCount();
  if (n < 3) return;
  double c[3];
  face->Centroid(c);
  const double* gr = item.gradient;
  const double h = (item.value + gr[0] * c[0] + gr[1] * c[1] + gr[2] * c[2]) * factor / 3.0;
  const bool leakage = item.quantity == kApplyLeakage;
  ForEachFaceShare(*face, h, [&](GridPoint& gp, double a) {
    GpFluidData& f = *gp.fluid;
    if (!leakage) {
      AddFlow(gp, a, phase == 1);
    } else if (phase == 1) {
      const double q = (gp.porePressure - item.second) * a;
      f.flow += q;
      f.flowMagnitude += std::fabs(q);
      if (!Fixed(gp)) {
        if (-q <= 0.0)
          outflow_ += std::fabs(q);
        else
          inflow_ += -q;
      }
    } else if (phase == 3) {
      f.flow += a;
    } else if (phase == 4 && f.implicitTerms) {
      f.implicitTerms->implicitFlow += a * f.implicitTerms->estimate;
    }
  });
}

void FluidModule::ApplyPass(int phase) {
  for (ApplyCondition* c = GlobalApplyList().Head(); c; c = ApplyList::Next(c)) {
    for (const ApplyValue* item = c->Values(); item; item = item->next) {
      const uint8_t q = item->quantity;
      const bool second = q == kApplyPointWellHist || q == kApplyVolumeWellHist || q == kApplyDischargeHist;
      const bool source = phase == 1 || (phase == 2 && second);
      const double factor = item->HasMultiplier() ? ApplyFactor(*item, phase) : 1.0;
      switch (q) {
        case kApplyPointWell:
        case kApplyPointWellHist:
          if (source && c->Gp()) {
            GridPoint& gp = *c->Gp();
            if (!gp.fluid) GridPointCreated(gp);
            AddFlow(gp, item->value * factor, phase == 1);
          }
          break;
        case kApplyPorePressure:
        case kApplyPorePressureHist:
          if ((phase == 1 || phase == 5) && c->Gp()) {
            GridPoint& gp = *c->Gp();
            const double v = item->value * factor;
            Settings().porePressure = true;
            if (!gp.fluid) GridPointCreated(gp);
            if (phase == 1) gp.fluid->pressureIncrement += v - gp.porePressure;
            gp.porePressure = v;
            gp.flags |= NodeBase::kFixPorePressure;
          }
          break;
        case kApplyVolumeWell:
        case kApplyVolumeWellHist:
          if (source) {
            Zone* zone = c->GetZone();
            if (!zone) break;
            const double v = item->value * factor;
            ForEachTetraCorner(*zone, [&](GridPoint& gp, double volume) {
              if (!gp.fluid) GridPointCreated(gp);
              AddFlow(gp, volume * v * 0.125, phase == 1);
            });
          }
          break;
        case kApplyDischarge:
        case kApplyDischargeHist:
          if (source) FacePass(*item, *c, phase, factor);
          break;
        case kApplyLeakage:
          if (phase == 1 || phase == 3 || phase == 4) FacePass(*item, *c, phase, factor);
          break;
        default:
          break;
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Coupling with the mechanical step

void FluidModule::MechanicalCoupling() {
  const bool linked = FluidLinked();
  // The zone pass's flows: the links pass them on from the blocks, else the
  // walk takes them.
  if (linked && passFlowsHeld_) ReturnPassFlows();
  const bool held = passFlowsHeld_;
  const double* flows = passFlows_.data();
  passFlowsHeld_ = false;
  passZone_ = SIZE_MAX;
  if (linked) FluidLinkPass(1);
  // Without links, pressure cut or large strain the walk also gathers what
  // the flow step's zone walk reads; the flow step takes that gathering when
  // nothing between could have changed it.
  const bool gather = !linked && !pcut_ && !Settings().largeStrain;
  const size_t count = gps_.size();
  for (size_t k = 0; k < count; ++k) {
    if (k + kGpsAhead < count) PrefetchGp(gps_[k + kGpsAhead], blocks_[k + kGpsAhead]);
    GridPoint& gp = *gps_[k];
    GpFluidData& f = *blocks_[k];
    if (held) f.flow = flows[k];
    if (!Excluded(gp)) {
      if (Linked(gp)) f.flow = 0.0;
      f.ExplicitUpdate(gp, -f.flow);
      if (linked) continue;
      gp.porePressure += f.flow;
      f.flow = 0.0;
    }
    if (gather) GatherNode(gp, f, nodes_[k]);
  }
  gatheredStep_ = gather ? Settings().totalCycles : -1;
  gathered_ = gather;
  if (linked) {
    FluidLinkPass(2);
    for (size_t k = 0; k < count; ++k) {
      if (Excluded(*gps_[k])) continue;
      gps_[k]->porePressure += blocks_[k]->flow;
      blocks_[k]->flow = 0.0;
    }
  }
  if (pcut_) PressureCut();
}

void FluidModule::ZonePressureTerms() {
  const bool ready = incrementsReady_;
  incrementsReady_ = false;
  if (!Settings().porePressure) return;
  // The increments side by side for the zone walk (unless the step's update
  // took them); they are cleared as they are taken, for ClearFlowSums.
  const size_t count = blocks_.size();
  for (size_t k = 0; !ready && k < count; ++k) {
    if (k + kGpsAhead < count) __builtin_prefetch(blocks_[k + kGpsAhead], 1);
    increments_[k] = blocks_[k]->pressureIncrement;
    blocks_[k]->pressureIncrement = 0.0;
  }
  incrementsTaken_ = true;
  const double* increments = increments_.data();
  const size_t zoneCount = zones_.size();
  for (size_t z = 0; z < zoneCount; ++z) {
    const ZoneWork& w = zones_[z];
    if (z + kRecordsAhead < zoneCount) __builtin_prefetch(&zones_[z + kRecordsAhead].record->stepValues[3]);
    if (z + kStressesAhead < zoneCount) PrefetchZoneStress(*zones_[z + kStressesAhead].zone);
    const double biot = w.record->stepValues[3];
    if (biot == 0.0) continue;
    double sum = 0.0;
    for (int i = 0; i < w.n; ++i) sum += increments[w.node[i]];
    const double dp = sum / w.n;
    if (dp == 0.0 || w.zone->IsNull()) continue;
    ShiftZoneStress(*w.zone, biot * dp);
  }
}

void FluidModule::ClearPressureIncrements() {
  const size_t count = blocks_.size();
  for (size_t k = 0; k < count; ++k) {
    if (k + kGpsAhead < count) __builtin_prefetch(blocks_[k + kGpsAhead], 1);
    blocks_[k]->pressureIncrement = 0.0;
  }
}

void FluidModule::ClearFlowSums() {
  if (!incrementsTaken_) ClearPressureIncrements();
  incrementsTaken_ = false;
  if (pcut_) PressureCut();
}

// Negative pore pressures are stored as suction and taken out of the zone
// stresses; a later rise first fills the stored suction.
void FluidModule::PressureCut() {
  for (GridPoint* gp : gps_) {
    GpFluidData& f = *gp->fluid;
    double& p = gp->porePressure;
    if (p < 0.0) {
      f.cutPressure = -p;
      f.suction += p;
      p = 0.0;
    } else if (f.suction == 0.0) {
      f.cutPressure = 0.0;
    } else {
      const double old = f.suction;
      f.suction += p;
      if (f.suction <= 0.0) {
        f.cutPressure = -p;
        p = 0.0;
      } else {
        f.suction = 0.0;
        f.cutPressure = old;
        p += old;
      }
    }
  }
  for (const ZoneWork& w : zones_) {
    double sum = 0.0;
    for (int i = 0; i < w.n; ++i) sum += blocks_[w.node[i]]->cutPressure;
    const double a = sum / w.n;
    if (a == 0.0) continue;
    w.record->cutPressureSum += a;
    ShiftZoneStress(*w.zone, a);
  }
}

// ---------------------------------------------------------------------------
// Flow vectors

namespace {
// A grid-point's pressure, saturation and position as they stand now.
struct LiveInputs {
  static double Pressure(const GridPoint& gp) { return gp.porePressure; }
  static double Saturation(const GridPoint& gp) { return gp.fluid ? gp.fluid->saturation : 0.0; }
  static const double* Position(const GridPoint& gp) { return gp.position; }
};
// The same as kept at the end of the last step for the grid-point velocities.
struct KeptInputs {
  static double Pressure(const GridPoint& gp) { return gp.fluid ? gp.fluid->keptPressure : gp.porePressure; }
  static double Saturation(const GridPoint& gp) { return gp.fluid ? gp.fluid->keptSaturation : 0.0; }
  static const double* Position(const GridPoint& gp) { return gp.fluid ? gp.fluid->keptPosition : gp.position; }
};

// Each overlay tetrahedron's flux of the zone with its volume and mean corner saturation.
template <class Inputs, class Visit>
void ForEachTetraFlux(Zone& zone, const FluidModel& record, Visit visit) {
  const double* g = Settings().gravity;
  const int n = zone.GpCount();
  // Per grid-point of the zone: its saturation and its pressure less the
  // weight of the water above the zone's first grid-point.
  double sat[8], p[8];
  double s = 0.0;
  for (int i = 0; i < n; ++i) {
    sat[i] = Inputs::Saturation(*zone.Gp(i));
    s += sat[i];
  }
  s /= n;
  const double rho = record.density * s;
  const double* x0 = Inputs::Position(*zone.Gp(0));
  for (int i = 0; i < n; ++i) {
    const GridPoint& gp = *zone.Gp(i);
    const double* x = Inputs::Position(gp);
    p[i] = Inputs::Pressure(gp) - rho * (g[0] * (x[0] - x0[0]) + g[1] * (x[1] - x0[1]) + g[2] * (x[2] - x0[2]));
  }
  for (int o = 0; o < 2; ++o) {
    const ZoneTetra* block = zone.GetTetra(o + 1);
    const TetraDef* defs = OverlayDefinitions(zone.Type(), o);
    for (int k = 0; k < zone.TetraPerOverlay(); ++k) {
      const uint8_t* slot = defs[k].gp;
      GridPoint* corner[4];
      for (int c = 0; c < 4; ++c) corner[c] = zone.Gp(slot[c]);
      const ZoneTetra& t = block[k];
      const double volume3 = 3.0 * t.volume;
      FluidModelMessage m;
      m.operation = FluidModelMessage::kFlux;
      double st = 0.0;
      for (int c = 0; c < 4; ++c) {
        for (int a = 0; a < 3; ++a) m.gradient[a] += t.area[c][a] * p[slot[c]] / volume3;
        st += sat[slot[c]] * 0.25;
      }
      record.Call(m);
      visit(m.flux, t.volume, st, corner);
    }
  }
}

// Each tetrahedron's share of the velocities of its corners.
void VelocityTerm(const double* q, double v, double st, double term[4]) {
  for (int a = 0; a < 3; ++a) term[a] = q[a] * v * st;
  term[3] = v;
}
}  // namespace

FluidModule::VelocityTerms& FluidModule::ZoneVelocityTerms(Zone& zone, const FluidModel& record) {
  // A small table by the zone's address: the zones of the grid-points that
  // particles ask for lie together, and a zone pushed out is worked out again.
  constexpr size_t kSlots = 4096;
  if (velocityTerms_.empty()) velocityTerms_.resize(kSlots);
  const size_t slot = (reinterpret_cast<uintptr_t>(&zone) >> 4) * 0x9E3779B97F4A7C15ull >> 52;
  VelocityTerms& t = velocityTerms_[slot % kSlots];
  if (t.zone == &zone && t.kept == keptCount_) return t;
  t.zone = &zone;
  t.kept = keptCount_;
  int i = 0;
  ForEachTetraFlux<KeptInputs>(zone, record, [&](const double* q, double v, double st, GridPoint* const*) {
    VelocityTerm(q, v, st, t.term[i++]);
  });
  return t;
}

namespace {
// Adds the tetrahedron's flux to the velocity sums of its corners.
void AddCornerVelocities(const double* q, double v, double st, GridPoint* const* corner) {
  double term[4];
  VelocityTerm(q, v, st, term);
  for (int c = 0; c < 4; ++c) {
    GpFluidData* f = corner[c]->fluid.get();
    if (!f) continue;
    for (int a = 0; a < 3; ++a) f->velocitySum[a] += term[a];
    f->velocityWeight += term[3];
  }
}
}  // namespace

void FluidModule::FluidFlowVector(Zone& zone, double out[3]) {
  out[0] = out[1] = out[2] = 0.0;
  ZoneCreated(zone);
  const FluidModel& record = *FluidRecord(zone);
  if (record.modelType == 0) return;
  double w = 0.0;
  ForEachTetraFlux<LiveInputs>(zone, record, [&](const double* q, double v, double st, GridPoint* const*) {
    for (int a = 0; a < 3; ++a) out[a] += q[a] * v * st;
    w += v;
  });
  for (int a = 0; a < 3; ++a) out[a] = w != 0.0 ? out[a] / w : 0.0;
}

void FluidModule::KeepVelocityInputs() {
  ++keptCount_;
  auto keep = [](const GridPoint& gp, GpFluidData& f) {
    f.keptPressure = gp.porePressure;
    f.keptSaturation = f.saturation;
    for (int a = 0; a < 3; ++a) f.keptPosition[a] = gp.position[a];
  };
  // The step's own arrays when they list every block: no walk of the grid-point list.
  if (blocksListed_) {
    const size_t count = gps_.size();
    for (size_t k = 0; k < count; ++k) {
      if (k + kGpsAhead < count) {
        const GridPoint* gp = gps_[k + kGpsAhead];
        const GpFluidData* f = blocks_[k + kGpsAhead];
        __builtin_prefetch(gp->position, 0);
        __builtin_prefetch(&gp->porePressure, 0);
        __builtin_prefetch(&f->saturation, 0);
        __builtin_prefetch(&f->keptPressure, 1);
      }
      keep(*gps_[k], *blocks_[k]);
    }
    return;
  }
  for (GridPoint* gp : GridPointList())
    if (GpFluidData* f = gp->fluid.get()) keep(*gp, *f);
}

void FluidModule::GridPointVelocities() {
  for (Zone* zone : ZoneList()) {
    const FluidModel* record = FluidRecord(*zone);
    if (!record || record->modelType == 0) continue;
    ForEachTetraFlux<KeptInputs>(*zone, *record, AddCornerVelocities);
  }
}

void FluidModule::GridPointVelocities(const std::vector<Zone*>& zones, uint64_t mark) {
  // The zones lie apart in memory, and each reaches its record, its
  // tetrahedra, its grid-points and their blocks through pointers: those
  // are asked for in stages, a few zones ahead.
  constexpr size_t kZoneAhead = 8, kPartsAhead = 4, kBlocksAhead = 2;
  const size_t count = zones.size();
  for (size_t i = 0; i < count; ++i) {
    if (i + kZoneAhead < count) {
      const Zone* z = zones[i + kZoneAhead];
      __builtin_prefetch(&z->fluid, 0);
      __builtin_prefetch(z->Gps(), 0);
    }
    if (i + kPartsAhead < count) {
      Zone* z = zones[i + kPartsAhead];
      __builtin_prefetch(z->fluid.get(), 0);
      for (int o = 1; o <= 2; ++o) {
        const ZoneTetra* block = z->GetTetra(o);
        for (int k = 0; k < z->TetraPerOverlay(); ++k) __builtin_prefetch(&block[k].area[1][0], 0);
      }
      for (int c = 0; c < z->GpCount(); ++c) __builtin_prefetch(&z->Gp(c)->fluid, 0);
    }
    if (i + kBlocksAhead < count) {
      const Zone* z = zones[i + kBlocksAhead];
      for (int c = 0; c < z->GpCount(); ++c) {
        const GpFluidData* f = z->Gp(c)->fluid.get();
        __builtin_prefetch(f ? &f->keptPressure : nullptr, 1);
      }
    }
    Zone* zone = zones[i];
    const FluidModel* record = FluidRecord(*zone);
    if (!record || record->modelType == 0) continue;
    ForEachTetraFlux<KeptInputs>(*zone, *record,
                                 [mark](const double* q, double v, double st, GridPoint* const* corner) {
                                   double term[4];
                                   VelocityTerm(q, v, st, term);
                                   for (int c = 0; c < 4; ++c) {
                                     GpFluidData* f = corner[c]->fluid.get();
                                     if (!f || f->velocityStamp != mark) continue;
                                     for (int a = 0; a < 3; ++a) f->velocitySum[a] += term[a];
                                     f->velocityWeight += term[3];
                                   }
                                 });
  }
}

void FluidModule::GridPointVelocity(GridPoint& gp, const std::vector<Zone*>& zones) {
  GpFluidData* f = gp.fluid.get();
  if (!f) return;
  f->velocitySum[0] = f->velocitySum[1] = f->velocitySum[2] = 0.0;
  f->velocityWeight = 0.0;
  const Zone* previous = nullptr;
  for (Zone* zone : zones) {
    // A zone that names the grid-point twice is listed twice in a row.
    if (zone == previous) continue;
    previous = zone;
    const FluidModel* record = FluidRecord(*zone);
    if (!record || record->modelType == 0) continue;
    const VelocityTerms& t = ZoneVelocityTerms(*zone, *record);
    const int per = zone->TetraPerOverlay();
    // The zone's corners that are this grid-point.
    unsigned mine = 0;
    for (int i = 0; i < zone->GpCount(); ++i)
      if (zone->Gp(i) == &gp) mine |= 1u << i;
    for (int o = 0; o < 2; ++o) {
      const TetraDef* defs = OverlayDefinitions(zone->Type(), o);
      for (int k = 0; k < per; ++k)
        for (int c = 0; c < 4; ++c) {
          if (!(mine >> defs[k].gp[c] & 1u)) continue;
          const double* term = t.term[o * per + k];
          for (int a = 0; a < 3; ++a) f->velocitySum[a] += term[a];
          f->velocityWeight += term[3];
        }
    }
  }
}
