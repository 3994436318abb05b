// The scripting level of the command interpreter: DEFINE, scripting
// functions typed as commands, PRINT of scripting symbols, and the scripting
// state with its NEW, SAVE and RESTORE. Installed on the interpreter at
// start-up; every line the model level does not own passes through it on its
// way to the general commands.
#pragma once

#include "base/command.h"
#include "zolt/zolt_executor.h"
#include "zolt/zolt_state.h"

class ZoltInterpreter : public ScriptLevel {
 public:
  ZoltInterpreter();

  // The general commands first; a word they do not know is DEFINE, a
  // scripting symbol (its function runs) or a bad command.
  int Dispatch(CommandType& interp) override;
  // The general PRINT items first; then the scripting listings, then a symbol.
  int Print(CommandType& interp) override;
  int Set(CommandType& interp) override;
  // NEW: every function, variable, registration and memory block goes.
  void Clear(CommandType& interp) override;
  // After an error: no function is running any longer.
  void ResetSources(CommandType& interp) override;
  // RESTORE is refused while a function runs: it would free the statements
  // being run.
  void BeforeRestore(CommandType& interp) override;
  // The scripting state of the save file: the statement and symbol lists,
  // the fifty zoltcall lists, the memory blocks and four option bytes.
  void SaveState(CommandType& interp, SaveStream& stream) override;
  void RestoreState(CommandType& interp, SaveStream& stream) override;
  void RemapPointers(CommandType& interp) override;

  // DEFINE: compiles one function from the lines that follow.
  void Define(CommandType& interp);
  // The symbol named by a command word (at the index, else the current
  // token): "@name" always asks for a symbol ("ZOLT symbol %s not found" when
  // there is none); a plain word only while SET safe_conversion is off; a
  // quoted word never. When the answer is none the token is left to be read
  // again.
  ZoltSymbol* GetSymbol(CommandType& interp, int* index = nullptr);
  // Runs the symbol's function, when it has one, for its value.
  void Evaluate(CommandType& interp, ZoltSymbol& symbol);
  void Execute(CommandType& interp, ZoltStatement* head) { executor_.Execute(interp, head); }
  bool Running() const { return executor_.Running(); }

  // The intrinsic functions: find, describe, assign, evaluate. The language
  // core knows none; the levels that bring intrinsics answer here. False
  // when the request was not answered.
  virtual bool CallIntrinsic(ZoltIntrinsicCall& call);
  // A restored pointer of a model kind, given its saved index: false when
  // the kind is unknown.
  virtual bool RemapPointer(ZoltValue& value, uint32_t index);

  ZoltState& State() { return state_; }
  ZoltExecutor& Executor() { return executor_; }

 private:
  void PrintSymbol(CommandType& interp, ZoltSymbol& symbol);

  ZoltState state_;
  ZoltExecutor executor_;
};
