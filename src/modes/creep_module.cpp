#include "modes/creep_module.h"

CreepModule::CreepModule() : CalcModule(kCreep) { Modes().creep = this; }

CreepModule::~CreepModule() {
  if (Modes().creep == this) Modes().creep = nullptr;
}
