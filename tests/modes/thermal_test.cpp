// The thermal mode: its models and records, settings and listing, the heat
// conduction step against textbook solutions, thermal strain, the implicit
// scheme, and its save form.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>

#include "base/except.h"
#include "model/model_settings.h"
#include "modes/fluid_model.h"
#include "modes/fluid_module.h"
#include "modes/mode_fixture.h"
#include "modes/thermal_model.h"
#include "modes/thermal_module.h"
#include "support/memory_stream.h"
#include "support/untimed_save.h"

namespace {

class ThermalTest : public ModeTest {
 protected:
  static Zone* FirstZone() { return *ZoneList().begin(); }
  ThermalModule& Thermal() { return static_cast<ThermalModule&>(*Modes().thermal); }
  // The temperature of the grid-point on the bar's corner line at height z.
  static double TemperatureAt(double z) {
    const GridPoint* gp = CornerLineAt(z);
    return gp && gp->thermal ? gp->thermal->temperature : 0.0;
  }
  // A bar of 20 zones of 0.5 m along z with kappa = k / (rho c) = 1e-6.
  void Bar() {
    Run({"config thermal", "gen zone brick size 1 1 20 p0 0 0 0 p1 0.5 0 0 p2 0 0.5 0 p3 0 0 10", "model elastic",
         "property bulk 1e9 shear 1e9 density 1000", "model th_isotropic", "property conductivity 1 spec_heat 1000",
         "set mechanical off", "fix temperature 100 range z -0.1 0.1"});
  }
};

TEST_F(ThermalTest, SettingsAndListing) {
  std::string out = Run({"config thermal", "gen zone brick size 1 1 1", "model th_isotropic",
                         "property conductivity 1 spec_heat 1000", "print thermal", "set thermal substep 5 slave",
                         "print thermal", "set thermal bogus"});
  EXPECT_NE(out.find("Terrax>print thermal\n"
                     "  Thermal Calculation Settings\n"
                     "  Thermal Caluclations : On\n"
                     "  Implicit Mode        : Off\n"
                     "  Accumulated Time     :  0.000000e+00\n"
                     "  Timestep             :  0.000000e+00\n"
                     "  Step SOLVE limit     : 1000000000\n"
                     "  Ratio SOLVE limit    :  0.000000e+00\n"
                     "  Age SOLVE limit      :  1.000000e+20\n"
                     "  SOLVE SubStep limit  : 100\n"
                     "  SOLVE Slave          : Off\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("  SOLVE SubStep limit  : 5\n  SOLVE Slave          : On\n"), std::string::npos) << out;
  EXPECT_NE(out.find("*** Unrecognized parameter 2 (bogus)"), std::string::npos) << out;
  EXPECT_EQ(ThermalRecord(*FirstZone())->modelType, kThIsotropic);
  double k = 0.0;
  EXPECT_TRUE(FirstZone()->GetProperty("spec_heat", &k));
  EXPECT_EQ(k, 1000.0);
}

// Conduction into a half-space from a face held at T0 (H. S. Carslaw and
// J. C. Jaeger, Conduction of Heat in Solids, 1959, 2.4):
// T = T0 erfc(z / (2 sqrt(kappa t))).
TEST_F(ThermalTest, TransientConductionFollowsErfc) {
  Bar();
  Run({"solve age 4e6"});
  const double t = Thermal().Time();
  EXPECT_NEAR(t, 4e6, 0.02 * 4e6);
  for (double z : {1.0, 2.0, 3.0}) {
    const double expected = 100.0 * std::erfc(z / (2.0 * std::sqrt(1e-6 * t)));
    EXPECT_NEAR(TemperatureAt(z), expected, 0.03 * expected) << z;
  }
  EXPECT_NEAR(100.0 * std::erfc(2.0 / (2.0 * std::sqrt(1e-6 * 4e6))), 47.95, 0.01);
}

// Steady conduction between two held faces: a linear profile and the flux
// -k grad T (Fourier's law) in every zone.
TEST_F(ThermalTest, SteadyConductionFollowsFourier) {
  Bar();
  Run({"fix temperature 0 range z 9.9 10.1", "solve age 4e8"});
  for (int z = 0; z <= 10; ++z) EXPECT_NEAR(TemperatureAt(z), 100.0 - 10.0 * z, 0.1) << z;
  for (Zone* zone : ZoneList()) {
    double q[3];
    Thermal().HeatFluxVector(*zone, q);
    EXPECT_NEAR(q[2], 10.0, 0.01) << zone->Id();
    EXPECT_NEAR(q[0], 0.0, 1e-6);
  }
}

// A free block heated uniformly grows by thexp dT in every direction and
// stays free of stress.
TEST_F(ThermalTest, FreeBlockExpandsWithoutStress) {
  Run({"config thermal", "gen zone brick size 2 2 2 p0 0 0 0 p1 2 0 0 p2 0 2 0 p3 0 0 2", "model elastic",
       "property bulk 1e9 shear 5e8 density 2000", "model th_isotropic",
       "property conductivity 1 spec_heat 1000 thexp 1e-5", "fix temperature 50", "set thermal off", "step 2000"});
  GridPoint* origin = nullptr;
  GridPoint* far = nullptr;
  for (GridPoint* gp : GridPointList()) {
    if (gp->position[0] == 0.0 && gp->position[1] == 0.0 && gp->position[2] == 0.0) origin = gp;
    if (gp->position[0] == 2.0 && gp->position[1] == 2.0 && gp->position[2] == 2.0) far = gp;
  }
  ASSERT_TRUE(origin && far);
  for (int a = 0; a < 3; ++a) EXPECT_NEAR(far->displacement[a] - origin->displacement[a], 2.0 * 1e-5 * 50.0, 1e-6) << a;
  for (Zone* zone : ZoneList()) {
    const ZoneTetra* t = zone->Tetra(0);
    for (int j = 0; j < 6; ++j) EXPECT_NEAR(t[0].stress[j], 0.0, 1e3) << zone->Id();
  }
}

// The implicit scheme at ten times the stable step follows the explicit
// run, with the far end insulated and with it losing heat by convection to
// 0, the convection stiff enough to govern the stable step there (it must
// enter every implicit sweep; "apply convection" takes the outer
// temperature, then the coefficient).
TEST_F(ThermalTest, ImplicitMatchesExplicit) {
  double insulatedEnd = 0.0;
  for (const char* end : {"print apply", "apply convection 0 100 range z 9.9 10.1"}) {
    Fresh();
    Bar();
    Run({end, "step 1"});
    const double stable = Thermal().ThermalTimestep();
    const std::string age = "solve age " + std::to_string(500.0 * stable);
    Run(age);
    double explicitT[11];
    for (int z = 0; z <= 10; ++z) explicitT[z] = TemperatureAt(z);
    Fresh();
    Bar();
    Run({end});
    Run("set thermal dt " + std::to_string(10.0 * stable) + " implicit on");
    Run(age);
    EXPECT_TRUE(Thermal().Implicit()) << end;
    for (int z = 1; z <= 10; ++z) EXPECT_NEAR(TemperatureAt(z), explicitT[z], 0.01 * 100.0) << end << " z " << z;
    EXPECT_GT(TemperatureAt(1.0), 10.0) << end;
    if (end[0] == 'p')
      insulatedEnd = explicitT[10];
    else
      EXPECT_LT(explicitT[10], 0.9 * insulatedEnd);
  }
}

// A grid-point's own heat source heats an insulated block by exactly its
// output, explicit or implicit: the source enters the step's heat balance
// once and nothing else (the implicit sums, the stable step).
TEST_F(ThermalTest, GridPointHeatSourceKeepsEnergyBalance) {
  for (bool implicit : {false, true}) {
    Fresh();
    Run({"config thermal", "gen zone brick size 2 1 1 p0 0 0 0 p1 2 0 0 p2 0 1 0 p3 0 0 1", "model elastic",
         "property density 1000", "model th_isotropic", "property conductivity 1 spec_heat 1000", "set mechanical off",
         "step 1"});
    const double stable = Thermal().ThermalTimestep();
    if (implicit) Run("set thermal dt " + std::to_string(10.0 * stable) + " implicit on");
    FindGridpoint(1)->thermal->heatSource = 100.0;
    Run("solve age " + std::to_string(200.0 * stable));
    EXPECT_EQ(Thermal().Implicit(), implicit);
    double energy = 0.0;
    for (GridPoint* gp : GridPointList()) energy += gp->thermal->temperature / gp->thermal->inverseCapacity;
    // The relaxation stops at a 1 % change per sweep, which leaves the
    // implicit balance a few per cent short; a source counted twice would double it.
    EXPECT_NEAR(energy, 100.0 * (Thermal().Time() - stable), (implicit ? 0.05 : 1e-6) * energy) << implicit;
  }
}

TEST_F(ThermalTest, TimeStepWarnings) {
  Bar();
  std::string out = Run({"set thermal implicit on", "step 1"});
  EXPECT_NE(out.find(" *** Warning: Time step must be set for implicit logic \n"), std::string::npos) << out;
  EXPECT_FALSE(Thermal().Implicit());
  out = Run({"set thermal dt 1e9", "step 1"});
  EXPECT_NE(out.find(" *** Warning:  thermal time step has been reduced for stability\n"), std::string::npos) << out;
  out = Run({"set thermal dt 1 implicit on", "step 1"});
  EXPECT_NE(out.find(" *** Warning: implicit method not needed for this step \n"
                     "              explicit method used from now on\n"),
            std::string::npos)
      << out;
  EXPECT_FALSE(Thermal().Implicit());
}

TEST_F(ThermalTest, BadInputStopsPreparation) {
  struct Case {
    const char* line;
    const char* message;
  } cases[] = {
      {"property density 0", "*** Density needed for thermal run"},
      {"property spec_heat 0", "*** Specific heat needed for thermal run"},
  };
  for (const Case& c : cases) {
    Fresh();
    Bar();
    std::string out = Run({c.line, "step 1"});
    EXPECT_NE(out.find(c.message), std::string::npos) << out;
  }
  Fresh();
  Bar();
  std::string out = Run({"model th_hyd", "property conductivity 1 spec_heat 1000", "step 1"});
  EXPECT_NE(out.find("*** th_hyd needs a non-zero transition width dT"), std::string::npos) << out;
}

TEST_F(ThermalTest, ModelOperations) {
  using namespace thermal_props;
  // Anisotropic: dip direction 90 puts the principal values on the axes.
  ThermalModel an;
  an.SetModel(kThAnisotropic);
  an.properties[kDipDirection] = 90.0;
  for (int i = 0; i < 3; ++i) an.properties[kK1 + i] = i + 1.0;
  ThermalModelMessage m;
  m.operation = ThermalModelMessage::kPrepare;
  an.Call(m);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(an.properties[kKxx + i], i + 1.0, 1e-12) << i;
  for (int i = 3; i < 6; ++i) EXPECT_NEAR(an.properties[kKxx + i], 0.0, 1e-12) << i;
  an.TakeValues();
  EXPECT_EQ(an.stepValues[2], 3.0);

  // Concrete at 293 K: the equivalent age grows by the time step.
  for (int type : {kThHydConcrete, kThHyd}) {
    ThermalModel c;
    c.SetModel(type);
    double* d = c.properties.get();
    d[kQmax] = 4e5;
    d[kCement] = 300.0;
    d[kBConst] = -1.5;
    d[kT1Const] = 1e5;
    d[kGasConst] = 8.314;
    d[kEActivate] = 4e4;
    if (type == kThHyd) {
      d[kEa1] = d[kEa2] = 4e4;
      d[kDT] = 5.0;
      d[kT0Ea] = 293.0;
      d[kCp1] = 900.0;
      d[kLambda1] = 2.0;
      d[kTMaxq] = 400.0;
    }
    ThermalModelMessage h;
    h.operation = ThermalModelMessage::kHydration;
    h.temperature = 293.0;
    h.timestep = 100.0;
    c.Call(h);
    EXPECT_NEAR(d[kTConcrete], 100.0, 1e-9) << type;
    EXPECT_EQ(d[kTTherm], 100.0);
    const double alpha = std::exp(-std::pow(std::log(1.0 + 100.0 / 1e5), -1.5));
    EXPECT_NEAR(h.hydration, alpha, 1e-15);
    EXPECT_NEAR(h.heat, 4e5 / 100.0 * alpha * 300.0, 1e-9);
    EXPECT_EQ(d[kHeat], h.heat);
    if (type == kThHyd) {
      EXPECT_EQ(d[kDT], 5.0);  // the transition width stays
      EXPECT_EQ(d[kSpecHeat], 900.0);
      h.temperature = 500.0;
      c.Call(h);
      EXPECT_EQ(h.heat, 0.0);
      EXPECT_GT(d[kTConcrete], 200.0);
    }
  }
  // At zero equivalent age nothing hydrates.
  ThermalModel zero;
  zero.SetModel(kThHydConcrete);
  zero.properties[kT1Const] = 1.0;
  zero.properties[kGasConst] = 1.0;
  zero.properties[kTConcrete] = -std::exp(0.0) * 1.0;
  ThermalModelMessage h;
  h.operation = ThermalModelMessage::kHydration;
  h.temperature = 293.0;
  h.timestep = 1.0;
  zero.Call(h);
  EXPECT_EQ(h.hydration, 0.0);
  EXPECT_EQ(h.heat, 0.0);

  // th_ac: the effective values from the fluid state; zone density 0
  // leaves the specific heat alone.
  ThermalModel ac;
  ac.SetModel(kThAdvection);
  ac.properties[kCConductivity] = 2.0;
  ac.properties[kLConduct] = 0.6;
  ac.properties[kCSpecHeat] = 800.0;
  ac.properties[kLSpecHeat] = 4000.0;
  ac.properties[kESpecHeat] = 7.0;
  ThermalModelMessage p;
  p.operation = ThermalModelMessage::kPrepare;
  p.flux[2] = 1e-6;
  p.extra[0] = 1000.0;
  p.extra[1] = 0.0;
  p.extra[2] = 0.25;
  ac.Call(p);
  EXPECT_EQ(ac.properties[kESpecHeat], 7.0);
  EXPECT_DOUBLE_EQ(ac.properties[kEConduct], 0.6 * 0.25 + 2.0);
  EXPECT_EQ(ac.properties[kFq + 2], 1e-6);
  p.extra[1] = 2000.0;
  ac.Call(p);
  EXPECT_DOUBLE_EQ(ac.properties[kESpecHeat], 4000.0 * 1000.0 * 0.25 / 2000.0 + 800.0);
}

// A th_ac zone with water flowing up a temperature gradient cools by the
// heat the flow carries, rho c dT/dt = -rho_f c_f q . grad T, with no
// conduction (econduct 0) and no fluid mode (the water table's density).
TEST_F(ThermalTest, AdvectionCarriesHeat) {
  Run({"config thermal", "water density 1000", "gen zone brick size 1 1 1", "model elastic", "property density 2000",
       "model th_ac", "property espec_heat 1000 lspec_heat 4000 f_qz 1e-6", "set mechanical off", "set thermal dt 1"});
  for (GridPoint* gp : GridPointList()) {
    gp->thermal = std::make_unique<GpThermalData>();
    gp->thermal->temperature = 10.0 * gp->position[2];
  }
  Run({"step 1"});
  const double expected = -1e-6 * 10.0 * 1000.0 * 4000.0 / (1000.0 * 2000.0);
  for (GridPoint* gp : GridPointList())
    EXPECT_NEAR(gp->thermal->temperature - 10.0 * gp->position[2], expected, 1e-9) << gp->id;
}

// Heat carried by a live seepage: water driven up a column by a pressure
// difference (Darcy flux q = k dp / L) through th_ac zones held at T0 below
// and TL above settles to the steady advection-conduction profile
// T = T0 + (TL - T0) (exp(Pe z / L) - 1) / (exp(Pe) - 1), with the Peclet
// number Pe = rho_f c_f q L / k_e (J. D. Bredehoeft and I. S. Papadopulos,
// Water Resources Research 1, 1965; Carslaw and Jaeger, 1959). Here Pe = 2.
TEST_F(ThermalTest, AdvectionBySeepageFollowsTheSteadyProfile) {
  Run({"config fluid thermal", "water density 1000", "gen zone brick size 1 1 10", "model elastic",
       "property bulk 1e9 shear 1e9 density 2000", "model fl_isotropic", "property permeability 1e-10 porosity 0.3",
       "initial fmodulus 2e9", "fix pp 1e4 range z -0.1 0.1", "fix pp 0 range z 9.9 10.1", "model th_ac",
       "property conductivity 2 spec_heat 1000 lspec_heat 4000", "fix temperature 100 range z -0.1 0.1",
       "fix temperature 0 range z 9.9 10.1", "set mechanical off", "set thermal off", "step 6000"});
  const double q = 1e-10 * 1e4 / 10.0, pe = 1000.0 * 4000.0 * q * 10.0 / 2.0;
  ASSERT_NEAR(pe, 2.0, 1e-12);
  std::string out = Run({"set fluid off", "set thermal on", "solve age 1e9"});
  ASSERT_EQ(out.find("***"), std::string::npos) << out;
  double flux[3];
  static_cast<FluidModule&>(*Modes().fluid).FluidFlowVector(*FirstZone(), flux);
  EXPECT_NEAR(flux[2], q, 1e-3 * q);
  for (int z = 1; z < 10; ++z) {
    const double expected = 100.0 - 100.0 * std::expm1(pe * z / 10.0) / std::expm1(pe);
    EXPECT_NEAR(TemperatureAt(z), expected, 0.15) << z;
  }
  // The flow lifts the middle far above the straight line of conduction alone.
  EXPECT_GT(TemperatureAt(5.0), 70.0);
}

TEST_F(ThermalTest, RecordRestoreErrors) {
  MemoryStream bad;
  bad.WriteI32(6);
  ThermalModel r;
  r.SetModel(1);
  r.properties[0] = 4.0;
  try {
    r.Restore(bad);
    ADD_FAILURE();
  } catch (const KWRExcept& e) {
    EXPECT_STREQ(e.Text(),
                 "Thermal model read error.\nSave file created with a later version.\n"
                 "This version has 6 thermal models available.\nSave file has thermal model 6.");
  }
  EXPECT_EQ(r.modelType, 1);
  EXPECT_EQ(r.properties[0], 4.0);
  for (int n : {4, 3}) {
    MemoryStream s;
    s.WriteI32(1);
    for (int i = 0; i < 36; ++i) s.WriteF64(0.0);
    s.WriteU8(static_cast<uint8_t>(n));
    for (int i = 0; i < 2; ++i) s.WriteF64(0.0);  // short of either count
    try {
      r.Restore(s);
      ADD_FAILURE() << n;
    } catch (const KWRExcept& e) {
      EXPECT_STREQ(e.Text(), "Error reading save file");
    }
    EXPECT_EQ(r.properties[0], 4.0);
  }
}

// The block before 310 keeps its capacity as a float; before 181 the
// increment is written twice and there is no heat source or magnitude;
// from 181 to 309 the magnitude is a float.
TEST_F(ThermalTest, GridPointBlockVersionGates) {
  for (int32_t version : {180, 200, 310}) {
    MemoryStream s;
    s.WriteF64(20.0);  // temperature
    s.WriteF64(1.0);   // heat flow
    version < 310 ? s.WriteF32(0.5f) : s.WriteF64(0.5);
    s.WriteF64(3.0);  // increment
    if (version < 181) s.WriteF64(4.0);
    if (version > 180) s.WriteF64(6.0);  // heat source
    if (version >= 310)
      s.WriteF64(7.0);
    else if (version > 180)
      s.WriteF32(7.0f);
    s.WriteU8(1);
    s.WriteF64(0.1);
    version < 310 ? s.WriteF32(0.25f) : s.WriteF64(0.25);
    s.WriteF64(0.3);
    RestoreVersionGuard guard;
    CurrentRestoreVersions().program = version;
    GpThermalData t;
    t.Restore(s);
    EXPECT_EQ(s.pos, s.bytes.size()) << version;
    EXPECT_EQ(t.temperature, 20.0);
    EXPECT_EQ(t.inverseCapacity, 0.5);
    EXPECT_EQ(t.temperatureIncrement, version < 181 ? 4.0 : 3.0);
    EXPECT_EQ(t.heatSource, version > 180 ? 6.0 : 0.0);
    EXPECT_EQ(t.heatMagnitude, version > 180 ? 7.0 : 0.0);
    ASSERT_NE(t.implicitTerms, nullptr);
    EXPECT_EQ(t.implicitTerms->weight, 0.25);
  }
}

// Files up to 7 lack the module's common part; records before 310 keep
// their reals as floats.
TEST_F(ThermalTest, ModuleAndRecordVersionGates) {
  for (int32_t version : {7, 316}) {
    MemoryStream s;
    if (version > 7) {
      s.WriteU8(1);
      s.WriteU8(CalcModule::kThermal);
      for (double v : {3.0, 0.5, 1e20}) s.WriteF64(v);
    }
    s.WriteU8(1);
    s.WriteU8(0);
    for (int32_t v : {7, 9, 11}) s.WriteI32(v);
    for (double v : {0.25, 0.125, 2.0}) s.WriteF64(v);
    ThermalModule module;
    RestoreVersionGuard guard;
    CurrentRestoreVersions().program = version;
    module.SetTime(-1.0);
    module.Restore(s);
    EXPECT_EQ(s.pos, s.bytes.size()) << version;
    EXPECT_TRUE(module.Implicit());
    EXPECT_EQ(module.Time(), version > 7 ? 3.0 : -1.0);
    EXPECT_EQ(module.SubstepLimit(), 9);
    EXPECT_EQ(module.HeatRatio(), 2.0);
  }
  MemoryStream old;
  old.WriteI32(1);
  for (int i = 0; i < 36; ++i) old.WriteF32(static_cast<float>(i));
  old.WriteU8(3);
  for (float v : {2.0f, 900.0f, 0.25f}) old.WriteF32(v);
  RestoreVersionGuard guard;
  CurrentRestoreVersions().program = 309;
  ThermalModel r;
  r.Restore(old);
  EXPECT_EQ(old.pos, old.bytes.size());
  EXPECT_EQ(r.matrix[35], 35.0);
  EXPECT_EQ(r.properties[2], 0.25);
  EXPECT_EQ(r.stepValues[0], 900.0);
}

TEST_F(ThermalTest, SaveRestoreSaveIsByteIdentical) {
  Bar();
  Run({"model th_anisotropic range z 0 1", "property spec_heat 1000 tk1 1 tk2 1 tk3 1 range z 0 1",
       "set thermal ratio 0.5 substep 3 slave", "set thermal dt 1e5 implicit on", "step 3", "save th1"});
  Run({"restore th1", "save th2"});
  auto bytes = [](const char* name) {
    std::ifstream f(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  };
  ASSERT_FALSE(bytes("th1.sav").empty());
  EXPECT_EQ(UntimedSave(bytes("th1.sav")), UntimedSave(bytes("th2.sav")));
  EXPECT_TRUE(Thermal().Implicit());
  EXPECT_TRUE(Thermal().Slave());
  EXPECT_EQ(Thermal().RatioLimit(), 0.5);
  EXPECT_EQ(ThermalRecord(*FirstZone())->modelType, kThAnisotropic);
  EXPECT_NE(FindGridpoint(5)->thermal->implicitTerms, nullptr);
  EXPECT_GT(TemperatureAt(0.5), 0.0);
}

}  // namespace
