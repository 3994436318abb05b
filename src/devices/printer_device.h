// The printer device, the hardcopy device at start. Printing needs a printer
// service that this program does not have yet: the device keeps its layout
// settings and lists them, and its output fails with "Unable to select
// default printer".
#pragma once

#include "devices/device.h"

class PrinterDevice : public Device {
 public:
  // Reads an optional "file" phrase, then fails: no printer can be selected.
  void BeginOutput(CommandType& interp) override;
  // "size" and "position", each two numbers (inches) or "automatic"; the
  // first other word ends the settings and the rest of the line is ignored.
  void ParseKeywords(CommandType& interp, int position) override;
  String Name() override;
  void List(TextOStream& out) override;
  String FileFilter() override;
  FontInfo SelectFont(const FontDesc& font) override;
  bool SetDrawMode(int mode) override;
  PixelSize GetSize() override;
  bool QueryCapability1() override;
  bool IsColor() override;
  bool IsScreen() override;
  bool QueryCapability2() override;
  void Clear() override;
  void SetWindow(WindowHandle window) override;

  bool SizeAutomatic() const { return sizeAutomatic_; }
  bool PositionAutomatic() const { return positionAutomatic_; }
  double SizeX() const { return size_[0]; }
  double SizeY() const { return size_[1]; }
  double PositionX() const { return position_[0]; }
  double PositionY() const { return position_[1]; }

 private:
  double position_[2] = {0.5, 0.5};
  double size_[2] = {10.0, 7.25};
  bool positionAutomatic_ = true;
  bool sizeAutomatic_ = true;
  FontList fonts_;
};
