// GENERATE SURFACE: surface triangles added to the GENERATE geometry store.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "base/matrix.h"
#include "base/string.h"

class CommandType;

// What one SURFACE command gathers before it builds its shape.
struct SurfaceParams {
  bool cap = false;
  bool closed = false;
  int32_t segments = 0;
  double edgeLength = 0.0;
  std::vector<Vec3> vertices;
  Vec3 extrusion;
  String name;
  int32_t surfaceId = 1;
};

// GENERATE SURFACE <shape> followed by the shape's keywords.
void SurfaceCommand(CommandType& interp);
// The shape keywords, in any order, to the end of the line.
void SurfaceShapeCommand(CommandType& interp, SurfaceParams& params);
// One triangle from the first three vertices, then a volume-building pass.
void BuildTriangleSurface(const SurfaceParams& params, std::ostream& console);
