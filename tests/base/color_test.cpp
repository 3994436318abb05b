#include "base/color.h"

#include <gtest/gtest.h>

#include <string>

#include "base/app.h"
#include "base/savestream.h"
#include "support/interp_fixture.h"
#include "support/memory_stream.h"

namespace {

class ColorTest : public ::testing::Test {
 protected:
  FakeDevice device;
  MacroTable macros;
  CommandType interp{0, &macros, true, &device};

  // Parses the words into `color`; answers the code.
  int Parse(Color& color, std::initializer_list<const char*> words) {
    interp.ClearTokens();
    for (const char* w : words) interp.AddToken(String(w));
    return color.Parse(interp);
  }
  Color Parsed(std::initializer_list<const char*> words) {
    Color c;
    EXPECT_EQ(Parse(c, words), CommandType::kOk);
    return c;
  }
};

void ExpectBytes(const Color& c, int r, int g, int b, int flag) {
  EXPECT_EQ(c.Red(), r);
  EXPECT_EQ(c.Green(), g);
  EXPECT_EQ(c.Blue(), b);
  EXPECT_EQ(c.Flag(), flag);
}

TEST_F(ColorTest, PhrasesClampChannelsAndComputeTheGreyLevel) {
  Color rgb = Parsed({"rgb", "2", "-1", "0.5"});
  ExpectBytes(rgb, 255, 0, 127, 0);
  EXPECT_DOUBLE_EQ(rgb.Gray(), 90.0 / 255.0);
  ExpectBytes(Parsed({"hsb", "0", "0", "1"}), 255, 255, 255, 0);
  ExpectBytes(Parsed({"hsb", "0", "1", "1"}), 255, 0, 0, 0);
  ExpectBytes(Parsed({"hsb", "0.4", "0.7", "0"}), 0, 0, 0, 0);
  ExpectBytes(Parsed({"lor"}), 255, 216, 127, 0);  // abbreviations of the keywords
  ExpectBytes(Parsed({"b"}), 0, 0, 0, 0);          // black comes before blue
  EXPECT_EQ(Parsed({"dgray"}).Gray(), 0.35);
  // "gray" keeps the flag the colour had.
  Color none = colors::kNone;
  ASSERT_EQ(Parse(none, {"gray", "0.5"}), CommandType::kOk);
  ExpectBytes(none, 127, 127, 127, 1);
  EXPECT_DOUBLE_EQ(none.Gray(), 0.5);
}

TEST_F(ColorTest, BadWordsLeaveTheColourAndReportTheirCode) {
  Color c = colors::kRed;
  EXPECT_EQ(Parse(c, {"purple"}), CommandType::kUnrecognized);
  EXPECT_EQ(Parse(c, {}), CommandType::kMissing);
  EXPECT_EQ(c, colors::kRed);
  EXPECT_THROW(Parse(c, {"rgb", "1", "x", "1"}), CommandType::ConvertExcept);
  interp.ClearTokens();
  interp.AddToken(String("purple"));
  EXPECT_THROW(Color::ParseOrDefault(interp), CommandType::UnrecognizedExcept);
}

TEST_F(ColorTest, EqualityToleratesTwoStepsAndIgnoresGrey) {
  Color a = Color::FromBytes(100, 100, 100, 0, 0.1);
  EXPECT_EQ(a, Color::FromBytes(102, 98, 100, 0, 0.9));
  EXPECT_NE(a, Color::FromBytes(103, 100, 100, 0, 0.1));
  EXPECT_NE(a, Color::FromBytes(100, 100, 100, 1, 0.1));
}

TEST_F(ColorTest, NamesAndKeywords) {
  EXPECT_EQ(Color::FromBytes(129, 127, 253, 0, 0).Name().str(), "Light Blue");
  EXPECT_EQ(Color::FromBytes(128, 128, 128, 0, 0).Name().str(), "R0.50196 G0.50196 B0.50196 GS0.00000");
  EXPECT_EQ(Color::FromBytes(128, 128, 128, 0, 0).KeywordName().str(), "rgb 0.50196 0.50196 0.50196");
  EXPECT_EQ(colors::kNone.Name().str(), "None");
  EXPECT_EQ(colors::kLightOrange.KeywordName().str(), "lorange");
  // Every keyword names its colour back.
  for (const char* word : {"black", "blue", "green", "cyan", "red", "magenta", "orange", "brown", "lgray", "dgray",
                           "lblue", "lgreen", "lcyan", "lred", "lmagenta", "lorange", "yellow", "white", "none"})
    EXPECT_EQ(Parsed({word}).KeywordName().str(), word);
}

TEST_F(ColorTest, ShadeLightenAndDarken) {
  Color c = Color::FromBytes(200, 100, 0, 0, 0.5);
  c.Shade(0.0);
  ExpectBytes(c, 30, 15, 0, 0);
  EXPECT_DOUBLE_EQ(c.Gray(), 0.075);
  ExpectBytes(Color::FromBytes(200, 100, 0, 1, 0.5).Lighter(), 255, 163, 63, 0);
  ExpectBytes(Color::FromBytes(200, 100, 0, 1, 0.5).Darker(), 136, 36, 0, 0);
}

TEST_F(ColorTest, RecordsAreTwelveBytesAndOldFilesHoldAFloat) {
  MemoryStream s;
  Color::FromBytes(1, 2, 3, 1, 0.25).Write(s);
  ASSERT_EQ(s.bytes.size(), 12u);
  Color back;
  back.Read(s);
  ExpectBytes(back, 1, 2, 3, 1);
  EXPECT_EQ(back.Gray(), 0.25);

  MemoryStream old;
  for (uint8_t b : {9, 8, 7, 0}) old.WriteU8(b);
  old.WriteF32(0.5f);
  CurrentRestoreVersions().format = 132;
  back.Read(old);
  ResetRestoreVersions();
  ExpectBytes(back, 9, 8, 7, 0);
  EXPECT_EQ(back.Gray(), 0.5);
  EXPECT_EQ(old.Remaining(), 0u);
}

TEST_F(ColorTest, AutomaticColoursRepeatEvery512) {
  EXPECT_EQ(&AutoColor(512), &AutoColor(0));
  const Color& first = AutoColor(0);
  EXPECT_EQ(first.Flag(), 1);
  // Hue 2/3 (blue) at full saturation and brightness 0.5.
  EXPECT_EQ(first.Red(), 0);
  EXPECT_EQ(first.Green(), 0);
  EXPECT_GE(first.Blue(), 253);
  EXPECT_NE(AutoColor(1), AutoColor(2));
  EXPECT_EQ(AutoColor(-1).Flag(), 1);
}

TEST_F(ColorTest, LineStylesCompareTheLengthsInUse) {
  EXPECT_EQ(PredefinedLineStyle(0).Count(), 0);
  EXPECT_EQ(PredefinedLineStyle(4).Count(), 6);
  EXPECT_EQ(PredefinedLineStyle(4).Length(2), 20);
  EXPECT_EQ(PredefinedLineStyle(5), (LineStyle{5, 5}));
  EXPECT_NE(PredefinedLineStyle(5), (LineStyle{5, 5, 5}));
  EXPECT_EQ(PredefinedLineStyle(99), PredefinedLineStyle(0));
  FontInfo info;
  EXPECT_EQ(info.kind, 3);
  EXPECT_EQ(info.faceName.str(), "None");
  FontDesc desc(8, 12, 0, FontDesc::kBold);
  EXPECT_EQ(desc.height, 12);
  EXPECT_TRUE(desc.faceName.IsEmpty());
}

}  // namespace
