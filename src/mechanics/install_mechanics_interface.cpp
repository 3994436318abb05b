#include "mechanics/install_mechanics_interface.h"

#include <memory>

#include "mechanics/cmd_interface.h"
#include "mechanics/flow_links.h"
#include "mechanics/interface.h"
#include "model/grid_services.h"
#include "model/model.h"
#include "model/model_interpreter.h"

namespace {

// The interface passes of the preparation and of every mechanical step.
class InterfaceParticipant : public StepParticipant {
 public:
  explicit InterfaceParticipant(InterfaceList& list) : list_(list) {}
  void CheckBeforeCycle(CommandType& interp, bool reprepare, bool, bool) override {
    list_.PrepareContact(reprepare, interp);
  }
  void Forces(CommandType&, double) override { list_.ContactPass(); }
  void Motion(bool, double) override { list_.MotionPass(); }

 private:
  InterfaceList& list_;
};

}  // namespace

void InstallMechanicsInterface() {
  InstallModelCommand("interface", &InterfaceCommand);
  InstallModelCommand("moo", &InterfaceIntegrityCommand);
  InstallModelPrint("interface", &PrintInterfaceCommand);
  Model& model = CurrentModel();
  model.Sections().Install("interfaces", &SaveInterfaceSection, &RestoreInterfaceSection, &RemapInterfaceSection,
                           &ClearInterfaces);
  InterfaceList& list = model.Part<InterfaceList>();
  if (!list.participant) list.participant = &model.Participants().Add(std::make_unique<InterfaceParticipant>(list));
  InstallFlowLinks();
  GridHooks().removeDeletedInterfaces = [](CommandType& out) { Interfaces().RemoveDeleted(out); };
}
