// What the model level asks of the subsystems above it (generation, the
// mechanical solution, scripting and histories, the coupled modes,
// structural elements, views). Each subsystem fills in its entries at
// start-up; an entry left empty answers as that subsystem would with nothing
// in it: no objects, nothing configured, nothing to clear.
#pragma once

#include <cstdint>

#include "base/string.h"

class CalcModule;
class CommandType;
class History;
class ModelInterpreter;
class ZoltSymbol;

struct ModelServices {
  // Views.
  void (*notifyAll)(uint32_t code, const String& text) = nullptr;  // every view, with a change code
  void (*forEachView)(int argument) = nullptr;                      // every plot item of every view
  bool (*plotAnimation)() = nullptr;                                // SET ANIMATION
  void (*setPlotAnimation)(bool on) = nullptr;

  // Histories and scripting symbols.
  void (*setHistoryDefaultCallback)(void (*callback)()) = nullptr;
  History* (*findHistory)(int32_t id) = nullptr;           // by its number
  History* (*historyByIndex)(uint32_t index) = nullptr;    // by its save index
  uint32_t (*historyIndex)(const History* history) = nullptr;
  ZoltSymbol* (*getSymbol)(CommandType& interp) = nullptr;  // a symbol named at the current token
  ZoltSymbol* (*symbolByIndex)(uint32_t index) = nullptr;
  uint32_t (*symbolIndex)(const ZoltSymbol* symbol) = nullptr;

  // Interfaces: the integrity check of every interface ("moo").
  void (*checkInterfaces)(ModelInterpreter& interp) = nullptr;

  // Structural elements: every node's reference position from its current one.
  void (*resetSelNodePositions)() = nullptr;
  // The numbers of structural elements and of their nodes (RESTORE reports them).
  int32_t (*countStructures)() = nullptr;
  int32_t (*countStructureNodes)() = nullptr;

  // After RESTORE: particles let go of the owners they recorded.
  void (*detachParticles)() = nullptr;

  // The grid's zones and grid-points, filled in by the grid lists; an empty
  // grid has nothing to walk.
  void (*attachModule)(CalcModule& module) = nullptr;  // ZoneCreated on every zone, then GridPointCreated on every grid-point
  void (*resizeZoneExtras)(int32_t count) = nullptr;
  void (*resizeGpExtras)(int32_t count) = nullptr;
  void (*setGpDamping)(int32_t type, double factor) = nullptr;
};

// The one table of services; subsystems fill it in before the run loop starts.
ModelServices& Services();

// Callers go through these; each answers for an empty subsystem when its
// entry is not filled in.
void NotifyAllViews(uint32_t code, const String& text = String());
// Hands 0 to every plot item of every view: the histories' default callback.
void UpdateAllViews();
bool PlotAnimation();
void SetPlotAnimation(bool on);
History* FindHistoryById(int32_t id);
History* HistoryByIndex(uint32_t index);
uint32_t HistoryIndex(const History* history);
ZoltSymbol* SymbolAtToken(CommandType& interp);
ZoltSymbol* SymbolByIndex(uint32_t index);
uint32_t SymbolIndex(const ZoltSymbol* symbol);
// Runs one of the NEW entries when it is filled in.
void RunClear(void (*clear)());

// The references of one applied value after RESTORE (the apply conditions
// call these for every value of their chains): the function symbol of a
// saved symbol index (0 none; an index that names no symbol gives none and
// counts one invalid pointer), and the time-base module of a saved word whose
// low byte is a module type code (2 creep, 3 dynamic, 4 thermal, 5 fluid;
// any other code gives none).
ZoltSymbol* SymbolOfSavedIndex(uint32_t index);
CalcModule* TimeBaseOfSavedCode(uint32_t word);
