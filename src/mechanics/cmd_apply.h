// APPLY: sets and removes boundary and loading conditions on grid-points,
// zones and zone faces inside a range.
#pragma once

class ModelInterpreter;

void ApplyCommand(ModelInterpreter& interp);
