// The geometry of one zone face: its unit normal (also at magnified
// displacements), where a line crosses its plane, and the projection of a
// point onto it that gives the corner weights with which a hosted node
// follows the face. ATTACH and the interfaces project every node they place,
// so the projections allocate nothing.
#include <algorithm>
#include <cmath>

#include "model/geom_vec.h"
#include "model/grid_point.h"
#include "model/model_settings.h"
#include "model/zone.h"

using geom::Cross;
using geom::Dot;
using geom::Norm;
using geom::Store;
using geom::Unit;
using geom::V;

namespace {

double g_missValue = 0.0;

// The unit normal of three or four corners: from the diagonals for four,
// from two edges for three.
Vec3 CornerNormal(const Vec3 p[4], int count) {
  if (count == 4) return Unit(Cross(p[2] - p[0], p[1] - p[3]));
  return Unit(Cross(p[2] - p[0], p[1] - p[0]));
}

// Barycentric coordinates of the projected point in triangle (i, j, k) of
// the flattened corners (a[n] = corner n - projected point), stored by corner.
// A triangle of no area gets -10 on its `sentinel` corner. Answers the
// smallest coordinate.
double TriangleCoordinates(const Vec3 corner[4], const Vec3 a[4], int i, int j, int k, int sentinel, double w[4]) {
  w[0] = w[1] = w[2] = w[3] = 0.0;
  const Vec3 n = Cross(corner[k] - corner[i], corner[j] - corner[i]);
  const double length = Norm(n);
  if (length == 0.0) {
    w[sentinel] = -10.0;
    return -10.0;
  }
  const Vec3 unit = n * (1.0 / length);
  w[i] = Dot(Cross(a[k], a[j]), unit) / length;
  w[j] = Dot(Cross(a[i], a[k]), unit) / length;
  w[k] = Dot(Cross(a[j], a[i]), unit) / length;
  return std::min({w[i], w[j], w[k]});
}

void AddWeights(FaceWeights& out, const double w[4]) {
  for (int c = 0; c < 4; ++c) out.weight[c] += w[c];
}

// Twice the areas of the face's own corners split along the diagonal 0-2 and
// along 1-3: they differ when the face is twisted out of its plane or bent
// inward in it.
void SplitAreas(const Vec3 c[4], double* s1, double* s2) {
  *s1 = Norm(Cross(c[2] - c[0], c[1] - c[0])) + Norm(Cross(c[3] - c[0], c[2] - c[0]));
  *s2 = Norm(Cross(c[2] - c[3], c[1] - c[3])) + Norm(Cross(c[1] - c[3], c[0] - c[3]));
}

}  // namespace

double& FaceMissValue() { return g_missValue; }

double* ZoneFace::Normal(double out[3]) const {
  const int count = GpCount();
  Vec3 p[4];
  for (int k = 0; k < count && k < 4; ++k) p[k] = V(GetGp(k)->position);
  Store(CornerNormal(p, count), out);
  return out;
}

double* ZoneFace::Evaluate(double out[3], double factor) const {
  const int count = GpCount();
  const bool large = Settings().largeStrain;
  Vec3 p[4];
  for (int k = 0; k < count && k < 4; ++k) {
    const GridPoint* gp = GetGp(k);
    const Vec3 u = V(gp->displacement);
    const Vec3 base = large ? V(gp->position) - u : V(gp->position);
    p[k] = base + u * factor;
  }
  Store(CornerNormal(p, count), out);
  return out;
}

bool ZoneFace::IntersectLine(const double p[3], const double d[3], double* out) const {
  if (!out) return false;
  if (!GetZone()) {
    Store(V(p), out);
    return false;
  }
  double normal[3];
  const Vec3 n = V(Normal(normal));
  const Vec3 point = V(p), direction = V(d);
  Store(point, out);
  const double q = Dot(n, direction);
  if (q == 0.0) return false;
  const double t = (Dot(n, V(GetGp(0)->position)) - Dot(n, point)) / q;
  Store(point + direction * t, out);
  return true;
}

bool ZoneFace::ProjectPoint(FaceWeights& out, const double p[3], const ZoneFace* face, double tolerance) {
  if (!face || !face->GetZone()) {
    for (double& w : out.weight) w = 0.0;
    out.warped = out.inside = 0;
    return false;
  }
  const double* c0 = face->GetGp(0)->position;
  const double* c1 = face->GetGp(1)->position;
  const double* c2 = face->GetGp(2)->position;
  if (face->GpCount() == 3) return ProjectPointTriangle(out, p, c0, c1, c2, tolerance);
  return ProjectPointQuad(out, p, c0, c1, c2, face->GetGp(3)->position, tolerance);
}

bool ZoneFace::ProjectPointQuad(FaceWeights& out, const double p[3], const double c0[3], const double c1[3],
                                const double c2[3], const double c3[3], double tolerance) {
  const double eps = 1e-5 * tolerance;
  Vec3 corner[4] = {V(c0), V(c1), V(c2), V(c3)};
  double s1 = 0.0, s2 = 0.0;
  SplitAreas(corner, &s1, &s2);
  const Vec3 centre = (corner[0] + corner[1] + corner[2] + corner[3]) * 0.25;
  const Vec3 n = CornerNormal(corner, 4);
  // Flatten onto the plane through the centre: corners 0 and 2 of a warped
  // face lie equally far on one side of it, corners 1 and 3 on the other.
  const double h = Dot(n, corner[0]) - Dot(n, centre);
  corner[0] = corner[0] - n * h;
  corner[1] = corner[1] + n * h;
  corner[2] = corner[2] - n * h;
  corner[3] = corner[3] + n * h;
  const Vec3 point = V(p) - n * (Dot(n, V(p)) - Dot(n, centre));
  Vec3 a[4];
  for (int k = 0; k < 4; ++k) a[k] = corner[k] - point;

  out.warped = 0;
  out.inside = 1;
  for (double& w : out.weight) w = 0.0;
  double& miss = g_missValue;

  // First split, along the diagonal 0-2.
  double w1[4], w2[4];
  const double m1 = TriangleCoordinates(corner, a, 0, 1, 2, 0, w1);
  const double m2 = TriangleCoordinates(corner, a, 0, 2, 3, 0, w2);
  if (m1 < 0.0) miss = m1;
  if (m2 < 0.0 && m2 > miss) miss = m2;
  AddWeights(out, m1 <= m2 ? w2 : w1);
  if (m1 < -eps && m2 < -eps) out.inside = 0;

  // Second split, along the diagonal 1-3.
  double w3[4], w4[4];
  const double m3 = TriangleCoordinates(corner, a, 3, 1, 2, 1, w3);
  const double m4 = TriangleCoordinates(corner, a, 3, 0, 1, 0, w4);
  if (m3 < 0.0 && m3 > miss) miss = m3;
  if (m4 < 0.0 && m4 > miss) miss = m4;
  AddWeights(out, m3 <= m4 ? w4 : w3);
  if (m3 < -eps && m4 < -eps) out.inside = 0;

  for (double& w : out.weight) w *= 0.5;
  if (std::fabs(s1 - s2) > 5e-7 * std::fabs(s1 + s2)) out.warped = 1;
  return out.inside != 0;
}

bool ZoneFace::ProjectPointTriangle(FaceWeights& out, const double p[3], const double c0[3], const double c1[3],
                                    const double c2[3], double /*tolerance*/) {
  const Vec3 corner[4] = {V(c0), V(c1), V(c2), Vec3()};
  const Vec3 centre = (corner[0] + corner[1] + corner[2]) * (1.0 / 3.0);
  const Vec3 n = CornerNormal(corner, 3);
  const Vec3 point = V(p) - n * (Dot(n, V(p)) - Dot(n, centre));
  Vec3 a[4];
  for (int k = 0; k < 3; ++k) a[k] = corner[k] - point;
  out.warped = 0;
  out.inside = 1;
  // A face of no area has no coordinates: it gets the sentinel weight and
  // counts as missed.
  const double smallest = TriangleCoordinates(corner, a, 0, 1, 2, 0, out.weight);
  if (smallest < -1e-6) out.inside = 0;
  return out.inside != 0;
}
