// The free helpers through which the grid model and the subsystems reach the
// links of the current model (links.h): views, histories, scripting symbols
// and the structural elements; each answers as an empty subsystem until its
// subsystem installs its link.
#pragma once

#include <cstdint>

#include "base/string.h"

class CalcModule;
class CommandType;
class History;
class ZoltSymbol;

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

// The references of one applied value after RESTORE (the apply conditions
// call these for every value of their chains): the function symbol of a
// saved symbol index (0 none; an index that names no symbol gives none and
// counts one invalid pointer), and the time-base module of a saved word whose
// low byte is a module type code (2 creep, 3 dynamic, 4 thermal, 5 fluid;
// any other code gives none).
ZoltSymbol* SymbolOfSavedIndex(uint32_t index);
CalcModule* TimeBaseOfSavedCode(uint32_t word);
