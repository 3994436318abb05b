// Placing one solid into another through number maps, so that a template,
// a block or a stored solid can be glued onto vertices already in the body.
#include <cstdlib>

#include "generate/body/solid.h"

namespace {

// The map entry at index i; a map shorter than the source raises the index error.
int32_t& Entry(std::span<int32_t> map, int32_t i) {
  SolidIndexCheck(i, 0, static_cast<int32_t>(map.size()) - 1);
  return map[static_cast<size_t>(i)];
}

}  // namespace

void Solid::setsolid(const Solid* source, std::span<int32_t> cellMap, std::span<int32_t> vertexMap,
                     std::span<int32_t> sizeMap, std::span<int32_t> ratioMap, std::span<int32_t> dimMap) {
  if (source == nullptr) throw SolidExcept("setsolid-null pointer!");
  const Solid& src = *source;

  // Sizes and ratios go only where the map names an entry that is still free.
  for (int32_t i = 1; i <= src.SizeCount(); ++i) {
    const int32_t m = Entry(sizeMap, i - 1);
    if (m <= 0 || !src.Size(i).defined) continue;
    if (!Size(m).defined) SetSize(m, src.Size(i).value);
  }
  for (int32_t i = 1; i <= src.RatioCount(); ++i) {
    const int32_t m = Entry(ratioMap, i - 1);
    if (m == 0 || !src.Ratio(i).defined) continue;
    const double value = src.Ratio(i).value;
    // A negative entry stores the reciprocal of what it is given, so the
    // destination holds the source value either way.
    if (!Ratio(std::abs(m)).defined) SetRatio(m, m < 0 ? 1.0 / value : value);
  }
  for (int32_t i = 1; i <= src.DimCount(); ++i) {
    int32_t& m = Entry(dimMap, i - 1);
    if (m == 0) m = AddDim(src.Dim(i).value);
    if (!Dim(m).defined) SetDim(m, src.Dim(i).value);
  }

  // Every vertex is mapped before any relation is copied: a relation may
  // refer to a vertex of a higher number.
  for (int32_t i = 0; i < src.VertexCount(); ++i) {
    int32_t& m = Entry(vertexMap, i);
    const Vec3 position = src.VertexPosition(i);
    if (m < 0) m = AddVertex(position.x, position.y, position.z);
    if (!Vertex(m).defined) SetVertex(m, position.x, position.y, position.z);
  }
  for (int32_t i = 0; i < src.VertexCount(); ++i) {
    const int32_t fixNumber = src.Vertex(i).fix;
    if (fixNumber == 0) continue;
    const SolidFix& from = src.Fix(fixNumber);
    const int32_t kind = from.kind < kFixPoint ? kFixPoint : from.kind > kFixSpace ? kFixSpace : from.kind;
    // Check every number before the destination's earlier relation is freed.
    SolidFix copy{};
    copy.kind = kind;
    copy.arc = from.arc;
    copy.centreVertex = from.arc ? Entry(vertexMap, from.centreVertex) : 0;
    copy.axisVertex = from.arc && from.axisVertex >= 0 ? Entry(vertexMap, from.axisVertex) : -1;
    for (int32_t k = 0; k <= kind; ++k) copy.vertices[k] = Entry(vertexMap, from.vertices[k]);
    for (int32_t k = 0; k < kind; ++k) copy.dims[k] = Entry(dimMap, from.dims[k] - 1);
    const int32_t v = Entry(vertexMap, i);
    SolidFix& to = Fix(NewFixFor(v));
    copy.defined = true;
    to = copy;
  }

  for (int32_t i = 1; i <= src.CellCount(); ++i) {
    const SolidCell& cell = src.Cell(i);
    if (!cell.defined) continue;
    int32_t& m = Entry(cellMap, i - 1);
    if (m > 0) {
      SolidIndexCheck(m, 1, kSolidCells);
      if (Cell(m).defined) throw SolidExcept("setsolid-cell already defined!");
    } else {
      m = NewCell();
      Cell(m).defined = false;
    }
    Cell(m).form = cell.form;
    int32_t s[3], r[3];
    for (int32_t j = 0; j < 3; ++j) {
      const SolidEdge& edge = src.Edge(cell.Edge(j + 1));
      s[j] = Entry(sizeMap, edge.size - 1);
      r[j] = Entry(ratioMap, edge.ratio - 1);
    }
    int32_t v[8];
    for (int32_t k = 0; k < 8; ++k) v[k] = Entry(vertexMap, cell.Vertex(k));
    switch (cell.form) {
      case kFormBrick:
        setcell(m, kFormBrick, v, s[0], s[1], s[2], r[0], r[1], r[2]);
        break;
      case kFormDBrick:
        SetDBrick(m, {v[0], v[1], v[2], v[3], v[4], v[5], v[6]}, s[0], s[1], s[2], r[0], r[1], r[2]);
        break;
      case kFormWedge:
        SetWedge(m, {v[0], v[1], v[2], v[3], v[4], v[5]}, s[0], s[1], s[2], r[0], r[1], r[2]);
        break;
      case kFormWedge2:
        // The distinct vertices of this form sit at local 0, 1, 2, 6, 4, 7.
        SetWedge2(m, {v[0], v[1], v[2], v[6], v[4], v[7]}, s[0], s[1], s[2], r[0], r[1], r[2]);
        break;
      case kFormPyramid:
        SetPyramid(m, {v[0], v[1], v[2], v[3], v[4]}, s[0], s[1], s[2], r[0], r[1], r[2]);
        break;
      case kFormTetra:
        SetTetra(m, {v[0], v[1], v[2], v[3]}, s[0], s[1], s[2], r[0], r[1], r[2]);
        break;
      default:
        throw SolidExcept("setsolid-cell form not defined!");
    }
  }

  for (int32_t i = 1; i <= src.EdgeCount(); ++i) {
    const SolidEdge& from = src.Edge(i);
    if (!from.defined) continue;
    const int32_t e = FindEdge(Entry(vertexMap, from.startVertex), Entry(vertexMap, from.endVertex));
    if (e == 0) throw SolidExcept("setsolid-setsolid-Edge not found?");
    SolidEdge& to = Edge(e);
    to.defined = true;
    // A straight edge may still name the centre of an arc it once was,
    // even a vertex gone since; only an arc needs its centre.
    if (from.arc || from.centreVertex < static_cast<int32_t>(vertexMap.size())) {
      to.centreVertex = Entry(vertexMap, from.centreVertex);
    }
    if (from.axisVertex >= 0) to.axisVertex = Entry(vertexMap, from.axisVertex);
    to.arc = from.arc;
  }
}
