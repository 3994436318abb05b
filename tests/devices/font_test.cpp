#include "devices/font_list.h"

#include <gtest/gtest.h>

#include "base/except.h"
#include "devices/test_devices.h"

namespace {

FontDesc Request(int width, int height, int kind, uint8_t style, const char* face = "") {
  FontDesc d(width, height, kind, style);
  d.faceName = face;
  return d;
}

TEST(FontTest, RequestsFindTheirFace) {
  struct Case {
    FontDesc request;
    const char* face;
  } cases[] = {
      {Request(0, 0, 0, 0), "System"},
      {Request(0, 0, 2, FontDesc::kFixedPitch), "FixedSys"},
      {Request(8, 16, 0, FontDesc::kFixedPitch), "Courier New"},
      {Request(8, 16, 3, FontDesc::kFixedPitch), "Courier New"},
      {Request(8, 16, 1, 0), "Times New Roman"},
      {Request(8, 16, 2, 0), "Arial"},
      {Request(8, 16, 1, FontDesc::kFixedPitch), "Times New Roman"},  // no fixed serif: the pitch is dropped
      {Request(8, 16, 2, 0, "courier new"), "Courier New"},
      {Request(8, 16, 1, 0, "Helvetica"), "Times New Roman"},  // no such face: the kind decides
  };
  for (const Case& c : cases) {
    RasterTestDevice device;
    FontInfo info = device.SelectFont(c.request);
    EXPECT_EQ(info.faceName, String(c.face)) << c.request.width << "x" << c.request.height << " kind " << c.request.kind
                                             << " face '" << c.request.faceName.c_str() << "'";
    EXPECT_EQ(info.kind, 2);
    EXPECT_TRUE(device.fonts.IsEnumerated());
  }
}

// A bitmap size replaces the scalable face found first only when it is wider
// than asked while not higher than asked.
TEST(FontTest, BitmapSizesReplaceAScalableChoiceOnlyWhenWider) {
  FontList list;
  list.Enumerate(nullptr);
  struct Case {
    int width, height;
    const char* face;
    int sizeHeight;
  } cases[] = {{10, 16, "Arial", 0}, {6, 16, "MS Sans Serif", 16}, {4, 15, "MS Sans Serif", 13}, {4, 12, "Arial", 0}};
  for (const Case& c : cases) {
    const LogicalFont* found = list.Find(Request(c.width, c.height, 2, 0));
    ASSERT_NE(found, nullptr);
    EXPECT_STREQ(found->faceName, c.face) << c.width << "x" << c.height;
    EXPECT_EQ(found->height, c.sizeHeight);
  }
}

TEST(FontTest, AKindNoFaceHasFails) {
  RasterTestDevice device;
  try {
    device.SelectFont(Request(8, 16, 5, 0));
    FAIL() << "no error";
  } catch (const DeviceExcept& e) {
    EXPECT_STREQ(e.Text(), "Failure to find WinFont (16,8)");
  }
}

TEST(FontTest, StyleBitsReachTheRealisedFont) {
  RasterTestDevice device;
  EXPECT_EQ(device.SelectFont(Request(8, 16, 2, 0)).style, 8);
  EXPECT_EQ(device.SelectFont(Request(8, 16, 2, FontDesc::kBold)).style, 9);
  EXPECT_EQ(device.SelectFont(Request(8, 16, 2, FontDesc::kItalic | FontDesc::kBold)).style, 11);
}

// A font wider on average than asked is asked for again lower, down to the
// largest height at which the font found fits the width.
TEST(FontTest, TooWideFontsComeDownToTheLargestHeightThatFits) {
  struct Case {
    FontDesc request;
    const char* face;
    int height;
  } cases[] = {
      {Request(9, 40, 2, 0, "MS Sans Serif"), "MS Sans Serif", 20},
      {Request(4, 30, 2, 0), "Arial", 12},
      {Request(3, 2000000000, 2, 0, "MS Sans Serif"), "MS Sans Serif", 13},
  };
  for (const Case& c : cases) {
    RasterTestDevice device;
    FontInfo info = device.SelectFont(c.request);
    EXPECT_EQ(info.faceName, String(c.face));
    EXPECT_EQ(info.height, c.height);
    // The same font as asking one unit lower at a time.
    if (c.request.height > 100) continue;
    FontDesc d = c.request;
    RasterFont f;
    for (;; --d.height) {
      f = WinFont(device.fonts, &device.context, d);
      if (f.averageWidth <= d.width || d.height < 2) break;
    }
    EXPECT_EQ(info.height, f.height);
    EXPECT_EQ(info.faceName, String(f.faceName));
  }
  // Without a width nothing is too wide: not the smallest size, but the one
  // the height asks for.
  RasterTestDevice device;
  EXPECT_EQ(device.SelectFont(Request(0, 30, 2, 0, "MS Sans Serif")).height, 29);
}

TEST(FontTest, MetricsAgreeWithTextWidth) {
  const FontDesc requests[] = {Request(0, 16, 2, 0), Request(9, 20, 3, FontDesc::kFixedPitch),
                               Request(0, 13, 0, 0, "MS Sans Serif"), Request(11, 25, 1, FontDesc::kBold)};
  for (const FontDesc& r : requests) {
    RasterTestDevice device;
    FontInfo info = device.SelectFont(r);
    EXPECT_EQ(info.height, info.ascent + info.descent);
    EXPECT_EQ(info.lineHeight, info.height);
    EXPECT_EQ(info.averageWidth, info.averageCharWidth);
    if (r.width) {
      EXPECT_EQ(info.averageCharWidth, r.width);
    }
    EXPECT_EQ(device.TextWidth("xxxxx"), 5 * info.averageCharWidth) << info.faceName.c_str();
    if (r.style & FontDesc::kFixedPitch) {
      EXPECT_EQ(device.TextWidth("Wi.,M"), 5 * info.averageCharWidth);
    }
    EXPECT_EQ(device.TextWidth("xi"), device.TextWidth("x") + device.TextWidth("i"));
  }
}

}  // namespace
