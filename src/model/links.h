// What the model, the calculation and the commands ask of the subsystems
// above the grid model that are not calculation modules: the scripting
// level with its histories and tables, the views and the structural
// elements. Each subsystem installs one object on the model at start-up;
// until then the model's own object of that kind answers as the subsystem
// would with nothing in it.
#pragma once

#include <cstdint>

#include "base/string.h"

class CommandType;
class History;
class ZoltSymbol;

// A value shown in the display column of the step table.
struct DisplayValue {
  enum Kind { kNone, kInteger, kReal, kText } kind = kNone;
  int64_t integer = 0;
  double real = 0.0;
  String text;
};

// The scripting level, its histories and its tables.
class ScriptLink {
 public:
  virtual ~ScriptLink() = default;

  // Symbols: the one named at the current token (none when the token names
  // none), by its save index and back.
  virtual ZoltSymbol* SymbolAtToken(CommandType&) { return nullptr; }
  virtual ZoltSymbol* SymbolByIndex(uint32_t) { return nullptr; }
  // Whether any symbol is defined (a script may then run during a step).
  virtual bool HasSymbols() { return false; }
  virtual uint32_t SymbolIndex(const ZoltSymbol*) { return 0; }
  virtual String SymbolName(const ZoltSymbol*) { return String(); }
  // A symbol as a multiplier: its function runs first, then its value.
  virtual double SymbolValue(ZoltSymbol*) { return 1.0; }

  // SOLVE's halt function: cleared by every SOLVE with parameters, set by
  // "zolthalt" from the name at the current token, and asked after every
  // sweep (non-zero stops the run).
  virtual void ClearHalt() {}
  virtual void SetHalt(CommandType& interp);
  virtual int32_t HaltValue(CommandType&) { return 0; }

  // Tables: whether one of that number exists, the number of a name, and y
  // at x (the table store's error when there is none).
  virtual bool TableExists(int32_t) { return false; }
  virtual bool TableNumber(const String&, int32_t*) { return false; }
  virtual double TableValue(int32_t number, double x);

  // Histories: by number, by save index and back; the default callback that
  // the history module hands every new history.
  virtual History* FindHistory(int32_t) { return nullptr; }
  virtual History* HistoryByIndex(uint32_t) { return nullptr; }
  virtual uint32_t HistoryIndex(const History*) { return 0; }
  virtual void SetHistoryDefaultCallback(void (*)()) {}
  // After DELETE or GENERATE MERGE: every history checks that what it
  // records still exists.
  virtual void UpdateHistoriesActive() {}

  // The display column of the step table (SET display): false without one.
  virtual bool DisplayName(String*) { return false; }
  virtual DisplayValue DisplayValueNow(CommandType&) { return DisplayValue(); }
};

// The view ports.
class ViewLink {
 public:
  virtual ~ViewLink() = default;
  // Every view, with a change code and text.
  virtual void NotifyAll(uint32_t, const String&) {}
  // Every plot item of every view.
  virtual void ForEachView(int) {}
  // SET ANIMATION.
  virtual bool Animation() const { return animation_; }
  virtual void SetAnimation(bool on) { animation_ = on; }

 private:
  bool animation_ = false;
};

// The structural elements.
class StructureLink {
 public:
  virtual ~StructureLink() = default;
  // The numbers of elements and of their nodes (RESTORE reports them).
  virtual int32_t Count() const { return 0; }
  virtual int32_t CountNodes() const { return 0; }
  // Every node's reference position from its current one.
  virtual void ResetNodePositions() {}
  // Every element with a group adds one to its group's element count.
  virtual void CountGroupElements() {}
  // DELETE: the links to zones flagged Zone::kDeleted find other zones.
  virtual void RetargetLinksOfDeletedZones(bool /*largeStrain*/) {}
};
