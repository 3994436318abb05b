// Zone quality: how far a zone departs from a well-shaped brick. Orthogonality
// and aspect ratio look at the three edges of each of eight corners; face
// planarity at how far the four-cornered faces bend out of a plane.
#include <algorithm>
#include <cfloat>
#include <cmath>

#include "model/geom_vec.h"
#include "model/grid_point.h"
#include "model/zone.h"

using geom::Cross;
using geom::Dot;
using geom::Norm;
using geom::V;

namespace {

// The eight corners are the stored corners of face 0 followed by those of
// face 1 (c0..c3 around one end, c4..c7 around the other, c7 over c0). Each
// corner is measured with the edges to three others, in this order.
constexpr int kCornerEdges[8][4] = {
    {0, 1, 3, 7}, {1, 2, 0, 6}, {2, 3, 1, 5}, {3, 0, 2, 4}, {7, 4, 6, 0}, {6, 7, 5, 1}, {5, 6, 4, 2}, {4, 5, 7, 3},
};

// Zero-length or repeated edges: the corner tells nothing.
bool Degenerate(const Vec3& a, const Vec3& b, const Vec3& c) {
  const Vec3 zero;
  return Vec3::IsEqual(a, zero) || Vec3::IsEqual(b, zero) || Vec3::IsEqual(c, zero) || Vec3::IsEqual(a, b) ||
         Vec3::IsEqual(b, c) || Vec3::IsEqual(c, a);
}

using CornerMeasure = double (*)(const double[3], const double[3], const double[3]);

// The smallest corner value of the zone.
double SmallestCorner(const Zone& zone, CornerMeasure measure) {
  const double* corner[8];
  for (int k = 0; k < 4; ++k) {
    corner[k] = zone.GetFaceGp(0, k)->position;
    corner[4 + k] = zone.GetFaceGp(1, k)->position;
  }
  double best = DBL_MAX;
  for (const auto& e : kCornerEdges) {
    const double* origin = corner[e[0]];
    double edge[3][3];
    for (int k = 0; k < 3; ++k)
      for (int i = 0; i < 3; ++i) edge[k][i] = corner[e[k + 1]][i] - origin[i];
    best = std::min(best, measure(edge[0], edge[1], edge[2]));
  }
  return best;
}

}  // namespace

double CornerOrthogonality(const double a[3], const double b[3], const double c[3]) {
  const Vec3 va = V(a), vb = V(b), vc = V(c);
  if (Degenerate(va, vb, vc)) return DBL_MAX;
  const Vec3 ua = va * (1.0 / Norm(va)), ub = vb * (1.0 / Norm(vb)), uc = vc * (1.0 / Norm(vc));
  return Dot(ua, Cross(ub, uc)) + 1e-9;
}

double CornerAspect(const double a[3], const double b[3], const double c[3]) {
  const Vec3 va = V(a), vb = V(b), vc = V(c);
  if (Degenerate(va, vb, vc)) return DBL_MAX;
  const double la = Norm(va), lb = Norm(vb), lc = Norm(vc);
  const double longest = std::max({la, lb, lc});
  if (longest == 0.0) return DBL_MAX;
  return std::min({la, lb, lc}) / longest;
}

double Zone::Orthogonality() const { return SmallestCorner(*this, CornerOrthogonality); }

double Zone::AspectRatio() const { return SmallestCorner(*this, CornerAspect); }

double ZoneFacePlanarity(const Zone& zone) {
  double worst = -DBL_MAX;
  for (int f = 0; f < kZoneFaces; ++f) {
    if (zone.FaceGpCount(f) != 4) continue;
    const Vec3 p0 = V(zone.GetFaceGp(f, 0)->position), p1 = V(zone.GetFaceGp(f, 1)->position),
               p2 = V(zone.GetFaceGp(f, 2)->position), p3 = V(zone.GetFaceGp(f, 3)->position);
    // Area from the two triangles either side of the diagonal P1-P3.
    const double area = 0.5 * (Norm(Cross(p1 - p0, p3 - p0)) + Norm(Cross(p1 - p2, p3 - p2)));
    const double scale = std::sqrt(area);
    if (scale == 0.0) continue;
    // The cube root of the volume the four corners span, over the length scale.
    const double volume = std::fabs(Dot(p1 - p0, Cross(p2 - p0, p3 - p0))) / 6.0;
    worst = std::max(worst, std::cbrt(volume) / scale);
  }
  return worst;
}

bool ZoneAcceptedByPlot(const Zone& zone, bool nullOnly) {
  return (zone.Flags() & kZonePlotMark) != 0 && zone.IsNull() == nullOnly;
}
