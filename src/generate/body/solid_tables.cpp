// The tables of a solid: checked access, setters and adders, searches,
// clearing, purging and compaction, and the cell slots of a face.
#include <cstdlib>
#include <initializer_list>

#include "generate/body/solid.h"

void SolidIndexError(int32_t n) { throw IndexRangeExcept("Solid index " + IntToString(n) + " out of range"); }

const char* SolidFormName(int32_t form) {
  static const char* const kNames[] = {"brick", "dbrick", "wedge", "wedge2", "pyramid", "tetra", "tetra2"};
  return form >= 0 && form < kFormNone ? kNames[form] : nullptr;
}

namespace {

void Raise(int32_t& count, int32_t n) {
  if (n > count) count = n;
}

bool IsNameCharacter(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

// ---- faces ----

int32_t SolidFace::Cell(int32_t slot) const {
  SolidIndexCheck(slot, 0, 1);
  return cell_[slot];
}

int32_t SolidFace::Side(int32_t slot) const {
  SolidIndexCheck(slot, 0, 1);
  return side_[slot];
}

bool SolidFace::HoldsEdge(int32_t edge) const {
  return edge_[0] == edge || edge_[1] == edge || edge_[2] == edge || edge_[3] == edge;
}

void SolidFace::Set(int32_t cell, int32_t side, int32_t c0, int32_t c1, int32_t c2, int32_t c3, int32_t e1, int32_t e2,
                    int32_t e3, int32_t e4) {
  vertex_[0] = c0;
  vertex_[1] = c1;
  vertex_[2] = c2;
  vertex_[3] = c3;
  edge_[0] = e1;
  edge_[1] = e2;
  edge_[2] = e3;
  edge_[3] = e4;
  defined = true;
  cellCount_ = 0;
  if (cell != 0) AddCell(cell, side);
}

void SolidFace::AddCell(int32_t cell, int32_t side) {
  if (cellCount_ >= 2) throw SolidExcept("Can not add cell to internal face!");
  cell_[cellCount_] = cell;
  side_[cellCount_] = side;
  ++cellCount_;
}

void SolidFace::RemoveCell(int32_t cell) {
  if (cellCount_ >= 1 && cell_[0] == cell) {
    cell_[0] = cell_[1];
    side_[0] = side_[1];
  } else if (!(cellCount_ >= 2 && cell_[1] == cell)) {
    throw SolidExcept("Remove cell from face that does not have it?");
  }
  --cellCount_;
}

// ---- cells ----

int32_t SolidCell::Face(int32_t local) const {
  SolidIndexCheck(local, 1, 6);
  return face_[local - 1];
}

int32_t SolidCell::FaceSense(int32_t local) const {
  SolidIndexCheck(local, 1, 6);
  return sense_[local - 1];
}

void SolidCell::SetVertices(const int32_t (&vertices)[8]) {
  for (int32_t k = 0; k < 8; ++k) vertex_[k] = vertices[k];
}

void SolidCell::SetEdge(int32_t local, int32_t edge) {
  SolidIndexCheck(local, 1, 12);
  edge_[local - 1] = edge;
}

void SolidCell::SetFace(int32_t local, int32_t face, int32_t sense) {
  SolidIndexCheck(local, 1, 6);
  face_[local - 1] = face;
  sense_[local - 1] = sense;
}

void SolidCell::Reset() {
  defined = false;
  for (int32_t& v : vertex_) v = -1;
  for (int32_t& e : edge_) e = 0;
  for (int32_t& f : face_) f = 0;
  for (int32_t& s : sense_) s = 1;
  form = kFormNone;
  reals[0] = reals[1] = reals[2] = 0.0;
  shown = true;
}

// ---- the solid ----

Solid::Solid() { Clear(); }

void Solid::SetName(const String& name) {
  if (name.IsEmpty()) throw SolidExcept("Solid name can not be null.");
  for (int32_t i = 0; i < name.Length(); ++i) {
    if (!IsNameCharacter(name.GetAt(i))) throw SolidExcept("Solid name can only have alpha-numerical characters.");
  }
  name_ = name;
}

const SolidValue& Solid::Dim(int32_t d) const {
  SolidIndexCheck(d, 1, kSolidDims);
  return dims_[d - 1];
}

SolidValue& Solid::DimRecord(int32_t d) {
  SolidIndexCheck(d, 1, kSolidDims);
  return dims_[d - 1];
}

const SolidValue& Solid::Ratio(int32_t r) const {
  SolidIndexCheck(r, 1, kSolidRatios);
  return ratios_[r - 1];
}

SolidValue& Solid::RatioRecord(int32_t r) {
  SolidIndexCheck(r, 1, kSolidRatios);
  return ratios_[r - 1];
}

const SolidCount& Solid::Size(int32_t s) const {
  SolidIndexCheck(s, 1, kSolidSizes);
  return sizes_[s - 1];
}

SolidCount& Solid::SizeRecord(int32_t s) {
  SolidIndexCheck(s, 1, kSolidSizes);
  return sizes_[s - 1];
}

SolidFix& Solid::Fix(int32_t f) {
  SolidIndexCheck(f, 1, kSolidFixes);
  return fixes_[f - 1];
}

const SolidFix& Solid::Fix(int32_t f) const {
  SolidIndexCheck(f, 1, kSolidFixes);
  return fixes_[f - 1];
}

// ---- setters ----

void Solid::SetVertex(int32_t v, double x, double y, double z) {
  SolidVertex& vertex = Vertex(v);
  vertex.defined = true;
  vertex.position = {x, y, z};
  Raise(vertexCount_, v + 1);
}

void Solid::SetDim(int32_t d, double value) {
  SolidValue& dim = DimRecord(d);
  dim.defined = true;
  dim.value = value;
  Raise(dimCount_, d);
}

void Solid::SetRatio(int32_t r, double value) {
  const int32_t n = std::abs(r);
  SolidValue& ratio = RatioRecord(n);
  ratio.defined = true;
  ratio.value = r < 0 ? 1.0 / value : value;
  Raise(ratioCount_, n);
}

namespace {

void CheckSizeValue(int32_t count) {
  if (count < kSolidMinSize || count > kSolidMaxSize) throw SolidExcept("Size must be between 1 and 99.");
}

}  // namespace

void Solid::SetSize(int32_t s, int32_t count) {
  SolidCount& size = SizeRecord(s);
  CheckSizeValue(count);
  size.defined = true;
  size.value = count;
  Raise(sizeCount_, s);
}

void Solid::SetEdgeRatio(int32_t e, int32_t ratio) {
  SolidEdge& edge = Edge(e);
  edge.defined = true;
  edge.ratio = ratio;
  Raise(edgeCount_, e);
}

void Solid::SetEdgeArc(int32_t e, bool arc) {
  SolidEdge& edge = Edge(e);
  edge.defined = true;
  edge.arc = arc;
  Raise(edgeCount_, e);
}

void Solid::SetEdgeCentre(int32_t e, int32_t centre) {
  SolidEdge& edge = Edge(e);
  edge.defined = true;
  edge.arc = true;
  edge.centreVertex = centre;
  Raise(edgeCount_, e);
}

void Solid::SetEdgeAxis(int32_t e, int32_t axis) { Edge(e).axisVertex = axis; }

void Solid::SetEdgeCentreAxis(int32_t e, int32_t centre, int32_t axis) {
  SolidEdge& edge = Edge(e);
  edge.defined = true;
  edge.arc = true;
  edge.centreVertex = centre;
  edge.axisVertex = axis;
  Raise(edgeCount_, e);
}

// ---- adders ----

int32_t Solid::AddVertex(double x, double y, double z) {
  for (int32_t v = 0; v < kSolidVertices; ++v) {
    if (!Vertex(v).defined) {
      SetVertex(v, x, y, z);
      return v;
    }
  }
  throw SolidExcept("Vertex list overflow!");
}

int32_t Solid::AddSize(int32_t count) {
  CheckSizeValue(count);
  for (int32_t s = 1; s <= kSolidSizes; ++s) {
    if (!Size(s).defined) {
      SetSize(s, count);
      return s;
    }
  }
  throw SolidExcept("size list overflow!");
}

int32_t Solid::AddRatio(double value) {
  for (int32_t r = 1; r <= kSolidRatios; ++r) {
    if (!Ratio(r).defined) {
      SetRatio(r, value);
      return r;
    }
  }
  throw SolidExcept("rat list overflow!");
}

int32_t Solid::AddDim(double value) {
  for (int32_t d = 1; d <= kSolidDims; ++d) {
    if (!Dim(d).defined) {
      SetDim(d, value);
      return d;
    }
  }
  throw SolidExcept("dim list overflow!");
}

int32_t Solid::NewEdge() {
  for (int32_t e = 1; e <= kSolidEdges; ++e) {
    SolidEdge& edge = Edge(e);
    if (!edge.defined) {
      edge.defined = true;
      Raise(edgeCount_, e);
      return e;
    }
  }
  throw SolidExcept("Edge list overflow!");
}

int32_t Solid::NewFace() {
  for (int32_t f = 1; f <= kSolidFaces; ++f) {
    SolidFace& face = Face(f);
    if (!face.defined) {
      face.defined = true;
      Raise(faceCount_, f);
      return f;
    }
  }
  throw SolidExcept("face list overflow!");
}

int32_t Solid::NewCell() {
  for (int32_t c = 1; c <= kSolidCells; ++c) {
    SolidCell& cell = Cell(c);
    if (!cell.defined) {
      cell.defined = true;
      Raise(cellCount_, c);
      return c;
    }
  }
  throw SolidExcept("Cell list overflow!");
}

int32_t Solid::NewFix() {
  for (int32_t f = 1; f <= kSolidFixes; ++f) {
    SolidFix& fix = Fix(f);
    if (!fix.defined) {
      fix.defined = true;
      Raise(fixCount_, f);
      return f;
    }
  }
  throw SolidExcept("fix list overflow!");
}

int32_t Solid::AddEdge(int32_t a, int32_t b, int32_t size, int32_t ratio) {
  const int32_t existing = FindEdge(a, b);
  if (existing != 0) return existing;
  if (size < 1) size = AddSize(3);
  if (ratio < 1) ratio = AddRatio(1.0);
  const int32_t e = NewEdge();
  SolidEdge& edge = Edge(e);
  edge.arc = false;
  edge.centreVertex = 0;
  edge.startVertex = a;
  edge.endVertex = b;
  edge.axisVertex = -1;
  edge.size = size;
  edge.ratio = ratio;
  return e;
}

// ---- searches ----
// Numbers above a table's count are never defined, so every scan stops there.

int32_t Solid::FindEdge(int32_t a, int32_t b) const {
  for (int32_t e = 1; e <= edgeCount_; ++e) {
    const SolidEdge& edge = Edge(e);
    if (!edge.defined) continue;
    if ((edge.startVertex == a && edge.endVertex == b) || (edge.startVertex == b && edge.endVertex == a)) return e;
  }
  return 0;
}

int32_t Solid::FindFace(int32_t e1, int32_t e2, int32_t e3) const {
  for (int32_t f = 1; f <= faceCount_; ++f) {
    const SolidFace& face = Face(f);
    if (!face.defined) continue;
    for (int32_t k = 0; k < 4; ++k) {
      const int32_t x = face.Edge(k), y = face.Edge((k + 1) % 4), z = face.Edge((k + 2) % 4);
      if (y == e2 && ((x == e1 && z == e3) || (x == e3 && z == e1))) return f;
    }
  }
  return 0;
}

int32_t Solid::EdgeUsingVertex(int32_t v, int32_t from) const {
  for (int32_t e = from; e <= edgeCount_; ++e) {
    const SolidEdge& edge = Edge(e);
    if (!edge.defined) continue;
    if (edge.startVertex == v || edge.endVertex == v || (edge.arc && edge.centreVertex == v)) return e;
  }
  return 0;
}

int32_t Solid::EdgeUsingSize(int32_t s, int32_t from) const {
  for (int32_t e = from; e <= edgeCount_; ++e) {
    const SolidEdge& edge = Edge(e);
    if (edge.defined && edge.size == s) return e;
  }
  return 0;
}

int32_t Solid::EdgeUsingRatio(int32_t r, int32_t from) const {
  for (int32_t e = from; e <= edgeCount_; ++e) {
    const SolidEdge& edge = Edge(e);
    if (edge.defined && edge.ratio == r) return e;
  }
  return 0;
}

int32_t Solid::FaceUsingEdge(int32_t e, int32_t from) const {
  for (int32_t f = from; f <= faceCount_; ++f) {
    const SolidFace& face = Face(f);
    if (face.defined && face.HoldsEdge(e)) return f;
  }
  return 0;
}

namespace {

// Vertices and dimensions a relation of each kind uses; a kind outside
// 0..3 (never stored by the kernel) is read as the nearest one.
int32_t UsedVertices(const SolidFix& fix) { return fix.kind < 0 ? 1 : fix.kind > 3 ? 4 : fix.kind + 1; }
int32_t UsedDims(const SolidFix& fix) { return UsedVertices(fix) - 1; }

}  // namespace

int32_t Solid::FixUsingVertex(int32_t v, int32_t from) const {
  for (int32_t f = from; f <= fixCount_; ++f) {
    const SolidFix& fix = Fix(f);
    if (!fix.defined) continue;
    for (int32_t i = 0; i < UsedVertices(fix); ++i) {
      if (fix.vertices[i] == v) return f;
    }
  }
  return 0;
}

int32_t Solid::FixUsingDim(int32_t d, int32_t from) const {
  for (int32_t f = from; f <= fixCount_; ++f) {
    const SolidFix& fix = Fix(f);
    if (!fix.defined) continue;
    for (int32_t i = 0; i < UsedDims(fix); ++i) {
      if (fix.dims[i] == d) return f;
    }
  }
  return 0;
}

// ---- clearing ----

void Solid::ClearVertex(int32_t v) {
  SolidVertex& vertex = Vertex(v);
  if (EdgeUsingVertex(v) != 0) throw SolidExcept("Can not clear vertex: Part of existing edge.");
  if (FixUsingVertex(v) != 0) throw SolidExcept("Can not clear vertex: Part of existing fix-relation.");
  if (vertex.fix != 0) UnfixVertex(v);
  vertex.defined = false;
}

void Solid::ClearSize(int32_t s) {
  SolidCount& size = SizeRecord(s);
  if (EdgeUsingSize(s) != 0) throw SolidExcept("Can not clear size: Part of existing edge.");
  size.defined = false;
}

void Solid::ClearRatio(int32_t r) {
  SolidValue& ratio = RatioRecord(r);
  if (EdgeUsingRatio(r) != 0) throw SolidExcept("Can not clear ratio: Part of existing edge.");
  ratio.defined = false;
}

void Solid::ClearDim(int32_t d) {
  SolidValue& dim = DimRecord(d);
  if (FixUsingDim(d) != 0) throw SolidExcept("Can not clear dimension: Part of existing fix-relation.");
  dim.defined = false;
}

void Solid::Clear() {
  vertexCount_ = edgeCount_ = faceCount_ = cellCount_ = 0;
  dimCount_ = sizeCount_ = ratioCount_ = fixCount_ = 0;
  for (int32_t s = 1; s <= kSolidSizes; ++s) SizeRecord(s).defined = false;
  for (int32_t r = 1; r <= kSolidRatios; ++r) RatioRecord(r).defined = false;
  for (int32_t d = 1; d <= kSolidDims; ++d) DimRecord(d).defined = false;
  for (int32_t v = 0; v < kSolidVertices; ++v) {
    SolidVertex& vertex = Vertex(v);
    vertex.defined = false;
    vertex.fix = 0;
  }
  for (int32_t e = 1; e <= kSolidEdges; ++e) Edge(e).defined = false;
  for (int32_t f = 1; f <= kSolidFaces; ++f) {
    SolidFace& face = Face(f);
    face.defined = false;
    face.ClearCells();
  }
  for (int32_t c = 1; c <= kSolidCells; ++c) Cell(c).Reset();
  for (int32_t f = 1; f <= kSolidFixes; ++f) {
    SolidFix& fix = Fix(f);
    fix.defined = false;
    fix.arc = false;
    fix.kind = 0;
    fix.centreVertex = 0;
    for (int32_t& v : fix.vertices) v = 0;
    for (int32_t& d : fix.dims) d = 0;
  }
  name_ = "NoName";
}

// ---- purges and compaction ----
// Each purge marks what is in use in one pass, so it costs the sum of the
// two counts, not their product.

void Solid::PurgeSizes() {
  bool used[kSolidSizes + 1] = {};
  for (int32_t e = 1; e <= edgeCount_; ++e) {
    const SolidEdge& edge = Edge(e);
    if (edge.defined && edge.size >= 1 && edge.size <= kSolidSizes) used[edge.size] = true;
  }
  for (int32_t s = 1; s <= sizeCount_; ++s) {
    if (!used[s]) SizeRecord(s).defined = false;
  }
}

void Solid::PurgeRatios() {
  bool used[kSolidRatios + 1] = {};
  for (int32_t e = 1; e <= edgeCount_; ++e) {
    const SolidEdge& edge = Edge(e);
    if (edge.defined && edge.ratio >= 1 && edge.ratio <= kSolidRatios) used[edge.ratio] = true;
  }
  for (int32_t r = 1; r <= ratioCount_; ++r) {
    if (!used[r]) RatioRecord(r).defined = false;
  }
}

void Solid::PurgeVertices() {
  // Edges stay as they are; fixes are freed on the way, so they are asked each time.
  bool onEdge[kSolidVertices] = {};
  for (int32_t e = 1; e <= edgeCount_; ++e) {
    const SolidEdge& edge = Edge(e);
    if (!edge.defined) continue;
    for (int32_t v : {edge.startVertex, edge.endVertex, edge.arc ? edge.centreVertex : -1}) {
      if (v >= 0 && v < kSolidVertices) onEdge[v] = true;
    }
  }
  for (int32_t v = vertexCount_ - 1; v >= 0; --v) {
    if (Vertex(v).defined && !onEdge[v] && FixUsingVertex(v) == 0) ClearVertex(v);
  }
}

void Solid::PurgeDims() {
  bool used[kSolidDims + 1] = {};
  for (int32_t f = 1; f <= fixCount_; ++f) {
    const SolidFix& fix = Fix(f);
    if (!fix.defined) continue;
    for (int32_t i = 0; i < UsedDims(fix); ++i) {
      if (fix.dims[i] >= 1 && fix.dims[i] <= kSolidDims) used[fix.dims[i]] = true;
    }
  }
  for (int32_t d = 1; d <= dimCount_; ++d) {
    if (!used[d]) DimRecord(d).defined = false;
  }
}

void Solid::Compact() {
  PurgeSizes();
  PurgeRatios();
  PurgeVertices();
  PurgeDims();
  while (cellCount_ > 0 && !Cell(cellCount_).defined) --cellCount_;
  while (faceCount_ > 0 && !Face(faceCount_).defined) --faceCount_;
  while (edgeCount_ > 0 && !Edge(edgeCount_).defined) --edgeCount_;
  while (sizeCount_ > 0 && !Size(sizeCount_).defined) --sizeCount_;
  while (ratioCount_ > 0 && !Ratio(ratioCount_).defined) --ratioCount_;
  while (dimCount_ > 0 && !Dim(dimCount_).defined) --dimCount_;
  while (fixCount_ > 0 && !Fix(fixCount_).defined) --fixCount_;
  while (vertexCount_ > 0 && !Vertex(vertexCount_ - 1).defined) --vertexCount_;
}
