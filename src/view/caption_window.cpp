#include "view/caption_window.h"

#include <algorithm>

#include "base/app.h"
#include "view/view_port.h"

namespace {

bool SameRequest(const FontDesc& a, const FontDesc& b) {
  return a.width == b.width && a.height == b.height && a.kind == b.kind && a.style == b.style &&
         a.faceName.str() == b.faceName.str();
}

FontDesc Face(const char* face, int32_t width, int32_t height, int32_t kind, uint8_t style) {
  FontDesc d(width, height, kind, style);
  d.faceName = face;
  return d;
}

// The drag line's colour: drawn twice in exclusive or, it vanishes.
constexpr ColorRef kDragColor = 0xF0F0F0F0;

}  // namespace

CaptionWindow::CaptionWindow(ViewPort* view) : ViewWindow(view, view), port_(view) {
  // A caption line's y is its bottom.
  State().SetTextAlign(3, 0);
  dragState_.SetColor(kDragColor);
  dragState_.SetPenWidth(2);
  dragState_.SetDrawMode(1);
}

CaptionWindow::~CaptionWindow() = default;

ColorRef CaptionWindow::ColorIndex(const Color& color) { return Device() ? Device()->ToColorRef(color) : kNoColor; }

ColorRef CaptionWindow::LineColor(ColorRef color) const {
  if (color == kNoColor || !port_->DrawsInColour()) return port_->ForegroundIndex();
  return color;
}

void CaptionWindow::Realise(const FontDesc& request) {
  if (realised_ && SameRequest(request, realisedDesc_)) return;
  realisedFont_ = SetFont(request);
  realisedDesc_ = request;
  realised_ = true;
}

void CaptionWindow::NewPage() {
  const PixelSize size = Size();
  const int32_t w = size.width, h = size.height;
  State().SetPen(LineStyle());
  State().SetPenWidth(1);
  State().SetColor(port_->ForegroundIndex());

  // The title: the program's name, centred near the top.
  // Style bit 3 asks a device for its roman face; bits 0 and 1 for bold and italic.
  constexpr uint8_t kRoman = 8;
  textFont_ = Face("Times New Roman", w / 20, h / 25, 1, kRoman | FontDesc::kBold | FontDesc::kItalic);
  Realise(textFont_);
  const int32_t titleTop = h / 50;
  State().SetTextAlign(3, 1);
  DrawText({w / 2, titleTop + realisedFont_.height}, Identity().upperName);
  State().SetTextAlign(3, 0);

  // The columns start a fifth of the height below it.
  top_ = leftY_ = rightY_ = titleTop + h / 5;
  rightX_ = w / 2;
  leftX_ = w / 40 + 1;
  textFont_ = Face("Times New Roman", w / 35, h / 25, 1, kRoman);
  captionFont_ = Face("Arial", w / 40, h / 35, 2, 0);
  Realise(textFont_);
  Realise(captionFont_);
  lineHeight_ = realisedFont_.height;

  // The customer lines at the foot; nothing is written below `bottom_`.
  bottom_ = h - lineHeight_ * 5 / 4 - lineHeight_;
  State().SetColor(port_->ForegroundIndex());
  if (!CustomerLine1().IsEmpty()) DrawText({leftX_, bottom_ + lineHeight_}, CustomerLine1());
  if (!CustomerLine2().IsEmpty()) DrawText({leftX_, bottom_ + 2 * lineHeight_}, CustomerLine2());

  port_->DrawCaption();
}

void CaptionWindow::WriteCaptionLine(const String& text, ColorRef color, bool heading, bool erase) {
  Realise(heading ? textFont_ : captionFont_);
  leftY_ += lineHeight_;
  if (heading) leftY_ += lineHeight_ / 4;
  if (leftY_ > bottom_) return;
  if (erase) {
    State().SetColor(State().BackColor());
    DrawText({leftX_, leftY_}, text);
    return;
  }
  State().SetColor(LineColor(color));
  State().SetDrawMode(2);
  DrawText({leftX_, leftY_}, text);
  State().SetDrawMode(0);
  if (heading) leftY_ += lineHeight_ / 10;
}

void CaptionWindow::WriteCaptionRight(const String& text, ColorRef color) {
  Realise(captionFont_);
  rightY_ += lineHeight_;
  if (rightY_ > bottom_) return;
  State().SetColor(LineColor(color));
  State().SetDrawMode(2);
  DrawText({rightX_, rightY_}, text);
  State().SetDrawMode(0);
}

void CaptionWindow::DrawCaptionRule(ColorRef color, int penWidth) {
  leftY_ = rightY_ = std::max(leftY_, rightY_) + lineHeight_;
  if (leftY_ >= bottom_) return;
  State().SetColor(LineColor(color));
  State().SetPen(LineStyle());
  State().SetPenWidth(penWidth);
  const int32_t y = leftY_ - lineHeight_ / 2;
  MoveTo(PixelPoint{leftX_, y});
  LineTo(PixelPoint{Size().width - leftX_, y});
}

void CaptionWindow::LineStyleLegend(const LineStyle& style, int penWidth, ColorRef color) {
  const String text("   Linestyle");
  WriteCaptionLine(text, color);
  if (leftY_ > bottom_) return;
  State().SetColor(LineColor(color));
  State().SetPen(style);
  State().SetPenWidth(penWidth);
  const int32_t y = leftY_ - lineHeight_ / 2;
  const int32_t textWidth = Device() ? Device()->TextWidth(text) : 0;
  MoveTo(PixelPoint{leftX_ + textWidth * 5 / 4, y});
  LineTo(PixelPoint{Size().width - leftX_, y});
  State().SetPen(LineStyle());
}

void CaptionWindow::ColorBoxLegend(const String& text, ColorRef color, const Color& value) {
  Realise(captionFont_);
  leftY_ += lineHeight_;
  if (leftY_ > bottom_) return;
  ColorRef fill = color;
  if (!port_->DrawsInColour()) {
    const uint8_t g = uint8_t(value.Gray() * 255.0 + 0.5);
    fill = Device() ? Device()->ToColorRef(Color::FromBytes(g, g, g, 0, value.Gray())) : color;
  }
  const PixelRect box{leftX_, leftY_ - lineHeight_, leftX_ + lineHeight_, leftY_};
  State().SetColor(fill);
  FillRect(box);
  State().SetColor(port_->ForegroundIndex());
  State().SetPen(LineStyle());
  State().SetPenWidth(0);
  DrawRect(box);
  State().SetDrawMode(2);
  DrawText({leftX_ + lineHeight_ * 3 / 2, leftY_}, text);
  State().SetDrawMode(0);
}

void CaptionWindow::PushStatus(const String& text, ColorRef color) {
  if (statusCount_ >= kMaxStatus || !Device() || !Device()->IsScreen()) return;
  if (color == kNoColor) color = ColorIndex(colors::kOrange);
  statusY_[statusCount_] = leftY_;
  statusText_[statusCount_] = text;
  ++statusCount_;
  WriteCaptionLine(text, color);
}

void CaptionWindow::PopStatus() {
  if (statusCount_ == 0) return;
  --statusCount_;
  leftY_ = statusY_[statusCount_];
  WriteCaptionLine(statusText_[statusCount_], kNoColor, false, true);
  leftY_ = statusY_[statusCount_];
}

// ---------------------------------------------------------------------------
// The border drag

bool CaptionWindow::InEdgeZone(int32_t x) const {
  const int32_t w = Size().width;
  return port_->CaptionLeft() ? x >= w * 49 / 50 : x < w / 50;
}

void CaptionWindow::DrawDragLine() {
  // Down the caption, and on across the drawing window beside it.
  const int32_t h = Size().height;
  MoveTo(PixelPoint{dragPoint_.x, 0}, &dragState_);
  LineTo(PixelPoint{dragPoint_.x, h}, &dragState_);
}

int32_t CaptionWindow::DefaultHandling(const GuiEvent& e) {
  switch (e.code) {
    case event::kMouseMove:
      if (!dragging_) {
        if (InEdgeZone(e.p1)) Pointer().shape = 7;
        break;
      }
      DrawDragLine();
      dragPoint_ = {e.p1, e.p2};
      DrawDragLine();
      return 0;
    case event::kButtonDown:
      if (dragging_ || !InEdgeZone(e.p1)) break;
      dragging_ = true;
      dragPoint_ = {e.p1, e.p2};
      DrawDragLine();
      Pointer().capture = this;
      return 0;
    case event::kButtonUp: {
      if (!dragging_) break;
      if (Pointer().capture == this) Pointer().capture = nullptr;
      DrawDragLine();
      dragging_ = false;
      // The view's width: the surface's, or the caption and drawing windows'.
      PixelSize whole = Parent() ? Parent()->GetSize() : Size();
      const double v = whole.width > 0 ? whole.width : 1;
      const double w = Size().width;
      port_->SetCaptionSize(port_->CaptionLeft() ? e.p1 / v : (w - e.p1) / v);
      return 0;
    }
    case event::kKeyDown:
      if (dragging_ && (e.p1 == 13 || e.p1 == key::kEscape)) {
        DrawDragLine();
        if (Pointer().capture == this) Pointer().capture = nullptr;
        dragging_ = false;
        return 0;
      }
      break;
    default:
      break;
  }
  return ViewWindow::DefaultHandling(e);
}
