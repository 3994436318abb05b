#include "model/gp_fluid.h"

#include <algorithm>

#include "base/savestream.h"
#include "model/grid_point.h"
#include "model/restore_fields.h"

void ImplicitTerms::Save(SaveStream& s, const ImplicitTerms* terms) {
  s.WriteU8(terms ? 1 : 0);
  if (!terms) return;
  s.WriteF64(terms->estimate);
  s.WriteF64(terms->weight);
  s.WriteF64(terms->implicitFlow);
}

void ImplicitTerms::Restore(SaveStream& s, std::unique_ptr<ImplicitTerms>& terms, bool floatWeight) {
  if (!s.ReadFlag()) {
    terms.reset();
    return;
  }
  if (!terms) terms = std::make_unique<ImplicitTerms>();
  terms->estimate = s.ReadF64();
  terms->weight = ReadReal(s, floatWeight);
  terms->implicitFlow = s.ReadF64();
}

GpFluidData::GpFluidData(const GpFluidData& o) { *this = o; }

GpFluidData& GpFluidData::operator=(const GpFluidData& o) {
  if (this == &o) return *this;
  flow = o.flow;
  inverseVolume = o.inverseVolume;
  poreVolume = o.poreVolume;
  pressureIncrement = o.pressureIncrement;
  flowMagnitude = o.flowMagnitude;
  netFlow = o.netFlow;
  modulus = o.modulus;
  fluidModulus = o.fluidModulus;
  cutPressure = o.cutPressure;
  suction = o.suction;
  saturation = o.saturation;
  tensionLimit = o.tensionLimit;
  reserve1 = o.reserve1;
  reserve2 = o.reserve2;
  implicitTerms = o.implicitTerms ? std::make_unique<ImplicitTerms>(*o.implicitTerms) : nullptr;
  std::copy(o.velocitySum, o.velocitySum + 3, velocitySum);
  velocityWeight = o.velocityWeight;
  return *this;
}

void GpFluidData::Save(SaveStream& s) const {
  for (double v : {flow, inverseVolume, poreVolume, pressureIncrement, flowMagnitude, netFlow, modulus, fluidModulus,
                   cutPressure, suction, saturation, tensionLimit, reserve1, reserve2})
    s.WriteF64(v);
  ImplicitTerms::Save(s, implicitTerms.get());
}

// Files before 310 kept the volumes, moduli and limits as 4-byte floats;
// the suction fields came with 5 and the kept net flow with 13.
void GpFluidData::Restore(SaveStream& s) {
  const int32_t version = FileVersion();
  const bool floats = version < 310;
  flow = s.ReadF64();
  inverseVolume = ReadReal(s, floats);
  poreVolume = ReadReal(s, floats);
  pressureIncrement = s.ReadF64();
  flowMagnitude = ReadReal(s, floats);
  netFlow = 0.0;
  if (version > 12) netFlow = ReadReal(s, floats);
  modulus = ReadReal(s, floats);
  fluidModulus = ReadReal(s, floats);
  if (version > 4) {
    cutPressure = s.ReadF64();
    suction = s.ReadF64();
  }
  saturation = s.ReadF64();
  tensionLimit = ReadReal(s, floats);
  reserve1 = s.ReadF64();
  reserve2 = s.ReadF64();
  ImplicitTerms::Restore(s, implicitTerms, floats);
}

void GpFluidData::ExplicitUpdate(const GridPoint& gp, double dV) {
  const double s = saturation;
  const double vp = poreVolume;
  if (gp.flags & NodeBase::kFixPorePressure) {
    double next = 1.0;
    if (gp.porePressure == 0.0 && tensionLimit >= 0.0 && vp > 0.0) {
      next = (dV + s * vp) / vp;
      if (next <= 1e-8) next = 0.0;
      if (next > 1.0) next = 1.0;
    }
    saturation = next;
    flow = 0.0;
    return;
  }
  if (s < 0.99999) {
    const double v = s * vp + dV;
    flow = 0.0;
    if (v < 0.0) {
      saturation = 0.0;
    } else if (v >= vp) {
      flow = (v - vp) * modulus * inverseVolume;
      saturation = 1.0;
    } else {
      const double next = v / vp;
      saturation = next <= 1e-8 ? 0.0 : next;
    }
    return;
  }
  const double dp = dV * modulus * inverseVolume;
  const double pNew = gp.porePressure + dp;
  const double k = modulus * vp * inverseVolume;
  if (pNew < tensionLimit && k > 0.0) {
    const double next = pNew / k + 1.0;
    saturation = next < 0.0 ? 0.0 : std::min(next, 1.0);
    flow = -gp.porePressure;
    return;
  }
  flow = dp;
}

GpThermalData::GpThermalData(const GpThermalData& o) { *this = o; }

GpThermalData& GpThermalData::operator=(const GpThermalData& o) {
  if (this == &o) return *this;
  temperature = o.temperature;
  heatFlow = o.heatFlow;
  inverseCapacity = o.inverseCapacity;
  temperatureIncrement = o.temperatureIncrement;
  heatMagnitude = o.heatMagnitude;
  heatSource = o.heatSource;
  implicitTerms = o.implicitTerms ? std::make_unique<ImplicitTerms>(*o.implicitTerms) : nullptr;
  return *this;
}

void GpThermalData::Save(SaveStream& s) const {
  for (double v : {temperature, heatFlow, inverseCapacity, temperatureIncrement, heatSource, heatMagnitude})
    s.WriteF64(v);
  ImplicitTerms::Save(s, implicitTerms.get());
}

// Files before 310 kept the capacity as a 4-byte float; those before 181
// wrote the increment twice (the second stands) and had no heat source;
// the step magnitude came with 181 as a 4-byte float and became a double
// with 310.
void GpThermalData::Restore(SaveStream& s) {
  const int32_t version = FileVersion();
  const bool floats = version < 310;
  temperature = s.ReadF64();
  heatFlow = s.ReadF64();
  inverseCapacity = ReadReal(s, floats);
  temperatureIncrement = s.ReadF64();
  if (version < 181) temperatureIncrement = s.ReadF64();
  heatSource = version > 180 ? s.ReadF64() : 0.0;
  heatMagnitude = 0.0;
  if (version >= 310)
    heatMagnitude = s.ReadF64();
  else if (version > 180)
    heatMagnitude = s.ReadF32();
  ImplicitTerms::Restore(s, implicitTerms, floats);
}
