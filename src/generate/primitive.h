// GENERATE ZONE primitives: the description of one primitive shape, the
// options of the command that stand outside the shape, the default corner
// points, the corner check and the graded mapping of the primitive's nodes.
// The generation of zones and grid-points is in primitive_generate.cpp.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "base/matrix.h"
#include "base/string.h"

class CommandType;
class Group;

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
inline constexpr int kFaceNeighbourOffsets[6][3] = {{0, 0, -1}, {0, 0, 1}, {-1, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}};
inline constexpr int kOppositeFace[6] = {1, 0, 3, 2, 5, 4};

// A position function that replaces the type's own: node (i, j, k) to its position.
using PrimitivePositionFunction = std::function<Vec3(int i, int j, int k)>;

// The options of GENERATE ZONE outside the shape: the flags and groups that
// the primitive takes, and the edge and dimension values of its default
// points. Each GENERATE ZONE command and GRID start from the defaults.
struct PrimitiveOptions {
  bool fill = false;
  bool merge = true;
  String group;      // found or created when generation begins; empty: none
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

  // Gives every point that was not given its default: p0 at the origin, p1,
  // p2 and p3 one edge along x, y and z (the edge value, else one unit per
  // zone), p4 ... p7 completing the box. Defaults chosen for dimensions are
  // written back.
  void BuildGrid(double edge, double dimensions[kPrimitiveDimensions]);
  // The four bottom corners must be right-handed; QJExcept "Mesh primitive
  // does not conform to node numbering convention." otherwise.
  void CheckCorners() const;
  // Makes the zones and grid-points plane by plane, merged with the grid
  // that is there and joined to it (see primitive_generate.cpp). A size
  // below 1 makes nothing; a primitive too large for the ids or for the
  // machine's memory raises "Memory allocation error." before anything is made.
  void Generate(CommandType& interp) const;

  // Whether the shape is built in this version (brick and wedge).
  static bool Available(int32_t type);
  // The keyword of a type, in capitals ("BRICK").
  static const char* TypeName(int32_t type);
};

// The fraction of an edge of n zones with ratio r at node i: i/n when r is
// exactly 1, else (r^i - 1)/(r^n - 1); each zone is r times the one before.
double GradedFraction(int i, int n, double r);

// The node positions of one primitive: prepared once for a generation, then
// asked for node after node. A primitive with a position function is placed
// by that function alone.
class PrimitiveMapping {
 public:
  explicit PrimitiveMapping(const MeshPrimitive& primitive);
  Vec3 Position(int i, int j, int k) const;

 private:
  Vec3 BrickPosition(int i, int j, int k) const;
  Vec3 WedgePosition(int i, int j, int k) const;

  MeshPrimitive primitive_;
  // The graded fractions of every node index of the three directions.
  std::vector<double> fraction_[3];
};
