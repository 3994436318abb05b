// Where a point lies with respect to a zone: exactly inside, inside within a
// tolerance with the nearest point of an overlay tetrahedron, the grid-point
// weights at a point, and the face through which a segment leaves the zone.
// Particle tracking, structural-element links and the scripting intrinsics
// call these for every node they place, so nothing here allocates.
#include <algorithm>
#include <cmath>

#include "base/except.h"
#include "base/savestream.h"
#include "model/geom_vec.h"
#include "model/grid_point.h"
#include "model/zone.h"

using geom::Cross;
using geom::Dot;
using geom::Norm;
using geom::Store;
using geom::Unit;
using geom::V;

namespace {

bool IsFace(const Zone& zone, int face) { return face >= 0 && face < kZoneFaces && zone.FaceGpCount(face) >= 3; }

Vec3 Corner(const Zone& zone, int face, int k) { return V(zone.GetFaceGp(face, k)->position); }

// The face normal from its diagonals (three corners: from two edges); it
// points out of a zone that keeps the numbering convention.
Vec3 RawFaceNormal(const Zone& zone, int face) {
  const Vec3 p0 = Corner(zone, face, 0), p1 = Corner(zone, face, 1), p2 = Corner(zone, face, 2);
  if (zone.FaceGpCount(face) == 4) return Cross(p2 - p0, p1 - Corner(zone, face, 3));
  return Cross(p2 - p0, p1 - p0);
}

// Whether X lies within the face polygon: on the inner side of every edge,
// seen along the outward normal n.
bool WithinFaceEdges(const Zone& zone, int face, const Vec3& x, const Vec3& n) {
  const int count = zone.FaceGpCount(face);
  Vec3 previous = Corner(zone, face, count - 1);
  for (int i = 0; i < count; ++i) {
    const Vec3 current = Corner(zone, face, i);
    if (Dot(Cross(current - x, previous - x), n) < 0.0) return false;
    previous = current;
  }
  return true;
}

// One attempt of the exit-face search: the faces without marked grid-points
// first, then those with them. Answers the face or -1.
int CrossingFace(const Zone& zone, const Vec3& a, const Vec3& b, const Vec3& d, double exit[3], double normal[3]) {
  for (int pass = 0; pass < 2; ++pass) {
    for (int f = 0; f < kZoneFaces; ++f) {
      if (!IsFace(zone, f) || zone.FaceHasMarkedGp(f) != (pass == 1)) continue;
      const Vec3 n = Unit(RawFaceNormal(zone, f));
      Store(n, normal);
      if (!(Dot(n, d) > 0.01)) continue;
      const double t = Dot(n, Corner(zone, f, 0) - a) / Dot(n, b - a);
      if (t < -0.1 || t > 1.1) continue;
      const Vec3 x = a + (b - a) * t;
      Store(x, exit);
      if (WithinFaceEdges(zone, f, x, n)) return f;
    }
  }
  return -1;
}

// A face parallel to the segment, when A lies in its plane.
int ParallelFace(const Zone& zone, const Vec3& a, const Vec3& d, double exit[3], double normal[3]) {
  for (int pass = 0; pass < 2; ++pass) {
    for (int f = 0; f < kZoneFaces; ++f) {
      if (!IsFace(zone, f) || zone.FaceHasMarkedGp(f) != (pass == 1)) continue;
      const Vec3 n = Unit(RawFaceNormal(zone, f));
      Store(n, normal);
      if (std::fabs(Dot(n, d)) > 0.01) continue;
      const Vec3 p0 = Corner(zone, f, 0);
      if (!Vec3::IsEqual(a, p0) && std::fabs(Dot(n, a - p0)) > 0.01 * zone.MinEdgeLength()) continue;
      Store(a, exit);
      if (WithinFaceEdges(zone, f, a, n)) return f;
    }
  }
  return -1;
}

}  // namespace

// ---------------------------------------------------------------------------
// Faces

bool Zone::FaceNormal(int face, double out[3], bool unit) const {
  if (!IsFace(*this, face)) return false;
  const Vec3 n = RawFaceNormal(*this, face);
  Store(unit ? Unit(n) : n, out);
  return true;
}

// Newell's sum over the closed corner polygon.
bool Zone::FaceNormalArea(int face, double normal[3], double* area) const {
  if (!IsFace(*this, face)) return false;
  const int count = FaceGpCount(face);
  Vec3 n;
  for (int i = 0; i < count; ++i) {
    const Vec3 p = Corner(*this, face, i), q = Corner(*this, face, (i + 1) % count);
    n.x -= (p.y - q.y) * (p.z + q.z);
    n.y -= (p.z - q.z) * (p.x + q.x);
    n.z -= (p.x - q.x) * (p.y + q.y);
  }
  const Vec3 unit = Unit(n);
  Store(unit, normal);
  if (area) *area = std::fabs(0.5 * Dot(n * -1.0, unit));
  return true;
}

// ---------------------------------------------------------------------------
// Points

bool Zone::IsInside(const double p[3]) const {
  const int n = GpCount();
  for (int c = 0; c < 3; ++c) {
    double lo = gp_[0]->position[c], hi = lo;
    for (int i = 1; i < n; ++i) {
      lo = std::min(lo, gp_[i]->position[c]);
      hi = std::max(hi, gp_[i]->position[c]);
    }
    if (p[c] < lo || p[c] > hi) return false;
  }
  const Vec3 point = V(p);
  for (int f = 0; f < kZoneFaces; ++f) {
    if (!IsFace(*this, f)) continue;
    if (Dot(RawFaceNormal(*this, f), point - Corner(*this, f, 0)) > 0.0) return false;
  }
  return true;
}

Zone* FindZoneContaining(const double p[3]) {
  for (Zone* z : ZoneList())
    if (!z->IsNull() && z->IsInside(p)) return z;
  return nullptr;
}

void Zone::CopyFaceCorners(int faceCase, const double* const corners[], int cornerCount, const double* out[]) {
  static constexpr uint8_t kTetraFaces[4][3] = {{1, 2, 3}, {1, 3, 0}, {1, 0, 2}, {0, 3, 2}};
  static constexpr uint8_t kTriangleEdges[3][2] = {{0, 1}, {1, 2}, {2, 0}};
  if (cornerCount == 4 && faceCase >= 0 && faceCase < 4) {
    for (int k = 0; k < 3; ++k) out[k] = corners[kTetraFaces[faceCase][k]];
  } else if (cornerCount == 3 && faceCase >= 0 && faceCase < 3) {
    for (int k = 0; k < 2; ++k) out[k] = corners[kTriangleEdges[faceCase][k]];
  }
}

const double* NearestNonNegativeCorner(const double p[3], const double flags[], const double (*candidates)[3],
                                       int count) {
  const Vec3 point = V(p);
  const double* best = candidates[0];
  double bestDistance = 1e30;
  for (int k = 0; k < count; ++k) {
    if (!(flags[k] > 0.0)) continue;
    const double d = Norm(V(candidates[k]) - point);
    if (d < bestDistance) {
      bestDistance = d;
      best = candidates[k];
    }
  }
  return best;
}

void SegmentNearestPoint(const double a[3], const double b[3], const double p[3], const double q[3], double out[3]) {
  const Vec3 u = Unit(V(b) - V(a));
  const double* nearest = Dot(V(p) - V(a), u) < 0.0 ? a : Dot(V(p) - V(b), u) <= 0.0 ? q : b;
  for (int i = 0; i < 3; ++i) out[i] = nearest[i];
}

void TriangleNearestPoint(const double t0[3], const double t1[3], const double t2[3], const double p[3],
                          const double n[3], double out[3]) {
  const double* const triangle[3] = {t0, t1, t2};
  const Vec3 point = V(p), normal = V(n);
  double flags[3];
  double candidates[3][3];
  bool outside = false;
  for (int k = 0; k < 3; ++k) {
    const double* edge[2];
    Zone::CopyFaceCorners(k, triangle, 3, edge);
    const Vec3 start = V(edge[0]);
    const Vec3 m = Unit(Cross(V(edge[1]) - start, normal));
    flags[k] = Dot(point - start, m);
    Store(point, candidates[k]);
    if (!(flags[k] > 0.0)) continue;
    outside = true;
    double projected[3];
    Store(point - m * flags[k], projected);
    SegmentNearestPoint(edge[0], edge[1], p, projected, candidates[k]);
  }
  const double* nearest = outside ? NearestNonNegativeCorner(p, flags, candidates, 3) : p;
  for (int i = 0; i < 3; ++i) out[i] = nearest[i];
}

bool TetraNearestPoint(const TetraDef& def, const Zone& zone, const double p[3], double tolerance, double out[3]) {
  const double* corner[4];
  Vec3 c[4];
  for (int k = 0; k < 4; ++k) {
    corner[k] = zone.Gp(def.gp[k])->position;
    c[k] = V(corner[k]);
  }
  const Vec3 point = V(p);
  // The faces opposite corners 0, 2, 3 and 1 with their outward unit normals.
  Vec3 normal[4] = {Unit(Cross(c[2] - c[1], c[3] - c[1])), Unit(Cross(c[3] - c[1], c[0] - c[1])),
                    Unit(Cross(c[0] - c[1], c[2] - c[1])), Unit(Cross(c[3] - c[0], c[2] - c[0]))};
  double distance[4] = {Dot(point - c[1], normal[0]), Dot(point - c[1], normal[1]), Dot(point - c[1], normal[2]),
                        Dot(point - c[0], normal[3])};
  bool outside = false;
  for (double d : distance) {
    if (d > tolerance) return false;
    outside = outside || d > 0.0;
  }
  if (!outside) {
    for (int i = 0; i < 3; ++i) out[i] = p[i];
    return true;
  }
  double candidates[4][3];
  for (int f = 0; f < 4; ++f) {
    Store(point, candidates[f]);
    if (!(distance[f] > 0.0)) continue;
    double projected[3], n[3];
    Store(point - normal[f] * distance[f], projected);
    Store(normal[f], n);
    const double* face[3];
    Zone::CopyFaceCorners(f, corner, 4, face);
    TriangleNearestPoint(face[0], face[1], face[2], projected, n, candidates[f]);
  }
  const double* nearest = NearestNonNegativeCorner(p, distance, candidates, 4);
  for (int i = 0; i < 3; ++i) out[i] = nearest[i];
  return true;
}

bool Zone::ContainsPointTol(const double p[3], double relativeTolerance) const {
  double lo[3], hi[3];
  const double tolerance = BoundingBox(lo, hi) * relativeTolerance;
  for (int i = 0; i < 3; ++i)
    if (p[i] < lo[i] - tolerance || p[i] > hi[i] + tolerance) return false;
  const TetraDef* defs = OverlayDefinitions(Type(), 0);
  double nearest[3];
  for (int k = 0; k < TetraPerOverlay(); ++k)
    if (TetraNearestPoint(defs[k], *this, p, tolerance, nearest)) return true;
  return false;
}

Zone* FindZoneAt(const double p[3], bool skipDeleted, double relativeTolerance) {
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 1 && relativeTolerance == 0.0) break;
    const double r = pass == 0 ? 0.0 : relativeTolerance;
    for (Zone* z : ZoneList()) {
      if (z->IsNull() || (skipDeleted && (z->Flags() & Zone::kDeleted))) continue;
      if (z->ContainsPointTol(p, r)) return z;
    }
  }
  return nullptr;
}

void Zone::AddCornerWeights(const TetraDef& def, double weights[kZoneSlots], const double p[3]) const {
  Vec3 c[4];
  for (int k = 0; k < 4; ++k) c[k] = V(Gp(def.gp[k])->position);
  const double volume = geom::SixVolume(c[0], c[1], c[2], c[3]);
  if (!(volume > 0.0)) return;
  const Vec3 point = V(p);
  for (int k = 0; k < 4; ++k) {
    Vec3 t[4] = {c[0], c[1], c[2], c[3]};
    t[k] = point;
    weights[def.gp[k]] += geom::SixVolume(t[0], t[1], t[2], t[3]) / volume;
  }
}

void Zone::GetWeights(ZoneWeights& out, const double p[3], double relativeTolerance) const {
  double lo[3], hi[3];
  const double tolerance = BoundingBox(lo, hi) * relativeTolerance;
  for (double& w : out.weight) w = 0.0;
  int overlays = 0;
  for (int o = 0; o < 2; ++o) {
    const TetraDef* defs = OverlayDefinitions(Type(), o);
    for (int k = 0; k < TetraPerOverlay(); ++k) {
      double nearest[3];
      if (!TetraNearestPoint(defs[k], *this, p, tolerance, nearest)) continue;
      AddCornerWeights(defs[k], out.weight, nearest);
      ++overlays;
      break;
    }
  }
  out.found = overlays > 0 ? 1 : 0;
  if (overlays > 1)
    for (double& w : out.weight) w /= overlays;
}

void ZoneWeights::Save(SaveStream& s) const {
  s.WriteU8(found);
  for (double w : weight) s.WriteF64(w);
}

void ZoneWeights::Restore(SaveStream& s) {
  found = s.ReadU8();
  for (double& w : weight) w = s.ReadF64();
}

// ---------------------------------------------------------------------------
// Segments

bool Zone::ClipSegment(const double a[3], double b[3]) const {
  const Vec3 start = V(a);
  bool clipped = false;
  for (int f = 0; f < kZoneFaces; ++f) {
    if (!IsFace(*this, f)) continue;
    const Vec3 n = Unit(RawFaceNormal(*this, f));
    const Vec3 d = V(b) - start;
    const double nd = Dot(n, d);
    if (nd == 0.0) continue;
    const double t = Dot(n, Corner(*this, f, 0) - start) / nd;
    if (t < 0.0 || t > 1.0) continue;
    Store(start + d * t, b);
    clipped = true;
  }
  return clipped;
}

int GetExitFace(const Zone& zone, const double a0[3], const double b0[3], double exit[3], double normal[3],
                bool parallel) {
  Vec3 a = V(a0), b = V(b0);
  if (Vec3::IsEqual(a, b)) throw QJExcept("Zero length line segment in GetExitFace.");
  double centroid[3];
  zone.Centroid(centroid);
  const Vec3 c = V(centroid);
  int face = -1;
  for (int attempt = 0; attempt < 10 && face < 0; ++attempt) {
    const Vec3 d = Unit(b - a);
    face = CrossingFace(zone, a, b, d, exit, normal);
    if (face < 0 && parallel) face = ParallelFace(zone, a, d, exit, normal);
    if (face >= 0) break;
    // Nothing found: shrink the start toward the centroid, stretch the end away.
    a = c + (a - c) * 0.99;
    b = c + (b - c) * 1.01;
  }
  if (face < 0) return -1;
  // The exit point must lie in the zone; pull it toward the centroid until it does.
  for (int test = 0; test < 10; ++test) {
    if (zone.IsInside(exit)) return face;
    Store(c + (V(exit) - c) * 0.99, exit);
  }
  return -1;
}

// ---------------------------------------------------------------------------
// Particles

ParticleRemover& ParticleListRemover() {
  static ParticleRemover remover = nullptr;
  return remover;
}

ParticleRemover& ParticleZoneLost() {
  static ParticleRemover lost = nullptr;
  return lost;
}

void Zone::RemoveParticle(Particle* particle) {
  if (chemistry) chemistry->MarkParticlesChanged();
  auto it = std::find(particles.begin(), particles.end(), particle);
  if (it == particles.end()) throw QJExcept("Particle not found in zone.");
  particles.erase(it);
  if (chemistry) chemistry->AddParticlesLeft(1);
}

uint32_t Zone::DeleteParticles() {
  // The zone's vector is emptied first, so that a failing removal from the
  // global list leaves no particle the zone still points to.
  std::vector<Particle*> gone;
  gone.swap(particles);
  const uint32_t count = static_cast<uint32_t>(gone.size());
  if (chemistry) chemistry->AddParticlesLeft(count);
  if (ParticleRemover remove = ParticleListRemover())
    for (Particle* p : gone) remove(p);
  return count;
}
