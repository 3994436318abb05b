// PRINT APPLY: the apply conditions in the print range, as tables of
// grid-point, zone and face conditions; PRINT APPLY freefield dumps the
// quiet and free-field data of the face records.
#pragma once

class ModelInterpreter;

void PrintApply(ModelInterpreter& interp);
