// What the model and the calculation ask of the scripting level: symbols by
// name and by save index, a symbol's value as a multiplier, SOLVE's halt
// function, the display column of the step table, and the functions
// registered under the numbered callback points of every step.
#pragma once

#include "model/links.h"
#include "model/step_participant.h"

class CommandType;
class Model;
class ZoltInterpreter;

class ZoltScriptLink : public ScriptLink {
 public:
  ZoltScriptLink(ZoltInterpreter& zolt, CommandType& interp) : zolt_(zolt), interp_(interp) {}

  ZoltSymbol* SymbolAtToken(CommandType& interp) override;
  ZoltSymbol* SymbolByIndex(uint32_t index) override;
  bool HasSymbols() override;
  uint32_t SymbolIndex(const ZoltSymbol* symbol) override;
  String SymbolName(const ZoltSymbol* symbol) override;
  double SymbolValue(ZoltSymbol* symbol) override;

  void ClearHalt() override;
  void SetHalt(CommandType& interp) override;
  int32_t HaltValue(CommandType& interp) override;

  // Tables and histories (defined with them).
  bool TableExists(int32_t number) override;
  bool TableNumber(const String& name, int32_t* number) override;
  double TableValue(int32_t number, double x) override;
  History* FindHistory(int32_t id) override;
  History* HistoryByIndex(uint32_t index) override;
  uint32_t HistoryIndex(const History* history) override;
  void SetHistoryDefaultCallback(void (*callback)()) override;

  bool DisplayName(String* name) override;
  DisplayValue DisplayValueNow(CommandType& interp) override;

 private:
  ZoltInterpreter& zolt_;
  CommandType& interp_;
};

// Runs the functions registered under each callback point as the step
// reaches it.
class ZoltCallParticipant : public StepParticipant {
 public:
  ZoltCallParticipant(ZoltInterpreter& zolt, CommandType& interp) : zolt_(zolt), interp_(interp) {}
  void Callback(int point) override;
  bool HasCallback(int point) const override;

 private:
  ZoltInterpreter& zolt_;
  CommandType& interp_;
};
