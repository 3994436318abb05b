// Ready-made arrangements of cells: blocks round the corner of a box or a
// quarter-circle opening, a quarter cylinder and a cylindrical shell, and the
// seven-brick intersection of two openings. The user reshapes them later
// through their vertices and dimension values.
#include "generate/body/solid.h"

namespace {

// A cell whose ratio entries carry the same numbers as its size entries.
void TemplateCell(Solid& solid, int32_t cell, int32_t form, const int32_t (&vertices)[8], int32_t s1, int32_t s2,
                  int32_t s3) {
  solid.setcell(cell, form, vertices, s1, s2, s3, s1, s2, s3);
}

void ArcEdge(Solid& solid, int32_t a, int32_t b, int32_t centre, int32_t axis = -1) {
  solid.SetEdgeCentreAxis(solid.FindEdge(a, b), centre, axis);
}

void UnitCubeCorners(Solid& solid) {
  for (int32_t v = 0; v < 8; ++v) {
    solid.SetVertex(v, kSolidCellCorner[v][0], kSolidCellCorner[v][1], kSolidCellCorner[v][2]);
  }
}

void SetDims(Solid& solid, int32_t from, int32_t to, double value) {
  for (int32_t d = from; d <= to; ++d) solid.SetDim(d, value);
}

}  // namespace

void Solid::MakeCylinder() {
  TemplateCell(*this, 1, kFormWedge2, {0, 1, 2, 0, 4, 2, 3, 5}, 1, 2, 3);
  ArcEdge(*this, 1, 3, 0);
  ArcEdge(*this, 4, 5, 2);
}

void Solid::MakeRadTunnel() {
  Clear();
  TemplateCell(*this, 1, kFormBrick, {0, 8, 2, 9, 10, 11, 12, 13}, 1, 2, 3);
  TemplateCell(*this, 2, kFormBrick, {8, 1, 10, 12, 4, 13, 6, 7}, 4, 2, 3);
  TemplateCell(*this, 3, kFormBrick, {9, 12, 11, 3, 13, 5, 6, 7}, 1, 2, 4);
  SetVertex(1, 2, 0, 0);
  SetVertex(3, 0, 0, 2);
  SetVertex(4, 2, 1, 0);
  SetVertex(5, 0, 1, 2);
  SetVertex(6, 2, 0, 2);
  SetVertex(7, 2, 1, 2);
  SetVertex(0, 0, 0, 0);
  SetVertex(2, 0, 1, 0);
  SetDims(*this, 1, 4, 0.2);
  FixLine(8, 0, 1, 1);
  FixLine(9, 0, 3, 2);
  FixLine(10, 2, 4, 3);
  FixLine(11, 2, 5, 4);
  FixPlane(12, 0, 1, 3, 1, 2);
  FixPlane(13, 2, 4, 5, 3, 4);
}

void Solid::MakeRadBrick() {
  Clear();
  TemplateCell(*this, 1, kFormBrick, {0, 8, 9, 10, 11, 12, 13, 14}, 1, 2, 3);
  TemplateCell(*this, 2, kFormBrick, {8, 1, 11, 13, 4, 14, 6, 7}, 4, 2, 3);
  TemplateCell(*this, 3, kFormBrick, {10, 13, 12, 3, 14, 5, 6, 7}, 1, 2, 4);
  TemplateCell(*this, 4, kFormBrick, {9, 11, 2, 12, 4, 5, 14, 7}, 1, 4, 3);
  SetVertex(1, 2, 0, 0);
  SetVertex(2, 0, 2, 0);
  SetVertex(3, 0, 0, 2);
  SetVertex(4, 2, 2, 0);
  SetVertex(5, 0, 2, 2);
  SetVertex(6, 2, 0, 2);
  SetVertex(7, 2, 2, 2);
  SetVertex(0, 0, 0, 0);
  SetDims(*this, 1, 3, 0.2);
  FixLine(8, 0, 1, 1);
  FixLine(9, 0, 2, 2);
  FixLine(10, 0, 3, 3);
  FixPlane(11, 0, 1, 2, 1, 2);
  FixPlane(12, 0, 2, 3, 2, 3);
  FixPlane(13, 0, 1, 3, 1, 3);
  FixSpace(14, 0, 1, 2, 3, 1, 2, 3);
}

void Solid::MakeRadCylinder() {
  Clear();
  TemplateCell(*this, 1, kFormWedge2, {0, 8, 2, 0, 10, 2, 12, 13}, 1, 2, 4);
  TemplateCell(*this, 2, kFormWedge2, {0, 12, 2, 0, 13, 2, 9, 11}, 1, 2, 5);
  TemplateCell(*this, 3, kFormBrick, {8, 1, 10, 12, 4, 13, 6, 7}, 3, 2, 4);
  TemplateCell(*this, 4, kFormBrick, {12, 6, 13, 9, 7, 11, 3, 5}, 3, 2, 5);
  UnitCubeCorners(*this);
  SetVertex(12, 0.35, 0, 0.35);
  SetVertex(13, 0.35, 1, 0.35);
  SetDims(*this, 1, 4, 0.2);
  SetDims(*this, 5, 6, 0.5);
  FixLine(8, 0, 1, 1);
  FixLine(9, 0, 3, 2);
  FixLine(10, 2, 4, 3);
  FixLine(11, 2, 5, 4);
  FixArc(12, 0, 8, 9, 3, 5);
  FixArc(13, 2, 10, 11, 3, 6);
  ArcEdge(*this, 8, 12, 0, 3);
  ArcEdge(*this, 12, 9, 0, 3);
  ArcEdge(*this, 10, 13, 2, 3);
  ArcEdge(*this, 13, 11, 2, 3);
}

void Solid::MakeCShell() {
  Clear();
  TemplateCell(*this, 1, kFormWedge2, {0, 6, 2, 0, 8, 2, 7, 9}, 4, 2, 3);
  TemplateCell(*this, 2, kFormBrick, {6, 1, 8, 7, 4, 9, 3, 5}, 1, 2, 3);
  ArcEdge(*this, 6, 7, 0);
  ArcEdge(*this, 1, 3, 0);
  ArcEdge(*this, 8, 9, 2);
  ArcEdge(*this, 4, 5, 2);
  SetVertex(0, 0, 0, 0);
  SetVertex(1, 1, 0, 0);
  SetVertex(2, 0, 1, 0);
  SetVertex(3, 0, 0, 1);
  SetVertex(4, 1, 1, 0);
  SetVertex(5, 0, 1, 1);
  SetDims(*this, 1, 4, 0.2);
  FixLine(6, 0, 1, 1);
  FixLine(7, 0, 3, 2);
  FixLine(8, 2, 4, 3);
  FixLine(9, 2, 5, 4);
}

void Solid::MakeTunInt() {
  Clear();
  TemplateCell(*this, 1, kFormBrick, {0, 1, 8, 9, 14, 10, 15, 16}, 1, 3, 4);
  TemplateCell(*this, 2, kFormBrick, {9, 15, 10, 3, 16, 20, 6, 21}, 1, 3, 5);
  TemplateCell(*this, 3, kFormBrick, {8, 14, 17, 10, 18, 20, 16, 21}, 1, 5, 4);
  TemplateCell(*this, 4, kFormBrick, {0, 8, 2, 9, 11, 12, 10, 13}, 3, 2, 4);
  TemplateCell(*this, 5, kFormBrick, {9, 10, 12, 3, 13, 5, 20, 22}, 3, 2, 5);
  TemplateCell(*this, 6, kFormBrick, {8, 17, 11, 10, 19, 13, 20, 22}, 5, 2, 4);
  TemplateCell(*this, 7, kFormBrick, {17, 18, 19, 20, 4, 22, 21, 7}, 1, 2, 4);
  UnitCubeCorners(*this);
  SetDims(*this, 1, 7, 0.2);
  SetDim(8, 0.5);
  SetDim(9, 0.75);
  FixPlane(8, 0, 1, 2, 1, 2);
  FixLine(9, 0, 3, 3);
  FixSpace(10, 0, 1, 2, 3, 1, 2, 3);
  FixLine(11, 2, 4, 4);
  FixLine(12, 2, 5, 5);
  FixPlane(13, 2, 4, 5, 4, 5);
  FixLine(14, 1, 4, 6);
  FixLine(15, 1, 6, 7);
  FixPlane(16, 1, 4, 6, 6, 7);
  FixPlane(17, 8, 14, 11, 8, 8);
  FixLine(18, 14, 4, 8);
  FixLine(19, 11, 4, 8);
  FixPlane(20, 3, 6, 5, 9, 9);
  FixLine(21, 6, 7, 9);
  FixLine(22, 5, 7, 9);
}

void Solid::MakeCylInt() {
  MakeTunInt();
  ArcEdge(*this, 8, 10, 0);
  ArcEdge(*this, 9, 10, 0);
  ArcEdge(*this, 14, 16, 1);
  ArcEdge(*this, 15, 16, 1);
  ArcEdge(*this, 11, 13, 2);
  ArcEdge(*this, 12, 13, 2);
  FixArc(10, 0, 8, 9, -1, 8);
  FixArc(16, 1, 14, 15, -1, 8);
  FixArc(13, 2, 11, 12, -1, 8);
}
