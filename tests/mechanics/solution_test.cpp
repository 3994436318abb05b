// Solutions against closed forms: an elastic column settling under gravity,
// and a Mohr-Coulomb sample compressed to its strength.
#include "mechanics/cycle_fixture.h"

namespace {

using SolutionTest = CycleTest;

// Steps until the unbalanced-force ratio is below the limit; answers the steps taken.
int StepToRatio(CommandType& interp, double limit, int maximum) {
  EXPECT_TRUE(Cycle::Prepare(false, interp, true));
  for (int n = 1; n <= maximum; ++n) {
    Cycle::Step(interp);
    if (Settings().forceRatio < limit) return n;
  }
  return maximum;
}

TEST_F(SolutionTest, ElasticColumnSettlesToTheWeightAbove) {
  // Ten unit zones on rollers: x and y fixed everywhere (every grid-point of
  // a one-zone-wide column lies on its side faces), z fixed at the base.
  const int n = 10;
  for (int k = 0; k < n; ++k) Assign(UnitBrick(0, 0, k), "elastic", {{"bulk", 5e7}, {"shear", 3e7}}, 2000);
  for (GridPoint* gp : GridPointList()) {
    gp->flags |= NodeBase::kFixX | NodeBase::kFixY;
    if (gp->position[2] == 0.0) gp->flags |= NodeBase::kFixZ;
  }
  Settings().gravity[2] = -10.0;
  const int steps = StepToRatio(interp, 1e-8, 20000);
  EXPECT_LT(steps, 20000);
  for (Zone* zone : ZoneList()) {
    double c[3];
    zone->Centroid(c);
    const double want = -2000.0 * 10.0 * (n - c[2]);
    EXPECT_NEAR(ZoneStress(zone, 2), want, 1e-3 * std::fabs(want)) << "zone at z = " << c[2];
  }
  EXPECT_NEAR(ZoneStress(FindZone(6), 2), -90000.0, 90.0);
  // Lateral stress of a confined column: K0 = nu / (1 - nu) times the vertical.
  const double nu = (3 * 5e7 - 2 * 3e7) / (2 * (3 * 5e7 + 3e7));
  EXPECT_NEAR(ZoneStress(FindZone(6), 0), -90000.0 * nu / (1 - nu), 90.0);
}

TEST_F(SolutionTest, MohrCoulombSampleReachesItsUnconfinedStrength) {
  // A unit brick pressed down at its top at a steady rate, free to bulge sideways.
  const double cohesion = 1e5, friction = 30.0;
  Zone* zone = UnitBrick();
  Assign(zone, "mohr",
         {{"bulk", 1e8}, {"shear", 6e7}, {"cohesion", cohesion}, {"friction", friction}, {"tension", 1e10}}, 2000);
  for (GridPoint* gp : GridPointList()) {
    if (gp->position[0] == 0.0) gp->flags |= NodeBase::kFixX;
    if (gp->position[1] == 0.0) gp->flags |= NodeBase::kFixY;
    gp->flags |= NodeBase::kFixZ;
    if (gp->position[2] == 1.0) gp->velocity[2] = -1e-6;
  }
  Steps(6000);
  const double s = std::sin(friction * 3.14159265358979323846 / 180.0);
  const double strength = 2.0 * cohesion * std::sqrt((1 + s) / (1 - s));
  EXPECT_NEAR(ZoneStress(zone, 2), -strength, 1e-3 * strength);
  EXPECT_NEAR(ZoneStress(zone, 0), 0.0, 1e-3 * strength);
  EXPECT_NEAR(ZoneStress(zone, 1), 0.0, 1e-3 * strength);
  for (int o = 0; o < 2; ++o)
    for (int k = 0; k < 5; ++k) {
      const uint16_t state = zone->Tetra(o)[k].state;
      EXPECT_TRUE(state & 1) << "shear now, tetrahedron " << o << k;
      EXPECT_TRUE(state & 4) << "shear past, tetrahedron " << o << k;
      EXPECT_FALSE(state & 2) << "no tension";
    }
}

}  // namespace
