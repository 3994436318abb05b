#include "modes/install_modes.h"

#include <memory>

#include "modes/chem_module.h"
#include "modes/creep_module.h"
#include "modes/dynamic_module.h"
#include "modes/fluid_model.h"
#include "modes/fluid_module.h"
#include "modes/free_field.h"
#include "modes/particles.h"
#include "modes/thermal_model.h"
#include "modes/thermal_module.h"

namespace {
template <class Kind>
std::unique_ptr<CalcModule> Make() {
  return std::make_unique<Kind>();
}
}  // namespace

void InstallModes() {
  InstallModuleFactory(CalcModule::kDynamic, &Make<DynamicModule>);
  InstallModuleFactory(CalcModule::kCreep, &Make<CreepModule>);
  InstallModuleFactory(CalcModule::kThermal, &Make<ThermalModule>);
  InstallThermalRecords();
  InstallModuleFactory(CalcModule::kFluid, &Make<FluidModule>);
  InstallFluidRecords();
  InstallChemistry();
  InstallFreeField();
  InstallParticles();
}
