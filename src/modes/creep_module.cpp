#include "modes/creep_module.h"

CreepModule::CreepModule() = default;

CreepModule::~CreepModule() = default;
