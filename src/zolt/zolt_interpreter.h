// The scripting level of the command interpreter: DEFINE, scripting symbols
// as commands and parameters, and the scripting state. Installed on the
// interpreter at start-up; every line the model level does not own passes
// through it on its way to the general commands.
#pragma once

#include "base/command.h"

class ZoltInterpreter : public ScriptLevel {
 public:
  int Dispatch(CommandType& interp) override;
  int Print(CommandType& interp) override;
  int Set(CommandType& interp) override;
  void Clear(CommandType& interp) override;
  // The scripting state of the save file: the statement and symbol lists,
  // the fifty zoltcall lists, the memory blocks and four option bytes.
  void SaveState(CommandType& interp, SaveStream& stream) override;
  void RestoreState(CommandType& interp, SaveStream& stream) override;
};
