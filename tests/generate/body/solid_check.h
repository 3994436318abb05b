// Checks shared by the solid tests: every face of a cell seen with its sense
// points out of the cell, and a cell's corners enclose a positive volume.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "generate/body/body_interp.h"
#include "generate/body/solid.h"

inline Vec3 CellCentre(const Solid& solid, int32_t cell) {
  Vec3 centre;
  for (int32_t k = 0; k < 8; ++k) centre += solid.VertexPosition(solid.Cell(cell).Vertex(k));
  return centre * 0.125;
}

// Each face that does not collapse, with its corner order turned by the
// sense the cell holds, must point away from the cell's centre.
inline void ExpectFacesPointOut(const Solid& solid, int32_t cell, const std::string& what) {
  const Vec3 centre = CellCentre(solid, cell);
  for (int32_t f = 1; f <= 6; ++f) {
    const SolidFace& face = solid.Face(solid.Cell(cell).Face(f));
    Vec3 c[4];
    Vec3 middle;
    for (int32_t i = 0; i < 4; ++i) {
      c[i] = solid.VertexPosition(face.Vertex(i));
      middle += c[i] * 0.25;
    }
    const Vec3 normal = Vec3::Cross(c[2] - c[0], c[3] - c[1]);
    if (normal.Length() < 1e-12) continue;
    EXPECT_GT(Vec3::Dot(normal, middle - centre) * solid.Cell(cell).FaceSense(f), 0.0)
        << what << ": cell " << cell << " local face " << f;
  }
}

// The volume of the cell's corners (edges taken straight), from five tetrahedra.
inline double CornerVolume(const Solid& solid, int32_t cell) {
  Vec3 p[8];
  for (int32_t k = 0; k < 8; ++k) p[k] = solid.VertexPosition(solid.Cell(cell).Vertex(k));
  return TetVolume(p[0], p[4], p[5], p[6]) + TetVolume(p[1], p[4], p[0], p[6]) + TetVolume(p[2], p[0], p[4], p[5]) +
         TetVolume(p[3], p[5], p[6], p[0]) + TetVolume(p[7], p[6], p[5], p[4]);
}

inline void ExpectSoundCells(const Solid& solid, const std::string& what) {
  for (int32_t c = 1; c <= solid.CellCount(); ++c) {
    if (!solid.Cell(c).defined) continue;
    EXPECT_GT(CornerVolume(solid, c), 0.0) << what << ": cell " << c;
    ExpectFacesPointOut(solid, c, what);
  }
}
