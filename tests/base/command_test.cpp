#include "base/command.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include <new>

#include "base/command_table.h"
#include "support/interp_fixture.h"

namespace {

class CommandTest : public ::testing::Test {
 protected:
  FakeDevice device;
  MacroTable macros;
  CommandType interp{0, &macros, true, &device};

  // Tokenises one line as the command loop does.
  std::vector<std::string> Tokens(const char* line) {
    interp.ClearTokens();
    interp.Expand(String(line));
    std::vector<std::string> out;
    for (int i = 0; i < interp.TokenCount(); ++i) out.push_back(interp.Token(i).str());
    return out;
  }
  std::string Run(std::initializer_list<const char*> lines) {
    RunLines(interp, device, lines);
    return device.Take();
  }
};

using Words = std::vector<std::string>;

TEST_F(CommandTest, SplitsWordsAtSeparators) {
  EXPECT_EQ(Tokens("x=1,y=(2)"), (Words{"x", "1", "y", "2"}));
  EXPECT_EQ(Tokens("  step\t10  "), (Words{"step", "10"}));
  EXPECT_EQ(Tokens("a ; b c"), (Words{"a"}));
  EXPECT_EQ(Tokens("a;b"), (Words{"a"}));
}

TEST_F(CommandTest, QuotedWordsKeepTheirQuotesAndEscapes) {
  EXPECT_EQ(Tokens("title 'a b' c"), (Words{"title", "'a b'", "c"}));
  EXPECT_EQ(Tokens("x \"a;b\""), (Words{"x", "\"a;b\""}));
  EXPECT_EQ(Tokens(R"(x 'it\'s' "t\tab")"), (Words{"x", "'it's'", "\"t\tab\""}));
  EXPECT_EQ(Tokens("x 'open ended"), (Words{"x", "'open ended'"}));
  EXPECT_EQ(Tokens(R"(x 'a\)"), (Words{"x", "'a\\'"}));
}

TEST_F(CommandTest, KeywordMatching) {
  struct Case {
    const char* token;
    int expected;
  };
  const char* list = "set step stop print";
  const Case cases[] = {{"ste", 2}, {"s", 1}, {"STE", 2}, {"st", 2}, {"sto", 3}, {"p", 4}, {"steps", 0}, {"x", 0}};
  for (const Case& c : cases) {
    interp.ClearTokens();
    interp.AddToken(String(c.token));
    int result = -1;
    int code = interp.MatchKeyword(list, result);
    EXPECT_EQ(result, c.expected) << c.token;
    EXPECT_EQ(code, c.expected ? 0 : 3) << c.token;
    EXPECT_EQ(interp.TokenIndex(), c.expected ? 1 : 0) << c.token;
  }
}

TEST_F(CommandTest, EmptyTokenSelectsFirstKeywordAndNoTokenIsMissing) {
  interp.ClearTokens();
  interp.AddToken(String());
  int result = 0;
  EXPECT_EQ(interp.MatchKeyword("alpha beta", result), 0);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(interp.MatchKeyword("alpha beta", result), 2);
  interp.SetTokenLimit(0);
  interp.TokenIndex() = 0;
  EXPECT_EQ(interp.MatchKeyword("alpha beta", result), 2);
}

TEST_F(CommandTest, CaseSensitiveMatching) {
  SetCaseSensitive(true);
  interp.ClearTokens();
  interp.AddToken(String("STE"));
  int result = 0;
  EXPECT_EQ(interp.MatchKeyword("step", result), 3);
  SetCaseSensitive(false);
}

TEST_F(CommandTest, BadCommandAndNextLineStillRuns) {
  std::string out = Run({"foo", "macro m 'print version'", "gui", "debug", "", "; note"});
  EXPECT_EQ(out,
            "Terrax>foo\n*** Bad command (foo)\nTerrax>macro m 'print version'\n"
            "Terrax>gui\nTerrax>debug\nTerrax>\nTerrax>; note\n");
}

TEST_F(CommandTest, ContinuationJoinsLines) {
  macros.Define(String("cont"), String("foo &"));
  EXPECT_EQ(Run({"foo &", "bar"}), "Terrax>foo &\nTerrax>bar\n*** Bad command (foo)\n");
  EXPECT_EQ(Run({"cont", "bar"}), "Terrax>cont\nTerrax>bar\n*** Bad command (foo)\n");
}

TEST_F(CommandTest, MacroRecursionIsReportedAndResetForTheNextLine) {
  std::string out = Run({"macro rr 'rr'", "rr", "macro mm 'print version'", "mm"});
  EXPECT_NE(out.find("*** Macro recursion error\n"), std::string::npos);
  EXPECT_NE(out.find("Terrax>mm\nCode version"), std::string::npos) << out;
}

TEST_F(CommandTest, HashMacrosAndSafeMode) {
  std::string out = Run({"macro xx 'print version'", "#zz", "set safe_conversion on", "xx", "#xx", "macro xx", "#xx"});
  EXPECT_NE(out.find("*** Macro zz not found\n"), std::string::npos);
  EXPECT_NE(out.find("Terrax>xx\n*** Bad command (xx)\n"), std::string::npos);
  EXPECT_NE(out.find("Terrax>#xx\nCode version"), std::string::npos);
  EXPECT_NE(out.find("Terrax>#xx\n*** Macro xx not found\n"), std::string::npos) << out;
}

TEST_F(CommandTest, HelpListsKeywordsInLinesOfAtMost78) {
  std::string out = Run({"?"});
  ASSERT_NE(out.find("Checked against keywords...\nquit stop macro call"), std::string::npos) << out;
  size_t start = 0;
  while (start < out.size()) {
    size_t end = out.find('\n', start);
    EXPECT_LE(end - start, 78u);
    start = end + 1;
  }
}

TEST_F(CommandTest, MissingAndUnrecognisedParameters) {
  std::string out = Run({"print", "set foo", "set pagination maybe", "print memory x"});
  EXPECT_NE(out.find("Terrax>print\n*** Missing parameter 1\n"), std::string::npos);
  EXPECT_NE(out.find("*** Unrecognized parameter 1 (foo)\n"), std::string::npos);
  EXPECT_NE(out.find("*** Bad conversion parameter 2 (maybe)\n"), std::string::npos) << out;
}

TEST_F(CommandTest, QuitAndStopExitWithZero) {
  for (const char* word : {"quit", "stop", "q"}) {
    EXPECT_EQ(RunLines(interp, device, {word, "print version"}), 0);
    EXPECT_EQ(device.Take().find("version"), std::string::npos) << word;
    device.lines.clear();
  }
}

TEST_F(CommandTest, TypedGetters) {
  struct Case {
    const char* token;
    int code;
    double value;
  };
  const Case ints[] = {{"12x", 1, 0}, {"+5", 0, 5}, {"-5", 0, -5}, {"1-2", 0, 1}, {"99999999999", 1, 0}, {"", 1, 0}};
  for (const Case& c : ints) {
    interp.ClearTokens();
    interp.AddToken(String(c.token));
    int32_t v = 0;
    EXPECT_EQ(interp.CheckInteger(&v), c.code) << c.token;
    if (c.code == 0) {
      EXPECT_EQ(v, c.value) << c.token;
    }
  }
  const Case reals[] = {{"e5", 1, 0}, {"1e5", 0, 1e5}, {".5", 0, 0.5}, {"-1.5E-3", 0, -1.5e-3}, {"1x", 1, 0}};
  for (const Case& c : reals) {
    interp.ClearTokens();
    interp.AddToken(String(c.token));
    double v = 0;
    EXPECT_EQ(interp.CheckNumber(&v), c.code) << c.token;
    if (c.code == 0) {
      EXPECT_DOUBLE_EQ(v, c.value) << c.token;
    }
  }
}

TEST_F(CommandTest, StringBoolAndFileNameChecks) {
  interp.ClearTokens();
  for (const char* t : {"'a b'", "o", "t", "maybe", "data", "a.b", "lpt1", "com2"}) interp.AddToken(String(t));
  int quoted = 0;
  EXPECT_STREQ(interp.GetString(nullptr, &quoted).c_str(), "a b");
  EXPECT_EQ(quoted, 1);
  EXPECT_TRUE(interp.GetBool());
  EXPECT_TRUE(interp.GetBool());
  bool b;
  EXPECT_EQ(interp.CheckBool(&b), 1);
  interp.TokenIndex()++;
  EXPECT_STREQ(interp.GetFileName("dat").c_str(), "data.dat");
  EXPECT_STREQ(interp.GetFileName("dat").c_str(), "a.b");
  EXPECT_STREQ(interp.GetFileName("dat").c_str(), "lpt1");
  EXPECT_STREQ(interp.GetFileName("dat").c_str(), "com2");
  EXPECT_THROW(interp.GetInt(), CommandType::MissingExcept);
}

TEST_F(CommandTest, PrintMacroListsInNameOrder) {
  std::string out = Run({"macro zz 'b'", "macro aa 'print version'", "print macro"});
  EXPECT_NE(out.find("List of All Macros ...\nName                 Contents\n"
                     "-------------------- ------------------\n"
                     "aa                   'print version'\nzz                   'b'\n"),
            std::string::npos)
      << out;
}

// An allocation of the standard library that fails inside a command is
// reported as the program's own allocation failures are; the loop goes on.
TEST_F(CommandTest, AllocationFailureIsReportedAndTheNextLineRuns) {
  struct Greedy : ScriptLevel {
    int Dispatch(CommandType& in) override {
      if (in.Token(0) == "grow") throw std::bad_alloc();
      return in.ExecuteGeneral();
    }
    int Print(CommandType& in) override { return in.PrintGeneral(); }
    int Set(CommandType& in) override { return in.SetGeneral(); }
    void Clear(CommandType&) override {}
  } greedy;
  interp.SetScriptLevel(&greedy);
  std::string out;
  EXPECT_NO_THROW(out = Run({"grow", "print version"}));
  interp.SetScriptLevel(nullptr);
  EXPECT_NE(out.find("Terrax>grow\n*** Memory allocation error\nTerrax>print version\nCode version"), std::string::npos)
      << out;
}

}  // namespace

TEST(CommandTableTest, WordsInOrderAndHandlersInstalledByWord) {
  CommandTable<int (*)()> table("test", {{"zone", [] { return 1; }}, {"gp"}, {"tetra", kNotAvailable}});
  EXPECT_STREQ(table.Keywords(), "zone gp tetra");
  EXPECT_EQ(table.Count(), 3);
  EXPECT_STREQ(table.UpperName(2).c_str(), "GP");
  EXPECT_EQ(table.HandlerOf(1)(), 1);
  EXPECT_FALSE(table.HasHandler(2));
  table.Install("gp", [] { return 7; });
  EXPECT_EQ(table.HandlerOf(2)(), 7);
  EXPECT_FALSE(table.Available(3));
  // A word that is not there, given in part, or marked not available cannot be installed.
  EXPECT_THROW(table.Install("nothing", [] { return 0; }), std::logic_error);
  EXPECT_THROW(table.Install("g", [] { return 0; }), std::logic_error);
  EXPECT_THROW(table.Install("tetra", [] { return 0; }), std::logic_error);
}
