// GENERATE SURFACE: the shape keywords, and the dispatch to the shapes and
// to the file import.
#include "generate/gen_surface.h"

#include "base/command.h"
#include "base/except.h"
#include "base/file.h"
#include "base/message.h"
#include "generate/gen_geometry.h"

namespace {
const char* const kShapeWords = "triangle brick polygon xpolygon xarc file";
enum Shape { kTriangle = 1, kBrick, kPolygon, kXPolygon, kXArc, kFile };

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
  if (shape == kFile) {
    File file(interp.GetFileName("txt"), File::kIn);
    file.Open();
    ImportSurfaceFile(file, interp);
    return;
  }
  SurfaceParams params;
  SurfaceShapeCommand(interp, params);
  switch (shape) {
    case kTriangle:
      BuildTriangleSurface(params, interp);
      break;
    case kBrick:
      BuildBrickSurface(params, interp);
      break;
    case kPolygon:
      BuildPolygonSurface(params, interp);
      break;
    case kXPolygon:
      BuildExtrudedPolygon(params, interp);
      break;
    case kXArc:
      BuildExtrudedArc(params, interp);
      break;
    default:
      break;
  }
}

void SurfaceShapeCommand(CommandType& interp, SurfaceParams& params) {
  while (interp.HasToken()) {
    switch (interp.GetKeyword(kShapeKeywords)) {
      case kVertex:
        params.vertices.push_back(ReadVertex(interp, params.vertices));
        break;
      case kExtruded:
        params.extrusion = GetPosition(interp);
        break;
      case kClosed:
        params.closed = true;
        break;
      case kCap:
        params.cap = true;
        break;
      case kEdge:
        params.edgeLength = interp.GetReal();
        break;
      case kSegments:
        params.segments = interp.GetInt();
        break;
      case kName:
        params.name = interp.GetString();
        break;
      case kSurfid: {
        const int32_t id = interp.GetInt();
        if (id <= 0) throw GenExcept(MessageText("Surface Id must be greater than 0"));
        params.surfaceId = id;
        break;
      }
      default:
        break;
    }
  }
}
