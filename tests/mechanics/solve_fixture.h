// SOLVE's tests: a model with an application behind it (SOLVE FOS and SOLVE
// ELASTIC save and restore it), in a folder of its own, with a column of ten
// unit zones under gravity built through the grid.
#pragma once

#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "../base/temp_dir.h"
#include "base/app.h"
#include "mechanics/cycle_fixture.h"
#include "mechanics/solve.h"
#include "model/hyst_damping.h"
#include "model/model_app.h"
#include "model/services.h"

class SolveTest : public CycleTest {
 protected:
  TempDir dir;
  ModelApp app{&interp};

  void SetUp() override {
    CycleTest::SetUp();
    app.Identity();
    interp.SetApp(&app);
  }
  void TearDown() override {
    views.notify = nullptr;
    app.New();
    HystDamping::FreePool();
    ResetRestoreVersions();
    CycleTest::TearDown();
  }

  static constexpr int kHeight = 10;
  static constexpr double kDensity = 2000.0;
  static constexpr double kGravity = 10.0;

  // Ten unit zones stacked on a base that carries them. Confined: every
  // grid-point on rollers in x and y (the column of an oedometer). Otherwise
  // the faces x = 0 and y = 0 are planes of symmetry and the others free, so
  // that every zone is in uniaxial compression.
  static void Column(const char* model, std::initializer_list<std::pair<const char*, double>> props, bool confined) {
    for (int k = 0; k < kHeight; ++k) Assign(UnitBrick(0, 0, k), model, props, kDensity);
    for (GridPoint* gp : GridPointList()) {
      if (confined || gp->position[0] == 0.0) gp->flags |= NodeBase::kFixX;
      if (confined || gp->position[1] == 0.0) gp->flags |= NodeBase::kFixY;
      if (gp->position[2] == 0.0) gp->flags |= NodeBase::kFixZ;
    }
    Settings().gravity[2] = -kGravity;
  }

  // The vertical stress of the bottom zone: the weight above its centre.
  static double BaseStress() { return kDensity * kGravity * (kHeight - 0.5); }

  // An unconfined column whose zones weigh nothing but the top one: every
  // zone below carries the same load, so that all of them reach their
  // strength together and none holds another back.
  static constexpr double kTopDensity = 2e4;
  static void LoadedColumn(const char* model, std::initializer_list<std::pair<const char*, double>> props) {
    Column(model, props, false);
    for (Zone* zone : ZoneList()) zone->SetDensity(0.0);
    FindZone(kHeight)->SetDensity(kTopDensity);
  }
  // The vertical stress of every zone below the top one.
  static double LoadedStress() { return kTopDensity * kGravity; }

  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  static bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
  // Each text in the output, after the one before it.
  template <class Texts>
  static void ExpectInOrder(const std::string& out, const Texts& texts) {
    size_t at = 0;
    for (const char* text : texts) {
      const size_t found = out.find(text, at);
      ASSERT_NE(found, std::string::npos) << text << "\n" << out.substr(at, 600);
      at = found + 1;
    }
  }
  static bool FileExists(const char* name) { return !TempDir::Read(name).empty(); }
  // Whether a scratch file of SOLVE is left in the folder.
  static bool ScratchLeft() {
    for (const auto& entry : std::filesystem::directory_iterator("."))
      if (entry.path().filename().string().rfind(".terrax-", 0) == 0) return true;
    return false;
  }

  static double Property(uint32_t zone, const char* name) {
    const ConstitutiveModel* m = FindZone(zone)->Model();
    return m->GetPropertyByIndex(m->GetPropertyIndex(name));
  }
};
