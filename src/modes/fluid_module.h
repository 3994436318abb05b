// The fluid-flow calculation mode: the module's settings and listing, the
// per-zone fluid records and per-grid-point fluid blocks it makes, the
// preparation of nodal volumes, zone conductances and the stable time step,
// the flow step (explicit, or implicit by relaxation), the pass over the
// fluid apply conditions, and the coupling with the mechanical step.
#pragma once

#include <cstdint>
#include <vector>

#include "model/calc_module.h"
#include "modes/conduction_network.h"

class ApplyValue;
struct ImplicitTerms;
class FluidModel;
struct GpFluidData;

class FluidModule : public FluidCalcModule {
 public:
  FluidModule();
  ~FluidModule() override;

  // CalcModule
  double GetTimestep() override { return fluidTimestep_; }
  // Volume preparation, before every run.
  void Prepare() override;
  // Conductances, fixed pressures and the stable time step.
  void PrepareActive(CommandType& interp) override;
  bool AcceptTimestep(double dt) override { return dt > 0.0 && dt <= fluidTimestep_; }
  void GridPointCreated(GridPoint& gp) override;
  void ZoneCreated(Zone& zone) override;
  int Set(CommandType& interp) override;
  void Print(CommandType& interp) override;
  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;

  // FluidCalcModule
  bool BiotOn() const override { return biot_; }
  double ZonePorosity(const Zone& zone) const override;
  double FluidStiffness(Zone& zone) override;
  void ZoneValues(const Zone& zone, ZoneFluidValues* out) const override;
  void ZoneCoupling(const Zone& zone, bool pore, ZoneFluidValues* out) const override;
  void AddVolumeChange(Zone& zone, double change) override;
  double ZoneFluidDensity(const Zone& zone) const override;
  double* ZoneFluidDensityField(Zone& zone) override;
  bool PrepareZones() override;
  void InvertGridPointVolumes() override;
  void MechanicalCoupling() override;
  void Step(CommandType& interp) override;
  void ZonePressureTerms() override;
  // After the Biot update: the step's pressure increments are cleared and
  // the pressure cut runs when it is on.
  void ClearFlowSums() override;
  SolveModeSettings SolveSettings() const override;

  // The pieces of a step, public for tests and the modes that share them.
  // The fluid apply conditions in one phase (1 each step, 2 each implicit
  // step, 3 and 5 at preparation, 4 each implicit sweep).
  void ApplyPass(int phase);
  // The time factor of a value with a multiplier in a phase.
  double ApplyFactor(const ApplyValue& value, int phase);
  // The relaxation of the implicit scheme; throws when it does not converge.
  void ImplicitSolve(double dt);
  void PressureCut();
  void ClearPressureIncrements();
  // The zone's flow vector (specific discharge).
  void FluidFlowVector(Zone& zone, double out[3]);
  // Keeps each grid-point's pressure, saturation and position for the
  // grid-point velocities of the next step.
  void KeepVelocityInputs();
  // Adds every zone's tetrahedron fluxes, from the kept values, to its
  // corners' velocity sums.
  void GridPointVelocities();
  // The same sums for one grid-point alone, from the zones that use it
  // (in zone-list order): its velocity sum and weight are set, bit for bit
  // as GridPointVelocities gathers them.
  void GridPointVelocity(GridPoint& gp, const std::vector<Zone*>& zones);
  // Adds the zones' tetrahedron fluxes, from the kept values and in the
  // order given, to the velocity sums of those of their corners whose
  // velocity stamp is the mark: the sums of the sweep for a grid-point
  // whose zones are all given in zone-list order.
  void GridPointVelocities(const std::vector<Zone*>& zones, uint64_t mark);

  bool Implicit() const { return implicit_; }
  bool Slave() const { return slave_; }
  bool Pcut() const { return pcut_; }
  int32_t StepLimit() const { return stepLimit_; }
  int32_t SubstepLimit() const { return substepLimit_; }
  int32_t IterationLimit() const { return iterationLimit_; }
  void SetIterationLimit(int32_t limit) { iterationLimit_ = limit; }
  double FluidTimestep() const { return fluidTimestep_; }
  double RatioLimit() const { return ratioLimit_; }
  double FlowRatio() const { return flowRatio_; }
  double Inflow() const { return inflow_; }
  double Outflow() const { return outflow_; }
  // Sweeps of the last implicit solution.
  int32_t LastSweeps() const { return lastSweeps_; }

 private:
  using ZoneWork = NetworkZone<FluidModel>;
  // What the zone walks of a step read and write of a grid-point, gathered
  // from the grid-point and its block before a walk and given back after it.
  struct alignas(64) FlowNode {
    double pressure;
    double saturation;
    double flow;
    double magnitude;
    double position[3];
  };
  static void GatherNode(const GridPoint& gp, const GpFluidData& f, FlowNode& node);
  // Whether this step's coupling gathered the flow step's grid-point values
  // and nothing since may have changed them; asked once per flow step.
  bool GatheredByCoupling();
  // The zones and grid-points that the step walks, rebuilt by every preparation.
  void BuildWorkLists();
  void EnsureBlocks();
  // Every zone record's values of its model (operation 3) taken again.
  void TakeZoneValues();
  void BuildConductance(Zone& zone, FluidModel& record);
  // The zone's flows from the gravity-corrected pressures of its corners,
  // weighted by saturation when partly saturated.
  void ZoneFlows(const ZoneWork& w, const double g[3], double q[8]) const;
  void AddFlow(GridPoint& gp, double q, bool magnitude);
  void FacePass(const ApplyValue& value, const class ApplyCondition& condition, int phase, double factor);

  bool implicit_ = false;
  bool slave_ = false;
  bool biot_ = false;
  bool pcut_ = false;
  int32_t stepLimit_ = 1000000000;
  int32_t substepLimit_ = 1;
  int32_t iterationLimit_ = 500;
  double fluidTimestep_ = 0.0;
  double ratioLimit_ = 0.0;
  double flowRatio_ = 0.0;
  double inflow_ = 0.0;
  double outflow_ = 0.0;
  int32_t lastSweeps_ = 0;
  // Whether ZonePressureTerms took and cleared the increments of this step.
  bool incrementsTaken_ = false;
  // Whether the step's update took this step's increments into increments_.
  bool incrementsReady_ = false;
  // What the zone stress pass reads of the listed grid-points, gathered side
  // by side when it meets its first listed zone, and the flows it adds to
  // them, held here until the coupling takes them (or given back to the
  // blocks first when a zone outside the list adds its own). The pass is
  // serial whenever the fluid mode exists.
  struct PassInput {
    double pressure, saturation, modulus, tensionLimit;
  };
  void GatherPassInputs() const;
  void ReturnPassFlows() const;
  mutable std::vector<PassInput> passInputs_;
  mutable std::vector<double> passFlows_;
  mutable size_t passZone_ = SIZE_MAX;  // the listed zone the pass last read; none between passes
  mutable bool passFlowsHeld_ = false;
  mutable bool passDirect_ = false;  // the rest of this pass adds to the blocks themselves
  // Whether the coupling of step gatheredStep_ gathered the flow step's values.
  bool gathered_ = false;
  int32_t gatheredStep_ = -1;
  std::vector<ZoneWork> zones_;
  std::vector<GridPoint*> gps_;  // every grid-point with a fluid block
  // Beside gps_: their blocks, their implicit terms and what the zone walk
  // of a step reads and writes.
  std::vector<GpFluidData*> blocks_;
  std::vector<ImplicitTerms*> terms_;
  std::vector<FlowNode> nodes_;
  // Beside gps_: the pressure increments, for the Biot stress update.
  std::vector<double> increments_;
  std::vector<double> matrices_;  // the zones' matrices in zone order
  ImplicitRelaxation relax_;      // sized while the implicit scheme is on
  // Whether gps_ holds every grid-point with a fluid block.
  bool blocksListed_ = false;
  // The keepings of the velocities' inputs, and the velocity terms of the
  // zones lately asked for.
  // One zone's terms from one keeping, per overlay tetrahedron in order:
  // flux times volume times mean corner saturation, and volume.
  struct VelocityTerms {
    const Zone* zone = nullptr;
    uint64_t kept = 0;
    double term[10][4];
  };
  VelocityTerms& ZoneVelocityTerms(Zone& zone, const FluidModel& record);
  uint64_t keptCount_ = 0;
  std::vector<VelocityTerms> velocityTerms_;
};
