// The primitive description: its option block, default points and corner
// check.
#include "generate/primitive.h"

#include <cmath>

#include "base/except.h"
#include "generate/gen_math.h"

namespace {
const char* const kTypeNames[] = {"",         "BRICK",    "WEDGE",       "PYRAMID", "RADTUNNEL",
                                  "RADBRICK", "CYLINDER", "RADCYLINDER", "CYLINT",  "DBRICK",
                                  "CSHELL",   "TUNINT",   "TETRAHEDRON", "UWEDGE"};
constexpr int32_t kTypeCount = kPrimUWedge;

// (a x b) . c
double Triple(const Vec3& a, const Vec3& b, const Vec3& c) { return Vec3::Dot(Vec3::Cross(a, b), c); }
}  // namespace

PrimitiveOptions& GenerateZoneOptions() {
  static PrimitiveOptions options;
  return options;
}

void ResetGenerateZoneOptions() { GenerateZoneOptions() = PrimitiveOptions(); }

bool MeshPrimitive::Available(int32_t type) { return type >= kPrimBrick && type <= kTypeCount; }

const char* MeshPrimitive::TypeName(int32_t type) { return type >= 1 && type <= kTypeCount ? kTypeNames[type] : ""; }

// Each point that was not given gets its default, in order, from the points
// completed before it: the box corners, then the inner points of the radial
// shapes.
void MeshPrimitive::BuildGrid(double edge, double dimensions[kPrimitiveDimensions]) {
  if (!given[0]) point[0] = Vec3{0.0, 0.0, 0.0};
  auto along = [&](int m) { return edge != 0.0 ? edge : static_cast<double>(size[m]); };
  if (!given[1]) point[1] = point[0] + Vec3{along(0), 0.0, 0.0};
  if (!given[2]) point[2] = point[0] + Vec3{0.0, along(1), 0.0};
  if (!given[3]) point[3] = point[0] + Vec3{0.0, 0.0, along(2)};
  const Vec3 b = point[2] - point[0];
  const Vec3 c = point[3] - point[0];
  if (!given[4]) point[4] = point[1] + b;
  if (!given[5]) point[5] = point[2] + c;
  if (!given[6]) point[6] = point[1] + c;
  if (!given[7]) point[7] = point[1] + b + c;
  BuildInnerPoints(dimensions);
}

// The inner points of the radial shapes lie on the box edges that leave p0,
// p1 and p2, or are the corners that those complete. Dimension m (1-based)
// is the distance along its edge; one still 0 when its point is made takes a
// fifth of the edge (radtunnel d3 and d4: d1 and d2) and keeps it for the
// points after it. A given point leaves its dimension alone.
void MeshPrimitive::BuildInnerPoints(double d[kPrimitiveDimensions]) {
  Vec3* p = point;
  auto fifth = [&](int from, int to) { return 0.2 * GenLength(p[to] - p[from]); };
  // The point at distance d[m] from p[from] towards p[to].
  auto along = [&](int m, int from, int to, double fallback) {
    if (d[m] == 0.0) d[m] = fallback;
    return p[from] + GenUnit(p[to] - p[from]) * d[m];
  };
  auto set = [&](int n, const Vec3& v) {
    if (!given[n]) p[n] = v;
  };
  switch (type) {
    case kPrimRadTunnel:
    case kPrimRadCylinder:
    case kPrimCShell:
      if (!given[8]) p[8] = along(0, 0, 1, fifth(0, 1));
      if (!given[9]) p[9] = along(1, 0, 3, fifth(0, 3));
      if (!given[10]) p[10] = along(2, 2, 4, d[0]);
      if (!given[11]) p[11] = along(3, 2, 5, d[1]);
      if (type != kPrimRadTunnel) break;
      set(12, p[8] + p[9] - p[0]);
      set(13, p[10] + p[11] - p[2]);
      break;
    case kPrimRadBrick:
      if (!given[8]) p[8] = along(0, 0, 1, fifth(0, 1));
      if (!given[9]) p[9] = along(1, 0, 2, fifth(0, 2));
      if (!given[10]) p[10] = along(2, 0, 3, fifth(0, 3));
      set(11, p[8] + p[9] - p[0]);
      set(12, p[9] + p[10] - p[0]);
      set(13, p[8] + p[10] - p[0]);
      set(14, p[8] + p[9] + p[10] - p[0] * 2.0);
      break;
    case kPrimCylInt:
    case kPrimTunInt: {
      // p8 lies off p0 along both i and j; its two dimensions go together.
      if (!given[8]) {
        const Vec3 i = along(0, 0, 1, fifth(0, 1));
        p[8] = i + along(1, 0, 2, fifth(0, 2)) - p[0];
      }
      if (!given[9]) p[9] = along(2, 0, 3, fifth(0, 3));
      const bool cylint = type == kPrimCylInt;
      // The points at p2 and at p1, and the corners between them (tunint).
      const int atP2 = cylint ? 10 : 11, atP1 = cylint ? 12 : 14;
      if (!cylint) set(10, p[8] + p[9] - p[0]);
      if (!given[atP2]) p[atP2] = along(3, 2, 4, fifth(2, 4));
      if (!given[atP2 + 1]) p[atP2 + 1] = along(4, 2, 5, fifth(2, 5));
      if (!cylint) set(13, p[11] + p[12] - p[2]);
      if (!given[atP1]) p[atP1] = along(5, 1, 4, fifth(1, 4));
      if (!given[atP1 + 1]) p[atP1 + 1] = along(6, 1, 6, fifth(1, 6));
      if (!cylint) set(16, p[14] + p[15] - p[1]);
      break;
    }
    default:
      break;
  }
}

// The three edges leaving each bottom corner, in the order p0, p1, p4, p2.
// Edges in one plane give a product of rounding noise only, of either sign:
// it must stand clear of that noise, or the zones would have no volume.
void MeshPrimitive::CheckCorners() const {
  const Vec3* p = point;
  const Vec3 edges[4][3] = {
      {p[1] - p[0], p[2] - p[0], p[3] - p[0]},
      {p[4] - p[1], p[0] - p[1], p[6] - p[1]},
      {p[2] - p[4], p[1] - p[4], p[7] - p[4]},
      {p[0] - p[2], p[4] - p[2], p[5] - p[2]},
  };
  for (const auto& e : edges) {
    const double t = Triple(e[0], e[1], e[2]);
    const double noise = 1e-12 * GenLength(e[0]) * GenLength(e[1]) * GenLength(e[2]);
    if (!(t > noise)) throw QJExcept("Mesh primitive does not conform to node numbering convention.");
  }
}

double GradedFraction(int i, int n, double r) {
  if (r == 1.0) return static_cast<double>(i) / static_cast<double>(n);
  return (std::pow(r, i) - 1.0) / (std::pow(r, n) - 1.0);
}
