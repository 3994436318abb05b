#include "modes/fluid_module.h"

FluidModule::FluidModule() : CalcModule(kFluid) { Modes().fluid = this; }

FluidModule::~FluidModule() {
  if (Modes().fluid == this) Modes().fluid = nullptr;
}
