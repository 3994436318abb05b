// The calculation cycle behind STEP and CYCLE: the preparation of the model,
// the fixed phase order of one step with its scripting callback points, the
// step table and the run loop. The subsystems whose objects act in the step
// take part through the model's step participants, the coupled modes
// through their calculation modules; the apply conditions and the law of
// motion are the cycle's own.
#pragma once

#include <cstdint>

#include "base/string.h"
#include "model/step_participant.h"

class CommandType;
class ModelInterpreter;

// The cycle's model-wide values that are not kept among the model settings.
struct CycleState {
  uint32_t gpCount = 0;         // grid-points that added to the sums of this step
  bool geometryUpdate = false;  // a zone's model asks for geometry updates
};
CycleState& TheCycleState();

class Cycle {
 public:
  // STEP / CYCLE of `count` steps.
  static void Run(uint32_t count, CommandType& interp);
  // Per-run set-up before the first preparation.
  static void BeginRun(CommandType& interp);
  // Prepares cycling; false when a zone check stopped it (it printed why).
  static bool Prepare(bool reprepare, CommandType& interp, bool quiet);
  // One calculation step in the fixed phase order.
  static void Step(CommandType& interp);
  // The text of the step table's line after a step (without its carriage return).
  static String TableLine(uint32_t index, uint32_t count, CommandType& interp);
  // The header and dash lines of the step table.
  static void Header(String& header, String& dashes);
  // Every participant at a numbered callback point.
  static void Callback(CallbackPoint point);
};

// Clears the grid-points' pre-cycle sums, checks every zone and totals the
// grid-points' area sums; false when a zone check stopped cycling.
bool CheckModelBeforeCycle(bool reprepare, CommandType& interp);
// Every zone's auxiliary tetrahedra and their volumes.
bool CheckZoneTetraVolumes(CommandType& interp);

// The STEP and CYCLE handler, and its installation among the model words.
void StepCommand(ModelInterpreter& interp);
void InstallMechanicsCycle();
