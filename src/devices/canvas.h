// Canvases: what plot items, windows and captions draw on. A canvas owns a
// drawing state (CanvasState) and a target record (CanvasTarget) and holds one
// device; before each drawing call it binds: its target becomes the device's
// bound target and the state (its own, or one the caller gives, such as a plot
// item's) the device's current state. Nothing is unbound afterwards, so
// drawing on through the same canvas and state costs one comparison each.
//
// Window canvases (WindowCanvas) form a tree of parent, children and siblings
// with positions, absolute offsets and visible rectangles; their drawing
// calls move points by the absolute offset.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "base/color.h"
#include "devices/plot_file_device.h"
#include "devices/region.h"
#include "platform/raster.h"

class WindowCanvas;

// The drawing state of a canvas or plot item. A setter passes the new value
// to the device at once while the state is current there.
class CanvasState {
 public:
  CanvasState() = default;
  // A copy has the settings of the original and is registered with the same
  // device, not current on it.
  CanvasState(const CanvasState& other);
  CanvasState& operator=(const CanvasState& other);
  // A current state leaves its device with no current state.
  ~CanvasState();

  // Registers the state with a device, or with none.
  void SetDevice(PlotFileDevice* device);
  PlotFileDevice* Device() const { return device_; }
  bool IsAttached() const { return attached_; }
  CanvasState* NextState() const { return next_; }

  void SetColor(ColorRef color);
  void SetBackColor(ColorRef color);
  void SetPenWidth(int width);
  void SetPen(const LineStyle& style);
  void SetTextAlign(int vertical, int horizontal);
  void SetDrawMode(int mode);
  // The mode word: when it is not 1 as the state goes, the device's LeaveMode gets it.
  void SetModeWord(int32_t word) { modeWord_ = word; }

  ColorRef Color() const { return color_; }
  ColorRef BackColor() const { return backColor_; }
  int PenWidth() const { return penWidth_; }
  int32_t ModeWord() const { return modeWord_; }
  const LineStyle& Pen() const { return style_; }
  const FontDesc& FontRequest() const { return fontRequest_; }
  const FontInfo& Font() const { return font_; }
  int VerticalAlign() const { return vAlign_; }
  int HorizontalAlign() const { return hAlign_; }
  int DrawMode() const { return drawMode_; }
  PixelPoint CurrentPoint() const { return point_; }

 private:
  friend class PlotFileDevice;
  friend class Canvas;
  void CopySettings(const CanvasState& other);

  bool attached_ = false;
  PlotFileDevice* device_ = nullptr;
  ColorRef color_ = kNoColor;
  ColorRef backColor_ = kNoColor;
  int penWidth_ = 0;
  int32_t modeWord_ = 1;
  LineStyle style_;
  FontDesc fontRequest_;
  FontInfo font_;
  int vAlign_ = 2;
  int hAlign_ = 0;
  int drawMode_ = 0;
  PixelPoint point_;
  CanvasState* next_ = nullptr;
  CanvasState* prev_ = nullptr;
};

// Where a canvas draws: its window, clip rectangle, shared clip region and
// off-screen bitmap.
class CanvasTarget {
 public:
  CanvasTarget() = default;
  ~CanvasTarget();
  CanvasTarget(const CanvasTarget&) = delete;
  CanvasTarget& operator=(const CanvasTarget&) = delete;

  bool IsAttached() const { return attached_; }
  bool BackBuffer() const { return backBuffer_; }
  PlotFileDevice* Device() const { return device_; }
  WindowHandle Window() const { return window_; }
  const PixelRect* ClipRect() const { return clip_ ? &*clip_ : nullptr; }
  const RegionRef& Region() const { return region_; }
  // The off-screen bitmap, or none.
  Raster* Bitmap() const { return bitmap_.get(); }

  void SetWindow(WindowHandle window);
  void SetClipRect(const PixelRect* rect);
  void SetRegion(const RegionRef& region);
  // Turning the flag on makes a bitmap of the window's size (one of that size stays).
  void SetBackBuffer(bool flag);

 private:
  friend class PlotFileDevice;
  friend class Canvas;
  // Moves the target to another device (or none), unbinding it from the old one.
  void ChangeDevice(PlotFileDevice* device);

  bool attached_ = false;
  bool backBuffer_ = false;
  PlotFileDevice* device_ = nullptr;
  std::optional<PixelRect> clip_;
  RegionRef region_;
  WindowHandle window_ = nullptr;
  std::unique_ptr<Raster> bitmap_;
};

// The window layer tells the canvases the rectangle of a native window (for
// the size of its off-screen bitmap); without it a window has no size.
using WindowRectQuery = bool (*)(WindowHandle window, PixelRect& rect);
void SetWindowRectQuery(WindowRectQuery query);

class Canvas {
 public:
  // A canvas on the device (or none); its state is registered with it.
  explicit Canvas(PlotFileDevice* device);
  virtual ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  // Where this canvas's coordinates begin on the device.
  virtual PixelPoint GetOrigin() const { return {0, 0}; }
  virtual void BeginOutput(CommandType& interp);
  virtual void EndOutput();
  virtual void ParseKeywords(CommandType& interp, int position);
  virtual PixelSize GetSize();
  // (0, 0) and the device's size.
  virtual PixelRect GetClientRect();
  // (0, 0) and the canvas's own size.
  virtual PixelRect GetRect();
  virtual String Name();
  virtual void List(TextOStream& out);
  // Stores the request in the state and answers (and keeps) the realised font.
  virtual FontInfo SetFont(const FontDesc& font, CanvasState* state = nullptr);
  // The state's current point moves there; the device moves only while the state is current.
  virtual void MoveTo(PixelPoint p, CanvasState* state = nullptr);
  virtual void SetClipRect(const PixelRect* rect);
  virtual void SetRegion(const RegionRef& region);
  // Children first, then this canvas's target.
  virtual void SetBackBuffer(bool flag);
  // Copies the back buffer to the window (false without one), then flushes the children.
  virtual bool Flush(const PixelRect* rect);
  virtual void LineTo(PixelPoint p, CanvasState* state = nullptr);
  virtual void Clear(CanvasState* state = nullptr);
  virtual void DrawRect(const PixelRect& rect, CanvasState* state = nullptr);
  virtual void DrawPolyline(const PixelPoint* points, int count, bool closed, CanvasState* state = nullptr);
  virtual void DrawCircle(PixelPoint centre, int radius, CanvasState* state = nullptr);
  virtual void DrawArc(PixelPoint centre, int radius, int startAngle, int endAngle, CanvasState* state = nullptr);
  virtual void FillRect(const PixelRect& rect, CanvasState* state = nullptr);
  virtual void FillPolygon(const PixelPoint* points, int count, CanvasState* state = nullptr);
  virtual void FillCircle(PixelPoint centre, int radius, CanvasState* state = nullptr);
  virtual void DrawText(PixelPoint p, const String& text, CanvasState* state = nullptr);
  virtual void DrawChar(PixelPoint p, char c, CanvasState* state = nullptr);
  virtual int QueryRect(const PixelRect& rect, int32_t word);
  virtual bool IsRectHidden(const PixelRect& rect, int32_t word);
  // Asks the device without binding.
  virtual bool TestRect(const PixelRect& rect, int32_t word);
  virtual void BeginMovieFrame();
  virtual void SaveMovieFrame();
  virtual void EndMovieFrame();
  virtual void EndMovie();

  // Window canvases below this one: the newest child comes first.
  void AddChild(WindowCanvas* child);
  void RemoveChild(WindowCanvas* child);
  WindowCanvas* FirstChild() const { return firstChild_; }

  CanvasState& State() { return state_; }
  CanvasTarget& Target() { return target_; }
  PlotFileDevice* Device() const { return device_; }

 protected:
  // Makes the target bound and the state current; false without a device.
  bool Bind(CanvasState* state) {
    if (!device_) return false;
    if (device_->BoundTarget() != &target_) device_->SetTarget(&target_);
    CanvasState* s = state ? state : &state_;
    if (device_->CurrentState() != s) device_->SelectState(s);
    return true;
  }
  // The area children are laid out in, in this canvas's coordinates.
  virtual PixelRect ChildArea() { return GetRect(); }

  // Declared before the target, so that the target goes first.
  CanvasState state_;
  CanvasTarget target_;
  PlotFileDevice* device_;
  WindowCanvas* firstChild_ = nullptr;

 private:
  friend class WindowCanvas;
  // The device of this canvas and its subtree changes.
  void SetCanvasDevice(PlotFileDevice* device);
};

// A canvas in the tree of windows. Its position is relative to its parent;
// its own clip rectangle and visible rectangle are in its own coordinates;
// the target's clip rectangle is on the device (moved by the absolute offset).
class WindowCanvas : public Canvas {
 public:
  // With a parent: added as its child, on its device.
  explicit WindowCanvas(Canvas* parent = nullptr);
  ~WindowCanvas() override;

  // The absolute offset: where the canvas lies on the device.
  PixelPoint GetOrigin() const override { return offset_; }
  void SetClipRect(const PixelRect* rect) override;
  void SetRegion(const RegionRef& region) override;
  void MoveTo(PixelPoint p, CanvasState* state = nullptr) override;
  void LineTo(PixelPoint p, CanvasState* state = nullptr) override;
  void DrawRect(const PixelRect& rect, CanvasState* state = nullptr) override;
  void DrawPolyline(const PixelPoint* points, int count, bool closed, CanvasState* state = nullptr) override;
  void DrawCircle(PixelPoint centre, int radius, CanvasState* state = nullptr) override;
  void DrawArc(PixelPoint centre, int radius, int startAngle, int endAngle, CanvasState* state = nullptr) override;
  void FillRect(const PixelRect& rect, CanvasState* state = nullptr) override;
  void FillPolygon(const PixelPoint* points, int count, CanvasState* state = nullptr) override;
  void FillCircle(PixelPoint centre, int radius, CanvasState* state = nullptr) override;
  void DrawText(PixelPoint p, const String& text, CanvasState* state = nullptr) override;
  void DrawChar(PixelPoint p, char c, CanvasState* state = nullptr) override;
  int QueryRect(const PixelRect& rect, int32_t word) override;
  bool IsRectHidden(const PixelRect& rect, int32_t word) override;
  // The canvas's own rectangle, cut to the given one, on the device.
  bool TestRect(const PixelRect& rect, int32_t word) override;

  // The visible rectangle: the canvas cut to its parent's area.
  virtual void UpdateVisibleRect();
  virtual void SetPosition(PixelPoint p);
  virtual void SetSize(int width, int height);
  virtual void SetRect(const PixelRect& rect);

  Canvas* Parent() const { return parent_; }
  WindowCanvas* NextSibling() const { return next_; }
  WindowCanvas* PrevSibling() const { return prev_; }
  PixelPoint Position() const { return position_; }
  PixelSize Size() const { return size_; }
  const PixelRect& VisibleRect() const { return visible_; }
  const PixelRect* OwnClipRect() const { return clip_ ? &*clip_ : nullptr; }

 protected:
  PixelRect ChildArea() override { return {0, 0, size_.width, size_.height}; }
  // Moves the canvas and its subtree on the device.
  void Shift(int32_t dx, int32_t dy);

 private:
  friend class Canvas;
  PixelPoint Moved(PixelPoint p) const { return {p.x + offset_.x, p.y + offset_.y}; }
  PixelRect Moved(const PixelRect& r) const {
    return {r.left + offset_.x, r.top + offset_.y, r.right + offset_.x, r.bottom + offset_.y};
  }
  const PixelPoint* MovedPoints(const PixelPoint* points, int count);

  Canvas* parent_ = nullptr;
  WindowCanvas* next_ = nullptr;
  WindowCanvas* prev_ = nullptr;
  PixelPoint position_;
  PixelSize size_;
  PixelPoint offset_;
  std::optional<PixelRect> clip_;
  PixelRect visible_ = {0, 0, -1, -1};
};
