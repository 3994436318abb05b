// The shapes of GENERATE SURFACE: a triangle, a brick, a polygon fanned from
// its centroid, an extruded polygon and an extruded elliptical arc.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <vector>

#include "base/except.h"
#include "base/message.h"
#include "base/stream.h"
#include "generate/gen_geometry.h"
#include "generate/gen_math.h"
#include "generate/gen_surface.h"

namespace {

[[noreturn]] void ThrowTooFewVertices() { throw GenExcept(MessageText("Insufficient number of vertices defined")); }

void RequireExtrusion(const SurfaceParams& params) {
  if (GenLength(params.extrusion) < 1e-14) throw GenExcept(MessageText("Must specify a non-zero extrusion vector"));
}

void Triangle(const SurfaceParams& params, const Vec3& a, const Vec3& b, const Vec3& c) {
  CreateGenTriangle(a, b, c, params.surfaceId, params.name, nullptr);
}

Vec3 Average(const std::vector<Vec3>& points, size_t count) {
  Vec3 sum;
  for (size_t i = 0; i < count; ++i) sum += points[i];
  const double n = static_cast<double>(count);
  return Vec3{sum.x / n, sum.y / n, sum.z / n};
}

// The corners of a brick or the ends of an arc that the user left out: V0
// at the origin, V1 an edge length along x, V2 (and V3) the side length L
// along y (and z), L being the edge length or else |V1 - V0|.
std::vector<Vec3> CompleteVertices(const SurfaceParams& params, size_t wanted) {
  if (params.vertices.size() < 2 && params.edgeLength == 0.0) ThrowTooFewVertices();
  std::vector<Vec3> v(params.vertices.begin(),
                      params.vertices.begin() + static_cast<std::ptrdiff_t>(std::min(wanted, params.vertices.size())));
  if (v.empty()) v.push_back(Vec3{0.0, 0.0, 0.0});
  if (v.size() < 2) v.push_back(v[0] + Vec3{params.edgeLength, 0.0, 0.0});
  const double side = params.edgeLength != 0.0 ? params.edgeLength : GenLength(v[1] - v[0]);
  if (v.size() < 3) v.push_back(v[0] + Vec3{0.0, side, 0.0});
  if (v.size() < wanted) v.push_back(v[0] + Vec3{0.0, 0.0, side});
  return v;
}

}  // namespace

void BuildTriangleSurface(const SurfaceParams& params, ConsoleStream& console) {
  if (params.vertices.size() < 3) ThrowTooFewVertices();
  CreateGenTriangle(params.vertices[0], params.vertices[1], params.vertices[2], params.surfaceId, params.name,
                    &console);
  BuildVolumes(&console, true);
}

void BuildBrickSurface(const SurfaceParams& params, ConsoleStream& console) {
  std::vector<Vec3> v = CompleteVertices(params, 8);
  if (v.size() < 5) v.push_back(v[1] + v[2] - v[0]);
  if (v.size() < 6) v.push_back(v[3] + v[2] - v[0]);
  if (v.size() < 7) v.push_back(v[3] + v[1] - v[0]);
  if (v.size() < 8) v.push_back(v[1] + v[2] + v[3] - v[0] * 2.0);
  // Two triangles per face: x = 0, x = 1, y = 0, y = 1, z = 0, z = 1.
  static const int kFaces[12][3] = {{5, 0, 2}, {5, 3, 0}, {6, 4, 1}, {6, 7, 4}, {3, 1, 0}, {3, 6, 1},
                                    {7, 2, 4}, {7, 5, 2}, {0, 4, 2}, {0, 1, 4}, {5, 6, 3}, {5, 7, 6}};
  for (const auto& f : kFaces) Triangle(params, v[f[0]], v[f[1]], v[f[2]]);
  BuildVolumes(&console, true);
}

void BuildPolygonSurface(const SurfaceParams& params, ConsoleStream& console, bool report) {
  const std::vector<Vec3>& v = params.vertices;
  if (v.size() < 3) ThrowTooFewVertices();
  const Vec3 centre = Average(v, v.size());
  for (size_t i = 0; i < v.size(); ++i) Triangle(params, centre, v[i], v[(i + 1) % v.size()]);
  BuildVolumes(&console, report);
}

void BuildExtrudedPolygon(const SurfaceParams& params, ConsoleStream& console) {
  if (params.vertices.size() < 3) ThrowTooFewVertices();
  RequireExtrusion(params);
  ExtrudeSurface(params.vertices, params, console);
}

void ExtrudeSurface(std::vector<Vec3> outline, const SurfaceParams& params, ConsoleStream& console) {
  const Vec3& e = params.extrusion;
  std::vector<Vec3> top;
  top.reserve(outline.size() + 1);
  for (const Vec3& p : outline) top.push_back(p + e);
  if (params.closed && !outline.empty()) {
    outline.push_back(outline.front());
    top.push_back(top.front());
  }
  // Layers no thicker than 50 times the shortest edge of the outline.
  double shortest = 1.7976931348623157e308;
  double largest = 0.0;
  for (size_t i = 0; i + 1 < outline.size(); ++i) {
    shortest = std::fmin(shortest, GenLength(outline[i + 1] - outline[i]));
    const Vec3& p = outline[i + 1];
    largest = std::fmax(largest, std::fabs(p.x) + std::fabs(p.y) + std::fabs(p.z));
  }
  if (!(shortest >= std::fmax(std::fabs(1e-14 * largest), 1e-14)))
    throw GenExcept(MessageText("Attempted to create a degenerate triangle"));
  const double layerCount = 1.0 + std::trunc(0.02 * GenLength(e) / shortest);
  // Triangle ids are 32-bit counts: an extrusion that would run past them
  // is refused before it starts.
  const double sides = 2.0 * static_cast<double>(outline.size() - 1);
  const double existing = static_cast<double>(ActiveGenGeometry() ? ActiveGenGeometry()->Triangles().Count() : 0);
  if (!(existing + layerCount * sides + 2.0 * static_cast<double>(outline.size()) < INT32_MAX))
    throw GenExcept(MessageText("Extrusion needs too many triangles"));
  const int32_t layers = static_cast<int32_t>(layerCount);

  const size_t m = outline.size();
  std::vector<Vec3> lower(outline), upper(m);
  for (int32_t k = 0; k < layers; ++k) {
    if (k > 0 && console.EscPressed()) throw ESCInterrupt();
    const double f = static_cast<double>(k + 1) / layers;
    for (size_t i = 0; i < m; ++i) upper[i] = outline[i] + e * f;
    for (size_t i = 0; i + 1 < m; ++i) {
      Triangle(params, lower[i], upper[i], upper[i + 1]);
      Triangle(params, upper[i + 1], lower[i + 1], lower[i]);
    }
    lower.swap(upper);
  }
  if (params.cap) {
    // The ends are fanned from the outline's average, the appended copy of
    // the first vertex left out of it.
    const size_t count = params.closed ? m - 1 : m;
    const Vec3 centre = Average(outline, count);
    const Vec3 centreTop = centre + e;
    if (!params.closed) {
      outline.push_back(outline.front());
      top.push_back(top.front());
    }
    for (size_t i = 0; i + 1 < outline.size(); ++i) {
      Triangle(params, centre, outline[i], outline[i + 1]);
      Triangle(params, centreTop, top[i + 1], top[i]);
    }
  }
  BuildVolumes(&console, true);
}

void BuildExtrudedArc(const SurfaceParams& params, ConsoleStream& console) {
  const int32_t segments = params.segments > 0 ? params.segments : 10;
  if (params.vertices.size() < 2 && params.edgeLength == 0.0) ThrowTooFewVertices();
  RequireExtrusion(params);
  const std::vector<Vec3> v = CompleteVertices(params, 3);
  const Vec3& centre = v[0];
  const double a = GenLength(v[1] - centre);
  const double b = GenLength(v[2] - centre);
  const Vec3 e1 = GenUnit(v[1] - centre);
  const Vec3 e2 = GenUnit(v[2] - centre);
  const Vec3 n = Vec3::Cross(e1, e2);
  // Both ends must leave the centre in different directions, or the arc
  // has no plane.
  if (!(GenLength(n) >= 1e-14)) throw GenExcept(MessageText("Arc end points must not be in line with the centre"));
  const Vec3 p = GenUnit(Vec3::Cross(GenUnit(n), e1));
  const double theta = std::acos(std::fmax(-1.0, std::fmin(1.0, Vec3::Dot(e1, e2))));
  std::vector<Vec3> outline;
  outline.reserve(static_cast<size_t>(segments) + 2);
  for (int32_t i = 0; i <= segments; ++i) {
    const double s = 1.0 - static_cast<double>(i) / segments;
    const Vec3 w = GenUnit(e1 * std::cos(theta * s) + p * std::sin(theta * s));
    const double phi = s * 1.5707963267948966;
    double r = b;
    if (!(phi > 1.5393804002589986 && phi < 1.6022122533307945)) {
      const double t2 = std::tan(phi) * std::tan(phi);
      r = std::sqrt((1.0 + t2) * b * b / (b * b / (a * a) + t2));
    }
    outline.push_back(centre + w * r);
  }
  if (params.closed) outline.push_back(centre);
  ExtrudeSurface(std::move(outline), params, console);
}
