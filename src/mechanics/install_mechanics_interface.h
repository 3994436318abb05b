// Registers the interfaces with the model: INTERFACE, PRINT INTERFACE, the
// integrity check, and the interface list's section of the save file.
#pragma once

void InstallMechanicsInterface();
