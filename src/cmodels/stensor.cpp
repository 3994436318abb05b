#include "cmodels/stensor.h"

#include <cmath>
#include <limits>

#include "cmodels/eigen3.h"

namespace {
Vec3 Unit(const Vec3& v) {
  double len = v.Length();
  return len > 0.0 ? v * (1.0 / len) : Vec3{};
}

// The coordinate axis least aligned with a unit vector.
Vec3 LeastAligned(const Vec3& u) {
  double ax = std::fabs(u.x), ay = std::fabs(u.y), az = std::fabs(u.z);
  if (ax <= ay && ax <= az) return {1, 0, 0};
  return ay <= az ? Vec3{0, 1, 0} : Vec3{0, 0, 1};
}
}  // namespace

Axes Axes::Make(const Vec3& first, const Vec3& second) {
  Axes r;
  Vec3 a = Unit(first);
  if (a.Length() == 0.0) a = {1, 0, 0};
  Vec3 b = second - a * Vec3::Dot(second, a);
  b = Unit(b);
  if (b.Length() == 0.0) b = Unit(LeastAligned(a) - a * Vec3::Dot(LeastAligned(a), a));
  r.e_[0] = a;
  r.e_[1] = b;
  r.e_[2] = Vec3::Cross(a, b);
  return r;
}

void STensor::Prin(double values[3], Axes* axes) const {
  double v[3][3];
  if (!cmodels::SymEigen3(s_, values, v)) {
    values[0] = values[1] = values[2] = std::numeric_limits<double>::quiet_NaN();
    if (axes) *axes = Axes();
    return;
  }
  if (axes) *axes = Axes::Make({v[0][0], v[1][0], v[2][0]}, {v[0][1], v[1][1], v[2][1]});
}

void STensor::PrinValues(const double s[6], double values[3]) { STensor(s).Prin(values); }
