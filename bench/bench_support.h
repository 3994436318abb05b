// What the benchmark programs share: a console that shows nothing, a grid of
// unit bricks built through the creation functions that GENERATE uses, and
// the faces of such a grid projected for drawing.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/command.h"
#include "gui/install_subsystems.h"
#include "model/grid.h"
#include "model/grid_commands.h"
#include "model/model_app.h"
#include "model/model_interpreter.h"
#include "platform/console_device.h"
#include "platform/raster.h"
#include "zolt/zolt_interpreter.h"

// A console that shows nothing and has no typed input.
class QuietDevice : public ConsoleDevice {
 public:
  void Write(const char*) override {}
  int GetKey() override { return 0; }
  bool KeyPressed(int) override { return false; }
  bool ReadLine(std::string&, const char*, const char*) override { return false; }
  const char* Name() const override { return "GUI Terminal"; }
};

// The whole program on a quiet console, every built subsystem installed and
// the model new, ready for command lines.
struct InstalledProgram {
  QuietDevice device;
  MacroTable macros;
  ModelInterpreter interp{&macros, &device};
  ModelApp app{&interp};
  InstalledProgram() {
    InstallSubsystems(interp.TheModel());
    app.Identity();
    interp.SetApp(&app);
    app.New();
  }
  // One command line, as the command loop hands it over.
  void Command(const char* line) {
    interp.ClearTokens();
    String text(line);
    for (String word = text.NextToken(" "); !word.IsEmpty(); word = text.NextToken(" ")) interp.AddToken(word);
    interp.Command();
  }
};

// The brick's corners in the zone's local order, as offsets along x, y, z.
constexpr int kBrickCorner[8][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1},
                                    {1, 1, 0}, {0, 1, 1}, {1, 0, 1}, {1, 1, 1}};

// The place of grid-point (i, j, k) of an nx x ny x nz brick grid in the order
// BuildBrickGrid makes them (x fastest); its id is one more.
inline size_t BrickGridIndex(int nx, int ny, int i, int j, int k) {
  return static_cast<size_t>((k * (ny + 1) + j) * (nx + 1) + i);
}

// nx x ny x nz unit bricks from (0, 0, z0), with grid-points of their own,
// made first.
inline void BuildBrickGrid(int nx, int ny, int nz, double z0 = 0.0) {
  std::vector<GridPoint*> gps(static_cast<size_t>((nx + 1) * (ny + 1) * (nz + 1)));
  for (int k = 0; k <= nz; ++k)
    for (int j = 0; j <= ny; ++j)
      for (int i = 0; i <= nx; ++i) {
        const double p[3] = {double(i), double(j), z0 + k};
        gps[BrickGridIndex(nx, ny, i, j, k)] = CreateGridPoint(p);
      }
  for (int k = 0; k < nz; ++k)
    for (int j = 0; j < ny; ++j)
      for (int i = 0; i < nx; ++i) {
        GridPoint* corners[8];
        for (int c = 0; c < 8; ++c) {
          const int* d = kBrickCorner[c];
          corners[c] = gps[BrickGridIndex(nx, ny, i + d[0], j + d[1], k + d[2])];
        }
        CreateZone(kBrick, corners);
      }
}

// The grid-point positions of a brick grid and, for each zone face, its four
// grid-points.
struct BrickFaces {
  std::vector<double> points;  // x, y, z
  std::vector<uint32_t> quads;
};

// Every face of a grid of 50 x 50 x 40 bricks (600,000 faces), made once.
inline const BrickFaces& BrickGridFaces() {
  static const BrickFaces faces = [] {
    InstallGrid();
    BuildBrickGrid(50, 50, 40);
    BrickFaces f;
    for (GridPoint* gp : GridPointList()) f.points.insert(f.points.end(), gp->position, gp->position + 3);
    for (Zone* z : ZoneList())
      for (int face = 0; face < kZoneFaces; ++face)
        for (int corner = 0; corner < 4; ++corner) f.quads.push_back(z->GetFaceGp(face, corner)->id - 1);
    ClearGrid();
    return f;
  }();
  return faces;
}

// The grid-points turned 30 degrees about z, tilted 25 degrees, scaled and
// moved to the origin on the surface.
inline void ProjectBrickFaces(const BrickFaces& faces, double scale, PixelPoint origin,
                              std::vector<PixelPoint>& projected) {
  const double c = std::cos(0.5236), s = std::sin(0.5236), ct = std::cos(0.4363), st = std::sin(0.4363);
  const double m[2][3] = {{c * scale, -s * scale, 0.0}, {s * st * scale, c * st * scale, -ct * scale}};
  const size_t n = faces.points.size() / 3;
  projected.resize(n);
  for (size_t i = 0; i < n; ++i) {
    const double* p = &faces.points[3 * i];
    projected[i] = {int32_t(std::lround(origin.x + m[0][0] * p[0] + m[0][1] * p[1] + m[0][2] * p[2])),
                    int32_t(std::lround(origin.y + m[1][0] * p[0] + m[1][1] * p[1] + m[1][2] * p[2]))};
  }
}

// Lines handed to the interpreter from memory; the end is reported, so that
// the command loop returns instead of waiting for typed input.
class TextSource : public CommandSource {
 public:
  explicit TextSource(std::string text) : CommandSource(kMemory), text_(std::move(text)) {}
  String ReadLine(const String&) override {
    if (pos_ >= text_.size()) return String();
    size_t nl = text_.find('\n', pos_);
    if (nl == std::string::npos) nl = text_.size();
    String line(text_.substr(pos_, nl - pos_));
    pos_ = nl + 1;
    return line.IsEmpty() ? String(" ") : line;
  }
  bool ReportsEnd() const override { return true; }

 private:
  std::string text_;
  size_t pos_ = 0;
};

// A command level with the scripting level on a quiet console; Type runs
// lines as if they were typed.
struct ScriptProgram {
  QuietDevice device;
  MacroTable macros;
  CommandType interp{0, &macros, false, &device};
  ZoltInterpreter zolt;
  ScriptProgram() { interp.SetScriptLevel(&zolt); }

  void Type(std::string text) {
    interp.PushSource(std::make_unique<TextSource>(std::move(text)));
    interp.Process(String("Terrax>"));
  }
};
