#include "mechanics/install_mechanics_interface.h"

#include "mechanics/cmd_interface.h"
#include "mechanics/interface.h"
#include "model/grid_services.h"
#include "model/model.h"
#include "model/model_interpreter.h"

void InstallMechanicsInterface() {
  InstallModelCommand("interface", &InterfaceCommand);
  InstallModelCommand("moo", &InterfaceIntegrityCommand);
  InstallModelPrint("interface", &PrintInterfaceCommand);
  CurrentModel().Sections().Install("interfaces", &SaveInterfaceSection, &RestoreInterfaceSection,
                                    &RemapInterfaceSection, &ClearInterfaces);
  GridHooks().removeDeletedInterfaces = [](CommandType& out) { Interfaces().RemoveDeleted(out); };
}
