#include "mechanics/install_mechanics_apply.h"

#include "mechanics/apply_command.h"
#include "mechanics/apply_condition.h"
#include "mechanics/fixfree.h"
#include "mechanics/initial.h"
#include "mechanics/print_apply.h"
#include "model/grid_point.h"
#include "model/grid_services.h"
#include "model/model_interpreter.h"
#include "model/services.h"

namespace {

void FixCommand(ModelInterpreter& interp) { FixFreeCommand(interp, true); }
void FreeCommand(ModelInterpreter& interp) { FixFreeCommand(interp, false); }

const LinkListBase* ApplyListOfGrid() { return &GlobalApplyList(); }

// A grid-point being destroyed takes its record with it.
void ReleaseApply(LinkListNode* node) {
  auto* record = static_cast<ApplyCondition*>(node);
  if (record->InList()) GlobalApplyList().Remove(record);
  delete record;
}

bool ApplyVelocity(const LinkListNode* node, bool* localAxes, uint8_t* directions) {
  const ApplyLocalBlock* block = static_cast<const ApplyCondition*>(node)->Local();
  if (!block) return false;
  *localAxes = block->local != 0;
  *directions = static_cast<uint8_t>(block->mask & 7u);
  return true;
}

}  // namespace

void InstallMechanicsApply() {
  InstallModelCommand("apply", &ApplyCommand);
  InstallModelCommand("fix", &FixCommand);
  InstallModelCommand("free", &FreeCommand);
  InstallModelCommand("initial", &InitialCommand);
  InstallModelPrint("apply", &PrintApply);
  ModelServices& services = Services();
  services.clearApply = &ClearApplyList;
  services.applySection.save = &SaveApplySection;
  services.applySection.restore = &RestoreApplySection;
  services.applySection.remap = &RemapApplySection;
  GridServices& grid = GridHooks();
  grid.applyList = &ApplyListOfGrid;
  grid.releaseApply = &ReleaseApply;
  grid.applyVelocity = &ApplyVelocity;
}
