// The fixture of the flow modes' tests: a model interpreter on a fake
// device with every subsystem installed, run in a temporary folder, and the
// look-up of the grid-points on a column's corner line.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>

#include "../base/temp_dir.h"
#include "base/savefile.h"
#include "gui/install_subsystems.h"
#include "model/grid.h"
#include "model/model_app.h"
#include "model/model_interpreter.h"
#include "modes/install_modes.h"
#include "support/interp_fixture.h"

class ModeTest : public ::testing::Test {
 protected:
  FakeDevice device;
  MacroTable macros;
  ModelInterpreter interp{&macros, &device};
  TempDir dir;
  ModelApp app{&interp};

  void SetUp() override {
    app.Identity();
    interp.SetApp(&app);
    InstallSubsystems(interp.TheModel());
    InstallModes();
    RunLines(interp, device, {"new"});
    device.Take();
  }
  void TearDown() override {
    app.New();
    ResetRestoreVersions();
  }
  std::string Run(std::initializer_list<const char*> lines) {
    RunLines(interp, device, lines);
    return device.Take();
  }
  void Run(const std::string& line) { RunLines(interp, device, {line.c_str()}); }
  // A new model with no mode configured.
  void Fresh() {
    app.New();
    device.Take();
  }
  // The grid-point at x = y = 0 and height z; the test fails when there is none.
  static GridPoint* CornerLineAt(double z) {
    for (GridPoint* gp : GridPointList())
      if (gp->position[0] == 0.0 && gp->position[1] == 0.0 && std::fabs(gp->position[2] - z) < 1e-9) return gp;
    ADD_FAILURE() << "no grid-point at " << z;
    return nullptr;
  }
};
