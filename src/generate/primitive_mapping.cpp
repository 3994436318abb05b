// The node positions of the primitives with straight edges (brick, wedge,
// pyramid, degenerate brick, tetrahedron), the stage caches that all shapes
// share, and the line crossing of the uniform wedge. The curved shapes are
// in primitive_curved.cpp.
#include <cmath>

#include "generate/primitive.h"

namespace {

Vec3 Lerp(const Vec3& a, const Vec3& b, double t) { return a + (b - a) * t; }

// The four edges in the k direction of a straight-edged shape, as {from, to}
// corner numbers: the row's first end runs between the points on edges 0 and
// 2, its second end between those on edges 1 and 3.
constexpr int kBrickEdges[4][2] = {{0, 3}, {1, 6}, {2, 5}, {4, 7}};
// Every edge rises to the apex p3.
constexpr int kPyramidEdges[4][2] = {{0, 3}, {1, 3}, {2, 3}, {4, 3}};
// The edge p4 - p7 of the brick ends at p6: p7 is merged into p6.
constexpr int kDBrickEdges[4][2] = {{0, 3}, {1, 6}, {2, 5}, {4, 6}};

const int (*EdgesOf(int type))[2] {
  switch (type) {
    case kPrimPyramid:
      return kPyramidEdges;
    case kPrimDBrick:
      return kDBrickEdges;
    default:
      return kBrickEdges;
  }
}

bool IsCurved(int type) { return type == kPrimCylinder || type == kPrimRadCylinder || type == kPrimCShell; }

}  // namespace

PrimitiveMapping::PrimitiveMapping(const MeshPrimitive& primitive) : primitive_(primitive) {
  if (primitive_.positionFunction) return;
  for (int m = 0; m < 3; ++m) {
    const int n = primitive_.size[m];
    fraction_[m].resize(static_cast<size_t>(n) + 1);
    for (int i = 0; i <= n; ++i) fraction_[m][static_cast<size_t>(i)] = GradedFraction(i, n, primitive_.ratio[m]);
  }
  if (primitive_.type == kPrimRadCylinder) {
    // The smallest distance wins; an equal one later does not.
    double best = HUGE_VAL;
    for (int k = 0; k < primitive_.size[2]; ++k) {
      const double distance = std::fabs(Fraction(2, k) - 0.5);
      if (distance < best) {
        best = distance;
        outlineCorner_ = k;
      }
    }
  }
}

Vec3 PrimitiveMapping::Position(int i, int j, int k) const {
  if (primitive_.positionFunction) return primitive_.positionFunction(i, j, k);
  switch (primitive_.type) {
    case kPrimBrick:
    case kPrimPyramid:
    case kPrimDBrick:
    case kPrimCylinder:
    case kPrimRadCylinder:
    case kPrimCShell: {
      const Row& row = RowAt(j, k);
      return row.from + (row.to - row.from) * Fraction(0, i);
    }
    case kPrimWedge:
      return WedgePosition(i, j, k);
    case kPrimTetrahedron:
      return TetrahedronPosition(i, j, k);
    default:
      return Vec3{};
  }
}

const PrimitiveMapping::Row& PrimitiveMapping::RowAt(int j, int k) const {
  Row& row = rows_[(j & 1) * 2 + (k & 1)];
  if (row.j == j && row.k == k) return row;
  // Marked only once computed: a curved row may refuse its sweep.
  row.j = -1;
  if (IsCurved(primitive_.type))
    CurvedRow(j, k, row);
  else
    StraightRow(j, k, row);
  row.j = j;
  row.k = k;
  return row;
}

const PrimitiveMapping::Plane& PrimitiveMapping::PlaneAt(int k) const {
  Plane& plane = planes_[k & 1];
  if (plane.k == k) return plane;
  const Vec3* p = primitive_.point;
  const int(*edges)[2] = EdgesOf(primitive_.type);
  const double tk = Fraction(2, k);
  for (int e = 0; e < 4; ++e) plane.edge[e] = Lerp(p[edges[e][0]], p[edges[e][1]], tk);
  plane.k = k;
  return plane;
}

// Along the k edges, then along j between them: the brick's trilinear map
// (q0, q1, q2, q4 on its k edges), the pyramid's edges to its apex, the
// degenerate brick's with the far edge ending at p6.
void PrimitiveMapping::StraightRow(int j, int k, Row& row) const {
  const Plane& plane = PlaneAt(k);
  const double tj = Fraction(1, j);
  row.from = Lerp(plane.edge[0], plane.edge[2], tj);
  row.to = Lerp(plane.edge[1], plane.edge[3], tj);
}

// The bottom quadrilateral p0, p1, p4, p2 rises to the top edge p3 - p5:
// along j on the three edges, then along i on the bottom, then up along k.
Vec3 PrimitiveMapping::WedgePosition(int i, int j, int k) const {
  const Vec3* p = primitive_.point;
  const double ti = Fraction(0, i);
  const double tj = Fraction(1, j);
  const double tk = Fraction(2, k);
  const Vec3 q0 = p[0] + (p[2] - p[0]) * tj;
  const Vec3 q1 = p[1] + (p[4] - p[1]) * tj;
  const Vec3 q3 = p[3] + (p[5] - p[3]) * tj;
  const Vec3 f = q0 + (q1 - q0) * ti;
  return f + (q3 - f) * tk;
}

// The base triangle p0, p1, p2 rises to the apex p3: along j on the edges
// to p2, then along i between them, then up along k.
Vec3 PrimitiveMapping::TetrahedronPosition(int i, int j, int k) const {
  const Vec3* p = primitive_.point;
  const double tj = Fraction(1, j);
  const Vec3 e = Lerp(p[0], p[2], tj);
  const Vec3 f = Lerp(p[1], p[2], tj);
  const Vec3 g = Lerp(e, f, Fraction(0, i));
  return Lerp(g, p[3], Fraction(2, k));
}

bool IntersectSegments(const Vec3& a0, const Vec3& a1, const Vec3& b0, const Vec3& b1, Vec3& point) {
  const Vec3 d = a1 - a0;
  const Vec3 e = b0 - b1;
  const Vec3 w = a0 - b0;
  // One denominator and numerator per coordinate plane: xy, xz, yz.
  const double den[3] = {d.y * e.x - d.x * e.y, d.z * e.x - d.x * e.z, d.z * e.y - d.y * e.z};
  const double num[3] = {e.y * w.x - e.x * w.y, e.z * w.x - e.x * w.z, e.z * w.y - e.y * w.z};
  int best = 0;
  for (int m = 1; m < 3; ++m)
    if (std::fabs(den[m]) > std::fabs(den[best])) best = m;
  const double dn = den[best], nm = num[best];
  if (!(std::fabs(dn) > 1e-14)) return false;
  if (dn > 0.0 ? (nm < 0.0 || nm > dn) : (nm > 0.0 || nm < dn)) return false;
  point = a0 + d * (nm / dn);
  return true;
}
