// The scripting level of the command interpreter. It sits between the model
// level and the general commands and hands every word it does not own down.
#pragma once

#include "base/command.h"

class ZoltInterpreter : public CommandType {
 public:
  ZoltInterpreter(int level, MacroTable* macros, ConsoleDevice* device = nullptr)
      : CommandType(level, macros, false, device) {}

  int Execute() override;
  int Print() override;
  // Clears the scripting state and the macros before every pass of the run loop.
  void ClearMacros() override;
};
