// Registers the attach ties with the model: ATTACH, PRINT ATTACH, their
// passes in the calculation step, the attach section of the save file with
// its part in NEW, and the grid-point's look-up of its tie after a restore.
#pragma once

void InstallMechanicsAttach();
