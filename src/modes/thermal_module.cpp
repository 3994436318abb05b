#include "modes/thermal_module.h"

ThermalModule::ThermalModule() = default;

ThermalModule::~ThermalModule() = default;
