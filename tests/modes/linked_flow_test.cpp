// Flow and heat across the links between grids: attach ties and permeable
// interfaces joining a column of unit zones to a column of half-size zones
// generated on it without merging. Joined, the two behave as one column:
// the textbook profiles hold through the seam, at the slaves too.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "../base/temp_dir.h"
#include "gui/install_subsystems.h"
#include "model/grid.h"
#include "model/model_app.h"
#include "model/model_interpreter.h"
#include "model/model_settings.h"
#include "modes/fluid_module.h"
#include "modes/install_modes.h"
#include "modes/mode_fixture.h"
#include "modes/thermal_module.h"
#include "support/interp_fixture.h"

namespace {

class LinkedFlowTest : public ModeTest {
 protected:
  FluidModule& Fluid() { return static_cast<FluidModule&>(*Modes().fluid); }
  // Steady seepage up the 10 m column from 1e5 Pa at its base to 0 at its
  // top, k = 1e-10: the pore pressure linear within 0.1 % of the base's at
  // every grid-point, and k dp / L in every zone within 0.2 %.
  void ExpectSteadySeepage() {
    for (GridPoint* gp : GridPointList())
      EXPECT_NEAR(gp->porePressure, 1e5 * (1.0 - gp->position[2] / 10.0), 1e-3 * 1e5) << gp->id;
    const double expected = 1e-10 * 1e5 / 10.0;
    for (Zone* zone : ZoneList()) {
      double q[3];
      Fluid().FluidFlowVector(*zone, q);
      EXPECT_NEAR(q[2], expected, 2e-3 * expected) << zone->Id();
    }
  }
  ThermalModule& Thermal() { return static_cast<ThermalModule&>(*Modes().thermal); }

  // The end of a run of lines ends the program, which lets the ties go:
  // a calculation on a tied model runs in the lines that tie it. A column
  // of 1 x 1 x 5 unit zones under 2 x 2 x 10 zones of 0.5 m, not merged,
  // tied by the face search, in the mode `config`; then the lines `rest`.
  // False when the seam was not tied at nine grid-points.
  bool TiedColumn(const char* config, std::initializer_list<const char*> rest) {
    std::vector<const char*> lines{config,
                                   "gen zone brick size 1 1 5",
                                   "gen zone brick size 2 2 10 p0 0 0 5 p1 1 0 5 p2 0 1 5 p3 0 0 10 nomerge",
                                   "model elastic",
                                   "prop bulk 5e7 shear 3e7 density 2000",
                                   "attach face"};
    lines.insert(lines.end(), rest);
    for (const char* l : lines) device.lines.push_back(l);
    RunLines(interp, device, {});
    return device.Take().find("\r9 grid-points attached" + std::string(36, ' ') + "\n") != std::string::npos;
  }
};

// Darcy's law through the seam: between pressures held at the two ends the
// pore pressure falls linearly along the whole column, at the seam's
// slaves too, and every zone carries the discharge k dp / L.
TEST_F(LinkedFlowTest, SeepageThroughTiesIsThatOfOneColumn) {
  const bool tied = TiedColumn(
      "config fluid", {"model fl_isotropic", "property permeability 1e-10 porosity 0.3", "initial fmodulus 2e9",
                       "fix pp 1e5 range z -0.1 0.1", "fix pp 0 range z 9.9 10.1", "set mech off", "step 30000"});
  ASSERT_TRUE(tied);
  ExpectSteadySeepage();
}

// The implicit scheme at ten times the stable step (0.06 s) through the
// ties: the tied column, held at p0 at its base and closed at its top,
// against the series p / p0 = 1 - sum 2/a sin(a z/L) exp(-a^2 T),
// a = (2m+1) pi/2, T = c t / L^2, c = k M (H. S. Carslaw and J. C. Jaeger,
// Conduction of Heat in Solids, 1959), at T = 0.2, the seam's grid-points
// all alike. The sweeps leave the slaves out: the flows of the zones above
// the seam reach its masters through the ties only at the start of each
// step, so the tied column trails the series by up to 2.3 % of p0 (the
// explicit run: 0.2 %).
TEST_F(LinkedFlowTest, ImplicitFlowThroughTiesFollowsTheSeries) {
  const bool tied = TiedColumn("config fluid", {"model fl_isotropic", "property permeability 1e-10 porosity 0.3",
                                                "initial fmodulus 2e9", "fix pp 1e5 range z -0.1 0.1", "set mech off",
                                                "set fluid dt 0.6 implicit on", "solve age 29.97"});
  ASSERT_TRUE(tied);
  ASSERT_TRUE(Fluid().Implicit());
  const double c = 1e-10 * 2e9 / 0.3, tc = c * Fluid().Time() / 100.0;
  ASSERT_NEAR(tc, 0.2, 1e-9);
  double seamLow = 1e300, seamHigh = -1e300;
  for (GridPoint* gp : GridPointList()) {
    const double z = gp->position[2];
    double sum = 0.0;
    for (int m = 0; m < 100; ++m) {
      const double a = (2 * m + 1) * M_PI / 2.0;
      sum += 2.0 / a * std::sin(a * z / 10.0) * std::exp(-a * a * tc);
    }
    EXPECT_NEAR(gp->porePressure, 1e5 * (1.0 - sum), 0.03 * 1e5) << gp->id << " at " << z;
    if (std::fabs(z - 5.0) > 1e-9) continue;
    seamLow = std::min(seamLow, gp->porePressure);
    seamHigh = std::max(seamHigh, gp->porePressure);
  }
  EXPECT_GT(seamLow, 1e4);
  EXPECT_LT(seamHigh - seamLow, 1e-6 * 1e5);
}

// Undrained one-dimensional loading of the tied column: the pore pressure
// rises by s M / (M + K + 4G/3) everywhere, at the seam's slaves too (the
// fluid coupling of the mechanical step passes the volume changes through
// the ties; Biot's theory, M the fluid modulus over the porosity).
TEST_F(LinkedFlowTest, UndrainedLoadingThroughTiesIsUniform) {
  const bool tied = TiedColumn(
      "config fluid",
      {"prop bulk 5e6 shear 3e6 density 0", "model fl_isotropic", "property permeability 1e-8 porosity 0.5",
       "initial fmodulus 1e7", "fix x range x -0.1 0.1", "fix x range x 0.9 1.1", "fix y range y -0.1 0.1",
       "fix y range y 0.9 1.1", "fix z range z -0.1 0.1", "apply szz -1e4 range z 9.9 10.1", "set fluid off", "solve"});
  ASSERT_TRUE(tied);
  const double m = 1e7 / 0.5, stiff = 5e6 + 4.0 * 3e6 / 3.0;
  const double u0 = 1e4 * m / (m + stiff);
  for (GridPoint* gp : GridPointList()) EXPECT_NEAR(gp->porePressure, u0, 1e-3 * u0) << gp->id;
}

// Heat conduction from a face held at 100 into a bar (kappa = 1e-6) whose
// seam lies at z = 2, where 100 erfc(z / (2 sqrt(kappa t))) = 47.95 at
// t = 4e6 (H. S. Carslaw and J. C. Jaeger, Conduction of Heat in Solids,
// 1959, 2.4): the tied half of half-size zones takes heat as the rest of
// the bar does.
TEST_F(LinkedFlowTest, TransientConductionThroughTiesFollowsErfc) {
  const std::string out = Run({"config thermal", "gen zone brick size 1 1 4 p0 0 0 0 p1 0.5 0 0 p2 0 0.5 0 p3 0 0 2",
                               "gen zone brick size 2 2 32 p0 0 0 2 p1 0.5 0 2 p2 0 0.5 2 p3 0 0 10 nomerge",
                               "model elastic", "property bulk 1e9 shear 1e9 density 1000", "attach face",
                               "model th_isotropic", "property conductivity 1 spec_heat 1000", "set mechanical off",
                               "fix temperature 100 range z -0.1 0.1", "solve age 4e6"});
  ASSERT_NE(out.find("\r9 grid-points attached" + std::string(36, ' ') + "\n"), std::string::npos);
  const double t = Thermal().Time();
  for (GridPoint* gp : GridPointList()) {
    const double z = gp->position[2];
    if (z < 0.5 || z > 4.5) continue;
    const double expected = 100.0 * std::erfc(z / (2.0 * std::sqrt(1e-6 * t)));
    EXPECT_NEAR(gp->thermal->temperature, expected, 0.03 * expected) << gp->id << " at " << z;
  }
}

// Steady conduction between two held ends (Fourier's law): a linear
// profile through the seam and the flux -k grad T in every zone.
TEST_F(LinkedFlowTest, SteadyConductionThroughTiesIsLinear) {
  const bool tied = TiedColumn("config thermal", {"model th_isotropic", "property conductivity 2 spec_heat 1000",
                                                  "set mechanical off", "fix temperature 100 range z -0.1 0.1",
                                                  "fix temperature 0 range z 9.9 10.1", "solve age 1e9"});
  ASSERT_TRUE(tied);
  for (GridPoint* gp : GridPointList())
    EXPECT_NEAR(gp->thermal->temperature, 100.0 - 10.0 * gp->position[2], 0.05) << gp->id;
  for (Zone* zone : ZoneList()) {
    double q[3];
    Thermal().HeatFluxVector(*zone, q);
    EXPECT_NEAR(q[2], 20.0, 0.02) << zone->Id();
  }
}

// The same seepage with the seam joined by a permeable interface instead:
// its nodes sit on the half-size zones' bottom faces and touch the unit
// column's top face, so the grid-points under them follow that face as
// the ties' slaves do. A mechanical step finds the targets first.
TEST_F(LinkedFlowTest, SeepageThroughInterfaceIsThatOfOneColumn) {
  const std::string out =
      Run({"config fluid", "gen zone brick size 2 2 10 p0 0 0 5 p1 1 0 5 p2 0 1 5 p3 0 0 10",
           "interface 1 face range z 4.9 5.1", "gen zone brick size 1 1 5 nomerge", "model elastic",
           "prop bulk 5e7 shear 3e7 density 2000", "interface 1 property kn 1e9 ks 1e9", "model fl_isotropic",
           "property permeability 1e-10 porosity 0.3", "initial fmodulus 2e9", "fix pp 1e5 range z -0.1 0.1",
           "fix pp 0 range z 9.9 10.1", "step 1", "set mech off", "step 30000"});
  ExpectSteadySeepage();
}

// Steady conduction through the same interface.
TEST_F(LinkedFlowTest, SteadyConductionThroughInterfaceIsLinear) {
  Run({"config thermal", "gen zone brick size 2 2 10 p0 0 0 5 p1 1 0 5 p2 0 1 5 p3 0 0 10",
       "interface 1 face range z 4.9 5.1", "gen zone brick size 1 1 5 nomerge", "model elastic",
       "prop bulk 5e7 shear 3e7 density 2000", "interface 1 property kn 1e9 ks 1e9", "model th_isotropic",
       "property conductivity 2 spec_heat 1000", "fix temperature 100 range z -0.1 0.1",
       "fix temperature 0 range z 9.9 10.1", "step 1", "set mech off", "solve age 1e9"});
  for (GridPoint* gp : GridPointList())
    EXPECT_NEAR(gp->thermal->temperature, 100.0 - 10.0 * gp->position[2], 0.05) << gp->id;
  for (Zone* zone : ZoneList()) {
    double q[3];
    Thermal().HeatFluxVector(*zone, q);
    EXPECT_NEAR(q[2], 20.0, 0.02) << zone->Id();
  }
}

}  // namespace
