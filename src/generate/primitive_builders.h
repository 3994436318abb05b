// The builders behind MeshPrimitive::Generate: the cell-by-cell generation,
// the decomposition of the radial primitives into pieces and the uniform
// wedge.
#pragma once

#include <vector>

#include "generate/primitive.h"

class CommandType;

// Makes the primitive's n1 x n2 x n3 cells plane by plane, then gives the
// cells along its collapsed parts their zone types and re-applies the
// groups. Sizes below 1 make nothing.
void GenerateCells(const MeshPrimitive& primitive, CommandType& interp);

// The pieces that a radial primitive is made of, each a primitive of its
// own, generated in this order through MeshPrimitive::Generate: the bricks
// (and radcylinders, radtunnels) of radtunnel, radbrick, cylint and tunint,
// and the filling cylinder of a radcylinder or cshell with fill (none
// without). Other types have none.
std::vector<MeshPrimitive> RadialPieces(const MeshPrimitive& primitive);
// The graded part of a radcylinder: the radcylinder itself with n4 zones
// from its curved surface out to the box, graded by r4.
MeshPrimitive RadCylinderGradedPart(const MeshPrimitive& radcylinder);

// The uniform wedge: refuses sizes below 1 and an n1 and n3 of which the
// larger is no multiple of the smaller, before anything is made.
void CheckUWedgeSizes(const MeshPrimitive& primitive);
// Fills the wedge row by row, then joins the faces of its zones.
void UWedge(const MeshPrimitive& primitive, CommandType& interp);
// The number of zones and grid-points of one cross-section of a uniform
// wedge of nBig zones along its big side and nSmall along its small side.
void UWedgeSectionCounts(int nBig, int nSmall, uint64_t& zones, uint64_t& nodes);
