// GENERATE ZONE BODY: every shown block of the working solid becomes the
// primitive of its form, placed by the block's grid and merged with the grid
// that is there as any GENERATE ZONE primitive is.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "base/except.h"
#include "base/message.h"
#include "generate/body/body.h"
#include "generate/primitive.h"
#include "model/grid.h"
#include "model/group.h"

namespace {

// An axis-aligned box; empty until a point is added.
struct Box {
  Vec3 lo{std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(),
          std::numeric_limits<double>::infinity()};
  Vec3 hi{-std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
          -std::numeric_limits<double>::infinity()};

  void Add(const Vec3& p) {
    lo = MinVect3(lo, p);
    hi = MaxVect3(hi, p);
  }
  void Add(const Box& b) {
    lo = MinVect3(lo, b.lo);
    hi = MaxVect3(hi, b.hi);
  }
  bool Overlaps(const Box& b) const {
    return lo.x <= b.hi.x && b.lo.x <= hi.x && lo.y <= b.hi.y && b.lo.y <= hi.y && lo.z <= b.hi.z && b.lo.z <= hi.z;
  }
};

// Zones that may have free faces, with their boxes: those of the grid before
// the command, or those of one block. The box of the set covers them all.
struct ZoneSet {
  Box box;
  std::vector<Zone*> zones;
  std::vector<Box> boxes;

  void Take(Zone* z) {
    bool free = false;
    for (int f = 0; f < kZoneFaces && !free; ++f) free = !z->Neighbour(f);
    if (!free) return;
    Box b;
    for (int c = 0; c < ZoneGpCount(z->Type()); ++c) {
      const double* p = z->Gp(c)->position;
      b.Add(Vec3{p[0], p[1], p[2]});
    }
    box.Add(b);
    zones.push_back(z);
    boxes.push_back(b);
  }
};

// The box of the nodes on the surface of a block, the only ones that merge,
// widened well past the merge reach.
Box SurfaceBox(const Body& body, int32_t c, const int32_t n[3]) {
  Box box;
  for (int32_t k = 0; k <= n[2]; ++k)
    for (int32_t j = 0; j <= n[1]; ++j) {
      const bool side = k == 0 || k == n[2] || j == 0 || j == n[1];
      for (int32_t i = 0; i <= n[0]; i += side || n[0] == 0 ? 1 : n[0]) box.Add(body.CellGrid(c, i, j, k));
    }
  const double scale = std::max({std::fabs(box.lo.x), std::fabs(box.lo.y), std::fabs(box.lo.z), std::fabs(box.hi.x),
                                 std::fabs(box.hi.y), std::fabs(box.hi.z)});
  const double reach = 1e-5 * (1.0 + 3.0 * scale);
  box.lo = box.lo - Vec3{reach, reach, reach};
  box.hi = box.hi + Vec3{reach, reach, reach};
  return box;
}

// The primitive of each form: brick, dbrick, wedge, wedge2, pyramid, tetra.
constexpr int32_t kFormPrimitive[] = {kPrimBrick,    kPrimDBrick,  kPrimWedge,
                                      kPrimCylinder, kPrimPyramid, kPrimTetrahedron};

}  // namespace

void CheckBodyCellMeshable(const Solid& solid, int32_t c) {
  const SolidCell& cell = solid.Cell(c);
  if (cell.form < kFormBrick || cell.form > kFormTetra)
    throw QJExcept(MessageText("Block %s: %s blocks cannot be generated", IntToString(c),
                               SolidFormName(cell.form) ? SolidFormName(cell.form) : "unformed"));
  // The grid of a block runs the same number of zones along every edge of
  // one direction.
  for (int32_t direction = 1; direction <= 3; ++direction) {
    int32_t first = -1;
    for (int32_t local = direction; local <= 12; local += 3) {
      const SolidEdge& edge = solid.Edge(cell.Edge(local));
      const int32_t count =
          edge.size >= 1 && edge.size <= kSolidSizes && solid.Size(edge.size).defined ? solid.Size(edge.size).value : 0;
      if (first < 0)
        first = count;
      else if (count != first)
        throw QJExcept(MessageText("Block %s: edges of one direction have different sizes", IntToString(c)));
    }
  }
}

void GenerateBodyZones(CommandType& interp) {
  Body& body = TheBody();
  const Solid& solid = body.Working();
  // Nothing is made unless every block can be.
  for (int32_t c = 1; c <= solid.CellCount(); ++c) {
    const SolidCell& cell = solid.Cell(c);
    if (cell.defined && cell.shown) CheckBodyCellMeshable(solid, c);
  }
  // Meshing a block leaves the solid as it is: one refresh serves them all.
  body.Refresh();
  // A block merges only with zones near it: each generation walks the free
  // faces of those, in list order, instead of the whole grid's.
  std::vector<ZoneSet> sets(1);
  for (Zone* z : ZoneList()) sets[0].Take(z);
  std::vector<Zone*> near;
  for (int32_t c = 1; c <= solid.CellCount(); ++c) {
    const SolidCell& cell = solid.Cell(c);
    if (!cell.defined || !cell.shown) continue;
    MeshPrimitive primitive(kFormPrimitive[cell.form]);
    primitive.group = FindOrCreateGroup(String("block") + IntToString(c));
    body.SetCurrentCell(c);
    for (int32_t q = 0; q < 8; ++q) {
      primitive.point[q] = solid.VertexPosition(cell.Vertex(q));
      primitive.given[q] = true;
    }
    int32_t n[3];
    body.CellSizes(c, n);
    for (int32_t m = 0; m < 3; ++m) {
      primitive.size[m] = n[m];
      const SolidEdge& edge = solid.Edge(cell.Edge(m + 1));
      if (edge.ratio >= 1 && edge.ratio <= kSolidRatios && solid.Ratio(edge.ratio).defined)
        primitive.ratio[m] = solid.Ratio(edge.ratio).value;
    }
    primitive.positionFunction = [&body, c](int i, int j, int k) { return body.CellGrid(c, i, j, k); };
    const Box box = SurfaceBox(body, c, n);
    near.clear();
    for (const ZoneSet& set : sets) {
      if (!set.box.Overlaps(box)) continue;
      for (size_t z = 0; z < set.zones.size(); ++z)
        if (set.boxes[z].Overlaps(box)) near.push_back(set.zones[z]);
    }
    primitive.boundaryZones = &near;
    Zone* last = ZoneList().Tail();
    primitive.Generate(interp);
    sets.emplace_back();
    for (Zone* z = last ? ZoneList().Next(last) : ZoneList().Head(); z; z = ZoneList().Next(z)) sets.back().Take(z);
  }
  body.SetCurrentCell(0);
}
