// GENERATE ZONE and GRID: grids made from primitive shapes.
#pragma once

class CommandType;
class MeshPrimitive;
class ModelInterpreter;

// GENERATE ZONE: a primitive keyword and its options; the primitive is made
// and joined to the grid.
void GenerateZoneCommand(ModelInterpreter& interp);
// Reads the options of a primitive of the type to the end of the command,
// completes and checks its points, and generates it.
void ParsePrimitive(CommandType& interp, int type);
// GRID nx ny nz: a brick of nx x ny x nz unit zones at the origin.
void GridCommand(ModelInterpreter& interp);
