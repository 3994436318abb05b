#include "devices/bitmap_device.h"

#include <algorithm>

#include "base/app.h"
#include "base/command.h"
#include "base/message.h"
#include "devices/image_files.h"

namespace {
const char* const kKeywords = "size quality file step";
enum Keyword { kSize = 1, kQuality, kFile, kStep };
}  // namespace

BitmapDevice::BitmapDevice(Kind kind)
    : width_(kind == kDcx ? 640 : 1024), height_(kind == kDcx ? 480 : 768), kind_(kind) {}

BitmapDevice::~BitmapDevice() {
  try {
    EndOutput();
  } catch (const KWRExcept&) {
  }
  FreeBitmap();
}

const char* BitmapDevice::Extension() const {
  switch (kind_) {
    case kBmp:
      return "BMP";
    case kPcx:
      return "PCX";
    case kDcx:
      return "DCX";
    default:
      return "JPG";
  }
}

const String& BitmapDevice::MovieFile() {
  if (fileName_.IsEmpty()) {
    std::string name = Identity().upperName.str();
    for (size_t i = 1; i < name.size(); ++i) name[i] = char(std::tolower(static_cast<unsigned char>(name[i])));
    fileName_ = name + ".DCX";
  }
  return fileName_;
}

int BitmapDevice::MakeBitmap() {
  FreeBitmap();
  const int code = CreateImage(image_, width_, height_);
  if (code != kImageSuccess) return code;
  surface_ = std::make_unique<RasterContext>(&image_);
  // The fonts are gathered again for the new context when one is next asked for.
  fonts_.Clear();
  // The pen and brush of the device's colour carry over to the new bitmap.
  SetContext(surface_.get());
  return kImageSuccess;
}

void BitmapDevice::FreeBitmap() {
  if (surface_) {
    SetContext(nullptr);
    surface_.reset();
  }
  image_ = Raster();
}

void BitmapDevice::BeginOutput(CommandType& interp) {
  if (kind_ == kDcx) {
    // A movie being recorded keeps its file and the pages it has.
    if (recording_) return;
    File file(MovieFile(), File::kOut);
    file.Open();
    file.Close();
    recording_ = true;
    return;
  }
  if (surface_) return;
  String lower = Extension();
  lower.ToLower();
  outputName_ = PlotOutputName().IsEmpty() ? Identity().lowerName + "." + Extension() : PlotOutputName();
  int word = 0;
  if (interp.MatchKeyword("file", word) == CommandType::kOk) {
    outputName_ = interp.GetFileName(lower.c_str());
    interp.GetFileMode();
  }
  const int code = MakeBitmap();
  if (code != kImageSuccess) throw KWRExcept("Imaging library error code " + IntToString(code));
  interp << "--- Sending " << Extension() << " format plot to file " << outputName_ << "\n";
}

void BitmapDevice::EndOutput() {
  if (kind_ == kDcx || !surface_) return;
  SetContext(nullptr);
  surface_.reset();
  const int format = kind_ == kBmp ? kImageBmp : kind_ == kJpeg ? kImageJpeg : kImagePcx;
  const int code = SaveImage(outputName_, image_, format, quality_);
  image_ = Raster();
  if (code != kImageSuccess) throw KWRExcept(MessageText("Imaging library error creating file (%s)", outputName_));
}

void BitmapDevice::BeginMovieFrame() {
  if (MakeBitmap() != kImageSuccess) throw DeviceExcept("Imaging library error creating bitmap.");
}

// The page after the last one of the file, or the first of a new file; frames
// beyond the table's 1024 pages are drawn but not stored.
void BitmapDevice::SaveMovieFrame() {
  if (kind_ != kDcx || !surface_) return;
  int pages = 0;
  const int page = ImageFilePages(MovieFile(), pages) && pages <= 5000 ? pages + 1 : 1;
  if (page <= kDcxPages) {
    ImageSaveOptions options;
    options.page = page;
    if (SaveImage(fileName_, image_, kImagePcx, quality_, &options) != kImageSuccess) {
      EndMovieFrame();
      throw KWRExcept(FormatText("Imaging library error creating file %1", fileName_.c_str()));
    }
  }
  EndMovieFrame();
}

void BitmapDevice::EndMovieFrame() { FreeBitmap(); }
void BitmapDevice::EndMovie() { recording_ = false; }
int BitmapDevice::GetStep() { return step_; }

void BitmapDevice::ParseKeywords(CommandType& interp, int) {
  for (;;) {
    int word = 0;
    const int code = interp.MatchKeyword(kKeywords, word);
    if (code == CommandType::kMissing) return;
    if (code != CommandType::kOk) interp.ThrowParamError(code);
    switch (word) {
      case kSize: {
        const int first = interp.TokenIndex();
        const int32_t width = interp.GetInt();
        const int32_t height = interp.GetInt();
        if (width <= 0) throw CommandType::ConvertExcept(first, interp.Token(first));
        if (height <= 0) throw CommandType::ConvertExcept(first + 1, interp.Token(first + 1));
        width_ = width;
        height_ = height;
        break;
      }
      case kQuality:
        quality_ = std::clamp(interp.GetInt(), 2, 255);
        break;
      case kFile:
        // Still images take their name from SET OUTPUT or the hardcopy command.
        if (kind_ != kDcx) {
          --interp.TokenIndex();
          interp.ThrowParamError(CommandType::kUnrecognized);
        }
        fileName_ = interp.GetFileName("DCX");
        break;
      case kStep: {
        int32_t step = 0;
        if (int c = interp.CheckNonNegInt(&step)) interp.ThrowParamError(c);
        step_ = step;
        break;
      }
      default:
        break;
    }
  }
}

String BitmapDevice::Name() { return "Bitmap file"; }

void BitmapDevice::List(TextOStream& out) {
  out << "        Name: Bitmap file output\n";
  out << "        Size: (" << width_ << "," << height_ << ")\n";
  out << "        Type: " << (kind_ == kJpeg ? "JPG" : Extension()) << "\n";
  if (kind_ == kJpeg) out << "     Quality: " << quality_ << "\n";
}

String BitmapDevice::FileFilter() {
  switch (kind_) {
    case kBmp:
      return "Windows BMP,*.bmp";
    case kJpeg:
      return "JPEG,*.jpg";
    case kPcx:
      return "PCX,*.pcx";
    default:
      return "DCX,*.dcx";
  }
}

FontInfo BitmapDevice::SelectFont(const FontDesc& font) { return RealizeFont(fonts_, font); }
bool BitmapDevice::SetDrawMode(int) { return false; }
PixelSize BitmapDevice::GetSize() { return {width_, height_}; }
bool BitmapDevice::QueryCapability1() { return false; }
bool BitmapDevice::IsColor() { return true; }
bool BitmapDevice::IsScreen() { return false; }
bool BitmapDevice::QueryCapability2() { return false; }
void BitmapDevice::SetWindow(WindowHandle) {}

void BitmapDevice::Clear() {
  if (RasterContext* c = Context()) c->FillRect({0, 0, width_, height_}, c->BackColor());
}
