// The chemistry calculation mode: at a chosen interval, and on request, every
// zone that holds particles is summed with its particles, tested against its
// temperature, pressure and target tolerances, re-equilibrated through the
// chemistry link when due, and the new aqueous amounts are handed to its
// particles. The particle step mixes the particles of marked zones. The CHEM
// command runs an update or lists the last exchange.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "model/calc_module.h"

class ChemLink;
class ModelInterpreter;
class Particle;
class ZoneChem;

class ChemModule : public ChemCalcModule {
 public:
  ChemModule();
  ~ChemModule() override;

  // A connection test of the link.
  bool Connect() override;
  bool SetApplicationPath(const String* path) override;
  bool ReadResultFile(const String* file) override;
  void SetGibbsOptions(const String* text) override;
  bool IsReady() const override;
  int FindComponent(const String& name) const override;
  int PhaseCount() const override;
  int ComponentCount() const override;
  int ElementCount() const override;
  double ComponentValue(int component, const Zone& zone) const override;
  double ComponentValue(int component, const Particle& particle) const;
  int32_t ShareAmongParticles(Zone& zone, int component, double amount) override;
  const String& ComponentName(int component) const;
  const String& ElementName(int element) const;

  void AdvanceTime(double dt) override;
  void ZoneCreated(Zone& zone) override;
  bool StepDue() const override { return due_ != 0; }
  void Step(CommandType&) override { Step(); }
  // The chemistry step: nothing unless the update is due.
  void Step();
  // Makes the update due and runs it (CHEM update); InitialUpdate keeps the
  // aqueous results in the zones.
  void Update();
  void InitialUpdate();
  // The ratio of the zone's water to the water its pore space holds; 1
  // without a fluid model or water.
  double WaterRatio(const Zone& zone) const;
  // The particle step's exchange: the particles of every zone marked for
  // mixing or holding fixed amounts end with equal aqueous amounts.
  void MixParticles();
  // Script access to particle chemistry.
  void SetParticleComponent(uint32_t id, const String& name, double amount);
  void SetZoneParticles(int component, double amount, Zone& zone, bool useRatio);
  // The "Available Chemicals" choice: a numbered list on a terminal; false
  // (cancelled) when the input is not a terminal.
  bool ChooseComponents(CommandType& interp, String* name);
  // CHEM dump.
  void Dump(CommandType& out) const;

  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;

  ChemLink& Link() { return *link_; }
  const ChemLink& Link() const { return *link_; }
  uint32_t LastZone() const { return lastZone_; }
  double SinceUpdate() const { return sinceUpdate_; }

 private:
  // One zone of the step; false when it was not re-equilibrated.
  bool EquilibrateZone(Zone& zone, ZoneChem& record);

  std::unique_ptr<ChemLink> link_;
  double sinceUpdate_ = 0.0;
  uint8_t due_ = 0;
  uint8_t initialising_ = 0;
  uint32_t lastZone_ = 0;
  // Scratch of one update, sized once per update: per component (entry 0
  // unused) the sums, the results and the zone's own share; per element the totals.
  std::vector<double> sums_;
  std::vector<double> results_;
  std::vector<double> elements_;
};

// The chemistry module, or none while chemistry is not configured.
ChemModule* TheChemModule();
// The CHEM command.
void ChemCommand(ModelInterpreter& interp);
// The module factory, the zone records and the CHEM command.
void InstallChemistry();
