// The grid text file: a model's grid-points, zones and zone groups in plain
// text, written by EXPGRID and read by IMPGRID.
#pragma once

class ModelInterpreter;

// EXPGRID <file>: the grid of the model to the file (default extension "Terrax").
void ExportGrid(ModelInterpreter& interp);
// IMPGRID <file>: the file's grid-points, zones and groups added to the
// model, then the zones linked across the faces they share. A file that is
// refused leaves the model as it was.
void ImportGrid(ModelInterpreter& interp);
