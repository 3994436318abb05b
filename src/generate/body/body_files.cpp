// Body command lines: body files and the listings of BODY PRINT.
#include "generate/body/body_files.h"

#include "base/stream.h"

namespace {

// The local vertices a block line names, by form.
constexpr int kFormVertices[7][9] = {
    {8, 0, 1, 2, 3, 4, 5, 6, 7}, {7, 0, 1, 2, 3, 4, 5, 6}, {6, 0, 1, 2, 3, 4, 5}, {6, 0, 1, 2, 6, 4, 7},
    {5, 0, 1, 2, 3, 4},          {4, 0, 1, 2, 3},          {4, 0, 2, 3, 6},
};

const char* FixWord(const SolidFix& fix) {
  switch (fix.kind) {
    case kFixPoint:
      return "point";
    case kFixLine:
      return fix.arc ? "arc" : "line";
    case kFixPlane:
      return "plane";
    default:
      return "space";
  }
}

void WritePoint(const Solid& solid, int32_t v, std::ostream& out) {
  const Vec3 p = solid.VertexPosition(v);
  out << "body set p" << v << "=(" << p.x << "," << p.y << "," << p.z << ")\n";
}

}  // namespace

void WriteSolidSummary(const Solid& solid, std::ostream& out) {
  out << "body set name " << solid.Name() << "\n";
  out << "; " << solid.SizeCount() << " sizes, " << solid.RatioCount() << " ratios, " << solid.DimCount() << " dims, "
      << solid.FixCount() << " fixes\n";
  out << "; " << solid.VertexCount() << " vertices, " << solid.EdgeCount() << " edges, " << solid.FaceCount()
      << " faces, " << solid.CellCount() << " cells\n";
}

void WriteBlockLines(const Solid& solid, std::ostream& out, SolidItemRange range) {
  for (int32_t n = 1; n <= solid.CellCount(); ++n) {
    const SolidCell& cell = solid.Cell(n);
    if (!cell.defined || !range.Holds(n) || !SolidFormName(cell.form)) continue;
    out << "body add " << SolidFormName(cell.form) << " block " << n << " point";
    const int* local = kFormVertices[cell.form];
    for (int q = 1; q <= local[0]; ++q) out << " p" << cell.Vertex(local[q]);
    out << " size";
    for (int32_t e = 1; e <= 3; ++e) out << " n" << solid.Edge(cell.Edge(e)).size;
    out << " rat";
    for (int32_t e = 1; e <= 3; ++e) {
      const SolidEdge& edge = solid.Edge(cell.Edge(e));
      out << " r" << (edge.startVertex == cell.Vertex(0) ? edge.ratio : -edge.ratio);
    }
    out << "\n";
  }
  for (int32_t n = 1; n <= solid.CellCount(); ++n) {
    const SolidCell& cell = solid.Cell(n);
    if (cell.defined && !cell.shown && range.Holds(n)) out << "body set b" << n << " hide\n";
  }
}

void WriteSizeLines(const Solid& solid, std::ostream& out, SolidItemRange range) {
  for (int32_t i = 1; i <= solid.SizeCount(); ++i)
    if (solid.Size(i).defined && range.Holds(i)) out << "body set n" << i << "=" << solid.Size(i).value << "\n";
}

void WriteRatioLines(const Solid& solid, std::ostream& out, SolidItemRange range) {
  for (int32_t i = 1; i <= solid.RatioCount(); ++i)
    if (solid.Ratio(i).defined && range.Holds(i)) out << "body set r" << i << "=" << solid.Ratio(i).value << "\n";
}

void WriteDimLines(const Solid& solid, std::ostream& out, SolidItemRange range) {
  for (int32_t i = 1; i <= solid.DimCount(); ++i)
    if (solid.Dim(i).defined && range.Holds(i)) out << "body set d" << i << "=" << solid.Dim(i).value << "\n";
}

void WritePointLines(const Solid& solid, std::ostream& out, SolidItemRange range, bool all) {
  for (int32_t v = 0; v < solid.VertexCount(); ++v) {
    const SolidVertex& vertex = solid.Vertex(v);
    if (!vertex.defined || !range.Holds(v)) continue;
    if (vertex.fix > 0 && !all) continue;
    WritePoint(solid, v, out);
    if (vertex.fix > 0) out << "; fixed " << FixWord(solid.Fix(vertex.fix)) << "\n";
  }
}

void WriteFixLines(const Solid& solid, std::ostream& out, SolidItemRange range) {
  for (int32_t v = 0; v < solid.VertexCount(); ++v) {
    const SolidVertex& vertex = solid.Vertex(v);
    if (!vertex.defined || vertex.fix <= 0 || !range.Holds(v)) continue;
    const SolidFix& fix = solid.Fix(vertex.fix);
    out << "body set p" << v << " fix " << FixWord(fix);
    if (fix.kind == kFixLine && fix.arc) out << " p" << fix.centreVertex;
    for (int32_t k = 0; k <= fix.kind && k < 4; ++k) out << " p" << fix.vertices[k];
    if (fix.kind > 0) {
      out << " dim";
      for (int32_t k = 0; k < fix.kind && k < 3; ++k) out << " d" << fix.dims[k];
    }
    out << "\n";
  }
}

void WriteArcLines(const Solid& solid, std::ostream& out, SolidItemRange range) {
  for (int32_t n = 1; n <= solid.EdgeCount(); ++n) {
    const SolidEdge& edge = solid.Edge(n);
    if (edge.defined && edge.arc && range.Holds(n))
      out << "body set edge e" << n << " arc cent p" << edge.centreVertex << "\n";
  }
}

void WriteEdgeDescription(const Solid& solid, int32_t e, std::ostream& out) {
  const SolidEdge& edge = solid.Edge(e);
  out << "p" << edge.startVertex << " p" << edge.endVertex << " size n" << edge.size << " ratio r" << edge.ratio;
}

void WriteEdgeListing(const Solid& solid, std::ostream& out, SolidItemRange range) {
  for (int32_t n = 1; n <= solid.EdgeCount(); ++n) {
    if (!solid.Edge(n).defined || !range.Holds(n)) continue;
    out << "; body set edge e" << n << " ";
    WriteEdgeDescription(solid, n, out);
    out << "\n";
  }
  WriteArcLines(solid, out, range);
}

void WriteFaceListing(const Solid& solid, std::ostream& out, SolidItemRange range) {
  for (int32_t n = 1; n <= solid.FaceCount(); ++n) {
    const SolidFace& face = solid.Face(n);
    if (!face.defined || !range.Holds(n)) continue;
    out << "; body set face f" << n << " ";
    for (int s = 0; s < 4; ++s) out << " e" << face.Edge(s);
    out << " ; b" << face.Cell(0);
    if (face.CellCount() == 2) out << " & b" << face.Cell(1);
    out << "\n";
  }
}

void WriteSolidCommands(const Solid& solid, std::ostream& out) {
  WriteSolidSummary(solid, out);
  WriteBlockLines(solid, out);
  WriteSizeLines(solid, out);
  WriteRatioLines(solid, out);
  WriteDimLines(solid, out);
  WritePointLines(solid, out);
  WriteFixLines(solid, out);
  WriteArcLines(solid, out);
}
