#include "view/view_window.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "devices/plot_file_device.h"

namespace {

// Cleared when a view window moves or changes size: the next paint of any
// view window then regenerates everything, later ones only redraw.
bool repaintFlag = false;

// The dash pattern of the rubber band and its colour (drawn in XOR).
constexpr LineStyle kBandStyle{4, 4};
constexpr ColorRef kBandColor = 0xF0F0F0F0;

// The camera of windows whose camera has gone: never fitted, so they draw nothing.
Camera& DetachedCamera() {
  static Camera camera;
  return camera;
}

PixelRect Normalized(PixelPoint a, PixelPoint b) {
  return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

}  // namespace

PointerState& Pointer() {
  static PointerState state;
  return state;
}

// ---------------------------------------------------------------------------
// View window

ViewWindow::ViewWindow(ViewHost* view, Camera* camera) : view_(view), camera_(camera ? camera : &DetachedCamera()) {}

ViewWindow::~ViewWindow() {
  if (Pointer().capture == this) Pointer().capture = nullptr;
}

void ViewWindow::DetachCamera() { camera_ = &DetachedCamera(); }

void ViewWindow::AttachCanvas(Canvas* surface) {
  if (surface) surface->AddChild(this);
}

void ViewWindow::FitExtent() {
  if (camera_ == &DetachedCamera()) return;
  ViewExtent& e = *camera_;
  const ExtentRect& r = e.requested_;
  const PixelSize size = Size();
  const PixelSize dpi = Device() ? Device()->GetResolution() : PixelSize{1, 1};
  const double w = size.width, h = size.height, ew = r.x1 - r.x0, eh = r.y1 - r.y0;
  e.visible_ = r;
  e.deviceHeight_ = h;
  e.sx_ = e.sy_ = 0;
  if (!(w > 0 && h > 0 && dpi.width > 0 && dpi.height > 0)) return;
  if (!(ew > 0 && eh > 0 && std::isfinite(ew) && std::isfinite(eh))) return;
  // Equal view units per inch across and down, the requested extent centred.
  const double pw = w / dpi.width, ph = h / dpi.height;
  const double rx = ew / pw, ry = eh / ph;
  ExtentRect& v = e.visible_;
  if (rx <= ry) {
    const double d = (ry * pw - ew) / 2;
    v.x0 -= d;
    v.x1 += d;
  } else {
    const double d = (rx * ph - eh) / 2;
    v.y0 -= d;
    v.y1 += d;
  }
  const double sx = w / (v.x1 - v.x0), sy = h / (v.y1 - v.y0);
  if (!(sx > 0 && sy > 0 && std::isfinite(sx) && std::isfinite(sy))) {
    v = r;
    return;
  }
  e.sx_ = sx;
  e.sy_ = sy;
}

PixelPoint ViewWindow::FarToDevice(double x, double y) {
  // Not a number counts as far out on the positive side.
  if (std::isnan(x)) x = HUGE_VAL;
  if (std::isnan(y)) y = HUGE_VAL;
  const double ax = std::fabs(x), ay = std::fabs(y);
  // The smaller coordinate is scaled with the larger one, which becomes exactly 2e9.
  auto scaled = [](double small, double large, double absSmall) {
    if (std::isinf(large)) return std::isinf(absSmall) ? std::copysign(kFar, small) : 0.0;
    return small * (kFar / std::fabs(large));
  };
  if (ax >= ay) return {int32_t(std::copysign(kFar, x)), int32_t(scaled(y, x, ay))};
  return {int32_t(scaled(x, y, ax)), int32_t(std::copysign(kFar, y))};
}

DVect2 ViewWindow::FromDevice(PixelPoint p) const {
  const ViewExtent& e = *camera_;
  if (!CanDraw()) return {e.visible_.x0, e.visible_.y0};
  return {p.x / e.sx_ + e.visible_.x0, (e.deviceHeight_ - p.y) / e.sy_ + e.visible_.y0};
}

int32_t ViewWindow::DeviceLength(double length) const {
  const double v = length * std::max(camera_->sx_, camera_->sy_);
  if (std::isnan(v)) return int32_t(kFar);
  return int32_t(std::clamp(v, -kFar, kFar));
}

bool ViewWindow::Rejected(const DVect2& a, const DVect2& b) const {
  const ExtentRect& v = camera_->visible_;
  return (a.x < v.x0 && b.x < v.x0) || (a.y < v.y0 && b.y < v.y0) || (a.x > v.x1 && b.x > v.x1) ||
         (a.y > v.y1 && b.y > v.y1);
}

void ViewWindow::DrawSegment(const DVect2& a, const DVect2& b, CanvasState* state) {
  if (!CanDraw() || Rejected(a, b)) return;
  MoveTo(a, state);
  LineTo(b, state);
}

void ViewWindow::DrawCircle(const DVect2& c, double r, CanvasState* state) {
  const ExtentRect& v = camera_->visible_;
  if (!CanDraw() || !(c.x + r >= v.x0 && c.x - r <= v.x1 && c.y + r >= v.y0 && c.y - r <= v.y1)) return;
  WindowCanvas::DrawCircle(ToDevice(c), std::abs(DeviceLength(r)), state);
}

void ViewWindow::FillCircle(const DVect2& c, double r, CanvasState* state) {
  const ExtentRect& v = camera_->visible_;
  if (!CanDraw() || !(c.x + r >= v.x0 && c.x - r <= v.x1 && c.y + r >= v.y0 && c.y - r <= v.y1)) return;
  WindowCanvas::FillCircle(ToDevice(c), std::abs(DeviceLength(r)), state);
}

void ViewWindow::FillPolygon2D(const DVect2* points, int count, CanvasState* state) {
  if (!points || count <= 0 || !CanDraw()) return;
  double x0 = points[0].x, x1 = x0, y0 = points[0].y, y1 = y0;
  for (int i = 1; i < count; ++i) {
    x0 = std::min(x0, points[i].x);
    x1 = std::max(x1, points[i].x);
    y0 = std::min(y0, points[i].y);
    y1 = std::max(y1, points[i].y);
  }
  const ExtentRect& v = camera_->visible_;
  if (x1 < v.x0 || x0 > v.x1 || y1 < v.y0 || y0 > v.y1) return;
  PixelPoint fixed[kFixedPoints];
  PixelPoint* out = fixed;
  if (count > kFixedPoints) {
    if (devicePoints_.size() < size_t(count)) devicePoints_.resize(size_t(count));
    out = devicePoints_.data();
  }
  for (int i = 0; i < count; ++i) out[i] = ToDevice(points[i]);
  WindowCanvas::FillPolygon(out, count, state);
}

void ViewWindow::DrawPolyline(const Vec3* points, int count, bool closed, CanvasState* state) {
  if (!points || count <= 0) return;
  DVect2 first, p;
  Project(points[0], first);
  MoveTo(first, state);
  for (int i = 1; i < count; ++i) {
    Project(points[i], p);
    LineTo(p, state);
  }
  if (closed) LineTo(first, state);
}

void ViewWindow::FillPolygon(const Vec3* points, int count, CanvasState* state) {
  if (!points || count <= 0) return;
  DVect2 fixed[kFixedPoints];
  DVect2* projected = fixed;
  if (count > kFixedPoints) {
    if (viewPoints_.size() < size_t(count)) viewPoints_.resize(size_t(count));
    projected = viewPoints_.data();
  }
  for (int i = 0; i < count; ++i) Project(points[i], projected[i]);
  FillPolygon2D(projected, count, state);
}

void ViewWindow::TextAt(const DVect2& p, const String& text, CanvasState* state) {
  if (CanDraw()) WindowCanvas::DrawText(ToDevice(p), text, state);
}

int32_t ViewWindow::DefaultHandling(const GuiEvent& e) {
  switch (e.code) {
    case event::kMoved:
    case event::kResized:
      repaintFlag = false;
      break;
    case event::kPaint:
      paintPending_ = false;
      if (repaintFlag) {
        if (view_) view_->Regenerate(1, String());
      } else {
        repaintFlag = true;
        if (view_) view_->Regenerate(-1, String());
      }
      break;
    case event::kMenuInit:
    case event::kMenuCommand:
      // The frame window's own commands belong to the frame window, which
      // does not exist yet; no other menu event goes on from a view window.
      return 0;
    default:
      break;
  }
  return view_ ? view_->ForwardMenuEvent(e) : 0;
}

// ---------------------------------------------------------------------------
// Rubber-band zoom of the 2-D extent

ExtentViewWindow::ExtentViewWindow(ViewHost* view, Camera* camera) : ViewWindow(view, camera) {
  camera_->SetExtentWindow(this);
  bandState_.SetColor(kBandColor);
  bandState_.SetPen(kBandStyle);
  bandState_.SetPenWidth(0);
  bandState_.SetDrawMode(1);
}

ExtentViewWindow::~ExtentViewWindow() {
  if (Pointer().capture == this) Pointer().capture = nullptr;
  if (camera_->ExtentWindow() == this) camera_->SetExtentWindow(nullptr);
  if (view_) view_->WindowClosing(this);
}

void ExtentViewWindow::SetSize(int width, int height) {
  ViewWindow::SetSize(width, height);
  FitExtent();
}

void ExtentViewWindow::SetRect(const PixelRect& rect) {
  ViewWindow::SetRect(rect);
  FitExtent();
}

void ExtentViewWindow::DrawLine(PixelPoint from, PixelPoint to, CanvasState* state) {
  WindowCanvas::MoveTo(from, state);
  WindowCanvas::LineTo(to, state);
}

void ExtentViewWindow::DrawBand() {
  if (!Device()) return;
  bandState_.SetDevice(Device());
  if (!Bind(&bandState_)) return;
  // The dashes start again at the first corner, so that drawing the same
  // band twice restores the picture whatever was drawn in between.
  bandState_.SetPen(PredefinedLineStyle(0));
  bandState_.SetPen(kBandStyle);
  const PixelRect r = Normalized(start_, end_);
  const PixelPoint corners[4] = {{r.left, r.top}, {r.right, r.top}, {r.right, r.bottom}, {r.left, r.bottom}};
  WindowCanvas::DrawPolyline(corners, 4, true, &bandState_);
}

void ExtentViewWindow::EndBand(bool erase) {
  if (erase) DrawBand();
  band_ = kIdle;
  if (Pointer().capture == this) Pointer().capture = nullptr;
}

bool ExtentViewWindow::InClient(int32_t x, int32_t y) const {
  const PixelSize s = Size();
  return x >= 0 && y >= 0 && x < s.width && y < s.height;
}

int32_t ExtentViewWindow::DefaultHandling(const GuiEvent& e) {
  if (e.code == event::kMenuCommand && e.p1 == kZoomCommand) {
    if (band_ == kDragging) DrawBand();
    band_ = kArmed;
    Pointer().capture = this;
    Pointer().shape = 1;
    return 0;
  }
  if (band_ == kIdle) return ViewWindow::DefaultHandling(e);
  const PixelPoint at{e.p1, e.p2};
  switch (e.code) {
    case event::kMouseMove:
      if (band_ == kArmed) {
        Pointer().shape = InClient(at.x, at.y) ? 1 : 6;
      } else {
        DrawBand();
        end_ = at;
        DrawBand();
      }
      return 0;
    case event::kButtonDown:
      if (band_ == kArmed && InClient(at.x, at.y)) {
        start_ = end_ = at;
        DrawBand();
        band_ = kDragging;
      } else {
        EndBand(band_ == kDragging);
      }
      return 0;
    case event::kButtonUp:
      if (band_ == kDragging) {
        DrawBand();
        EndBand(false);
        Pointer().shape = 0;
        end_ = at;
        ZoomToRectangle(Normalized(start_, end_));
      }
      return 0;
    case event::kDoubleClick:
      return 0;
    case event::kKeyDown:
    case event::kKeyUp:
    case event::kChar:
      if (e.code == event::kKeyDown && e.p1 == key::kEscape) EndBand(band_ == kDragging);
      return 0;
    default:
      return ViewWindow::DefaultHandling(e);
  }
}

void ExtentViewWindow::ZoomToRectangle(const PixelRect& r) {
  if (r.right - r.left < 4 || r.bottom - r.top < 4 || !CanDraw()) return;
  const DVect2 a = FromDevice({r.left, r.top}), b = FromDevice({r.right, r.bottom});
  camera_->SetExtent(std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y));
  Invalidate();
}

// ---------------------------------------------------------------------------
// Zoom of the camera

CameraViewWindow::CameraViewWindow(ViewHost* view, Camera* camera) : ExtentViewWindow(view, camera) {
  camera_->SetCameraWindow(this);
}

CameraViewWindow::~CameraViewWindow() {
  if (camera_->CameraWindow() == this) camera_->SetCameraWindow(nullptr);
}

void CameraViewWindow::ZoomToRectangle(const PixelRect& r) {
  if (r.right - r.left <= 3 || r.bottom - r.top <= 3 || !CanDraw()) return;
  Camera& c = *camera_;
  const DVect2 a = FromDevice({r.left, r.top}), b = FromDevice({r.right, r.bottom});
  const DVect2 middle{(a.x + b.x) / 2, (a.y + b.y) / 2};
  const double width = std::fabs(b.x - a.x), height = std::fabs(a.y - b.y);
  Vec3 v = c.Unproject(middle) - c.Eye();
  if (!c.Perspective()) {
    // Across the view only: the band's middle comes to the middle of the picture.
    const Vec3& d = c.Direction();
    v = v - d * Vec3::Dot(v, d);
    if (c.GetMode() == Camera::kFirstPerson)
      c.SetPosition(c.Eye() + v);
    else
      c.SetCenter(c.Centre() + v);
  } else {
    c.LookAlong(UnitVector(v));
  }
  const ExtentRect& e = c.Requested();
  c.Magnify(std::min((e.y1 - e.y0) / height, (e.x1 - e.x0) / width));
  if (view_) view_->Regenerate(2, String());
}
