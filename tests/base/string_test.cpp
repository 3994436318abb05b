#include "base/string.h"

#include <gtest/gtest.h>

#include "base/message.h"
#include "base/savestream.h"
#include "support/memory_stream.h"

namespace {

class CaseSwitch {
 public:
  explicit CaseSwitch(bool on) : old_(IsCaseSensitive()) { SetCaseSensitive(on); }
  ~CaseSwitch() { SetCaseSensitive(old_); }

 private:
  bool old_;
};

TEST(StringTest, CapacityFollowsTheGranuleOfEight) {
  EXPECT_EQ(String().Capacity(), 8);
  EXPECT_EQ(String("abc").Capacity(), 8);
  EXPECT_EQ(String("abcdefg").Capacity(), 8);
  EXPECT_EQ(String("abcdefgh").Capacity(), 16);
  String s("0123456789");
  s.SetLength(3);
  EXPECT_EQ(s.Capacity(), 8);
  EXPECT_STREQ(s.c_str(), "012");
}

TEST(StringTest, CopiesAreIndependent) {
  String a("abc");
  String b = a;
  b += "d";
  b.SetAt(0, 'X');
  EXPECT_STREQ(a.c_str(), "abc");
  EXPECT_STREQ(b.c_str(), "Xbcd");
}

TEST(StringTest, ComparisonFoldsCaseUnlessSwitchIsOn) {
  {
    CaseSwitch off(false);
    EXPECT_EQ(String("Zone").Compare("ZONE"), 0);
    EXPECT_EQ(String("print").ComparePrefix("PR"), 0);
  }
  CaseSwitch on(true);
  EXPECT_NE(String("Zone").Compare("ZONE"), 0);
  EXPECT_NE(String("print").ComparePrefix("PR"), 0);
}

TEST(StringTest, CompareOrdersSignedBytes) {
  EXPECT_EQ(String("abc").Compare("abd"), -1);
  EXPECT_EQ(String("abd").Compare("abc"), 1);
  EXPECT_EQ(String("ab").Compare("abc"), -1);
  EXPECT_EQ(String("abc").Compare("ab"), 1);
  EXPECT_EQ(String("abc").Compare(nullptr), 1);
  EXPECT_EQ(String("\xe9").Compare("a"), -1);  // bytes above 127 sort first
}

TEST(StringTest, ComparePrefix) {
  EXPECT_EQ(String("print").ComparePrefix("printx"), 1);
  EXPECT_EQ(String("print").ComparePrefix(""), 1);
  EXPECT_EQ(String("").ComparePrefix(""), 0);
  EXPECT_EQ(String("").ComparePrefix("a"), -1);
  EXPECT_EQ(String("print").ComparePrefix("p"), 0);
}

TEST(StringTest, NextToken) {
  String s("  ab,cd");
  EXPECT_STREQ(s.NextToken(" ,").c_str(), "ab");
  EXPECT_STREQ(s.c_str(), ",cd");
  EXPECT_STREQ(s.NextToken(" ,").c_str(), "cd");
  EXPECT_TRUE(s.IsEmpty());
  String d(" ,, ");
  EXPECT_TRUE(d.NextToken(" ,").IsEmpty());
  EXPECT_TRUE(d.IsEmpty());
}

TEST(StringTest, SetAtAndInsertPadWithBlanks) {
  String a("ab");
  a.SetAt(5, 'x');
  EXPECT_STREQ(a.c_str(), "ab   x");
  String b("ab");
  EXPECT_EQ(b.Insert('x', 5), 6);
  EXPECT_STREQ(b.c_str(), "ab   x");
  String c("abc");
  c.Insert('x', 1);
  EXPECT_STREQ(c.c_str(), "axbc");
  c.Delete(0);
  EXPECT_STREQ(c.c_str(), "xbc");
}

TEST(StringTest, Conversions) {
  EXPECT_EQ(String("0x1F").ToUnsigned(), 31u);
  EXPECT_EQ(String("017").ToUnsigned(), 15u);
  EXPECT_EQ(String("017").ToInt(), 17);
  EXPECT_EQ(String("1-2").ToInt(), 1);
  EXPECT_EQ(String("abc").ToInt(), 0);
  EXPECT_DOUBLE_EQ(String("-1.5E-3").ToDouble(), -1.5e-3);
  EXPECT_TRUE(String("1.5e3, -2").IsNumeric());
  EXPECT_FALSE(String("").IsNumeric());
  EXPECT_FALSE(String(" , ").IsNumeric());
  EXPECT_FALSE(String("1.5x").IsNumeric());
  EXPECT_STREQ(DoubleToString(1.0, 3, 11, 1).c_str(), "  1.000e+00");
  EXPECT_STREQ(DoubleToString(2.5, 2, 3, 0).c_str(), "2.50");
  EXPECT_STREQ(IntToString(-42).c_str(), "-42");
}

TEST(StringTest, FormatTextPlaceholders) {
  EXPECT_STREQ(FormatText("Error in %1 at %2%", "a", "b").c_str(), "Error in a at b%");
  EXPECT_STREQ(FormatText("%7 and %s and %%", "a").c_str(), "%7 and %s and %%");
  EXPECT_TRUE(FormatText(nullptr).IsEmpty());
}

TEST(StringTest, KeyText) {
  struct Case {
    uint32_t code;
    const char* text;
  };
  const Case cases[] = {
      {'A', "Shft+A"},       {'a', "A"},
      {32, "SPACE"},         {0x10003, "Ctrl+C"},
      {0x10000074, "F5"},    {0x1001007B, "Ctrl+F12"},
      {0x10020052, "Alt+R"}, {0x10020053, "Alt+S"},
      {0x10020042, ""},      {0x1001002D, "Ctrl+Ins"},
      {0x10020035, "Alt+5"}, {'+', "+"},
  };
  for (const Case& c : cases) EXPECT_STREQ(KeyText(c.code).c_str(), c.text) << std::hex << c.code;
}

TEST(StringTest, SaveFormIsLengthAndBytes) {
  MemoryStream m;
  SaveString(m, String("abc"));
  EXPECT_EQ(m.bytes, std::string("\x03\x00\x00\x00"
                                 "abc",
                                 7));
  String back;
  RestoreString(m, back);
  EXPECT_STREQ(back.c_str(), "abc");
}

TEST(StringTest, RestoreRefusesLengthBeyondTheStream) {
  MemoryStream m;
  m.WriteI32(1000000000);
  String back("old");
  EXPECT_ANY_THROW(RestoreString(m, back));
}

TEST(MessageTextTest, Substitution) {
  EXPECT_STREQ(MessageText("Zone %s not found").c_str(), "Zone %s not found");
  EXPECT_STREQ(MessageText("Group %s of zone %s", "a", "7").c_str(), "Group a of zone 7");
  EXPECT_STREQ(MessageText("Group %S", "a").c_str(), "Group a");
  EXPECT_STREQ(MessageText("50%x %s", "a").c_str(), "50%x a");
  // A placeholder without an argument gives nothing.
  EXPECT_STREQ(MessageText("%s and %s", "a").c_str(), "a and ");
}

}  // namespace
