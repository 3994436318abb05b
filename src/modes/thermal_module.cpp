#include "modes/thermal_module.h"

ThermalModule::ThermalModule() : CalcModule(kThermal) { Modes().thermal = this; }

ThermalModule::~ThermalModule() {
  if (Modes().thermal == this) Modes().thermal = nullptr;
}
