// Start-up: every subsystem installs its commands on the interpreter levels
// and registers its sections and participants on the model.
#pragma once

#include <vector>

class Model;

// Every subsystem on the model: the commands on the interpreter levels (the
// same for every model), the sections and participants on the model, and
// the empty sections of the subsystems not built yet.
void InstallSubsystems(Model& model);
// The same without the empty sections.
void InstallBuiltSubsystems(Model& model);
// The empty save-file sections of the subsystems not built yet, on every
// such section that no subsystem has installed (a test may install its own).
void InstallAbsentSections(Model& model);
// The sections that only have their empty form so far.
std::vector<const char*> AbsentSectionNames();
