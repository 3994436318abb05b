// The drawing-device interface behind every output of the program (screen,
// printers, bitmap files, metafiles, PostScript, movies) and its root class.
// Plot items never call a device directly: they draw through a canvas
// (canvas.h), which first makes its drawing state current on the device and
// its target bound to it, so that a device re-realises colours, pens and fonts
// only when another state drew in between.
#pragma once

#include <cstdint>

#include "base/color.h"
#include "base/string.h"
#include "platform/raster.h"

class CanvasState;
class CanvasTarget;
class CommandType;
class RegionRef;
class TextOStream;

// A colour value of the devices: red in the low byte, then green, then blue.
using ColorRef = uint32_t;
constexpr ColorRef kNoColor = 0xFFFFFFFF;

// A native window that a device may draw into; opaque to the devices.
struct NativeWindow;
using WindowHandle = NativeWindow*;

class PlotFileDevice {
 public:
  PlotFileDevice() = default;
  // Unbinds every drawing state and the bound target.
  virtual ~PlotFileDevice();
  PlotFileDevice(const PlotFileDevice&) = delete;
  PlotFileDevice& operator=(const PlotFileDevice&) = delete;

  // Output: a file or page is opened at the beginning and written at the end.
  virtual void BeginOutput(CommandType& interp) = 0;
  virtual void EndOutput() = 0;
  // The device's own SET PLOT words.
  virtual void ParseKeywords(CommandType& interp, int position) = 0;
  virtual bool SetBackBuffer(uint8_t flag) = 0;
  virtual bool CopyBackBuffer(const PixelRect* rect) = 0;
  virtual String Name() = 0;
  virtual void List(TextOStream& out) = 0;
  virtual String FileFilter();

  // Drawing settings. SetColor answers the previous text colour, or -1 when
  // nothing changed.
  virtual int32_t SetColor(ColorRef color) = 0;
  virtual void SetBackColor(ColorRef color) = 0;
  virtual Color ToColor(ColorRef color) = 0;
  virtual ColorRef ToColorRef(const Color& color) = 0;
  virtual void SetRegion(const RegionRef& region) = 0;
  virtual void SetClipRect(const PixelRect* rect) = 0;
  virtual void SetPenWidth(int width) = 0;
  virtual void SetLineStyle(const LineStyle& style) = 0;
  virtual FontInfo SelectFont(const FontDesc& font) = 0;
  // Vertical 0 top, 1 centre, 2 baseline, 3 bottom; horizontal 0 left, 1 centre, 2 right.
  virtual void SetTextAlign(int vertical, int horizontal) = 0;
  // 0 copy, 1 exclusive or, 2 merge.
  virtual bool SetDrawMode(int mode) = 0;
  virtual void SetViewRect(const PixelRect* rect) = 0;
  // Reserved operations: no device kind gives them more than these answers.
  virtual void SetDeviceWord1(int32_t word) = 0;
  virtual int QueryKind() = 0;
  virtual void LeaveMode(int32_t mode) = 0;
  virtual int ReservedQuery();
  virtual void SetDeviceWord2(int32_t word);

  // The surface and what the device can do.
  virtual PixelSize GetSize() = 0;
  virtual bool QueryCapability1() = 0;
  virtual bool IsColor() = 0;
  virtual bool IsScreen() = 0;
  virtual bool QueryCapability2() = 0;
  // Pixels per inch.
  virtual PixelSize GetResolution() = 0;
  virtual double GetScale() = 0;
  virtual int TextWidth(const String& text) = 0;

  // Drawing.
  virtual void MoveTo(PixelPoint p) = 0;
  virtual void LineTo(PixelPoint p) = 0;
  virtual void Clear() = 0;
  virtual void DrawRect(const PixelRect& rect) = 0;
  virtual void DrawPolyline(const PixelPoint* points, int count, bool closed) = 0;
  virtual void DrawCircle(PixelPoint centre, int radius) = 0;
  // Angles in tenths of a degree.
  virtual void DrawArc(PixelPoint centre, int radius, int startAngle, int endAngle) = 0;
  virtual void FillRect(const PixelRect& rect) = 0;
  virtual void FillPolygon(const PixelPoint* points, int count) = 0;
  virtual void FillCircle(PixelPoint centre, int radius) = 0;
  virtual void DrawText(PixelPoint p, const String& text) = 0;
  virtual void DrawChar(PixelPoint p, char c) = 0;
  virtual int QueryRect(const PixelRect& rect, int32_t word) = 0;
  virtual bool IsRectHidden(const PixelRect& rect, int32_t word) = 0;
  virtual bool TestRect(const PixelRect& rect, int32_t word) = 0;

  // Movies.
  virtual void BeginMovieFrame() = 0;
  virtual void SaveMovieFrame() = 0;
  virtual void EndMovieFrame() = 0;
  virtual void EndMovie() = 0;
  virtual int GetStep();
  // Runs the device's settings dialog; on OK fills the SET PLOT command text.
  virtual bool SettingsDialog(String& command);
  virtual void SetWindow(WindowHandle window) = 0;

  // Binding (canvas.h): the state current on the device and the bound target.
  // Selecting a state realises all its settings on the device; binding a
  // target hands the device its window, clip rectangle, view and region.
  void SelectState(CanvasState* state);
  void SetTarget(CanvasTarget* target);
  CanvasState* CurrentState() const { return current_; }
  CanvasTarget* BoundTarget() const { return target_; }
  // The head of the chain of states registered with the device.
  CanvasState* FirstState() const { return states_; }

 private:
  friend class CanvasState;
  void Link(CanvasState* state);
  void Unlink(CanvasState* state);

  CanvasState* current_ = nullptr;
  CanvasTarget* target_ = nullptr;
  CanvasState* states_ = nullptr;
};
