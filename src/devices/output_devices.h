// The output devices of the program, each reached through a canvas of its
// own, and the choice among them: the current hardcopy canvas (the printer's
// at start), which SET PLOT changes, and the movie type, which SET MOVIE sets.
// They exist once for the whole run (TheOutputDevices); NEW changes neither.
#pragma once

#include "devices/bitmap_device.h"
#include "devices/canvas.h"
#include "devices/postscript_device.h"
#include "devices/printer_device.h"

class CommandType;

class OutputDevices {
 public:
  enum MovieType : int { kNoMovie = 0, kDcxMovie = 1, kAviMovie = 2 };

  OutputDevices();
  OutputDevices(const OutputDevices&) = delete;
  OutputDevices& operator=(const OutputDevices&) = delete;

  // SET PLOT [device] [device words]: without a device word the current
  // device reads the words.
  void SetPlot(CommandType& interp);
  // SET MOVIE dcx [words]; anything else leaves no movie type.
  void SetMovie(CommandType& interp);

  Canvas& Hardcopy() const { return *hardcopy_; }
  PlotFileDevice& HardcopyDevice() const { return *hardcopy_->Device(); }
  int Movie() const { return movieType_; }
  void SetMovieType(int type) { movieType_ = type; }
  // The default extension of plot files: the current device's file filter
  // ("PostScript,*.ps;*.psc" gives "ps").
  String Extension() const;

  PostScriptDevice& PostScript() { return postscript_; }
  PrinterDevice& Printer() { return printer_; }
  BitmapDevice& Bitmap(BitmapDevice::Kind kind) { return bitmaps_[kind]; }
  Canvas& PostScriptCanvas() { return postscriptCanvas_; }
  Canvas& PrinterCanvas() { return printerCanvas_; }
  Canvas& BitmapCanvas(BitmapDevice::Kind kind) { return bitmapCanvases_[kind]; }

 private:
  // Devices before the canvases on them, so that the canvases go first.
  PostScriptDevice postscript_;
  PrinterDevice printer_;
  BitmapDevice bitmaps_[4] = {BitmapDevice(BitmapDevice::kBmp), BitmapDevice(BitmapDevice::kJpeg),
                              BitmapDevice(BitmapDevice::kPcx), BitmapDevice(BitmapDevice::kDcx)};
  Canvas postscriptCanvas_{&postscript_};
  Canvas printerCanvas_{&printer_};
  Canvas bitmapCanvases_[4] = {Canvas(&bitmaps_[0]), Canvas(&bitmaps_[1]), Canvas(&bitmaps_[2]), Canvas(&bitmaps_[3])};
  Canvas* hardcopy_ = &printerCanvas_;
  int movieType_ = kNoMovie;
};

// The devices of the program, made on first use and kept to its end.
OutputDevices& TheOutputDevices();

// Puts SET PLOT, SET MOVIE and SET OUTPUT's default extension in the hands of
// the program's devices.
void InstallOutputDevices();
