// The model level of the command interpreter: every command line reaches it
// first. It owns the model's first words and hands the others down.
#pragma once

#include <cstdint>

#include "base/command.h"
#include "model/model.h"

class ModelInterpreter;

// A handler of a model word that belongs to a subsystem above the grid model
// (STEP, GENERATE, SEL, PLOT, ...). Subsystems install theirs at start-up;
// a word whose subsystem is not installed fails with a model error.
using ModelCommandHandler = void (*)(ModelInterpreter& interp);
void InstallModelCommand(const char* keyword, ModelCommandHandler handler);

// A listing of PRINT at the model level that another subsystem owns (apply
// conditions, interfaces, histories, tables, ...): it reads its own words
// and writes its listing. An item without a handler fails with a model error.
using ModelPrintHandler = void (*)(ModelInterpreter& interp);
void InstallModelPrint(const char* keyword, ModelPrintHandler handler);

class ModelInterpreter : public CommandType {
 public:
  // The interpreter holds its model and makes it the current one for its life.
  explicit ModelInterpreter(MacroTable* macros, ConsoleDevice* device = nullptr)
      : CommandType(0, macros, false, device), current_(model_) {}

  Model& TheModel() { return model_; }

  int Execute() override { return Command(); }
  // Dispatches the model's first words; hands the others to the level below.
  int Command();
  // One item of PRINT or SET of the model level; other words go down a level.
  int Print() override;
  int Set() override;
  // PRINT INFORMATION: the general settings, then the summary of the model.
  int ListSettings() override;

  // The whole model in the save file: the interpreter state (header, macros,
  // scripting state) and then the model's sections in their fixed order,
  // each followed by the check value.
  void SaveState(SaveStream& stream) override;
  // Reads the sections back under the version gates of the file.
  void RestoreState(SaveStream& stream, bool quiet = false) override;
  // Turns the saved indices back into pointers, then reports what was read
  // and checks the zones.
  int AfterRestore() override { return AfterRestore(false); }
  // Quiet: the pointers only, no report and no checks.
  int AfterRestore(bool quiet);

 private:
  Model model_;
  ModelScope current_;
};

// The model's own commands and listings.
void ConfigCommand(ModelInterpreter& interp);
void PrintMechanical(ModelInterpreter& interp);
