// Edge geometry: straight segments, circular arcs and elliptic arcs about a
// centre vertex, evaluated at a parameter from 0 (start) to 1 (end).
#include <algorithm>
#include <cmath>

#include "generate/body/solid.h"
#include "generate/gen_math.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;

}  // namespace

void SolidArc::Set(const Vec3& o, const Vec3& a0, const Vec3& b0, const Vec3& d) {
  const Vec3 a = a0 - o;
  const Vec3 b = b0 - o;
  straight = GenLength(a0 - b0) < 0.0001 * GenLength(a);
  if (arc && !straight) {
    const Vec3 n = GenUnit(Vec3::Cross(a, b));
    const double ra = GenLength(a);
    const double rb = GenLength(b);
    if (std::fabs(ra - rb) < std::fabs(ra + rb) * 1e-6) {
      centre = o;
      firstAxis = a;
      secondAxis = Vec3::Cross(n, a);
      startAngle = 0.0;
      if (ra == 0.0 && rb == 0.0) {
        sweep = 0.0;
      } else {
        // Rounding may carry the cosine of opposite ends just below -1.
        const double c = std::max(Vec3::Dot(a, b) / (ra * rb), -1.0);
        sweep = c < 1.0 ? std::acos(c) : 0.0;
      }
      return;
    }
    // An ellipse with semi-axes P along e1 (in the plane, towards d) and Q
    // along e2 through both ends.
    const Vec3 w = d - o;
    const Vec3 wInPlane = w - n * Vec3::Dot(w, n);
    const Vec3 e1 = GenUnit(wInPlane);
    const Vec3 e2 = Vec3::Cross(n, e1);
    const double xa = Vec3::Dot(a, e1), ya = Vec3::Dot(a, e2);
    const double xb = Vec3::Dot(b, e1), yb = Vec3::Dot(b, e2);
    const double k = xa * xa * yb * yb - ya * ya * xb * xb;
    if (std::fabs(yb) == std::fabs(ya) || std::fabs(xb) == std::fabs(xa)) {
      straight = true;
    } else {
      const double p2 = k / (yb * yb - ya * ya);
      const double q2 = -k / (xb * xb - xa * xa);
      if (p2 < 0.0 || q2 < 0.0) {
        straight = true;
      } else {
        const double p = std::sqrt(p2), q = std::sqrt(q2);
        if (p < q) {
          straight = true;
        } else {
          double ta = std::atan2(ya / q, xa / p);
          const double tb = std::atan2(yb / q, xb / p);
          if (tb < ta) ta -= kTwoPi;
          centre = o;
          firstAxis = e1 * p;
          secondAxis = e2 * q;
          startAngle = ta;
          sweep = tb - ta;
          return;
        }
      }
    }
  }
  firstAxis = a0;
  secondAxis = b0;
}

void SolidArc::SetThreePoint(const Vec3& o, const Vec3& a, const Vec3& b) {
  if (!arc) {
    firstAxis = a;
    secondAxis = b;
    return;
  }
  Set(o, a, b, GenLength(a - o) > GenLength(b - o) ? a : b);
}

Vec3 SolidArc::Point(double t) const {
  if (straight || !arc) return firstAxis * (1.0 - t) + secondAxis * t;
  const double angle = startAngle + t * sweep;
  return centre + firstAxis * std::cos(angle) + secondAxis * std::sin(angle);
}

void Solid::UpdateEdge(int32_t e) {
  SolidEdge& edge = Edge(e);
  if (!edge.defined) return;
  const Vec3 o = VertexPosition(edge.centreVertex);
  const Vec3 a = VertexPosition(edge.startVertex);
  const Vec3 b = VertexPosition(edge.endVertex);
  if (edge.axisVertex >= 0) {
    edge.Set(o, a, b, VertexPosition(edge.axisVertex));
  } else {
    edge.SetThreePoint(o, a, b);
  }
}

void Solid::UpdateEdges() {
  for (int32_t e = 1; e <= edgeCount_; ++e) UpdateEdge(e);
}
