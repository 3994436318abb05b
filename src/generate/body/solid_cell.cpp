// Cells and their faces: defining a cell from its vertices, sharing edges
// and faces with the cells already there, the block forms made by repeating
// vertices, and deleting a cell with what only it used.
#include <cstdlib>

#include "generate/body/solid.h"

namespace {

// The other end of an edge from x, or -1 when x is neither end.
int32_t OtherEnd(const SolidEdge& edge, int32_t x) {
  if (x < 0) return -1;
  if (x == edge.startVertex) return edge.endVertex;
  if (x == edge.endVertex) return edge.startVertex;
  return -1;
}

}  // namespace

int32_t Solid::setcell(int32_t cell, int32_t form, const int32_t (&vertices)[8], int32_t s1, int32_t s2, int32_t s3,
                       int32_t r1, int32_t r2, int32_t r3) {
  int32_t s[4] = {0, s1, s2, s3};  // by direction class 1..3
  int32_t r[4] = {0, r1, r2, r3};
  for (int32_t j = 1; j <= 3; ++j) {
    if (s[j] > 0 && !Size(s[j]).defined) SetSize(s[j], 3);
  }
  for (int32_t j = 1; j <= 3; ++j) {
    if (r[j] != 0 && !Ratio(std::abs(r[j])).defined) SetRatio(std::abs(r[j]), 1.0);
  }
  int32_t p[8];
  for (int32_t k = 0; k < 8; ++k) {
    p[k] = vertices[k];
    if (p[k] > kSolidVertices - 1) throw SolidExcept("setcell-Vertex indices exceeded maximum.");
  }
  for (int32_t k = 0; k < 8; ++k) {
    const double* corner = kSolidCellCorner[k];
    if (p[k] < 0) {
      p[k] = AddVertex(corner[0], corner[1], corner[2]);
    } else if (!Vertex(p[k]).defined) {
      SetVertex(p[k], corner[0], corner[1], corner[2]);
    }
  }

  if (cell == 0) {
    cell = NewCell();
  } else if (Cell(cell).defined) {
    throw SolidExcept("setcell-cell already set!");
  }
  SolidIndexCheck(cell, 1, kSolidCells);
  // A reused record starts afresh: nothing of a deleted cell carries over.
  SolidCell& record = Cell(cell);
  record.Reset();
  record.defined = true;
  if (cell > cellCount_) cellCount_ = cell;
  record.form = form;
  record.SetVertices(p);

  // Edges shared with existing cells lend their sizes and ratios; one that
  // runs against the local direction turns the grading of its class round.
  for (int32_t k = 1; k <= 12; ++k) {
    const int32_t j = SolidEdgeClass(k);
    const int32_t a = p[kSolidCellEdgeEnds[k - 1][0]], b = p[kSolidCellEdgeEnds[k - 1][1]];
    const int32_t e = FindEdge(a, b);
    record.SetEdge(k, e);
    if (e == 0) continue;
    const SolidEdge& edge = Edge(e);
    if (s[j] == 0) s[j] = edge.size;
    if (r[j] == 0) r[j] = edge.ratio;
    if (edge.startVertex != a) r[j] = -r[j];
  }
  for (int32_t j = 1; j <= 3; ++j) {
    if (s[j] == 0) s[j] = AddSize(3);
    if (r[j] == 0) r[j] = AddRatio(1.0);
  }
  for (int32_t k = 1; k <= 12; ++k) {
    const int32_t j = SolidEdgeClass(k);
    const int32_t a = p[kSolidCellEdgeEnds[k - 1][0]], b = p[kSolidCellEdgeEnds[k - 1][1]];
    record.SetEdge(k, r[j] < 1 ? AddEdge(b, a, s[j], -r[j]) : AddEdge(a, b, s[j], r[j]));
  }

  for (int32_t f = 1; f <= 6; ++f) {
    const int32_t* local = kSolidCellFaceEdges[f - 1];
    const int32_t face =
        Makeface(cell, f, record.Edge(local[0]), record.Edge(local[1]), record.Edge(local[2]), record.Edge(local[3]));
    SolidIndexCheck(face, 1, kSolidFaces);
    const SolidFace& shared = Face(face);
    const int32_t sense =
        shared.CellCount() == 1 ? kSolidCellFirstSense[f - 1] : -Cell(shared.Cell(0)).FaceSense(shared.Side(0));
    record.SetFace(f, face, sense);
  }
  return cell;
}

int32_t Solid::Makeface(int32_t cell, int32_t side, int32_t e1, int32_t e2, int32_t e3, int32_t e4) {
  const SolidEdge& first = Edge(e1);
  const SolidEdge& second = Edge(e2);
  const SolidEdge& third = Edge(e3);
  const SolidEdge& fourth = Edge(e4);
  const bool startOnFourth = first.startVertex == fourth.startVertex || first.startVertex == fourth.endVertex;
  const int32_t c0 = startOnFourth ? first.startVertex : first.endVertex;
  const int32_t c1 = OtherEnd(first, c0);
  const int32_t c2 = OtherEnd(second, c1);
  const int32_t c3 = OtherEnd(third, c2);
  if (c1 == -1 || c2 == -1 || c3 == -1) throw SolidExcept("Makeface-face vertices not found on edges?");
  int32_t face = FindFace(e1, e2, e3);
  if (face != 0) {
    Face(face).AddCell(cell, side);
  } else {
    face = NewFace();
    Face(face).Set(cell, side, c0, c1, c2, c3, e1, e2, e3, e4);
  }
  return face;
}

namespace {

// Replaces each negative vertex by a new one at the unit-cube corner of its
// place in the list, whatever the form.
template <int32_t N>
void MakeMissingVertices(Solid& solid, const int32_t (&given)[N], int32_t (&q)[N]) {
  static_assert(N <= 8);
  for (int32_t i = 0; i < N; ++i) {
    q[i] = given[i];
    if (q[i] < 0) q[i] = solid.AddVertex(kSolidCellCorner[i][0], kSolidCellCorner[i][1], kSolidCellCorner[i][2]);
  }
}

}  // namespace

int32_t Solid::SetBrick(int32_t cell, const int32_t (&q)[8], int32_t s1, int32_t s2, int32_t s3, int32_t r1, int32_t r2,
                        int32_t r3) {
  return setcell(cell, kFormBrick, q, s1, s2, s3, r1, r2, r3);
}

int32_t Solid::SetDBrick(int32_t cell, const int32_t (&given)[7], int32_t s1, int32_t s2, int32_t s3, int32_t r1,
                         int32_t r2, int32_t r3) {
  int32_t q[7];
  MakeMissingVertices(*this, given, q);
  const int32_t local[8] = {q[0], q[1], q[2], q[3], q[4], q[5], q[6], q[6]};
  return setcell(cell, kFormDBrick, local, s1, s2, s3, r1, r2, r3);
}

int32_t Solid::SetWedge(int32_t cell, const int32_t (&given)[6], int32_t s1, int32_t s2, int32_t s3, int32_t r1,
                        int32_t r2, int32_t r3) {
  int32_t q[6];
  MakeMissingVertices(*this, given, q);
  const int32_t local[8] = {q[0], q[1], q[2], q[3], q[4], q[5], q[3], q[5]};
  return setcell(cell, kFormWedge, local, s1, s2, s3, r1, r2, r3);
}

int32_t Solid::SetWedge2(int32_t cell, const int32_t (&given)[6], int32_t s1, int32_t s2, int32_t s3, int32_t r1,
                         int32_t r2, int32_t r3) {
  int32_t q[6];
  MakeMissingVertices(*this, given, q);
  const int32_t local[8] = {q[0], q[1], q[2], q[0], q[4], q[2], q[3], q[5]};
  return setcell(cell, kFormWedge2, local, s1, s2, s3, r1, r2, r3);
}

int32_t Solid::SetPyramid(int32_t cell, const int32_t (&given)[5], int32_t s1, int32_t s2, int32_t s3, int32_t r1,
                          int32_t r2, int32_t r3) {
  int32_t q[5];
  MakeMissingVertices(*this, given, q);
  const int32_t local[8] = {q[0], q[1], q[2], q[3], q[4], q[3], q[3], q[3]};
  return setcell(cell, kFormPyramid, local, s1, s2, s3, r1, r2, r3);
}

int32_t Solid::SetTetra(int32_t cell, const int32_t (&given)[4], int32_t s1, int32_t s2, int32_t s3, int32_t r1,
                        int32_t r2, int32_t r3) {
  int32_t q[4];
  MakeMissingVertices(*this, given, q);
  const int32_t local[8] = {q[0], q[1], q[2], q[3], q[2], q[3], q[3], q[3]};
  return setcell(cell, kFormTetra, local, s1, s2, s3, r1, r2, r3);
}

void Solid::DeleteCell(int32_t cell) {
  SolidCell& record = Cell(cell);
  if (!record.defined) return;
  for (int32_t f = 1; f <= 6; ++f) {
    // A cell whose making failed part-way holds no face in its later slots.
    const int32_t number = record.Face(f);
    if (number == 0) continue;
    SolidFace& face = Face(number);
    face.RemoveCell(cell);
    if (face.CellCount() == 0) face.defined = false;
  }

  bool edgeHeld[kSolidEdges + 1] = {};
  for (int32_t f = 1; f <= faceCount_; ++f) {
    const SolidFace& face = Face(f);
    if (!face.defined) continue;
    for (int32_t i = 0; i < 4; ++i) {
      const int32_t e = face.Edge(i);
      if (e >= 1 && e <= kSolidEdges) edgeHeld[e] = true;
    }
  }
  for (int32_t e = 1; e <= edgeCount_; ++e) {
    if (!edgeHeld[e]) Edge(e).defined = false;
  }
  PurgeSizes();
  PurgeRatios();

  record.defined = false;
  Compact();
}
