#include "devices/canvas.h"

#include <algorithm>
#include <vector>

// ---------------------------------------------------------------------------
// Drawing state

CanvasState::CanvasState(const CanvasState& other) {
  CopySettings(other);
  SetDevice(other.device_);
}

CanvasState& CanvasState::operator=(const CanvasState& other) {
  if (this == &other) return *this;
  // The new settings are realised when the state is next made current.
  if (attached_ && device_) device_->SelectState(nullptr);
  CopySettings(other);
  SetDevice(other.device_);
  return *this;
}

CanvasState::~CanvasState() {
  if (!device_) return;
  if (attached_ && device_->current_ == this) device_->current_ = nullptr;
  attached_ = false;
  if (modeWord_ != 1) device_->LeaveMode(modeWord_);
  device_->Unlink(this);
}

void CanvasState::CopySettings(const CanvasState& o) {
  color_ = o.color_;
  backColor_ = o.backColor_;
  penWidth_ = o.penWidth_;
  style_ = o.style_;
  fontRequest_ = o.fontRequest_;
  font_ = o.font_;
  vAlign_ = o.vAlign_;
  hAlign_ = o.hAlign_;
  drawMode_ = o.drawMode_;
  point_ = o.point_;
}

void CanvasState::SetDevice(PlotFileDevice* device) {
  if (device == device_) return;
  if (device_) {
    if (attached_ && device_->current_ == this) device_->SelectState(nullptr);
    device_->Unlink(this);
  }
  attached_ = false;
  device_ = device;
  if (device_) device_->Link(this);
}

void CanvasState::SetColor(ColorRef color) {
  color_ = color;
  if (attached_) device_->SetColor(color);
}

void CanvasState::SetBackColor(ColorRef color) {
  backColor_ = color;
  if (attached_) device_->SetBackColor(color);
}

void CanvasState::SetPenWidth(int width) {
  penWidth_ = width;
  if (attached_) device_->SetPenWidth(width);
}

void CanvasState::SetPen(const LineStyle& style) {
  style_ = style;
  if (attached_) device_->SetLineStyle(style);
}

void CanvasState::SetTextAlign(int vertical, int horizontal) {
  vAlign_ = vertical;
  hAlign_ = horizontal;
  if (attached_) device_->SetTextAlign(vertical, horizontal);
}

void CanvasState::SetDrawMode(int mode) {
  drawMode_ = mode;
  if (attached_) device_->SetDrawMode(mode);
}

// ---------------------------------------------------------------------------
// Target

namespace {
WindowRectQuery windowRectQuery = nullptr;
}  // namespace

void SetWindowRectQuery(WindowRectQuery query) { windowRectQuery = query; }

CanvasTarget::~CanvasTarget() {
  if (attached_ && device_) device_->SetTarget(nullptr);
}

void CanvasTarget::SetWindow(WindowHandle window) {
  window_ = window;
  if (attached_) device_->SetWindow(window);
}

void CanvasTarget::SetClipRect(const PixelRect* rect) {
  if (rect)
    clip_ = *rect;
  else
    clip_.reset();
  if (attached_) device_->SetClipRect(ClipRect());
}

void CanvasTarget::SetRegion(const RegionRef& region) {
  region_ = region;
  if (attached_) device_->SetRegion(region_);
}

void CanvasTarget::SetBackBuffer(bool flag) {
  if (flag == backBuffer_) return;
  if (flag) {
    PixelRect r{0, 0, -1, -1};
    if (window_ && windowRectQuery && !windowRectQuery(window_, r)) r = {0, 0, -1, -1};
    int width = r.right - r.left + 1, height = r.bottom - r.top + 1;
    if (!bitmap_ || bitmap_->Width() != width || bitmap_->Height() != height) {
      if (width > 0 && height > 0)
        bitmap_ = std::make_unique<Raster>(width, height);
      else
        bitmap_.reset();
    }
  }
  backBuffer_ = flag;
  if (attached_) device_->SetBackBuffer(flag);
}

void CanvasTarget::ChangeDevice(PlotFileDevice* device) {
  if (device == device_) return;
  if (attached_ && device_) device_->SetTarget(nullptr);
  attached_ = false;
  device_ = device;
  if (!device_) backBuffer_ = false;
}

// ---------------------------------------------------------------------------
// Canvas

Canvas::Canvas(PlotFileDevice* device) : device_(device) {
  state_.SetDevice(device);
  target_.device_ = device;
}

Canvas::~Canvas() {
  while (firstChild_) RemoveChild(firstChild_);
}

void Canvas::BeginOutput(CommandType& interp) {
  if (device_) device_->BeginOutput(interp);
}
void Canvas::EndOutput() {
  if (device_) device_->EndOutput();
}
void Canvas::ParseKeywords(CommandType& interp, int position) {
  if (device_) device_->ParseKeywords(interp, position);
}
PixelSize Canvas::GetSize() { return device_ ? device_->GetSize() : PixelSize{}; }
PixelRect Canvas::GetClientRect() {
  PixelSize s = device_ ? device_->GetSize() : PixelSize{};
  return {0, 0, s.width, s.height};
}
PixelRect Canvas::GetRect() {
  PixelSize s = GetSize();
  return {0, 0, s.width, s.height};
}
String Canvas::Name() { return device_ ? device_->Name() : String(); }
void Canvas::List(TextOStream& out) {
  if (device_) device_->List(out);
}

FontInfo Canvas::SetFont(const FontDesc& font, CanvasState* state) {
  CanvasState* s = state ? state : &state_;
  s->fontRequest_ = font;
  if (!device_) return s->font_;
  if (device_->BoundTarget() != &target_) device_->SetTarget(&target_);
  if (device_->CurrentState() != s)
    device_->SelectState(s);  // realises the new request
  else
    s->font_ = device_->SelectFont(font);
  return s->font_;
}

void Canvas::MoveTo(PixelPoint p, CanvasState* state) {
  CanvasState* s = state ? state : &state_;
  s->point_ = p;
  if (s->attached_) s->device_->MoveTo(p);
}

void Canvas::LineTo(PixelPoint p, CanvasState* state) {
  CanvasState* s = state ? state : &state_;
  if (!Bind(s)) return;
  device_->LineTo(p);
  // The line ends at the state's new current point, where it goes on when
  // the state is made current again after another one drew.
  s->point_ = p;
}

void Canvas::SetClipRect(const PixelRect* rect) { target_.SetClipRect(rect); }
void Canvas::SetRegion(const RegionRef& region) { target_.SetRegion(region); }

void Canvas::SetBackBuffer(bool flag) {
  for (WindowCanvas* c = firstChild_; c; c = c->next_) c->SetBackBuffer(flag);
  target_.SetBackBuffer(flag);
}

bool Canvas::Flush(const PixelRect* rect) {
  bool copied = false;
  if (Bind(nullptr) && target_.backBuffer_ && target_.attached_)
    copied = device_->CopyBackBuffer(rect ? rect : target_.ClipRect());
  for (WindowCanvas* c = firstChild_; c; c = c->next_) {
    if (rect) {
      PixelPoint o = c->GetOrigin();
      PixelRect r{rect->left - o.x, rect->top - o.y, rect->right - o.x, rect->bottom - o.y};
      c->Flush(&r);
    } else {
      c->Flush(nullptr);
    }
  }
  return copied;
}

void Canvas::Clear(CanvasState* state) {
  if (Bind(state)) device_->Clear();
}
void Canvas::DrawRect(const PixelRect& rect, CanvasState* state) {
  if (Bind(state)) device_->DrawRect(rect);
}
void Canvas::DrawPolyline(const PixelPoint* points, int count, bool closed, CanvasState* state) {
  if (Bind(state)) device_->DrawPolyline(points, count, closed);
}
void Canvas::DrawCircle(PixelPoint centre, int radius, CanvasState* state) {
  if (Bind(state)) device_->DrawCircle(centre, radius);
}
void Canvas::DrawArc(PixelPoint centre, int radius, int startAngle, int endAngle, CanvasState* state) {
  if (Bind(state)) device_->DrawArc(centre, radius, startAngle, endAngle);
}
void Canvas::FillRect(const PixelRect& rect, CanvasState* state) {
  if (Bind(state)) device_->FillRect(rect);
}
void Canvas::FillPolygon(const PixelPoint* points, int count, CanvasState* state) {
  if (Bind(state)) device_->FillPolygon(points, count);
}
void Canvas::FillCircle(PixelPoint centre, int radius, CanvasState* state) {
  if (Bind(state)) device_->FillCircle(centre, radius);
}
void Canvas::DrawText(PixelPoint p, const String& text, CanvasState* state) {
  if (Bind(state)) device_->DrawText(p, text);
}
void Canvas::DrawChar(PixelPoint p, char c, CanvasState* state) {
  if (Bind(state)) device_->DrawChar(p, c);
}
int Canvas::QueryRect(const PixelRect& rect, int32_t word) {
  return Bind(nullptr) ? device_->QueryRect(rect, word) : 0;
}
bool Canvas::IsRectHidden(const PixelRect& rect, int32_t word) {
  return Bind(nullptr) && device_->IsRectHidden(rect, word);
}
bool Canvas::TestRect(const PixelRect& rect, int32_t word) { return device_ && device_->TestRect(rect, word); }
void Canvas::BeginMovieFrame() {
  if (Bind(nullptr)) device_->BeginMovieFrame();
}
void Canvas::SaveMovieFrame() {
  if (Bind(nullptr)) device_->SaveMovieFrame();
}
void Canvas::EndMovieFrame() {
  if (Bind(nullptr)) device_->EndMovieFrame();
}
void Canvas::EndMovie() {
  if (Bind(nullptr)) device_->EndMovie();
}

void Canvas::SetCanvasDevice(PlotFileDevice* device) {
  device_ = device;
  state_.SetDevice(device);
  target_.ChangeDevice(device);
  for (WindowCanvas* c = firstChild_; c; c = c->next_) c->SetCanvasDevice(device);
}

void Canvas::AddChild(WindowCanvas* child) {
  if (child->parent_) child->parent_->RemoveChild(child);
  child->prev_ = nullptr;
  child->next_ = firstChild_;
  if (firstChild_) firstChild_->prev_ = child;
  firstChild_ = child;
  child->parent_ = this;
  PixelPoint origin = GetOrigin();
  child->Shift(origin.x + child->position_.x - child->offset_.x, origin.y + child->position_.y - child->offset_.y);
  child->SetCanvasDevice(device_);
  child->state_.modeWord_ = state_.modeWord_;
  child->SetBackBuffer(target_.backBuffer_);
}

void Canvas::RemoveChild(WindowCanvas* child) {
  if (!child || child->parent_ != this) return;
  if (child->prev_)
    child->prev_->next_ = child->next_;
  else
    firstChild_ = child->next_;
  if (child->next_) child->next_->prev_ = child->prev_;
  child->next_ = child->prev_ = nullptr;
  child->parent_ = nullptr;
  child->SetCanvasDevice(nullptr);
  child->Shift(-child->offset_.x, -child->offset_.y);
}

// ---------------------------------------------------------------------------
// Window canvas

WindowCanvas::WindowCanvas(Canvas* parent) : Canvas(parent ? parent->Device() : nullptr) {
  if (parent) parent->AddChild(this);
  UpdateVisibleRect();
}

WindowCanvas::~WindowCanvas() {
  if (parent_) parent_->RemoveChild(this);
}

void WindowCanvas::Shift(int32_t dx, int32_t dy) {
  if (dx == 0 && dy == 0) return;
  offset_.x += dx;
  offset_.y += dy;
  if (const PixelRect* c = target_.ClipRect()) {
    PixelRect moved{c->left + dx, c->top + dy, c->right + dx, c->bottom + dy};
    target_.SetClipRect(&moved);
  }
  for (WindowCanvas* c = firstChild_; c; c = c->next_) c->Shift(dx, dy);
}

void WindowCanvas::SetPosition(PixelPoint p) {
  if (p == position_) return;
  int32_t dx = p.x - position_.x, dy = p.y - position_.y;
  position_ = p;
  Shift(dx, dy);
  UpdateVisibleRect();
}

void WindowCanvas::SetSize(int width, int height) {
  size_ = {width, height};
  UpdateVisibleRect();
}

void WindowCanvas::SetRect(const PixelRect& r) {
  int32_t dx = r.left - position_.x, dy = r.top - position_.y;
  position_ = {r.left, r.top};
  Shift(dx, dy);
  size_ = {r.right - r.left, r.bottom - r.top};
  UpdateVisibleRect();
}

void WindowCanvas::UpdateVisibleRect() {
  PixelRect v{position_.x, position_.y, position_.x + size_.width, position_.y + size_.height};
  if (parent_) {
    PixelRect area = parent_->ChildArea();
    v.left = std::max(v.left, area.left);
    v.top = std::max(v.top, area.top);
    v.right = std::min(v.right, area.right);
    v.bottom = std::min(v.bottom, area.bottom);
  }
  v.right = std::max(v.right, v.left);
  v.bottom = std::max(v.bottom, v.top);
  visible_ = {v.left - position_.x, v.top - position_.y, v.right - position_.x, v.bottom - position_.y};
  std::optional<PixelRect> own = clip_;
  SetClipRect(own ? &*own : nullptr);
  for (WindowCanvas* c = firstChild_; c; c = c->next_) c->UpdateVisibleRect();
}

void WindowCanvas::SetClipRect(const PixelRect* rect) {
  if (rect)
    clip_ = *rect;
  else
    clip_.reset();
  PixelRect t = visible_;
  if (clip_) {
    t.left = std::max(t.left, clip_->left);
    t.top = std::max(t.top, clip_->top);
    t.right = std::min(t.right, clip_->right);
    t.bottom = std::min(t.bottom, clip_->bottom);
  }
  t = Moved(t);
  target_.SetClipRect(&t);
}

void WindowCanvas::SetRegion(const RegionRef& region) {
  RegionRef moved = region;
  moved.MoveOffset(offset_.x, offset_.y);
  target_.SetRegion(moved);
}

const PixelPoint* WindowCanvas::MovedPoints(const PixelPoint* points, int count) {
  if ((offset_.x == 0 && offset_.y == 0) || !points || count <= 0) return points;
  static std::vector<PixelPoint> buffer;
  buffer.resize(size_t(count));
  for (int i = 0; i < count; ++i) buffer[size_t(i)] = Moved(points[i]);
  return buffer.data();
}

void WindowCanvas::MoveTo(PixelPoint p, CanvasState* state) { Canvas::MoveTo(Moved(p), state); }
void WindowCanvas::LineTo(PixelPoint p, CanvasState* state) { Canvas::LineTo(Moved(p), state); }
void WindowCanvas::DrawRect(const PixelRect& rect, CanvasState* state) { Canvas::DrawRect(Moved(rect), state); }
void WindowCanvas::DrawPolyline(const PixelPoint* points, int count, bool closed, CanvasState* state) {
  Canvas::DrawPolyline(MovedPoints(points, count), count, closed, state);
}
void WindowCanvas::DrawCircle(PixelPoint centre, int radius, CanvasState* state) {
  Canvas::DrawCircle(Moved(centre), radius, state);
}
void WindowCanvas::DrawArc(PixelPoint centre, int radius, int startAngle, int endAngle, CanvasState* state) {
  Canvas::DrawArc(Moved(centre), radius, startAngle, endAngle, state);
}
void WindowCanvas::FillRect(const PixelRect& rect, CanvasState* state) { Canvas::FillRect(Moved(rect), state); }
void WindowCanvas::FillPolygon(const PixelPoint* points, int count, CanvasState* state) {
  Canvas::FillPolygon(MovedPoints(points, count), count, state);
}
void WindowCanvas::FillCircle(PixelPoint centre, int radius, CanvasState* state) {
  Canvas::FillCircle(Moved(centre), radius, state);
}
void WindowCanvas::DrawText(PixelPoint p, const String& text, CanvasState* state) {
  Canvas::DrawText(Moved(p), text, state);
}
void WindowCanvas::DrawChar(PixelPoint p, char c, CanvasState* state) { Canvas::DrawChar(Moved(p), c, state); }
int WindowCanvas::QueryRect(const PixelRect& rect, int32_t word) { return Canvas::QueryRect(Moved(rect), word); }
bool WindowCanvas::IsRectHidden(const PixelRect& rect, int32_t word) { return Canvas::IsRectHidden(Moved(rect), word); }
bool WindowCanvas::TestRect(const PixelRect& rect, int32_t word) {
  PixelRect r{0, 0, size_.width, size_.height};
  r.left = std::max(r.left, rect.left);
  r.top = std::max(r.top, rect.top);
  r.right = std::min(r.right, rect.right);
  r.bottom = std::min(r.bottom, rect.bottom);
  return device_ && device_->TestRect(Moved(r), word);
}
