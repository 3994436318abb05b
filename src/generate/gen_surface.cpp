// GENERATE SURFACE: the shape keywords and the shapes built from them.
#include "generate/gen_surface.h"

#include "base/command.h"
#include "base/except.h"
#include "base/message.h"
#include "generate/gen_geometry.h"

namespace {
const char* const kShapeWords = "triangle brick polygon xpolygon xarc file";
const char* const kShapeNames[] = {"TRIANGLE", "BRICK", "POLYGON", "XPOLYGON", "XARC", "FILE"};
enum Shape { kTriangle = 1 };

const char* const kShapeKeywords = "vertex extruded closed cap edge segments name surfid";
enum ShapeKeyword { kVertex = 1, kExtruded, kClosed, kCap, kEdge, kSegments, kName, kSurfid };

const char* const kVertexWords = "add increment point";
enum VertexWord { kAdd = 1, kIncrement, kPoint };

Vec3 GetPosition(CommandType& interp) {
  double v[3];
  interp.GetVector(v);
  return Vec3{v[0], v[1], v[2]};
}

// One vertex: a position, a position relative to the first or the last
// vertex so far, or the position of a reference point.
Vec3 ReadVertex(CommandType& interp, const std::vector<Vec3>& vertices) {
  int word = 0;
  if (interp.MatchKeyword(kVertexWords, word) != CommandType::kOk) return GetPosition(interp);
  if (word == kPoint) {
    const int32_t id = interp.GetInt();
    const GenPoint* point = FindGenPoint(id);
    if (!point) throw GenExcept(MessageText("Node %s not found", IntToString(id)));
    return point->Position();
  }
  Vec3 v = GetPosition(interp);
  if (!vertices.empty()) v += word == kAdd ? vertices.front() : vertices.back();
  return v;
}
}  // namespace

void SurfaceCommand(CommandType& interp) {
  const int shape = interp.GetKeyword(kShapeWords);
  if (shape != kTriangle)
    throw QJExcept(MessageText("%s is not available in this version",
                               String("GENERATE SURFACE ") + kShapeNames[shape - 1]));
  SurfaceParams params;
  SurfaceShapeCommand(interp, params);
  BuildTriangleSurface(params, interp);
}

void SurfaceShapeCommand(CommandType& interp, SurfaceParams& params) {
  while (interp.HasToken()) {
    switch (interp.GetKeyword(kShapeKeywords)) {
      case kVertex: params.vertices.push_back(ReadVertex(interp, params.vertices)); break;
      case kExtruded: params.extrusion = GetPosition(interp); break;
      case kClosed: params.closed = true; break;
      case kCap: params.cap = true; break;
      case kEdge: params.edgeLength = interp.GetReal(); break;
      case kSegments: params.segments = interp.GetInt(); break;
      case kName: params.name = interp.GetString(); break;
      case kSurfid: {
        const int32_t id = interp.GetInt();
        if (id <= 0) throw GenExcept(MessageText("Surface Id must be greater than 0"));
        params.surfaceId = id;
        break;
      }
      default: break;
    }
  }
}

void BuildTriangleSurface(const SurfaceParams& params, std::ostream& console) {
  if (params.vertices.size() < 3) throw GenExcept(MessageText("Insufficient number of vertices defined"));
  CreateGenTriangle(params.vertices[0], params.vertices[1], params.vertices[2], params.surfaceId, params.name,
                    &console);
  BuildVolumes(&console, true);
}
