// STEP and CYCLE: run a number of calculation steps.
#include "base/command.h"
#include "mechanics/cycle.h"
#include "model/model_interpreter.h"

void StepCommand(ModelInterpreter& interp) {
  int index = 1;
  const String token = interp.Token(index);
  const int32_t count = interp.GetInt(&index);
  // A negative count is a typing error, not four billion steps.
  if (count < 0) throw CommandType::ConvertExcept(1, token);
  Cycle::Run(static_cast<uint32_t>(count), interp);
}
