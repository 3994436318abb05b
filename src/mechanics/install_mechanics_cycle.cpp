// Start-up: the calculation cycle's commands among the model words.
#include "mechanics/cycle.h"
#include "model/model_interpreter.h"

void InstallMechanicsCycle() {
  InstallModelCommand("step", &StepCommand);
  InstallModelCommand("cycle", &StepCommand);
}
