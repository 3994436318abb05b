// A drawing device that draws into a raster of its own, for the drawing benchmarks.
#pragma once

#include "devices/device.h"
#include "devices/font_list.h"
#include "platform/raster.h"
#include "platform/raster_context.h"

class RasterBenchDevice : public Device {
 public:
  RasterBenchDevice(int width, int height) : raster_(width, height), context_(&raster_) { SetContext(&context_); }
  ~RasterBenchDevice() override { SetContext(nullptr); }
  String Name() override { return "Raster"; }
  FontInfo SelectFont(const FontDesc& font) override { return RealizeFont(fonts_, font); }
  PixelSize GetSize() override { return {raster_.Width(), raster_.Height()}; }
  bool QueryCapability1() override { return false; }
  bool IsColor() override { return true; }
  bool IsScreen() override { return false; }
  bool QueryCapability2() override { return false; }
  void Clear() override { context_.FillSurface(context_.BackColor()); }
  void SetWindow(WindowHandle) override {}
  const Raster& Picture() const { return raster_; }

 private:
  Raster raster_;
  RasterContext context_;
  FontList fonts_;
};
