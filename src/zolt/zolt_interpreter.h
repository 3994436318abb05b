// The scripting level of the command interpreter: DEFINE, scripting
// functions typed as commands, PRINT of scripting symbols, and the scripting
// state with its NEW, SAVE and RESTORE. Installed on the interpreter at
// start-up; every line the model level does not own passes through it on its
// way to the general commands.
#pragma once

#include <memory>
#include <vector>

#include "base/command.h"
#include "zolt/zolt_executor.h"
#include "zolt/zolt_state.h"

class Model;
class StepParticipant;
class ZoltScriptLink;

class ZoltInterpreter : public ScriptLevel {
 public:
  ZoltInterpreter();
  ~ZoltInterpreter() override;
  ZoltInterpreter(const ZoltInterpreter&) = delete;
  ZoltInterpreter& operator=(const ZoltInterpreter&) = delete;

  // Joins the model: answers its questions about symbols, the halt function
  // and the display column, and runs the functions registered under the
  // step's callback points, on that interpreter. Undone when the level goes.
  void Install(CommandType& interp, Model& model);
  void Uninstall();

  // The general commands first; a word they do not know is DEFINE, a
  // scripting symbol (its function runs) or a bad command.
  int Dispatch(CommandType& interp) override;
  // The general PRINT items first; then the scripting listings, then a symbol.
  int Print(CommandType& interp) override;
  // SET zoltcall, then the general SET items, then a scripting symbol given
  // the next parameter (SET never creates one).
  int Set(CommandType& interp) override;
  // A parameter that names a scripting symbol (its function runs first)
  // stands for the symbol's value; otherwise the base check reads the word.
  bool CheckInteger(CommandType& interp, int32_t* out, int& index, int& code) override;
  bool CheckNumber(CommandType& interp, double* out, int& index, int& code) override;
  bool CheckString(CommandType& interp, String* out, int& index, int* quoted, int& code) override;
  bool CheckBool(CommandType& interp, bool* out, int& index, int& code) override;
  // A pointer parameter: an array symbol answers its array, of the kind of
  // an array value.
  bool CheckPointer(CommandType& interp, void** out, uint32_t* kind, int& index, int& code) override;
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
  // The symbol a name stands for where a name is expected (SET zoltcall,
  // SOLVE zolthalt, SET display): the word at the index with or without its
  // at-sign, whatever SET safe_conversion says; the index passes it when found.
  ZoltSymbol* NamedSymbol(CommandType& interp, int* index = nullptr);
  // Runs the symbol's function, when it has one, for its value.
  void Evaluate(CommandType& interp, ZoltSymbol& symbol);
  // SET of a symbol: the value of the symbol at the token, else the word as
  // a string (quoted), an integer or a real.
  void SetVariable(CommandType& interp, ZoltSymbol& symbol);

  // Runs every function registered under the number, in list order. A list
  // changed while it runs is seen at the next call.
  void ZoltCall(CommandType& interp, int number) {
    if (static_cast<unsigned>(number) < kZoltCallLists && !state_.calls[number].IsEmpty()) RunCalls(interp, number);
  }
  bool HasCalls(int number) const {
    return static_cast<unsigned>(number) < kZoltCallLists && !state_.calls[number].IsEmpty();
  }
  // SET zoltcall: check, add or remove a registration.
  void ZoltCallCommand(CommandType& interp);
  // SOLVE's halt function: the symbol named at the token, none, and its
  // value as an integer (0 without one).
  void SetHalt(CommandType& interp);
  void ClearHalt() { halt_ = nullptr; }
  ZoltSymbol* Halt() const { return halt_; }
  int32_t HaltValue(CommandType& interp);
  // Whether the symbol's function draws (the drawing intrinsics).
  static bool UsesPlotIntrinsics(const ZoltSymbol& symbol);

  // The PRINT listings: variables, statements, symbols, jump tables,
  // registrations and memory blocks.
  void ListVariables(CommandType& interp);
  void ListStatements(CommandType& interp);
  void ListSymbols(CommandType& interp);
  void ListJumpTables(CommandType& interp);
  void ListZoltCalls(CommandType& interp);
  void ListMemoryBlocks(CommandType& interp);
  void Execute(CommandType& interp, ZoltStatement* head) { executor_.Execute(interp, head); }
  bool Running() const { return executor_.Running(); }

  // The intrinsic functions: find, describe, assign, evaluate, routed to the
  // registered sets by code range. False when the request was not answered.
  virtual bool CallIntrinsic(ZoltIntrinsicCall& call);
  // A restored pointer of a model kind, given its saved index: false when
  // the kind is unknown.
  virtual bool RemapPointer(ZoltValue& value, uint32_t index);

  ZoltState& State() { return state_; }
  // The interpreter the level is installed on (null before).
  CommandType* Interp() const { return interp_ ? interp_ : executor_.Interp(); }
  ZoltExecutor& Executor() { return executor_; }

 private:
  void PrintSymbol(CommandType& interp, ZoltSymbol& symbol);
  void RunCalls(CommandType& interp, int number);
  // Whether a HEAD still begins a defined function.
  bool IsFunction(const ZoltStatement* head) const;

  ZoltState state_;
  ZoltExecutor executor_;
  ZoltSymbol* halt_ = nullptr;
  // The HEADs of the lists being run, nested runs one above the other.
  std::vector<ZoltStatement*> running_;
  Model* model_ = nullptr;
  CommandType* interp_ = nullptr;
  std::unique_ptr<ZoltScriptLink> link_;
  StepParticipant* participant_ = nullptr;
};
