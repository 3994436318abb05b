// The dynamic module: masses, the critical time step, damping settings,
// multistepping, its listing and records, and wave propagation in a column.
#include "modes/dynamic_module.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "base/app.h"
#include "base/except.h"
#include "mechanics/apply_condition.h"
#include "mechanics/cycle.h"
#include "model/grid_fixture.h"
#include "model/grid_point.h"
#include "model/zone.h"
#include "support/memory_stream.h"

namespace {

class DynamicTest : public GridTest {
 protected:
  void TearDown() override {
    ResetRestoreVersions();
    GridTest::TearDown();
  }
  void Run(std::initializer_list<const char*> lines) { RunLines(interp, device, lines); }
  DynamicModule& Dyn() { return static_cast<DynamicModule&>(*Modes().dynamic); }
  GridPoint* At(double x, double y, double z) {
    for (GridPoint* gp : GridPointList())
      if (std::fabs(gp->position[0] - x) < 1e-9 && std::fabs(gp->position[1] - y) < 1e-9 &&
          std::fabs(gp->position[2] - z) < 1e-9)
        return gp;
    return nullptr;
  }
};

TEST(MultistepFactorTest, PowersOfTwoBelowTheRatio) {
  struct Case {
    double t;
    double expected;
  } cases[] = {{1.0, 1}, {2.0, 1}, {2.5, 2}, {3.0, 2}, {5.0, 4}, {9.0, 8}, {17.0, 16}, {40.0, 16}, {1e9, 16}};
  for (const Case& c : cases) EXPECT_EQ(DynamicModule::MultistepFactor(c.t, 1.0, 16), c.expected) << c.t;
  EXPECT_EQ(DynamicModule::MultistepFactor(5.0, 0.0, 16), 1.0);
  EXPECT_EQ(DynamicModule::MultistepFactor(5.0, 1.0, 1), 1.0);
}

// A single unit brick: the critical step is the least sqrt(m/k) over its
// grid-points, lowered under Rayleigh beta; SET dynamic dt replaces it.
TEST_F(DynamicTest, CriticalStepFromMassesAndStiffness) {
  Run({"gen zone brick size 1 1 1", "model elastic", "prop bulk 2e8 shear 1e8 density 2000", "config dynamic"});
  device.Take();
  ASSERT_TRUE(Cycle::Prepare(false, interp, true));
  double expected = DBL_MAX, mass = 0.0;
  for (GridPoint* gp : GridPointList()) {
    expected = std::min(expected, std::sqrt(gp->mass / gp->stiffness));
    mass += gp->mass;
  }
  EXPECT_NEAR(mass, 2000.0, 1e-9);  // the zone's mass is shared out once
  EXPECT_DOUBLE_EQ(Dyn().CriticalTimestep(), expected);

  Run({"set dynamic damp rayleigh 0.05 5 stiffness"});
  ASSERT_TRUE(Cycle::Prepare(false, interp, true));
  const double beta = 0.05 / (2 * M_PI * 5);
  double lowered = DBL_MAX;
  for (GridPoint* gp : GridPointList()) {
    double t = std::sqrt(gp->mass / gp->stiffness), lambda = beta / (M_PI * t);
    lowered = std::min(lowered, (std::sqrt(lambda * lambda + 1) - lambda) * t);
  }
  EXPECT_DOUBLE_EQ(Dyn().CriticalTimestep(), lowered);
  EXPECT_LT(lowered, expected);

  Run({"set dynamic dt 1e-2"});
  ASSERT_TRUE(Cycle::Prepare(false, interp, true));
  EXPECT_EQ(Dyn().CriticalTimestep(), 1e-2);
  EXPECT_EQ(Dyn().GetTimestep(), 1e-2);
  EXPECT_FALSE(Dyn().AcceptTimestep(2e-2));
  EXPECT_FALSE(Dyn().AcceptTimestep(0.0));
  EXPECT_TRUE(Dyn().AcceptTimestep(1e-3));
}

TEST_F(DynamicTest, MissingDensityOrStiffnessStopsPreparation) {
  Run({"gen zone brick size 1 1 1", "model elastic", "prop bulk 2e8 shear 1e8", "config dynamic"});
  try {
    Cycle::Prepare(false, interp, true);
    FAIL();
  } catch (const KWRExcept& e) {
    EXPECT_STREQ(e.what(), "Density not defined");
  }
  Run({"prop density 1000 bulk 0 shear 0"});
  try {
    Cycle::Prepare(false, interp, true);
    FAIL();
  } catch (const KWRExcept& e) {
    EXPECT_STREQ(e.what(), "Zero stiffness in grid-point 1");
  }
}

TEST_F(DynamicTest, MultistepGivesZonesTheirGridPointsLeastMultiplier) {
  // A stiff zone beside a soft one: the soft zone's grid-points step less often.
  Run({"gen zone brick size 2 1 1", "model elastic", "prop bulk 2e8 shear 1e8 density 2000",
       "prop bulk 2e6 shear 1e6 range x 1 2", "config dynamic", "set dynamic multistep on"});
  ASSERT_TRUE(Cycle::Prepare(false, interp, true));
  std::vector<double> m;
  for (Zone* z : ZoneList()) m.push_back(z->dynamicMultiplier ? *z->dynamicMultiplier : -1);
  ASSERT_EQ(m.size(), 2u);
  EXPECT_EQ(m[0], 1.0);
  EXPECT_EQ(m[1], 1.0);  // it shares grid-points with the stiff one
  GridPoint* far = At(2, 0, 0);
  ASSERT_TRUE(far && far->dynamicBlock);
  EXPECT_EQ(far->dynamicBlock->multiStep, 8.0);  // 10 times the critical step
}

// The same pair of zones generated apart and joined by ties: the soft
// zone's corners on the seam are slaves of the stiff zone's face, whose
// multipliers they take, so the soft zone steps as it does when merged.
TEST_F(DynamicTest, MultistepCountsTiedSlavesWithTheirMastersMultiplier) {
  Run({"gen zone brick size 1 1 1 p0 1 0 0 p1 2 0 0 p2 1 1 0 p3 1 0 1", "gen zone brick size 1 1 1 nomerge",
       "model elastic", "prop bulk 2e6 shear 1e6 density 2000", "prop bulk 2e8 shear 1e8 range x 0 1", "attach face",
       "config dynamic", "set dynamic multistep on", "step 1"});
  EXPECT_NE(device.output.find("\r4 grid-points attached"), std::string::npos);
  std::vector<double> m;
  for (Zone* z : ZoneList()) m.push_back(z->dynamicMultiplier ? *z->dynamicMultiplier : -1);
  ASSERT_EQ(m.size(), 2u);
  EXPECT_EQ(m[0], 1.0);  // the soft zone, by its slaves
  EXPECT_EQ(m[1], 1.0);
  GridPoint* far = At(2, 0, 0);
  ASSERT_TRUE(far && far->dynamicBlock);
  EXPECT_EQ(far->dynamicBlock->multiStep, 8.0);
}

TEST_F(DynamicTest, SettingsAndListing) {
  Run({"config dynamic", "print dynamic", "set dynamic damp rayleigh 0.05 5 mass", "set dynamic multistep on",
       "print dynamic", "set dynamic damp bogus"});
  const std::string out = device.Take();
  EXPECT_NE(out.find("  Dynamic data ...\n"
                     "   Dynamic                    : On\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("   Dynamic Damping type       : Rayleigh \n"
                     "   Local damping constant     :  8.000000e-01\n"
                     "   Rayleigh damping constants\n"
                     "     Alpha (Mass damping)     :  0.000000e+00\n"
                     "     Beta (Stiffness damping) :  0.000000e+00\n"
                     "   Multistepping              : Off\n"
                     "Terrax>"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("     Alpha (Mass damping)     :  1.570796e+00\n"
                     "     Beta (Stiffness damping) :  0.000000e+00\n"
                     "   Multistepping              : On\n"
                     "   Time Step multipliers      : no. zones \n"
                     "                            1 : 0\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("                         Total: 0\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Terrax>set dynamic damp bogus\n***"), std::string::npos) << out;
  EXPECT_EQ(Dyn().Alpha(), 0.05 * 2 * M_PI * 5);

  Run({"set dynamic damp rayleigh 0.05 0"});
  EXPECT_EQ(Dyn().Alpha(), 0.0);
  EXPECT_EQ(Dyn().Beta(), 0.0);
}

TEST_F(DynamicTest, RecordsRoundTripWithTheirVersionGates) {
  Run({"gen zone brick size 1 1 1", "config dynamic", "set dynamic damp local 0.6 multistep on",
       "set dynamic damp avisc 0.5 0.2"});
  MemoryStream first;
  Dyn().Save(first);
  DynamicModule& original = Dyn();
  {
    auto copy = std::make_unique<DynamicModule>();
    copy->Restore(first);
    EXPECT_EQ(first.Remaining(), 0u);
    EXPECT_TRUE(copy->StepSettings().viscosity);  // kept, where older files dropped it
    EXPECT_EQ(copy->StepSettings().quadratic, 0.5);
    MemoryStream second;
    copy->Save(second);
    EXPECT_EQ(first.bytes, second.bytes);
  }
  (void)original;

  // Version 9: a byte for the damping mode, and five skipped reals.
  CurrentRestoreVersions().program = 9;
  MemoryStream old;
  old.WriteU8(1);
  old.WriteU8(CalcModule::kDynamic);
  for (int i = 0; i < 3; ++i) old.WriteF64(0.0);
  old.WriteU8(3);  // combined
  old.WriteF64(0.7);
  old.WriteF64(1e-3);
  old.WriteF64(0.0);
  old.WriteF64(9.0);
  old.WriteF64(9.0);
  old.WriteF64(2.5);  // alpha
  old.WriteF64(0.1);  // beta
  for (int i = 0; i < 3; ++i) old.WriteF64(9.0);
  old.WriteU8(0);
  old.WriteI32(16);
  DynamicModule older;
  older.Restore(old);
  EXPECT_EQ(old.Remaining(), 0u);
  EXPECT_EQ(older.DampingMode(), 2);
  EXPECT_EQ(older.LocalCoefficient(), 0.7);
  EXPECT_EQ(older.Alpha(), 2.5);
  EXPECT_EQ(older.Beta(), 0.1);

  // A damaged record: an old mode byte out of range, or cut short.
  MemoryStream bad = old;
  bad.pos = 0;
  bad.bytes[26] = 7;
  DynamicModule broken;
  EXPECT_THROW(broken.Restore(bad), KWRExcept);
  CurrentRestoreVersions().program = 316;
  MemoryStream cut;
  cut.bytes = first.bytes.substr(0, 50);
  EXPECT_THROW(broken.Restore(cut), KWRExcept);

  // The grid-point record: both vectors, and floats before version 310.
  GpDynamicData d;
  d.acceleration[2] = 1.5;
  d.second[1] = -2.0;
  d.multiStep = 4;
  d.dampingKind = 2;
  d.localDamping = 0.3;
  d.rayleighAlpha = 0.25;
  d.rayleighBeta = 0.125;
  MemoryStream g;
  d.Save(g);
  EXPECT_EQ(g.bytes.size(), 84u);
  GpDynamicData e;
  e.Restore(g);
  MemoryStream g2;
  e.Save(g2);
  EXPECT_EQ(g.bytes, g2.bytes);
  CurrentRestoreVersions().program = 150;
  MemoryStream f;
  for (float v : {0.f, 0.f, 1.5f, 0.f, -2.f, 0.f, 4.f}) f.WriteF32(v);
  f.WriteI32(2);
  for (float v : {0.3f, 0.25f, 0.125f}) f.WriteF32(v);
  GpDynamicData h;
  h.Restore(f);
  EXPECT_EQ(f.Remaining(), 0u);
  EXPECT_EQ(h.second[1], -2.0);
  EXPECT_EQ(h.rayleighBeta, 0.125);
}

// One-dimensional wave propagation in an elastic rod (Kolsky, "Stress Waves
// in Solids", ch. 1; Kramer, "Geotechnical Earthquake Engineering", 5.2):
// a velocity step at the base of a column on rollers travels up at
// Cp = sqrt((K + 4G/3) / rho) as a step of the same velocity, and doubles
// when it reflects from the free top.
TEST_F(DynamicTest, VelocityStepTravelsAtThePWaveSpeed) {
  Run({"gen zone brick size 1 1 50", "model elastic", "prop bulk 2e8 shear 1e8 density 2000", "fix x", "fix y",
       "initial zvel 1e-3 range z -0.1 0.1", "fix z range z -0.1 0.1", "config dynamic"});
  const double cp = std::sqrt((2e8 + 4 * 1e8 / 3) / 2000.0);
  GridPoint* probe = At(0, 0, 40);
  ASSERT_NE(probe, nullptr);
  ASSERT_TRUE(Cycle::Prepare(false, interp, true));
  double crossing = -1.0, t = 0.0, afterMin = 1.0, afterMax = 0.0, sum = 0.0, span = 0.0;
  const double arrival = 40.0 / cp, reflection = 60.0 / cp;
  for (int n = 0; n < 200000 && t < 0.97 * reflection; ++n) {
    const double before = probe->velocity[2];
    Cycle::Step(interp);
    const double dt = Settings().timestep;
    t += dt;
    const double v = probe->velocity[2];
    if (crossing < 0 && v >= 0.5e-3) crossing = t - dt * (v - 0.5e-3) / (v - before);
    if (t > 1.2 * arrival) {
      afterMin = std::min(afterMin, v);
      afterMax = std::max(afterMax, v);
      sum += v * dt;
      span += dt;
    }
  }
  ASSERT_GT(crossing, 0.0);
  EXPECT_NEAR(crossing, arrival, 0.03 * arrival);
  // The step holds until the reflection returns: on average the base
  // velocity, with the ringing of the sharp front in an undamped grid.
  ASSERT_GT(span, 0.0);
  EXPECT_NEAR(sum / span, 1e-3, 0.03e-3);
  EXPECT_GT(afterMin, 0.75e-3);
  EXPECT_LT(afterMax, 1.3e-3);
}

}  // namespace

namespace {

// A quiet (viscous) boundary of dashpots rho Cp per area absorbs a normally
// incident plane P wave (Lysmer and Kuhlemeyer, "Finite dynamic model for
// infinite media", J. Eng. Mech. Div. ASCE 95, 1969). A smooth down-going
// pulse (velocity v, stress rho Cp v) starts 20 zones above the quiet base; the
// velocity 10 zones above the base is compared with that at the same place
// in a column 50 zones longer, whose base is too far to send anything back
// in time: the difference is the reflected wave.
class QuietBaseTest : public DynamicTest {
 protected:
  std::vector<double> Record(double shift, bool quiet) {
    ClearApplyList();
    Reset();
    const double rho = 2000.0, cp = std::sqrt((2e8 + 4 * 1e8 / 3) / rho);
    auto z = [&](double a, double b) {
      return " range z " + std::to_string(a + shift) + " " + std::to_string(b + shift);
    };
    const std::string gen = "gen zone brick size 1 1 " + std::to_string(50 + static_cast<int>(shift));
    Run({gen.c_str(), "model elastic", "prop bulk 2e8 shear 1e8 density 2000", "fix x", "fix y", "config dynamic"});
    // A smooth pulse, v = -1e-3 sin^2(pi s / 20) over s = z - 20 in [0, 20].
    auto pulse = [](double s) { return s <= 0.0 || s >= 20.0 ? 0.0 : -1e-3 * std::pow(std::sin(M_PI * s / 20.0), 2); };
    for (GridPoint* gp : GridPointList()) gp->velocity[2] = pulse(gp->position[2] - shift - 20.0);
    for (int k = 0; k < 20; ++k) {
      const std::string szz = "initial szz " + std::to_string(rho * cp * pulse(k + 0.5)) + z(20 + k, 21 + k);
      Run({szz.c_str()});
    }
    if (quiet)
      Run({"apply nquiet range z -0.1 0.1"});
    else
      Run({"fix z range z -0.1 0.1"});
    GridPoint* probe = At(0, 0, 10 + shift);
    EXPECT_NE(probe, nullptr);
    std::vector<double> v;
    if (!probe || !Cycle::Prepare(false, interp, true)) return v;
    // About 80 / Cp: the pulse has gone down and its reflection up past the probe.
    for (int n = 0; n < 350; ++n) {
      Cycle::Step(interp);
      v.push_back(probe->velocity[2]);
    }
    return v;
  }
};

TEST_F(QuietBaseTest, QuietBaseAbsorbsADownGoingWave) {
  const std::vector<double> quiet = Record(0.0, true);
  const std::vector<double> free = Record(50.0, false);
  ASSERT_EQ(quiet.size(), free.size());
  ASSERT_FALSE(quiet.empty());
  double incident = 0.0, reflected = 0.0;
  for (size_t i = 0; i < quiet.size(); ++i) {
    incident = std::max(incident, std::fabs(free[i]));
    reflected = std::max(reflected, std::fabs(quiet[i] - free[i]));
  }
  EXPECT_GT(incident, 0.8e-3);
  EXPECT_LT(reflected, 0.05 * incident);
}

}  // namespace

namespace {

// The module section with both modes: save, restore, save gives the same bytes.
TEST_F(DynamicTest, ModuleSectionRoundTrips) {
  Run({"config dynamic creep", "set dynamic damp combined 0.4 multistep on dt 1e-4", "set dynamic damp avisc 0.3 0.1",
       "set creep dt 2e-3 latency 5 mindt 1e-6 maxdt 1e-2"});
  MemoryStream first;
  SaveModules(first);
  RestoreModules(first, 316);
  EXPECT_EQ(first.Remaining(), 0u);
  ASSERT_NE(Modes().dynamic, nullptr);
  ASSERT_NE(Modes().creep, nullptr);
  EXPECT_EQ(Dyn().DampingMode(), 2);
  EXPECT_TRUE(Dyn().StepSettings().viscosity);
  MemoryStream second;
  SaveModules(second);
  EXPECT_EQ(first.bytes, second.bytes);
}

}  // namespace
