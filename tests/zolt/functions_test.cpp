// Functions calling functions, redefinition, COMMAND blocks, and what a
// running function refuses.
#include <gtest/gtest.h>

#include "support/alloc_counter.h"
#include "zolt/zolt_fixture.h"

namespace {

class FunctionsTest : public ZoltFixture {};

TEST_F(FunctionsTest, AFunctionNameUsedAsAValueRunsTheFunctionFirst) {
  // sq is defined after its caller: the caller's use of it as a value calls it.
  const std::string out = Run({"define fn", "n = 3", "x = sq + 1", "end", "define sq", "sq = n * n",
                               "count = count + 1", "end", "fn", "print x count"});
  EXPECT_NE(out.find("x = 10\ncount = 1\n"), std::string::npos) << out;
  // Typed as a command or printed, a function runs too.
  EXPECT_NE(Run({"sq", "print sq count"}).find("sq = 9\ncount = 3\n"), std::string::npos);
}

// A console that answers ESC at its hundredth poll: a loop that never ends
// fails instead of hanging the test.
struct PatientDevice : FakeDevice {
  int polls = 0;
  bool KeyPressed(int key) override { return key == 27 && ++polls >= 100; }
};

TEST_F(FunctionsTest, JumpsToAStatementMoveToTheCallsInsertedBeforeIt) {
  PatientDevice patient;
  interp.SetDevice(&patient);
  // The loop's test and the first statement of case 1 name cnt, which is
  // defined later: each time they are reached, cnt runs first (a jump past
  // the call would read a stale count: x = 50 through the loop, 30 through
  // the case).
  for (const char* line :
       {"define fn", "x = 0", "loop while cnt < 3", "case_of 1", "case 1", "x = x + cnt * 10", "end_case", "end_loop",
        "end", "define cnt", "k = k + 1", "cnt = k", "end", "fn", "print x k"})
    patient.lines.push_back(line);
  RunLines(interp, patient, {});
  const std::string out = patient.Take();
  EXPECT_NE(out.find("x = 20\nk = 3\n"), std::string::npos) << out;
  interp.SetDevice(&device);
}

TEST_F(FunctionsTest, ARedefinitionReplacesTheBodyForEveryCaller) {
  const std::string out = Run({"define g", "g = 1", "end", "define fn", "x = g * 10", "end", "fn", "print x",
                               "define g", "g = 2", "end", "fn", "print x"});
  EXPECT_NE(out.find("Terrax>define g\n... deleting existing function\n   Def>g = 2\n"), std::string::npos) << out;
  EXPECT_NE(out.find("x = 10\n"), std::string::npos);
  EXPECT_NE(out.find("x = 20\n"), std::string::npos) << out;
  // The old statements are gone: one HEAD per function.
  int heads = 0;
  for (LinkListNode* n : zolt.State().statements) heads += static_cast<ZoltStatement*>(n)->op == kOpHead;
  EXPECT_EQ(heads, 2);
}

TEST_F(FunctionsTest, CallsKeepTheCallersArgumentSlots) {
  // t has put its first index in slot 0 when h runs (h is the second
  // index); h indexes its own array through slots 0 and 1.
  const std::string out = Run({"define h", "array m(3,3)", "m(2,3) = 2", "h = m(2,3)", "end", "define fn",
                               "array w(2,2)", "w(1,2) = 7", "x = w(1, h)", "end", "fn", "print x"});
  EXPECT_NE(out.find("x = 7\n"), std::string::npos) << out;
}

TEST_F(FunctionsTest, RecursionIsRefused) {
  EXPECT_EQ(Error(Run({"define fa", "gb", "end", "define gb", "fa", "end", "fa"})),
            "Function fa is being called recursively");
  // The error leaves nothing running: the same call fails the same way again.
  EXPECT_EQ(Error(Run({"gb"})), "Function gb is being called recursively");
  EXPECT_FALSE(zolt.Running());
  // A function that uses its own name as a value calls itself.
  EXPECT_EQ(Error(Run({"define rec", "rec = rec + 1", "end", "rec"})), "Function rec is being called recursively");
}

TEST_F(FunctionsTest, AFailedDefinitionLeavesNoFunction) {
  Run({"define g", "g = 1", "end", "define fn", "x = g", "end"});
  const size_t before = zolt.State().statements.Count();
  EXPECT_EQ(Error(Run({"define g", "g = 2", "if x", "end"})), "Missing test symbol: =  <  >  #  <= or >=");
  EXPECT_EQ(Symbol("g")->function, nullptr);
  EXPECT_LT(zolt.State().statements.Count(), before);
  EXPECT_EQ(Error(Run({"fn"})), "Cannot execute g ... not a function");
  // Defined again, the callers find it.
  EXPECT_NE(Run({"define g", "g = 3", "end", "fn", "print x"}).find("x = 3\n"), std::string::npos);
}

TEST_F(FunctionsTest, CommandBlocksRunTheirLinesAsCommands) {
  const std::string out = Run({"define fn", "x = 1", "command", "  print x", "  command", "  end_command",
                               "  macro mm 'print x'", "end_command", "x = 2", "end", "fn"});
  EXPECT_EQ(out,
            "Terrax>define fn\n   Def>x = 1\n   Def>command\n   Def>  print x\n   Def>  command\n"
            "   Def>  end_command\n   Def>  macro mm 'print x'\n   Def>end_command\n   Def>x = 2\n   Def>end\n"
            "Terrax>fn\nZolt>print x\nx = 1\nZolt>command\n*** Bad command (command)\n");
  // The error ended the block and the function: the macro was not made.
  EXPECT_EQ(macros.Find(String("mm")), nullptr);
  EXPECT_NE(Run({"define u", "command", "macro mm 'print x'", "end_command", "x = 5", "end", "u", "mm"})
                .find("Zolt>macro mm 'print x'\nTerrax>mm\nx = 5\n"),
            std::string::npos);
}

TEST_F(FunctionsTest, ARunningFunctionRefusesWhatWouldFreeItsCode) {
  EXPECT_EQ(Error(Run({"define fn", "command", "new", "end_command", "end", "fn"})),
            "New not allowed in ZOLT command block");
  EXPECT_EQ(Error(Run({"define fn", "command", "restore x.sav", "end_command", "end", "fn"})),
            "Restore not allowed in ZOLT command block");
  EXPECT_EQ(Error(Run({"define fn", "command", "define fn", "end_command", "end", "fn"})),
            "Function name has been defined before");
  // Typed from its own block, or called as a callee, it is refused too.
  EXPECT_EQ(Error(Run({"define fn", "command", "fn", "end_command", "end", "fn"})),
            "Function fn is being called recursively");
  EXPECT_EQ(Error(Run({"define u", "command", "fn", "end_command", "end", "define fn", "u", "end", "fn"})),
            "Function fn is being called recursively");
  EXPECT_FALSE(zolt.Running());
  // Another function may be redefined from a block.
  EXPECT_NE(Run({"define v", "command", "define w", "w = 4", "end", "end_command", "x = w", "end", "v", "print x"})
                .find("x = 4\n"),
            std::string::npos);
}

// A console on which ESC is found at the third poll: the command loop's poll
// before the line, then the executor's.
struct LateEscDevice : FakeDevice {
  int polls = 0;
  bool KeyPressed(int key) override { return key == 27 && ++polls == 3; }
};

TEST_F(FunctionsTest, EscStopsAnEndlessLoop) {
  Run({"define fn", "loop while 1 = 1", "end_loop", "end"});
  LateEscDevice late;
  interp.SetDevice(&late);
  late.lines.push_back("fn");
  RunLines(interp, late, {});
  EXPECT_EQ(Error(late.Take()), "ESC key pressed to halt");
  EXPECT_GE(late.polls, 3);
  EXPECT_FALSE(zolt.Running());
  interp.SetDevice(&device);
}

TEST_F(FunctionsTest, IntegerAndRealWorkAllocatesNothing) {
  Run({"define g", "g = y * 0.5", "end", "define fn", "s = 0.0", "y = 3", "loop i (1, 50)", "if i > 25", "s = s + g",
       "else", "s = s - i / 2.0", "end_if", "end_loop", "array a(4)", "a(2) = s", "x = a(2)", "end", "fn"});
  ZoltStatement* head = Symbol("fn")->function;
  zolt.Execute(interp, head);
  const size_t before = TestAllocations();
  for (int i = 0; i < 100; ++i) zolt.Execute(interp, head);
  EXPECT_EQ(TestAllocations(), before);
  EXPECT_DOUBLE_EQ(Symbol("x")->value.GetFloat(), 25 * 1.5 - 325 / 2.0);
}

}  // namespace
