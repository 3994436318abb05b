// The common base of the devices that draw on a raster (screen, printer,
// bitmap files, metafile, clipboard, movies): pens, brushes and fonts made
// from the current drawing state, colour conversion, clipping, a software dash
// generator for line styles, text alignment and output, and the plain shapes.
// The device kind opens the raster's context (SetContext) and closes it.
//
// Coordinates given to the device are 32-bit device units; the device's
// offset is subtracted from each. Points far outside the surface are drawn
// exactly and clipped before rasterising, dashes included.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "devices/font_list.h"
#include "devices/plot_file_device.h"
#include "platform/line_dda.h"
#include "platform/raster_context.h"

class Device : public PlotFileDevice {
 public:
  Device();
  // Releases the pens, brushes and fonts.
  ~Device() override;

  void BeginOutput(CommandType& interp) override;
  void EndOutput() override;
  void ParseKeywords(CommandType& interp, int position) override;
  bool SetBackBuffer(uint8_t flag) override;
  bool CopyBackBuffer(const PixelRect* rect) override;
  void List(TextOStream& out) override;
  int32_t SetColor(ColorRef color) override;
  void SetBackColor(ColorRef color) override;
  Color ToColor(ColorRef color) override;
  ColorRef ToColorRef(const Color& color) override;
  void SetRegion(const RegionRef& region) override;
  void SetClipRect(const PixelRect* rect) override;
  void SetPenWidth(int width) override;
  void SetLineStyle(const LineStyle& style) override;
  void SetTextAlign(int vertical, int horizontal) override;
  bool SetDrawMode(int mode) override;
  void SetViewRect(const PixelRect* rect) override;
  void SetDeviceWord1(int32_t word) override;
  int QueryKind() override;
  void LeaveMode(int32_t mode) override;
  PixelSize GetResolution() override;
  double GetScale() override;
  int TextWidth(const String& text) override;
  void MoveTo(PixelPoint p) override;
  void LineTo(PixelPoint p) override;
  void DrawRect(const PixelRect& rect) override;
  void DrawPolyline(const PixelPoint* points, int count, bool closed) override;
  void DrawCircle(PixelPoint centre, int radius) override;
  void DrawArc(PixelPoint centre, int radius, int startAngle, int endAngle) override;
  void FillRect(const PixelRect& rect) override;
  void FillPolygon(const PixelPoint* points, int count) override;
  void FillCircle(PixelPoint centre, int radius) override;
  void DrawText(PixelPoint p, const String& text) override;
  void DrawChar(PixelPoint p, char c) override;
  int QueryRect(const PixelRect& rect, int32_t word) override;
  bool IsRectHidden(const PixelRect& rect, int32_t word) override;
  bool TestRect(const PixelRect& rect, int32_t word) override;
  void BeginMovieFrame() override;
  void SaveMovieFrame() override;
  void EndMovieFrame() override;
  void EndMovie() override;
  // Device coordinates of a point on the surface (the clip rectangle's corners pass here).
  virtual PixelPoint MapPoint(PixelPoint p);

  // Realises a font request with the device kind's font list; a font whose
  // characters are on average wider than the requested width is asked for
  // again one unit lower (through SelectFont), down to height 1.
  FontInfo RealizeFont(FontList& list, const FontDesc& request);

  // What the device holds now.
  ColorRef CurrentColor() const { return color_; }
  int PenWidth() const { return penWidth_; }
  int VerticalAlign() const { return vAlign_; }
  int HorizontalAlign() const { return hAlign_; }
  PixelPoint Position() const { return {int32_t(posX_), int32_t(posY_)}; }
  RasterContext* Context() const { return context_; }

 protected:
  // The context the device draws through (none while the device is not open).
  // A new context starts from the default pen, brush and font.
  void SetContext(RasterContext* context);
  void SetOffset(int32_t x, int32_t y) { offsetX_ = x, offsetY_ = y; }
  PixelPoint Offset() const { return {offsetX_, offsetY_}; }

 private:
  // The dash pattern state: index of the current entry, pixels counted in it.
  struct Dashes {
    LineStyle style;
    bool solid = true;
    int index = 0;
    int64_t counter = 0;
    int64_t scale = 1;
    bool first = false;
    bool last = false;
    bool open = false;  // a dash has begun on the surface and not been drawn yet
  };

  void ReleaseObjects();
  void MakePen();
  int64_t DashLength(int index) const;
  void AdvanceDashes(int64_t steps);
  void DashStep(int64_t x, int64_t y);
  void DashedLineTo(int64_t x, int64_t y);
  void EllipseAround(PixelPoint centre, int radius, bool outline);
  void Text(PixelPoint p, const char* text, size_t length);
  // A device coordinate less the offset, kept in the 32-bit range.
  int32_t ToSurfaceX(int64_t x) const;
  int32_t ToSurfaceY(int64_t y) const;

  RasterContext* context_ = nullptr;
  bool objectsMade_ = false;  // pen and brush of the device's own are in the context
  bool fontMade_ = false;
  ColorRef color_ = 0;
  ColorRef backColor_ = 0xFFFFFF;
  int drawMode_ = 0;
  std::optional<PixelRect> clip_;
  int vAlign_ = 2;
  int hAlign_ = 0;
  int32_t offsetX_ = 0;
  int32_t offsetY_ = 0;
  int64_t posX_ = 0;
  int64_t posY_ = 0;
  int penWidth_ = 0;
  Dashes dashes_;
  // The last realised font, answered again for an equal request.
  const FontList* fontList_ = nullptr;
  uint32_t fontGeneration_ = 0;
  FontDesc fontRequest_;
  FontInfo fontInfo_;
  RasterFont font_;
  std::vector<PixelPoint> points_;
};
