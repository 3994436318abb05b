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
class SaveStream;
class ZoltSymbol;

// One section of the whole-model save file that a subsystem above the grid
// model owns: it writes and reads its own data, version gates included, and
// once every section is read turns its saved indices back into pointers.
// While a subsystem leaves its entry empty, SAVE writes the section as that
// subsystem writes it with nothing in it, and RESTORE reads only such a
// section (anything else in it is the file's read error).
struct SaveSectionHooks {
  void (*save)(SaveStream& stream) = nullptr;
  void (*restore)(SaveStream& stream) = nullptr;
  void (*remap)() = nullptr;
};

struct ModelServices {
  // NEW, each run once in the fixed order of NEW.
  void (*clearApply)() = nullptr;         // every apply condition
  void (*clearInterfaces)() = nullptr;    // every interface
  void (*clearAttach)() = nullptr;        // every attach tie
  void (*resetStructures)() = nullptr;    // structural elements, nodes, links and their settings
  void (*resetGenGeometry)() = nullptr;   // an empty GENERATE geometry
  void (*resetBody)() = nullptr;          // the body
  void (*clearHistories)() = nullptr;     // histories and their samples
  void (*resetViews)() = nullptr;         // every view port, then the base view again
  void (*clearTables)() = nullptr;        // every table
  void (*clearWaterTable)() = nullptr;    // the water table
  void (*clearModes)() = nullptr;         // particles, the particle id counter, the chemistry link flag

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

  // Whole-model SAVE and RESTORE: the sections of the other subsystems, in
  // the order of the file.
  SaveSectionHooks tablesSection;      // tables
  SaveSectionHooks generateSection;    // GENERATE geometry (its remap resolves its own lists)
  SaveSectionHooks structuresSection;  // structural elements, nodes, links and their settings
  SaveSectionHooks applySection;       // apply conditions
  SaveSectionHooks historiesSection;   // histories and their samples
  SaveSectionHooks viewsSection;       // view ports
  SaveSectionHooks interfacesSection;  // interfaces
  SaveSectionHooks attachSection;      // attach ties
  SaveSectionHooks waterSection;       // water table
  SaveSectionHooks particlesSection;   // particle id counter and particles
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
