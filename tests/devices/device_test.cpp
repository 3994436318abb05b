#include "devices/device.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/except.h"
#include "devices/test_devices.h"
#include "support/alloc_counter.h"

namespace {

constexpr ColorRef kRed = 0x0000FF;
constexpr ColorRef kWhite = 0xFFFFFF;

// The columns of row y that are not white.
std::vector<int> InkColumns(const Raster& r, int y) {
  std::vector<int> xs;
  for (int x = 0; x < r.Width(); ++x)
    if (r.Pixel(x, y) != kWhite) xs.push_back(x);
  return xs;
}

TEST(DeviceTest, PenWidthFollowsTheSurfaceWidth) {
  struct Case {
    int surface, requested, effective;
  } cases[] = {{640, 0, 0}, {640, 1, 2}, {640, 4, 5}, {2160, 1, 2}, {7200, 1, 13}, {7200, 0, 3}, {2880, 2, 9}};
  for (const Case& c : cases) {
    RasterTestDevice device(8, 8, {c.surface, 100});
    device.SetPenWidth(c.requested);
    EXPECT_EQ(device.PenWidth(), c.effective) << c.surface << " wide, width " << c.requested;
    EXPECT_EQ(device.context.Pen().width, c.effective);
  }
}

TEST(DeviceTest, SetColorChangesNothingForTheCurrentColourOrNone) {
  RasterTestDevice device;
  device.SetPenWidth(2);
  EXPECT_EQ(device.SetColor(kRed), 0) << "the previous text colour, black";
  EXPECT_EQ(device.SetColor(0x00FF00), int32_t(kRed));
  device.context.SetPen({0x123456, 7, false});  // stands for a pen the device must leave alone
  EXPECT_EQ(device.SetColor(0x00FF00), -1);
  EXPECT_EQ(device.SetColor(kNoColor), -1);
  EXPECT_EQ(device.context.Pen().color, 0x123456u);
  EXPECT_EQ(device.CurrentColor(), 0x00FF00u);
  device.SetColor(kRed);
  EXPECT_EQ(device.context.Pen().color, kRed);
  EXPECT_EQ(device.context.Pen().width, 3);
  EXPECT_EQ(device.context.Brush().color, kRed);
}

// Dashes of style (4, 4): a dash is drawn from the pixel where it begins to
// the one where it ends, that end excluded.
TEST(DeviceTest, DashPhaseRunsOnAlongAPathAndRestartsAtANewStart) {
  struct Case {
    const char* name;
    std::vector<PixelPoint> moves;  // the first is a MoveTo, the others LineTo; {-1,-1} moves to the next point
    std::vector<int> ink;
  } cases[] = {
      {"one path through a vertex", {{0, 5}, {2, 5}, {12, 5}}, {0, 1, 7, 8, 9}},
      {"a move to the current point", {{0, 5}, {2, 5}, {-1, -1}, {2, 5}, {12, 5}}, {0, 1, 7, 8, 9}},
      {"a move elsewhere", {{0, 5}, {2, 5}, {-1, -1}, {3, 5}, {13, 5}}, {0, 1, 3, 4, 5, 11, 12}},
  };
  for (const Case& c : cases) {
    RasterTestDevice device(20, 10);
    device.SetColor(kRed);
    device.SetLineStyle(LineStyle{4, 4});
    device.MoveTo(c.moves[0]);
    for (size_t i = 1; i < c.moves.size(); ++i) {
      if (c.moves[i].x == -1) {
        device.MoveTo(c.moves[++i]);
        continue;
      }
      device.LineTo(c.moves[i]);
    }
    EXPECT_EQ(InkColumns(device.raster, 5), c.ink) << c.name;
  }
}

// Two devices drawing in turn keep their own dash patterns, and a solid line
// after a dashed one starts at the current position.
TEST(DeviceTest, DashPatternsBelongToTheirDevice) {
  RasterTestDevice a(30, 10), b(30, 10);
  a.SetColor(kRed);
  b.SetColor(kRed);
  a.SetLineStyle(LineStyle{4, 4});
  a.MoveTo({0, 5});
  a.LineTo({6, 5});
  b.SetLineStyle(PredefinedLineStyle(0));
  b.MoveTo({0, 5});
  b.LineTo({6, 5});
  a.LineTo({12, 5});
  EXPECT_EQ(InkColumns(a.raster, 5), (std::vector<int>{0, 1, 2, 7, 8, 9}));
  EXPECT_EQ(InkColumns(b.raster, 5).size(), 6u);

  a.SetLineStyle(PredefinedLineStyle(0));
  a.LineTo({12, 8});
  EXPECT_EQ(InkColumns(a.raster, 6), std::vector<int>{12});
  EXPECT_EQ(InkColumns(a.raster, 7), std::vector<int>{12});
}

TEST(DeviceTest, RectanglesIgnoreTheDashStyle) {
  RasterTestDevice r(30, 20);
  r.SetColor(kRed);
  r.SetLineStyle(LineStyle{2, 5});
  r.DrawRect({2, 2, 12, 8});
  EXPECT_EQ(CountInk(r.raster), 2 * 10 + 2 * 6);
}

// A line from far outside is dashed as if every pixel had been walked: its
// visible part matches the same line drawn on a surface where all of it shows.
TEST(DeviceTest, DashesOfFarLinesKeepTheirPhase) {
  RasterTestDevice wide(4000, 12), narrow(100, 12);
  for (RasterTestDevice* d : {&wide, &narrow}) {
    d->SetColor(kRed);
    d->SetLineStyle(LineStyle{10, 7, 3, 7});
  }
  wide.MoveTo({0, 6});
  wide.LineTo({3999, 6});
  narrow.MoveTo({-1733, 6});
  narrow.LineTo({2266, 6});
  std::vector<int> expected;
  for (int x : InkColumns(wide.raster, 6))
    if (x >= 1733 && x < 1833) expected.push_back(x - 1733);
  EXPECT_EQ(InkColumns(narrow.raster, 6), expected);
  ASSERT_FALSE(expected.empty());

  // From -2e9 to 2e9: only the visible row is touched, dashed.
  RasterTestDevice far(100, 20);
  far.SetColor(kRed);
  far.SetLineStyle(LineStyle{10, 10});
  far.MoveTo({-2000000000, 10});
  far.LineTo({2000000000, 10});
  EXPECT_EQ(CountInk(far.raster), int(InkColumns(far.raster, 10).size()));
  EXPECT_EQ(CountInk(far.raster), 5 * 9) << "each dash of 10 steps draws 9 pixels";
}

// Huge sizes cost no memory: once a shape of as many points has been drawn,
// drawing it again at any size allocates nothing.
TEST(DeviceTest, HugeSizesAllocateNothing) {
  RasterTestDevice device(50, 40);
  device.SetColor(kRed);
  device.SetLineStyle(LineStyle{5, 3});
  auto draw = [&](int size, int width) {
    device.SetPenWidth(width);
    const PixelPoint quad[] = {{-size, -size}, {size, 0}, {size, size}, {0, size}};
    device.FillPolygon(quad, 4);
    device.DrawPolyline(quad, 4, true);
    device.FillCircle({25, 20}, size);
    device.DrawCircle({25, 20}, size);
  };
  draw(30, 1);
  const size_t before = TestAllocations();
  draw(2000000000, 2000000000);
  draw(2000000000, 0);
  EXPECT_EQ(TestAllocations(), before);
}

TEST(DeviceTest, FilledShapesRespectTheirBounds) {
  RasterTestDevice device(20, 20);
  device.SetColor(kRed);
  device.FillRect({5, 5, 5, 10});
  device.FillRect({5, 5, 10, 5});
  EXPECT_EQ(CountInk(device.raster), 0);
  device.FillRect({5, 5, 10, 10});
  EXPECT_EQ(CountInk(device.raster), 25);

  device.Clear();
  const PixelPoint square[] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  device.FillPolygon(square, 4);
  EXPECT_EQ(CountInk(device.raster), 100) << "no outline";

  device.Clear();
  device.FillCircle({10, 10}, 2000000000);
  EXPECT_EQ(CountInk(device.raster), 400);
  device.Clear();
  device.DrawCircle({10, 10}, 2000000000);
  EXPECT_EQ(CountInk(device.raster), 0);
  device.DrawCircle({10, 10}, 5);
  EXPECT_EQ(device.raster.Pixel(10, 10), kWhite);
  EXPECT_GT(CountInk(device.raster), 20);
}

// A device draws in black from the start: asking for black, its colour
// already, changes nothing and must find the drawing context in black.
TEST(DeviceTest, AFirstBlackFillIsBlack) {
  RasterTestDevice device(20, 20);
  device.SetColor(0x000000);
  device.FillRect({5, 5, 10, 10});
  EXPECT_EQ(device.raster.Pixel(7, 7), 0x000000u);
}

TEST(DeviceTest, ClipRectangleGrowsByOnePixelOnEachSide) {
  RasterTestDevice device(20, 20);
  device.SetColor(kRed);
  PixelRect clip{4, 4, 7, 6};
  device.SetClipRect(&clip);
  device.FillRect({0, 0, 20, 20});
  EXPECT_EQ(CountInk(device.raster), 5 * 4);
  device.SetClipRect(nullptr);
  device.FillRect({0, 0, 20, 20});
  EXPECT_EQ(CountInk(device.raster), 400);
}

TEST(DeviceTest, ColourConversions) {
  RasterTestDevice device;
  ColorRef c = device.ToColorRef(Color::FromBytes(33, 0, 255, 0, 0.0));
  EXPECT_EQ(RedOf(c), 32);
  EXPECT_EQ(GreenOf(c), 0);
  EXPECT_EQ(BlueOf(c), 255);
  int lowered = 0;
  for (int b = 0; b < 256; ++b) {
    uint8_t out = RedOf(device.ToColorRef(Color::FromBytes(uint8_t(b), 0, 0, 0, 0.0)));
    EXPECT_TRUE(out == b || out == b - 1);
    lowered += out != b;
  }
  EXPECT_EQ(lowered, 24);

  Color blue = device.ToColor(0x00FF0000);
  EXPECT_EQ(blue, colors::kBlue);
  EXPECT_DOUBLE_EQ(blue.Gray(), 0.2);
  Color grey = device.ToColor(0x00808080);
  EXPECT_EQ(grey.Red(), 128);
  EXPECT_DOUBLE_EQ(grey.Gray(), 0.0);
}

// Text is placed by its cell, which an opaque background fills.
TEST(DeviceTest, CentredTextSitsHalfACellBelowBottomAlignedText) {
  auto cellRows = [](int vertical, int& top, int& bottom) {
    RasterTestDevice device(200, 80);
    device.SetColor(kWhite);  // the strokes vanish; the cell shows
    device.SetBackColor(kRed);
    FontInfo font = device.SelectFont(FontDesc(0, 20, 2, 0));
    device.SetTextAlign(vertical, 0);
    device.DrawText({10, 40}, "Mg");
    top = 80, bottom = -1;
    for (int y = 0; y < 80; ++y)
      if (!InkColumns(device.raster, y).empty()) top = std::min(top, y), bottom = std::max(bottom, y);
    return font.height;
  };
  int top1, bottom1, top3, bottom3;
  int height = cellRows(1, top1, bottom1);
  cellRows(3, top3, bottom3);
  EXPECT_EQ(bottom3, 39);
  EXPECT_EQ(bottom3 - top3 + 1, height);
  EXPECT_EQ(top1 - top3, height / 2);
  EXPECT_EQ(bottom1 - bottom3, height / 2);
}

TEST(DeviceTest, TextWithoutAContextFails) {
  RasterTestDevice device;
  device.DrawText({1, 1}, "");
  device.Close();
  try {
    device.DrawText({1, 1}, "abc");
    FAIL() << "no error";
  } catch (const DeviceExcept& e) {
    EXPECT_STREQ(e.Text(), "Failure in TextOut (abc)");
  }
}

}  // namespace
