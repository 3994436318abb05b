// GENERATE ZONE BODY: every shown block of the working solid becomes the
// primitive of its form, placed by the block's grid and merged with the grid
// that is there as any GENERATE ZONE primitive is.
#include "base/except.h"
#include "base/message.h"
#include "generate/body/body.h"
#include "generate/primitive.h"
#include "model/group.h"

namespace {

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
    primitive.Generate(interp);
  }
  body.SetCurrentCell(0);
}
