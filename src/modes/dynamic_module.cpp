#include "modes/dynamic_module.h"

DynamicModule::DynamicModule() : CalcModule(kDynamic) { Modes().dynamic = this; }

DynamicModule::~DynamicModule() {
  if (Modes().dynamic == this) Modes().dynamic = nullptr;
}
