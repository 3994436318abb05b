// The node positions of the curved primitives: the cylinder, the graded part
// of the radcylinder and the cylindrical shell. Each sweeps a radius vector
// around the axis p0 - p2, from the direction of U (k = 0) to that of W
// (k = n3), and places the nodes on the ellipse through the ends of U and W.
#include <algorithm>
#include <cmath>

#include "base/except.h"
#include "generate/gen_math.h"
#include "generate/primitive.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
// Near a quarter turn the ellipse's radius is b itself: tan would blow up.
constexpr double kQuarterBelow = 1.5393804002589986;  // pi/2 - pi/100
constexpr double kQuarterAbove = 1.6022122533307945;  // pi/2 + pi/100

Vec3 Lerp(const Vec3& a, const Vec3& b, double t) { return a + (b - a) * t; }

// The distance from the centre of the ellipse with semi-axis a along U and b
// along W to its point at the parameter angle phi.
double EllipseRadius(double a, double b, double phi) {
  if (phi > kQuarterBelow && phi < kQuarterAbove) return b;
  const double t = std::tan(phi);
  const double t2 = t * t;
  return std::sqrt((1.0 + t2) * b * b / (b * b / (a * a) + t2));
}

const char* SweepMessage(int type) {
  switch (type) {
    case kPrimRadCylinder:
      return " Cannot generate radcyl for sweep angles greater than or equal to Pi ";
    case kPrimCShell:
      return " Cannot generate cshell for sweep angles greater than or equal to Pi ";
    default:
      return " Cannot generate cylinder for sweep angles greater than or equal to Pi ";
  }
}

}  // namespace

// The axis point at j and the radius vectors from it: towards p1 - p4 and
// p3 - p5 for the cylinder and the shell's outer surface, towards p8 - p10
// and p9 - p11 for the radcylinder's curved surface and the shell's inner one.
const PrimitiveMapping::Axis& PrimitiveMapping::AxisAt(int j) const {
  Axis& axis = axes_[j & 1];
  if (axis.j == j) return axis;
  const Vec3* p = primitive_.point;
  const double tj = Fraction(1, j);
  const bool inner = primitive_.type == kPrimRadCylinder;
  axis.centre = Lerp(p[0], p[2], tj);
  const Vec3 u = Lerp(p[inner ? 8 : 1], p[inner ? 10 : 4], tj) - axis.centre;
  const Vec3 w = Lerp(p[inner ? 9 : 3], p[inner ? 11 : 5], tj) - axis.centre;
  axis.a = GenLength(u);
  axis.b = GenLength(w);
  axis.uHat = GenUnit(u);
  const Vec3 wHat = GenUnit(w);
  const Vec3 normal = GenUnit(Vec3::Cross(axis.uHat, wHat));
  axis.tHat = GenUnit(Vec3::Cross(normal, axis.uHat));
  // Rounding may carry the cosine of parallel vectors past 1.
  axis.sweep = std::acos(std::clamp(Vec3::Dot(axis.uHat, wHat), -1.0, 1.0));
  if (primitive_.type == kPrimCShell) {
    axis.innerA = GenLength(Lerp(p[8], p[10], tj) - axis.centre);
    axis.innerB = GenLength(Lerp(p[9], p[11], tj) - axis.centre);
  }
  if (primitive_.type == kPrimRadCylinder) {
    axis.outline[0] = Lerp(p[1], p[4], tj);
    axis.outline[1] = Lerp(p[6], p[7], tj);
    axis.outline[2] = Lerp(p[3], p[5], tj);
  }
  axis.j = j;
  return axis;
}

// The direction at node k turns by the sweep times k's fraction from U; the
// radius is that of the ellipse at a quarter turn times the fraction, so the
// ends of U and W are met whatever the sweep.
void PrimitiveMapping::CurvedRow(int j, int k, Row& row) const {
  const Axis& axis = AxisAt(j);
  const double tk = Fraction(2, k);
  const double theta = axis.sweep * tk;
  if (theta >= kPi) throw QJExcept(SweepMessage(primitive_.type));
  const Vec3 direction = GenUnit(axis.uHat * std::cos(theta) + axis.tHat * std::sin(theta));
  const double phi = tk * kPi / 2.0;
  const Vec3 outer = axis.centre + direction * EllipseRadius(axis.a, axis.b, phi);
  switch (primitive_.type) {
    case kPrimRadCylinder:
      // From the curved surface (i = 0) out to the box outline.
      row.from = outer;
      row.to = OutlinePoint(axis, k);
      break;
    case kPrimCShell:
      row.from = axis.centre + direction * EllipseRadius(axis.innerA, axis.innerB, phi);
      row.to = outer;
      break;
    default:
      // From the axis (i = 0) out to the surface.
      row.from = axis.centre;
      row.to = outer;
      break;
  }
}

// The radcylinder's outline runs from Q1 (on p1 - p4) to the corner Q6 (on
// p6 - p7) and on to Q3 (on p3 - p5). The node nearest the middle of the k
// range lands on the corner; with ratio 1 the nodes on either side spread
// evenly along their straight part, otherwise they follow their fractions.
Vec3 PrimitiveMapping::OutlinePoint(const Axis& axis, int k) const {
  const int m = outlineCorner_;
  const int n3 = primitive_.size[2];
  if (k == m) return axis.outline[1];
  double s = 0.0;
  if (primitive_.ratio[2] != 1.0)
    s = Fraction(2, k);
  else if (k < m)
    s = static_cast<double>(k) / (2.0 * m);
  else if (n3 - m > 0)
    s = static_cast<double>(k - m) / (2.0 * (n3 - m)) + 0.5;
  if (s < 0.5) return Lerp(axis.outline[0], axis.outline[1], 2.0 * s);
  return Lerp(axis.outline[1], axis.outline[2], 2.0 * (s - 0.5));
}
