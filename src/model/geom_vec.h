// Small helpers for the zone geometry on Vec3 values: plain arithmetic on
// the stack, so that the geometric queries allocate nothing.
#pragma once

#include <cmath>

#include "base/matrix.h"

namespace geom {

inline Vec3 V(const double p[3]) { return {p[0], p[1], p[2]}; }
inline void Store(const Vec3& v, double out[3]) {
  out[0] = v.x;
  out[1] = v.y;
  out[2] = v.z;
}
inline double Dot(const Vec3& a, const Vec3& b) { return Vec3::Dot(a, b); }
inline Vec3 Cross(const Vec3& a, const Vec3& b) { return Vec3::Cross(a, b); }
inline double Norm(const Vec3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }
// The unit vector; a zero vector stays zero.
inline Vec3 Unit(const Vec3& v) {
  const double n = Norm(v);
  return n > 0.0 ? v * (1.0 / n) : v;
}
// The six-fold signed volume of the tetrahedron (a, b, c, d).
inline double SixVolume(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d) {
  return Dot(Cross(b - a, c - a), d - a);
}

}  // namespace geom
