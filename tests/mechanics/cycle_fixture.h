// A clean model for each test of the calculation cycle, with builders of
// small grids and a stand-in for the gravity loads of the apply conditions.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "cmodels/constitutive_model.h"
#include "mechanics/cycle.h"
#include "mechanics/motion.h"
#include "mechanics/zone_pass.h"
#include "model/grid_fixture.h"

class CycleTest : public GridTest {
 protected:
  void SetUp() override {
    GridTest::SetUp();
    InstallMechanicsCycle();
  }

  // Gives the zone a model by name with properties and a density.
  static void Assign(Zone* zone, const char* model, std::initializer_list<std::pair<const char*, double>> props,
                     double density = 0.0) {
    zone->SetModelByName(model);
    for (const auto& p : props) ASSERT_TRUE(zone->Model()->SetPropertyValue(p.first, p.second)) << p.first;
    zone->SetDensity(density);
  }

  // The gravity loads as the apply conditions put them at every preparation:
  // each tetrahedron gives each corner density x gravity x volume / 4, halved
  // with both overlays, into the applied force.
  static void GravityLoads() {
    const double* g = Settings().gravity;
    for (GridPoint* gp : GridPointList())
      for (double& f : gp->appliedForce[0]) f = 0.0;
    for (Zone* zone : ZoneList()) {
      if (!zone->Model() || zone->Model()->IsNull()) continue;
      const double weight = zone->OverlayCount() == 2 ? 0.125 : 0.25;
      for (int o = 0; o < 2; ++o) {
        const ZoneTetra* block = zone->Tetra(o);
        if (!block) continue;
        const TetraDef* defs = OverlayDefinitions(zone->Type(), o);
        for (int k = 0; k < zone->TetraPerOverlay(); ++k)
          for (int c = 0; c < 4; ++c) {
            GridPoint* gp = zone->Gp(defs[k].gp[c]);
            for (int i = 0; i < 3; ++i) gp->appliedForce[0][i] += zone->Density() * g[i] * block[k].volume * weight;
          }
      }
    }
  }

  // Steps through the cycle's own loop, without its table.
  void Steps(int n) {
    ASSERT_TRUE(Cycle::Prepare(false, interp, true));
    for (int i = 0; i < n; ++i) Cycle::Step(interp);
  }

  static double ZoneStress(const Zone* zone, int component) {
    double s[6];
    zone->AverageStress(s, false);
    return s[component];
  }
};
