// The fixture of the GENERATE ZONE tests: an interpreter with the grid and
// GENERATE installed on a console whose ESC key a test may press, and the
// check that every face link of the grid runs both ways.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "generate/cmd_generate.h"
#include "generate/gen_geometry.h"
#include "generate/install_generate.h"
#include "model/grid.h"
#include "model/grid_commands.h"
#include "model/model_interpreter.h"
#include "support/interp_fixture.h"

// A console whose ESC key is pressed at the n-th poll during a generation.
class EscDevice : public FakeDevice {
 public:
  int escAtPoll = 0;
  int polls = 0;
  bool KeyPressed(int key) override {
    if (key != 27 || escAtPoll <= 0 || output.find("Generating Plane") == std::string::npos) return false;
    return ++polls == escAtPoll;
  }
};

class GenZoneTest : public ::testing::Test {
 protected:
  EscDevice device;
  MacroTable macros;
  ModelInterpreter interp{&macros, &device};

  void SetUp() override {
    InstallGrid();
    InstallGenerate();
    ClearGrid();
    ResetGenGeometry();
  }
  void TearDown() override {
    ClearGrid();
    ResetGenGeometry();
  }
  std::string Run(std::initializer_list<const char*> lines) {
    RunLines(interp, device, lines);
    return device.Take();
  }
  static uint32_t Zones() { return ZoneList().Count(); }
  static uint32_t Gps() { return GridPointList().Count(); }
  static std::vector<uint32_t> GpIds(const Zone* z) {
    std::vector<uint32_t> ids;
    for (int c = 0; c < 8; ++c) ids.push_back(z->Gp(c)->id);
    return ids;
  }
};

// Every link runs both ways, through faces that hold the same grid-points.
inline void ExpectLinksConsistent() {
  for (Zone* z : ZoneList()) {
    for (int f = 0; f < kZoneFaces; ++f) {
      Zone* n = z->Neighbour(f);
      if (!n) continue;
      int back = -1;
      for (int g = 0; g < kZoneFaces; ++g)
        if (n->Neighbour(g) == z) back = g;
      ASSERT_GE(back, 0) << "zone " << z->Id() << " face " << f;
      for (int c = 0; c < z->FaceGpCount(f); ++c) {
        bool found = false;
        for (int d = 0; d < n->FaceGpCount(back); ++d) found = found || n->GetFaceGp(back, d) == z->GetFaceGp(f, c);
        EXPECT_TRUE(found) << "zone " << z->Id() << " face " << f;
      }
    }
  }
}
