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
#include "modes/apply_factor.h"
#include "modes/fluid_model.h"
#include "modes/fluid_module.h"
#include "modes/mode_links.h"

namespace {

constexpr double kSaturated = 0.99999;

bool Linked(const GridPoint& gp) { return (gp.flags & (NodeBase::kAttached | NodeBase::kSlaved)) != 0; }
bool Fixed(const GridPoint& gp) { return (gp.flags & NodeBase::kFixPorePressure) != 0; }
bool Excluded(const GridPoint& gp) { return (gp.flags & NodeBase::kNoFluidZone) != 0; }

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

double FluidModule::ZoneSaturation(const ZoneWork& w) const {
  double sum = 0.0;
  for (int i = 0; i < w.n; ++i) sum += w.fl[i]->saturation;
  return sum / w.n;
}

void FluidModule::ZoneFlows(const ZoneWork& w, const double g[3], double q[8]) const {
  const double s = ZoneSaturation(w);
  const double rho = w.record->density * s;
  const double* x0 = w.gp[0]->position;
  double p[8] = {};
  for (int i = 0; i < w.n; ++i) {
    const double* x = w.gp[i]->position;
    p[i] = w.gp[i]->porePressure - rho * (g[0] * (x[0] - x0[0]) + g[1] * (x[1] - x0[1]) + g[2] * (x[2] - x0[2]));
  }
  w.record->MatrixTimes(p, q, w.n);
  if (s < kSaturated) {
    double sat[8];
    for (int i = 0; i < w.n; ++i) sat[i] = w.fl[i]->saturation;
    UnsaturatedFlows(q, sat, w.n);
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
  for (const ZoneWork& w : zones_) {
    double q[8];
    ZoneFlows(w, g, q);
    for (int i = 0; i < w.n; ++i) {
      w.fl[i]->flow += q[i];
      w.fl[i]->flowMagnitude += std::fabs(q[i]);
    }
  }
  ApplyPass(1);
  if (implicit_) ApplyPass(2);
  // Links between grid-points pass the flows on first, and the increments
  // back between the update and the new pressures.
  const bool linked = FluidLinked();
  if (linked) FluidLinkPass(1);
  // The explicit update and the new pressure of a grid-point depend on that
  // grid-point alone: one walk does both.
  const size_t count = gps_.size();
  for (size_t k = 0; k < count; ++k) {
    GridPoint& gp = *gps_[k];
    GpFluidData& f = *blocks_[k];
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
  for (size_t g = 0; g < count; ++g) {
    GpFluidData& f = *blocks_[g];
    if (!terms_[g]) throw KWRExcept("Implicit scheme failed to converge");
    f.flow = -(f.modulus * f.inverseVolume * f.flow * dt);
    terms_[g]->estimate = terms_[g]->weight * f.flow;
    const GridPoint& gp = *gps_[g];
    sweepFree_[g] = !(Fixed(gp) || Excluded(gp) || Linked(gp));
  }
  double previous = 0.0;
  bool converged = false;
  for (int32_t k = 0; k < iterationLimit_; ++k) {
    lastSweeps_ = k + 1;
    for (ImplicitTerms* t : terms_) t->implicitFlow = 0.0;
    for (const ZoneWork& w : zones_) {
      double x[8], y[8];
      for (int i = 0; i < w.n; ++i) x[i] = w.terms[i]->estimate;
      w.record->MatrixTimes(x, y, w.n);
      for (int i = 0; i < w.n; ++i) w.terms[i]->implicitFlow += y[i];
    }
    ApplyPass(4);
    double largestChange = 0.0, largestEstimate = 0.0;
    for (size_t g = 0; g < count; ++g) {
      if (!sweepFree_[g]) continue;
      const GpFluidData& f = *blocks_[g];
      ImplicitTerms& t = *terms_[g];
      t.implicitFlow = -(f.modulus * f.inverseVolume * t.implicitFlow * dt);
      double delta = ((t.implicitFlow * 0.5 + f.flow) - t.estimate) * t.weight;
      t.estimate += delta;
      largestEstimate = std::max(largestEstimate, std::fabs(t.estimate));
      if (previous > 0.001) delta /= previous;
      largestChange = std::max(largestChange, std::fabs(delta));
    }
    if (largestChange < 0.01 && k > 3) {
      converged = true;
      break;
    }
    previous = largestEstimate;
  }
  if (!converged) throw KWRExcept("Implicit scheme failed to converge");
  for (size_t g = 0; g < count; ++g) blocks_[g]->flow = sweepFree_[g] ? terms_[g]->estimate : 0.0;
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
  // A quadrilateral is covered twice by its four corner triangles.
  const int triangles = n == 4 ? 4 : 1;
  const double share = n == 4 ? 0.25 : 0.5;
  for (int t = 0; t < triangles; ++t) {
    GridPoint* corner[3];
    for (int k = 0, m = 0; k < 4 && m < 3; ++k)
      if (n == 3 || k != t) corner[m++] = face->GetGp(k);
    const double* p0 = corner[0]->position;
    double e1[3], e2[3];
    for (int a = 0; a < 3; ++a) {
      e1[a] = corner[1]->position[a] - p0[a];
      e2[a] = corner[2]->position[a] - p0[a];
    }
    const double x[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
    const double a = std::sqrt(x[0] * x[0] + x[1] * x[1] + x[2] * x[2]) * h * share;
    for (GridPoint* gp : corner) {
      GpFluidData& f = *gp->fluid;
      if (!leakage) {
        AddFlow(*gp, a, phase == 1);
      } else if (phase == 1) {
        const double q = (gp->porePressure - item.second) * a;
        f.flow += q;
        f.flowMagnitude += std::fabs(q);
        if (!Fixed(*gp)) {
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
    }
  }
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
            for (int o = 0; o < 2; ++o) {
              const ZoneTetra* block = zone->GetTetra(o + 1);
              const TetraDef* defs = OverlayDefinitions(zone->Type(), o);
              for (int k = 0; k < zone->TetraPerOverlay(); ++k)
                for (int corner = 0; corner < 4; ++corner) {
                  GridPoint& gp = *zone->Gp(defs[k].gp[corner]);
                  if (!gp.fluid) GridPointCreated(gp);
                  AddFlow(gp, block[k].volume * v * 0.125, phase == 1);
                }
            }
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
  if (linked) FluidLinkPass(1);
  const size_t count = gps_.size();
  for (size_t k = 0; k < count; ++k) {
    GridPoint& gp = *gps_[k];
    if (Excluded(gp)) continue;
    GpFluidData& f = *blocks_[k];
    if (Linked(gp)) f.flow = 0.0;
    f.ExplicitUpdate(gp, -f.flow);
    if (linked) continue;
    gp.porePressure += f.flow;
    f.flow = 0.0;
  }
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
  const bool pore = Settings().porePressure;
  for (const ZoneWork& w : zones_) {
    if (w.zone->IsNull()) continue;
    const double* v = w.record->stepValues;
    if (v[3] == 0.0 || !pore) continue;
    double sum = 0.0;
    for (int i = 0; i < w.n; ++i) sum += w.fl[i]->pressureIncrement;
    const double dp = sum / w.n;
    if (dp != 0.0) ShiftZoneStress(*w.zone, v[3] * dp);
  }
}

void FluidModule::ClearPressureIncrements() {
  for (GpFluidData* f : blocks_) f->pressureIncrement = 0.0;
}

void FluidModule::ClearFlowSums() {
  ClearPressureIncrements();
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
    for (int i = 0; i < w.n; ++i) sum += w.fl[i]->cutPressure;
    const double a = sum / w.n;
    if (a == 0.0) continue;
    w.record->cutPressureSum += a;
    ShiftZoneStress(*w.zone, a);
  }
}

// ---------------------------------------------------------------------------
// Flow vectors

namespace {
// Each overlay tetrahedron's flux of the zone with its volume and mean corner saturation.
template <class Visit>
void ForEachTetraFlux(Zone& zone, const FluidModel& record, Visit visit) {
  const double* g = Settings().gravity;
  const int n = zone.GpCount();
  double s = 0.0;
  for (int i = 0; i < n; ++i) s += zone.Gp(i)->fluid ? zone.Gp(i)->fluid->saturation : 0.0;
  s /= n;
  const double rho = record.density * s;
  const double* x0 = zone.Gp(0)->position;
  for (int o = 0; o < 2; ++o) {
    const ZoneTetra* block = zone.GetTetra(o + 1);
    const TetraDef* defs = OverlayDefinitions(zone.Type(), o);
    for (int k = 0; k < zone.TetraPerOverlay(); ++k) {
      const ZoneTetra& t = block[k];
      FluidModelMessage m;
      m.operation = FluidModelMessage::kFlux;
      double st = 0.0;
      GridPoint* corner[4];
      for (int c = 0; c < 4; ++c) {
        GridPoint* gp = corner[c] = zone.Gp(defs[k].gp[c]);
        const double* x = gp->position;
        const double p =
            gp->porePressure - rho * (g[0] * (x[0] - x0[0]) + g[1] * (x[1] - x0[1]) + g[2] * (x[2] - x0[2]));
        for (int a = 0; a < 3; ++a) m.gradient[a] += t.area[c][a] * p / (3.0 * t.volume);
        st += gp->fluid ? gp->fluid->saturation * 0.25 : 0.0;
      }
      record.Call(m);
      visit(m.flux, t.volume, st, corner);
    }
  }
}
}  // namespace

void FluidModule::FluidFlowVector(Zone& zone, double out[3]) {
  out[0] = out[1] = out[2] = 0.0;
  ZoneCreated(zone);
  const FluidModel& record = *FluidRecord(zone);
  if (record.modelType == 0) return;
  double w = 0.0;
  ForEachTetraFlux(zone, record, [&](const double* q, double v, double st, GridPoint* const*) {
    for (int a = 0; a < 3; ++a) out[a] += q[a] * v * st;
    w += v;
  });
  for (int a = 0; a < 3; ++a) out[a] = w != 0.0 ? out[a] / w : 0.0;
}

void FluidModule::GridPointVelocities() {
  for (Zone* zone : ZoneList()) {
    const FluidModel* record = FluidRecord(*zone);
    if (!record || record->modelType == 0) continue;
    ForEachTetraFlux(*zone, *record, [](const double* q, double v, double st, GridPoint* const* corner) {
      for (int c = 0; c < 4; ++c) {
        GpFluidData* f = corner[c]->fluid.get();
        if (!f) continue;
        for (int a = 0; a < 3; ++a) f->velocitySum[a] += q[a] * v * st;
        f->velocityWeight += v;
      }
    });
  }
}
