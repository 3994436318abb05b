// The heat-conduction calculation mode: the module's settings and listing,
// the per-zone thermal records and per-grid-point thermal blocks it makes,
// the preparation of nodal heat capacities, zone conductances and the stable
// time step, the thermal step (explicit, or implicit by relaxation), the pass
// over the thermal apply conditions, and the temperature changes that the
// mechanical step reads.
#pragma once

#include <cstdint>
#include <vector>

#include "model/calc_module.h"
#include "modes/conduction_network.h"

class ApplyValue;
class ApplyCondition;
struct ImplicitTerms;
class ThermalModel;
struct GpThermalData;

class ThermalModule : public ThermalCalcModule {
 public:
  ThermalModule();
  ~ThermalModule() override;

  // CalcModule
  double GetTimestep() override { return thermalTimestep_; }
  // Refreshes every zone's model values, also while the mode is off.
  void Prepare() override;
  // Capacities, conductances and the stable time step.
  void PrepareActive(CommandType& interp) override;
  bool AcceptTimestep(double dt) override { return dt > 0.0 && dt <= thermalTimestep_; }
  void GridPointCreated(GridPoint& gp) override;
  void ZoneCreated(Zone& zone) override;
  int Set(CommandType& interp) override;
  void Print(CommandType& interp) override;
  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;

  // ThermalCalcModule
  double ZoneTemperature(const Zone& zone) const override;
  double ThermalExpansion(const Zone& zone) const override;
  double TetraTemperatureIncrement(const Zone& zone, const TetraDef& tetra) const override;
  void ClearHeatSums() override { ClearTemperatureIncrements(); }
  void Step(CommandType& interp) override;
  SolveModeSettings SolveSettings() const override;

  // The stages of a step, public for tests.
  // The thermal apply conditions in one phase (1 each step, 2 each implicit
  // step, 3 at preparation, 4 each implicit sweep).
  void ApplyPass(int phase);
  double ApplyFactor(const ApplyValue& value, int phase);
  void ImplicitSolve(double dt);
  void ClearTemperatureIncrements();
  // The zone's heat flux: the volume-weighted mean of its tetrahedron fluxes.
  void HeatFluxVector(const Zone& zone, double out[3]) const;

  bool Implicit() const { return implicit_; }
  bool Slave() const { return slave_; }
  int32_t StepLimit() const { return stepLimit_; }
  int32_t SubstepLimit() const { return substepLimit_; }
  int32_t IterationLimit() const { return iterationLimit_; }
  double ThermalTimestep() const { return thermalTimestep_; }
  double RatioLimit() const { return ratioLimit_; }
  double HeatRatio() const { return heatRatio_; }
  int32_t LastSweeps() const { return lastSweeps_; }

 private:
  using ZoneWork = NetworkZone<ThermalModel>;
  void BuildWorkLists();
  void BuildConductance(Zone& zone, ThermalModel& record);
  void HeatCapacity(Zone& zone, const ThermalModel& record);
  void AdvectionPrepare(Zone& zone, ThermalModel& record);
  void Advection(const ZoneWork& w);
  void ZoneHeatSource(Zone& zone, double value, int phase);
  void FacePass(const ApplyValue& value, const ApplyCondition& condition, int phase, double factor);

  bool implicit_ = false;
  bool slave_ = false;
  int32_t stepLimit_ = 1000000000;
  int32_t substepLimit_ = 100;
  int32_t iterationLimit_ = 500;
  double thermalTimestep_ = 0.0;
  double ratioLimit_ = 0.0;
  double heatRatio_ = 0.0;
  int32_t lastSweeps_ = 0;
  std::vector<ZoneWork> zones_;      // zones of a non-null model
  std::vector<ZoneWork> hydration_;  // zones of the concrete models
  std::vector<ZoneWork> advection_;  // zones of th_ac
  std::vector<GridPoint*> gps_;      // every grid-point with a thermal block
  std::vector<GpThermalData*> blocks_;
  std::vector<ImplicitTerms*> terms_;
  std::vector<uint8_t> free_;     // not fixed, not excluded, not linked
  std::vector<double> matrices_;  // the zones' matrices in zone order
  ImplicitRelaxation relax_;      // sized while the implicit scheme is on
};
