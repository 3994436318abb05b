// The scripting level at the command line: symbols as parameters, SET of a
// symbol, the zoltcall registrations and their runs, the halt function and
// the PRINT ZOLT listings.
#include <gtest/gtest.h>

#include <cstring>

#include "support/memory_stream.h"
#include "zolt/zolt_fixture.h"

namespace {

class ScriptingLevelTest : public ZoltFixture {
 protected:
  // The command's words as tokens, the index at the first.
  void Tokens(std::initializer_list<const char*> words) {
    interp.ClearTokens();
    for (const char* w : words) interp.AddToken(String(w));
    interp.TokenIndex() = 0;
  }
  std::string Saved() {
    MemoryStream s;
    zolt.SaveState(interp, s);
    return s.bytes;
  }
};

TEST_F(ScriptingLevelTest, SetGivesAnExistingSymbolTheNextParameter) {
  Run({"define fn", "x = 0", "y = 2.5", "array a(2)", "end", "fn", "define twice", "twice = y * 2", "end"});
  const struct {
    const char* line;
    const char* shown;  // PRINT x afterwards, or the error
  } cases[] = {
      {"set x 1.5", "x = 1.5"},
      {"set x 15", "x = 15"},
      {"set x -7", "x = -7"},
      {"set x 'abc'", "x = abc"},
      {"set x 2e3", "x = 2000"},
      {"set x @y", "x = 2.5"},
      {"set @x twice", "x = 5"},  // the function runs first
      {"set x abc", "*** Bad conversion parameter 2 (abc)"},
      {"set x 99999999999", "*** Bad conversion parameter 2 (99999999999)"},
      {"set x", "*** Missing parameter 2"},
      {"set nosuch 1", "*** Unrecognized parameter 1 (nosuch)"},
      {"set @nosuch 1", "*** ZOLT symbol nosuch not found"},
      {"set a 1", "*** Cannot overwrite base of array"},
  };
  for (const auto& c : cases) {
    Run({"set x 0"});
    const std::string out = Run({c.line, "print x"});
    const std::string err = Error(out);
    if (c.shown[0] == '*') {
      EXPECT_EQ("*** " + err, c.shown) << c.line;
    } else {
      EXPECT_EQ(err, "") << c.line;
      EXPECT_NE(out.find(std::string("\n") + c.shown + "\n"), std::string::npos) << c.line << "\n" << out;
    }
  }
  EXPECT_EQ(Symbol("nosuch"), nullptr);  // SET never makes a symbol
}

TEST_F(ScriptingLevelTest, ParametersReadTheValueOfASymbol) {
  Run({"define fn", "n = 100", "r = 0.25", "s = 'word'", "p = 0", "end", "fn", "define calls", "m = m + 1", "calls = m",
       "end"});
  int32_t i = 0;
  double d = 0;
  bool b = false;
  String text;
  int quoted = 1;
  Tokens({"n"});
  ASSERT_EQ(interp.CheckInteger(&i), CommandType::kOk);
  EXPECT_EQ(i, 100);
  EXPECT_EQ(interp.TokenIndex(), 1);
  Tokens({"r"});
  ASSERT_EQ(interp.CheckNumber(&d), CommandType::kOk);
  EXPECT_EQ(d, 0.25);
  Tokens({"n"});
  ASSERT_EQ(interp.CheckBool(&b), CommandType::kOk);
  EXPECT_TRUE(b);
  Tokens({"s"});
  ASSERT_EQ(interp.CheckString(&text, nullptr, &quoted), CommandType::kOk);
  EXPECT_EQ(text.str(), "word");
  EXPECT_EQ(quoted, 0);
  // A quoted word is never a symbol.
  Tokens({"'s'"});
  ASSERT_EQ(interp.CheckString(&text), CommandType::kOk);
  EXPECT_EQ(text.str(), "s");
  // A function runs each time its value is read.
  Tokens({"calls", "calls"});
  ASSERT_EQ(interp.CheckInteger(&i), CommandType::kOk);
  ASSERT_EQ(interp.CheckInteger(&i), CommandType::kOk);
  EXPECT_EQ(i, 2);
  // A value of the wrong kind is the conversion error.
  Tokens({"s"});
  EXPECT_THROW(interp.CheckInteger(&i), ZoltExcept);
  // Safe conversion: only the at-sign names a symbol.
  macros.SetHashOnly(true);
  Tokens({"n"});
  EXPECT_EQ(interp.CheckInteger(&i), CommandType::kConvert);
  Tokens({"@n"});
  ASSERT_EQ(interp.CheckInteger(&i), CommandType::kOk);
  EXPECT_EQ(i, 100);
  macros.SetHashOnly(false);
}

TEST_F(ScriptingLevelTest, RegistrationsAreListedAddedAndRemoved) {
  Run({"define count", "k = k + 1", "end", "define other", "end", "define fn", "v = 0", "end", "fn"});
  EXPECT_EQ(Run({"print zoltcall"}), "Terrax>print zoltcall\n");  // nothing without registrations
  const struct {
    const char* line;
    const char* error;
  } errors[] = {
      {"set zoltcall 50 count", "Call number is invalid"},
      {"set zoltcall -1 count", "Call number is invalid"},
      {"set zoltcall 3 nosuch", "Zolt-function name expected but not found"},
      {"set zoltcall 3 v", "This is a Zolt variable, not a function"},
  };
  for (const auto& e : errors) EXPECT_EQ(Error(Run({e.line})), e.error) << e.line;
  Run({"set zoltcall 0 count", "set zoltcall 3 count", "set zoltcall 3 other", "set zoltcall 3 count"});
  const char* header =
      "  Zoltcall number     function name\n"
      "  ---------------     -------------\n";
  EXPECT_EQ(Run({"print zoltcall"}), std::string("Terrax>print zoltcall\n") + header +
                                         "   0                  count\n"
                                         "   3                  count\n"
                                         "   3                  other\n"
                                         "   3                  count\n");
  // A real value stays whole when its function's registration goes.
  Symbol("count")->value.SetFloat(1.0 / 3.0);
  Run({"set zoltcall 3 remove count", "set zoltcall 3 remove other", "set zoltcall 7 remove count"});
  EXPECT_EQ(Symbol("count")->value.Float(), 1.0 / 3.0);
  EXPECT_EQ(Run({"print zoltcall"}), std::string("Terrax>print zoltcall\n") + header +
                                         "   0                  count\n"
                                         "   3                  count\n");
  EXPECT_EQ(Run({"set zoltcall check on"}), "Terrax>set zoltcall check on\n ZOLT run-time checking turned On\n");
  EXPECT_EQ(zolt.State().options[2], 1);
  EXPECT_EQ(Run({"set zoltcall check off"}), "Terrax>set zoltcall check off\n ZOLT run-time checking turned Off\n");
  EXPECT_EQ(zolt.State().options[2], 0);
  // A redefinition drops the old function's registrations; NEW drops all.
  Run({"define count", "k = k + 2", "end"});
  EXPECT_EQ(Run({"print zoltcall"}), "Terrax>print zoltcall\n");
  Run({"set zoltcall 9 other"});
  zolt.Clear(interp);
  EXPECT_EQ(Run({"print zoltcall"}), "Terrax>print zoltcall\n");
}

TEST_F(ScriptingLevelTest, ARunSeesTheListAsItWasWhenItBegan) {
  // first registers late under 5 and takes itself off; late is redefined
  // by second before its turn would come.
  Run({"define late",
       "trace = trace + 'L'",
       "end",
       "define gone",
       "trace = trace + 'G'",
       "end",
       "define first",
       "trace = trace + '1'",
       "command",
       "set zoltcall 5 late",
       "set zoltcall 5 remove first",
       "end_command",
       "end",
       "define second",
       "trace = trace + '2'",
       "command",
       "define gone",
       "trace = trace + 'g'",
       "end",
       "end_command",
       "end",
       "define fn",
       "trace = ''",
       "end",
       "fn"});
  // Run order is list order: the last registered first.
  Run({"set zoltcall 5 gone", "set zoltcall 5 second", "set zoltcall 5 first"});
  zolt.ZoltCall(interp, 5);
  EXPECT_EQ(Symbol("trace")->value.Str().str(), "12");  // gone went with its redefinition
  Run({"set zoltcall 5 gone"});
  zolt.ZoltCall(interp, 5);
  EXPECT_EQ(Symbol("trace")->value.Str().str(), "12gL2");
  EXPECT_EQ(Error(device.Take()), "");
}

TEST_F(ScriptingLevelTest, TheHaltFunctionIsAskedForItsValue) {
  Run({"define stopit", "calls = calls + 1", "stopit = 0", "if calls > 2 then", "stopit = 1", "end_if", "end"});
  EXPECT_EQ(zolt.HaltValue(interp), 0);  // none set
  Tokens({"nosuch"});
  try {
    zolt.SetHalt(interp);
    ADD_FAILURE();
  } catch (const ZoltExcept& e) {
    EXPECT_STREQ(e.Text(), "Zolt-function name expected but not found");
  }
  Tokens({"stopit"});
  zolt.SetHalt(interp);
  EXPECT_EQ(zolt.HaltValue(interp), 0);
  EXPECT_EQ(zolt.HaltValue(interp), 0);
  EXPECT_EQ(zolt.HaltValue(interp), 1);
  zolt.Clear(interp);
  EXPECT_EQ(zolt.Halt(), nullptr);
}

TEST_F(ScriptingLevelTest, PrintZoltListsEveryVariable) {
  Run({"define fn", "i = 42", "r = 1.5", "s = 'text'", "array a(2,3)", "fn = -3", "end", "fn"});
  EXPECT_EQ(Run({"print zolt"}),
            "Terrax>print zolt\n"
            "                     Value   Name\n"
            "                     -----   ----\n"
            "                 - array -  a(2,3)\n"
            "  (function)            -3  fn\n"
            "                        42  i\n"
            "                1.5000e+00  r\n"
            "                - string -  s\n");
  // The debugging listings name statements and symbols by their place.
  const std::string p = Run({"print -p"});
  EXPECT_NE(p.find("     1 HEAD    4 Y2 "), std::string::npos) << p;
  EXPECT_NE(p.find(" .END "), std::string::npos) << p;
  const std::string s = Run({"print -s"});
  EXPECT_NE(s.find("Y2     S1       0   0           -3 fn\n"), std::string::npos) << s;
  Run({"define cases", "case_of i", "case 1", "case 2", "end_case", "end"});
  const std::string t = Run({"print -t"});
  EXPECT_NE(t.find(" Table S"), std::string::npos) << t;
  EXPECT_EQ(Run({"print -m"}), "Terrax>print -m\n");
}

TEST_F(ScriptingLevelTest, RegistrationsAndTheCheckOptionSurviveSaveAndRestore) {
  Run({"define a1", "end", "define b2", "end", "set zoltcall 0 a1", "set zoltcall 0 b2", "set zoltcall 49 a1",
       "set zoltcall 17 b2", "set zoltcall check on"});
  const std::string saved = Saved();
  zolt.Clear(interp);
  MemoryStream in;
  in.bytes = saved;
  zolt.RestoreState(interp, in);
  zolt.RemapPointers(interp);
  EXPECT_EQ(Saved(), saved);
  EXPECT_EQ(zolt.State().options[2], 1);
  EXPECT_EQ(Run({"print zoltcall"}),
            "Terrax>print zoltcall\n"
            "  Zoltcall number     function name\n"
            "  ---------------     -------------\n"
            "   0                  b2\n"
            "   0                  a1\n"
            "  17                  b2\n"
            "  49                  a1\n");
}

}  // namespace

namespace {

// A function draws when one of its operands is a drawing intrinsic.
TEST_F(ScriptingLevelTest, DrawingIntrinsicsAreFoundInTheirFunction) {
  Run({"define plain", "x = 1", "end", "define drawer", "y = 2", "end"});
  EXPECT_FALSE(ZoltInterpreter::UsesPlotIntrinsics(*Symbol("plain")));
  EXPECT_FALSE(ZoltInterpreter::UsesPlotIntrinsics(*Symbol("x")));
  ZoltStatement* move = Symbol("drawer")->function->Next();
  for (int32_t code : {35, 36, 48, 49, 57, 59, 60}) {
    move->a.SetWordTag(ZoltValue::kIntrinsic, code);
    EXPECT_EQ(ZoltInterpreter::UsesPlotIntrinsics(*Symbol("drawer")),
              (code >= 36 && code <= 48) || (code >= 57 && code <= 59))
        << code;
  }
  // The walk stops at the function's end.
  EXPECT_FALSE(ZoltInterpreter::UsesPlotIntrinsics(*Symbol("plain")));
}

}  // namespace
