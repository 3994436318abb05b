// The model level of the command interpreter: every command line reaches it first.
#pragma once

#include "zolt/zolt_interpreter.h"

class ModelInterpreter : public ZoltInterpreter {
 public:
  ModelInterpreter(MacroTable* macros, ConsoleDevice* device = nullptr)
      : ZoltInterpreter(0, macros, device) {}

  int Execute() override { return Command(); }
  // Dispatches the model's first words; hands the others to the scripting level.
  int Command();
};
