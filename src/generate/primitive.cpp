// The primitive description: its option block, default points, corner check
// and the graded node mapping of the brick and the wedge.
#include "generate/primitive.h"

#include <cmath>

#include "base/except.h"
#include "generate/gen_math.h"

namespace {
const char* const kTypeNames[] = {"",       "BRICK",  "WEDGE",       "PYRAMID", "RADTUNNEL",
                                  "RADBRICK", "CYLINDER", "RADCYLINDER", "CYLINT",  "DBRICK",
                                  "CSHELL", "TUNINT", "TETRAHEDRON", "UWEDGE"};
constexpr int32_t kTypeCount = 13;

// (a x b) . c
double Triple(const Vec3& a, const Vec3& b, const Vec3& c) { return Vec3::Dot(Vec3::Cross(a, b), c); }
}  // namespace

PrimitiveOptions& GenerateZoneOptions() {
  static PrimitiveOptions options;
  return options;
}

void ResetGenerateZoneOptions() { GenerateZoneOptions() = PrimitiveOptions(); }

bool MeshPrimitive::Available(int32_t type) { return type == kPrimBrick || type == kPrimWedge; }

const char* MeshPrimitive::TypeName(int32_t type) {
  return type >= 1 && type <= kTypeCount ? kTypeNames[type] : "";
}

// Each point that was not given gets its default, in order, from the points
// completed before it. Only the radial shapes have inner points; they are
// not built in this version, so the dimensions stay as they are.
void MeshPrimitive::BuildGrid(double edge, double[kPrimitiveDimensions]) {
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

PrimitiveMapping::PrimitiveMapping(const MeshPrimitive& primitive) : primitive_(primitive) {
  if (primitive_.positionFunction) return;
  for (int m = 0; m < 3; ++m) {
    const int n = primitive_.size[m];
    fraction_[m].resize(static_cast<size_t>(n) + 1);
    for (int i = 0; i <= n; ++i) fraction_[m][static_cast<size_t>(i)] = GradedFraction(i, n, primitive_.ratio[m]);
  }
}

Vec3 PrimitiveMapping::Position(int i, int j, int k) const {
  if (primitive_.positionFunction) return primitive_.positionFunction(i, j, k);
  switch (primitive_.type) {
    case kPrimBrick: return BrickPosition(i, j, k);
    case kPrimWedge: return WedgePosition(i, j, k);
    default: return Vec3{};
  }
}

// The trilinear map of the unit cube onto the hexahedron p0 ... p7, each
// index graded on its own: along the four k edges, then along j, then i.
Vec3 PrimitiveMapping::BrickPosition(int i, int j, int k) const {
  const Vec3* p = primitive_.point;
  const double ti = fraction_[0][static_cast<size_t>(i)];
  const double tj = fraction_[1][static_cast<size_t>(j)];
  const double tk = fraction_[2][static_cast<size_t>(k)];
  const Vec3 q0 = p[0] + (p[3] - p[0]) * tk;
  const Vec3 q1 = p[1] + (p[6] - p[1]) * tk;
  const Vec3 q4 = p[4] + (p[7] - p[4]) * tk;
  const Vec3 q2 = p[2] + (p[5] - p[2]) * tk;
  const Vec3 f = q0 + (q2 - q0) * tj;
  const Vec3 g = q1 + (q4 - q1) * tj;
  return f + (g - f) * ti;
}

// The bottom quadrilateral p0, p1, p4, p2 rises to the top edge p3 - p5:
// along j on the three edges, then along i on the bottom, then up along k.
Vec3 PrimitiveMapping::WedgePosition(int i, int j, int k) const {
  const Vec3* p = primitive_.point;
  const double ti = fraction_[0][static_cast<size_t>(i)];
  const double tj = fraction_[1][static_cast<size_t>(j)];
  const double tk = fraction_[2][static_cast<size_t>(k)];
  const Vec3 q0 = p[0] + (p[2] - p[0]) * tj;
  const Vec3 q1 = p[1] + (p[4] - p[1]) * tj;
  const Vec3 q3 = p[3] + (p[5] - p[3]) * tj;
  const Vec3 f = q0 + (q1 - q0) * ti;
  return f + (q3 - f) * tk;
}
