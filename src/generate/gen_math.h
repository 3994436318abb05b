// Small vector helpers of the GENERATE geometry.
#pragma once

#include <cmath>

#include "base/matrix.h"

// The unit vector; a vector of length 0 comes back unchanged.
inline Vec3 GenUnit(const Vec3& v) {
  double length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  if (length == 0.0) return v;
  return {v.x / length, v.y / length, v.z / length};
}

inline double GenLength(const Vec3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }
