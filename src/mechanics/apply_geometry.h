// The geometry that apply conditions work with: the triangles into which the
// two tetrahedral overlays split each zone face, the boundary faces of the
// grid with an index from grid-points to the faces around them, and the
// spreading of body forces and face stresses to grid-point forces.
#pragma once

#include <cstdint>
#include <vector>

class GridPoint;
class Range;
class Zone;

// The triangles of one overlay on one face: one on a face of three corners,
// two on a face of four; corners are local grid-point slots, ordered so that
// the right-hand normal points out of the zone.
struct FaceTriangleSet {
  uint8_t count;
  uint8_t corner[2][3];
};
const FaceTriangleSet& FaceTriangles(int type, int face, int overlay);

// Half the cross product of a triangle of the zone: its area times its
// outward unit normal.
void TriangleAreaVector(const Zone& zone, const uint8_t corner[3], double out[3]);

// The three axes that AxesFromNormal builds on the normal (dip, strike,
// normal), as the rows of a matrix.
void AxesRowsFromNormal(const double normal[3], double axes[3][3]);

// A face of three or more corners of a non-null zone without a neighbour, or
// whose neighbour is a null zone.
bool IsBoundaryFace(const Zone& zone, int face);
// Calls add(zone, face) for every boundary face whose centroid lies in the
// range, in zone list order and face order.
template <class Add>
void ForEachBoundaryFace(const Range& range, Add&& add);

// The boundary faces around each grid-point, built once per command from the
// zones (time and memory in the number of boundary faces).
class BoundaryIndex {
 public:
  void Build();
  bool Built() const { return built_; }
  bool IsBoundary(const GridPoint* gp) const;
  // The unit mean of the area vectors of the boundary-face triangles around
  // the grid-point; zero when it lies on no boundary face.
  void Normal(const GridPoint* gp, double out[3]) const;

 private:
  struct Entry {
    const GridPoint* gp;
    Zone* zone;
    uint8_t face;
  };
  std::vector<Entry> entries_;            // grouped by grid-point, zone list order within a group
  std::vector<const GridPoint*> points_;  // the boundary grid-points, sorted
  bool built_ = false;
};

// Force slots of a grid-point: 0 the applied force, 1 the per-step applied force.
// Spreads a body force per unit volume over the zone's overlay tetrahedra.
void SpreadBodyForce(Zone& zone, const double force[3], int slot);
// A global stress component (1-6: xx, yy, zz, xy, yz, zx) of base + gradient
// . centroid on a zone face, as forces on the face's corners.
void ApplyFaceStress(Zone& zone, int face, int component, double base, const double gradient[3], int slot);
// A stress in the face's own axes (direction 1 dip, 2 strike, 3 normal).
void ApplyLocalFaceStress(Zone& zone, int face, int direction, double amount, const double gradient[3], int slot);

// ---------------------------------------------------------------------------

#include "base/range.h"
#include "model/zone.h"

template <class Add>
void ForEachBoundaryFace(const Range& range, Add&& add) {
  const bool everything = range.ElementCount() == 0;
  for (Zone* z : ZoneList()) {
    if (z->IsNull()) continue;
    for (int f = 0; f < kZoneFaces; ++f) {
      if (!IsBoundaryFace(*z, f)) continue;
      if (!everything) {
        ZoneFace ref(z, f);
        double c[3];
        ref.Centroid(c);
        if (!range.IsInAt(c, &ref)) continue;
      }
      add(z, f);
    }
  }
}
