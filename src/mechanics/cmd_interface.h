// INTERFACE: creates and edits one interface; PRINT INTERFACE lists the
// interfaces or one interface's tables; the interface integrity check.
#pragma once

class ModelInterpreter;

void InterfaceCommand(ModelInterpreter& interp);
void PrintInterfaceCommand(ModelInterpreter& interp);
// An empty line, then every interface whose elements' neighbour links do
// not hold both ways, with the failing elements.
void InterfaceIntegrityCommand(ModelInterpreter& interp);
