// Registers the coupled modes with the model: how CONFIG and RESTORE make
// each kind of calculation module.
#pragma once

void InstallModes();
