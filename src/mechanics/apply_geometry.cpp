// Face triangles, boundary faces and the spreading of body forces and face
// stresses to the grid-points.
#include "mechanics/apply_geometry.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "base/numeric.h"
#include "model/grid_point.h"
#include "model/zone.h"

namespace {

struct TriangleTable {
  FaceTriangleSet set[kZoneTypes][kZoneFaces][2];
};

// The triangles of each overlay that lie on each face: the faces of the
// overlay tetrahedra whose three corners are corners of the zone face. The
// corners run in face order (normal into the zone) and are then turned round.
constexpr TriangleTable BuildTriangleTable() {
  TriangleTable table{};
  for (int type = 0; type < kZoneTypes; ++type) {
    for (int face = 0; face < kZoneFaces; ++face) {
      const int n = zone_tables::kFaceCount[type][face];
      if (n < 3) continue;
      const uint8_t* corners = zone_tables::kFaceGp[type][face];
      for (int o = 0; o < 2; ++o) {
        FaceTriangleSet& set = table.set[type][face][o];
        for (int k = 0; k < zone_tables::kTetraPerOverlay[type]; ++k) {
          const TetraDef& def = zone_tables::kOverlayTable[type][o][k];
          for (int omit = 0; omit < 4; ++omit) {
            int position[3] = {0, 0, 0};
            uint8_t slot[3] = {0, 0, 0};
            int found = 0;
            for (int c = 0; c < 4; ++c) {
              if (c == omit) continue;
              for (int p = 0; p < n; ++p) {
                if (corners[p] != def.gp[c]) continue;
                position[found] = p;
                slot[found] = def.gp[c];
                ++found;
                break;
              }
            }
            if (found != 3 || set.count >= 2) continue;
            // Sort by the place on the face, then reverse the turn.
            for (int i = 0; i < 3; ++i)
              for (int j = i + 1; j < 3; ++j)
                if (position[j] < position[i]) {
                  int tp = position[i];
                  position[i] = position[j];
                  position[j] = tp;
                  uint8_t ts = slot[i];
                  slot[i] = slot[j];
                  slot[j] = ts;
                }
            set.corner[set.count][0] = slot[0];
            set.corner[set.count][1] = slot[2];
            set.corner[set.count][2] = slot[1];
            ++set.count;
          }
        }
      }
    }
  }
  return table;
}

constexpr TriangleTable kTriangles = BuildTriangleTable();

// The weight of a triangle's half cross product: the overlays present share the face.
double OverlayWeight(const Zone& zone) { return zone.OverlayCount() == 2 ? 0.5 : 1.0; }

void AddForce(GridPoint& gp, int slot, const double f[3]) {
  double* target = gp.appliedForce[slot];
  target[0] += f[0];
  target[1] += f[1];
  target[2] += f[2];
}

}  // namespace

const FaceTriangleSet& FaceTriangles(int type, int face, int overlay) { return kTriangles.set[type][face][overlay]; }

void TriangleAreaVector(const Zone& zone, const uint8_t corner[3], double out[3]) {
  const double* a = zone.Gp(corner[0])->position;
  const double* b = zone.Gp(corner[1])->position;
  const double* c = zone.Gp(corner[2])->position;
  const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
  const double v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
  out[0] = 0.5 * (u[1] * v[2] - u[2] * v[1]);
  out[1] = 0.5 * (u[2] * v[0] - u[0] * v[2]);
  out[2] = 0.5 * (u[0] * v[1] - u[1] * v[0]);
}

void AxesRowsFromNormal(const double normal[3], double axes[3][3]) {
  Vec3 a[3];
  AxesFromNormal(Vec3{normal[0], normal[1], normal[2]}, a);
  for (int i = 0; i < 3; ++i) {
    axes[i][0] = a[i].x;
    axes[i][1] = a[i].y;
    axes[i][2] = a[i].z;
  }
}

bool IsBoundaryFace(const Zone& zone, int face) {
  if (zone.FaceGpCount(face) < 3) return false;
  const Zone* n = zone.Neighbour(face);
  return !n || n->IsNull();
}

// ---------------------------------------------------------------------------
// BoundaryIndex

void BoundaryIndex::Build() {
  entries_.clear();
  for (Zone* z : ZoneList()) {
    if (z->IsNull()) continue;
    for (int f = 0; f < kZoneFaces; ++f) {
      if (!IsBoundaryFace(*z, f)) continue;
      const int n = z->FaceGpCount(f);
      for (int c = 0; c < n; ++c) entries_.push_back({z->GetFaceGp(f, c), z, static_cast<uint8_t>(f)});
    }
  }
  std::stable_sort(entries_.begin(), entries_.end(),
                   [](const Entry& a, const Entry& b) { return std::less<const GridPoint*>()(a.gp, b.gp); });
  points_.clear();
  for (const Entry& e : entries_)
    if (points_.empty() || points_.back() != e.gp) points_.push_back(e.gp);
  built_ = true;
}

bool BoundaryIndex::IsBoundary(const GridPoint* gp) const {
  return std::binary_search(points_.begin(), points_.end(), gp, std::less<const GridPoint*>());
}

void BoundaryIndex::Normal(const GridPoint* gp, double out[3]) const {
  out[0] = out[1] = out[2] = 0.0;
  auto it = std::lower_bound(entries_.begin(), entries_.end(), gp,
                             [](const Entry& e, const GridPoint* g) { return std::less<const GridPoint*>()(e.gp, g); });
  int count = 0;
  for (; it != entries_.end() && it->gp == gp; ++it) {
    for (int o = 0; o < 2; ++o) {
      const FaceTriangleSet& set = FaceTriangles(it->zone->Type(), it->face, o);
      for (int t = 0; t < set.count; ++t) {
        double a[3];
        TriangleAreaVector(*it->zone, set.corner[t], a);
        for (int i = 0; i < 3; ++i) out[i] += a[i];
        ++count;
      }
    }
  }
  if (count == 0) return;
  for (int i = 0; i < 3; ++i) out[i] /= count;
  const double length = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2]);
  if (length != 0.0)
    for (int i = 0; i < 3; ++i) out[i] /= length;
}

// ---------------------------------------------------------------------------
// Forces

void SpreadBodyForce(Zone& zone, const double force[3], int slot) {
  const int overlays = zone.OverlayCount();
  if (overlays == 0) return;
  const double weight = overlays == 2 ? 0.125 : 0.25;
  const int per = zone.TetraPerOverlay();
  for (int o = 0; o < 2; ++o) {
    const ZoneTetra* block = zone.Tetra(o);
    if (!block) continue;
    const TetraDef* defs = OverlayDefinitions(zone.Type(), o);
    for (int k = 0; k < per; ++k) {
      const double share = block[k].volume * weight;
      const double f[3] = {force[0] * share, force[1] * share, force[2] * share};
      for (int c = 0; c < 4; ++c) AddForce(*zone.Gp(defs[k].gp[c]), slot, f);
    }
  }
}

void ApplyFaceStress(Zone& zone, int face, int component, double base, const double gradient[3], int slot) {
  if (zone.OverlayCount() == 0) return;
  double centroid[3];
  ZoneFace(&zone, face).Centroid(centroid);
  const double stress = base + gradient[0] * centroid[0] + gradient[1] * centroid[1] + gradient[2] * centroid[2];
  const double third = stress / 3.0;
  const double weight = OverlayWeight(zone);
  for (int o = 0; o < 2; ++o) {
    if (!zone.Tetra(o)) continue;
    const FaceTriangleSet& set = FaceTriangles(zone.Type(), face, o);
    for (int t = 0; t < set.count; ++t) {
      double a[3];
      TriangleAreaVector(zone, set.corner[t], a);
      const double ax = a[0] * weight * third, ay = a[1] * weight * third, az = a[2] * weight * third;
      double f[3] = {0, 0, 0};
      switch (component) {
        case 1:
          f[0] = ax;
          break;
        case 2:
          f[1] = ay;
          break;
        case 3:
          f[2] = az;
          break;
        case 4:
          f[0] = ay;
          f[1] = ax;
          break;
        case 5:
          f[1] = az;
          f[2] = ay;
          break;
        case 6:
          f[0] = az;
          f[2] = ax;
          break;
        default:
          return;
      }
      for (int c = 0; c < 3; ++c) AddForce(*zone.Gp(set.corner[t][c]), slot, f);
    }
  }
}

void ApplyLocalFaceStress(Zone& zone, int face, int direction, double amount, const double gradient[3], int slot) {
  if (zone.OverlayCount() == 0 || direction < 1 || direction > 3) return;
  double sum[3] = {0, 0, 0};
  int valid = 0;
  for (int o = 0; o < 2; ++o) {
    if (!zone.Tetra(o)) continue;
    const FaceTriangleSet& set = FaceTriangles(zone.Type(), face, o);
    for (int t = 0; t < set.count; ++t) {
      double a[3];
      TriangleAreaVector(zone, set.corner[t], a);
      if (a[0] == 0.0 && a[1] == 0.0 && a[2] == 0.0) continue;
      for (int i = 0; i < 3; ++i) sum[i] += a[i];
      ++valid;
    }
  }
  if (valid == 0) return;
  const double length = std::sqrt(sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]);
  if (!(length > 0.0)) return;
  Vec3 axes[3];
  AxesFromNormal(Vec3{sum[0] / length, sum[1] / length, sum[2] / length}, axes);
  // The one local component (i, 3) and its mirror, turned into global axes.
  const Vec3& e = axes[direction - 1];
  const Vec3& n = axes[2];
  const double p[3] = {e.x, e.y, e.z};
  const double q[3] = {n.x, n.y, n.z};
  auto global = [&](int a, int b) { return direction == 3 ? p[a] * q[b] : p[a] * q[b] + q[a] * p[b]; };
  static const int kPair[6][2] = {{0, 0}, {1, 1}, {2, 2}, {0, 1}, {1, 2}, {2, 0}};
  for (int c = 0; c < 6; ++c) {
    const double factor = global(kPair[c][0], kPair[c][1]);
    if (factor == 0.0) continue;
    const double g[3] = {gradient[0] * factor, gradient[1] * factor, gradient[2] * factor};
    ApplyFaceStress(zone, face, c + 1, amount * factor, g, slot);
  }
}
