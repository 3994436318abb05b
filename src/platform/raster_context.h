// Drawing on a raster: the context that the devices draw through. It holds
// what a drawing call uses (pen, brush, text and background colours, the
// background mode, the mixing of new pixels with old ones, the clip
// rectangle, the current position and the font) and draws lines, polylines,
// polygons, ellipses, rectangles and text.
//
// Pixel rules: a pixel (x, y) is the point (x, y). A line covers the pixels of
// its digital line (line_dda.h) without the end point. A filled shape covers
// the pixels inside it by the even-odd rule, points on its left and top edges
// counting as inside and points on its right and bottom edges as outside, so
// that shapes that share an edge cover each pixel once.
//
// Coordinates may lie far outside the raster (up to about ±2^31 and, inside,
// beyond): every shape is clipped in 64-bit or double arithmetic before its
// pixels are visited, so that its cost is bounded by the clipped area. Pen
// widths are capped at the diagonal of the raster.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/line_dda.h"
#include "platform/raster.h"
#include "platform/stroke_font.h"

// How a new pixel combines with the one already there.
enum class RasterOp : uint8_t { kCopy, kXor, kMerge };

// Width 0 and 1 draw one pixel wide; wider pens draw the line as a band of
// that width with flat ends.
struct RasterPen {
  uint32_t color = 0;
  int32_t width = 0;
  bool none = false;  // draws nothing
};

struct RasterBrush {
  uint32_t color = 0xFFFFFF;
  bool hollow = false;  // fills nothing
};

enum class TextVAlign : uint8_t { kTop, kBaseline, kBottom };
enum class TextHAlign : uint8_t { kLeft, kCenter, kRight };

// What the selected font measures, in pixels.
struct TextMetrics {
  int32_t height = 0;
  int32_t ascent = 0;
  int32_t descent = 0;
  int32_t internalLeading = 0;
  int32_t externalLeading = 0;
  int32_t averageWidth = 0;
  int32_t weight = 400;
  bool italic = false;
  const char* faceName = "";
};

class RasterContext {
 public:
  // The context draws on the raster, which must outlive it.
  explicit RasterContext(Raster* raster);

  Raster& Surface() { return *raster_; }

  void SetPen(const RasterPen& pen) { pen_ = pen; }
  const RasterPen& Pen() const { return pen_; }
  // The width a pen draws with: at most the raster's diagonal.
  double PenWidth(const RasterPen& pen);
  void SetBrush(const RasterBrush& brush) { brush_ = brush; }
  const RasterBrush& Brush() const { return brush_; }
  // Each answers the previous colour.
  uint32_t SetTextColor(uint32_t color);
  uint32_t TextColor() const { return textColor_; }
  uint32_t SetBackColor(uint32_t color);
  uint32_t BackColor() const { return backColor_; }
  // Opaque: text is drawn on a box of the background colour.
  void SetBackMode(bool opaque) { opaque_ = opaque; }
  bool IsOpaque() const { return opaque_; }
  void SetOp(RasterOp op) { op_ = op; }
  RasterOp Op() const { return op_; }
  // Drawing stays inside the rectangle (and the raster); none: the raster.
  void SetClipRect(const PixelRect* rect);
  // The clip rectangle cut to the raster.
  const PixelBox& ClipBox() const { return clip_; }
  void SetResolution(int x, int y) { resX_ = x, resY_ = y; }
  int ResolutionX() const { return resX_; }
  int ResolutionY() const { return resY_; }

  void MoveTo(int32_t x, int32_t y) { pos_ = {x, y}; }
  PixelPoint Position() const { return pos_; }
  // A pen line from the current position, which then moves there.
  void LineTo(int32_t x, int32_t y);
  // Pen lines through the points; the current position stays.
  void Polyline(const PixelPoint* points, int count);
  // The brush inside the points (even-odd), then the pen along the closed outline.
  void Polygon(const PixelPoint* points, int count);
  // The ellipse inside the box (right and bottom outside it): brush inside, pen along it.
  void Ellipse(int64_t left, int64_t top, int64_t right, int64_t bottom);
  // Fills the rectangle with a colour, always copying.
  void FillRect(const PixelRect& rect, uint32_t color);
  // The whole raster in one colour, whatever the clip rectangle.
  void FillSurface(uint32_t color) { raster_->Fill(color); }

  void SelectFont(const RasterFont& font) { font_ = font; }
  const RasterFont& Font() const { return font_; }
  TextMetrics Metrics() const;
  void SetTextAlign(TextVAlign vertical, TextHAlign horizontal) { vAlign_ = vertical, hAlign_ = horizontal; }
  int64_t TextWidth(const char* text, size_t length) const;
  // Draws the text in the text colour at the point by the alignment; false
  // when no font is selected.
  bool TextOut(int32_t x, int32_t y, const char* text, size_t length);

 private:
  struct Edge {
    double x0, y0, x1, y1;  // y0 < y1
  };
  // An edge of an integer polygon, walked row by row: x is its crossing of
  // the current row, r what x exceeds the exact crossing by, times dy.
  struct IntEdge {
    int64_t x0, y0, y1, dx, dy;  // y0 < y1
    int64_t dq, dr;              // dx = dq·dy + dr, 0 <= dr < dy
    int64_t x, r;
  };

  void Line(int64_t x0, int64_t y0, int64_t x1, int64_t y1, bool withEnd, const RasterPen& pen);
  void ThinLine(int64_t x0, int64_t y0, int64_t x1, int64_t y1, bool withEnd, uint32_t color, RasterOp op);
  void WideLine(double x0, double y0, double x1, double y1, double width, uint32_t color, RasterOp op);
  void Join(double x, double y, double ax, double ay, double bx, double by, double width, uint32_t color);
  void FillPolygon(const PixelPoint* points, int count, uint32_t color, RasterOp op);
  void FillPolygon(const double* xy, int count, uint32_t color, RasterOp op);
  void FillEdges(uint32_t color, RasterOp op);
  // The pixels inside (a, b) (on it too unless strict) and not strictly
  // inside (innerA, innerB).
  void EllipseSpans(double cx, double cy, double a, double b, bool strict, double innerA, double innerB, uint32_t color,
                    RasterOp op);
  void Span(int64_t y, int64_t x0, int64_t x1, uint32_t color, RasterOp op);

  Raster* raster_;
  RasterPen pen_;
  RasterBrush brush_;
  uint32_t textColor_ = 0;
  uint32_t backColor_ = 0xFFFFFF;
  bool opaque_ = true;
  RasterOp op_ = RasterOp::kCopy;
  PixelBox clip_;
  PixelPoint pos_;
  int resX_ = 96;
  int resY_ = 96;
  RasterFont font_;
  PixelSize diagonalOf_{-1, -1};
  double diagonal_ = 1;
  TextVAlign vAlign_ = TextVAlign::kTop;
  TextHAlign hAlign_ = TextHAlign::kLeft;

  // Work space of the polygon filler, kept between calls.
  std::vector<double> clipA_, clipB_;
  std::vector<Edge> edges_, active_;
  std::vector<IntEdge> intEdges_, intActive_;
  std::vector<int64_t> intCrossings_;
  std::vector<double> crossings_;
};
