// Queries on a GENERATE volume: whether a position lies inside, and the
// point of its surface closest to a position.
#include <algorithm>
#include <cmath>
#include <vector>

#include "generate/gen_geometry.h"
#include "generate/gen_math.h"

namespace {
constexpr double kLargest = 1.7976931348623157e308;

struct Hit {
  Vec3 at;
  double distance;  // from the origin
};

// Whether Q, a point of the triangle's plane, lies in the triangle: on the
// line of an edge or at a corner counts as in.
bool RayHitsTriangle(const GenTriangle* t, const Vec3& q) {
  Vec3 c[3];
  for (int i = 0; i < 3; ++i) {
    c[i] = Vec3::Cross(GenUnit(q - t->Point(i)->Position()), t->Edge(i));
    if (GenLength(c[i]) < 1e-6) return true;
  }
  return Vec3::Dot(c[0], c[1]) >= 0.0 && Vec3::Dot(c[2], c[0]) >= 0.0 && Vec3::Dot(c[2], c[1]) >= 0.0;
}

// The number of distinct crossings of the ray from p along +axis with the
// volume's surface. A hit closer to a kept hit than 1e-6 times its own
// distance from the origin is the same crossing (a ray through a shared edge
// or corner meets two or more triangles there).
int CountCrossings(const GenVolume* v, const double p[3], int axis, std::vector<Hit>& hits) {
  const int b = (axis + 1) % 3;
  const int c = (axis + 2) % 3;
  hits.clear();
  for (const GenTriangle* t = v->First(); t; t = t->Next()) {
    const Vec3& n = t->Normal();
    const double na = n.Component(axis);
    if (std::fabs(na) < 1e-6) continue;
    const Vec3& lo = t->BoxMin();
    const Vec3& hi = t->BoxMax();
    if (p[b] < lo.Component(b) || p[b] > hi.Component(b)) continue;
    if (p[c] < lo.Component(c) || p[c] > hi.Component(c)) continue;
    const double h = (t->PlaneConstant() - n.Component(b) * p[b] - n.Component(c) * p[c]) / na;
    if (p[axis] - h > 1e-6 * std::max(h, p[axis])) continue;
    if (h < lo.Component(axis) || h > hi.Component(axis)) continue;
    Vec3 q;
    q.Component(axis) = h;
    q.Component(b) = p[b];
    q.Component(c) = p[c];
    if (RayHitsTriangle(t, q)) hits.push_back({q, GenLength(q)});
  }
  int distinct = 0;
  for (size_t i = 0; i < hits.size(); ++i) {
    const double tolerance = 1e-6 * hits[i].distance;
    bool repeated = false;
    for (size_t k = 0; k < i && !repeated; ++k) {
      if (hits[k].distance < 0) continue;  // dropped
      repeated = GenLength(hits[i].at - hits[k].at) < tolerance;
    }
    if (repeated) hits[i].distance = -1.0;
    else ++distinct;
  }
  return distinct;
}

// Q in T's plane lies in T, boundary included.
bool PointInTriangle(const GenTriangle* t, const Vec3& q) {
  Vec3 k[3];
  for (int i = 0; i < 3; ++i) {
    const Vec3& a = t->Point(i)->Position();
    const Vec3& b = t->Point((i + 1) % 3)->Position();
    k[i] = Vec3::Cross(b - a, q - a);
  }
  return Vec3::Dot(k[0], k[1]) >= 0.0 && Vec3::Dot(k[0], k[2]) >= 0.0 && Vec3::Dot(k[1], k[2]) >= 0.0;
}

// The foot of the perpendicular from p on the segment a-b, when it falls on
// the segment.
bool EdgeFoot(const Vec3& a, const Vec3& b, const Vec3& p, Vec3* foot) {
  const double length = GenLength(a - b);
  const double t = std::max(std::fabs(1e-14 * (std::fabs(b.x) + std::fabs(b.y) + std::fabs(b.z))), 1e-14);
  if (length < t) return false;
  const Vec3 u = (a - b) * (1.0 / length);
  const double da = Vec3::Dot(u, a) - Vec3::Dot(u, p);
  const double db = Vec3::Dot(u, b) - Vec3::Dot(u, p);
  if (da * db > 0.0) return false;
  *foot = a + (b - a) * (std::fabs(da) / (std::fabs(da) + std::fabs(db)));
  return true;
}
}  // namespace

bool GenVolume::Contains(const GenVolume* volume, const double p[3]) {
  if (!volume) return false;
  for (int a = 0; a < 3; ++a)
    if (p[a] < volume->min_.Component(a) || p[a] > volume->max_.Component(a)) return false;
  // One scratch list serves every query; the queries never nest.
  static std::vector<Hit> hits;
  const bool insideX = CountCrossings(volume, p, 0, hits) % 2 == 1;
  const bool insideY = CountCrossings(volume, p, 1, hits) % 2 == 1;
  if (insideX == insideY) return insideX;
  return CountCrossings(volume, p, 2, hits) % 2 == 1;
}

Vec3 GenVolume::Closest(const Vec3& p, GenTriangle** remembered) const {
  GenTriangle* known = remembered ? *remembered : nullptr;
  if (known) {
    const double s = Vec3::Dot(known->Normal(), p) - known->PlaneConstant();
    const Vec3 q = p - known->Normal() * s;
    if (PointInTriangle(known, q)) return q;
  }
  double best = kLargest;
  Vec3 result = p;
  GenTriangle* found = nullptr;
  auto take = [&](const Vec3& q, double distance, GenTriangle* t) {
    best = distance;
    result = q;
    found = t;
  };
  for (GenTriangle* t = first_; t; t = t->Next()) {
    const double s = Vec3::Dot(t->Normal(), p) - t->PlaneConstant();
    if (!(std::fabs(s) <= best)) continue;
    const Vec3 q = p - t->Normal() * s;
    if (PointInTriangle(t, q)) {
      take(q, std::fabs(s), t);
      continue;
    }
    for (int i = 0; i < 3; ++i) {
      Vec3 foot;
      if (!EdgeFoot(t->Point(i)->Position(), t->Point((i + 1) % 3)->Position(), p, &foot)) continue;
      const double distance = GenLength(foot - p);
      if (distance < best) take(foot, distance, t);
    }
    for (int i = 0; i < 3; ++i) {
      const Vec3& corner = t->Point(i)->Position();
      const double distance = GenLength(corner - p);
      if (distance < best) take(corner, distance, t);
    }
  }
  if (remembered) *remembered = found;
  return result;
}
