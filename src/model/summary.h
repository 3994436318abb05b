// The model summary of PRINT INFORMATION reads the names of the display
// history and symbol through these; the scripting level fills them in at
// start-up. Until then the names are empty.
#pragma once

#include "base/string.h"

class History;
class ZoltSymbol;

struct SummaryNames {
  String (*historyName)(const History* history) = nullptr;
  String (*symbolName)(const ZoltSymbol* symbol) = nullptr;
};
SummaryNames& SummaryNameHooks();
