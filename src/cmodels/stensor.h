// The library's stress tensor with its principal values and axes.
#pragma once

#include "base/matrix.h"

// Three unit axes.
class Axes {
 public:
  Axes() : e_{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}} {}
  // A right-handed orthonormal set: the first axis along `first`, the second
  // along the part of `second` normal to it, the third their cross product.
  // Directions of length 0 (or parallel ones) fall back to coordinate axes.
  static Axes Make(const Vec3& first, const Vec3& second);

  const Vec3& operator[](int i) const { return e_[i]; }
  const Vec3& e1() const { return e_[0]; }
  const Vec3& e2() const { return e_[1]; }
  const Vec3& e3() const { return e_[2]; }

 private:
  Vec3 e_[3];
};

// Stress components xx, yy, zz, xy, xz, yz, tension positive.
class STensor {
 public:
  STensor() = default;
  explicit STensor(const double s[6]) {
    for (int i = 0; i < 6; ++i) s_[i] = s[i];
  }
  double& operator[](int i) { return s_[i]; }
  double operator[](int i) const { return s_[i]; }
  const double* Components() const { return s_; }

  // The principal values in increasing order (the most compressive first);
  // with `axes`, their directions as a right-handed set in the same order.
  // A tensor holding a NaN gives NaN values and the coordinate axes.
  void Prin(double values[3], Axes* axes = nullptr) const;
  // The principal values of six components, in increasing order.
  static void PrinValues(const double s[6], double values[3]);

 private:
  double s_[6] = {};
};
