// A clean grid for each test, and builders of small grids through the
// creation functions that the commands use.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "base/range_named.h"
#include "cmodels/constitutive_model.h"
#include "gui/install_subsystems.h"
#include "model/calc_module.h"
#include "model/grid.h"
#include "model/grid_commands.h"
#include "model/grid_services.h"
#include "model/model_interpreter.h"
#include "model/model_settings.h"
#include "model/services.h"
#include "support/interp_fixture.h"
#include "support/link_doubles.h"

class GridTest : public ::testing::Test {
 protected:
  FakeDevice device;
  MacroTable macros;
  ModelInterpreter interp{&macros, &device};
  // The scripting level and the views as a test sets them.
  FakeScript script;
  FakeViews views;

  // Every test has a model of its own, the interpreter's; the print range
  // belongs to the interpreter level below and is emptied after each test.
  void SetUp() override { InstallSubsystems(interp.TheModel()); }
  void TearDown() override { PrintRange().Clear(); }

  // Empties the model in the middle of a test.
  static void Reset() {
    ClearGrid();
    ClearZoneFaceList(ZoneFaceListHead());
    PrintRange().Clear();
    TheModules().Clear();
    Settings() = ModelSettings();
  }

  std::string Run(std::initializer_list<const char*> lines) {
    RunLines(interp, device, lines);
    return device.Take();
  }

  static GridPoint* Gp(double x, double y, double z, uint32_t id = 0) {
    const double p[3] = {x, y, z};
    return CreateGridPoint(p, id);
  }

  // A brick with its grid-points at the unit cube's corners, offset by (x, y, z),
  // reusing grid-points that are already there.
  static Zone* UnitBrick(double x = 0, double y = 0, double z = 0) {
    static const double kCorner[8][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1},
                                         {1, 1, 0}, {0, 1, 1}, {1, 0, 1}, {1, 1, 1}};
    GridPoint* gps[8];
    for (int i = 0; i < 8; ++i) {
      const double p[3] = {x + kCorner[i][0], y + kCorner[i][1], z + kCorner[i][2]};
      gps[i] = CoincidentGridpoint(p);
      if (!gps[i]) gps[i] = CreateGridPoint(p);
    }
    return CreateZone(kBrick, gps);
  }
};
