// A view drawn once onto an output surface: a hardcopy page, a movie frame.
#include "base/command.h"
#include "devices/output_devices.h"
#include "view/view_port.h"

void ViewPort::OutputTo(Canvas* surface, CommandType& interp, const char* interrupted) {
  interruptStream_ = &interp;
  surface_ = surface;
  try {
    surface->BeginOutput(interp);
  } catch (...) {
    surface_ = nullptr;
    interruptStream_ = nullptr;
    throw;
  }
  bool stopped = false;
  try {
    Arrange();
    stopped = Regenerate(kAll, String());
  } catch (...) {
    // The file is ended with what was drawn, and the view lets go of it.
    try {
      Close();
    } catch (...) {
    }
    throw;
  }
  if (stopped) interp << interrupted << "\n";
  Close();
}

void ViewPort::Hardcopy(CommandType& interp) {
  OutputTo(&TheOutputDevices().Hardcopy(), interp, "+++ Hardcopy output interrupted.");
}

namespace {

// The surface of the movie type chosen by SET MOVIE, or none.
Canvas* MovieSurface() {
  OutputDevices& devices = TheOutputDevices();
  if (devices.Movie() == OutputDevices::kDcxMovie) return &devices.BitmapCanvas(BitmapDevice::kDcx);
  return nullptr;
}

}  // namespace

void ViewPort::MovieBegin(CommandType& interp) {
  if (Canvas* movie = MovieSurface()) movie->BeginOutput(interp);
}

void ViewPort::MovieEnd() {
  if (Canvas* movie = MovieSurface()) movie->EndMovie();
}

uint32_t ViewPort::MovieQuery() {
  Canvas* movie = MovieSurface();
  return movie && movie->Device() ? uint32_t(movie->Device()->GetStep()) : 0;
}

void ViewPort::MovieSnap() {
  Canvas* movie = MovieSurface();
  if (!movie) return;
  surface_ = movie;
  movie->BeginMovieFrame();
  Arrange();
  Regenerate(kAll, String());
  movie->SaveMovieFrame();
}
