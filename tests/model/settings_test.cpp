#include "model/model_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/app.h"
#include "model/calc_module.h"
#include "model/model_app.h"
#include "model/model_interpreter.h"
#include "model/module_doubles.h"
#include "model/services.h"
#include "support/fake_device.h"

namespace {

// Every field away from its default.
void Scramble(ModelSettings& s) {
  s.largeStrain = true;
  s.timestep = 0.5;
  s.forceRatio = 1e-3;
  s.waterDensity = 1000;
  s.porePressure = true;
  s.gravity[2] = -9.81;
  s.ratioType = 2;
  s.mechanical = false;
  s.reserved = true;
  s.dampingType = 2;
  s.unbalancedForce = 12;
  s.areaTotal = 3;
  s.sums.localRatio = 4;
  s.dampingFactor = 0.5;
  s.historySteps = 5;
  s.totalCycles = 600;
  s.solveCount = 7;
  s.geometryInterval = 3;
  s.historyInterval = 4;
  s.stepLimit = 100;
  s.plotInterval = 50;
  s.forceLimit = 1.5;
  s.ratioLimit = 1e-5;
  s.substepLimit = 2;
  s.solveSlave = true;
  s.zoneExtras = 5;
  s.gpExtras = 2;
  s.cycleDisplay = true;
  s.cppudm = true;
  s.fosKnown = true;
  s.fos = 1.25;
  s.geometryRatio = 0.2;
  s.tracking = true;
  s.trackCount = 9;
  s.trackReal = 0.75;
  s.freeField = true;
}

std::vector<std::string>& Log() {
  static std::vector<std::string> log;
  return log;
}

class NewTest : public ::testing::Test {
 protected:
  FakeDevice device;
  MacroTable macros;
  ModelInterpreter interp{&macros, &device};
  ModelApp app{&interp};

  void SetUp() override { InstallTestModules(); }
};

TEST_F(NewTest, SettingsReturnToTheirDefaultsButCppudmStays) {
  Scramble(Settings());
  app.New();
  ModelSettings expected;
  expected.cppudm = true;
  const ModelSettings& s = Settings();
  EXPECT_FALSE(s.largeStrain);
  EXPECT_TRUE(s.mechanical);
  EXPECT_FALSE(s.porePressure);
  EXPECT_EQ(s.gravity[2], 0.0);
  EXPECT_EQ(s.ratioType, 0);
  EXPECT_EQ(s.dampingType, 0);
  EXPECT_EQ(s.dampingFactor, 0.8);
  EXPECT_EQ(s.geometryInterval, 10);
  EXPECT_EQ(s.historyInterval, 10);
  EXPECT_EQ(s.plotInterval, 20);
  EXPECT_EQ(s.stepLimit, 1000000000);
  EXPECT_EQ(s.zoneExtras, 0);
  EXPECT_FALSE(s.fosKnown);
  EXPECT_FALSE(s.tracking);
  EXPECT_FALSE(s.freeField);
  EXPECT_TRUE(s.cppudm);
  // And every field the same as a fresh record, byte for byte.
  MemoryStream a, b;
  s.Save(a);
  expected.Save(b);
  EXPECT_EQ(a.bytes, b.bytes);
}

TEST_F(NewTest, ClearsModulesMacrosAndTitle) {
  TheModules().Add(CreateModule(CalcModule::kFluid));
  macros.Define(String("m"), String("x"));
  JobTitle() = String("job");
  app.New();
  EXPECT_EQ(Modes().fluid, nullptr);
  EXPECT_EQ(TheModules().Count(), 0);
  EXPECT_EQ(macros.Count(), 0);
  EXPECT_TRUE(JobTitle().IsEmpty());
}

// A section whose NEW logs its name (the particles' also whether the modules are gone).
template <int N>
void InstallClearLogger(SaveSections& sections, const char* name) {
  static const char* logged;
  logged = name;
  sections.Install(
      name, [](SaveStream&) {}, [](SaveStream&) {}, nullptr,
      [] { Log().push_back(Modes().fluid ? std::string(logged) + " before modules" : logged); });
}

TEST_F(NewTest, SubsystemClearsRunInOrder) {
  SaveSections& sections = interp.TheModel().Sections();
  InstallClearLogger<1>(sections, "tables");
  InstallClearLogger<2>(sections, "generate");
  InstallClearLogger<3>(sections, "structures");
  InstallClearLogger<4>(sections, "apply");
  InstallClearLogger<5>(sections, "histories");
  InstallClearLogger<6>(sections, "views");
  InstallClearLogger<7>(sections, "interfaces");
  InstallClearLogger<8>(sections, "attach");
  InstallClearLogger<9>(sections, "water");
  InstallClearLogger<10>(sections, "particles");
  TheModules().Add(CreateModule(CalcModule::kFluid));
  Log().clear();
  app.New();
  const std::vector<std::string> expected = {"apply before modules",    "interfaces before modules",
                                             "attach before modules",   "structures before modules",
                                             "generate before modules", "histories before modules",
                                             "views before modules",    "tables before modules",
                                             "water before modules",    "particles"};
  EXPECT_EQ(Log(), expected);
}

TEST(SettingsSaveTest, RoundTripOfTheCurrentForm) {
  ModelSettings s;
  Scramble(s);
  s.devicePlacement[0] = 0.25;
  MemoryStream m;
  s.Save(m);
  EXPECT_EQ(m.bytes.size(), 246u);
  ModelSettings back;
  back.Restore(m, 316);
  EXPECT_EQ(m.Remaining(), 0u);
  MemoryStream again;
  back.devicePlacement[0] = 0.25;  // read and ignored
  back.Save(again);
  EXPECT_EQ(again.bytes, m.bytes);
  EXPECT_EQ(back.fos, 1.25);
  EXPECT_EQ(back.trackReal, 0.75);
  EXPECT_TRUE(back.cycleDisplay);
}

// A record as a file of version 9 stores it: 16 bytes of placement, a one-byte
// damping code followed by seven doubles to skip, and none of the later fields.
TEST(SettingsSaveTest, OldestFormIsReadThroughTheGates) {
  MemoryStream m;
  for (int i = 0; i < 2; ++i) m.WriteF64(0);
  m.WriteU8(1);      // large strain
  m.WriteF64(0.1);   // time step
  m.WriteF64(0.2);   // force ratio
  m.WriteF64(1000);  // water density
  m.WriteU8(0);      // pore pressure
  for (double g : {0.0, 0.0, -10.0}) m.WriteF64(g);
  m.WriteI32(1);  // ratio type
  m.WriteU8(1);   // mechanical
  m.WriteU8(3);   // damping code 3: combined
  for (int i = 0; i < 7; ++i) m.WriteF64(99);
  m.WriteF64(5);  // unbalanced force
  m.WriteF64(0);
  m.WriteU8(0);
  for (int i = 0; i < 4; ++i) m.WriteF64(0);
  m.WriteF64(0.7);  // damping factor
  m.WriteI32(0);
  m.WriteI32(42);  // total cycles
  for (int32_t v : {11, 12, 13, 14}) m.WriteI32(v);
  m.WriteF64(0);
  m.WriteF64(0);
  m.WriteI32(0);
  m.WriteU8(0);
  m.WriteI32(3);  // zone extras
  m.WriteI32(0);
  ModelSettings s;
  s.cppudm = true;
  s.Restore(m, 9);
  EXPECT_EQ(m.Remaining(), 0u);
  EXPECT_TRUE(s.largeStrain);
  EXPECT_EQ(s.gravity[2], -10.0);
  EXPECT_TRUE(s.reserved);  // older files set it
  EXPECT_EQ(s.dampingType, 2);
  EXPECT_EQ(s.dampingFactor, 0.7);
  EXPECT_EQ(s.totalCycles, 42);
  EXPECT_EQ(s.solveCount, 0);
  EXPECT_EQ(s.geometryInterval, 11);
  EXPECT_EQ(s.plotInterval, 14);
  EXPECT_EQ(s.zoneExtras, 3);
  EXPECT_FALSE(s.cppudm);
  EXPECT_FALSE(s.fosKnown);
}

// Files from 152 to 309 store the factor of safety as a float; from 302 on
// the tracking flag follows, and the two tracking values only from 313 and 314.
TEST(SettingsSaveTest, FactorOfSafetyAsAFloatBefore310) {
  ModelSettings s;
  Scramble(s);
  MemoryStream full;
  s.Save(full);
  // Rebuild the tail of the record as version 305 writes it.
  const size_t fosAt = 246 - (1 + 8 + 8 + 1 + 4 + 8);
  MemoryStream m;
  m.bytes = std::string(16, '\0') + full.bytes.substr(32, fosAt - 32);  // 16 bytes of placement, not 32
  m.WriteU8(1);
  m.WriteF32(1.5f);
  m.WriteF64(0.2);
  m.WriteU8(1);
  ModelSettings back;
  back.Restore(m, 305);
  EXPECT_EQ(m.Remaining(), 0u);
  EXPECT_TRUE(back.fosKnown);
  EXPECT_EQ(back.fos, 1.5);
  EXPECT_EQ(back.geometryRatio, 0.2);
  EXPECT_TRUE(back.tracking);
  EXPECT_EQ(back.trackCount, 0);
  EXPECT_EQ(back.trackReal, 0.0);
  EXPECT_EQ(back.plotInterval, 50);
}

TEST(SettingsSaveTest, NegativeExtraCountIsACorruptFile) {
  ModelSettings s;
  s.zoneExtras = -4;
  MemoryStream m;
  s.Save(m);
  ModelSettings back;
  EXPECT_THROW(back.Restore(m, 316), KWRExcept);
}

}  // namespace
