// The PostScript device: a plot written as a level 1 PostScript text file.
// Every drawing call becomes a few tokens; colour, pen, dash pattern, font and
// clipping are written lazily, only when a drawing call needs them and they
// differ from what was written last. Lines are collected into paths that are
// stroked when the state changes or a path grows long.
//
// The surface is 7200 device units wide; a device point (X, Y) is written as
// the user point (X / 10, user height - Y / 10). Numbers are written with two
// decimals.
#pragma once

#include <cstdint>
#include <string>

#include "base/file.h"
#include "devices/plot_file_device.h"
#include "devices/region.h"

class PostScriptDevice : public PlotFileDevice {
 public:
  PostScriptDevice();
  // Ends a plot still open (its trailer is written).
  ~PostScriptDevice() override;

  // Opens the plot file (SET OUTPUT's name, else the program's name with
  // ".ps"; an optional "file" phrase of the command) and writes the header.
  // Nothing happens while a plot is open.
  void BeginOutput(CommandType& interp) override;
  // Writes the trailer and closes the file, which a later plot to the same
  // name appends to. DeviceExcept when the file could not be written whole.
  void EndOutput() override;
  // color gray portrait landscape position size letter tabloid a3 a4 custom
  void ParseKeywords(CommandType& interp, int position) override;
  bool SetBackBuffer(uint8_t flag) override;
  bool CopyBackBuffer(const PixelRect* rect) override;
  String Name() override;
  void List(TextOStream& out) override;
  String FileFilter() override;

  int32_t SetColor(ColorRef color) override;
  void SetBackColor(ColorRef color) override;
  Color ToColor(ColorRef color) override;
  ColorRef ToColorRef(const Color& color) override;
  void SetRegion(const RegionRef& region) override;
  void SetClipRect(const PixelRect* rect) override;
  void SetPenWidth(int width) override;
  void SetLineStyle(const LineStyle& style) override;
  FontInfo SelectFont(const FontDesc& font) override;
  void SetTextAlign(int vertical, int horizontal) override;
  bool SetDrawMode(int mode) override;
  void SetViewRect(const PixelRect* rect) override;
  void SetDeviceWord1(int32_t word) override;
  int QueryKind() override;
  void LeaveMode(int32_t mode) override;

  PixelSize GetSize() override;
  bool QueryCapability1() override;
  bool IsColor() override;
  bool IsScreen() override;
  bool QueryCapability2() override;
  PixelSize GetResolution() override;
  double GetScale() override;
  int TextWidth(const String& text) override;

  void MoveTo(PixelPoint p) override;
  void LineTo(PixelPoint p) override;
  void Clear() override;
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
  void SetWindow(WindowHandle window) override;

  // The index in the font table (postscript_fonts.h) for a request: style
  // bit 3 Times, else bit 2 Courier, else Helvetica; bold adds 1, italic 2.
  static int FontIndex(const FontDesc& font);

  // Settings, in inches.
  bool IsOpen() const { return open_; }
  bool Portrait() const { return portrait_; }
  int PageKind() const { return pageKind_; }
  double PageWidth() const { return pageWidth_; }
  double PageHeight() const { return pageHeight_; }
  double PositionX() const { return position_[0]; }
  double PositionY() const { return position_[1]; }
  double SizeX() const { return size_[0]; }
  double SizeY() const { return size_[1]; }
  const String& FileName() const { return file_.Name(); }

 private:
  // What Sync writes when it differs from what was written last.
  enum SyncBits : int { kStroke = 1, kClip = 2, kColor = 4, kPen = 8, kFont = 16 };

  // Position and size from the page and the orientation.
  void ResetLayout();
  // Left, bottom, right and top of the plot on the page, in points.
  void BoundingBox(double box[4]) const;
  void WriteHeader();
  void Sync(int mask);
  void WriteClip();
  // Writes the move to the current point when one is pending.
  void FlushMove();
  // After an operator that ends the PostScript path: the next segment must
  // start with a move again.
  void PathEnded() { movePending_ = hasCurrentPoint_; }
  // A conversion error for a non-positive number of a pair read from `first`.
  void RequirePositive(CommandType& interp, int first, const double pair[2]);

  // Output, through a buffer handed to the file in large pieces.
  void Put(const char* text);
  void Put(const std::string& text) { out_ += text; }
  void Put(char c) { out_ += c; }
  void Number(double v);
  // The user point of a device point, as two numbers and a blank after each.
  void Point(int64_t x, int64_t y);
  // The corners (left, top), (left, bottom), (right, bottom), (right, top).
  void Corners(const PixelRect& r);
  void ColorComponents(ColorRef color);
  void WriteOut();

  bool color_ = false;
  bool open_ = false;
  bool hasCurrentPoint_ = false;
  bool fontUsed_[12] = {};
  bool portrait_ = false;
  bool movePending_ = false;
  // Whether a font was set since the graphics state was last restored.
  bool fontWritten_ = false;
  int32_t requestedPenWidth_ = 0;
  int32_t writtenPenWidth_ = 0;
  int32_t pathSegments_ = 0;
  int32_t lineItems_ = 0;
  int pageKind_ = 0;
  double pageWidth_ = 8.5;
  double pageHeight_ = 11.0;
  double position_[2] = {0.5, 0.5};
  double size_[2] = {10.0, 7.25};
  double userWidth_ = 720.0;
  double userHeight_ = 522.0;
  PixelPoint current_;
  PixelRect writtenClip_;
  PixelRect requestedClip_;
  FontDesc writtenFont_;
  FontDesc requestedFont_;
  FontInfo writtenAnswer_;
  FontInfo requestedAnswer_;
  ColorRef writtenColor_ = 0;
  ColorRef requestedColor_ = 0;
  ColorRef backColor_ = 255;
  LineStyle writtenStyle_;
  LineStyle requestedStyle_;
  int vAlign_ = 2;
  int hAlign_ = 0;
  RegionRef writtenRegion_;
  RegionRef requestedRegion_;
  File file_{String(), File::kOut};
  std::string out_;
  // A write to the file failed; the rest of the plot is dropped.
  bool writeFailed_ = false;
};
