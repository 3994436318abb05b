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

// What the fluid mode lends INITIAL; filled in at its start-up. Until then
// no zone has a fluid density to set.
struct InitialServices {
  // The fluid density of the zone's fluid record (created when missing).
  double* (*zoneFluidDensity)(Zone& zone) = nullptr;
};
InitialServices& InitialHooks();
