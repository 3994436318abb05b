// Principal values and directions of a symmetric 3 x 3 tensor for the models'
// inner loops: the values in closed form, the directions from cross products
// and one plane rotation; cyclic Jacobi rotations where that cannot serve. No
// allocation, no exceptions.
#pragma once

#include <cmath>

namespace cmodels {

// The least and the greatest principal value of s (xx, yy, zz, xy, xz, yz)
// in closed form (the trigonometric solution of the characteristic cubic),
// with `spread` = 2 sqrt(J2 / 3), the scale of their error: a few rounding
// units of it near a double root. Several times cheaper than the rotations;
// for deciding, not for returning to a surface.
[[gnu::always_inline]] inline void SymExtremeValues(const double s[6], double& least, double& greatest,
                                                    double& spread) {
  const double q = (s[0] + s[1] + s[2]) / 3.0;
  const double d0 = s[0] - q, d1 = s[1] - q, d2 = s[2] - q;
  const double off = s[3] * s[3] + s[4] * s[4] + s[5] * s[5];
  const double p2 = (d0 * d0 + d1 * d1 + d2 * d2 + 2.0 * off) / 6.0;
  if (!(p2 > 0.0)) {
    least = greatest = q;
    spread = 0.0;
    return;
  }
  const double p = std::sqrt(p2);
  // det(s - qI) / (2 p^3), the cosine of three times the Lode angle.
  const double det = d0 * (d1 * d2 - s[5] * s[5]) - s[3] * (s[3] * d2 - s[5] * s[4]) + s[4] * (s[3] * s[5] - d1 * s[4]);
  double r = det / (2.0 * p2 * p);
  r = r < -1.0 ? -1.0 : (r > 1.0 ? 1.0 : r);
  const double angle = std::acos(r) / 3.0;
  greatest = q + 2.0 * p * std::cos(angle);
  least = q + 2.0 * p * std::cos(angle + 2.0943951023931957);
  spread = 2.0 * p;
}

namespace detail {

// Sorts three values ascending, with the columns of v.
[[gnu::always_inline]] inline void SortColumns(double values[3], double v[3][3]) {
  for (int i = 0; i < 2; ++i) {
    int m = i;
    for (int j = i + 1; j < 3; ++j)
      if (values[j] < values[m]) m = j;
    if (m != i) {
      double t = values[i];
      values[i] = values[m];
      values[m] = t;
      for (int k = 0; k < 3; ++k) {
        t = v[k][i];
        v[k][i] = v[k][m];
        v[k][m] = t;
      }
    }
  }
}

}  // namespace detail

// The rotations, to convergence: s as for SymEigen3, with the same outputs.
// False when they do not converge (a tensor holding a NaN); the outputs then
// hold the unsorted state reached.
inline bool SymEigen3Jacobi(const double s[6], double values[3], double vectors[3][3]) {
  double a[3][3] = {{s[0], s[3], s[4]}, {s[3], s[1], s[5]}, {s[4], s[5], s[2]}};
  double(*v)[3] = vectors;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) v[r][c] = r == c ? 1.0 : 0.0;
  bool converged = false;
  for (int sweep = 0; sweep < 50; ++sweep) {
    double off = std::fabs(a[0][1]) + std::fabs(a[0][2]) + std::fabs(a[1][2]);
    double scale = std::fabs(a[0][0]) + std::fabs(a[1][1]) + std::fabs(a[2][2]);
    if (off <= 1e-15 * scale || off == 0.0) {
      converged = true;
      break;
    }
    for (int p = 0; p < 2; ++p) {
      for (int q = p + 1; q < 3; ++q) {
        double apq = a[p][q];
        if (apq == 0.0) continue;
        // An entry lost in the rounding of both diagonal entries is zero already.
        double g = 100.0 * std::fabs(apq);
        if (std::fabs(a[p][p]) + g == std::fabs(a[p][p]) && std::fabs(a[q][q]) + g == std::fabs(a[q][q])) {
          a[p][q] = a[q][p] = 0.0;
          continue;
        }
        double h = a[q][q] - a[p][p];
        double t;
        if (std::fabs(h) + g == std::fabs(h)) {
          t = apq / h;
        } else {
          double theta = 0.5 * h / apq;
          t = 1.0 / (std::fabs(theta) + std::sqrt(1.0 + theta * theta));
          if (theta < 0.0) t = -t;
        }
        double c = 1.0 / std::sqrt(1.0 + t * t);
        double sn = t * c;
        double tau = sn / (1.0 + c);
        a[p][p] -= t * apq;
        a[q][q] += t * apq;
        a[p][q] = a[q][p] = 0.0;
        int r = 3 - p - q;  // the third index
        double arp = a[r][p], arq = a[r][q];
        a[r][p] = a[p][r] = arp - sn * (arq + arp * tau);
        a[r][q] = a[q][r] = arq + sn * (arp - arq * tau);
        for (int k = 0; k < 3; ++k) {
          double vp = v[k][p], vq = v[k][q];
          v[k][p] = vp - sn * (vq + vp * tau);
          v[k][q] = vq + sn * (vp - vq * tau);
        }
      }
    }
  }
  values[0] = a[0][0];
  values[1] = a[1][1];
  values[2] = a[2][2];
  if (!converged) return false;
  detail::SortColumns(values, v);
  return true;
}

namespace detail {

// The symmetric 2 x 2 [a b; b d] by one rotation: values l0 (direction
// (c, -s)) and l1 (direction (s, c)), exact to rounding whatever their gap.
[[gnu::always_inline]] inline void SymEigen2(double a, double b, double d, double& l0, double& l1, double& c,
                                             double& s) {
  if (b == 0.0) {
    l0 = a;
    l1 = d;
    c = 1.0;
    s = 0.0;
    return;
  }
  const double h = d - a;
  double t;
  if (std::fabs(h) + 100.0 * std::fabs(b) == std::fabs(h)) {
    t = b / h;
  } else {
    const double theta = 0.5 * h / b;
    t = 1.0 / (std::fabs(theta) + std::sqrt(1.0 + theta * theta));
    if (theta < 0.0) t = -t;
  }
  c = 1.0 / std::sqrt(1.0 + t * t);
  s = t * c;
  l0 = a - t * b;
  l1 = d + t * b;
}

}  // namespace detail

// s: xx, yy, zz, xy, xz, yz. Values come out in ascending order; column k of
// `vectors` (vectors[r][k]) is the unit direction of value k. False for a
// tensor that holds a NaN or an infinity.
//
// A tensor with a coordinate axis among its principal directions (two shear
// components zero, as a model in plane strain often has) takes one plane
// rotation. Otherwise the values come from the characteristic cubic in
// closed form (Smith, Comm. ACM 4 (1961) 168), and the direction of the value
// farthest from the other two, at least sqrt(3) times the deviator's scale
// away from them, from the cross products of the rows of s minus that value;
// the other two are those of s in the plane normal to it, by one rotation,
// so that a double or triple root costs no precision. The value of that
// direction is its Rayleigh quotient. Values and directions are as precise
// as the rotations': a few rounding units of the tensor's size.
[[gnu::always_inline]] inline bool SymEigen3(const double s[6], double values[3], double vectors[3][3]) {
  double(*v)[3] = vectors;
  // Not 0 for a NaN or an infinity among the components.
  if (!(0.0 * s[0] + 0.0 * s[1] + 0.0 * s[2] + 0.0 * s[3] + 0.0 * s[4] + 0.0 * s[5] == 0.0)) {
    SymEigen3Jacobi(s, values, vectors);
    return false;
  }
  // Axis k decoupled: a rotation in the plane of the other two, i and j.
  const bool zxy = s[3] == 0.0, zxz = s[4] == 0.0, zyz = s[5] == 0.0;
  if (static_cast<int>(zxy) + static_cast<int>(zxz) + static_cast<int>(zyz) >= 2) {
    int i, j, k;
    double b;
    if (!zxy) {
      i = 0, j = 1, k = 2, b = s[3];
    } else if (!zxz) {
      i = 0, j = 2, k = 1, b = s[4];
    } else {
      i = 1, j = 2, k = 0, b = s[5];
    }
    double c, sn;
    detail::SymEigen2(s[i], b, s[j], values[i], values[j], c, sn);
    values[k] = s[k];
    for (int r = 0; r < 3; ++r) v[r][0] = v[r][1] = v[r][2] = 0.0;
    v[k][k] = 1.0;
    v[i][i] = c;
    v[j][i] = -sn;
    v[i][j] = sn;
    v[j][j] = c;
    detail::SortColumns(values, v);
    return true;
  }
  // Far from the ends of the range, so that the cubes below neither overflow
  // nor underflow; a power of two scales exactly. The components are finite
  // here, and two shears are not zero, so plain comparisons find the largest.
  const auto larger = [](double a, double b) { return a > b ? a : b; };
  const double big = larger(larger(larger(std::fabs(s[0]), std::fabs(s[1])), std::fabs(s[2])),
                            larger(larger(std::fabs(s[3]), std::fabs(s[4])), std::fabs(s[5])));
  const bool scaled = big > 1e100 || big < 1e-100;
  double f = 1.0;
  double a[6] = {s[0], s[1], s[2], s[3], s[4], s[5]};
  if (scaled) {
    f = std::ldexp(1.0, std::ilogb(big));
    for (double& x : a) x /= f;
  }
  const double q = (a[0] + a[1] + a[2]) / 3.0;
  const double d0 = a[0] - q, d1 = a[1] - q, d2 = a[2] - q;
  const double xy = a[3], xz = a[4], yz = a[5];
  const double p2 = (d0 * d0 + d1 * d1 + d2 * d2 + 2.0 * (xy * xy + xz * xz + yz * yz)) / 6.0;
  const double p = std::sqrt(p2);
  const double det = d0 * (d1 * d2 - yz * yz) - xy * (xy * d2 - yz * xz) + xz * (xy * yz - d1 * xz);
  double r = det / (2.0 * p2 * p);
  r = r < -1.0 ? -1.0 : (r > 1.0 ? 1.0 : r);
  // The far value of the deviator: the greatest when the Lode cosine is not
  // negative, else the least.
  const double angle = std::acos(r) / 3.0;
  const double mu = r >= 0.0 ? 2.0 * p * std::cos(angle) : 2.0 * p * std::cos(angle + 2.0943951023931957);
  // Its direction: the longest cross product of two rows of (d - mu).
  const double r0[3] = {d0 - mu, xy, xz}, r1[3] = {xy, d1 - mu, yz}, r2[3] = {xz, yz, d2 - mu};
  const double c01[3] = {r0[1] * r1[2] - r0[2] * r1[1], r0[2] * r1[0] - r0[0] * r1[2], r0[0] * r1[1] - r0[1] * r1[0]};
  const double c02[3] = {r0[1] * r2[2] - r0[2] * r2[1], r0[2] * r2[0] - r0[0] * r2[2], r0[0] * r2[1] - r0[1] * r2[0]};
  const double c12[3] = {r1[1] * r2[2] - r1[2] * r2[1], r1[2] * r2[0] - r1[0] * r2[2], r1[0] * r2[1] - r1[1] * r2[0]};
  const double n01 = c01[0] * c01[0] + c01[1] * c01[1] + c01[2] * c01[2];
  const double n02 = c02[0] * c02[0] + c02[1] * c02[1] + c02[2] * c02[2];
  const double n12 = c12[0] * c12[0] + c12[1] * c12[1] + c12[2] * c12[2];
  const double* cw = c01;
  double nw = n01;
  if (n02 > nw) cw = c02, nw = n02;
  if (n12 > nw) cw = c12, nw = n12;
  // Only a tensor whose values the cubic has lost (subnormal deviator) is left.
  if (!(nw > 0.0)) return SymEigen3Jacobi(s, values, vectors);
  const double inv = 1.0 / std::sqrt(nw);
  const double w[3] = {cw[0] * inv, cw[1] * inv, cw[2] * inv};
  // A unit u normal to w from its two larger components, and t = w x u.
  double u[3];
  if (std::fabs(w[0]) > std::fabs(w[1])) {
    const double l = 1.0 / std::sqrt(w[0] * w[0] + w[2] * w[2]);
    u[0] = -w[2] * l, u[1] = 0.0, u[2] = w[0] * l;
  } else {
    const double l = 1.0 / std::sqrt(w[1] * w[1] + w[2] * w[2]);
    u[0] = 0.0, u[1] = w[2] * l, u[2] = -w[1] * l;
  }
  const double t[3] = {w[1] * u[2] - w[2] * u[1], w[2] * u[0] - w[0] * u[2], w[0] * u[1] - w[1] * u[0]};
  // The deviator times w, u and t, and its 2 x 2 block in the plane (u, t).
  const double dw[3] = {d0 * w[0] + xy * w[1] + xz * w[2], xy * w[0] + d1 * w[1] + yz * w[2],
                        xz * w[0] + yz * w[1] + d2 * w[2]};
  const double du[3] = {d0 * u[0] + xy * u[1] + xz * u[2], xy * u[0] + d1 * u[1] + yz * u[2],
                        xz * u[0] + yz * u[1] + d2 * u[2]};
  const double dt[3] = {d0 * t[0] + xy * t[1] + xz * t[2], xy * t[0] + d1 * t[1] + yz * t[2],
                        xz * t[0] + yz * t[1] + d2 * t[2]};
  const double muw = w[0] * dw[0] + w[1] * dw[1] + w[2] * dw[2];
  const double muu = u[0] * du[0] + u[1] * du[1] + u[2] * du[2];
  const double mut = u[0] * dt[0] + u[1] * dt[1] + u[2] * dt[2];
  const double mtt = t[0] * dt[0] + t[1] * dt[1] + t[2] * dt[2];
  double l0, l1, c, sn;
  detail::SymEigen2(muu, mut, mtt, l0, l1, c, sn);
  values[0] = (q + l0) * f;
  values[1] = (q + l1) * f;
  values[2] = (q + muw) * f;
  for (int k = 0; k < 3; ++k) {
    v[k][0] = c * u[k] - sn * t[k];
    v[k][1] = sn * u[k] + c * t[k];
    v[k][2] = w[k];
  }
  detail::SortColumns(values, v);
  return true;
}

}  // namespace cmodels
