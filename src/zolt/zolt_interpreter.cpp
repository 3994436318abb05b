#include "zolt/zolt_interpreter.h"

int ZoltInterpreter::Execute() { return ExecuteGeneral(); }

int ZoltInterpreter::Print() { return PrintGeneral(); }

void ZoltInterpreter::ClearMacros() { CommandType::ClearMacros(); }
