// PLOT SET phrases on one view: which level takes a word, the clamps of the
// caption and the window, the key-poll wait, and what a failing phrase keeps.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "base/app.h"
#include "base/command.h"
#include "support/interp_fixture.h"
#include "view/view_harness.h"
#include "view/view_port.h"

namespace {

class ViewKeywordsTest : public ::testing::Test {
 protected:
  FakeDevice device;
  MacroTable macros;
  CommandType interp{0, &macros, true, &device};
  TestItemsInstalled items;
  ViewPort view;

  void TearDown() override { KeyPollInterval() = 500 * 1000; }

  // The view's phrases until none is left (2) or a word no level knows.
  int Parse(const char* words) {
    interp.ClearTokens();
    interp.Expand(String(words));
    int code;
    while ((code = view.ParseKeyword(interp)) == CommandType::kOk) {
    }
    return code;
  }
  std::string Failure(const char* words) {
    try {
      Parse(words);
    } catch (const KWRExcept& e) {
      return e.Text();
    }
    return "";
  }
};

TEST_F(ViewKeywordsTest, ClampsAndOneLetterWords) {
  struct Case {
    const char* words;
    double caption;
    double rect[4];
  } cases[] = {
      {"caption size 80", 0.5, {0, 0, 0, 0}},
      {"caption size 1", 0.05, {0, 0, 0, 0}},
      {"caption size 30", 0.3, {0, 0, 0, 0}},
      {"window position 0.95 -1 size 0.5 0.5", 0.3, {0.9, 0, 1.0, 0.5}},
      {"window size 0.01 0.01 position 0 0", 0.3, {0, 0, 0.1, 0.1}},
      {"window", 0.3, {0, 0, 0.1, 0.1}},  // the current rectangle through the clamps
  };
  for (const Case& c : cases) {
    ViewPort fresh;
    interp.ClearTokens();
    interp.Expand(String(c.words));
    while (fresh.ParseKeyword(interp) == CommandType::kOk) {
    }
    EXPECT_DOUBLE_EQ(fresh.CaptionSize(), c.caption) << c.words;
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(fresh.WindowRect()[i], c.rect[i], 1e-12) << c.words << " " << i;
  }

  // "p" is the view's plane, "pe" the camera's perspective; "c" is colour.
  EXPECT_EQ(Parse("p normal 0 1 0 pe off c off"), CommandType::kMissing);
  EXPECT_DOUBLE_EQ(view.CuttingPlane().Normal()[1], 1.0);
  EXPECT_FALSE(view.Perspective());
  EXPECT_FALSE(view.Colour());
  EXPECT_EQ(Parse("plane"), CommandType::kMissing) << "a plane phrase without plane words";

  EXPECT_EQ(Parse("wait 1.5"), CommandType::kMissing);
  EXPECT_EQ(KeyPollInterval(), 1500);
  EXPECT_EQ(Parse("wait 0"), CommandType::kMissing);
  EXPECT_EQ(KeyPollInterval(), 0);
}

TEST_F(ViewKeywordsTest, AFailingPhraseKeepsThePhrasesBeforeIt) {
  // One caption phrase sets the flag or a side, never both: "left" is a
  // word no level knows, which PLOT SET then reports.
  EXPECT_EQ(Parse("caption right title off caption off left"), CommandType::kUnrecognized);
  EXPECT_EQ(interp.Token().str(), "left");
  EXPECT_FALSE(view.TitleOn());
  EXPECT_FALSE(view.CaptionOn());
  EXPECT_FALSE(view.CaptionLeft());
  EXPECT_EQ(Failure("background automatic foreground nocolour"), "Unrecognized parameter 3 (nocolour)");
  EXPECT_TRUE(view.AutoBackground());
  EXPECT_EQ(Failure("mode plane rotation plane"), "Viewport is not in model mode");
  EXPECT_EQ(view.GetMode(), Camera::kPlane);
  EXPECT_EQ(Parse("bogus"), CommandType::kUnrecognized);
  EXPECT_EQ(interp.TokenIndex(), 0) << "a word no level knows is left";
}

}  // namespace
