// Registers the item types of the structural-element plots and graphs.
#pragma once

void InstallPlotselItems();
