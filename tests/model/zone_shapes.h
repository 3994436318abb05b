// Zones of every type with plane faces and corners at dyadic coordinates, so
// that points on their faces are exactly on them; and a counter of the test
// program's allocations.
#pragma once

#include <cstddef>

#include "model/grid.h"
#include "support/alloc_counter.h"

namespace zone_shapes {

inline constexpr double kUnit[8][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1},
                                       {1, 1, 0}, {0, 1, 1}, {1, 0, 1}, {1, 1, 1}};
// The brick's edge 6-7 collapsed to one point, placed with the top edge 3-5
// so that the faces 2-4-6-5 and 0-3-6-1 stay plane.
inline constexpr double kDegenerate[7][3] = {{0, 0, 0}, {1, 0, 0},    {0, 1, 0},  {0, 0.25, 1},
                                             {1, 1, 0}, {0, 0.75, 1}, {1, 0.5, 2}};

// A zone of the type over new grid-points: the unit brick's corners of the
// same numbers (the degenerate brick's own), scaled and offset.
inline Zone* Shape(int type, double scale = 1.0, double dx = 0.0, double dy = 0.0, double dz = 0.0) {
  GridPoint* gps[8] = {};
  for (int i = 0; i < ZoneGpCount(type); ++i) {
    const double* c = type == kDegenerateBrick ? kDegenerate[i] : kUnit[i];
    const double p[3] = {scale * c[0] + dx, scale * c[1] + dy, scale * c[2] + dz};
    gps[i] = CreateGridPoint(p);
  }
  return CreateZone(type, gps, 0, false);
}

}  // namespace zone_shapes
