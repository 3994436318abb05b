// Devices for the tests: one that draws into a raster of its own, and one
// that draws nothing and logs every call it gets.
#pragma once

#include <string>
#include <vector>

#include "base/stream.h"
#include "devices/canvas.h"
#include "devices/device.h"

// A device on a raster (white at first). `reported`, when set, is the size
// GetSize answers instead of the raster's (a wide surface for the pen rules).
class RasterTestDevice : public Device {
 public:
  RasterTestDevice(int width = 64, int height = 48, PixelSize reported = {})
      : raster(width, height), context(&raster), reported_(reported) {
    SetContext(&context);
  }
  ~RasterTestDevice() override { SetContext(nullptr); }

  String Name() override { return "Raster test"; }
  FontInfo SelectFont(const FontDesc& font) override { return RealizeFont(fonts, font); }
  PixelSize GetSize() override { return reported_.width ? reported_ : PixelSize{raster.Width(), raster.Height()}; }
  bool QueryCapability1() override { return false; }
  bool IsColor() override { return true; }
  bool IsScreen() override { return false; }
  bool QueryCapability2() override { return false; }
  void Clear() override { context.FillSurface(context.BackColor()); }
  void SetWindow(WindowHandle) override {}
  // Drops the context, as a device kind does when its output ends.
  void Close() { SetContext(nullptr); }

  Raster raster;
  RasterContext context;
  FontList fonts;

 private:
  PixelSize reported_;
};

// Pixels of the raster that are not white.
inline int CountInk(const Raster& r) {
  int n = 0;
  for (int y = 0; y < r.Height(); ++y)
    for (int x = 0; x < r.Width(); ++x) n += r.Pixel(x, y) != 0xFFFFFF;
  return n;
}

// Logs each call as its name and arguments ("SetColor 255", "LineTo 3,4").
class RecordingDevice : public PlotFileDevice {
 public:
  std::vector<std::string> log;
  PixelSize size{640, 480};

  void Clear() override { Log("Clear"); }
  std::string Take() {
    std::string all;
    for (const std::string& s : log) all += (all.empty() ? "" : "; ") + s;
    log.clear();
    return all;
  }

  void BeginOutput(CommandType&) override { Log("BeginOutput"); }
  void EndOutput() override { Log("EndOutput"); }
  void ParseKeywords(CommandType&, int) override { Log("ParseKeywords"); }
  bool SetBackBuffer(uint8_t flag) override { return Log("SetBackBuffer", flag), false; }
  bool CopyBackBuffer(const PixelRect* r) override { return Log("CopyBackBuffer", Rect(r)), false; }
  String Name() override { return "Recording"; }
  void List(TextOStream&) override { Log("List"); }
  int32_t SetColor(ColorRef c) override { return Log("SetColor", c), -1; }
  void SetBackColor(ColorRef c) override { Log("SetBackColor", c); }
  Color ToColor(ColorRef) override { return Color(); }
  ColorRef ToColorRef(const Color&) override { return 0; }
  void SetRegion(const RegionRef& r) override { Log("SetRegion", r.Get() ? "some" : "none"); }
  void SetClipRect(const PixelRect* r) override { Log("SetClipRect", Rect(r)); }
  void SetPenWidth(int w) override { Log("SetPenWidth", w); }
  void SetLineStyle(const LineStyle& s) override { Log("SetLineStyle", s.Count()); }
  FontInfo SelectFont(const FontDesc& f) override {
    Log("SelectFont", f.faceName.c_str());
    FontInfo info;
    info.faceName = f.faceName;
    info.height = f.height;
    return info;
  }
  void SetTextAlign(int v, int h) override { Log("SetTextAlign", std::to_string(v) + "," + std::to_string(h)); }
  bool SetDrawMode(int m) override { return Log("SetDrawMode", m), true; }
  void SetViewRect(const PixelRect* r) override { Log("SetViewRect", Rect(r)); }
  void SetDeviceWord1(int32_t) override {}
  int QueryKind() override { return 0; }
  void LeaveMode(int32_t m) override { Log("LeaveMode", m); }
  PixelSize GetSize() override { return size; }
  bool QueryCapability1() override { return false; }
  bool IsColor() override { return true; }
  bool IsScreen() override { return false; }
  bool QueryCapability2() override { return false; }
  PixelSize GetResolution() override { return {1, 1}; }
  double GetScale() override { return 1.0; }
  int TextWidth(const String&) override { return 0; }
  void MoveTo(PixelPoint p) override { Log("MoveTo", Point(p)); }
  void LineTo(PixelPoint p) override { Log("LineTo", Point(p)); }
  void DrawRect(const PixelRect& r) override { Log("DrawRect", Rect(&r)); }
  void DrawPolyline(const PixelPoint* p, int n, bool closed) override {
    std::string s;
    for (int i = 0; i < n; ++i) s += (i ? " " : "") + Point(p[i]);
    Log(closed ? "DrawPolygonOutline" : "DrawPolyline", s);
  }
  void DrawCircle(PixelPoint c, int r) override { Log("DrawCircle", Point(c) + " " + std::to_string(r)); }
  void DrawArc(PixelPoint, int, int, int) override { Log("DrawArc"); }
  void FillRect(const PixelRect& r) override { Log("FillRect", Rect(&r)); }
  void FillPolygon(const PixelPoint* p, int n) override {
    std::string s;
    for (int i = 0; i < n; ++i) s += (i ? " " : "") + Point(p[i]);
    Log("FillPolygon", s);
  }
  void FillCircle(PixelPoint c, int r) override { Log("FillCircle", Point(c) + " " + std::to_string(r)); }
  void DrawText(PixelPoint p, const String& t) override { Log("DrawText", Point(p) + " " + t.c_str()); }
  void DrawChar(PixelPoint p, char c) override { Log("DrawChar", Point(p) + " " + std::string(1, c)); }
  int QueryRect(const PixelRect&, int32_t) override { return 0; }
  bool IsRectHidden(const PixelRect&, int32_t) override { return false; }
  bool TestRect(const PixelRect& r, int32_t) override { return Log("TestRect", Rect(&r)), false; }
  void BeginMovieFrame() override {}
  void SaveMovieFrame() override {}
  void EndMovieFrame() override {}
  void EndMovie() override {}
  void SetWindow(WindowHandle w) override { Log("SetWindow", w ? "some" : "none"); }

  static std::string Point(PixelPoint p) { return std::to_string(p.x) + "," + std::to_string(p.y); }
  static std::string Rect(const PixelRect* r) {
    if (!r) return "none";
    return std::to_string(r->left) + "," + std::to_string(r->top) + "," + std::to_string(r->right) + "," +
           std::to_string(r->bottom);
  }

 private:
  void Log(const char* name) { log.push_back(name); }
  void Log(const char* name, const std::string& args) { log.push_back(std::string(name) + " " + args); }
  void Log(const char* name, long long value) { Log(name, std::to_string(value)); }
};
