// The links that the step's participants keep between grid-points (attach
// ties, permeable interfaces), as the flow modes see them: whether there
// are any, and their passes before and after the grid-point update.
#pragma once

#include "model/model.h"
#include "model/step_participant.h"

inline bool FluidLinked() {
  bool any = false;
  CurrentModel().Participants().ForEach([&any](StepParticipant& p) { any = any || p.LinksFluid(); });
  return any;
}

inline void FluidLinkPass(int pass) {
  CurrentModel().Participants().ForEach([pass](StepParticipant& p) { p.FluidPass(pass); });
}

inline bool ThermalLinked() {
  bool any = false;
  CurrentModel().Participants().ForEach([&any](StepParticipant& p) { any = any || p.LinksThermal(); });
  return any;
}

inline void ThermalLinkPass(int pass) {
  CurrentModel().Participants().ForEach([pass](StepParticipant& p) { p.ThermalPass(pass); });
}
