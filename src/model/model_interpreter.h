// The model level of the command interpreter: every command line reaches it
// first. It owns the model's first words and hands the others down.
#pragma once

#include "base/command.h"

class ModelInterpreter;

// A handler of a model word that belongs to a subsystem above the grid model
// (STEP, GENERATE, SEL, PLOT, ...). Subsystems install theirs at start-up;
// a word whose subsystem is not installed fails with a model error.
using ModelCommandHandler = void (*)(ModelInterpreter& interp);
void InstallModelCommand(const char* keyword, ModelCommandHandler handler);

class ModelInterpreter : public CommandType {
 public:
  explicit ModelInterpreter(MacroTable* macros, ConsoleDevice* device = nullptr)
      : CommandType(0, macros, false, device) {}

  int Execute() override { return Command(); }
  // Dispatches the model's first words; hands the others to the level below.
  int Command();
};
