// Edge cases of the typed parameter checks and getters.
#include <gtest/gtest.h>

#include <initializer_list>

#include "base/command.h"
#include "support/fake_device.h"

namespace {

class ParamsTest : public ::testing::Test {
 protected:
  FakeDevice device;
  MacroTable macros;
  CommandType interp{0, &macros, true, &device};

  void Tokens(std::initializer_list<const char*> words) {
    interp.ClearTokens();
    for (const char* w : words) interp.AddToken(String(w));
  }
};

TEST_F(ParamsTest, NonNegativeIntegerGivesTheTokenBack) {
  Tokens({"-3", "4"});
  int32_t v = 99;
  EXPECT_EQ(interp.CheckNonNegInt(&v), 1);
  EXPECT_EQ(v, 99);
  EXPECT_EQ(interp.TokenIndex(), 0);
  // CheckInt keeps the output on failure.
  EXPECT_EQ(interp.CheckInt(&v), 0);
  EXPECT_EQ(v, -3);
  EXPECT_EQ(interp.CheckNonNegInt(&v), 0);
  EXPECT_EQ(v, 4);
  EXPECT_EQ(interp.CheckNonNegInt(&v), 2);
}

TEST_F(ParamsTest, TokenLimitMakesTokensAbsent) {
  Tokens({"1", "2"});
  interp.SetTokenLimit(1);
  EXPECT_EQ(interp.GetInt(), 1);
  int32_t v = 0;
  EXPECT_EQ(interp.CheckInteger(&v), 2);
  EXPECT_FALSE(interp.HasToken());
  String s;
  EXPECT_EQ(interp.CheckString(&s), 2);
}

TEST_F(ParamsTest, VectorsStopAtTheFirstFailure) {
  Tokens({"1", "2.5", "x", "4"});
  double v2[2];
  interp.GetVector2(v2);
  EXPECT_EQ(v2[1], 2.5);
  double v3[3];
  int idx = 0;
  EXPECT_EQ(interp.CheckVector(v3, &idx), 1);
  EXPECT_EQ(idx, 2);  // the failing component is not consumed
  try {
    interp.GetVector(v3);
    FAIL();
  } catch (const CommandType::ConvertExcept& e) {
    EXPECT_STREQ(e.Text(), "Bad conversion parameter 2 (x)");
  }
  Tokens({"1", "2"});
  EXPECT_THROW(interp.GetVector(v3), CommandType::MissingExcept);
}

TEST_F(ParamsTest, FileModesAndHelp) {
  struct Case {
    const char* word;
    uint32_t mode;
    int index;
  };
  for (const Case& c : {Case{"append", 8, 1}, Case{"o", 16, 1}, Case{"create", 8192, 1}, Case{"other", 0, 0}}) {
    Tokens({c.word});
    EXPECT_EQ(interp.GetFileMode(), c.mode) << c.word;
    EXPECT_EQ(interp.TokenIndex(), c.index) << c.word;
  }
  Tokens({});
  EXPECT_EQ(interp.GetFileMode(), 0u);
  // "?" for a keyword ends in the unrecognised-parameter exception, which the
  // command loop turns into the help listing; a string check may refuse it.
  Tokens({"?"});
  EXPECT_THROW(interp.GetKeyword("alpha beta"), CommandType::UnrecognizedExcept);
  String s;
  EXPECT_EQ(interp.CheckString(&s, nullptr, nullptr, true), 1);
  EXPECT_EQ(interp.CheckString(&s, nullptr, nullptr, false), 0);
  EXPECT_STREQ(s.c_str(), "?");
}

TEST_F(ParamsTest, UnknownCodesAndNullOutputs) {
  Tokens({"5"});
  EXPECT_NO_THROW(interp.ThrowParamError(0));
  EXPECT_NO_THROW(interp.ThrowParamError(7));
  EXPECT_EQ(interp.CheckInteger(nullptr), 1);
  EXPECT_EQ(interp.CheckBool(nullptr), 1);
  void* p = nullptr;
  uint32_t kind = 9;
  EXPECT_EQ(interp.CheckPointer(&p, &kind), 1);
  EXPECT_EQ(kind, 0u);
}

TEST_F(ParamsTest, FileNames) {
  struct Case {
    const char* token;
    const char* name;
  };
  for (const Case& c : {Case{"'my file'", "my file.sav"}, Case{"prn", "prn"}, Case{"PRN", "PRN"},
                        Case{"abc", "abc.sav"}, Case{"dir.x/name", "dir.x/name"}, Case{"10", "10.sav"}}) {
    Tokens({c.token});
    EXPECT_STREQ(interp.GetFileName("sav").c_str(), c.name) << c.token;
  }
}

}  // namespace
