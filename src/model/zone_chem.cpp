#include "model/zone_chem.h"

#include <algorithm>

#include "base/savestream.h"
#include "model/calc_module.h"

namespace {

constexpr uint32_t kAmountType = 1;
constexpr uint32_t kTargetType = 2;

// A list entry's 4-byte count is checked against the bytes left before
// anything is sized by it: an amount entry is 4 + 4 + 8 bytes, a target 4 + 4 + 16.
void SaveAmounts(SaveStream& s, const std::vector<ChemAmount>& list) {
  s.WriteU32(static_cast<uint32_t>(list.size()));
  for (const ChemAmount& a : list) {
    s.WriteU32(kAmountType);
    s.WriteI32(a.component);
    s.WriteF64(a.amount);
  }
}

void RestoreAmounts(SaveStream& s, std::vector<ChemAmount>& list) {
  const uint32_t n = s.ReadU32();
  s.CheckAvailable(static_cast<uint64_t>(n) * 16u);
  list.resize(n);
  for (ChemAmount& a : list) {
    if (s.ReadU32() != kAmountType) s.ReadFailure();
    a.component = s.ReadI32();
    a.amount = s.ReadF64();
  }
}

bool AnyNonZero(const std::vector<ChemAmount>& list) {
  return std::any_of(list.begin(), list.end(), [](const ChemAmount& a) { return a.amount != 0.0; });
}

void Put(std::vector<ChemAmount>& list, int32_t component, double amount) {
  for (ChemAmount& a : list)
    if (a.component == component) {
      a.amount = amount;
      return;
    }
  list.push_back({component, amount});
}

bool IsPhase(int32_t component) { return Modes().chem && Modes().chem->IsPhase(component); }

ZoneRecord* NewZoneChem() { return new ZoneChem(); }

}  // namespace

void ZoneChem::MarkParticlesChanged() {
  mixRequest = 1;
  ++counters[0];
}

void ZoneChem::AddParticlesLeft(uint32_t count) { counters[1] += static_cast<int32_t>(count); }

bool ZoneChem::SetComponent(int32_t component, double amount, bool force) {
  if (!force && !IsPhase(component)) return false;
  Put(amounts, component, amount);
  return true;
}

bool ZoneChem::FixComponent(int32_t component, double amount) {
  if (IsPhase(component)) return false;
  Put(fixed, component, amount);
  return true;
}

void ZoneChem::SetTarget(int32_t component, double target, double tolerance) {
  for (ChemTarget& t : targets)
    if (t.component == component) {
      t.target = target;
      t.tolerance = tolerance;
      return;
    }
  targets.push_back({component, target, tolerance});
}

double ZoneChem::GetComponent(int32_t component) const {
  for (const ChemAmount& a : amounts)
    if (a.component == component) return a.amount;
  return 0.0;
}

void ZoneChem::Clear() {
  amounts.clear();
  fixed.clear();
  targets.clear();
}

bool ZoneChem::IsEmpty() const {
  return amounts.empty() && fixed.empty() && targets.empty() && !reequilibrate && !counters[0] && !counters[1] &&
         !counters[2] && lastTemperature == 0.0 && lastPressure == 0.0 && temperatureTolerance == 0.0 &&
         pressureTolerance == 0.0;
}

void ZoneChem::Save(SaveStream& s) const {
  const bool haveAmounts = AnyNonZero(amounts);
  s.WriteU8(haveAmounts ? 1 : 0);
  if (haveAmounts) SaveAmounts(s, amounts);
  const bool haveFixed = AnyNonZero(fixed);
  s.WriteU8(haveFixed ? 1 : 0);
  if (haveFixed) SaveAmounts(s, fixed);
  s.WriteU8(targets.empty() ? 0 : 1);
  if (!targets.empty()) {
    s.WriteU32(static_cast<uint32_t>(targets.size()));
    for (const ChemTarget& t : targets) {
      s.WriteU32(kTargetType);
      s.WriteI32(t.component);
      s.WriteF64(t.target);
      s.WriteF64(t.tolerance);
    }
  }
  s.WriteU8(reequilibrate);
  const bool counted = counters[0] || counters[1] || counters[2];
  s.WriteU8(counted ? 1 : 0);
  if (counted)
    for (int32_t c : counters) s.WriteI32(c);
  s.WriteF64(lastTemperature);
  s.WriteF64(lastPressure);
  s.WriteF64(temperatureTolerance);
  s.WriteF64(pressureTolerance);
}

void ZoneChem::Restore(SaveStream& s) {
  Clear();
  if (s.ReadFlag()) RestoreAmounts(s, amounts);
  if (s.ReadFlag()) RestoreAmounts(s, fixed);
  if (s.ReadFlag()) {
    const uint32_t n = s.ReadU32();
    s.CheckAvailable(static_cast<uint64_t>(n) * 24u);
    targets.resize(n);
    for (ChemTarget& t : targets) {
      if (s.ReadU32() != kTargetType) s.ReadFailure();
      t.component = s.ReadI32();
      t.target = s.ReadF64();
      t.tolerance = s.ReadF64();
    }
  }
  reequilibrate = s.ReadU8();
  mixRequest = 0;
  if (s.ReadFlag()) {
    for (int32_t& c : counters) c = s.ReadI32();
  } else {
    for (int32_t& c : counters) c = 0;
  }
  lastTemperature = s.ReadF64();
  lastPressure = s.ReadF64();
  temperatureTolerance = s.ReadF64();
  pressureTolerance = s.ReadF64();
}

ZoneChem& EnsureChemRecord(Zone& zone) {
  if (!zone.chemistry) zone.chemistry = std::make_unique<ZoneChem>();
  return *ChemRecord(zone);
}

void InstallZoneChemRecords() { InstallZoneRecordFactory(CalcModule::kChemistry, &NewZoneChem); }

double ChemCalcModule::ZoneComponentMoles(const Zone& zone, int component) const {
  const ZoneChem* r = ChemRecord(zone);
  return (r ? r->GetComponent(component) : 0.0) + ComponentValue(component, zone);
}
