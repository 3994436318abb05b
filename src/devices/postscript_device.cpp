#include "devices/postscript_device.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "base/app.h"
#include "base/command.h"
#include "base/message.h"
#include "base/plane.h"
#include "base/stream.h"
#include "devices/postscript_fonts.h"

namespace {

// The buffer goes to the file when it holds this much.
constexpr size_t kWriteOutSize = 1 << 16;
// Height of the font that a request without a height (the system font) gets:
// 12 points.
constexpr int32_t kDefaultFontHeight = 120;

const char* const kKeywords = "color gray portrait landscape position size letter tabloid a3 a4 custom";
enum Keyword { kColorWord = 1, kGray, kPortrait, kLandscape, kPosition, kSize, kLetter, kTabloid, kA3, kA4, kCustom };

bool SameRect(const PixelRect& a, const PixelRect& b) { return a == b || (a.IsEmpty() && b.IsEmpty()); }

// Two references clip alike: both restrict nothing, or both hold the same
// rectangles at the same place.
bool SameRegion(const RegionRef& a, const RegionRef& b) {
  if (!a.Get() || !b.Get()) return !a.Get() && !b.Get();
  const auto& ra = a.Get()->Rects();
  const auto& rb = b.Get()->Rects();
  if (ra.size() != rb.size()) return false;
  for (size_t i = 0; i < ra.size(); ++i) {
    const PixelRect& x = ra[i];
    const PixelRect& y = rb[i];
    if (x.left + a.OffsetX() != y.left + b.OffsetX() || x.right + a.OffsetX() != y.right + b.OffsetX() ||
        x.top + a.OffsetY() != y.top + b.OffsetY() || x.bottom + a.OffsetY() != y.bottom + b.OffsetY())
      return false;
  }
  return true;
}

bool SameFontRequest(const FontDesc& a, const FontDesc& b) {
  return a.height == b.height && a.width == b.width && a.kind == b.kind && (a.style & 15) == (b.style & 15);
}

// What a request becomes on this device: one of the twelve fonts at the
// requested height, lowered so that its average character is no wider than
// the requested width (when one is given).
FontInfo RealizePsFont(const FontDesc& request) {
  const int index = PostScriptDevice::FontIndex(request);
  const PsFont& font = PostScriptFont(index);
  int32_t height = request.height > 0 ? request.height : kDefaultFontHeight;
  int32_t width = int32_t(height * font.averageFactor * 0.1);
  if (request.width > 0 && width > request.width) {
    height = std::max(1, int32_t(height * double(request.width) / width));
    width = request.width;
  }
  FontInfo info;
  info.style = request.style & 15;
  info.kind = request.kind;
  info.faceName = font.name;
  info.height = height;
  info.averageCharWidth = width;
  return info;
}

}  // namespace

PostScriptDevice::PostScriptDevice() {
  ResetLayout();
  userHeight_ = size_[1] * 720.0 / size_[0];
  requestedAnswer_ = writtenAnswer_ = RealizePsFont(requestedFont_);
  const PixelSize s = GetSize();
  writtenClip_ = requestedClip_ = {0, 0, s.width, s.height};
}

PostScriptDevice::~PostScriptDevice() {
  try {
    EndOutput();
  } catch (const KWRExcept&) {
  }
}

int PostScriptDevice::FontIndex(const FontDesc& font) {
  const int base = (font.style & 8) ? 4 : (font.style & 4) ? 8 : 0;
  return base + (font.style & 1) + (font.style & 2);
}

// ---------------------------------------------------------------------------
// Layout and settings

void PostScriptDevice::ResetLayout() {
  position_[0] = position_[1] = 0.5;
  const double a = portrait_ ? pageWidth_ : pageHeight_;
  const double b = portrait_ ? pageHeight_ : pageWidth_;
  size_[1] = b - 1.25;
  size_[0] = size_[1] / 0.725;
  if (size_[0] > a - 1.0) {
    size_[0] = a - 1.0;
    size_[1] = size_[0] * 0.725;
  }
}

void PostScriptDevice::BoundingBox(double box[4]) const {
  const double px = position_[0], py = position_[1], sx = size_[0], sy = size_[1];
  if (portrait_) {
    box[0] = px * 72, box[1] = py * 72, box[2] = (px + sx) * 72, box[3] = (py + sy) * 72;
  } else {
    box[0] = (pageWidth_ - py - sy) * 72, box[1] = px * 72, box[2] = (pageWidth_ - py) * 72, box[3] = (px + sx) * 72;
  }
}

void PostScriptDevice::RequirePositive(CommandType& interp, int first, const double pair[2]) {
  for (int i = 0; i < 2; ++i)
    if (!(pair[i] > 0.0) || !std::isfinite(pair[i]))
      throw CommandType::ConvertExcept(first + i, interp.Token(first + i));
}

void PostScriptDevice::ParseKeywords(CommandType& interp, int) {
  for (;;) {
    int word = 0;
    const int code = interp.MatchKeyword(kKeywords, word);
    if (code == CommandType::kMissing) return;
    if (code != CommandType::kOk) interp.ThrowParamError(code);
    double v[2] = {0.0, 0.0};
    const int first = interp.TokenIndex();
    switch (word) {
      case kColorWord:
        color_ = true;
        break;
      case kGray:
        color_ = false;
        break;
      case kPortrait:
      case kLandscape:
        portrait_ = word == kPortrait;
        ResetLayout();
        break;
      case kPosition:
        interp.GetVector2(v);
        position_[0] = v[0], position_[1] = v[1];
        break;
      case kSize:
        interp.GetVector2(v);
        RequirePositive(interp, first, v);
        size_[0] = v[0], size_[1] = v[1];
        break;
      case kLetter:
        pageKind_ = 0, pageWidth_ = 8.5, pageHeight_ = 11.0, ResetLayout();
        break;
      case kTabloid:
        pageKind_ = 1, pageWidth_ = 11.0, pageHeight_ = 17.0, ResetLayout();
        break;
      case kA3:
        pageKind_ = 3, pageWidth_ = 11.69, pageHeight_ = 16.54, ResetLayout();
        break;
      case kA4:
        pageKind_ = 2, pageWidth_ = 8.27, pageHeight_ = 11.69, ResetLayout();
        break;
      case kCustom:
        interp.GetVector2(v);
        RequirePositive(interp, first, v);
        pageKind_ = 4, pageWidth_ = v[0], pageHeight_ = v[1];
        ResetLayout();
        break;
      default:
        break;
    }
  }
}

String PostScriptDevice::Name() { return "PostScript"; }
String PostScriptDevice::FileFilter() { return "PostScript,*.ps;*.psc"; }

void PostScriptDevice::List(TextOStream& out) {
  out << "        Name: PostScript hardcopy driver\n";
  out << "       Color: " << OnOffText(color_) << "\n";
  out << " Orientation: " << (portrait_ ? "Portrait" : "Landscape") << "\n";
  out << "   Page Size: ";
  switch (pageKind_) {
    case 0:
      out << "Letter (8.5\" X 11\")";
      break;
    case 1:
      out << "Tabloid (11\" X 17\")";
      break;
    case 2:
      out << "A4 (8.27\" X 11.68\")";
      break;
    case 3:
      out << "A3 (11.69\" X 16.54\")";
      break;
    default:
      out << MessageText("Custom (%s\" X %s\")", DoubleToString(pageWidth_), DoubleToString(pageHeight_));
      break;
  }
  out << "\n    Position: ";
  PrintPair(out, position_);
  out << "\n        Size: ";
  PrintPair(out, size_);
  out << "\n Destination: " << PlotOutputName() << "\n";
}

// ---------------------------------------------------------------------------
// Output

void PostScriptDevice::Put(const char* text) {
  out_ += text;
  if (out_.size() >= kWriteOutSize) WriteOut();
}

// Two decimals, as "%.2f" gives them. Values whose hundredths are not near a
// half are rounded in integers; the rest go through the exact conversion.
void PostScriptDevice::Number(double v) {
  const double scaled = v * 100.0;
  if (std::fabs(scaled) < 1e9) {
    const double whole = std::floor(std::fabs(scaled));
    if (std::fabs(std::fabs(scaled) - whole - 0.5) > 1e-6) {
      uint64_t n = uint64_t(std::llround(std::fabs(scaled)));
      char buf[24];
      char* end = buf + sizeof buf;
      char* p = end;
      *--p = char('0' + n % 10);
      n /= 10;
      *--p = char('0' + n % 10);
      n /= 10;
      *--p = '.';
      do {
        *--p = char('0' + n % 10);
        n /= 10;
      } while (n);
      if (std::signbit(v)) *--p = '-';
      out_.append(p, size_t(end - p));
      return;
    }
  }
  char buf[400];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 2);
  if (r.ec != std::errc() || !std::isfinite(v)) {
    out_ += "0.00";
    return;
  }
  out_.append(buf, size_t(r.ptr - buf));
}

void PostScriptDevice::Point(int64_t x, int64_t y) {
  Number(double(x) * 0.1);
  out_ += ' ';
  Number(userHeight_ - double(y) * 0.1);
  out_ += ' ';
}

void PostScriptDevice::Corners(const PixelRect& r) {
  const double x1 = r.left * 0.1, y1 = userHeight_ - r.top * 0.1;
  const double x2 = r.right * 0.1, y2 = userHeight_ - r.bottom * 0.1;
  const double xy[8] = {x1, y1, x1, y2, x2, y2, x2, y1};
  for (double v : xy) {
    Number(v);
    out_ += ' ';
  }
}

void PostScriptDevice::ColorComponents(ColorRef color) {
  if (color_) {
    const int shifts[3] = {16, 8, 0};
    for (int s : shifts) {
      Number(std::pow(((color >> s) & 0xFF) / 255.0, 0.4));
      out_ += ' ';
    }
  } else {
    Number(color / 255.0);
    out_ += ' ';
  }
}

void PostScriptDevice::WriteOut() {
  if (out_.empty()) return;
  if (open_ && !writeFailed_) {
    try {
      file_.Write(out_.data(), out_.size());
    } catch (const File::FileExcept&) {
      writeFailed_ = true;
    }
  }
  out_.clear();
}

void PostScriptDevice::BeginOutput(CommandType& interp) {
  if (open_) return;
  // The canvases realise their state and target afresh on the new plot.
  SelectState(nullptr);
  SetTarget(nullptr);
  for (bool& used : fontUsed_) used = false;
  pathSegments_ = lineItems_ = 0;
  requestedFont_ = writtenFont_ = FontDesc();
  requestedAnswer_ = writtenAnswer_ = RealizePsFont(requestedFont_);
  fontWritten_ = false;
  requestedColor_ = writtenColor_ = 0;
  requestedStyle_ = writtenStyle_ = LineStyle();
  requestedPenWidth_ = writtenPenWidth_ = 0;
  requestedRegion_ = writtenRegion_ = RegionRef();
  hasCurrentPoint_ = movePending_ = false;
  backColor_ = color_ ? 0xFFFFFF : 0xFF;
  userWidth_ = 720.0;
  userHeight_ = size_[1] * 720.0 / size_[0];
  const PixelSize s = GetSize();
  writtenClip_ = requestedClip_ = {0, 0, s.width, s.height};

  auto takeName = [this](const String& name) {
    if (name.str() == file_.Name().str()) return;
    file_.SetName(name);
    file_.SetMode(File::kOut);
  };
  takeName(PlotOutputName().IsEmpty() ? Identity().lowerName + ".ps" : PlotOutputName());
  int word = 0;
  if (interp.MatchKeyword("file", word) == CommandType::kOk) {
    uint32_t mode = interp.GetFileMode();
    if (mode == 0) {
      takeName(interp.GetFileName("ps"));
      mode = interp.GetFileMode();
    }
    if (mode) file_.SetMode(mode | File::kOut);
  }
  interp.ConfirmOverwrite(file_, false);
  file_.Open();
  interp << (color_ ? "Color " : "Grayscale ")
         << MessageText("PostScript output%s to file %s", file_.IsAppend() ? " appended " : "", file_.Name().c_str())
         << "\n";
  open_ = true;
  writeFailed_ = false;
  out_.clear();
  WriteHeader();
}

void PostScriptDevice::WriteHeader() {
  const String& upper = Identity().upperName;
  Put("%!PS-Adobe-2.0\n%%Creator: Olvena\n%%Title: ");
  Put(upper.str());
  Put(" Graphics plot\n%%Pages: 1\n%%DocumentFonts: (atend)\n%%BoundingBox:");
  double box[4];
  BoundingBox(box);
  for (double v : box) {
    Put(' ');
    Number(v);
  }
  Put("\n%%EndComments\nsave\n"
      "/@f {scalefont setfont} def\n"
      "/@s {show newpath} def\n"
      "/@m {moveto} def\n"
      "/@l {lineto} def\n"
      "/@p {stroke} def\n");
  Put(color_ ? "/@c {setrgbcolor} def\n" : "/@c {setgray} def\n");
  Put("/@lw {setlinewidth} def\n"
      "/@sd {setdash} def\n"
      "/@dc {0 360 arc stroke} def\n"
      "/@rect {moveto lineto lineto lineto closepath} def\n"
      "/@fc {0 360 arc fill} def\n"
      "%%EndProlog\n% Plot ");
  Put(upper.str());
  Put("\n1 setlinejoin\n1 setlinecap\n1.00 @lw [] 0 @sd\n");
  Put(color_ ? "0.0 0.0 0.0 @c\n" : "0.0 @c\n");
  if (!portrait_) {
    Put("% Rotate plot 90 degrees for landscape mode\n90.0 rotate 0 ");
    Number(pageWidth_ * -72.0);
    Put(" translate\n");
  }
  Put("% Translate lower left corner of plot (72 units/inch)\n");
  Number(position_[0] * 72.0);
  Put(' ');
  Number(position_[1] * 72.0);
  Put(" translate\n% Scale size\n");
  Number(size_[0] * 72.0 / userWidth_);
  Put(' ');
  Number(size_[1] * 72.0 / userHeight_);
  Put(" scale\ngsave\n");
}

void PostScriptDevice::EndOutput() {
  if (!open_) return;
  Sync(kStroke);
  Put("\n%%Trailer\nshowpage\nrestore\n%%DocumentFonts: ");
  for (int i = 0; i < kPsFontCount; ++i) {
    if (!fontUsed_[i]) continue;
    Put(PostScriptFont(i).name);
    Put(' ');
  }
  Put("\n% End of ");
  Put(Identity().upperName.str());
  Put(" Plot\n");
  Put('\x04');
  WriteOut();
  file_.Close();
  const bool failed = writeFailed_ || file_.Failed();
  file_.ClearError();
  file_.SetMode(file_.Mode() | File::kApp);
  open_ = false;
  writeFailed_ = false;
  if (failed) throw DeviceExcept(FormatText("Error writing file %1", file_.Name().c_str()));
}

// ---------------------------------------------------------------------------
// The written state

void PostScriptDevice::Sync(int mask) {
  if (!open_) return;
  if ((mask & kStroke) && pathSegments_ != 0) {
    Sync(kColor | kPen);
    Put("@p ");
    pathSegments_ = 0;
    PathEnded();
  }
  if ((mask & kClip) && (!SameRect(requestedClip_, writtenClip_) || !SameRegion(requestedRegion_, writtenRegion_))) {
    Sync(kStroke);
    WriteClip();
  }
  if ((mask & kColor) && requestedColor_ != writtenColor_) {
    ColorComponents(requestedColor_);
    Put("@c ");
    writtenColor_ = requestedColor_;
  }
  if (mask & kPen) {
    if (requestedPenWidth_ != writtenPenWidth_) {
      Number(std::max(requestedPenWidth_ + 0.33, 1.0));
      Put(" @lw ");
      writtenPenWidth_ = requestedPenWidth_;
    }
    if (requestedStyle_ != writtenStyle_) {
      out_ += '[';
      for (int i = 0; i < requestedStyle_.Count(); ++i) {
        out_ += ' ';
        Number(requestedStyle_.Length(i) * 0.33);
      }
      Put("] 0 @sd ");
      writtenStyle_ = requestedStyle_;
    }
  }
  if ((mask & kFont) && (!fontWritten_ || !SameFontRequest(requestedFont_, writtenFont_))) {
    out_ += "\n/";
    out_ += requestedAnswer_.faceName.str();
    out_ += " findfont ";
    Number(requestedAnswer_.height * 0.1);
    Put(" @f ");
    fontUsed_[FontIndex(requestedFont_)] = true;
    writtenFont_ = requestedFont_;
    writtenAnswer_ = requestedAnswer_;
    fontWritten_ = true;
  }
}

// Back to the state saved after the header, then the clip rectangle and the
// region's rectangles; what the restore undid is written again when needed.
void PostScriptDevice::WriteClip() {
  pathSegments_ = 0;
  PathEnded();
  writtenColor_ = 0;
  writtenPenWidth_ = 0;
  writtenStyle_ = LineStyle();
  fontWritten_ = false;
  out_ += "\ngrestore gsave ";
  Corners(requestedClip_);
  Put("@rect clip newpath\n");
  bool any = false;
  if (const Region* region = requestedRegion_.Get()) {
    for (const PixelRect& r : region->Rects()) {
      const PixelRect moved{r.left + requestedRegion_.OffsetX(), r.top + requestedRegion_.OffsetY(),
                            r.right + requestedRegion_.OffsetX(), r.bottom + requestedRegion_.OffsetY()};
      if (moved == requestedClip_) continue;
      Corners(moved);
      Put("@rect\n");
      any = true;
    }
  }
  if (any) Put("clip newpath ");
  writtenClip_ = requestedClip_;
  writtenRegion_ = requestedRegion_;
}

void PostScriptDevice::FlushMove() {
  if (!movePending_) return;
  out_ += '\n';
  Point(current_.x, current_.y);
  Put("@m ");
  movePending_ = false;
  lineItems_ = 0;
}

// ---------------------------------------------------------------------------
// Settings of the drawing state

int32_t PostScriptDevice::SetColor(ColorRef color) {
  if (color == kNoColor || color == requestedColor_) return -1;
  Sync(kStroke);
  requestedColor_ = color;
  return -1;
}

void PostScriptDevice::SetBackColor(ColorRef color) {
  if (color != kNoColor) backColor_ = color;
}

Color PostScriptDevice::ToColor(ColorRef value) {
  if (value == kNoColor) return colors::kNone;
  if (!color_) {
    const double v = value / 255.0;
    return Color(v, v, v, 0, v);
  }
  const double r = ((value >> 16) & 0xFF) / 255.0, g = ((value >> 8) & 0xFF) / 255.0, b = (value & 0xFF) / 255.0;
  return Color(r, g, b, 0, (r + g + b) / 3.0);
}

ColorRef PostScriptDevice::ToColorRef(const Color& color) {
  if (color == colors::kNone) return kNoColor;
  if (!color_) return ColorRef(color.Gray() * 255.0);
  auto channel = [](uint8_t b) { return ColorRef(b * 0.00392156862745098 * 255.0); };
  return channel(color.Red()) * 65536 + channel(color.Green()) * 256 + channel(color.Blue());
}

void PostScriptDevice::SetRegion(const RegionRef& region) {
  if (SameRegion(region, requestedRegion_)) return;
  Sync(kStroke);
  requestedRegion_ = region;
}

void PostScriptDevice::SetClipRect(const PixelRect* rect) {
  const PixelSize s = GetSize();
  const PixelRect r = rect ? *rect : PixelRect{0, 0, s.width, s.height};
  if (SameRect(r, requestedClip_)) return;
  Sync(kStroke);
  requestedClip_ = r;
}

void PostScriptDevice::SetPenWidth(int width) {
  if (width == requestedPenWidth_) return;
  Sync(kStroke);
  requestedPenWidth_ = width;
}

void PostScriptDevice::SetLineStyle(const LineStyle& style) {
  if (style == requestedStyle_) return;
  Sync(kStroke);
  requestedStyle_ = style;
}

FontInfo PostScriptDevice::SelectFont(const FontDesc& font) {
  requestedFont_ = font;
  requestedAnswer_ = RealizePsFont(font);
  return requestedAnswer_;
}

void PostScriptDevice::SetTextAlign(int vertical, int horizontal) {
  vAlign_ = vertical;
  hAlign_ = horizontal;
}

bool PostScriptDevice::SetDrawMode(int) { return false; }
bool PostScriptDevice::SetBackBuffer(uint8_t) { return false; }
bool PostScriptDevice::CopyBackBuffer(const PixelRect*) { return false; }
void PostScriptDevice::SetViewRect(const PixelRect*) {}
void PostScriptDevice::SetDeviceWord1(int32_t) {}
int PostScriptDevice::QueryKind() { return 1; }
void PostScriptDevice::LeaveMode(int32_t) {}
PixelSize PostScriptDevice::GetSize() { return {int32_t(userWidth_ * 10), int32_t(userHeight_ * 10)}; }
bool PostScriptDevice::QueryCapability1() { return false; }
bool PostScriptDevice::IsColor() { return color_; }
bool PostScriptDevice::IsScreen() { return false; }
bool PostScriptDevice::QueryCapability2() { return false; }
PixelSize PostScriptDevice::GetResolution() { return {600, 600}; }
double PostScriptDevice::GetScale() { return 1.0; }
int PostScriptDevice::QueryRect(const PixelRect&, int32_t) { return 0; }
bool PostScriptDevice::IsRectHidden(const PixelRect&, int32_t) { return false; }
bool PostScriptDevice::TestRect(const PixelRect&, int32_t) { return false; }
void PostScriptDevice::BeginMovieFrame() {}
void PostScriptDevice::SaveMovieFrame() {}
void PostScriptDevice::EndMovieFrame() {}
void PostScriptDevice::EndMovie() {}
void PostScriptDevice::SetWindow(WindowHandle) {}

int PostScriptDevice::TextWidth(const String& text) {
  const double s = requestedAnswer_.height * 0.1;
  const PsFont& font = PostScriptFont(FontIndex(requestedFont_));
  int64_t width = 0;
  for (unsigned char c : text.str()) {
    if (font.widths && c >= kPsFirstChar && c < kPsFirstChar + kPsWidthCount)
      width += int64_t(s * (font.widths[c - kPsFirstChar] / 100.0));
    else
      width += int64_t(s * font.averageFactor);
  }
  return int(std::min<int64_t>(width, INT32_MAX));
}

// ---------------------------------------------------------------------------
// Drawing

void PostScriptDevice::MoveTo(PixelPoint p) {
  if (!open_ || (hasCurrentPoint_ && p == current_)) return;
  Sync(kClip);
  current_ = p;
  hasCurrentPoint_ = movePending_ = true;
}

void PostScriptDevice::LineTo(PixelPoint p) {
  if (!open_) return;
  Sync(kClip);
  // A line with no start point starts where a new device's position is.
  if (!hasCurrentPoint_) hasCurrentPoint_ = movePending_ = true, current_ = {0, 0};
  FlushMove();
  if (lineItems_ != 0 && lineItems_ % 5 == 0) out_ += '\n';
  Point(p.x, p.y);
  Put("@l ");
  current_ = p;
  ++pathSegments_;
  ++lineItems_;
  if (pathSegments_ > 200) Sync(kStroke);
}

void PostScriptDevice::Clear() {
  if (!open_) return;
  Sync(kStroke | kClip);
  out_ += '\n';
  Corners(requestedClip_);
  out_ += "@rect ";
  ColorComponents(backColor_);
  Put("@c fill ");
  writtenColor_ = backColor_;
  PathEnded();
}

void PostScriptDevice::DrawRect(const PixelRect& r) {
  MoveTo({r.left, r.top});
  LineTo({r.left, r.bottom});
  LineTo({r.right, r.bottom});
  LineTo({r.right, r.top});
  LineTo({r.left, r.top});
}

void PostScriptDevice::DrawPolyline(const PixelPoint* points, int count, bool closed) {
  if (!points || count <= 0) return;
  MoveTo(points[0]);
  for (int i = 1; i < count; ++i) LineTo(points[i]);
  if (closed) LineTo(points[0]);
}

void PostScriptDevice::DrawCircle(PixelPoint centre, int radius) {
  if (!open_) return;
  Sync(kStroke | kClip | kColor | kPen);
  out_ += '\n';
  Point(centre.x, centre.y);
  Number(radius * 0.1);
  Put(" @dc @p ");
  PathEnded();
}

void PostScriptDevice::DrawArc(PixelPoint centre, int radius, int startAngle, int endAngle) {
  if (!open_) return;
  Sync(kStroke | kClip | kColor | kPen);
  out_ += '\n';
  Point(centre.x, centre.y);
  Number(radius * 0.1);
  out_ += ' ';
  Number(startAngle * 0.1);
  out_ += ' ';
  Number(endAngle * 0.1);
  Put(" arc @p ");
  PathEnded();
}

void PostScriptDevice::FillRect(const PixelRect& rect) {
  if (!open_) return;
  Sync(kStroke | kClip | kColor);
  out_ += '\n';
  Corners(rect);
  Put("@rect fill ");
  PathEnded();
}

void PostScriptDevice::FillPolygon(const PixelPoint* points, int count) {
  if (!open_ || !points || count < 3) return;
  Sync(kStroke | kClip | kColor);
  out_ += '\n';
  Point(points[0].x, points[0].y);
  out_ += "@m ";
  for (int i = 1; i < count; ++i) {
    Point(points[i].x, points[i].y);
    out_ += "@l ";
  }
  Put("fill ");
  PathEnded();
}

void PostScriptDevice::FillCircle(PixelPoint centre, int radius) {
  if (!open_) return;
  Sync(kStroke | kClip | kColor);
  out_ += '\n';
  Point(centre.x, centre.y);
  Number(radius * 0.1);
  Put(" @fc ");
  PathEnded();
}

void PostScriptDevice::DrawText(PixelPoint p, const String& text) {
  if (!open_) return;
  Sync(kStroke | kClip | kColor | kFont);
  const int32_t h = requestedAnswer_.height;
  switch (vAlign_) {
    case 0:
      p.y += 9 * h / 10;
      break;
    case 1:
      p.y += 2 * h / 5;
      break;
    case 3:
      p.y -= h / 10;
      break;
    default:
      break;
  }
  if (hAlign_ == 2) p.x -= TextWidth(text);
  if (hAlign_ == 1) p.x -= TextWidth(text) / 2;
  MoveTo(p);
  FlushMove();
  // A string may hold any byte: the delimiters and the escape character are
  // escaped, control characters written in octal.
  out_ += '(';
  for (unsigned char c : text.str()) {
    if (c == '(' || c == ')' || c == '\\') {
      out_ += '\\';
      out_ += char(c);
    } else if (c < 32 || c == 127) {
      const char octal[5] = {'\\', char('0' + (c >> 6)), char('0' + ((c >> 3) & 7)), char('0' + (c & 7)), 0};
      out_ += octal;
    } else {
      out_ += char(c);
    }
  }
  Put(") @s ");
  PathEnded();
}

void PostScriptDevice::DrawChar(PixelPoint p, char c) { DrawText(p, String(std::string(1, c))); }
