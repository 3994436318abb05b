#include "zolt/zolt_interpreter.h"

int ZoltInterpreter::Dispatch(CommandType& interp) { return interp.ExecuteGeneral(); }

int ZoltInterpreter::Print(CommandType& interp) { return interp.PrintGeneral(); }

int ZoltInterpreter::Set(CommandType& interp) { return interp.SetGeneral(); }

// No scripting state exists yet: nothing to clear.
void ZoltInterpreter::Clear(CommandType&) {}
