// The chemistry mode with the stand-in engine: the ST table, the update of
// zones that hold particles, the exchange with the particles, CHEM dump,
// FIX chem and mixing, the save form, and the faults.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "../base/temp_dir.h"
#include "base/except.h"
#include "gui/install_subsystems.h"
#include "model/calc_module.h"
#include "model/grid.h"
#include "model/model_app.h"
#include "model/model_interpreter.h"
#include "model/zone.h"
#include "model/zone_chem.h"
#include "modes/chem_link.h"
#include "modes/chem_module.h"
#include "modes/install_modes.h"
#include "modes/mode_fixture.h"
#include "modes/particles.h"
#include "support/alloc_counter.h"
#include "support/interp_fixture.h"
#include "support/memory_stream.h"
#include "support/source_file.h"
#include "support/untimed_save.h"

namespace {

// Components of the test table: phases calcite (Ca C O3) and portlandite
// (Ca O2 H2); water (O H2), Ca+2, CO3-2 (C O3), Caq, O2aq, H2aq.
enum { kCalcite = 1, kPortlandite, kWater, kCa, kCO3, kCaq, kO2, kH2, kComponents = kH2 };
const int kCoefficients[kComponents + 1][4] = {{0, 0, 0, 0}, {1, 1, 3, 0}, {1, 0, 2, 2}, {0, 0, 1, 2}, {1, 0, 0, 0},
                                               {0, 1, 3, 0}, {0, 1, 0, 0}, {0, 0, 2, 0}, {0, 0, 0, 2}};

std::string TablePath() { return SourceTreeFile(__FILE__, "../cases/chem_standin.files/st1"); }

class ChemTest : public ModeTest {
 protected:
  void SetUp() override {
    setenv("TERRAX_CHEM_ENGINE", "standin", 1);
    ModeTest::SetUp();
  }
  void TearDown() override {
    ModeTest::TearDown();
    unsetenv("TERRAX_CHEM_ENGINE");
  }
  std::string Run(std::initializer_list<std::string> lines) {
    for (const std::string& l : lines) device.lines.push_back(l);
    RunLines(interp, device, {});
    return device.Take();
  }
  // Zones of 1 m3 in a row along x, porosity 0.5, water of 1000 kg/m3 at
  // 1e5 Pa and 20 degrees, and the test table.
  void Row(int zones) {
    Run({"config fluid thermal chem", "gen zone brick size " + std::to_string(zones) + " 1 1", "model elastic",
         "model fl_isotropic", "prop perm 1e-10 poros 0.5", "initial fdensity 1000", "initial pp 1e5",
         "initial temperature 20", "set chem sttable \"" + TablePath() + "\""});
    ASSERT_TRUE(Chem().IsReady());
  }
  static ChemModule& Chem() { return *TheChemModule(); }
  static ZoneChem& Record(uint32_t id) { return *ChemRecord(*FindZone(id)); }
  static std::vector<Particle*> Particles(uint32_t id) { return FindZone(id)->particles; }
  // Element totals of a zone and its particles: Ca, C, O, H.
  static std::vector<double> Elements(uint32_t id) {
    std::vector<double> e(4, 0.0);
    const Zone& z = *FindZone(id);
    for (int k = 1; k <= kComponents; ++k) {
      double amount = Record(id).GetComponent(k);
      for (const Particle* p : z.particles) amount += p->GetAqueousMoles(k);
      if (k == kWater) continue;  // the water term is handed over apart
      for (int j = 0; j < 4; ++j) e[j] += amount * kCoefficients[k][j];
    }
    return e;
  }
};

TEST_F(ChemTest, ConfigLoadsTheTableAndPrintsConcentrations) {
  const std::string config = Run({"config fluid thermal chem"});
  EXPECT_NE(config.find("Gibbs chemistry available\n"), std::string::npos) << config;
  Row(2);
  EXPECT_EQ(Chem().PhaseCount(), 2);
  EXPECT_EQ(Chem().ComponentCount(), 8);
  EXPECT_EQ(Chem().ElementCount(), 4);
  EXPECT_EQ(Chem().FindComponent("co3-2"), kCO3);  // names compare as the program compares names
  EXPECT_EQ(
      Run({"initial chem calcite 2.5 range id 2", "track 0.5 0.5 0.5", "track 0.6 0.5 0.5", "initial chem Ca+2 3.0"}),
      "Terrax>initial chem calcite 2.5 range id 2\n1 zones modified\n"
      "Terrax>track 0.5 0.5 0.5\nTerrax>track 0.6 0.5 0.5\n"
      "Terrax>initial chem Ca+2 3.0\n2 particles modified\n");
  EXPECT_EQ(Run({"print chem calcite", "print chem ca+2"}),
            "Terrax>print chem calcite\n  Zone   Concentration\n  id     [moles/vol]\n"
            "     1     0.00000e+00\n     2     2.50000e+00\n"
            "Terrax>print chem ca+2\n  Zone   Concentration\n  id     [moles/vol]\n"
            "     1     3.00000e+00\n     2     0.00000e+00\n");
  for (const Particle* p : Particles(1)) EXPECT_EQ(p->GetAqueousMoles(kCa), 1.5);
}

// Only zones that hold particles are looked at; of those, a zone is
// re-equilibrated when TRACK or INITIAL chem state marked it, or when a
// temperature, pressure or target test says so.
TEST_F(ChemTest, UpdateTakesMarkedZonesThatHoldParticles) {
  Row(3);
  Run({"initial chem calcite 1.0", "track 0.5 0.5 0.5", "track 1.5 0.5 0.5", "initial chem Ca+2 1.0"});
  EXPECT_EQ(Record(1).reequilibrate, 1);  // TRACK marks the zone it puts a particle in
  EXPECT_EQ(Record(3).reequilibrate, 0);
  EXPECT_EQ(Run({"initial chem state range id 3"}), "Terrax>initial chem state range id 3\n1 zones modified\n");
  EXPECT_EQ(Record(1).reequilibrate, 0);  // marks outside the range are cleared
  EXPECT_EQ(Record(3).reequilibrate, 1);
  Run({"initial chem state"});
  Record(2).reequilibrate = 0;  // a particle, no mark; zone 3: a mark, no particle
  Run({"chem update"});
  // Calcite takes all the carbon there is (1 mole) wherever the stand-in ran.
  EXPECT_EQ(Record(1).reequilibrate, 0);
  EXPECT_EQ(Record(1).lastTemperature, 20.0);
  EXPECT_EQ(Record(2).GetComponent(kCalcite), 1.0);
  EXPECT_EQ(Particles(2)[0]->GetAqueousMoles(kCa), 1.0);
  EXPECT_EQ(Record(2).lastTemperature, 0.0);
  EXPECT_EQ(Record(3).reequilibrate, 1);
  EXPECT_EQ(Record(3).lastTemperature, 0.0);
  EXPECT_EQ(Chem().LastZone(), 1u);
}

TEST_F(ChemTest, TolerancesAndTargetsDecideForUnmarkedZones) {
  Row(1);
  Run({"initial chem calcite 1.0", "track 0.5 0.5 0.5", "initial chem Ca+2 1.0"});
  struct Case {
    const char* what;
    double temperatureTolerance, pressureTolerance;
    double lastTemperature, lastPressure;
    double target, targetTolerance;  // target < -1: none
    bool equilibrated;
  } cases[] = {
      {"no tests", -1, -1, 0, 0, -2, 0, false},
      {"temperature within", 25, -1, 0, 0, -2, 0, false},
      {"temperature reached", 20, -1, 0, 0, -2, 0, true},
      {"temperature unchanged, tolerance 0", 0, -1, 20, 0, -2, 0, true},
      {"pressure within", -1, 2e4, 0, 9e4, -2, 0, false},
      {"pressure beyond", -1, 2e4, 0, 1.3e5, -2, 0, true},
      {"target within tolerance", -1, -1, 0, 0, 1.05, 10, false},
      {"target past tolerance", -1, -1, 0, 0, 1.2, 10, true},
      {"target 0 against an amount", -1, -1, 0, 0, 0.0, 10, true},
  };
  for (const Case& c : cases) {
    ZoneChem& r = Record(1);
    r.amounts = {{kCalcite, 1.0}};
    r.targets.clear();
    if (c.target > -1) r.SetTarget(kCalcite, c.target, c.targetTolerance);
    r.reequilibrate = 0;
    r.counters[1] = 7;
    r.temperatureTolerance = c.temperatureTolerance;
    r.pressureTolerance = c.pressureTolerance;
    r.lastTemperature = c.lastTemperature;
    r.lastPressure = c.lastPressure;
    Run({"chem update"});
    EXPECT_EQ(r.counters[1] == 0, c.equilibrated) << c.what;
    if (c.equilibrated && c.target > -1) {
      EXPECT_EQ(r.targets[0].target, r.GetComponent(kCalcite)) << c.what;  // the target follows the new amount
    }
  }
}

// A target against a component the zone does not hold marks the zone; the
// deviation is never divided by that amount of 0.
TEST_F(ChemTest, TargetAgainstAnAmountOfZeroMarksTheZone) {
  Row(1);
  Run({"track 0.5 0.5 0.5"});
  ZoneChem& r = Record(1);
  for (double target : {2.0, 0.0}) {
    r.reequilibrate = 0;
    r.counters[1] = 7;
    r.targets.clear();
    r.SetTarget(kPortlandite, target, 10);
    Run({"chem update"});
    EXPECT_EQ(r.counters[1] == 0, target > 0) << target;
  }
}

// With each element a species of its own every element comes back, and the
// particles of the zone end with equal aqueous amounts.
TEST_F(ChemTest, ParticlesEndEqualAndElementsAreConserved) {
  Row(1);
  Run({"initial chem calcite 0.7", "initial chem portlandite 0.4", "track 0.2 0.5 0.5", "track 0.5 0.5 0.5",
       "track 0.8 0.5 0.5"});
  const double amounts[3][4] = {{0.3, 0.0, 1.1, 0.2}, {1.7, 0.25, 0.0, 0.9}, {0.0, 0.6, 0.4, 0.05}};
  const std::vector<Particle*> ps = Particles(1);
  ASSERT_EQ(ps.size(), 3u);
  const int species[4] = {kCa, kCO3, kO2, kH2};
  for (int i = 0; i < 3; ++i)
    for (int k = 0; k < 4; ++k) ps[static_cast<size_t>(i)]->SetAqueousMoles(species[k], amounts[i][k]);
  const std::vector<double> before = Elements(1);
  Run({"chem update"});
  const std::vector<double> after = Elements(1);
  for (int j = 0; j < 4; ++j) EXPECT_NEAR(after[j], before[j], 1e-12 * (1.0 + before[j])) << j;
  for (int k = kWater; k <= kComponents; ++k)
    for (const Particle* p : ps) EXPECT_DOUBLE_EQ(p->GetAqueousMoles(k), ps[0]->GetAqueousMoles(k)) << k;
  EXPECT_GT(Record(1).GetComponent(kCalcite), 0.7);  // the carbon of the water precipitates first
}

// The water ratio: moles of water per the moles that the pore water of the
// zone weighs, n V rho / 0.018 kg (55.555... moles per kilogram).
TEST_F(ChemTest, WaterRatioAndTheWaterTerm) {
  Row(1);
  Run({"track 0.5 0.5 0.5", "track 0.6 0.5 0.5"});
  EXPECT_EQ(Chem().WaterRatio(*FindZone(1)), 1.0);  // no water
  const double poreWater = 0.5 * 1.0 * 1000.0 * 55.55555555555556;
  for (Particle* p : Particles(1)) {
    p->SetAqueousMoles(kWater, poreWater / 4);
    p->SetAqueousMoles(kCa, 0.5);
  }
  EXPECT_DOUBLE_EQ(Chem().WaterRatio(*FindZone(1)), 0.5);
  Run({"chem update"});
  float t = 0, p = 0;
  std::vector<double> inputs;
  Chem().Link().GetState(&t, &p, inputs);
  ASSERT_EQ(inputs.size(), 5u);
  EXPECT_DOUBLE_EQ(inputs[0], poreWater);  // the water term per pore volume
  EXPECT_DOUBLE_EQ(inputs[1], 2.0);        // Ca per pore water: 1 mole in half of it
  for (Particle* q : Particles(1)) {
    EXPECT_DOUBLE_EQ(q->GetAqueousMoles(kWater), poreWater / 4);
    EXPECT_DOUBLE_EQ(q->GetAqueousMoles(kCa), 0.5);
  }
}

TEST_F(ChemTest, DumpListsTheLastExchange) {
  Row(2);
  Run({"initial chem calcite 2.0", "track 1.5 0.5 0.5", "track 1.6 0.5 0.5", "initial chem Ca+2 3.0",
       "initial chem CO3-2 1.0"});
  EXPECT_EQ(Run({"chem update", "chem dump"}),
            "Terrax>chem update\nTerrax>chem dump\n"
            "Zone ID = 2\nT = 20\nP = 1\nelement  moles\n"
            "   0     0\n   1     5\n   2     3\n   3     9\n   4     0\n");
  // Calcite takes the carbon (3 moles), Ca+2 the rest of the calcium.
  EXPECT_EQ(Record(2).GetComponent(kCalcite), 3.0);
  for (const Particle* p : Particles(2)) {
    EXPECT_EQ(p->GetAqueousMoles(kCa), 1.0);
    EXPECT_EQ(p->GetAqueousMoles(kCO3), 0.0);
  }
}

// In initialisation the zone keeps the aqueous results and its particles
// get none; a later update hands the particles only what differs from them.
TEST_F(ChemTest, InitialisationKeepsTheAqueousResultsInTheZone) {
  Row(1);
  Run({"track 0.5 0.5 0.5", "track 0.6 0.5 0.5", "initial chem Ca+2 2.0"});
  Chem().InitialUpdate();
  EXPECT_EQ(Record(1).GetComponent(kCa), 2.0);
  for (const Particle* p : Particles(1)) EXPECT_EQ(p->GetAqueousMoles(kCa), 0.0);
  for (Particle* p : Particles(1)) p->SetAqueousMoles(kCa, 0.5);
  Record(1).reequilibrate = 1;
  Chem().Update();
  EXPECT_EQ(Record(1).GetComponent(kCa), 2.0);
  for (const Particle* p : Particles(1)) EXPECT_EQ(p->GetAqueousMoles(kCa), 0.5);
}

TEST_F(ChemTest, UpdateIntervalAndChemWithoutConfig) {
  EXPECT_EQ(Run({"chem update", "chem dump", "chem"}), "Terrax>chem update\nTerrax>chem dump\nTerrax>chem\n");
  Row(1);
  struct Case {
    double interval;
    const char* due;  // per step of 1.0
  } cases[] = {{0.0, "11111"}, {2.5, "10010"}, {1.0, "11111"}, {10.0, "10000"}};
  for (const Case& c : cases) {
    Run({"set chem dt " + std::to_string(c.interval)});
    Chem().SetTime(0.0);
    std::string due;
    for (int i = 0; i < 5; ++i) {
      Chem().AdvanceTime(1.0);
      due += Chem().StepDue() ? '1' : '0';
      Chem().Step();
      EXPECT_FALSE(Chem().StepDue());
    }
    EXPECT_EQ(due, c.due) << c.interval;
  }
  // Stepping with chemistry on runs it in the cycle.
  Chem().SetTime(0.0);
  Run({"track 0.5 0.5 0.5", "set chem on", "set chem dt 0", "set mech off", "set thermal off", "initial fmodulus 1e9",
       "step 2"});
  EXPECT_EQ(Record(1).reequilibrate, 0);
  EXPECT_EQ(Chem().Time(), Modes().fluid->Time());
  EXPECT_GT(Chem().Time(), 0.0);
}

TEST_F(ChemTest, UnithermFolderAndOptions) {
  Row(1);
  std::filesystem::create_directory("app");
  std::filesystem::create_directory("bare");
  TempDir::Write("app/unitherm.exe", "");
  for (const char* folder : {"app", "app/"}) {
    EXPECT_EQ(Run({std::string("set chem unitherm \"") + folder + "\""}),
              std::string("Terrax>set chem unitherm \"") + folder + "\"\n");
    EXPECT_EQ(Chem().Link().Folder(), folder);
  }
  EXPECT_EQ(Run({"set chem unitherm \"bare\""}),
            "Terrax>set chem unitherm \"bare\"\n*** Error finding unitherm location.\n");
  EXPECT_EQ(Chem().Link().Folder(), "");
  String none, backslash("app\\");
  EXPECT_TRUE(Chem().Link().SetApplicationFolder(&backslash));  // no second separator
  EXPECT_TRUE(Chem().Link().SetApplicationFolder(nullptr));     // the stored folder again
  EXPECT_FALSE(Chem().Link().SetApplicationFolder(&none));      // refused, the stored folder kept
  EXPECT_EQ(Chem().Link().Folder(), "app\\");
  String bare("bare");
  EXPECT_FALSE(Chem().Link().SetApplicationFolder(&bare));
  EXPECT_FALSE(Chem().Link().SetApplicationFolder(nullptr));

  // An empty option text is not handed over; the engine says what it got.
  ChemLink& link = Chem().Link();
  const double elements[4] = {1, 1, 3, 0};
  std::vector<double> out;
  for (const char* options : {"", "fast"}) {
    Run({std::string("set chem gibbsoptions \"") + options + "\""});
    ASSERT_TRUE(link.Connect(false));
    String text;
    ASSERT_EQ(link.Equilibrate(293.0, 1e5, 10.0, elements, out, &text), 0);
    EXPECT_EQ(text.str().find("Options"), std::string(options).empty() ? std::string::npos : text.str().find("Options"))
        << text.c_str();
    if (*options) EXPECT_NE(text.str().find("Options: \"fast\""), std::string::npos);
    link.Disconnect();
  }
  ASSERT_EQ(out.size(), 9u);
  EXPECT_EQ(out[kCalcite], 1.0);
  EXPECT_EQ(out[kWater], 10.0);
}

TEST_F(ChemTest, SaveRestoreSaveIsByteIdentical) {
  Row(2);
  std::filesystem::create_directory("app");
  TempDir::Write("app/unitherm.exe", "");
  Run({"set chem unitherm \"app\" gibbsoptions \"fast\"", "set chem on", "set chem dt 0.5", "initial chem calcite 2.0",
       "track 0.5 0.5 0.5", "track 0.6 0.5 0.5", "initial chem Ca+2 3.0", "fix chem Ca+2 range id 1"});
  ZoneChem& r = Record(2);
  r.SetTarget(kCalcite, 1.5, 5.0);
  r.temperatureTolerance = 2.0;
  r.counters[2] = 4;
  r.amounts.push_back({kPortlandite, 0.0});
  Particles(1)[0]->SetAqueousMoles(kCO3, 0.25);
  Run({"save c1", "restore c1", "save c2"});
  const std::string first = TempDir::Read("c1.sav");
  ASSERT_GT(first.size(), 100u);
  EXPECT_EQ(UntimedSave(first), UntimedSave(TempDir::Read("c2.sav")));
  ASSERT_NE(TheChemModule(), nullptr);
  EXPECT_TRUE(Chem().On());
  EXPECT_EQ(Chem().Timestep(), 0.5);
  EXPECT_EQ(Chem().Link().Folder(), "app");
  EXPECT_EQ(Chem().Link().Options(), "fast");
  EXPECT_EQ(Chem().Link().StFile(), TablePath());
  EXPECT_EQ(Chem().ComponentCount(), 8);
  EXPECT_EQ(Chem().Link().Table().ComponentName(kCO3), "CO3-2");
  EXPECT_EQ(Record(1).fixed.size(), 1u);
  EXPECT_EQ(Record(2).GetComponent(kCalcite), 2.0);
  ASSERT_EQ(Record(2).targets.size(), 1u);
  EXPECT_EQ(Record(2).targets[0].tolerance, 5.0);
  EXPECT_EQ(Record(2).temperatureTolerance, 2.0);
  EXPECT_EQ(Record(2).counters[2], 4);
  EXPECT_EQ(Particles(1)[0]->GetAqueousMoles(kCO3), 0.25);
  EXPECT_EQ(Particles(1)[1]->GetAqueousMoles(kCa), 1.5);
}

TEST_F(ChemTest, TableSaveFormAndDamagedTables) {
  MemoryStream empty;
  STTable().Save(empty);
  EXPECT_EQ(empty.bytes, std::string(12, '\0'));

  Row(1);
  MemoryStream full;
  Chem().Link().Table().Save(full);
  STTable back;
  back.Restore(full);
  EXPECT_EQ(back.Components(), 8);
  EXPECT_EQ(back.Row(kCO3).coefficients, (std::vector<int32_t>{0, 1, 3, 0}));

  // Counts beyond the bytes left, a negative count, a row of the wrong
  // length, a file cut short: the save file is unreadable, nothing is sized.
  const std::string good = full.bytes;
  auto put = [](std::string bytes, size_t at, int32_t v) {
    for (int b = 0; b < 4; ++b)
      bytes[at + static_cast<size_t>(b)] = static_cast<char>(static_cast<uint32_t>(v) >> (8 * b));
    return bytes;
  };
  const size_t firstRowCount = 12 + (4 + 2) + (4 + 1) + (4 + 1) + (4 + 1) + 4 + 8 + (4 + 7);
  for (const std::string& bad :
       {put(good, 0, 2000000000), put(good, 4, -3), put(good, 8, 1 << 28), put(good, firstRowCount, 3),
        put(good, firstRowCount, 1 << 30), good.substr(0, good.size() - 2)}) {
    MemoryStream s;
    s.bytes = bad;
    STTable t;
    try {
      t.Restore(s);
      ADD_FAILURE() << "restored";
    } catch (const KWRExcept& e) {
      EXPECT_STREQ(e.what(), "Error reading save file");
    }
  }
}

TEST_F(ChemTest, BadInput) {
  TempDir::Write("short", "");
  TempDir::Write("shortA", " Ca C   z   a\n* * * Individual phases * * *\n 1 1 calcite\n======= End of file\n");
  TempDir::Write("lone", "");
  Row(1);
  Run({"track 0.5 0.5 0.5"});
  struct Case {
    const char* command;
    const char* message;
  } cases[] = {
      {"set chem sttable \"short\"", "*** Column size mismatch in chemical table.\n"},
      {"set chem sttable \"lone\"", "*** Error finding ST file.\n"},
      {"set chem unitherm \"nowhere\"", "*** Error finding unitherm location.\n"},
      {"fix chem calcite", "*** ST table not set.\n"},
      {"chem update", "*** ST table not set.\n"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Run({c.command}), std::string("Terrax>") + c.command + "\n" + c.message) << c.command;
  EXPECT_FALSE(Chem().IsReady());

  Run({"set chem sttable \"" + TablePath() + "\""});
  EXPECT_EQ(Run({"fix chem calcite"}), "Terrax>fix chem calcite\n*** Only aqueous components can be fixed.\n");
  struct Zone0 {
    const char* setting;
    const char* message;
  } zones[] = {
      {"prop poros 0", "*** Zone porosity must be > 0.0 for chemistry calculations\n"},
      {"initial fdensity 0", "*** Fluid density must be > 0.0 for chemistry calculations\n"},
  };
  for (const Zone0& z : zones) {
    Run({z.setting});
    Record(1).reequilibrate = 1;
    EXPECT_EQ(Run({"chem update"}), std::string("Terrax>chem update\n") + z.message) << z.setting;
    Run({"prop poros 0.5", "initial fdensity 1000"});
  }

  // A failing equilibrium: the engine's text, and the link let go.
  Record(1).amounts = {{kCalcite, -1.0}};
  Record(1).reequilibrate = 1;
  EXPECT_EQ(Run({"chem update"}),
            "Terrax>chem update\n*** Stand-in chemistry engine: input 1 is negative or not finite.\n");
  EXPECT_FALSE(Chem().Link().Connected());

  // Particles carry aqueous species only; a solid at 0 is accepted.
  Particle& p = *Particles(1)[0];
  try {
    p.SetAqueousMoles(kPortlandite, 1.0);
    ADD_FAILURE() << "a solid phase in a particle";
  } catch (const QJExcept& e) {
    EXPECT_STREQ(e.what(), "Attempt to set a non-aqueous component in a particle");
  }
  EXPECT_EQ(p.GetAqueousMoles(kPortlandite), 0.0);
  p.SetAqueousMoles(kPortlandite, 0.0);
  p.SetAqueousMoles(kCa, 1.0);
  EXPECT_EQ(p.GetAqueousMoles(kCa), 1.0);
}

// FIX chem keeps the zone's present aqueous amounts on its particles; the
// particle step imposes them, and mixes the particles of a marked zone.
TEST_F(ChemTest, FixChemAndMixingInTheParticleStep) {
  Row(2);
  Run({"track 0.5 0.5 0.5", "track 0.6 0.5 0.5", "track 1.5 0.5 0.5", "track 1.6 0.5 0.5"});
  std::vector<Particle*> one = Particles(1), two = Particles(2);
  one[0]->SetAqueousMoles(kCa, 1.0);
  one[1]->SetAqueousMoles(kCa, 3.0);
  two[0]->SetAqueousMoles(kCO3, 1.0);
  two[1]->SetAqueousMoles(kCO3, 0.0);
  Run({"fix chem Ca+2 range id 1"});
  ASSERT_EQ(Record(1).fixed.size(), 1u);
  EXPECT_EQ(Record(1).fixed[0].amount, 2.0);
  EXPECT_TRUE(Record(2).fixed.empty());
  one[0]->SetAqueousMoles(kCa, 0.0);
  Record(1).mixRequest = 0;
  Record(2).mixRequest = 1;
  Chem().MixParticles();  // the module is off: nothing
  EXPECT_EQ(one[0]->GetAqueousMoles(kCa), 0.0);
  Run({"set chem on"});
  Chem().MixParticles();
  for (const Particle* p : one) EXPECT_EQ(p->GetAqueousMoles(kCa), 2.0);
  for (const Particle* p : two) EXPECT_EQ(p->GetAqueousMoles(kCO3), 0.5);
  EXPECT_EQ(Record(2).mixRequest, 0);
}

// A table whose header names no element still runs: nothing to hand over
// but the water term.
TEST_F(ChemTest, TableWithoutElements) {
  TempDir::Write("bare", "");
  TempDir::Write("bareA", "no header\n* * * Aqueous solution * * *\n 1 t t H2O\n 2 t t X\n");
  Row(1);
  Run({"set chem sttable \"bare\"", "track 0.5 0.5 0.5"});
  ASSERT_TRUE(Chem().IsReady());
  EXPECT_EQ(Chem().ElementCount(), 0);
  Particles(1)[0]->SetAqueousMoles(1, 3.0);
  // Entry 0 is the pore water.
  EXPECT_EQ(Run({"chem update", "chem dump"}),
            "Terrax>chem update\nTerrax>chem dump\nZone ID = 1\nT = 20\nP = 1\nelement  moles\n   0     27777.8\n");
  EXPECT_EQ(Particles(1)[0]->GetAqueousMoles(1), 3.0);
  EXPECT_EQ(Particles(1)[0]->GetAqueousMoles(2), 0.0);
}

// The script access to particle chemistry.
TEST_F(ChemTest, ParticleAndZoneParticleAmountsFromScripts) {
  Row(1);
  Run({"track 0.5 0.5 0.5", "track 0.6 0.5 0.5"});
  const uint32_t id = Particles(1)[1]->id;
  struct Case {
    uint32_t id;
    const char* name;
    const char* message;
  } cases[] = {
      {id, "nothing", "Chemical component nothing not found in ST table."},
      {id, "calcite", "Particle cannot be initialized with solid component calcite."},
      {id + 10, "Ca+2", "Particle 12 not found."},
  };
  for (const Case& c : cases) {
    try {
      Chem().SetParticleComponent(c.id, c.name, 1.0);
      ADD_FAILURE() << c.name;
    } catch (const QJExcept& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
  Chem().SetParticleComponent(id, "Ca+2", 0.75);
  EXPECT_EQ(Chem().ComponentValue(kCa, *Particles(1)[1]), 0.75);
  EXPECT_EQ(Chem().ComponentValue(kCa, *FindZone(1)), 0.75);

  // Shared among the zone's particles while the module is on, aqueous species only.
  Chem().SetZoneParticles(kCO3, 4.0, *FindZone(1), false);
  EXPECT_EQ(Particles(1)[0]->GetAqueousMoles(kCO3), 0.0);
  Run({"set chem on"});
  Chem().SetZoneParticles(kCalcite, 4.0, *FindZone(1), false);
  Chem().SetZoneParticles(kCO3, 4.0, *FindZone(1), false);
  for (const Particle* p : Particles(1)) EXPECT_EQ(p->GetAqueousMoles(kCO3), 2.0);
  const double poreWater = 0.5 * 1000.0 * 55.55555555555556;
  for (Particle* p : Particles(1)) p->SetAqueousMoles(kWater, poreWater);  // a ratio of 2
  Chem().SetZoneParticles(kCO3, 4.0, *FindZone(1), true);
  for (const Particle* p : Particles(1)) EXPECT_DOUBLE_EQ(p->GetAqueousMoles(kCO3), 4.0);
}

// What an update allocates does not grow with the zones and particles it
// takes: the sums live in arrays sized once per update.
TEST_F(ChemTest, UpdateAllocatesNothingPerZoneOrParticle) {
  auto allocations = [&](int zones, int perZone) {
    app.New();
    Row(zones);
    for (Zone* z : ZoneList()) {
      double c[3];
      z->Centroid(c);
      for (int i = 0; i < perZone; ++i) {
        const double at[3] = {c[0] - 0.4 + 0.8 * i / perZone, c[1], c[2]};
        Run({"track " + std::to_string(at[0]) + " " + std::to_string(at[1]) + " " + std::to_string(at[2])});
      }
      for (Particle* p : z->particles) p->SetAqueousMoles(kCa, 0.1);
      ChemRecord(*z)->temperatureTolerance = 0.0;
    }
    Chem().Update();
    const size_t before = TestAllocations();
    Chem().Update();
    return TestAllocations() - before;
  };
  const size_t small = allocations(1, 1);
  EXPECT_EQ(allocations(6, 4), small);
  EXPECT_EQ(TheParticleList().Count(), 24u);
}

TEST_F(ChemTest, AvailableChemicalsChoice) {
  Row(1);
  String name;
  EXPECT_FALSE(Chem().ChooseComponents(interp, &name));  // a pipe: cancelled
  EXPECT_EQ(device.Take(), "");
  device.terminal = true;
  device.lines = {"5"};
  EXPECT_TRUE(Chem().ChooseComponents(interp, &name));
  EXPECT_EQ(name, "CO3-2");
  const std::string listed = device.Take();
  EXPECT_NE(listed.find("Available Chemicals\n  1  calcite\n  2  portlandite\n"), std::string::npos) << listed;
  for (const char* answer : {"0", "9", "x"}) {
    device.lines = {answer};
    EXPECT_FALSE(Chem().ChooseComponents(interp, &name)) << answer;
  }
}

}  // namespace
