// A clean model for each test of the calculation cycle, with builders of
// small grids.
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
