#include "platform/raster_context.h"

#include <algorithm>
#include <cmath>

namespace {

// Shapes of fractional points (wide lines and their joins) within this bound
// are filled from their own vertices; larger ones are first cut to the clip box.
constexpr double kExactBound = double(1 << 24);

template <RasterOp Op>
inline void Put(uint8_t* p, uint8_t r, uint8_t g, uint8_t b) {
  if constexpr (Op == RasterOp::kCopy) {
    p[0] = r;
    p[1] = g;
    p[2] = b;
  } else if constexpr (Op == RasterOp::kXor) {
    p[0] ^= r;
    p[1] ^= g;
    p[2] ^= b;
  } else {
    p[0] |= r;
    p[1] |= g;
    p[2] |= b;
  }
}

template <RasterOp Op>
void SpanT(uint8_t* p, int64_t n, uint32_t color) {
  const uint8_t r = RedOf(color), g = GreenOf(color), b = BlueOf(color);
  for (int64_t i = 0; i < n; ++i, p += 3) Put<Op>(p, r, g, b);
}

// The pixels [first, first + count) of a digital line, all inside the raster.
template <RasterOp Op>
void WalkT(Raster& raster, const DigitalLine& line, int64_t first, int64_t count, uint32_t color) {
  const uint8_t r = RedOf(color), g = GreenOf(color), b = BlueOf(color);
  DigitalLine::Walker w(line, first);
  const ptrdiff_t stride = ptrdiff_t(raster.Stride());
  const ptrdiff_t dx = 3, dy = stride;
  const ptrdiff_t major = line.XMajor() ? dx * line.MajorSign() : dy * line.MajorSign();
  const ptrdiff_t minor = line.XMajor() ? dy * line.MinorSign() : dx * line.MinorSign();
  uint8_t* p = raster.Row(int(w.Y())) + 3 * w.X();
  for (int64_t i = 0;;) {
    Put<Op>(p, r, g, b);
    if (++i == count) break;
    p += major;
    if (w.Step()) p += minor;
  }
}

int64_t CeilToInt(double v) { return int64_t(std::ceil(v)); }
int64_t FloorToInt(double v) { return int64_t(std::floor(v)); }

// The columns of row y (relative to the centre: dy) inside an ellipse of
// semi-axes a, b: [lo, hi). With `strict`, points on the ellipse are outside.
bool EllipseRow(double cx, double dy, double a, double b, bool strict, int64_t& lo, int64_t& hi) {
  if (a <= 0 || b <= 0) return false;
  double t = 1.0 - (dy / b) * (dy / b);
  if (t < 0 || (strict && t <= 0)) return false;
  double half = a * std::sqrt(t);
  if (strict) {
    lo = FloorToInt(cx - half) + 1;
    hi = CeilToInt(cx + half);
  } else {
    lo = CeilToInt(cx - half);
    hi = FloorToInt(cx + half) + 1;
  }
  return lo < hi;
}

// Cuts a polygon by the half-plane  coord(axis) >= bound  (keepAbove) or
// <= bound; the pieces outside are replaced by runs along the bound line,
// which keeps the even-odd inside of the polygon within the half-plane.
void ClipHalfPlane(const std::vector<double>& in, std::vector<double>& out, int axis, double bound, bool keepAbove) {
  out.clear();
  size_t n = in.size() / 2;
  if (n == 0) return;
  auto inside = [&](size_t i) {
    double v = in[2 * i + axis];
    return keepAbove ? v >= bound : v <= bound;
  };
  for (size_t i = 0; i < n; ++i) {
    size_t j = (i + 1) % n;
    bool ii = inside(i), ij = inside(j);
    if (ii) {
      out.push_back(in[2 * i]);
      out.push_back(in[2 * i + 1]);
    }
    if (ii != ij) {
      double a0 = in[2 * i + axis], a1 = in[2 * j + axis];
      double t = (bound - a0) / (a1 - a0);
      double o0 = in[2 * i + 1 - axis], o1 = in[2 * j + 1 - axis];
      double cross[2];
      cross[axis] = bound;
      cross[1 - axis] = o0 + t * (o1 - o0);
      out.push_back(cross[0]);
      out.push_back(cross[1]);
    }
  }
}

}  // namespace

RasterContext::RasterContext(Raster* raster) : raster_(raster), font_(StockFont(false)) { SetClipRect(nullptr); }

uint32_t RasterContext::SetTextColor(uint32_t color) {
  uint32_t old = textColor_;
  textColor_ = color;
  return old;
}

uint32_t RasterContext::SetBackColor(uint32_t color) {
  uint32_t old = backColor_;
  backColor_ = color;
  return old;
}

void RasterContext::SetClipRect(const PixelRect* rect) {
  clip_ = {0, 0, raster_->Width(), raster_->Height()};
  if (!rect) return;
  clip_.left = std::max<int64_t>(clip_.left, rect->left);
  clip_.top = std::max<int64_t>(clip_.top, rect->top);
  clip_.right = std::min<int64_t>(clip_.right, rect->right);
  clip_.bottom = std::min<int64_t>(clip_.bottom, rect->bottom);
}

double RasterContext::PenWidth(const RasterPen& pen) {
  if (pen.width <= 1) return pen.width;
  if (raster_->Width() != diagonalOf_.width || raster_->Height() != diagonalOf_.height) {
    diagonalOf_ = {raster_->Width(), raster_->Height()};
    diagonal_ = std::max(1.0, std::ceil(std::hypot(double(diagonalOf_.width), double(diagonalOf_.height))));
  }
  return std::min(double(pen.width), diagonal_);
}

void RasterContext::Span(int64_t y, int64_t x0, int64_t x1, uint32_t color, RasterOp op) {
  if (y < clip_.top || y >= clip_.bottom) return;
  x0 = std::max(x0, clip_.left);
  x1 = std::min(x1, clip_.right);
  if (x0 >= x1) return;
  uint8_t* p = raster_->Row(int(y)) + 3 * x0;
  switch (op) {
    case RasterOp::kCopy:
      SpanT<RasterOp::kCopy>(p, x1 - x0, color);
      break;
    case RasterOp::kXor:
      SpanT<RasterOp::kXor>(p, x1 - x0, color);
      break;
    case RasterOp::kMerge:
      SpanT<RasterOp::kMerge>(p, x1 - x0, color);
      break;
  }
}

void RasterContext::ThinLine(int64_t x0, int64_t y0, int64_t x1, int64_t y1, bool withEnd, uint32_t color,
                             RasterOp op) {
  DigitalLine line(x0, y0, x1, y1);
  int64_t n = line.Steps() + (withEnd ? 1 : 0);
  if (n == 0) return;
  int64_t first = 0, last = n;
  auto inside = [&](int64_t x, int64_t y) {
    return x >= clip_.left && x < clip_.right && y >= clip_.top && y < clip_.bottom;
  };
  if (!inside(x0, y0) || !inside(x1, y1)) {
    if (!line.Within(clip_, first, last)) return;
    last = std::min(last, n);
    if (first >= last) return;
  }
  switch (op) {
    case RasterOp::kCopy:
      WalkT<RasterOp::kCopy>(*raster_, line, first, last - first, color);
      break;
    case RasterOp::kXor:
      WalkT<RasterOp::kXor>(*raster_, line, first, last - first, color);
      break;
    case RasterOp::kMerge:
      WalkT<RasterOp::kMerge>(*raster_, line, first, last - first, color);
      break;
  }
}

// A band of the width around the line, with flat ends.
void RasterContext::WideLine(double x0, double y0, double x1, double y1, double width, uint32_t color, RasterOp op) {
  double dx = x1 - x0, dy = y1 - y0;
  double length = std::hypot(dx, dy);
  if (length == 0) return;
  double nx = -dy / length * width / 2, ny = dx / length * width / 2;
  const double quad[8] = {x0 + nx, y0 + ny, x1 + nx, y1 + ny, x1 - nx, y1 - ny, x0 - nx, y0 - ny};
  FillPolygon(quad, 4, color, op);
}

// The bevel between two wide lines meeting at (x, y), the first running
// along (ax, ay) and the second along (bx, by): the triangle on the outer side.
void RasterContext::Join(double x, double y, double ax, double ay, double bx, double by, double width, uint32_t color) {
  double la = std::hypot(ax, ay), lb = std::hypot(bx, by);
  double cross = ax * by - ay * bx;
  if (la == 0 || lb == 0 || cross == 0) return;
  double side = cross > 0 ? -width / 2 : width / 2;
  const double tri[6] = {x, y, x - ay / la * side, y + ax / la * side, x - by / lb * side, y + bx / lb * side};
  FillPolygon(tri, 3, color, op_);
}

void RasterContext::Line(int64_t x0, int64_t y0, int64_t x1, int64_t y1, bool withEnd, const RasterPen& pen) {
  if (pen.none) return;
  double width = PenWidth(pen);
  if (width <= 1)
    ThinLine(x0, y0, x1, y1, withEnd, pen.color, op_);
  else
    WideLine(double(x0), double(y0), double(x1), double(y1), width, pen.color, op_);
}

void RasterContext::LineTo(int32_t x, int32_t y) {
  Line(pos_.x, pos_.y, x, y, false, pen_);
  pos_ = {x, y};
}

void RasterContext::Polyline(const PixelPoint* points, int count) {
  if (!points || count < 2 || pen_.none) return;
  double width = PenWidth(pen_);
  for (int i = 0; i + 1 < count; ++i) {
    Line(points[i].x, points[i].y, points[i + 1].x, points[i + 1].y, false, pen_);
    if (width > 1 && i + 2 < count) {
      const PixelPoint &a = points[i], &b = points[i + 1], &c = points[i + 2];
      Join(b.x, b.y, double(b.x) - a.x, double(b.y) - a.y, double(c.x) - b.x, double(c.y) - b.y, width, pen_.color);
    }
  }
}

void RasterContext::Polygon(const PixelPoint* points, int count) {
  if (!points || count < 2) return;
  if (!brush_.hollow) FillPolygon(points, count, brush_.color, op_);
  if (pen_.none) return;
  double width = PenWidth(pen_);
  for (int i = 0; i < count; ++i) {
    const PixelPoint &a = points[i], &b = points[(i + 1) % count];
    Line(a.x, a.y, b.x, b.y, false, pen_);
    if (width > 1) {
      const PixelPoint& c = points[(i + 2) % count];
      Join(b.x, b.y, double(b.x) - a.x, double(b.y) - a.y, double(c.x) - b.x, double(c.y) - b.y, width, pen_.color);
    }
  }
}

// Polygons of integer points are filled exactly at any size. Each edge is
// walked row by row in integers: its crossing of row y is
// ceil(x0 + (y - y0) dx / dy), kept as a whole part and a remainder; the first
// row visited is found in 128 bits, so that far points cost nothing extra.
void RasterContext::FillPolygon(const PixelPoint* points, int count, uint32_t color, RasterOp op) {
  if (count < 3 || clip_.IsEmpty()) return;
  int64_t minX = points[0].x, maxX = minX, minY = points[0].y, maxY = minY;
  for (int i = 1; i < count; ++i) {
    minX = std::min<int64_t>(minX, points[i].x);
    maxX = std::max<int64_t>(maxX, points[i].x);
    minY = std::min<int64_t>(minY, points[i].y);
    maxY = std::max<int64_t>(maxY, points[i].y);
  }
  if (!(maxX > clip_.left && minX < clip_.right && maxY > clip_.top && minY < clip_.bottom)) return;
  if (intEdges_.size() < size_t(count)) {
    intEdges_.resize(size_t(count));
    intActive_.resize(size_t(count));
    intCrossings_.resize(size_t(count));
  }
  IntEdge* const edges = intEdges_.data();
  IntEdge* const active = intActive_.data();
  int64_t* const crossings = intCrossings_.data();
  int edgeCount = 0;
  for (int i = 0; i < count; ++i) {
    const PixelPoint &a = points[i], &b = points[i + 1 == count ? 0 : i + 1];
    if (a.y == b.y) continue;
    IntEdge& e = edges[edgeCount++];
    const PixelPoint &top = a.y < b.y ? a : b, &bottom = a.y < b.y ? b : a;
    e.x0 = top.x;
    e.y0 = top.y;
    e.y1 = bottom.y;
    e.dx = int64_t(bottom.x) - top.x;
    e.dy = e.y1 - e.y0;
    e.dq = e.dx / e.dy;
    if (e.dx % e.dy != 0 && e.dx < 0) --e.dq;
    e.dr = e.dx - e.dq * e.dy;
  }
  std::sort(edges, edges + edgeCount, [](const IntEdge& a, const IntEdge& b) { return a.y0 < b.y0; });
  const int64_t yEnd = std::min(maxY, clip_.bottom);
  int next = 0, activeCount = 0;
  for (int64_t y = std::max(minY, clip_.top); y < yEnd; ++y) {
    while (next < edgeCount && edges[next].y0 <= y) {
      IntEdge& e = active[activeCount];
      e = edges[next++];
      if (e.y1 <= y) continue;
      const int64_t rows = y - e.y0;
      if (rows == 0) {
        e.x = e.x0;
        e.r = 0;
      } else {
        __int128 t = __int128(rows) * e.dx;
        __int128 q = t / e.dy;
        if (t % e.dy != 0 && t > 0) ++q;
        e.x = e.x0 + int64_t(q);
        e.r = int64_t(q * e.dy - t);
      }
      ++activeCount;
    }
    int crossingCount = 0, keep = 0;
    for (int i = 0; i < activeCount; ++i) {
      IntEdge& e = active[i];
      if (e.y1 <= y) continue;
      crossings[crossingCount++] = e.x;
      // On to the next row.
      e.x += e.dq;
      e.r -= e.dr;
      if (e.r < 0) {
        e.r += e.dy;
        ++e.x;
      }
      if (keep != i) active[keep] = e;
      ++keep;
    }
    activeCount = keep;
    if (crossingCount == 2) {
      if (crossings[0] > crossings[1]) std::swap(crossings[0], crossings[1]);
    } else {
      std::sort(crossings, crossings + crossingCount);
    }
    for (int i = 0; i + 1 < crossingCount; i += 2) Span(y, crossings[i], crossings[i + 1], color, op);
    if (activeCount == 0 && next == edgeCount) break;
  }
}

void RasterContext::FillPolygon(const double* xy, int count, uint32_t color, RasterOp op) {
  if (count < 3 || clip_.IsEmpty()) return;
  double minX = xy[0], maxX = xy[0], minY = xy[1], maxY = xy[1];
  for (int i = 1; i < count; ++i) {
    minX = std::min(minX, xy[2 * i]);
    maxX = std::max(maxX, xy[2 * i]);
    minY = std::min(minY, xy[2 * i + 1]);
    maxY = std::max(maxY, xy[2 * i + 1]);
  }
  if (!(maxX > clip_.left - 1 && minX < clip_.right && maxY > clip_.top - 1 && minY < clip_.bottom)) return;
  const double* v = xy;
  if (minX < -kExactBound || maxX > kExactBound || minY < -kExactBound || maxY > kExactBound) {
    // Cut to the clip box with a margin, so that the cut edges lie outside it.
    clipA_.assign(xy, xy + 2 * size_t(count));
    ClipHalfPlane(clipA_, clipB_, 0, double(clip_.left - 2), true);
    ClipHalfPlane(clipB_, clipA_, 0, double(clip_.right + 2), false);
    ClipHalfPlane(clipA_, clipB_, 1, double(clip_.top - 2), true);
    ClipHalfPlane(clipB_, clipA_, 1, double(clip_.bottom + 2), false);
    count = int(clipA_.size() / 2);
    if (count < 3) return;
    v = clipA_.data();
  }
  edges_.clear();
  for (int i = 0; i < count; ++i) {
    int j = i + 1 == count ? 0 : i + 1;
    double x0 = v[2 * i], y0 = v[2 * i + 1], x1 = v[2 * j], y1 = v[2 * j + 1];
    if (y0 == y1) continue;
    if (y0 < y1)
      edges_.push_back({x0, y0, x1, y1});
    else
      edges_.push_back({x1, y1, x0, y0});
  }
  FillEdges(color, op);
}

// Scans the rows of the edges: a row y meets the edges with y0 <= y < y1, and
// the pixels from ceil of one crossing up to (not including) ceil of the next
// are inside.
void RasterContext::FillEdges(uint32_t color, RasterOp op) {
  if (edges_.size() < 2) return;
  std::sort(edges_.begin(), edges_.end(), [](const Edge& a, const Edge& b) { return a.y0 < b.y0; });
  double bottom = edges_.front().y1;
  for (const Edge& e : edges_) bottom = std::max(bottom, e.y1);
  const int64_t yBegin = std::max(CeilToInt(edges_.front().y0), clip_.top);
  const int64_t yEnd = std::min(CeilToInt(bottom), clip_.bottom);
  active_.clear();
  size_t next = 0;
  for (int64_t y = yBegin; y < yEnd; ++y) {
    const double fy = double(y);
    while (next < edges_.size() && edges_[next].y0 <= fy) active_.push_back(edges_[next++]);
    crossings_.clear();
    size_t keep = 0;
    for (const Edge& e : active_) {
      if (e.y1 <= fy) continue;
      crossings_.push_back(e.x0 + (fy - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0));
      active_[keep++] = e;
    }
    active_.resize(keep);
    if (crossings_.size() == 2) {
      if (crossings_[0] > crossings_[1]) std::swap(crossings_[0], crossings_[1]);
    } else {
      std::sort(crossings_.begin(), crossings_.end());
    }
    for (size_t i = 0; i + 1 < crossings_.size(); i += 2)
      Span(y, CeilToInt(crossings_[i]), CeilToInt(crossings_[i + 1]), color, op);
  }
}

void RasterContext::EllipseSpans(double cx, double cy, double a, double b, bool strict, double innerA, double innerB,
                                 uint32_t color, RasterOp op) {
  int64_t yBegin = std::max(CeilToInt(cy - b), clip_.top);
  int64_t yEnd = std::min(FloorToInt(cy + b) + 1, clip_.bottom);
  for (int64_t y = yBegin; y < yEnd; ++y) {
    double dy = double(y) - cy;
    int64_t lo, hi, innerLo, innerHi;
    if (!EllipseRow(cx, dy, a, b, strict, lo, hi)) continue;
    if (EllipseRow(cx, dy, innerA, innerB, true, innerLo, innerHi) && innerLo < hi && innerHi > lo) {
      Span(y, lo, innerLo, color, op);
      Span(y, innerHi, hi, color, op);
    } else {
      Span(y, lo, hi, color, op);
    }
  }
}

// The pen runs along the ellipse, half its width outside and half inside;
// the brush fills what the pen leaves inside.
void RasterContext::Ellipse(int64_t left, int64_t top, int64_t right, int64_t bottom) {
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  double cx = (double(left) + double(right) - 1) / 2, cy = (double(top) + double(bottom) - 1) / 2;
  double a = (double(right) - double(left)) / 2, b = (double(bottom) - double(top)) / 2;
  double width = pen_.none ? 0 : std::max(PenWidth(pen_), 1.0);
  double outer = width > 1 ? width / 2 : 0, inner = width > 1 ? width / 2 : width;
  if (!brush_.hollow) EllipseSpans(cx, cy, a - inner, b - inner, !pen_.none, 0, 0, brush_.color, op_);
  if (!pen_.none) EllipseSpans(cx, cy, a + outer, b + outer, false, a - inner, b - inner, pen_.color, op_);
}

void RasterContext::FillRect(const PixelRect& rect, uint32_t color) {
  int64_t yEnd = std::min<int64_t>(rect.bottom, clip_.bottom);
  for (int64_t y = std::max<int64_t>(rect.top, clip_.top); y < yEnd; ++y)
    Span(y, rect.left, rect.right, color, RasterOp::kCopy);
}

TextMetrics RasterContext::Metrics() const {
  TextMetrics m;
  m.height = font_.height;
  m.ascent = font_.ascent;
  m.descent = font_.descent;
  m.internalLeading = font_.internalLeading;
  m.externalLeading = font_.externalLeading;
  m.averageWidth = font_.averageWidth;
  m.weight = font_.weight;
  m.italic = font_.italic;
  m.faceName = font_.faceName;
  return m;
}

int64_t RasterContext::TextWidth(const char* text, size_t length) const {
  if (!font_.IsValid()) return 0;
  int64_t width = 0;
  for (size_t i = 0; i < length; ++i) width += GlyphAdvance(font_, static_cast<unsigned char>(text[i]));
  return width;
}

bool RasterContext::TextOut(int32_t x, int32_t y, const char* text, size_t length) {
  if (!font_.IsValid()) return false;
  const RasterFont& f = font_;
  int64_t width = TextWidth(text, length);
  int64_t penX = x;
  if (hAlign_ == TextHAlign::kCenter) penX -= width / 2;
  if (hAlign_ == TextHAlign::kRight) penX -= width;
  int64_t baseline = y;
  if (vAlign_ == TextVAlign::kTop) baseline += f.ascent;
  if (vAlign_ == TextVAlign::kBottom) baseline -= f.descent;
  if (opaque_) {
    int64_t yEnd = std::min<int64_t>(baseline + f.descent, clip_.bottom);
    for (int64_t row = std::max<int64_t>(baseline - f.ascent, clip_.top); row < yEnd; ++row)
      Span(row, penX, penX + width, backColor_, RasterOp::kCopy);
  }
  // Strokes about 1/24 of the cell thick; bold doubles each stroke beside itself.
  const double thickness = std::max(1.0, std::floor(f.height / 24.0 + 0.5));
  const double shear = f.italic ? 0.21 : 0.0;
  const double margin = double(f.height) + thickness * 2;
  RasterPen pen{textColor_, int32_t(std::min(thickness, 2147483647.0)), false};
  const RasterOp savedOp = op_;
  op_ = RasterOp::kCopy;
  for (size_t i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const int64_t advance = GlyphAdvance(f, c);
    const double left = double(penX), right = double(penX + advance);
    if (right + margin >= double(clip_.left) && left - margin < double(clip_.right)) {
      GlyphView g = Glyph(f.design, c);
      // The fixed-pitch design centres each glyph in its cell, narrowing wide ones.
      double squeeze = 1.0, shift = -g.left;
      if (f.fixedPitch) {
        int units = g.right - g.left;
        squeeze = units > 20 ? 20.0 / units : 1.0;
        shift = 10.0 - (g.left + g.right) / 2.0 * squeeze;
      }
      for (int pass = 0; pass < (f.bold ? 2 : 1); ++pass) {
        double offset = pass * thickness;
        bool down = false;
        int64_t lastX = 0, lastY = 0;
        for (int k = 0; k < g.count; ++k) {
          int gx = g.points[2 * k], gy = g.points[2 * k + 1];
          if (gx == -128) {
            down = false;
            continue;
          }
          double px = left + offset + (gx * squeeze + shift) * f.scaleX + (9 - gy) * f.scaleY * shear;
          double py = double(baseline) + (gy - 9) * f.scaleY;
          int64_t ix = FloorToInt(px + 0.5), iy = FloorToInt(py + 0.5);
          if (down) Line(lastX, lastY, ix, iy, true, pen);
          lastX = ix;
          lastY = iy;
          down = true;
        }
      }
    }
    penX += advance;
  }
  op_ = savedOp;
  return true;
}
