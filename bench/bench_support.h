// What the benchmark programs share: a console that shows nothing, and a grid
// of unit bricks built through the creation functions that GENERATE uses.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "model/grid.h"
#include "platform/console_device.h"

// A console that shows nothing and has no typed input.
class QuietDevice : public ConsoleDevice {
 public:
  void Write(const char*) override {}
  int GetKey() override { return 0; }
  bool KeyPressed(int) override { return false; }
  bool ReadLine(std::string&, const char*, const char*) override { return false; }
  const char* Name() const override { return "GUI Terminal"; }
};

// The brick's corners in the zone's local order, as offsets along x, y, z.
constexpr int kBrickCorner[8][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1},
                                    {1, 1, 0}, {0, 1, 1}, {1, 0, 1}, {1, 1, 1}};

// The place of grid-point (i, j, k) of an nx x ny x nz brick grid in the order
// BuildBrickGrid makes them (x fastest); its id is one more.
inline size_t BrickGridIndex(int nx, int ny, int i, int j, int k) {
  return static_cast<size_t>((k * (ny + 1) + j) * (nx + 1) + i);
}

// nx x ny x nz unit bricks from the origin, the grid-points made first.
inline void BuildBrickGrid(int nx, int ny, int nz) {
  std::vector<GridPoint*> gps(static_cast<size_t>((nx + 1) * (ny + 1) * (nz + 1)));
  for (int k = 0; k <= nz; ++k)
    for (int j = 0; j <= ny; ++j)
      for (int i = 0; i <= nx; ++i) {
        const double p[3] = {double(i), double(j), double(k)};
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
