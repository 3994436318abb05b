#include "gui/install_subsystems.h"

#include "devices/output_devices.h"
#include "generate/install_generate.h"
#include "mechanics/cycle.h"
#include "mechanics/install_mechanics_apply.h"
#include "mechanics/install_mechanics_attach.h"
#include "mechanics/install_mechanics_interface.h"
#include "model/grid_commands.h"
#include "model/model.h"
#include "modes/install_modes.h"
#include "plot/plot_item_list.h"
#include "plotsel/install_plotsel.h"
#include "view/view_manager.h"
#include "zolt/history_tables.h"
#include "zolt/zolt_intrinsics.h"
#include "zolt/zolt_model_pointers.h"

void InstallBuiltSubsystems(Model& model) {
  ModelScope scope(model);
  InstallOutputDevices();
  InstallGrid();
  InstallModes();
  InstallGenerate();
  InstallMechanicsCycle();
  InstallMechanicsApply();
  InstallMechanicsInterface();
  // After the interfaces and before the structural elements: the ties' motion
  // pass runs between theirs.
  InstallMechanicsAttach();
  InstallPlotItems();
  InstallPlotselItems();
  // After the plot items: the base view has their list.
  InstallViews();
  InstallHistoriesAndTables();
  InstallZoltInterfaceIntrinsics();
  InstallZoltZoneIntrinsics();
}

void InstallSubsystems(Model& model) {
  InstallBuiltSubsystems(model);
  InstallAbsentSections(model);
}
