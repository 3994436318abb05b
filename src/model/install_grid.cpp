#include "model/grid.h"
#include "model/grid_commands.h"
#include "model/grid_services.h"
#include "model/model_interpreter.h"
#include "model/range_model.h"
#include "model/zone_models.h"

GridServices& GridHooks() {
  static GridServices hooks;
  return hooks;
}

void InstallGrid() {
  RegisterModelRangeElements();
  InstallModelCommand("gp", GpCommand);
  InstallModelCommand("zone", ZoneCommand);
  InstallModelCommand("group", GroupCommand);
  InstallModelCommand("region", GroupCommand);
  InstallModelCommand("geom_test", GeomTestCommand);
  InstallModelPrint("gp", PrintGp);
  InstallModelPrint("zone", PrintZone);
  InstallModelPrint("group", PrintGroup);
  InstallZoneModels();
}
