// Registers the boundary and initial conditions with the model: APPLY, FIX,
// FREE, INITIAL, PRINT APPLY, the apply list's part in NEW and the grid's
// hooks into the apply records.
#pragma once

void InstallMechanicsApply();
