// Weighted sums, Coons patches and tetrahedron volumes of body grids.
#include "generate/body/body_interp.h"

namespace {

template <int N>
Vec3 WeightedSum(const Vec3 (&p)[N], const double (&w)[N]) {
  Vec3 sum{p[0].x * w[0], p[0].y * w[0], p[0].z * w[0]};
  for (int k = 1; k < N; ++k) {
    sum.x = sum.x + p[k].x * w[k];
    sum.y = sum.y + p[k].y * w[k];
    sum.z = sum.z + p[k].z * w[k];
  }
  return sum;
}

}  // namespace

Vec3 WeightedSum4(const Vec3 (&p)[4], const double (&w)[4]) { return WeightedSum(p, w); }
Vec3 WeightedSum6(const Vec3 (&p)[6], const double (&w)[6]) { return WeightedSum(p, w); }
Vec3 WeightedSum8(const Vec3 (&p)[8], const double (&w)[8]) { return WeightedSum(p, w); }
Vec3 WeightedSum12(const Vec3 (&p)[12], const double (&w)[12]) { return WeightedSum(p, w); }

Vec3 CoonsPoint(const Vec3 (&a)[4], const Vec3 (&e)[4], double u, double v) {
  const Vec3 corners = WeightedSum4(a, {(1.0 - u) * (1.0 - v), u * (1.0 - v), u * v, (1.0 - u) * v});
  const Vec3 edges = WeightedSum4(e, {1.0 - v, u, v, 1.0 - u});
  return edges - corners;
}

double TetVolume(const Vec3& p0, const Vec3& p1, const Vec3& p2, const Vec3& p3) {
  return Vec3::Dot(Vec3::Cross(p1 - p0, p2 - p0), p3 - p0) / 6.0;
}
