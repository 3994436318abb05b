// A zone's chemistry record: the amounts of the chemical components the zone
// holds (solid phases; aqueous species only when forced, as in
// initialisation), the amounts FIX chem imposes on its particles, the target
// amounts that trigger a new equilibrium, and the state of its last
// equilibrium. The chemistry mode makes one for every zone.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "model/zone.h"

struct ChemAmount {
  int32_t component = 0;
  double amount = 0.0;
};

struct ChemTarget {
  int32_t component = 0;
  double target = 0.0;
  double tolerance = 0.0;  // percent
};

class ZoneChem : public ZoneRecord {
 public:
  std::vector<ChemAmount> amounts;
  std::vector<ChemAmount> fixed;
  std::vector<ChemTarget> targets;
  uint8_t reequilibrate = 0;
  uint8_t mixRequest = 0;  // the particles of the zone are to be mixed; not saved
  // Particle marks, particles that left, and mixes since the last equilibrium.
  int32_t counters[3] = {0, 0, 0};
  double lastTemperature = 0.0;
  double lastPressure = 0.0;
  double temperatureTolerance = -1.0;  // negative: no test
  double pressureTolerance = -1.0;

  std::unique_ptr<ZoneRecord> Clone() const override { return std::make_unique<ZoneChem>(*this); }
  void MarkParticlesChanged() override;
  void AddParticlesLeft(uint32_t count) override;
  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;

  // Sets or inserts the amount; false for a component that is not a solid
  // phase of the chemistry table unless forced.
  bool SetComponent(int32_t component, double amount, bool force);
  // The same on the fixed amounts, which hold aqueous species only.
  bool FixComponent(int32_t component, double amount);
  void SetTarget(int32_t component, double target, double tolerance);
  // The amount held; 0 when absent.
  double GetComponent(int32_t component) const;
  void Clear();
  void ClearSecond() { fixed.clear(); }
  bool IsEmpty() const;
};

// The zone's chemistry record; none when it has none.
inline ZoneChem* ChemRecord(const Zone& zone) { return static_cast<ZoneChem*>(zone.chemistry.get()); }
// The zone's chemistry record, made when missing.
ZoneChem& EnsureChemRecord(Zone& zone);
// RESTORE reads chemistry records through this factory.
void InstallZoneChemRecords();
