// The scripting level in the calculation: functions registered under the
// step's callback numbers, the display column, a function as an apply
// multiplier, and SOLVE's halt function.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "mechanics/cycle_fixture.h"
#include "mechanics/install_mechanics_apply.h"
#include "model/module_doubles.h"
#include "zolt/zolt_interpreter.h"

namespace {

class DueChem : public TestChemModule {
 public:
  bool StepDue() const override { return true; }
};

class StepCallbacksTest : public CycleTest {
 protected:
  ZoltInterpreter zolt;

  void SetUp() override {
    CycleTest::SetUp();
    interp.SetScriptLevel(&zolt);
    zolt.Install(interp, interp.TheModel());
    Zone* zone = UnitBrick();
    Assign(zone, "elastic", {{"bulk", 1e6}, {"shear", 1e6}}, 1000);
  }
  void TearDown() override {
    zolt.Uninstall();
    interp.SetScriptLevel(nullptr);
    CycleTest::TearDown();
  }
  ZoltSymbol* Symbol(const char* name) { return zolt.State().symbols.Find(String(name)); }
  static std::string Error(const std::string& out) {
    const size_t at = out.find("*** ");
    return at == std::string::npos ? "" : out.substr(at + 4, out.find('\n', at) - at - 4);
  }
};

// The preparation fires 1; with thermal, fluid and chemistry on, one step
// fires the numbers in this order.
TEST_F(StepCallbacksTest, OneStepFiresTheNumbersInOrder) {
  Run({"define fn", "trace = ''", "end", "fn"});
  for (int n = 0; n < 50; ++n) {
    const std::string name = "c" + std::to_string(n);
    const std::string def = "define " + name;
    const std::string body = "trace = trace + ' " + std::to_string(n) + "'";
    const std::string reg = "set zoltcall " + std::to_string(n) + " " + name;
    Run({def.c_str(), body.c_str(), "end", reg.c_str()});
  }
  Cycle::BeginRun(interp);
  ASSERT_TRUE(Cycle::Prepare(false, interp, true));
  EXPECT_EQ(Symbol("trace")->value.Str().str(), " 1");
  Symbol("trace")->value.SetText("");
  // The modes' own preparation would ask for their zone models.
  TheModules().Add(MakeModeModule(CalcModule::kThermal));
  TheModules().Add(MakeModeModule(CalcModule::kFluid));
  TheModules().Add(std::make_unique<DueChem>());
  Cycle::Step(interp);
  EXPECT_EQ(Symbol("trace")->value.Str().str(), " 2 0 3 4 5 6 7 8 9 10 11 12 13 17 18");
}

TEST_F(StepCallbacksTest, RegisteredFunctionsRunInEveryStep) {
  const std::string out = Run({"define count", "k = k + 1", "end", "define prep", "p = p + 1", "end",
                               "set zoltcall 0 count", "set zoltcall 1 prep", "step 10"});
  EXPECT_EQ(out.find("***"), std::string::npos) << out;
  EXPECT_EQ(Symbol("k")->value.Int(), 10);
  EXPECT_EQ(Symbol("p")->value.Int(), 1);
  // A step count from a variable; a function as the count runs first.
  Run({"set k 0", "define five", "five = 5", "end", "step five", "set zoltcall 0 remove count", "step k"});
  EXPECT_EQ(Symbol("k")->value.Int(), 5);
  EXPECT_EQ(Settings().totalCycles, 20);
}

TEST_F(StepCallbacksTest, TheDisplayColumnShowsASymbol) {
  Run({"define count", "k = k + 1", "s = 'abcdefghijklmn'", "array a(2)", "end", "set zoltcall 0 count"});
  const struct {
    const char* name;
    const char* value;  // the column's 11 characters
  } cases[] = {{"k", "          4"}, {"s", " abcdefghij"}, {"a", " -----------"}};
  for (const auto& c : cases) {
    const std::string set = std::string("set display ") + c.name;
    const std::string out = Run({set.c_str(), "step 4"});
    std::string head = std::string(" ") + c.name;
    head.resize(12, ' ');
    EXPECT_NE(out.find("ratio   " + head + "\n"), std::string::npos) << out;
    EXPECT_NE(out.find(std::string(c.value) + "\r"), std::string::npos) << out;
  }
}

// The force applied at a grid-point is its value times the function's, the
// function run first in every step.
TEST_F(StepCallbacksTest, AFunctionMultipliesAnAppliedForce) {
  InstallMechanicsApply();
  const std::string out = Run({"define wave", "calls = calls + 1", "wave = 0.5 * calls", "end",
                               "apply xforce 4 history wave range id 1", "step 1"});
  EXPECT_EQ(out.find("***"), std::string::npos) << out;
  const GridPoint* gp = FindGridpoint(1);
  ASSERT_NE(gp, nullptr);
  EXPECT_EQ(Symbol("calls")->value.Int(), 1);
  EXPECT_DOUBLE_EQ(gp->appliedForce[1][0], 2.0);
  Run({"step 1"});
  EXPECT_EQ(Symbol("calls")->value.Int(), 2);
  EXPECT_DOUBLE_EQ(gp->appliedForce[1][0], 4.0);
}

TEST_F(StepCallbacksTest, SolveStopsWhenTheHaltFunctionSaysSo) {
  Run({"fix x y z range z -0.1 0.1", "set grav 0 0 -10", "define stopit", "n = n + 1", "stopit = 0", "if n = 50 then",
       "stopit = 1", "end_if", "end"});
  std::string out = Run({"solve zolthalt stopit ratio 1e-30"});
  EXPECT_EQ(out.find("***"), std::string::npos) << out;
  EXPECT_EQ(Symbol("n")->value.Int(), 50);
  EXPECT_EQ(Settings().totalCycles, 50);
  // Without parameters the halt function stays; with them it goes.
  Run({"set n 49", "solve"});
  EXPECT_EQ(Symbol("n")->value.Int(), 50);
  EXPECT_EQ(Settings().totalCycles, 51);
  Run({"solve step 5"});
  EXPECT_EQ(Symbol("n")->value.Int(), 50);
  EXPECT_EQ(zolt.Halt(), nullptr);
  EXPECT_EQ(Error(Run({"solve zolthalt nosuch"})), "Zolt-function name expected but not found");
}

}  // namespace
