// The grid's commands and listings, and the start-up step that installs them.
#pragma once

class ModelInterpreter;

void GpCommand(ModelInterpreter& interp);
void ZoneCommand(ModelInterpreter& interp);
// GROUP and REGION.
void GroupCommand(ModelInterpreter& interp);
// GEOM_TEST: zone quality over a range.
void GeomTestCommand(ModelInterpreter& interp);

// PRINT GROUP, PRINT GP and PRINT ZONE (after their first word).
void PrintGroup(ModelInterpreter& interp);
void PrintGp(ModelInterpreter& interp);
void PrintZone(ModelInterpreter& interp);

// Installs the grid's commands, listings, range elements and model services.
// Called once at start-up, before any command runs.
void InstallGrid();
