#include "devices/printer_device.h"

#include <cmath>

#include "base/command.h"
#include "base/plane.h"
#include "base/stream.h"

void PrinterDevice::BeginOutput(CommandType& interp) {
  int word = 0;
  if (interp.MatchKeyword("file", word) == CommandType::kOk) {
    interp.GetFileName("prn");
    interp.GetFileMode();
  }
  throw DeviceExcept("Unable to select default printer");
}

void PrinterDevice::ParseKeywords(CommandType& interp, int) {
  int word = 0;
  while (interp.MatchKeyword("size position", word) == CommandType::kOk) {
    double* pair = word == 1 ? size_ : position_;
    bool& automatic = word == 1 ? sizeAutomatic_ : positionAutomatic_;
    int a = 0;
    if (interp.MatchKeyword("automatic", a) == CommandType::kOk) {
      automatic = true;
      continue;
    }
    const int first = interp.TokenIndex();
    double v[2];
    interp.GetVector2(v);
    for (int i = 0; i < 2 && word == 1; ++i)
      if (!(v[i] > 0.0) || !std::isfinite(v[i])) throw CommandType::ConvertExcept(first + i, interp.Token(first + i));
    pair[0] = v[0], pair[1] = v[1];
    automatic = false;
  }
  // Words the printer does not know are passed over.
  interp.TokenIndex() = interp.TokenCount();
}

String PrinterDevice::Name() { return "Windows Printer"; }

void PrinterDevice::List(TextOStream& out) {
  out << "        Name: Win32 Printer Drivers\n        Size: ";
  if (sizeAutomatic_)
    out << "Automatic";
  else
    PrintPair(out, size_);
  out << "\n    Position: ";
  if (positionAutomatic_)
    out << "Automatic";
  else
    PrintPair(out, position_);
  out << "\n";
}

String PrinterDevice::FileFilter() { return "Printer driver file,*.prn"; }
FontInfo PrinterDevice::SelectFont(const FontDesc& font) { return RealizeFont(fonts_, font); }
bool PrinterDevice::SetDrawMode(int) { return false; }
PixelSize PrinterDevice::GetSize() { return {0, 0}; }
bool PrinterDevice::QueryCapability1() { return false; }
bool PrinterDevice::IsColor() { return false; }
bool PrinterDevice::IsScreen() { return false; }
bool PrinterDevice::QueryCapability2() { return false; }
void PrinterDevice::Clear() {}
void PrinterDevice::SetWindow(WindowHandle) {}
