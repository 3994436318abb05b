#include "modes/chem_module.h"

ChemModule::ChemModule() = default;

ChemModule::~ChemModule() = default;
