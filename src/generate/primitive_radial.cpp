// The radial primitives taken apart into simpler ones: each piece is a copy
// of the radial primitive with some points, sizes and ratios replaced, and is
// generated in turn as a whole primitive, so that it merges with and joins
// the pieces made before it as if the user had generated them one by one.
//
// The outer box is p0 ... p7; the opening lies along the edge p0 - p2, its
// inner points p8 ... p16 completed by MeshPrimitive::BuildGrid. The band
// between the opening and the box takes n4 zones graded by r4 (cylint and
// tunint hand their n4, n5, r4 and r5 on to their radial pieces).
#include <cfloat>
#include <cmath>

#include "generate/gen_math.h"
#include "generate/primitive_builders.h"

namespace {

Vec3 Mid(const Vec3& a, const Vec3& b) { return (a + b) * 0.5; }
Vec3 Lerp(const Vec3& a, const Vec3& b, double t) { return a + (b - a) * t; }

// A copy of the primitive as a piece of the given type.
MeshPrimitive PieceOf(const MeshPrimitive& p, int32_t type) {
  MeshPrimitive piece = p;
  piece.type = type;
  return piece;
}

// radtunnel: the opening is the box p0, p8 (along i), p9 (along k), p12 at
// j = 0 and p2, p10, p11, p13 at j = n2. Above it n1 zones across and n4 up
// to the top face; beside it n4 zones out to the far i face and n3 up. The
// two meet on the diagonal band from p12 - p13 to p6 - p7.
std::vector<MeshPrimitive> RadTunnelPieces(const MeshPrimitive& p) {
  const Vec3* q = p.point;
  std::vector<MeshPrimitive> pieces;
  MeshPrimitive above = PieceOf(p, kPrimBrick);
  above.point[0] = q[9];
  above.point[1] = q[12];
  above.point[2] = q[11];
  above.point[4] = q[13];
  above.size[2] = p.size[3];
  above.ratio[2] = p.ratio[3];
  pieces.push_back(above);
  MeshPrimitive beside = PieceOf(p, kPrimBrick);
  beside.point[0] = q[8];
  beside.point[2] = q[10];
  beside.point[3] = q[12];
  beside.point[5] = q[13];
  beside.size[0] = p.size[3];
  beside.ratio[0] = p.ratio[3];
  pieces.push_back(beside);
  if (p.fill) {
    MeshPrimitive opening = PieceOf(p, kPrimBrick);
    const int from[6] = {8, 9, 10, 11, 12, 13}, to[6] = {1, 3, 4, 5, 6, 7};
    for (int m = 0; m < 6; ++m) opening.point[to[m]] = q[from[m]];
    opening.group = p.fillGroup;
    pieces.push_back(opening);
  }
  return pieces;
}

// radbrick: the opening is the box p0, p8 (i), p9 (j), p10 (k), p11 (i-j),
// p12 (j-k), p13 (i-k), p14 (far corner), with a band of n4 zones above it
// and beside it along i and along j.
std::vector<MeshPrimitive> RadBrickPieces(const MeshPrimitive& p) {
  const Vec3* q = p.point;
  std::vector<MeshPrimitive> pieces;
  MeshPrimitive above = PieceOf(p, kPrimBrick);
  above.point[0] = q[10];
  above.point[1] = q[13];
  above.point[2] = q[12];
  above.point[4] = q[14];
  above.size[2] = p.size[3];
  above.ratio[2] = p.ratio[3];
  pieces.push_back(above);
  MeshPrimitive besideI = PieceOf(p, kPrimBrick);
  besideI.point[0] = q[8];
  besideI.point[2] = q[11];
  besideI.point[3] = q[13];
  besideI.point[5] = q[14];
  besideI.size[0] = p.size[3];
  besideI.ratio[0] = p.ratio[3];
  pieces.push_back(besideI);
  MeshPrimitive besideJ = PieceOf(p, kPrimBrick);
  besideJ.point[0] = q[9];
  besideJ.point[1] = q[11];
  besideJ.point[3] = q[12];
  besideJ.point[6] = q[14];
  besideJ.size[1] = p.size[3];
  besideJ.ratio[1] = p.ratio[3];
  pieces.push_back(besideJ);
  if (p.fill) {
    MeshPrimitive opening = PieceOf(p, kPrimBrick);
    for (int m = 1; m <= 7; ++m) opening.point[m] = q[m + 7];
    opening.group = p.fillGroup;
    pieces.push_back(opening);
  }
  return pieces;
}

// The cylinder that fills a radcylinder's opening: its curved surface runs
// through p8 - p10 and p9 - p11.
MeshPrimitive RadCylinderFill(const MeshPrimitive& p) {
  MeshPrimitive cylinder = PieceOf(p, kPrimCylinder);
  cylinder.point[1] = p.point[8];
  cylinder.point[3] = p.point[9];
  cylinder.point[4] = p.point[10];
  cylinder.point[5] = p.point[11];
  cylinder.group = p.fillGroup;
  return cylinder;
}

// The cylinder inside a cshell, out to the shell's inner surface with n4
// zones graded by r4. It merges and joins as the shell does.
MeshPrimitive CShellFill(const MeshPrimitive& p) {
  MeshPrimitive cylinder(kPrimCylinder);
  cylinder.merge = p.merge;
  cylinder.point[0] = p.point[0];
  cylinder.point[1] = p.point[8];
  cylinder.point[2] = p.point[2];
  cylinder.point[3] = p.point[9];
  cylinder.point[4] = p.point[10];
  cylinder.point[5] = p.point[11];
  cylinder.size[0] = p.size[3];
  cylinder.size[1] = p.size[1];
  cylinder.size[2] = p.size[2];
  cylinder.ratio[0] = p.ratio[3];
  cylinder.ratio[1] = p.ratio[1];
  cylinder.ratio[2] = p.ratio[2];
  cylinder.group = p.fillGroup;
  return cylinder;
}

// The point between a and its two neighbours b and c, or the middle of a
// and d when that one lies nearer to a.
Vec3 SplitPoint(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d) {
  const Vec3 q1 = Mid(a, b), q2 = Mid(a, c), q3 = Mid(a, d);
  const Vec3 s = q1 + q2 - a;
  return GenLength(s - a) < GenLength(q3 - a) ? s : q3;
}

// Where the two openings of a cylint or tunint meet the box: the split
// points s (near p4) and sTop (near p7) and the middles of the box edges
// beside them.
struct Split {
  Vec3 q1, q2, s;           // at p4: towards the i-edge opening, the j-edge one
  Vec3 q1Top, q2Top, sTop;  // at p7: towards p6 and p5
};

Split SplitOf(const MeshPrimitive& p, int iOpening, int jOpening) {
  const Vec3* q = p.point;
  Split split;
  split.q1 = Mid(q[4], q[iOpening]);
  split.q2 = Mid(q[4], q[jOpening]);
  split.s = SplitPoint(q[4], q[iOpening], q[jOpening], q[8]);
  split.q1Top = Mid(q[7], q[6]);
  split.q2Top = Mid(q[7], q[5]);
  split.sTop = SplitPoint(q[7], q[6], q[5], q[3]);
  return split;
}

// The two radial pieces along the j edge and along the i edge (the second
// runs its axis from p1 back to p0, so its j grading is inverted), with the
// split points as their outer corners.
void AlongTheEdges(const MeshPrimitive& p, const Split& split, MeshPrimitive& alongJ, MeshPrimitive& alongI) {
  const Vec3* q = p.point;
  alongJ.point[1] = split.s;
  alongJ.point[4] = split.q2;
  alongJ.point[6] = split.sTop;
  alongJ.point[7] = split.q2Top;
  alongI.size[1] = p.size[0];
  alongI.ratio[1] = 1.0 / p.ratio[0];
  alongI.point[0] = q[1];
  alongI.point[1] = split.q1;
  alongI.point[2] = q[0];
  alongI.point[3] = q[6];
  alongI.point[4] = split.s;
  alongI.point[5] = q[3];
  alongI.point[6] = split.q1Top;
  alongI.point[7] = split.sTop;
}

// cylint: two quarter-cylinder openings, along the j edge (inner points p8,
// p9 at p0 and p10, p11 at p2) and along the i edge (p12, p13 at p1, and p8,
// p9 at p0), as radcylinders; the block between the split points as two
// bricks, the second one zone high, meeting the radcylinders' outline where
// its corner node sits.
std::vector<MeshPrimitive> CylIntPieces(const MeshPrimitive& p) {
  const Vec3* q = p.point;
  const Split split = SplitOf(p, 12, 10);
  MeshPrimitive alongJ = PieceOf(p, kPrimRadCylinder);
  MeshPrimitive alongI = PieceOf(p, kPrimRadCylinder);
  AlongTheEdges(p, split, alongJ, alongI);
  for (MeshPrimitive* r : {&alongJ, &alongI}) {
    r->size[0] = p.size[4];
    r->ratio[0] = p.ratio[4];
  }
  alongI.point[8] = q[12];
  alongI.point[9] = q[13];
  alongI.point[10] = q[8];
  alongI.point[11] = q[9];
  // The node nearest the middle of k (the first on equal distances).
  const int n3 = p.size[2];
  int h = 0;
  double best = DBL_MAX;
  for (int k = 0; k < n3; ++k) {
    const double distance = std::fabs(GradedFraction(k, n3, p.ratio[2]) - 0.5);
    if (distance < best) {
      best = distance;
      h = k;
    }
  }
  // The bricks split the block between the split points where the
  // radcylinders' outline has its node h - 1: at twice its fraction when
  // graded, and at (h - 1) / h of the way with ratio 1, where the outline
  // spreads h zones evenly up to its corner (for an even n3 the two agree).
  const double t = p.ratio[2] == 1.0 ? static_cast<double>(h - 1) / h : 2.0 * GradedFraction(h - 1, n3, p.ratio[2]);
  const Vec3 s = Lerp(split.s, split.sTop, t), q1 = Lerp(split.q1, split.q1Top, t);
  const Vec3 q2 = Lerp(split.q2, split.q2Top, t), corner = Lerp(q[4], q[7], t);
  MeshPrimitive lower = PieceOf(p, kPrimBrick);
  lower.size[2] = h - 1;
  lower.point[0] = split.s;
  lower.point[1] = split.q1;
  lower.point[2] = split.q2;
  lower.point[3] = s;
  lower.point[5] = q2;
  lower.point[6] = q1;
  lower.point[7] = corner;
  MeshPrimitive upper = PieceOf(p, kPrimBrick);
  upper.size[2] = 1;
  upper.point[0] = s;
  upper.point[1] = q1;
  upper.point[2] = q2;
  upper.point[3] = split.sTop;
  upper.point[4] = corner;
  upper.point[5] = split.q2Top;
  upper.point[6] = split.q1Top;
  return {alongJ, alongI, lower, upper};
}

// tunint: the same arrangement with two tunnel openings, the i-edge one with
// its inner points p14, p15, p16 at p1; the block between the split points
// is one brick.
std::vector<MeshPrimitive> TunIntPieces(const MeshPrimitive& p) {
  const Vec3* q = p.point;
  const Split split = SplitOf(p, 14, 11);
  MeshPrimitive alongJ = PieceOf(p, kPrimRadTunnel);
  MeshPrimitive alongI = PieceOf(p, kPrimRadTunnel);
  AlongTheEdges(p, split, alongJ, alongI);
  for (MeshPrimitive* r : {&alongJ, &alongI}) {
    r->size[0] = p.size[2];
    r->size[2] = p.size[3];
    r->size[3] = p.size[4];
    r->ratio[0] = p.ratio[2];
    r->ratio[2] = p.ratio[3];
    r->ratio[3] = p.ratio[4];
  }
  alongJ.point[10] = q[11];
  alongJ.point[11] = q[12];
  alongJ.point[12] = q[10];
  alongI.point[8] = q[14];
  alongI.point[9] = q[15];
  alongI.point[10] = q[8];
  alongI.point[11] = q[9];
  alongI.point[12] = q[16];
  alongI.point[13] = q[10];
  MeshPrimitive block = PieceOf(p, kPrimBrick);
  block.size[2] = p.size[3];
  block.ratio[2] = p.ratio[3];
  block.point[0] = split.s;
  block.point[1] = split.q1;
  block.point[2] = split.q2;
  block.point[3] = split.sTop;
  block.point[5] = split.q2Top;
  block.point[6] = split.q1Top;
  return {alongJ, alongI, block};
}

}  // namespace

std::vector<MeshPrimitive> RadialPieces(const MeshPrimitive& primitive) {
  switch (primitive.type) {
    case kPrimRadTunnel:
      return RadTunnelPieces(primitive);
    case kPrimRadBrick:
      return RadBrickPieces(primitive);
    case kPrimCylInt:
      return CylIntPieces(primitive);
    case kPrimTunInt:
      return TunIntPieces(primitive);
    case kPrimRadCylinder:
      if (primitive.fill) return {RadCylinderFill(primitive)};
      return {};
    case kPrimCShell:
      if (primitive.fill) return {CShellFill(primitive)};
      return {};
    default:
      return {};
  }
}

MeshPrimitive RadCylinderGradedPart(const MeshPrimitive& radcylinder) {
  MeshPrimitive graded = radcylinder;
  graded.size[0] = radcylinder.size[3];
  graded.ratio[0] = radcylinder.ratio[3];
  return graded;
}
