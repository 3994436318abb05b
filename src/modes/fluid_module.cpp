#include "modes/fluid_module.h"

FluidModule::FluidModule() = default;

FluidModule::~FluidModule() = default;
