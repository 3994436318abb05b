// The solid kernel behind BODY: a body made of hexahedral cells (some of
// them degenerate), their faces, straight or arc edges, vertices, the zone
// counts and grading ratios of the edges, and the fix relations that tie a
// vertex to other vertices through dimension values.
//
// All of it lives in eight fixed-capacity tables inside one Solid, allocated
// once by the constructor. Records refer to each other by number only:
// vertices are numbered from 0, every other table from 1. A new record takes
// the lowest free number. Every access by number goes through
// SolidIndexCheck, which raises "Solid index n out of range".
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <type_traits>

#include "base/except.h"
#include "base/matrix.h"
#include "base/memory.h"
#include "base/string.h"

constexpr int32_t kSolidVertices = 600;  // numbers 0..599
constexpr int32_t kSolidEdges = 1000;    // numbers 1..1000 from here on
constexpr int32_t kSolidFaces = 800;
constexpr int32_t kSolidCells = 300;
constexpr int32_t kSolidDims = 100;
constexpr int32_t kSolidRatios = 100;
constexpr int32_t kSolidSizes = 150;
constexpr int32_t kSolidFixes = 100;

// Zone counts an edge may hold: its grid parameters run from 0 to the count
// in a table of 100 entries.
constexpr int32_t kSolidMinSize = 1;
constexpr int32_t kSolidMaxSize = 99;

// Raises IndexRangeExcept "Solid index n out of range".
[[noreturn]] void SolidIndexError(int32_t n);
// Raises that error unless lo <= n <= hi.
inline void SolidIndexCheck(int32_t n, int32_t lo, int32_t hi) {
  if (n < lo || n > hi) SolidIndexError(n);
}

// Cell forms, in the order of their words.
enum SolidForm : int32_t {
  kFormBrick = 0,
  kFormDBrick = 1,
  kFormWedge = 2,
  kFormWedge2 = 3,
  kFormPyramid = 4,
  kFormTetra = 5,
  kFormTetra2 = 6,
  kFormNone = 7,
};
// "brick", "dbrick", "wedge", "wedge2", "pyramid", "tetra", "tetra2"; null for any other form.
const char* SolidFormName(int32_t form);

// Local numbering of a cell. Local vertex k sits at the unit-cube corner
// kSolidCellCorner[k] in the cell's own directions; a new vertex made by a
// block form is placed there too.
inline constexpr double kSolidCellCorner[8][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1},
                                                  {1, 1, 0}, {0, 1, 1}, {1, 0, 1}, {1, 1, 1}};
// Local edge k (1..12) runs from local vertex [k - 1][0] to [k - 1][1]; its
// direction class (1 local x, 2 local y, 3 local z) is k modulo 3, 0 read as 3.
inline constexpr int32_t kSolidCellEdgeEnds[12][2] = {{0, 1}, {0, 2}, {0, 3}, {2, 4}, {1, 4}, {1, 6},
                                                      {3, 6}, {3, 5}, {2, 5}, {5, 7}, {6, 7}, {4, 7}};
constexpr int32_t SolidEdgeClass(int32_t local) { return local % 3 == 0 ? 3 : local % 3; }
// Local face f (1..6) as its cycle of local edges: the planes x = 0, x = 1,
// y = 0, y = 1, z = 0, z = 1 of the unit cube. The sense is the one the face
// gets in the first cell that uses it: +1 when its corner order, by the
// right-hand rule, points out of the cell.
inline constexpr int32_t kSolidCellFaceEdges[6][4] = {{2, 9, 8, 3},   {5, 12, 11, 6}, {1, 6, 7, 3},
                                                      {4, 12, 10, 9}, {1, 5, 4, 2},   {7, 11, 10, 8}};
inline constexpr int32_t kSolidCellFirstSense[6] = {-1, 1, 1, -1, -1, 1};

// Kinds of fix relation: the fixed vertex depends on kind + 1 vertices and
// kind dimensions.
enum SolidFixKind : int32_t { kFixPoint = 0, kFixLine = 1, kFixPlane = 2, kFixSpace = 3 };

struct SolidVertex {
  bool defined;
  int32_t fix;  // the governing fix relation, 0 = free vertex
  Vec3 position;
};

// The evaluated geometry of an edge: a circular or elliptic arc about a
// centre, or the straight segment between its ends. Points along it run
// from parameter 0 at the start to 1 at the end.
struct SolidArc {
  bool defined;
  bool arc;  // evaluate as an arc (unless it degenerates)
  Vec3 centre;
  Vec3 firstAxis;   // for a segment: the start point
  Vec3 secondAxis;  // for a segment: the end point
  double startAngle;
  double sweep;
  bool straight;  // the arc degenerates: evaluate the segment

  // Recomputes the geometry from centre o, start a, end b and a point d
  // towards which the major axis of an ellipse points.
  void Set(const Vec3& o, const Vec3& a, const Vec3& b, const Vec3& d);
  // As Set, with the major axis towards the end farther from the centre;
  // without the arc flag only the two end points are stored.
  void SetThreePoint(const Vec3& o, const Vec3& a, const Vec3& b);
  Vec3 Point(double t) const;
};

struct SolidEdge : SolidArc {
  int32_t centreVertex;  // 0 when never set
  int32_t startVertex;
  int32_t endVertex;
  int32_t axisVertex;  // -1 = none
  int32_t size;        // entry of the size table
  int32_t ratio;       // entry of the ratio table
};

// A four-sided face. Corner i lies between edge i - 1 and edge i of the
// cycle (corner 0 between the last edge and the first); corners, edges and
// the two cell slots are numbered from 0.
class SolidFace {
 public:
  bool defined;

  int32_t Vertex(int32_t corner) const {
    SolidIndexCheck(corner, 0, 3);
    return vertex_[corner];
  }
  int32_t Edge(int32_t index) const {
    SolidIndexCheck(index, 0, 3);
    return edge_[index];
  }
  // The cell in slot 0 or 1 and the local face number (1..6) it sees this face as.
  int32_t Cell(int32_t slot) const;
  int32_t Side(int32_t slot) const;
  int32_t CellCount() const { return cellCount_; }
  bool HoldsEdge(int32_t edge) const;

  // Stores the corners and the edge cycle, defines the face with no cell,
  // then adds the cell unless it is 0.
  void Set(int32_t cell, int32_t side, int32_t c0, int32_t c1, int32_t c2, int32_t c3, int32_t e1, int32_t e2,
           int32_t e3, int32_t e4);
  void AddCell(int32_t cell, int32_t side);
  // The cell in the second slot moves up when the first is removed.
  void RemoveCell(int32_t cell);
  void ClearCells() { cellCount_ = 0; }

 private:
  int32_t vertex_[4];
  int32_t edge_[4];
  int32_t cell_[2];
  int32_t side_[2];
  int32_t cellCount_;
};

// One block: local vertices 0..7, local edges 1..12, local faces 1..6.
class SolidCell {
 public:
  bool defined;
  int32_t form;     // SolidForm
  double reals[3];  // carried along; the kernel gives them no meaning
  bool shown;       // false: BODY hides the block

  int32_t Vertex(int32_t local) const {
    SolidIndexCheck(local, 0, 7);
    return vertex_[local];
  }
  int32_t Edge(int32_t local) const {
    SolidIndexCheck(local, 1, 12);
    return edge_[local - 1];
  }
  int32_t Face(int32_t local) const;
  int32_t FaceSense(int32_t local) const;
  void SetVertices(const int32_t (&vertices)[8]);
  void SetEdge(int32_t local, int32_t edge);
  void SetFace(int32_t local, int32_t face, int32_t sense);
  // Free, vertices -1, edges and faces 0, senses +1, no form, reals 0, shown.
  void Reset();

 private:
  int32_t vertex_[8];
  int32_t edge_[12];
  int32_t face_[6];
  int32_t sense_[6];
};

struct SolidValue {
  bool defined;
  double value;
};

struct SolidCount {
  bool defined;
  int32_t value;
};

struct SolidFix {
  bool defined;
  int32_t kind;          // SolidFixKind
  bool arc;              // kind 1 only: on an arc about the centre vertex
  int32_t centreVertex;  // arcs only
  int32_t axisVertex;    // arcs only, -1 = none
  int32_t vertices[4];   // kind k uses the first k + 1
  int32_t dims[3];       // kind k uses the first k
};

// A fixed-size array of plain records from the checked allocator.
template <typename T, int32_t N>
class SolidTable {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  SolidTable() : data_(static_cast<T*>(MemAlloc(sizeof(T) * N))) { std::uninitialized_value_construct_n(data_, N); }
  SolidTable(const SolidTable& other) : data_(static_cast<T*>(MemAlloc(sizeof(T) * N))) {
    std::memcpy(data_, other.data_, sizeof(T) * N);
  }
  SolidTable& operator=(const SolidTable& other) {
    if (this != &other) std::memcpy(data_, other.data_, sizeof(T) * N);
    return *this;
  }
  ~SolidTable() { MemFree(data_); }
  // Slot i counted from 0; the caller has checked the number.
  T& operator[](int32_t i) { return data_[i]; }
  const T& operator[](int32_t i) const { return data_[i]; }

 private:
  T* data_;
};

class Solid {
 public:
  Solid();
  Solid(const Solid& other) = default;
  Solid& operator=(const Solid& other) = default;
  ~Solid() = default;

  // Counts: highest vertex number + 1, elsewhere the highest number in use.
  int32_t VertexCount() const { return vertexCount_; }
  int32_t EdgeCount() const { return edgeCount_; }
  int32_t FaceCount() const { return faceCount_; }
  int32_t CellCount() const { return cellCount_; }
  int32_t DimCount() const { return dimCount_; }
  int32_t SizeCount() const { return sizeCount_; }
  int32_t RatioCount() const { return ratioCount_; }
  int32_t FixCount() const { return fixCount_; }

  const String& Name() const { return name_; }
  // Letters and digits only; empty is refused.
  void SetName(const String& name);

  // Checked access by number.
  SolidVertex& Vertex(int32_t v) {
    SolidIndexCheck(v, 0, kSolidVertices - 1);
    return vertices_[v];
  }
  const SolidVertex& Vertex(int32_t v) const {
    SolidIndexCheck(v, 0, kSolidVertices - 1);
    return vertices_[v];
  }
  SolidEdge& Edge(int32_t e) {
    SolidIndexCheck(e, 1, kSolidEdges);
    return edges_[e - 1];
  }
  const SolidEdge& Edge(int32_t e) const {
    SolidIndexCheck(e, 1, kSolidEdges);
    return edges_[e - 1];
  }
  SolidFace& Face(int32_t f) {
    SolidIndexCheck(f, 1, kSolidFaces);
    return faces_[f - 1];
  }
  const SolidFace& Face(int32_t f) const {
    SolidIndexCheck(f, 1, kSolidFaces);
    return faces_[f - 1];
  }
  SolidCell& Cell(int32_t c) {
    SolidIndexCheck(c, 1, kSolidCells);
    return cells_[c - 1];
  }
  const SolidCell& Cell(int32_t c) const {
    SolidIndexCheck(c, 1, kSolidCells);
    return cells_[c - 1];
  }
  const SolidValue& Dim(int32_t d) const;
  const SolidValue& Ratio(int32_t r) const;
  const SolidCount& Size(int32_t s) const;
  SolidFix& Fix(int32_t f);
  const SolidFix& Fix(int32_t f) const;
  Vec3 VertexPosition(int32_t v) const { return Vertex(v).position; }

  // Setters by number: each defines the record and raises the count.
  void SetVertex(int32_t v, double x, double y, double z);
  void SetDim(int32_t d, double value);
  // A negative number stores 1 / value at the absolute number.
  void SetRatio(int32_t r, double value);
  // The count must lie in 1..99.
  void SetSize(int32_t s, int32_t count);
  void SetEdgeRatio(int32_t e, int32_t ratio);
  void SetEdgeArc(int32_t e, bool arc);
  void SetEdgeCentre(int32_t e, int32_t centre);
  // Stores the axis vertex without defining the edge.
  void SetEdgeAxis(int32_t e, int32_t axis);
  void SetEdgeCentreAxis(int32_t e, int32_t centre, int32_t axis);

  // Adders: the lowest free record, defined; its number.
  int32_t AddVertex(double x, double y, double z);
  int32_t AddSize(int32_t count);
  int32_t AddRatio(double value);
  int32_t AddDim(double value);
  int32_t NewEdge();
  int32_t NewFace();
  int32_t NewCell();
  int32_t NewFix();
  // The edge between a and b (either order) if there is one, unchanged;
  // else a new straight edge from a to b, with a new size of 3 zones when
  // size < 1 and a new ratio of 1.0 when ratio < 1.
  int32_t AddEdge(int32_t a, int32_t b, int32_t size, int32_t ratio);

  // Searches: a number, or 0 when nothing is found; `from` is the first
  // number looked at.
  int32_t FindEdge(int32_t a, int32_t b) const;
  // The face whose edge cycle holds e1, e2, e3 in a row, forwards or backwards.
  int32_t FindFace(int32_t e1, int32_t e2, int32_t e3) const;
  int32_t EdgeUsingVertex(int32_t v, int32_t from = 1) const;
  int32_t EdgeUsingSize(int32_t s, int32_t from = 1) const;
  int32_t EdgeUsingRatio(int32_t r, int32_t from = 1) const;
  int32_t FaceUsingEdge(int32_t e, int32_t from = 1) const;
  int32_t FixUsingVertex(int32_t v, int32_t from = 1) const;
  int32_t FixUsingDim(int32_t d, int32_t from = 1) const;

  // Clearing one entry; refused while something refers to it.
  void ClearVertex(int32_t v);
  void ClearSize(int32_t s);
  void ClearRatio(int32_t r);
  void ClearDim(int32_t d);

  // Whole solid.
  void Clear();
  void PurgeSizes();
  void PurgeRatios();
  void PurgeVertices();
  void PurgeDims();
  // Purges, then lowers the counts past free records at the top.
  void Compact();

  // Edge geometry from the current vertex positions.
  void UpdateEdge(int32_t e);
  void UpdateEdges();

  // Fix relations. Each replaces the vertex's previous relation.
  void FixPoint(int32_t v, int32_t p0);
  void FixLine(int32_t v, int32_t p0, int32_t p1, int32_t d1);
  void FixArc(int32_t v, int32_t centre, int32_t p0, int32_t p1, int32_t axis, int32_t d1);
  void FixPlane(int32_t v, int32_t p0, int32_t p1, int32_t p2, int32_t d1, int32_t d2);
  void FixSpace(int32_t v, int32_t p0, int32_t p1, int32_t p2, int32_t p3, int32_t d1, int32_t d2, int32_t d3);
  // Defines the vertex and frees its relation.
  void UnfixVertex(int32_t v);
  // The position of one fixed vertex from its relation.
  void computefixvert(int32_t v);
  // Every fixed vertex, in increasing order.
  void ComputeFixedVertices();

  // Cells. setcell defines a cell of the given form from its local vertices
  // (negative: a new vertex), sizes and ratios (0: from a shared edge or a
  // new default entry; a negative ratio grades against the local direction);
  // cell 0 takes a new number. Returns the cell number.
  int32_t setcell(int32_t cell, int32_t form, const int32_t (&vertices)[8], int32_t s1, int32_t s2, int32_t s3,
                  int32_t r1, int32_t r2, int32_t r3);
  // The face bounded by the four edges in this cyclic order, made or joined.
  int32_t Makeface(int32_t cell, int32_t side, int32_t e1, int32_t e2, int32_t e3, int32_t e4);
  // Block forms from their distinct vertices; a negative vertex is made at
  // the unit-cube corner of its place in the list.
  int32_t SetBrick(int32_t cell, const int32_t (&q)[8], int32_t s1, int32_t s2, int32_t s3, int32_t r1, int32_t r2,
                   int32_t r3);
  int32_t SetDBrick(int32_t cell, const int32_t (&q)[7], int32_t s1, int32_t s2, int32_t s3, int32_t r1, int32_t r2,
                    int32_t r3);
  int32_t SetWedge(int32_t cell, const int32_t (&q)[6], int32_t s1, int32_t s2, int32_t s3, int32_t r1, int32_t r2,
                   int32_t r3);
  int32_t SetWedge2(int32_t cell, const int32_t (&q)[6], int32_t s1, int32_t s2, int32_t s3, int32_t r1, int32_t r2,
                    int32_t r3);
  int32_t SetPyramid(int32_t cell, const int32_t (&q)[5], int32_t s1, int32_t s2, int32_t s3, int32_t r1, int32_t r2,
                     int32_t r3);
  int32_t SetTetra(int32_t cell, const int32_t (&q)[4], int32_t s1, int32_t s2, int32_t s3, int32_t r1, int32_t r2,
                   int32_t r3);
  // Removes the cell with the faces, edges, sizes and ratios only it used, then compacts.
  void DeleteCell(int32_t cell);

  // Ready-made arrangements of cells.
  void MakeCylinder();
  void MakeRadBrick();
  void MakeRadTunnel();
  void MakeRadCylinder();
  void MakeCShell();
  void MakeCylInt();
  void MakeTunInt();

  // Copies the source into this solid through number maps owned by the
  // caller: cells and sizes, ratios, dimensions indexed by source number - 1,
  // vertices by source number. An entry asking for a new record receives
  // the number used.
  void setsolid(const Solid* source, std::span<int32_t> cellMap, std::span<int32_t> vertexMap,
                std::span<int32_t> sizeMap, std::span<int32_t> ratioMap, std::span<int32_t> dimMap);

 private:
  SolidValue& DimRecord(int32_t d);
  SolidValue& RatioRecord(int32_t r);
  SolidCount& SizeRecord(int32_t s);
  int32_t NewFixFor(int32_t v);

  int32_t vertexCount_ = 0;
  int32_t edgeCount_ = 0;
  int32_t faceCount_ = 0;
  int32_t cellCount_ = 0;
  int32_t dimCount_ = 0;
  int32_t sizeCount_ = 0;
  int32_t ratioCount_ = 0;
  int32_t fixCount_ = 0;
  String name_;
  SolidTable<SolidVertex, kSolidVertices> vertices_;
  SolidTable<SolidEdge, kSolidEdges> edges_;
  SolidTable<SolidFace, kSolidFaces> faces_;
  SolidTable<SolidCell, kSolidCells> cells_;
  SolidTable<SolidValue, kSolidDims> dims_;
  SolidTable<SolidValue, kSolidRatios> ratios_;
  SolidTable<SolidCount, kSolidSizes> sizes_;
  SolidTable<SolidFix, kSolidFixes> fixes_;
};
