#include "model/calc_module.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "model/model.h"
#include "model/model_interpreter.h"
#include "model/model_settings.h"
#include "model/module_doubles.h"
#include "support/fake_device.h"

namespace {

class ModuleListTest : public ::testing::Test {
 protected:
  Model model;  // a fresh one for each test
  ModelScope current{model};

  void SetUp() override {
    InstallTestModules();
    TestChemModule::connects = false;
  }

  // A registered module that is not one of the modes.
  TestModule& Add(double proposal, bool on = true) {
    auto* m = static_cast<TestModule*>(TheModules().Add(std::make_unique<TestModule>(CalcModule::kCreep)));
    m->proposal = proposal;
    m->SetOn(on);
    return *m;
  }
};

TEST_F(ModuleListTest, SmallestPositiveProposalOfTheActiveModulesWins) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    std::vector<double> proposals;
    std::vector<bool> on;
    double expected;
  };
  const Case cases[] = {
      {{}, {}, 1.0},
      {{0.0}, {true}, 1.0},
      {{0.5, 0.2}, {true, true}, 0.2},
      {{0.5, 0.2, 0.0, -3.0, nan}, {true, true, true, true, true}, 0.2},
      {{0.1, 0.5}, {false, true}, 0.5},
      {{0.1, 0.5}, {false, false}, 1.0},
      {{1e300, 2.5}, {true, true}, 2.5},
  };
  for (const Case& c : cases) {
    TheModules().Clear();
    for (size_t i = 0; i < c.proposals.size(); ++i) Add(c.proposals[i], c.on[i]);
    Settings().timestep = -7;
    TheModules().NegotiateTimestep();
    EXPECT_EQ(Settings().timestep, c.expected) << "case with " << c.proposals.size() << " modules";
  }
}

TEST_F(ModuleListTest, OnlyActiveModulesAreAskedAndOfferedTheStep) {
  TestModule& off = Add(0.1, false);
  TestModule& on = Add(0.3);
  TheModules().NegotiateTimestep();
  EXPECT_EQ(off.asked + off.offered, 0);
  EXPECT_EQ(on.asked, 1);
  EXPECT_EQ(on.lastOffer, 0.3);
}

TEST_F(ModuleListTest, RejectionStopsAtTheFirstModuleThatRefuses) {
  TestModule& a = Add(0.4);
  TestModule& b = Add(0.0);
  b.accepts = false;
  TestModule& c = Add(0.0);
  try {
    TheModules().NegotiateTimestep();
    FAIL() << "no exception";
  } catch (const QJExcept& e) {
    EXPECT_STREQ(e.Text(), "Timestep rejected by module");
  }
  EXPECT_EQ(a.offered, 1);
  EXPECT_EQ(b.offered, 1);
  EXPECT_EQ(c.offered, 0);
  EXPECT_EQ(Settings().timestep, 0.4);  // the step stays set
}

TEST_F(ModuleListTest, PreparationAndTimeAdvanceSkipModulesThatAreOff) {
  FakeDevice device;
  MacroTable macros;
  ModelInterpreter interp(&macros, &device);
  TestModule& off = Add(0.0, false);
  TestModule& on = Add(0.0);
  EXPECT_TRUE(TheModules().AnyActive());
  TheModules().PrepareCycle(interp);
  EXPECT_EQ(off.prepared, 1);
  EXPECT_EQ(off.preparedActive, 0);
  EXPECT_EQ(on.prepared, 1);
  EXPECT_EQ(on.preparedActive, 1);
  Settings().timestep = 0.25;
  TheModules().AdvanceTime();
  TheModules().AdvanceTime();
  EXPECT_EQ(on.Time(), 0.5);
  EXPECT_EQ(off.Time(), 0.0);
  on.SetOn(false);
  EXPECT_FALSE(TheModules().AnyActive());
}

TEST_F(ModuleListTest, RemoveHandsBackOnlyRegisteredModules) {
  TestModule& a = Add(0.0);
  TestModule stranger(CalcModule::kCreep);
  EXPECT_EQ(TheModules().Remove(&stranger), nullptr);
  EXPECT_EQ(TheModules().Remove(nullptr), nullptr);
  EXPECT_EQ(TheModules().Add(nullptr), nullptr);
  EXPECT_EQ(TheModules().Count(), 1);
  std::unique_ptr<CalcModule> back = TheModules().Remove(&a);
  EXPECT_EQ(back.get(), &a);
  EXPECT_EQ(TheModules().Count(), 0);
}

TEST_F(ModuleListTest, ClearDeletesModulesAndTheirModePointers) {
  TheModules().Add(CreateModule(CalcModule::kFluid));
  TheModules().Add(CreateModule(CalcModule::kDynamic));
  ASSERT_NE(Modes().fluid, nullptr);
  ASSERT_EQ(ModeOf(CalcModule::kDynamic), Modes().dynamic);
  TheModules().Clear();
  EXPECT_EQ(Modes().fluid, nullptr);
  EXPECT_EQ(Modes().dynamic, nullptr);
  EXPECT_EQ(TheModules().Count(), 0);
}

TEST_F(ModuleListTest, MissingFactoryIsAModelError) {
  InstallModuleFactory(CalcModule::kCreep, nullptr);
  try {
    CreateModule(CalcModule::kCreep);
    FAIL() << "no exception";
  } catch (const QJExcept& e) {
    EXPECT_STREQ(e.Text(), "Creep mode is not available in this version");
  }
}

// SET <mode>: settings read until the line ends or a word is not one of them.
TEST_F(ModuleListTest, SetLoopReadsSettingsUntilAWordIsNotOne) {
  FakeDevice device;
  MacroTable macros;
  ModelInterpreter interp(&macros, &device);
  TestModule& m = Add(0.0);
  auto line = [&](std::initializer_list<const char*> words) {
    interp.ClearTokens();
    for (const char* w : words) interp.AddToken(String(w));
  };
  line({"off", "dt", "0.1"});
  EXPECT_EQ(CalcModule::SetLoop(m, interp), CommandType::kMissing);
  EXPECT_FALSE(m.On());
  EXPECT_EQ(m.Timestep(), 0.1);

  line({"on", "time", "5", "age", "3", "bogus"});
  EXPECT_EQ(CalcModule::SetLoop(m, interp), CommandType::kUnrecognized);
  EXPECT_TRUE(m.On());
  EXPECT_EQ(m.Time(), 5.0);
  EXPECT_EQ(m.AgeLimit(), 3.0);
  EXPECT_EQ(interp.Token().str(), "bogus");

  line({});
  EXPECT_EQ(CalcModule::SetLoop(m, interp), CommandType::kMissing);

  line({"dt"});
  EXPECT_THROW(CalcModule::SetLoop(m, interp), CommandType::MissingExcept);
  line({"age", "x"});
  EXPECT_THROW(CalcModule::SetLoop(m, interp), CommandType::ConvertExcept);
}

TEST_F(ModuleListTest, ModuleRecordIsTwentySixBytes) {
  TestModule m(CalcModule::kThermal);
  m.SetOn(false);
  m.SetTime(1.5);
  m.SetTimestep(0.25);
  MemoryStream s;
  m.Save(s);
  ASSERT_EQ(s.bytes.size(), 26u);
  EXPECT_EQ(s.bytes[0], 0);
  EXPECT_EQ(s.bytes[1], 4);
  MemoryStream expect;
  expect.WriteF64(1.5);
  expect.WriteF64(0.25);
  expect.WriteF64(1e20);
  EXPECT_EQ(s.bytes.substr(2), expect.bytes);

  TestModule back(CalcModule::kThermal);
  back.Restore(s);
  EXPECT_FALSE(back.On());
  EXPECT_EQ(back.Time(), 1.5);
  EXPECT_EQ(back.Timestep(), 0.25);
  EXPECT_EQ(back.AgeLimit(), 1e20);

  // A record of another kind, or one cut short, is a corrupt file.
  s.pos = 0;
  TestModule other(CalcModule::kFluid);
  EXPECT_THROW(other.Restore(s), KWRExcept);
  MemoryStream cut;
  cut.bytes = s.bytes.substr(0, 20);
  EXPECT_THROW(back.Restore(cut), KWRExcept);
}

TEST_F(ModuleListTest, ModuleSectionRoundTrip) {
  TheModules().Add(CreateModule(CalcModule::kFluid));
  TheModules().Add(CreateModule(CalcModule::kDynamic));
  Modes().fluid->SetTime(2.0);
  Modes().dynamic->SetOn(false);
  Modes().dynamic->SetTimestep(1e-4);
  MemoryStream s;
  SaveModules(s);
  // Five presence bytes and two records.
  EXPECT_EQ(s.bytes.size(), 5u + 2 * 26u);

  // A configured mode that the file lacks goes away.
  TheModules().Add(CreateModule(CalcModule::kCreep));
  RestoreModules(s, 316);
  EXPECT_EQ(s.Remaining(), 0u);
  EXPECT_EQ(Modes().creep, nullptr);
  ASSERT_NE(Modes().fluid, nullptr);
  ASSERT_NE(Modes().dynamic, nullptr);
  EXPECT_EQ(Modes().fluid->Time(), 2.0);
  EXPECT_FALSE(Modes().dynamic->On());
  EXPECT_EQ(Modes().dynamic->Timestep(), 1e-4);
  EXPECT_EQ(TheModules().Count(), 2);

  MemoryStream again;
  SaveModules(again);
  EXPECT_EQ(again.bytes, s.bytes);
}

TEST_F(ModuleListTest, OlderFilesHaveNoChemistryByte) {
  MemoryStream s;
  for (int i = 0; i < 4; ++i) s.WriteU8(0);
  TheModules().Add(CreateModule(CalcModule::kFluid));
  TheModules().Add(CreateModule(CalcModule::kThermal));
  TestChemModule::connects = true;
  TheModules().Add(CreateModule(CalcModule::kChemistry));
  RestoreModules(s, 299);
  EXPECT_EQ(s.Remaining(), 0u);
  EXPECT_EQ(Modes().chem, nullptr);
  EXPECT_EQ(TheModules().Count(), 0);
}

TEST_F(ModuleListTest, ChemistryRestoreFailures) {
  auto section = [](bool fluid, bool thermal) {
    MemoryStream s;
    s.WriteU8(0);
    s.WriteU8(0);
    s.WriteU8(thermal ? 1 : 0);
    if (thermal) TestModule(CalcModule::kThermal).Save(s);
    s.WriteU8(fluid ? 1 : 0);
    if (fluid) TestModule(CalcModule::kFluid).Save(s);
    s.WriteU8(1);
    TestChemModule chem;
    chem.Save(s);
    return s;
  };
  struct Case {
    bool fluid, thermal, connects;
    const char* message;
  };
  const Case cases[] = {
      {false, true, true, "Gibbs chemistry not available."},
      {true, false, true, "Gibbs chemistry not available."},
      {true, true, false, "Error finding Gibbs chemistry application."},
      {true, true, true, nullptr},
  };
  for (const Case& c : cases) {
    MemoryStream s = section(c.fluid, c.thermal);
    TestChemModule::connects = c.connects;
    if (c.message) {
      try {
        RestoreModules(s, 316);
        ADD_FAILURE() << "no exception for " << c.message;
      } catch (const QJExcept& e) {
        EXPECT_STREQ(e.Text(), c.message);
      }
      EXPECT_EQ(Modes().chem, nullptr) << c.message;
    } else {
      RestoreModules(s, 316);
      EXPECT_NE(Modes().chem, nullptr);
    }
    EXPECT_EQ(Modes().fluid != nullptr, c.fluid);
    EXPECT_EQ(Modes().thermal != nullptr, c.thermal);
  }
}

TEST_F(ModuleListTest, CorruptPresenceByteIsAReadError) {
  MemoryStream s;
  s.WriteU8(7);
  EXPECT_THROW(RestoreModules(s, 316), KWRExcept);
  EXPECT_EQ(TheModules().Count(), 0);
}

}  // namespace
