// FIX and FREE: the fixity of grid-point velocities, temperatures and pore
// pressures inside a range (FIX with a value also sets the quantity), and
// FIX chem on the chemistry of zones.
#pragma once

class ModelInterpreter;

// FIX with fix true, FREE with fix false.
void FixFreeCommand(ModelInterpreter& interp, bool fix);
