#include "model/grid.h"
#include "model/grid_services.h"
#include "model/range_model.h"
#include "model/zone_models.h"

GridServices& GridHooks() {
  static GridServices hooks;
  return hooks;
}

void InstallGrid() { RegisterModelRangeElements(); }
