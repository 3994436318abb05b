// Expressions, control structures and the compile and run errors of the
// scripting language, typed as a user types them.
#include <gtest/gtest.h>

#include "zolt/zolt_fixture.h"

namespace {

class LanguageTest : public ZoltFixture {};

TEST_F(LanguageTest, ArithmeticFollowsTheTypeRulesAndOperatorPasses) {
  struct Case {
    const char* line;
    const char* printed;
  };
  const Case cases[] = {
      // "/" binds tighter than "*".
      {"x = 2 * 3 / 4", "x = 0\n"},
      {"x = (2 * 3) / 4", "x = 1\n"},
      {"x = -2 ^ 2", "x = -4\n"},
      {"x = 3 * (-2)", "x = -6\n"},
      {"x = 7 / 2", "x = 3\n"},
      {"x = -7 / 2", "x = -3\n"},
      {"x = 7.0 / 2", "x = 3.5\n"},
      {"x = 2 ^ 10", "x = 1024\n"},
      {"x = 2 ^ (-1)", "x = 0\n"},
      {"x = 2.0 ^ (-1)", "x = 0.5\n"},
      {"x = 2.0 ^ (-2)", "x = 0.25\n"},
      {"x = 0 ^ 0", "x = 0\n"},
      {"x = 4 ^ 0.5", "x = 2\n"},
      {"x = 1 / 3.0", "x = 0.333333333333\n"},
      {"x = 1.5e3 + .5", "x = 1500.5\n"},
      {"x = 'ab' + 'cd'", "x = abcd\n"},
      {"x = 'it\\'s\\t;'", "x = it's\t;\n"},
      {"x = 1 ; a comment", "x = 1\n"},
      // Integers wrap as 32-bit two's complement.
      {"x = 2147483647 + 1", "x = -2147483648\n"},
      {"x = 0 - 2147483647 - 2", "x = 2147483647\n"},
      {"x = 65536 * 65536", "x = 0\n"},
      {"x = 3 ^ 21", "x = 1870418611\n"},
      {"x = (0 - 2147483647 - 1) / (-1)", "x = -2147483648\n"},
      {"x = (0 - 2147483647 - 1) * (-1)", "x = -2147483648\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(ValueOf({c.line}), c.printed) << c.line;
}

TEST_F(LanguageTest, LoopsRunTheirBodyAtLeastOnce) {
  EXPECT_EQ(ValueOf({"x = 0", "loop i (1, 4)", "x = x + i", "end_loop"}), "x = 10\n");
  // From 5 to 1: once, with i = 5.
  EXPECT_EQ(ValueOf({"x = 0", "loop i (5, 1)", "x = x * 10 + i", "end_loop"}), "x = 5\n");
  // A variable end is read at every test; a computed one keeps its first value.
  EXPECT_EQ(ValueOf({"x = 0", "n = 3", "loop i (1, n)", "n = 5", "x = x + 1", "end_loop"}), "x = 5\n");
  EXPECT_EQ(ValueOf({"x = 0", "n = 3", "loop i (1, n + 0)", "n = 5", "x = x + 1", "end_loop"}), "x = 3\n");
  EXPECT_EQ(ValueOf({"x = 1", "loop while x < 100", "x = x * 3", "end_loop"}), "x = 243\n");
}

TEST_F(LanguageTest, ConditionsSectionsAndExits) {
  EXPECT_EQ(ValueOf({"a = 2", "if a > 1 then", "x = 1", "else", "x = 2", "end_if"}), "x = 1\n");
  EXPECT_EQ(ValueOf({"a = 2", "if a <= 1", "x = 1", "else", "x = 2", "endif"}), "x = 2\n");
  // Mixed numbers compare as reals; texts by the program's comparison.
  EXPECT_EQ(ValueOf({"x = 0", "if 2 = 2.0", "x = 1", "end_if", "if 'AB' = 'ab'", "x = x + 2", "end_if", "if 'a' # 'b'",
                     "x = x + 4", "end_if", "if 1.5 >= 2", "x = x + 8", "end_if"}),
            "x = 7\n");
  EXPECT_EQ(
      ValueOf({"x = 1", "section", "x = 2", "exit section", "x = 3", "end_section", "x = x * 10", "exit", "x = 0"}),
      "x = 20\n");
}

TEST_F(LanguageTest, CaseOfTruncatesAndFallsBackToTheCodeBeforeTheFirstCase) {
  auto run = [this](const std::string& selector) {
    return ValueOf(
        {"case_of " + selector, "x = 'before'", "case 0", "x = 'zero'", "case 3", "x = 'three'", "end_case"});
  };
  EXPECT_EQ(run("0"), "x = zero\n");
  EXPECT_EQ(run("3"), "x = three\n");
  EXPECT_EQ(run("3.9"), "x = three\n");
  for (const char* other : {"(-1)", "1", "2", "4", "1e10"}) EXPECT_EQ(run(other), "x = before\n") << other;
  EXPECT_EQ(ValueOf({"case_of 2.7", "case 1", "x = 1", "case 2", "x = 2", "end_case"}), "x = 2\n");
  // Without a case the selector only runs through.
  EXPECT_EQ(ValueOf({"x = 1", "case_of x", "end_case"}), "x = 1\n");
}

TEST_F(LanguageTest, ArraysStoreTheFirstIndexFastest) {
  EXPECT_EQ(
      ValueOf({"array a(2,3), b(4)", "a(2,1) = 5", "a(1,2) = 7", "b(a(2,1) - 1) = a(1,2) * 2", "x = b(4) + a(2,1)"}),
      "x = 19\n");
  EXPECT_EQ(Run({"print a 2 1", "print a 1 2 a", "print a 3 1", "print b 4"}),
            "Terrax>print a 2 1\na(2,1) = 5\n"
            "Terrax>print a 1 2 a\na(1,2) = 7\na:  array of dimension(s) (2,3)\n"
            "Terrax>print a 3 1\na:  array of dimension(s) (2,3)\n"
            "Terrax>print b 4\nb(4) = 14\n");
  // A dimension may be a variable that holds an integer.
  EXPECT_EQ(Run({"define sizes", "n = 4", "end", "sizes", "define mk", "array c(n)", "end", "print c"}),
            "Terrax>define sizes\n   Def>n = 4\n   Def>end\nTerrax>sizes\nTerrax>define mk\n   Def>array c(n)\n"
            "   Def>end\nTerrax>print c\nc:  array of dimension(s) (4)\n");
}

TEST_F(LanguageTest, RunErrors) {
  struct Case {
    std::vector<std::string> body;
    const char* message;
  };
  const std::vector<Case> cases = {
      {{"x = 7 / 0"}, "Trying to divide by zero"},
      {{"x = 7.0 / 0"}, "Trying to divide by zero"},
      {{"x = (-8) ^ (1.0 / 3)"}, "Cannot raise neg. number to real power"},
      {{"x = 'ab' - 'cd'"}, "Bad type conversion"},
      {{"x = 'ab' + 1"}, "Bad type conversion"},
      {{"if 'a' > 'b'", "end_if"}, "Pointers can only be compared with = or #"},
      {{"if 'a' = 1", "end_if"}, "Bad type conversion"},
      {{"case_of 'a'", "case 1", "end_case"}, "Bad type conversion"},
      {{"array a(2,1)", "x = a(3,1)"}, "Array index out of range"},
      {{"array a(2,1)", "x = a(1,0)"}, "Array index out of range"},
      {{"array a(2,1)", "x = a(1.0,1)"}, "Array index is not an integer"},
      {{"nofunction"}, "Cannot execute nofunction ... not a function"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> lines{"define fn"};
    lines.insert(lines.end(), c.body.begin(), c.body.end());
    lines.insert(lines.end(), {"end", "fn"});
    EXPECT_EQ(Error(Run(lines)), c.message) << c.body.back();
    zolt.Clear(interp);
  }
}

// A read-only intrinsic without arguments and an assignable one with two,
// as the levels that bring intrinsics answer.
class IntrinsicZolt : public ZoltInterpreter {
 public:
  bool CallIntrinsic(ZoltIntrinsicCall& call) override {
    const String name(call.name ? call.name : "");
    switch (call.mode) {
      case ZoltIntrinsicCall::kFind:
        call.code = name == "seven" ? 0 : name == "cell" ? 1 : -1;
        return call.code >= 0;
      case ZoltIntrinsicCall::kDescribe:
        call.argumentCount = call.code == 0 ? 0 : 2;
        call.readOnly = call.code == 0 ? 1 : 0;
        return true;
      case ZoltIntrinsicCall::kEvaluate:
        if (call.code == 0)
          call.value.SetInt(7);
        else
          call.value.SetInt(cell);
        return true;
      default:
        cell = call.value.GetInt(kZoltIntMin, kZoltIntMax) + 100 * call.arguments[0].Int() + call.arguments[1].Int();
        return true;
    }
  }
  int32_t cell = 0;
};

TEST_F(LanguageTest, IntrinsicsTakeTheirArgumentsThroughTheSlots) {
  IntrinsicZolt withIntrinsics;
  interp.SetScriptLevel(&withIntrinsics);
  const std::string out = Run({"define fn", "cell(3, seven - 5) = seven", "x = cell(1, 1) + seven", "array arr7(seven)",
                               "end", "fn", "print x", "print arr7"});
  EXPECT_EQ(withIntrinsics.cell, 7 + 300 + 2);
  EXPECT_NE(out.find("x = 316\n"), std::string::npos) << out;
  EXPECT_NE(out.find("arr7:  array of dimension(s) (7)\n"), std::string::npos) << out;
  EXPECT_EQ(Error(Run({"define u", "seven = 1", "end"})), "Cannot give value to left-hand-side");
  EXPECT_EQ(Error(Run({"define u", "x = cell(1)", "end"})), "Cannot interpret function or array argument");
  EXPECT_EQ(Error(Run({"define u", "x = cell + 1", "end"})), "Cannot interpret function or array argument");
  interp.SetScriptLevel(&zolt);
}

TEST_F(LanguageTest, CompileErrorsPutACaretUnderTheToken) {
  EXPECT_EQ(Run({"define fn", "  x = 3 * -2"}),
            "Terrax>define fn\n   Def>  x = 3 * -2\n" + std::string(7 + 10, ' ') + "^\n*** Bad syntax\n");
  EXPECT_EQ(Run({"define fn", "x = 1.5E3"}),
            "Terrax>define fn\n   Def>x = 1.5E3\n" + std::string(7 + 4, ' ') + "^\n*** Number has bad format\n");
}

TEST_F(LanguageTest, EveryCompileError) {
  struct Case {
    std::vector<std::string> lines;  // after "define fn"
    const char* message;
  };
  const std::vector<Case> cases = {
      {{"x = 'abc"}, "Unbalanced quote marks"},
      {{"x = 1.5E3"}, "Number has bad format"},
      {{"x = 1.2.3"}, "Number has bad format"},
      {{"x = 99999999999"}, "Number has bad format"},
      {{"def x"}, "Inappropriate keyword"},
      {{"while x"}, "Inappropriate keyword"},
      {{"int x"}, "Inappropriate keyword"},
      {{"x = 1 + then"}, "Inappropriate keyword"},
      {{"if a = b", "x = 1", "else x"}, "Extraneous material"},
      {{"if (a = b)"}, "Unbalanced parentheses"},
      {{"x = (1 + 2"}, "Unbalanced parentheses"},
      {{"x = 1 = 2"}, "More than one equals sign"},
      {{"case_of x = 1"}, "Inappropriate equals sign"},
      {{"x ="}, "Missing right-hand-side to assignment"},
      {{"x = 3 * -2"}, "Bad syntax"},
      {{"x = 1)"}, "Bad syntax"},
      {{"x = f()"}, "Bad syntax"},
      {{"x = (1)(2)"}, "Bad syntax"},
      {{"x = 1 2"}, "Bad syntax"},
      {{"x = 1 +"}, "Bad syntax"},
      {{"x = * 2"}, "Bad syntax"},
      {{"x = 1, 2"}, "Bad syntax"},
      {{"loop 5 (1, 2)"}, "Bad syntax"},
      {{"loop i 5"}, "Bad syntax"},
      {{"if < b"}, "Bad syntax"},
      {{"3"}, "Zolt-function name expected but not found"},
      {{"if a", "end_if"}, "Missing test symbol: =  <  >  #  <= or >="},
      {{"if a < b > c"}, "Multiple test symbols: =  <  >  #  <= or >="},
      {{"if a = b then x = 1"}, "Extraneous material"},
      {{"x y = 1"}, "Extraneous material"},
      {{"exit now"}, "Extraneous material"},
      {{"loop i (1, 2) 3"}, "Extraneous material"},
      {{"else"}, "No corresponding IF statement"},
      {{"end_if"}, "No corresponding IF statement"},
      {{"if a = b", "end"}, "Missing END_IF statement(s)"},
      {{"if a = b", "else", "else"}, "Too many ELSE statements"},
      {{"section", "section"}, "Nested SECTIONs not allowed"},
      {{"exit section"}, "No SECTION has been defined"},
      {{"end_section"}, "No SECTION has been defined"},
      {{"section", "end"}, "No END_SECTION statement"},
      {{"case_of"}, "Missing material"},
      {{"loop i"}, "Missing material"},
      {{"array"}, "Missing material"},
      {{"case 1"}, "No preceding CASE_OF"},
      {{"end_case"}, "No preceding CASE_OF"},
      {{"case_of x", "case 256"}, "Integer between 0 & 255 must follow CASE"},
      {{"case_of x", "case (-1)"}, "Integer between 0 & 255 must follow CASE"},
      {{"case_of x", "case 1", "case 1"}, "Duplicate CASE number"},
      {{"case_of x", "end"}, "Missing END_CASE statement"},
      {{"array a(2)", "x = a"}, "Cannot interpret function or array argument"},
      {{"array a(2)", "x = a + 1"}, "Cannot interpret function or array argument"},
      {{"array a(2)", "a = 1"}, "Cannot interpret function or array argument"},
      {{"loop i (1, 2)", "end"}, "Missing END_LOOP statement"},
      {{"loop i (1 2)"}, "Missing comma in loop range"},
      {{"loop i (, 2)"}, "Missing loop range(s)"},
      {{"= 1"}, "Missing left-hand-side to assignment"},
      {{"end_loop"}, "No preceding LOOP statement"},
      {{"array 3(2)"}, "Not a user-defined symbol"},
      {{"array a(2)", "array a(3)"}, "Array name is already used by an array"},
      {{"array fn(2)"}, "Array name is already used by a function"},
      {{"array a(0)"}, "Dimension should be positive integer"},
      {{"array a(1.5)"}, "Dimension should be positive integer"},
      {{"array a(2 + 1)"}, "Dimension should be positive integer"},
      {{"x(1) = 2"}, "User-defined scalar cannot have arguments"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> lines{"define fn"};
    lines.insert(lines.end(), c.lines.begin(), c.lines.end());
    const std::string out = Run(lines);
    EXPECT_EQ(Error(out), c.message) << c.lines.back();
    // The caret line comes first.
    EXPECT_NE(out.find("^\n*** "), std::string::npos) << c.lines.back();
    zolt.Clear(interp);
  }
}

TEST_F(LanguageTest, DefineNameErrors) {
  EXPECT_EQ(Error(Run({"define 3"})), "Function name is inappropriate or");
  EXPECT_EQ(Error(Run({"define if"})), "Function name is inappropriate or");
  EXPECT_EQ(Error(Run({"define fn", "array a(2)", "end", "define a"})), "Function name is already an array");
  EXPECT_EQ(Error(Run({"define"})), "Missing parameter 1");
}

TEST_F(LanguageTest, NoLineCrashesTheCompiler) {
  const std::string deep = "x = " + std::string(100000, '(') + "1" + std::string(100000, ')');
  EXPECT_EQ(Error(Run({"define fn", deep})), "Bad syntax");
  const std::string open = "x = " + std::string(100000, '(');
  EXPECT_EQ(Error(Run({"define fn", open})), "Bad syntax");
  // A long flat expression is fine.
  std::string sum = "x = 0";
  for (int i = 0; i < 20000; ++i) sum += " + 1";
  const std::string value = ValueOf({sum});
  EXPECT_EQ(value, "x = 20000\n") << Error(value);
  EXPECT_EQ(Error(Run({"define fn", "x = @$? 1 ` 2"})), "Bad syntax");
}

}  // namespace
