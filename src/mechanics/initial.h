// INITIAL: initial values of grid-point and zone quantities inside a range,
// set, multiplied or added to, optionally varying linearly in space; INITIAL
// damping sets the damping of grid-points and the hysteretic damping of zones.
#pragma once

class ModelInterpreter;
class Range;
class Zone;

void InitialCommand(ModelInterpreter& interp);
// INITIAL damping after its word, on the command's range.
void InitialDamping(ModelInterpreter& interp, const Range& range);

// What the hysteretic damping and the fluid mode lend INITIAL; filled in at
// their start-up. Until then hysteretic damping cannot be set (only "off"
// works) and no zone has a fluid density to set.
struct InitialServices {
  // Gives the zone a new hysteretic damping state with the curve code
  // (1 default, 3 sig3, 4 sig4, 5 hardin) and up to four coefficients.
  void (*setHystDamping)(Zone& zone, int code, const double* coefficients, int count) = nullptr;
  // The fluid density of the zone's fluid record (created when missing).
  double* (*zoneFluidDensity)(Zone& zone) = nullptr;
};
InitialServices& InitialHooks();
