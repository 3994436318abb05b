#include "platform/raster_context.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <utility>
#include <vector>

#include "platform/line_dda.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kRed = 0x0000FF;

int CountNot(const Raster& r, uint32_t color) {
  int n = 0;
  for (int y = 0; y < r.Height(); ++y)
    for (int x = 0; x < r.Width(); ++x) n += r.Pixel(x, y) != color;
  return n;
}

// The pixels not of `color`, as (x, y) pairs.
std::set<std::pair<int, int>> Ink(const Raster& r, uint32_t color = kWhite) {
  std::set<std::pair<int, int>> s;
  for (int y = 0; y < r.Height(); ++y)
    for (int x = 0; x < r.Width(); ++x)
      if (r.Pixel(x, y) != color) s.insert({x, y});
  return s;
}

class RasterContextTest : public ::testing::Test {
 protected:
  Raster raster{40, 30};
  RasterContext dc{&raster};
  void SetUp() override {
    dc.SetPen({kRed, 0, false});
    dc.SetBrush({kRed, false});
  }
};

TEST_F(RasterContextTest, LinesCoverTheirDigitalLineWithoutTheEndPoint) {
  struct Case {
    int x0, y0, x1, y1, pixels;
  } cases[] = {{0, 0, 10, 0, 10}, {0, 0, 0, 10, 10}, {2, 3, 9, 6, 7}, {9, 6, 2, 3, 7}, {5, 5, 5, 5, 0}};
  for (const Case& c : cases) {
    raster.Fill(kWhite);
    dc.MoveTo(c.x0, c.y0);
    dc.LineTo(c.x1, c.y1);
    auto ink = Ink(raster);
    EXPECT_EQ(int(ink.size()), c.pixels) << c.x0 << "," << c.y0 << " to " << c.x1 << "," << c.y1;
    EXPECT_EQ(ink.count({c.x1, c.y1}), 0u);
    if (c.pixels) {
      EXPECT_EQ(ink.count({c.x0, c.y0}), 1u);
    }
    // The line digitiser names the same pixels.
    std::set<std::pair<int, int>> dda;
    LineDDA(c.x0, c.y0, c.x1, c.y1, [&](int64_t x, int64_t y) { dda.insert({int(x), int(y)}); });
    EXPECT_EQ(dda, ink);
    EXPECT_EQ(dc.Position(), (PixelPoint{c.x1, c.y1}));
  }
}

// The clipped walk of a line must name exactly the pixels of the whole line
// that lie in the box, whatever the line's direction and length.
TEST(LineDDATest, ClippedRangeIsExactlyThePixelsInTheBox) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> coord(-60, 60);
  const PixelBox box{-7, -5, 13, 11};
  for (int trial = 0; trial < 3000; ++trial) {
    int64_t x0 = coord(rng), y0 = coord(rng), x1 = coord(rng), y1 = coord(rng);
    DigitalLine line(x0, y0, x1, y1);
    std::vector<int64_t> inside;
    for (int64_t i = 0; i <= line.Steps(); ++i) {
      int64_t x, y;
      line.PixelAt(i, x, y);
      if (x >= box.left && x < box.right && y >= box.top && y < box.bottom) inside.push_back(i);
    }
    int64_t first = -1, last = -1;
    bool any = line.Within(box, first, last);
    ASSERT_EQ(any, !inside.empty()) << x0 << "," << y0 << " " << x1 << "," << y1;
    if (!any) continue;
    EXPECT_EQ(first, inside.front());
    EXPECT_EQ(last, inside.back() + 1);
    EXPECT_EQ(last - first, int64_t(inside.size())) << "one run";
    // The walk from `first` agrees with the formula.
    LineDDARange(line, first, last, [&, i = first](int64_t x, int64_t y) mutable {
      int64_t px, py;
      line.PixelAt(i++, px, py);
      EXPECT_EQ(x, px);
      EXPECT_EQ(y, py);
    });
  }
}

TEST_F(RasterContextTest, FarLinesDrawOnlyTheirVisiblePixels) {
  dc.MoveTo(-2000000000, 10);
  dc.LineTo(2000000000, 10);
  EXPECT_EQ(CountNot(raster, kWhite), 40);
  for (int x = 0; x < 40; ++x) EXPECT_EQ(raster.Pixel(x, 10), kRed);

  // A far diagonal keeps its slope exactly: the pixels of y = x.
  raster.Fill(kWhite);
  dc.MoveTo(-2000000000, -2000000000);
  dc.LineTo(2000000000, 2000000000);
  std::set<std::pair<int, int>> diagonal;
  for (int i = 0; i < 30; ++i) diagonal.insert({i, i});
  EXPECT_EQ(Ink(raster), diagonal);
}

TEST_F(RasterContextTest, FilledShapesCoverInsideWithRightAndBottomEdgesExcluded) {
  const PixelPoint square[] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  dc.SetPen({kRed, 0, true});
  dc.Polygon(square, 4);
  auto ink = Ink(raster);
  EXPECT_EQ(ink.size(), 100u);
  EXPECT_EQ(ink.count({9, 9}), 1u);
  EXPECT_EQ(ink.count({10, 5}), 0u);

  // Squares sharing an edge share no pixel: merged twice nothing doubles.
  raster.Fill(0);
  dc.SetOp(RasterOp::kXor);
  dc.SetBrush({kWhite, false});
  const PixelPoint right[] = {{10, 0}, {20, 0}, {20, 10}, {10, 10}};
  dc.Polygon(square, 4);
  dc.Polygon(right, 4);
  EXPECT_EQ(CountNot(raster, 0), 200);

  raster.Fill(kWhite);
  dc.SetOp(RasterOp::kCopy);
  dc.FillRect({3, 4, 8, 6}, kRed);
  EXPECT_EQ(CountNot(raster, kWhite), 10);
  dc.FillRect({3, 4, 3, 9}, 0);
  EXPECT_EQ(CountNot(raster, kWhite), 10);
}

// Pixel (x, y) is inside when an odd number of edges crosses row y at or left
// of x, an edge with y0 <= y < y1 crossing at x0 + (y - y0)(x1 - x0)/(y1 - y0).
bool InsideByRule(const std::vector<PixelPoint>& poly, int64_t x, int64_t y) {
  int crossings = 0;
  for (size_t i = 0; i < poly.size(); ++i) {
    PixelPoint a = poly[i], b = poly[(i + 1) % poly.size()];
    if (a.y == b.y) continue;
    if (a.y > b.y) std::swap(a, b);
    if (y < a.y || y >= b.y) continue;
    __int128 lhs = __int128(x - a.x) * (int64_t(b.y) - a.y), rhs = __int128(y - a.y) * (int64_t(b.x) - a.x);
    crossings += lhs >= rhs;
  }
  return crossings % 2 == 1;
}

TEST_F(RasterContextTest, FillMatchesTheEvenOddRuleAtEveryPixel) {
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> near(-15, 55), count(3, 8), far(0, 5);
  dc.SetPen({0, 0, true});
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<PixelPoint> poly(size_t(count(rng)));
    for (PixelPoint& p : poly) {
      p = {near(rng), near(rng)};
      // Now and then a point far out, as perspective gives.
      if (far(rng) == 0) p = {p.x * 35000000, p.y * 30000000};
    }
    raster.Fill(kWhite);
    dc.Polygon(poly.data(), int(poly.size()));
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x)
        ASSERT_EQ(raster.Pixel(x, y) == kRed, InsideByRule(poly, x, y)) << "trial " << trial << " at " << x << "," << y;
  }
}

TEST_F(RasterContextTest, PolygonsFillByTheEvenOddRule) {
  // An outer square and an inner one traced in the same direction, joined by
  // a seam: the inner square is a hole.
  const PixelPoint ring[] = {{0, 0}, {20, 0}, {20, 20}, {0, 20}, {0, 0}, {5, 5}, {15, 5}, {15, 15}, {5, 15}, {5, 5}};
  dc.SetPen({kRed, 0, true});
  dc.Polygon(ring, 10);
  EXPECT_EQ(CountNot(raster, kWhite), 400 - 100);
  EXPECT_EQ(raster.Pixel(10, 10), kWhite);
  EXPECT_EQ(raster.Pixel(2, 10), kRed);
}

TEST_F(RasterContextTest, ExclusiveOrTwiceRestoresTheRaster) {
  for (int x = 0; x < 40; ++x)
    for (int y = 0; y < 30; ++y) raster.SetPixel(x, y, PackColor(uint8_t(7 * x), uint8_t(5 * y), uint8_t(x ^ y)));
  const Raster before = raster;
  const PixelPoint star[] = {{20, 2}, {26, 27}, {5, 10}, {35, 10}, {14, 27}};
  dc.SetOp(RasterOp::kXor);
  for (int width : {0, 3}) {
    dc.SetPen({0x3355AA, width, false});
    for (int pass = 0; pass < 2; ++pass) {
      dc.MoveTo(-5, -3);
      dc.LineTo(50, 22);
      dc.Polyline(star, 5);
      dc.Polygon(star, 5);
      dc.Ellipse(4, 3, 31, 24);
    }
    EXPECT_TRUE(raster == before) << "pen width " << width;
  }
}

TEST_F(RasterContextTest, EllipsesStayInTheirBoxAndAreSymmetric) {
  dc.SetPen({kRed, 0, true});
  dc.Ellipse(2, 3, 22, 17);
  auto ink = Ink(raster);
  ASSERT_FALSE(ink.empty());
  for (auto [x, y] : ink) {
    EXPECT_TRUE(x >= 2 && x < 22 && y >= 3 && y < 17) << x << "," << y;
    EXPECT_EQ(ink.count({2 + 21 - x, y}), 1u);
    EXPECT_EQ(ink.count({x, 3 + 16 - y}), 1u);
  }
  // The outline alone lies on the filled disc's border.
  raster.Fill(kWhite);
  dc.SetPen({kRed, 0, false});
  dc.SetBrush({0, true});
  dc.Ellipse(2, 3, 22, 17);
  auto outline = Ink(raster);
  EXPECT_LT(outline.size(), ink.size());
  for (auto p : outline) EXPECT_EQ(ink.count(p), 1u);
  EXPECT_EQ(raster.Pixel(12, 10), kWhite);
}

// Sizes of 2e9 cost no more than the raster: the huge disc is cut to it, the
// huge pen is capped at the diagonal, and a far polygon is clipped first.
TEST_F(RasterContextTest, HugeShapesAreClippedToTheRaster) {
  dc.SetPen({kRed, 0, true});
  dc.Ellipse(20 - 2000000000, 15 - 2000000000, 20 + 2000000000, 15 + 2000000000);
  EXPECT_EQ(CountNot(raster, kWhite), 40 * 30);

  raster.Fill(kWhite);
  dc.SetPen({kRed, 0, false});
  dc.SetBrush({0, true});
  dc.Ellipse(20 - 2000000000, 15 - 2000000000, 20 + 2000000000, 15 + 2000000000);
  EXPECT_EQ(CountNot(raster, kWhite), 0) << "the outline is far outside";

  dc.SetPen({kRed, 2000000000, false});
  dc.MoveTo(0, 15);
  dc.LineTo(40, 15);
  EXPECT_EQ(CountNot(raster, kWhite), 40 * 30);

  raster.Fill(kWhite);
  dc.SetPen({kRed, 0, true});
  dc.SetBrush({kRed, false});
  const PixelPoint half[] = {{-2000000000, -2000000000}, {2000000000, 2000000000}, {-2000000000, 2000000000}};
  dc.Polygon(half, 3);
  // Below the diagonal y = x, which is a right edge: x < y.
  std::set<std::pair<int, int>> below;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < y; ++x) below.insert({x, y});
  EXPECT_EQ(Ink(raster), below);
}

TEST_F(RasterContextTest, ClipRectangleLimitsEveryShape) {
  PixelRect clip{5, 5, 9, 8};
  dc.SetClipRect(&clip);
  dc.FillRect({0, 0, 40, 30}, kRed);
  const PixelPoint big[] = {{0, 0}, {40, 0}, {40, 30}, {0, 30}};
  dc.Polygon(big, 4);
  dc.MoveTo(0, 6);
  dc.LineTo(40, 6);
  dc.Ellipse(0, 0, 40, 30);
  EXPECT_EQ(CountNot(raster, kWhite), 12);
  dc.SetClipRect(nullptr);
  dc.FillRect({0, 0, 40, 30}, kRed);
  EXPECT_EQ(CountNot(raster, kWhite), 40 * 30);
}

TEST_F(RasterContextTest, TextIsLaidOutFromTheFontsAdvances) {
  LogicalFont lf;
  lf.height = 20;
  lf.SetFaceName("Courier New");
  RasterFont font;
  ASSERT_TRUE(CreateRasterFont(lf, font));
  dc.SelectFont(font);
  EXPECT_EQ(dc.TextWidth("Wil.", 4), 4 * font.averageWidth);
  // An opaque background fills the text's cell: as wide as the text, as high
  // as the font, placed by the alignment.
  // The strokes are drawn in white, so that only the cell shows.
  dc.SetBackColor(0x00FF00);
  dc.SetTextColor(kWhite);
  dc.SetTextAlign(TextVAlign::kTop, TextHAlign::kRight);
  ASSERT_TRUE(dc.TextOut(30, 4, "ab", 2));
  auto ink = Ink(raster);
  ASSERT_FALSE(ink.empty());
  EXPECT_EQ(ink.begin()->first, 30 - 2 * font.averageWidth);
  EXPECT_EQ(ink.rbegin()->first, 29);
  int top = 30, bottom = 0;
  for (auto [x, y] : ink) top = std::min(top, y), bottom = std::max(bottom, y);
  EXPECT_EQ(top, 4);
  EXPECT_EQ(bottom, 4 + font.height - 1);
}

}  // namespace
