// GENERATE ZONE primitives: the description of one primitive shape, the
// options of the command that stand outside the shape, the default corner
// and inner points, the corner check and the graded mapping of the
// primitive's nodes. The cell-by-cell generation is in
// primitive_generate.cpp, the radial composites in primitive_radial.cpp and
// the uniform wedge in primitive_uwedge.cpp.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "base/matrix.h"
#include "base/string.h"

class CommandType;
class Group;
class Zone;

// The primitive shapes in the order of the GENERATE ZONE keywords.
enum PrimitiveType : int32_t {
  kPrimBrick = 1,
  kPrimWedge = 2,
  kPrimPyramid = 3,
  kPrimRadTunnel = 4,
  kPrimRadBrick = 5,
  kPrimCylinder = 6,
  kPrimRadCylinder = 7,
  kPrimCylInt = 8,
  kPrimDBrick = 9,
  kPrimCShell = 10,
  kPrimTunInt = 11,
  kPrimTetrahedron = 12,
  kPrimUWedge = 13,
};

constexpr int kPrimitivePoints = 17;
constexpr int kPrimitiveSizes = 5;
constexpr int kPrimitiveDimensions = 8;

// Corner c of a cell as index offsets (di, dj, dk), in the order of a brick
// zone's grid-points; corner points p0 ... p7 follow the same numbering.
inline constexpr int kCornerOffsets[8][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1},
                                             {1, 1, 0}, {0, 1, 1}, {1, 0, 1}, {1, 1, 1}};
// The cell across face f of a brick zone, and the face that looks back.
inline constexpr int kFaceNeighbourOffsets[6][3] = {{0, 0, -1}, {0, 0, 1}, {-1, 0, 0},
                                                    {1, 0, 0},  {0, 1, 0}, {0, -1, 0}};
inline constexpr int kOppositeFace[6] = {1, 0, 3, 2, 5, 4};

// A position function that replaces the type's own: node (i, j, k) to its position.
using PrimitivePositionFunction = std::function<Vec3(int i, int j, int k)>;

// The options of GENERATE ZONE outside the shape: the flags and groups that
// the primitive takes, and the edge and dimension values of its default
// points. Each GENERATE ZONE command and GRID start from the defaults.
struct PrimitiveOptions {
  bool fill = false;
  bool merge = true;
  String group;  // found or created when generation begins; empty: none
  String fillGroup;
  double edge = 0.0;  // 0: one length unit per zone
  double dimensions[kPrimitiveDimensions] = {};
};

// The one block of options.
PrimitiveOptions& GenerateZoneOptions();
void ResetGenerateZoneOptions();

// One primitive to generate: its type, flags, points p0 ... p16 (with the
// flags of the given ones), sizes n1 ... n5, ratios r1 ... r5 and groups.
// Node (i, j, k) runs over i = 0 ... n1 along p0 -> p1, j = 0 ... n2 along
// p0 -> p2 and k = 0 ... n3 along p0 -> p3.
class MeshPrimitive {
 public:
  explicit MeshPrimitive(int32_t primitiveType) : type(primitiveType) {}

  bool fill = false;
  bool merge = true;
  bool given[kPrimitivePoints] = {};
  int32_t type;
  int32_t size[kPrimitiveSizes] = {10, 10, 10, 10, 10};
  double ratio[kPrimitiveSizes] = {1.0, 1.0, 1.0, 1.0, 1.0};
  Vec3 point[kPrimitivePoints];
  Group* group = nullptr;
  Group* fillGroup = nullptr;
  PrimitivePositionFunction positionFunction;
  // The zones, in list order, whose free faces the primitive may meet; none:
  // every zone of the grid.
  const std::vector<Zone*>* boundaryZones = nullptr;

  // Gives every point that was not given its default: p0 at the origin, p1,
  // p2 and p3 one edge along x, y and z (the edge value, else one unit per
  // zone), p4 ... p7 completing the box, and the inner points of the radial
  // shapes along the box edges at the dimension values (a fifth of the edge
  // where a dimension is 0). Defaults chosen for dimensions are written back.
  void BuildGrid(double edge, double dimensions[kPrimitiveDimensions]);
  // The four bottom corners must be right-handed; QJExcept "Mesh primitive
  // does not conform to node numbering convention." otherwise.
  void CheckCorners() const;
  // Makes the zones and grid-points, merged with the grid that is there and
  // joined to it: cell by cell, plane by plane (see primitive_generate.cpp),
  // or piece by piece for the radial composites, or row by row for the
  // uniform wedge. A size below 1 makes nothing; a primitive too large for
  // the ids or for the machine's memory raises "Memory allocation error."
  // and a cylint with fewer than 2 zones along k raises its own error, both
  // before anything is made.
  void Generate(CommandType& interp) const;

  // Whether the shape is built in this version.
  static bool Available(int32_t type);
  // The keyword of a type, in capitals ("BRICK").
  static const char* TypeName(int32_t type);

 private:
  void BuildInnerPoints(double dimensions[kPrimitiveDimensions]);
};

// The fraction of an edge of n zones with ratio r at node i: i/n when r is
// exactly 1, else (r^i - 1)/(r^n - 1); each zone is r times the one before.
double GradedFraction(int i, int n, double r);

// The node positions of one primitive: prepared once for a generation, then
// asked for node after node. A primitive with a position function is placed
// by that function alone.
//
// Most shapes place node (i, j, k) on a line between two points that depend
// on j and k only (the row's ends), found from points that depend on k alone
// (straight edges) or on j alone (the axis of the curved shapes). Nodes come
// cell by cell, i fastest, so each of those stages is kept for the two
// values of its index that one cell uses and computed once per row or plane.
// A curved shape whose sweep reaches half a turn raises QJExcept at the
// first node that needs it.
class PrimitiveMapping {
 public:
  explicit PrimitiveMapping(const MeshPrimitive& primitive);
  Vec3 Position(int i, int j, int k) const;

  // The node of the radcylinder outline that lands on the outline's corner:
  // the first k whose fraction is nearest to one half.
  int OutlineCornerNode() const { return outlineCorner_; }

 private:
  // The ends of the line on which the nodes of row (j, k) lie.
  struct Row {
    int j = -1, k = -1;
    Vec3 from, to;
  };
  // Points along the four k edges of a straight-edged shape.
  struct Plane {
    int k = -1;
    Vec3 edge[4];
  };
  // The axis point, the unit radius vectors with the sweep between them and
  // the radii of a curved shape at one j; the radcylinder also keeps its
  // outline points.
  struct Axis {
    int j = -1;
    Vec3 centre, uHat, tHat;  // tHat: at right angles to uHat, towards wHat
    double sweep = 0.0;
    double a = 0.0, b = 0.0;            // radii along uHat and wHat
    double innerA = 0.0, innerB = 0.0;  // inner radii of the cshell
    Vec3 outline[3];                    // radcylinder outline: Q1, Q6, Q3
  };

  double Fraction(int m, int index) const { return fraction_[m][static_cast<size_t>(index)]; }
  const Row& RowAt(int j, int k) const;
  const Plane& PlaneAt(int k) const;
  const Axis& AxisAt(int j) const;
  void StraightRow(int j, int k, Row& row) const;
  void CurvedRow(int j, int k, Row& row) const;
  Vec3 WedgePosition(int i, int j, int k) const;
  Vec3 TetrahedronPosition(int i, int j, int k) const;
  // The radcylinder's point of the box outline at node k of row j.
  Vec3 OutlinePoint(const Axis& axis, int k) const;

  MeshPrimitive primitive_;
  // The graded fractions of every node index of the three directions.
  std::vector<double> fraction_[3];
  int outlineCorner_ = 0;
  // Two values of each index are in use at once: one slot per parity.
  mutable Row rows_[4];
  mutable Plane planes_[2];
  mutable Axis axes_[2];
};

// The crossing of the line through a0 and a1 with the line through b0 and
// b1, measured in the coordinate plane where they stand farthest from
// parallel: false when they are parallel or cross outside the segment
// a0 - a1 (the second segment is not bounded).
bool IntersectSegments(const Vec3& a0, const Vec3& a1, const Vec3& b0, const Vec3& b1, Vec3& point);
