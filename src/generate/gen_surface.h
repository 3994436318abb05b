// GENERATE SURFACE: surface triangles added to the GENERATE geometry store.
#pragma once

#include <cstdint>
#include <vector>

#include "base/matrix.h"
#include "base/string.h"

class CommandType;
class ConsoleStream;
class File;

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

// GENERATE SURFACE <shape> followed by the shape's keywords, or FILE with a
// file name and the import keywords.
void SurfaceCommand(CommandType& interp);
// The shape keywords, in any order, to the end of the line.
void SurfaceShapeCommand(CommandType& interp, SurfaceParams& params);

// The shapes. Each makes its triangles with the command's surface id and
// name and ends with a volume-building pass that reports to the console, so
// that a shape that closes becomes a volume at once. Triangles made before a
// failure stay in the store as free triangles.
//
// One triangle from the first three vertices; only this shape tells the
// console that it reordered the corners.
void BuildTriangleSurface(const SurfaceParams& params, ConsoleStream& console);
// The twelve triangles of a box from V0 along V1 - V0 and the y and z axes;
// missing vertices come from the edge length (or |V1 - V0|).
void BuildBrickSurface(const SurfaceParams& params, ConsoleStream& console);
// A fan of triangles from the vertices' average around the closed outline.
// The quiet form's pass reports nothing and leaves open triangles marked.
void BuildPolygonSurface(const SurfaceParams& params, ConsoleStream& console, bool report = true);
// The outline extruded along the extrusion vector, optionally capped.
void BuildExtrudedPolygon(const SurfaceParams& params, ConsoleStream& console);
// A quarter-ellipse-like arc around V0 from V2 to V1, extruded.
void BuildExtrudedArc(const SurfaceParams& params, ConsoleStream& console);
// The side walls of the outline swept along the extrusion (in layers no
// longer than 50 times the outline's shortest edge), the ends with cap.
void ExtrudeSurface(std::vector<Vec3> outline, const SurfaceParams& params, ConsoleStream& console);

// GENERATE SURFACE FILE: the import keywords, then one point per line of the
// open file; the points form one polygon, or with "import" a regular grid
// of quadrilaterals.
void ImportSurfaceFile(File& file, CommandType& interp);
