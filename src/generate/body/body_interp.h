// The arithmetic of body grids: weighted sums of points, the point of a
// four-sided Coons patch and the signed volume of a tetrahedron. The sums add
// their terms in argument order, one component at a time, and are compiled
// without fused multiply-add, so that a result repeats bit for bit.
#pragma once

#include "base/matrix.h"

// w[0] p[0] + w[1] p[1] + ...
Vec3 WeightedSum4(const Vec3 (&p)[4], const double (&w)[4]);
Vec3 WeightedSum6(const Vec3 (&p)[6], const double (&w)[6]);
Vec3 WeightedSum8(const Vec3 (&p)[8], const double (&w)[8]);
Vec3 WeightedSum12(const Vec3 (&p)[12], const double (&w)[12]);

// The point at (u, v) of the patch with corners a[0] (0,0), a[1] (1,0),
// a[2] (1,1), a[3] (0,1) and the points of its edges: e[0] on v = 0 at u,
// e[1] on u = 1 at v, e[2] on v = 1 at u, e[3] on u = 0 at v.
Vec3 CoonsPoint(const Vec3 (&a)[4], const Vec3 (&e)[4], double u, double v);

// One sixth of (p1 - p0) x (p2 - p0) . (p3 - p0): positive when right-handed.
double TetVolume(const Vec3& p0, const Vec3& p1, const Vec3& p2, const Vec3& p3);
