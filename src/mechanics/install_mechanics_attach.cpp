#include "mechanics/install_mechanics_attach.h"

#include <memory>

#include "mechanics/attach_condition.h"
#include "mechanics/cmd_attach.h"
#include "mechanics/flow_links.h"
#include "model/grid_services.h"
#include "model/model.h"
#include "model/model_interpreter.h"
#include "model/model_settings.h"

namespace {

// The attach passes of the preparation and of every mechanical step.
class AttachParticipant : public StepParticipant {
 public:
  explicit AttachParticipant(AttachList& list) : list_(list) {}
  void CheckBeforeCycle(CommandType&, bool, bool dynamic, bool) override { list_.CheckAll(dynamic); }
  void TieForces() override { list_.ForcePass(); }
  void Motion(bool, double dt) override { list_.MotionPass(dt, Settings().largeStrain); }

 private:
  AttachList& list_;
};

const LinkListBase* AttachListOfGrid() { return &GlobalAttachList(); }

}  // namespace

void InstallMechanicsAttach() {
  InstallModelCommand("attach", &AttachCommand);
  InstallModelPrint("attach", &PrintAttach);
  Model& model = CurrentModel();
  model.Sections().Install("attach", &SaveAttachSection, &RestoreAttachSection, &RemapAttachSection, &ClearAttachList);
  AttachList& list = model.Part<AttachList>();
  if (!list.participant) list.participant = &model.Participants().Add(std::make_unique<AttachParticipant>(list));
  InstallFlowLinks();
  GridHooks().attachList = &AttachListOfGrid;
  GridHooks().removeDeletedTies = [] { return GlobalAttachList().RemoveDeleted(); };
}
