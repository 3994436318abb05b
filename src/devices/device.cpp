#include "devices/device.h"

#include <algorithm>
#include <cmath>

#include "base/except.h"

namespace {

int32_t Saturate(int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// The named colours in the order ToColor tries them.
const Color* const kColorOrder[] = {
    &colors::kBlack,     &colors::kBlue,        &colors::kGreen,     &colors::kCyan,      &colors::kRed,
    &colors::kMagenta,   &colors::kBrown,       &colors::kOrange,    &colors::kLightGray, &colors::kDarkGray,
    &colors::kLightBlue, &colors::kLightGreen,  &colors::kLightCyan, &colors::kLightRed,  &colors::kLightMagenta,
    &colors::kYellow,    &colors::kLightOrange, &colors::kWhite,
};

bool SameRequest(const FontDesc& a, const FontDesc& b) {
  return a.width == b.width && a.height == b.height && a.kind == b.kind && a.style == b.style &&
         a.faceName.str() == b.faceName.str();
}

TextVAlign ContextVAlign(int vertical) {
  switch (vertical) {
    case 1:
    case 3:
      return TextVAlign::kBottom;
    case 2:
      return TextVAlign::kBaseline;
    default:
      return TextVAlign::kTop;
  }
}

TextHAlign ContextHAlign(int horizontal) {
  switch (horizontal) {
    case 1:
      return TextHAlign::kCenter;
    case 2:
      return TextHAlign::kRight;
    default:
      return TextHAlign::kLeft;
  }
}

}  // namespace

Device::Device() = default;

Device::~Device() { ReleaseObjects(); }

int32_t Device::ToSurfaceX(int64_t x) const { return Saturate(x - offsetX_); }
int32_t Device::ToSurfaceY(int64_t y) const { return Saturate(y - offsetY_); }

void Device::SetContext(RasterContext* context) {
  context_ = context;
  if (!context_) return;
  // The drawing settings of the device carry over to the new context, its
  // colour too: a first request for the device's own colour changes nothing
  // and must find the context drawing in it.
  MakePen();
  context_->SetBrush({color_, false});
  context_->SetTextColor(color_);
  context_->SetBackColor(backColor_);
  context_->SetClipRect(clip_ ? &*clip_ : nullptr);
  context_->SetTextAlign(ContextVAlign(vAlign_), ContextHAlign(hAlign_));
  if (fontMade_) context_->SelectFont(font_);
  SetDrawMode(drawMode_);
  context_->MoveTo(Saturate(posX_), Saturate(posY_));
}

void Device::ReleaseObjects() {
  clip_.reset();
  if (context_) {
    context_->SetClipRect(nullptr);
    if (objectsMade_) {
      context_->SetPen(RasterPen{});
      context_->SetBrush(RasterBrush{});
    }
    if (fontMade_) context_->SelectFont(StockFont(false));
  }
  objectsMade_ = false;
  fontMade_ = false;
  fontList_ = nullptr;
}

void Device::MakePen() {
  objectsMade_ = true;
  if (context_) context_->SetPen({color_, penWidth_, false});
}

void Device::BeginOutput(CommandType&) {}
void Device::EndOutput() { ReleaseObjects(); }
void Device::ParseKeywords(CommandType&, int) {}
bool Device::SetBackBuffer(uint8_t) { return false; }
bool Device::CopyBackBuffer(const PixelRect*) { return false; }
void Device::List(TextOStream&) {}
void Device::SetRegion(const RegionRef&) {}
void Device::SetViewRect(const PixelRect*) {}
void Device::SetDeviceWord1(int32_t) {}
int Device::QueryKind() { return 0; }
void Device::LeaveMode(int32_t) {}
double Device::GetScale() { return 1.0; }
void Device::DrawArc(PixelPoint, int, int, int) {}
int Device::QueryRect(const PixelRect&, int32_t) { return 0; }
bool Device::IsRectHidden(const PixelRect&, int32_t) { return false; }
bool Device::TestRect(const PixelRect&, int32_t) { return false; }
void Device::BeginMovieFrame() {}
void Device::SaveMovieFrame() {}
void Device::EndMovieFrame() {}
void Device::EndMovie() {}
PixelPoint Device::MapPoint(PixelPoint p) { return p; }

int32_t Device::SetColor(ColorRef color) {
  if (color == kNoColor || color == color_) return -1;
  color_ = color;
  MakePen();
  if (!context_) return -1;
  context_->SetBrush({color, false});
  return int32_t(context_->SetTextColor(color));
}

void Device::SetBackColor(ColorRef color) {
  if (color == kNoColor) return;
  backColor_ = color;
  if (context_) context_->SetBackColor(color);
}

Color Device::ToColor(ColorRef color) {
  Color c = Color::FromBytes(RedOf(color), GreenOf(color), BlueOf(color), 0, 0.0);
  for (const Color* named : kColorOrder)
    if (*named == c) return *named;
  return c;
}

ColorRef Device::ToColorRef(const Color& color) {
  auto channel = [](uint8_t b) { return uint8_t(int((b * 0.00392156862745098) * 255.0)); };
  return PackColor(channel(color.Red()), channel(color.Green()), channel(color.Blue()));
}

void Device::SetClipRect(const PixelRect* rect) {
  if (!rect) {
    clip_.reset();
  } else {
    PixelPoint a = MapPoint({ToSurfaceX(rect->left), ToSurfaceY(rect->top)});
    PixelPoint b = MapPoint({ToSurfaceX(rect->right), ToSurfaceY(rect->bottom)});
    clip_ = PixelRect{Saturate(int64_t(a.x) - 1), Saturate(int64_t(a.y) - 1), Saturate(int64_t(b.x) + 1),
                      Saturate(int64_t(b.y) + 1)};
  }
  if (context_) context_->SetClipRect(clip_ ? &*clip_ : nullptr);
}

void Device::SetPenWidth(int width) {
  const int64_t surface = GetSize().width;
  int64_t effective;
  if (surface > 2160)
    effective = int64_t(width) * (surface / 720) + surface / 2160;
  else
    effective = width == 0 ? 0 : int64_t(width) + 1;
  const int32_t w = Saturate(effective);
  if (w == penWidth_) return;
  penWidth_ = w;
  MakePen();
}

void Device::SetLineStyle(const LineStyle& style) {
  if (style == PredefinedLineStyle(0)) {
    dashes_.style = style;
    dashes_.index = 0;
    dashes_.counter = 0;
    dashes_.solid = true;
    return;
  }
  dashes_.solid = false;
  if (style == dashes_.style) return;
  dashes_.style = style;
  dashes_.index = 0;
  dashes_.counter = 0;
  dashes_.scale = std::max<int64_t>(1, GetSize().height / 768);
}

void Device::SetTextAlign(int vertical, int horizontal) {
  vAlign_ = vertical;
  hAlign_ = horizontal;
  if (context_) context_->SetTextAlign(ContextVAlign(vertical), ContextHAlign(horizontal));
}

bool Device::SetDrawMode(int mode) {
  drawMode_ = mode;
  if (context_) {
    context_->SetOp(mode == 1 ? RasterOp::kXor : mode == 2 ? RasterOp::kMerge : RasterOp::kCopy);
    context_->SetBackMode(mode != 2);
  }
  return true;
}

PixelSize Device::GetResolution() {
  if (!context_) return {1, 1};
  return {std::max(1, context_->ResolutionX()), std::max(1, context_->ResolutionY())};
}

int Device::TextWidth(const String& text) {
  if (!context_) return 0;
  return Saturate(context_->TextWidth(text.c_str(), size_t(text.Length())));
}

// ---------------------------------------------------------------------------
// Lines and dashes

void Device::MoveTo(PixelPoint p) {
  const int64_t x = int64_t(p.x) - offsetX_, y = int64_t(p.y) - offsetY_;
  if (context_) context_->MoveTo(Saturate(x), Saturate(y));
  // A dashed pattern starts again at a new start point, and runs on from the current one.
  if (!dashes_.solid && (x != posX_ || y != posY_)) {
    dashes_.index = 0;
    dashes_.counter = 0;
  }
  posX_ = x;
  posY_ = y;
}

void Device::LineTo(PixelPoint p) {
  const int64_t x = int64_t(p.x) - offsetX_, y = int64_t(p.y) - offsetY_;
  if (dashes_.solid) {
    if (context_) context_->LineTo(Saturate(x), Saturate(y));
  } else {
    DashedLineTo(x, y);
    // The context ends where the dashes ended; the next line starts here.
    if (context_) context_->MoveTo(Saturate(x), Saturate(y));
  }
  posX_ = x;
  posY_ = y;
}

int64_t Device::DashLength(int index) const { return int64_t(dashes_.style.Length(index)) * dashes_.scale; }

// What `steps` calls of DashStep would do to the pattern, without drawing.
void Device::AdvanceDashes(int64_t steps) {
  const int count = dashes_.style.Count();
  if (steps <= 0 || dashes_.solid || count <= 0) return;
  auto entry = [&](int i) { return std::max<int64_t>(1, DashLength(i)); };
  auto next = [&](int i) { return i + 1 >= count ? 0 : i + 1; };
  const int64_t rest = entry(dashes_.index) - dashes_.counter;
  if (steps < rest) {
    dashes_.counter += steps;
    return;
  }
  steps -= rest;
  dashes_.index = next(dashes_.index);
  dashes_.counter = 0;
  int64_t period = 0;
  for (int i = 0; i < count; ++i) period += entry(i);
  steps %= period;
  while (steps >= entry(dashes_.index)) {
    steps -= entry(dashes_.index);
    dashes_.index = next(dashes_.index);
  }
  dashes_.counter = steps;
}

// One pixel of a dashed line: even entries of the pattern are dashes, odd
// ones gaps; a dash is drawn from the pixel where it began to the one where
// it ends.
void Device::DashStep(int64_t x, int64_t y) {
  Dashes& d = dashes_;
  const bool down = (d.index & 1) == 0;
  if (d.first || d.counter == 0) {
    if (down) {
      context_->MoveTo(Saturate(x), Saturate(y));
      d.open = true;
    }
    d.first = false;
  }
  bool ended = false;
  if (++d.counter >= DashLength(d.index)) {
    d.counter = 0;
    d.index = d.index + 1 >= d.style.Count() ? 0 : d.index + 1;
    ended = true;
  }
  if (d.last || ended) {
    if (down) {
      context_->LineTo(Saturate(x), Saturate(y));
      d.open = false;
    }
    d.last = false;
  }
}

// The dash generator runs over the pixels of the line from the current
// position to (x, y) and then once more for (x, y) itself. Only the part of
// the line near the clip box is walked; the pattern is moved on over the rest
// by arithmetic, so that a line from far outside costs no more than the box.
void Device::DashedLineTo(int64_t x, int64_t y) {
  DigitalLine line(posX_, posY_, x, y);
  const int64_t n = line.Steps();
  if (!context_) {
    AdvanceDashes(n + 1);
    return;
  }
  const int64_t margin = int64_t(context_->PenWidth(context_->Pen())) / 2 + 2;
  PixelBox box = context_->ClipBox();
  box = {box.left - margin, box.top - margin, box.right + margin, box.bottom + margin};
  int64_t first = 0, last = n + 1;
  auto inside = [&box](int64_t px, int64_t py) {
    return px >= box.left && px < box.right && py >= box.top && py < box.bottom;
  };
  if (!(inside(posX_, posY_) && inside(x, y)) && !line.Within(box, first, last)) {
    AdvanceDashes(n + 1);
    return;
  }
  AdvanceDashes(first);
  dashes_.first = true;
  dashes_.last = false;
  dashes_.open = false;
  LineDDARange(line, first, std::min(last, n), [this](int64_t px, int64_t py) { DashStep(px, py); });
  if (last == n + 1) {
    dashes_.last = true;
    DashStep(x, y);
    return;
  }
  // The line leaves the box: a dash still open is drawn to the first pixel outside.
  if (dashes_.open) {
    int64_t px, py;
    line.PixelAt(last, px, py);
    context_->LineTo(Saturate(px), Saturate(py));
    dashes_.open = false;
  }
  AdvanceDashes(n + 1 - last);
}

void Device::DrawPolyline(const PixelPoint* points, int count, bool closed) {
  if (!points || count <= 0) return;
  MoveTo(points[0]);
  for (int i = 1; i < count; ++i) LineTo(points[i]);
  if (closed) LineTo(points[0]);
}

// Always solid, and the current position stays.
void Device::DrawRect(const PixelRect& rect) {
  if (!context_) return;
  const int32_t l = ToSurfaceX(rect.left), t = ToSurfaceY(rect.top);
  const int32_t r = ToSurfaceX(rect.right), b = ToSurfaceY(rect.bottom);
  const PixelPoint corners[5] = {{l, t}, {r, t}, {r, b}, {l, b}, {l, t}};
  context_->Polyline(corners, 5);
}

// ---------------------------------------------------------------------------
// Filled shapes

void Device::EllipseAround(PixelPoint centre, int radius, bool outline) {
  if (!context_) return;
  const int64_t cx = int64_t(centre.x) - offsetX_, cy = int64_t(centre.y) - offsetY_, r = radius;
  if (outline) {
    RasterBrush saved = context_->Brush();
    context_->SetBrush({saved.color, true});
    context_->Ellipse(cx - r, cy - r, cx + r, cy + r);
    context_->SetBrush(saved);
  } else {
    RasterPen saved = context_->Pen();
    context_->SetPen({saved.color, saved.width, true});
    context_->Ellipse(cx - r, cy - r, cx + r, cy + r);
    context_->SetPen(saved);
  }
}

void Device::DrawCircle(PixelPoint centre, int radius) { EllipseAround(centre, radius, true); }
void Device::FillCircle(PixelPoint centre, int radius) { EllipseAround(centre, radius, false); }

void Device::FillRect(const PixelRect& rect) {
  if (!context_ || rect.left >= rect.right || rect.top >= rect.bottom) return;
  PixelRect r{ToSurfaceX(rect.left), ToSurfaceY(rect.top), ToSurfaceX(rect.right), ToSurfaceY(rect.bottom)};
  context_->FillRect(r, context_->Brush().color);
}

void Device::FillPolygon(const PixelPoint* points, int count) {
  if (!context_ || !points || count <= 0) return;
  points_.resize(size_t(count));
  for (int i = 0; i < count; ++i) points_[size_t(i)] = {ToSurfaceX(points[i].x), ToSurfaceY(points[i].y)};
  RasterPen saved = context_->Pen();
  context_->SetPen({saved.color, saved.width, true});
  context_->Polygon(points_.data(), count);
  context_->SetPen(saved);
}

// ---------------------------------------------------------------------------
// Text and fonts

void Device::Text(PixelPoint p, const char* text, size_t length) {
  int64_t x = int64_t(p.x) - offsetX_, y = int64_t(p.y) - offsetY_;
  if (context_ && vAlign_ == 1) y += context_->Metrics().height / 2;  // centred on the point
  if (!context_ || !context_->TextOut(Saturate(x), Saturate(y), text, length))
    throw DeviceExcept("Failure in TextOut (" + String(std::string(text, length)) + ")");
}

void Device::DrawText(PixelPoint p, const String& text) {
  if (text.IsEmpty()) return;
  Text(p, text.c_str(), size_t(text.Length()));
}

void Device::DrawChar(PixelPoint p, char c) { Text(p, &c, 1); }

FontInfo Device::RealizeFont(FontList& list, const FontDesc& request) {
  if (fontList_ == &list && fontGeneration_ == list.Generation() && SameRequest(fontRequest_, request))
    return fontInfo_;
  if (context_ && fontMade_) context_->SelectFont(StockFont(false));
  fontMade_ = false;
  RasterFont made = WinFont(list, context_, request);
  if (made.IsValid()) {
    if (context_) context_->SelectFont(made);
    fontMade_ = true;
  }
  const RasterFont& f = made.IsValid() ? made : context_ ? context_->Font() : StockFont(false);
  FontInfo info;
  // Too wide: the largest lower height whose characters fit the width. Between
  // two size steps of the list the look-up answers the same, so the heights
  // in between are passed over.
  if (request.width > 0 && f.averageWidth > request.width && request.height >= 2) {
    const int32_t step = list.LargestSizeStepAtMost(request.height);
    FontDesc lower = request;
    lower.height = std::max(1, std::min(request.height - 1, step - 1));
    info = SelectFont(lower);
  } else {
    font_ = f;
    info.faceName = String(f.faceName, 80);
    info.style = (f.italic ? 2 : 0) + (f.weight > 500 ? 1 : 0) + 8;
    info.kind = 2;
    info.height = f.height;
    info.averageCharWidth = f.averageWidth;
    info.ascent = uint16_t(f.ascent);
    info.descent = uint16_t(f.descent);
    info.leading = uint16_t(f.internalLeading + f.externalLeading);
    info.averageWidth = uint16_t(f.averageWidth);
    info.lineHeight = uint16_t(f.height + f.externalLeading);
    info.nativeFont = f.handle;
  }
  fontList_ = &list;
  fontGeneration_ = list.Generation();
  fontRequest_ = request;
  fontInfo_ = info;
  return info;
}
