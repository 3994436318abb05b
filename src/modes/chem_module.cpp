#include "modes/chem_module.h"

ChemModule::ChemModule() { Modes().chem = this; }

ChemModule::~ChemModule() {
  if (Modes().chem == this) Modes().chem = nullptr;
}
