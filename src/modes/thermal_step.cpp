// The thermal mode's work inside a step: zone heat flows, advection and
// hydration heat, the explicit and implicit temperature updates and the
// thermal apply conditions.
#include <algorithm>
#include <cmath>

#include "base/except.h"
#include "generate/water_table.h"
#include "mechanics/apply_condition.h"
#include "model/grid.h"
#include "model/model.h"
#include "model/model_settings.h"
#include "modes/apply_factor.h"
#include "modes/fluid_model.h"
#include "modes/mode_links.h"
#include "modes/thermal_model.h"
#include "modes/thermal_module.h"

namespace {
void AddHeat(GpThermalData& t, double q, bool magnitude) {
  t.heatFlow -= q;
  if (magnitude) t.heatMagnitude += std::fabs(q);
}
}  // namespace

// The heat the zone's fluid flow carries in, spread over its corners by
// their shares of the zone's volume.
void ThermalModule::Advection(const ZoneWork& w) {
  using namespace thermal_props;
  const ThermalModel& r = *w.record;
  const FluidModel* fr = FluidRecord(*w.zone);
  const double rho = fr ? fr->density : TheWaterTable().density;
  const double lspec = r.Property(kLSpecHeat);
  const double q[3] = {r.Property(kFq), r.Property(kFq + 1), r.Property(kFq + 2)};
  double weight[8] = {}, g[3] = {0, 0, 0};
  int count = 0;
  Zone& zone = *w.zone;
  for (int o = 0; o < 2; ++o) {
    const ZoneTetra* block = zone.GetTetra(o + 1);
    if (!block) continue;
    const TetraDef* defs = OverlayDefinitions(zone.Type(), o);
    for (int k = 0; k < zone.TetraPerOverlay(); ++k) {
      const ZoneTetra& t = block[k];
      for (int c = 0; c < 4; ++c) {
        const int i = defs[k].gp[c];
        weight[i] += t.volume * 0.25;
        for (int a = 0; a < 3; ++a) g[a] += t.area[c][a] * blocks_[w.node[i]]->temperature / (3.0 * t.volume);
      }
      ++count;
    }
  }
  if (count == 0) return;
  const double a = (q[0] * g[0] + q[1] * g[1] + q[2] * g[2]) / count * rho * 0.5 * lspec;
  for (int i = 0; i < w.n; ++i) {
    GpThermalData& th = *blocks_[w.node[i]];
    th.heatFlow += weight[i] * a;
    th.heatMagnitude += std::fabs(weight[i] * a);
  }
}

void ThermalModule::ZoneHeatSource(Zone& zone, double value, int phase) {
  ForEachTetraCorner(zone, [&](GridPoint& gp, double volume) {
    if (!gp.thermal) GridPointCreated(gp);
    AddHeat(*gp.thermal, volume * value * 0.125, phase == 1);
  });
}

void ThermalModule::Step(CommandType&) {
  const ModelSettings& settings = Settings();
  const double dt = settings.timestep;
  GpThermalData* const* blocks = blocks_.data();
  for (const ZoneWork& w : zones_) {
    double x[8], y[8];
    for (int i = 0; i < w.n; ++i) x[i] = blocks[w.node[i]]->temperature;
    PackedMatrixTimes(w.matrix, x, y, w.n);
    for (int i = 0; i < w.n; ++i) {
      GpThermalData& th = *blocks[w.node[i]];
      th.heatFlow += y[i];
      th.heatMagnitude += std::fabs(y[i]);
    }
  }
  for (const ZoneWork& w : advection_) Advection(w);
  for (const ZoneWork& w : hydration_) {
    ThermalModelMessage m;
    m.operation = ThermalModelMessage::kHydration;
    m.temperature = ZoneTemperature(*w.zone);
    m.timestep = dt;
    w.record->Call(m);
    ZoneHeatSource(*w.zone, m.heat, 1);
    w.zone->stepValue = m.hydration;
  }
  ApplyPass(1);
  if (implicit_) ApplyPass(2);
  const bool linked = ThermalLinked();
  if (linked) ThermalLinkPass(1);
  const int mode = settings.ratioType;
  double qTerm = 0.0, mTerm = 0.0, ratio = 0.0;
  bool anyRatio = false;
  const size_t count = gps_.size();
  for (size_t k = 0; k < count; ++k) {
    GpThermalData& t = *blocks_[k];
    if (!free_[k]) t.heatFlow = 0.0;
    const double q = t.heatFlow;
    t.heatFlow = -(dt * t.inverseCapacity * q);
    if (mode == 0) {
      qTerm += std::fabs(q);
      mTerm += t.heatMagnitude;
    } else if (mode == 1) {
      qTerm = std::max(qTerm, std::fabs(q));
      mTerm = std::max(mTerm, std::fabs(t.heatMagnitude));
    } else if (mode == 2 && t.heatMagnitude != 0.0) {
      ratio = anyRatio ? std::max(ratio, std::fabs(q) / t.heatMagnitude) : std::fabs(q) / t.heatMagnitude;
      anyRatio = true;
    }
  }
  if (mode == 0 || mode == 1)
    heatRatio_ = mTerm == 0.0 ? ModelSettings::kLargest : qTerm / mTerm;
  else if (mode == 2)
    heatRatio_ = anyRatio ? ratio : 0.0;
  if (implicit_) ImplicitSolve(dt);
  if (linked) ThermalLinkPass(2);
  for (size_t k = 0; k < count; ++k) {
    GpThermalData& t = *blocks_[k];
    t.temperature += t.heatFlow;
    t.temperatureIncrement += t.heatFlow;
    t.heatFlow = 0.0;
    t.heatMagnitude = 0.0;
  }
}

void ThermalModule::ImplicitSolve(double dt) {
  const size_t count = gps_.size();
  if (relax_.unknowns.size() != count) throw KWRExcept("Implicit scheme failed to converge");
  for (size_t g = 0; g < count; ++g) {
    if (!terms_[g]) throw KWRExcept("Implicit scheme failed to converge");
    const GpThermalData& t = *blocks_[g];
    terms_[g]->estimate = free_[g] ? terms_[g]->weight * t.heatFlow : 0.0;
    relax_.factor[g] = t.inverseCapacity;
    relax_.increment[g] = t.heatFlow;
    relax_.free[g] = free_[g];
  }
  const bool convection = AnyApplyQuantity(kApplyConvection);
  if (!relax_.Solve(zones_, terms_.data(), iterationLimit_, dt, lastSweeps_, convection,
                    [this](ImplicitTerms* const*) { ApplyPass(4); }))
    throw KWRExcept("Implicit scheme failed to converge");
  for (size_t g = 0; g < count; ++g) blocks_[g]->heatFlow = free_[g] ? relax_.unknowns[g].estimate : 0.0;
}

// ---------------------------------------------------------------------------
// Apply conditions

double ThermalModule::ApplyFactor(const ApplyValue& value, int phase) { return ModeApplyFactor(*this, value, phase); }

void ThermalModule::FacePass(const ApplyValue& item, const ApplyCondition& condition, int phase, double factor) {
  const ZoneFace* face = condition.Face();
  if (!face || !face->GetZone()) return;
  const int n = face->GpCount();
  if (n < 3) return;
  double c[3];
  face->Centroid(c);
  const double* gr = item.gradient;
  const double h = (item.value + gr[0] * c[0] + gr[1] * c[1] + gr[2] * c[2]) * factor / 3.0;
  const bool convection = item.quantity == kApplyConvection;
  ForEachFaceShare(*face, h, [&](GridPoint& gp, double a) {
    if (!gp.thermal) GridPointCreated(gp);
    GpThermalData& th = *gp.thermal;
    if (!convection) {
      AddHeat(th, a, phase == 1);
    } else if (phase == 1) {
      const double q = (th.temperature - item.second) * a;
      th.heatFlow += q;
      th.heatMagnitude += std::fabs(q);
    } else if (phase == 3) {
      th.heatFlow += a;
    } else if (phase == 4 && th.implicitTerms) {
      th.implicitTerms->implicitFlow += a * th.implicitTerms->estimate;
    }
  });
}

void ThermalModule::ApplyPass(int phase) {
  // The grid-points' own heat sources belong to the step's heat balance
  // only; the other phases hold other sums in heatFlow.
  if (phase == 1)
    for (GpThermalData* t : blocks_) {
      t->heatFlow -= t->heatSource;
      t->heatMagnitude += t->heatSource;
    }
  for (ApplyCondition* c = GlobalApplyList().Head(); c; c = ApplyList::Next(c)) {
    for (const ApplyValue* item = c->Values(); item; item = item->next) {
      const uint8_t q = item->quantity;
      const bool second = q == kApplyPointSourceHist || q == kApplyVolumeSourceHist || q == kApplyFluxHist;
      const bool source = phase == 1 || (phase == 2 && second);
      switch (q) {
        case kApplyPointSource:
        case kApplyPointSourceHist:
          if (source && c->Gp()) {
            GridPoint& gp = *c->Gp();
            if (!gp.thermal) GridPointCreated(gp);
            const double factor = item->HasMultiplier() ? ApplyFactor(*item, phase) : 1.0;
            AddHeat(*gp.thermal, item->value * factor, phase == 1);
          }
          break;
        case kApplyVolumeSource:
        case kApplyVolumeSourceHist:
          if (source)
            if (Zone* zone = c->GetZone()) {
              const double factor = item->HasMultiplier() ? ApplyFactor(*item, phase) : 1.0;
              ZoneHeatSource(*zone, item->value * factor, phase);
            }
          break;
        case kApplyFlux:
        case kApplyFluxHist:
          if (source) FacePass(*item, *c, phase, item->HasMultiplier() ? ApplyFactor(*item, phase) : 1.0);
          break;
        case kApplyConvection:
          if (phase == 1 || phase == 3 || phase == 4)
            FacePass(*item, *c, phase, item->HasMultiplier() ? ApplyFactor(*item, phase) : 1.0);
          break;
        default:
          break;
      }
    }
  }
}
