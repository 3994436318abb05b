// Small vector helpers of the GENERATE geometry.
#pragma once

#include <cmath>

#include "base/matrix.h"

// The unit vector; a vector of length 0 comes back unchanged. Components
// whose squares overflow or vanish are first divided by the largest one.
inline Vec3 GenUnit(const Vec3& v) {
  double length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  if (length > 0.0 && std::isfinite(length)) return {v.x / length, v.y / length, v.z / length};
  const double big = std::fmax(std::fabs(v.x), std::fmax(std::fabs(v.y), std::fabs(v.z)));
  if (!(big > 0.0) || !std::isfinite(big)) return v;
  const Vec3 w{v.x / big, v.y / big, v.z / big};
  length = std::sqrt(w.x * w.x + w.y * w.y + w.z * w.z);
  return {w.x / length, w.y / length, w.z / length};
}

inline double GenLength(const Vec3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }
