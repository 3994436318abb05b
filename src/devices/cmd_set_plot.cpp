// SET PLOT and SET MOVIE: which device hardcopies and movie frames go to, and
// that device's own settings.
#include "base/command.h"
#include "devices/output_devices.h"

namespace {

const char* const kPlotWords = "postscript windows metafile bitmap bmp jpg pcx dcx avi";
enum PlotWord { kPostScript = 1, kWindows, kMetafile, kBitmap, kBmp, kJpg, kPcx, kDcx, kAvi };

const char* const kMovieWords = "dcx avi";
enum MovieWord { kMovieDcx = 1, kMovieAvi };

int SetPlotHandler(CommandType& interp) {
  TheOutputDevices().SetPlot(interp);
  return CommandType::kOk;
}

int SetMovieHandler(CommandType& interp) {
  TheOutputDevices().SetMovie(interp);
  return CommandType::kOk;
}

String DefaultExtension() { return TheOutputDevices().Extension(); }

}  // namespace

void OutputDevices::SetPlot(CommandType& interp) {
  int word = 0;
  if (interp.MatchKeyword(kPlotWords, word) == CommandType::kOk) {
    switch (word) {
      case kPostScript:
        hardcopy_ = &postscriptCanvas_;
        break;
      case kWindows:
        hardcopy_ = &printerCanvas_;
        break;
      case kMetafile:
        throw QJExcept("SET PLOT METAFILE is not available in this version");
      case kBitmap:
      case kBmp:
        hardcopy_ = &bitmapCanvases_[BitmapDevice::kBmp];
        break;
      case kJpg:
        hardcopy_ = &bitmapCanvases_[BitmapDevice::kJpeg];
        break;
      case kPcx:
        hardcopy_ = &bitmapCanvases_[BitmapDevice::kPcx];
        break;
      case kDcx:
        hardcopy_ = &bitmapCanvases_[BitmapDevice::kDcx];
        break;
      case kAvi:
        throw QJExcept("SET PLOT AVI is not available in this version");
      default:
        break;
    }
  }
  hardcopy_->ParseKeywords(interp, interp.TokenIndex());
}

void OutputDevices::SetMovie(CommandType& interp) {
  int word = 0;
  const int code = interp.MatchKeyword(kMovieWords, word);
  if (code == CommandType::kOk && word == kMovieAvi) throw QJExcept("SET MOVIE AVI is not available in this version");
  if (code != CommandType::kOk) {
    movieType_ = kNoMovie;
    throw KWRExcept("set movie dcx or avi must be specified!");
  }
  movieType_ = kDcxMovie;
  hardcopy_ = &bitmapCanvases_[BitmapDevice::kDcx];
  hardcopy_->ParseKeywords(interp, interp.TokenIndex());
}

void InstallOutputDevices() {
  InstallGuiSetHandler("plot", &SetPlotHandler);
  InstallGuiSetHandler("movie", &SetMovieHandler);
  HardCopyExtension = &DefaultExtension;
}
