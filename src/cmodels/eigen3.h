// Principal values and directions of a symmetric 3 x 3 tensor for the models'
// inner loops: cyclic Jacobi rotations, no allocation, no exceptions.
#pragma once

#include <cmath>

namespace cmodels {

// The least and the greatest principal value of s (xx, yy, zz, xy, xz, yz)
// in closed form (the trigonometric solution of the characteristic cubic),
// with `spread` = 2 sqrt(J2 / 3), the scale of their error: a few rounding
// units of it near a double root. Several times cheaper than the rotations;
// for deciding, not for returning to a surface.
inline void SymExtremeValues(const double s[6], double& least, double& greatest, double& spread) {
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

// s: xx, yy, zz, xy, xz, yz. Values come out in ascending order; column k of
// `vectors` (vectors[r][k]) is the unit direction of value k. False when the
// rotations do not converge (a tensor holding a NaN); the outputs then hold
// the unsorted state reached.
inline bool SymEigen3(const double s[6], double values[3], double vectors[3][3]) {
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
  return true;
}

}  // namespace cmodels
