// Fix relations: a vertex placed from other vertices and dimension values,
// at a point, on a line or an arc, in a plane or in space.
#include <initializer_list>

#include "generate/body/solid.h"

void Solid::UnfixVertex(int32_t v) {
  SolidVertex& vertex = Vertex(v);
  vertex.defined = true;
  if (v + 1 > vertexCount_) vertexCount_ = v + 1;
  if (vertex.fix != 0) {
    SolidFix& fix = Fix(vertex.fix);
    fix.defined = false;
    fix.kind = 0;
  }
  vertex.fix = 0;
}

// Frees the vertex's earlier relation, then takes a record for the new one
// with every field reset, so nothing of a record's previous use shows through.
int32_t Solid::NewFixFor(int32_t v) {
  UnfixVertex(v);
  const int32_t f = NewFix();
  SolidFix& fix = Fix(f);
  fix.kind = kFixPoint;
  fix.arc = false;
  fix.centreVertex = 0;
  fix.axisVertex = -1;
  for (int32_t& p : fix.vertices) p = 0;
  for (int32_t& d : fix.dims) d = 0;
  Vertex(v).fix = f;
  return f;
}

namespace {

void CheckVertexNumbers(std::initializer_list<int32_t> vertices) {
  for (int32_t v : vertices) SolidIndexCheck(v, 0, kSolidVertices - 1);
}

void CheckDimNumbers(std::initializer_list<int32_t> dims) {
  for (int32_t d : dims) SolidIndexCheck(d, 1, kSolidDims);
}

}  // namespace

void Solid::FixPoint(int32_t v, int32_t p0) {
  CheckVertexNumbers({v, p0});
  SolidFix& fix = Fix(NewFixFor(v));
  fix.vertices[0] = p0;
}

void Solid::FixLine(int32_t v, int32_t p0, int32_t p1, int32_t d1) {
  CheckVertexNumbers({v, p0, p1});
  CheckDimNumbers({d1});
  SolidFix& fix = Fix(NewFixFor(v));
  fix.kind = kFixLine;
  fix.vertices[0] = p0;
  fix.vertices[1] = p1;
  fix.dims[0] = d1;
}

void Solid::FixArc(int32_t v, int32_t centre, int32_t p0, int32_t p1, int32_t axis, int32_t d1) {
  CheckVertexNumbers({v, centre, p0, p1});
  if (axis != -1) SolidIndexCheck(axis, 0, kSolidVertices - 1);
  CheckDimNumbers({d1});
  SolidFix& fix = Fix(NewFixFor(v));
  fix.kind = kFixLine;
  fix.arc = true;
  fix.centreVertex = centre;
  fix.axisVertex = axis;
  fix.vertices[0] = p0;
  fix.vertices[1] = p1;
  fix.dims[0] = d1;
}

void Solid::FixPlane(int32_t v, int32_t p0, int32_t p1, int32_t p2, int32_t d1, int32_t d2) {
  CheckVertexNumbers({v, p0, p1, p2});
  CheckDimNumbers({d1, d2});
  SolidFix& fix = Fix(NewFixFor(v));
  fix.kind = kFixPlane;
  fix.vertices[0] = p0;
  fix.vertices[1] = p1;
  fix.vertices[2] = p2;
  fix.dims[0] = d1;
  fix.dims[1] = d2;
}

void Solid::FixSpace(int32_t v, int32_t p0, int32_t p1, int32_t p2, int32_t p3, int32_t d1, int32_t d2, int32_t d3) {
  CheckVertexNumbers({v, p0, p1, p2, p3});
  CheckDimNumbers({d1, d2, d3});
  SolidFix& fix = Fix(NewFixFor(v));
  fix.kind = kFixSpace;
  fix.vertices[0] = p0;
  fix.vertices[1] = p1;
  fix.vertices[2] = p2;
  fix.vertices[3] = p3;
  fix.dims[0] = d1;
  fix.dims[1] = d2;
  fix.dims[2] = d3;
}

void Solid::computefixvert(int32_t v) {
  const SolidVertex& vertex = Vertex(v);
  if (!vertex.defined || vertex.fix == 0) return;
  const SolidFix& fix = Fix(vertex.fix);
  if (!fix.defined) throw SolidExcept("computefixvert-fix does not exist!");
  Vec3 position;
  if (fix.arc) {
    SolidArc arc{};
    arc.arc = true;
    const Vec3 o = VertexPosition(fix.centreVertex);
    const Vec3 a = VertexPosition(fix.vertices[0]);
    const Vec3 b = VertexPosition(fix.vertices[1]);
    if (fix.axisVertex >= 0) {
      arc.Set(o, a, b, VertexPosition(fix.axisVertex));
    } else {
      arc.SetThreePoint(o, a, b);
    }
    position = arc.Point(Dim(fix.dims[0]).value);
  } else {
    const int32_t kind = fix.kind < kFixPoint ? kFixPoint : fix.kind > kFixSpace ? kFixSpace : fix.kind;
    double s[3] = {};
    double sum = 0.0;
    for (int32_t i = 0; i < kind; ++i) {
      s[i] = Dim(fix.dims[i]).value;
      sum += s[i];
    }
    position = VertexPosition(fix.vertices[0]) * (1.0 - sum);
    for (int32_t i = 0; i < kind; ++i) position += VertexPosition(fix.vertices[i + 1]) * s[i];
  }
  SetVertex(v, position.x, position.y, position.z);
}

void Solid::ComputeFixedVertices() {
  for (int32_t v = 0; v < vertexCount_; ++v) {
    if (Vertex(v).fix > 0) computefixvert(v);
  }
}
