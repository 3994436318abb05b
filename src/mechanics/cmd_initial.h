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
