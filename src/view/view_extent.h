// The 2-D part of a view's camera: the rectangle of view coordinates that the
// view asks to see (the requested extent), the rectangle its window really
// shows after widening it to the window's shape (the visible extent), the
// device scales of that fit, and the step of the panning keys.
#pragma once

#include <cfloat>
#include <cstdint>
#include <ostream>

class CommandType;
class ExtentViewWindow;
class SaveStream;

// x0, y0 lower left; x1, y1 upper right (view coordinates: x right, y up).
struct ExtentRect {
  double x0 = 0.0;
  double y0 = 0.0;
  double x1 = 1.0;
  double y1 = 1.0;
  bool operator==(const ExtentRect&) const = default;
};

class ViewExtent {
 public:
  ViewExtent() = default;
  virtual ~ViewExtent() = default;
  ViewExtent(const ViewExtent&) = delete;
  ViewExtent& operator=(const ViewExtent&) = delete;

  // The arrows pan the requested extent by the move increment (2: redraw);
  // "+" and "-" make the increment 1.25 times larger or smaller (1); any
  // other key is not handled (0).
  virtual int OnKey(int32_t key);
  // One of "size" (left, right, bottom, top) or "moveincrement" with its
  // values: 0 when a word was taken, else the keyword match's code.
  virtual int ParseKeyword(CommandType& interp);

  // A new requested extent; the first one also fixes an automatic move
  // increment. The window showing it fits itself again.
  void SetExtent(double x0, double y0, double x1, double y1);
  // Back to the state of a new extent: (0, 0)-(1, 1), automatic increment.
  void ResetExtent();

  // The lines of the view listing: left, right, bottom, top and the increment.
  void List(std::ostream& os) const;

  // The extent record of the save file: visible extent, default flag, move
  // increment and its automatic flag.
  void SaveExtent(SaveStream& stream) const;
  void RestoreExtent(SaveStream& stream);
  // Every setting and the fit; not the window.
  void CopyExtentFrom(const ViewExtent& other);

  const ExtentRect& Requested() const { return requested_; }
  const ExtentRect& Visible() const { return visible_; }
  double ScaleX() const { return sx_; }
  double ScaleY() const { return sy_; }
  double DeviceHeight() const { return deviceHeight_; }
  bool ExtentDefault() const { return extentDefault_; }
  double MoveIncrement() const { return moveIncrement_; }
  bool AutoMoveIncrement() const { return autoMoveIncrement_; }
  // A negative value is taken as its magnitude; the increment is no longer automatic.
  void SetMoveIncrement(double value);

  ExtentViewWindow* ExtentWindow() const { return extentWindow_; }
  void SetExtentWindow(ExtentViewWindow* window) { extentWindow_ = window; }

 private:
  friend class ViewWindow;

  ExtentViewWindow* extentWindow_ = nullptr;
  ExtentRect visible_;
  ExtentRect requested_;
  // Device units per view unit, 0 while the extent is not fitted to a window.
  double sx_ = 0.0;
  double sy_ = 0.0;
  double deviceHeight_ = 0.0;
  // The current point of line drawing.
  double lastX_ = DBL_MAX;
  double lastY_ = DBL_MAX;
  bool extentDefault_ = true;
  bool autoMoveIncrement_ = true;
  double moveIncrement_ = 1.0;
};
