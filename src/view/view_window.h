// The windows that show a view. A view window maps view coordinates onto its
// canvas, fits the view's extent to its own shape, rejects what lies wholly
// outside the visible extent (the device clips the rest), and projects model
// points through the view's camera. Plot items draw only through these
// operations: they run once per vertex and allocate nothing.
//
// ExtentViewWindow adds the rubber-band zoom to a 2-D extent, and
// CameraViewWindow zooms a camera instead. Until native windows exist a view
// window is a child canvas of the view's drawing surface; events reach it
// through DefaultHandling, and the mouse capture and pointer shape are kept
// as state (Pointer()).
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "base/matrix.h"
#include "base/string.h"
#include "devices/canvas.h"
#include "view/camera.h"
#include "view/window_event.h"

class ViewWindow;

// What a view window asks of the view it belongs to. The defaults answer as
// a view with nothing to draw.
class ViewHost {
 public:
  virtual ~ViewHost() = default;
  // Draws the view for the change mask; true when a key interrupted it.
  virtual bool Regenerate(int32_t /*mask*/, const String& /*text*/) { return false; }
  // Redraws after a setting changed.
  virtual void Update(int32_t /*mask*/, const String& /*text*/) {}
  // An event the window did not use: the plot items and the view's commands may.
  virtual int32_t ForwardMenuEvent(const GuiEvent& /*event*/) { return 0; }
  // The window is going; the view forgets it.
  virtual void WindowClosing(ViewWindow* /*window*/) {}
};

// The mouse capture and the pointer shape (0 arrow, 1 cross, 6 arrow outside
// a window while zooming).
struct PointerState {
  const ViewWindow* capture = nullptr;
  int shape = 0;
};
PointerState& Pointer();

class ViewWindow : public WindowCanvas {
 public:
  // A window of the view (or none) with the view's camera.
  ViewWindow(ViewHost* view, Camera* camera);
  ~ViewWindow() override;

  using WindowCanvas::DrawCircle;
  using WindowCanvas::DrawPolyline;
  using WindowCanvas::FillCircle;
  using WindowCanvas::FillPolygon;
  using WindowCanvas::LineTo;
  using WindowCanvas::MoveTo;

  ViewHost* View() const { return view_; }
  Camera* GetCamera() const { return camera_; }

  // Puts the window on the view's drawing surface as a child canvas.
  void AttachCanvas(Canvas* surface);

  // Widens the requested extent to the window's shape (square physical
  // units) into the visible extent and sets the device scales. A window or
  // extent without width or height is not fitted and draws nothing.
  void FitExtent();
  // Whether the extent is fitted: only then does anything draw.
  bool CanDraw() const { return camera_->sx_ > 0; }

  // The device point of a view point. Far points (beyond 2e9 in either
  // coordinate, or not finite) are pulled in along the line from the origin
  // so that the larger coordinate is exactly 2e9.
  PixelPoint ToDevice(const DVect2& p) const {
    const ViewExtent& e = *camera_;
    const double x = (p.x - e.visible_.x0) * e.sx_, y = e.deviceHeight_ - (p.y - e.visible_.y0) * e.sy_;
    if (std::fabs(x) <= kFar && std::fabs(y) <= kFar) return {int32_t(x), int32_t(y)};
    return FarToDevice(x, y);
  }
  DVect2 FromDevice(PixelPoint p) const;
  // A view length in device units, toward zero, within +-2e9.
  int32_t DeviceLength(double length) const;

  void Project(const Vec3& p, DVect2& out, double* scale = nullptr) { camera_->Project(p, out, scale); }
  void ProjectWithDepth(const Vec3& p, Vec3& out, double* scale = nullptr) { camera_->ProjectWithDepth(p, out, scale); }
  // The model point under a device point, on the camera's centre plane.
  Vec3 UnprojectDevice(PixelPoint p) { return camera_->Unproject(FromDevice(p)); }

  // Line drawing in view coordinates, from the last point.
  void MoveTo(const DVect2& p, CanvasState* state = nullptr) {
    camera_->lastX_ = p.x;
    camera_->lastY_ = p.y;
    WindowCanvas::MoveTo(ToDevice(p), state);
  }
  void LineTo(const DVect2& p, CanvasState* state = nullptr) {
    ViewExtent& e = *camera_;
    const ExtentRect& v = e.visible_;
    const bool outside = (e.lastX_ < v.x0 && p.x < v.x0) || (e.lastY_ < v.y0 && p.y < v.y0) ||
                         (e.lastX_ > v.x1 && p.x > v.x1) || (e.lastY_ > v.y1 && p.y > v.y1);
    e.lastX_ = p.x;
    e.lastY_ = p.y;
    if (outside || !CanDraw())
      WindowCanvas::MoveTo(ToDevice(p), state);
    else
      WindowCanvas::LineTo(ToDevice(p), state);
  }
  void DrawSegment(const DVect2& a, const DVect2& b, CanvasState* state = nullptr);
  void DrawCircle(const DVect2& centre, double radius, CanvasState* state = nullptr);
  void FillCircle(const DVect2& centre, double radius, CanvasState* state = nullptr);
  void FillPolygon2D(const DVect2* points, int count, CanvasState* state = nullptr);
  // Model points, projected.
  void DrawPolyline(const Vec3* points, int count, bool closed, CanvasState* state = nullptr);
  void FillPolygon(const Vec3* points, int count, CanvasState* state = nullptr);
  void TextAt(const DVect2& p, const String& text, CanvasState* state = nullptr);

  // Events the window does not use itself: moves and resizes make the next
  // paint a full regeneration; a paint regenerates the view; the frame's menu
  // commands are the frame's; the rest go to the view.
  virtual int32_t DefaultHandling(const GuiEvent& event);
  // The window asks to be painted again.
  void Invalidate() { paintPending_ = true; }
  bool PaintPending() const { return paintPending_; }

  // The camera is going before the window: from now on the window draws nothing.
  void DetachCamera();

 protected:
  static constexpr double kFar = 2e9;
  ViewHost* view_;
  Camera* camera_;

 private:
  static PixelPoint FarToDevice(double x, double y);
  // Fills device points of a polygon already known not to lie outside.
  void FillDevicePolygon(const DVect2* points, int count, PixelPoint* out, CanvasState* state);
  bool Rejected(const DVect2& a, const DVect2& b) const;

  bool paintPending_ = false;
  // Polygons of more than kFixedPoints points reuse these.
  static constexpr int kFixedPoints = 20;
  std::vector<PixelPoint> devicePoints_;
  std::vector<DVect2> viewPoints_;
};

// A view window with the rubber-band zoom of the view's 2-D extent: the
// menu command 35 arms it, a press starts the band, dragging draws it in XOR,
// the release zooms, ESC or a second press cancels.
class ExtentViewWindow : public ViewWindow {
 public:
  enum Band { kIdle = 0, kArmed = 1, kDragging = 2 };
  static constexpr int32_t kZoomCommand = 35;

  ExtentViewWindow(ViewHost* view, Camera* camera);
  ~ExtentViewWindow() override;

  // The size changes; the extent is fitted to it.
  void SetSize(int width, int height) override;
  void SetRect(const PixelRect& rect) override;
  int32_t DefaultHandling(const GuiEvent& event) override;
  // The device rectangle becomes the requested extent (at least 4 pixels each way).
  virtual void ZoomToRectangle(const PixelRect& rect);
  // A segment between two device points.
  void DrawLine(PixelPoint from, PixelPoint to, CanvasState* state = nullptr);

  int BandState() const { return band_; }

 private:
  void DrawBand();
  void EndBand(bool erase);
  bool InClient(int32_t x, int32_t y) const;

  int band_ = kIdle;
  PixelPoint start_;
  PixelPoint end_;
  CanvasState bandState_;
};

// A view window that zooms the camera: the band's middle comes to the
// middle of the picture and the band fills it.
class CameraViewWindow : public ExtentViewWindow {
 public:
  CameraViewWindow(ViewHost* view, Camera* camera);
  ~CameraViewWindow() override;

  void ZoomToRectangle(const PixelRect& rect) override;
};
