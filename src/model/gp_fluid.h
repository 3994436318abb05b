// The grid-point blocks of the flow modes: the relaxation terms of the
// implicit schemes (shared by the fluid and thermal modes), the fluid block
// that every grid-point of a fluid model carries and the thermal block of
// every grid-point of a thermal model.
#pragma once

#include <cstdint>
#include <memory>

class GridPoint;
class SaveStream;

// One grid-point's unknowns of an implicit relaxation scheme: the current
// estimate of the step's increment, the grid-point's relaxation weight, and
// the flow the estimates cause in the current sweep.
struct ImplicitTerms {
  double estimate = 0.0;
  double weight = 0.0;
  double implicitFlow = 0.0;

  // A presence byte, then the three values.
  static void Save(SaveStream& stream, const ImplicitTerms* terms);
  // Reads what Save wrote into `terms` (made or freed as the byte says);
  // `floatWeight` reads the weight of old files as a 4-byte float.
  static void Restore(SaveStream& stream, std::unique_ptr<ImplicitTerms>& terms, bool floatWeight);
};

struct GpFluidData {
  // During a step the net outflow (volume per time, inflow negative), then
  // the pore-pressure increment; during preparation the diagonal conductance sum.
  double flow = 0.0;
  double inverseVolume = 0.0;  // the nodal volume, stored as its inverse after preparation
  double poreVolume = 0.0;
  double pressureIncrement = 0.0;  // pore-pressure change of the current step
  double flowMagnitude = 0.0;      // sum of |contribution| of the step
  double netFlow = 0.0;            // net outflow of the last step
  double modulus = 0.0;            // M of the pressure update (fluidModulus / porosity, or Biot's)
  double fluidModulus = 0.0;
  double cutPressure = 0.0;  // pressure removed by the pressure cut this step
  double suction = 0.0;      // negative pressure stored by the pressure cut
  double saturation = 1.0;
  double tensionLimit = -1e15;
  double reserve1 = 0.0;
  double reserve2 = 0.0;
  std::unique_ptr<ImplicitTerms> implicitTerms;  // only while the implicit scheme is selected
  // Gathered for particle tracking; not saved.
  double velocitySum[3] = {0, 0, 0};
  double velocityWeight = 0.0;
  // What the fluid velocities are taken from, kept at the end of each step
  // (pore pressure, saturation, position), and the count of the keeping that
  // velocitySum was last gathered for; not saved, not copied.
  double keptPressure = 0.0;
  double keptSaturation = 0.0;
  double keptPosition[3] = {0, 0, 0};
  uint64_t velocityStamp = 0;

  GpFluidData() = default;
  GpFluidData(const GpFluidData& o);
  GpFluidData& operator=(const GpFluidData& o);
  void Save(SaveStream& stream) const;
  // Reads a block of a file of the current restore version.
  void Restore(SaveStream& stream);

  // The pressure increment of a volume change dV (positive: more fluid) of
  // the grid-point, into flow; the saturation follows partly saturated
  // grid-points and those driven below the tension limit.
  void ExplicitUpdate(const GridPoint& gp, double dV);
};

struct GpThermalData {
  double temperature = 0.0;
  // During a step the net heat outflow, then the temperature increment;
  // during preparation the diagonal conductance sum.
  double heatFlow = 0.0;
  double inverseCapacity = 0.0;                  // the nodal heat capacity, stored as its inverse after preparation
  double temperatureIncrement = 0.0;             // change since the mechanical step last cleared it
  double heatMagnitude = 0.0;                    // sum of |contribution| of the step
  double heatSource = 0.0;                       // the grid-point's own heat source
  std::unique_ptr<ImplicitTerms> implicitTerms;  // only while the implicit scheme is selected

  GpThermalData() = default;
  GpThermalData(const GpThermalData& o);
  GpThermalData& operator=(const GpThermalData& o);
  void Save(SaveStream& stream) const;
  // Reads a block of a file of the current restore version.
  void Restore(SaveStream& stream);
};
