// Registers generation with the model: the GENERATE command with GENERATE
// ZONE, GRID, PRINT GENERATE, the store's part in NEW and the range element
// "volume".
#pragma once

void InstallGenerate();
