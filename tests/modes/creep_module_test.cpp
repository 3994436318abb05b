// The creep module: its time-step controller, its settings and listing, and its record.
#include "modes/creep_module.h"

#include <gtest/gtest.h>

#include "base/app.h"
#include "base/except.h"
#include "model/model_interpreter.h"
#include "model/model_settings.h"
#include "modes/install_modes.h"
#include "support/interp_fixture.h"
#include "support/memory_stream.h"

namespace {

class CreepTest : public ::testing::Test {
 protected:
  FakeDevice device;
  MacroTable macros;
  ModelInterpreter interp{&macros, &device};

  void SetUp() override {
    InstallModes();
    TheModules().Clear();
    Settings().timestep = 0.0;
    Settings().forceRatio = 0.0;
  }
  void TearDown() override {
    TheModules().Clear();
    ResetRestoreVersions();
  }
  CreepModule& Configure() {
    RunLines(interp, device, {"config creep"});
    device.Take();
    return static_cast<CreepModule&>(*Modes().creep);
  }
};

TEST_F(CreepTest, FixedStepIsProposedEveryStep) {
  CreepModule& creep = Configure();
  RunLines(interp, device, {"set creep dt 1e-3"});
  for (int i = 0; i < 5; ++i) {
    TheModules().NegotiateTimestep();
    EXPECT_EQ(Settings().timestep, 1e-3);
  }
  EXPECT_EQ(creep.Current(), 1e-3);
}

TEST_F(CreepTest, AutomaticStepChangesOnlyEveryLatencyCall) {
  CreepModule& creep = Configure();
  RunLines(interp, device, {"set creep maxdt 1 mindt 1e-6 latency 10 dt automatic on"});
  EXPECT_TRUE(creep.Automatic());
  Settings().timestep = 1e-3;
  Settings().forceRatio = 0.0;  // well balanced: the step grows by lmul
  std::vector<double> seen;
  for (int call = 1; call <= 20; ++call) {
    double dt = creep.GetTimestep();
    seen.push_back(dt);
    if (dt > 0.0) Settings().timestep = dt;  // the step taken; 1e-3 before any proposal
  }
  // The first adjustment on the 10th call, the next on the 20th.
  for (int i = 0; i < 9; ++i) EXPECT_EQ(seen[static_cast<size_t>(i)], 0.0) << i;
  EXPECT_DOUBLE_EQ(seen[9], 1e-3 * 1.01);
  for (int i = 10; i < 19; ++i) EXPECT_EQ(seen[static_cast<size_t>(i)], seen[9]) << i;
  EXPECT_DOUBLE_EQ(seen[19], 1e-3 * 1.01 * 1.01);

  // Out of balance the step shrinks by umul; between the bounds it stays.
  RunLines(interp, device, {"set creep latency 1"});
  Settings().forceRatio = 0.01;
  Settings().timestep = 1e-3;
  EXPECT_DOUBLE_EQ(creep.GetTimestep(), 0.9e-3);
  Settings().forceRatio = 0.003;
  Settings().timestep = 1e-3;
  EXPECT_DOUBLE_EQ(creep.GetTimestep(), 1e-3);
  // The bounds clamp it.
  Settings().timestep = 10;
  EXPECT_DOUBLE_EQ(creep.GetTimestep(), 1.0);
}

TEST_F(CreepTest, MinimumAboveMaximumRaisesTheMaximum) {
  CreepModule& creep = Configure();
  RunLines(interp, device, {"set creep maxdt 1e-4", "set creep mindt 1e-3"});
  EXPECT_EQ(creep.MinDt(), 1e-3);
  EXPECT_EQ(creep.MaxDt(), 1e-3);
}

TEST_F(CreepTest, SmallerStepOfAnotherModuleIsRejected) {
  Configure();
  RunLines(interp, device, {"set creep dt 1e-3"});
  // Another module that asks for a smaller step.
  struct Proposer : ThermalCalcModule {
    double GetTimestep() override { return 1e-4; }
  };
  TheModules().Add(std::make_unique<Proposer>());
  try {
    TheModules().NegotiateTimestep();
    FAIL() << "accepted";
  } catch (const QJExcept& e) {
    EXPECT_STREQ(e.what(), "Timestep rejected by module");
  }
}

TEST_F(CreepTest, PrintListsTheSettings) {
  Configure();
  RunLines(interp, device, {"set creep dt 1e-3 latency 10", "print creep"});
  EXPECT_EQ(device.Take(),
            "Terrax>set creep dt 1e-3 latency 10\n"
            "Terrax>print creep\n"
            "  Creep data ...\n"
            "   Creep                : On\n"
            "   Creep time step      :  1.000000e-03\n"
            "   Creep time           :  0.000000e+00\n"
            "   Creep auto time step : Off\n"
            "   Creep min. time step :  1.000000e-20\n"
            "   Creep max. time step :  1.000000e-20\n"
            "   Creep time step lmul :  1.010000e+00\n"
            "   Creep time step umul :  9.000000e-01\n"
            "   Creep lbound         :  1.000000e-03\n"
            "   Creep ubound         :  5.000000e-03\n"
            "   Creep time step lat. : 10\n");
}

TEST_F(CreepTest, RecordRoundTripsAndOldFilesLackTheForceFlag) {
  CreepModule& creep = Configure();
  RunLines(interp, device, {"set creep dt 2e-3 mindt 1e-5 maxdt 1e-2 latency 4 fob on lmul 1.2 off"});
  MemoryStream first;
  creep.Save(first);
  CreepModule copy;
  copy.Restore(first);
  EXPECT_EQ(first.Remaining(), 0u);
  MemoryStream second;
  copy.Save(second);
  EXPECT_EQ(first.bytes, second.bytes);
  EXPECT_FALSE(copy.On());
  EXPECT_TRUE(copy.ForceMeasure());
  EXPECT_EQ(copy.Latency(), 4);

  // Version 149: no force flag at the end; version 7: no common part either.
  CurrentRestoreVersions().program = 149;
  MemoryStream old;
  old.bytes = first.bytes.substr(0, first.bytes.size() - 1);
  CreepModule older;
  older.Restore(old);
  EXPECT_EQ(old.Remaining(), 0u);
  EXPECT_FALSE(older.ForceMeasure());
  EXPECT_EQ(older.MaxDt(), 1e-2);
  CurrentRestoreVersions().program = 7;
  MemoryStream oldest;
  oldest.bytes = first.bytes.substr(26, first.bytes.size() - 27);
  CreepModule oldestCopy;
  oldestCopy.Restore(oldest);
  EXPECT_EQ(oldest.Remaining(), 0u);
  EXPECT_EQ(oldestCopy.Latency(), 4);

  // A damaged record: cut short, or a flag byte that is not 0 or 1.
  CurrentRestoreVersions().program = 316;
  MemoryStream cut;
  cut.bytes = first.bytes.substr(0, 40);
  CreepModule broken;
  EXPECT_THROW(broken.Restore(cut), KWRExcept);
}

}  // namespace
