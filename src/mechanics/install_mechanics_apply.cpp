#include "mechanics/install_mechanics_apply.h"

#include "mechanics/apply.h"
#include "mechanics/apply_condition.h"
#include "mechanics/cmd_apply.h"
#include "mechanics/cmd_fix.h"
#include "mechanics/cmd_initial.h"
#include "mechanics/motion.h"
#include "mechanics/print_apply.h"
#include "model/grid_point.h"
#include "model/grid_services.h"
#include "model/model.h"
#include "model/model_interpreter.h"

namespace {

void FixCommand(ModelInterpreter& interp) { FixFreeCommand(interp, true); }
void FreeCommand(ModelInterpreter& interp) { FixFreeCommand(interp, false); }

const LinkListBase* ApplyListOfGrid() { return &GlobalApplyList(); }

// A grid-point being destroyed takes its record with it.
void ReleaseApply(LinkListNode* node) { GlobalApplyList().Discard(static_cast<ApplyCondition*>(node)); }

bool ApplyVelocity(const LinkListNode* node, bool* localAxes, uint8_t* directions) {
  const ApplyLocalBlock* block = static_cast<const ApplyCondition*>(node)->Local();
  if (!block) return false;
  *localAxes = block->local != 0;
  *directions = static_cast<uint8_t>(block->mask & 7u);
  return true;
}

}  // namespace

// The law of motion's view of a grid-point's applied velocities and accelerations.
bool AppliedVelocity(const GridPoint& gp, VelocityCondition* out) {
  const auto* record = static_cast<const ApplyCondition*>(gp.apply);
  const ApplyLocalBlock* block = record ? record->Local() : nullptr;
  if (!block) return false;
  out->localAxes = block->local != 0;
  out->directions = static_cast<uint8_t>(block->mask & 7u);
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) out->axes[i][j] = block->axes[i][j];
    out->kind[i] = static_cast<int>(block->kind[i]);
    out->value[i] = block->velocity[i];
    out->rate[i] = block->acceleration[i];
  }
  return true;
}

// The quiet dashpot coefficients of a grid-point's record.
bool QuietCoefficients(const GridPoint& gp, double out[3]) {
  const auto* record = static_cast<const ApplyCondition*>(gp.apply);
  const ApplyQuietBlock* quiet = record ? record->Quiet() : nullptr;
  if (!quiet) return false;
  for (int i = 0; i < 3; ++i) out[i] = quiet->quiet[i];
  return true;
}

void InstallMechanicsApply() {
  InstallModelCommand("apply", &ApplyCommand);
  InstallModelCommand("fix", &FixCommand);
  InstallModelCommand("free", &FreeCommand);
  InstallModelCommand("initial", &InitialCommand);
  InstallModelPrint("apply", &PrintApply);
  CurrentModel().Sections().Install("apply", &SaveApplySection, &RestoreApplySection, &RemapApplySection,
                                    &ClearApplyList);
  GridServices& grid = GridHooks();
  grid.applyList = &ApplyListOfGrid;
  grid.releaseApply = &ReleaseApply;
  grid.applyVelocity = &ApplyVelocity;
  grid.purgeDeletedApply = [] { GlobalApplyList().PurgeDeleted(); };
}
