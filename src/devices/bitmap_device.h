// The bitmap file devices: a plot drawn into an off-screen raster and written
// as an image file. Four exist, one per kind: Windows BMP, JPEG and PCX still
// images, and DCX, a multi-page PCX file that collects the frames of a movie.
#pragma once

#include <cstdint>
#include <memory>

#include "devices/device.h"
#include "devices/font_list.h"

class BitmapDevice : public Device {
 public:
  enum Kind : int { kBmp = 0, kJpeg = 1, kPcx = 2, kDcx = 3 };

  explicit BitmapDevice(Kind kind);
  // Ends an image still open (it is written).
  ~BitmapDevice() override;

  // Still images: makes the bitmap and names the file (SET OUTPUT's name,
  // else the program's name with the kind's extension; an optional "file"
  // phrase of the command). DCX: creates or empties the movie file, unless a
  // movie is being recorded into it.
  void BeginOutput(CommandType& interp) override;
  // Still images: writes the file and frees the bitmap.
  void EndOutput() override;
  // size quality file step
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
  // A DCX frame: its own bitmap, drawn and then saved as the next page.
  void BeginMovieFrame() override;
  void SaveMovieFrame() override;
  void EndMovieFrame() override;
  void EndMovie() override;
  int GetStep() override;
  void SetWindow(WindowHandle window) override;

  Kind ImageKind() const { return kind_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  int Quality() const { return quality_; }
  int Step() const { return step_; }
  // The DCX movie file (empty until set or a movie begins).
  const String& FileName() const { return fileName_; }
  // The image being drawn, or none.
  const Raster* Image() const { return surface_ ? &image_ : nullptr; }
  // A DCX movie is being recorded.
  bool Recording() const { return recording_; }
  // The file the open still image goes to.
  const String& OutputName() const { return outputName_; }

 private:
  // The bitmap and its drawing context: the library's answer.
  int MakeBitmap();
  void FreeBitmap();
  const char* Extension() const;
  // The movie file's name, "Terrax.DCX" by the program's name until one is set.
  const String& MovieFile();

  int width_;
  int height_;
  uint8_t bitsPerPixel_ = 24;
  Kind kind_;
  int quality_ = 50;
  String fileName_;
  int32_t step_ = 0;
  bool recording_ = false;
  String outputName_;
  Raster image_;
  std::unique_ptr<RasterContext> surface_;
  FontList fonts_;
};
