// SymEigen3 for four tensors at once in AVX2 code: the same operations lane
// by lane (no fused multiply-add), so the same bits as four calls of it. The
// branches of the general path become selections, made before any division
// or root so that no lane divides by zero or works a value the one-tensor
// code would not. Tensors the general path does not take (a NaN or an
// infinity, a coordinate axis among the principal directions, a scale far
// from 1, a lost deviator) go through SymEigen3 itself.
#pragma once

#include <immintrin.h>

#include <cmath>
#include <cstdint>

#include "cmodels/eigen3.h"

namespace cmodels {

namespace x4 {

typedef double Vec __attribute__((vector_size(32)));
typedef int64_t Mask __attribute__((vector_size(32)));

#define TERRAX_AVX2 __attribute__((target("arch=x86-64-v3,no-fma"), always_inline))

TERRAX_AVX2 inline Vec Splat(double x) { return Vec{x, x, x, x}; }
TERRAX_AVX2 inline Vec Sqrt(Vec x) { return _mm256_sqrt_pd(x); }
TERRAX_AVX2 inline Vec Abs(Vec x) { return reinterpret_cast<Vec>(reinterpret_cast<Mask>(x) & INT64_MAX); }

// Whether SymEigen3 takes its general path for s: finite, at most one shear
// zero, no scaling.
[[gnu::always_inline]] inline bool GeneralPath(const double s[6]) {
  if (!(0.0 * s[0] + 0.0 * s[1] + 0.0 * s[2] + 0.0 * s[3] + 0.0 * s[4] + 0.0 * s[5] == 0.0)) return false;
  const bool zxy = s[3] == 0.0, zxz = s[4] == 0.0, zyz = s[5] == 0.0;
  if (static_cast<int>(zxy) + static_cast<int>(zxz) + static_cast<int>(zyz) >= 2) return false;
  const auto larger = [](double a, double b) { return a > b ? a : b; };
  const double big = larger(larger(larger(std::fabs(s[0]), std::fabs(s[1])), std::fabs(s[2])),
                            larger(larger(std::fabs(s[3]), std::fabs(s[4])), std::fabs(s[5])));
  return !(big > 1e100 || big < 1e-100);
}

}  // namespace x4

// The principal values and directions of `count` (1 to 4 G) tensors, as
// SymEigen3 gives them, in G groups of four lanes: values[g][k][lane],
// vectors[g][r][k][lane], and ok[4 g + lane] its answer. The groups' operations
// are interleaved statement by statement: each group is a long chain of
// dependent divisions and roots, and chains side by side overlap. Worked
// into the AVX2 code that calls it; SymEigen3x4 below is a call of its own.
#define TERRAX_GROUPS for (int g = 0; g < G; ++g)
template <int G>
TERRAX_AVX2 inline void SymEigen3x4Groups(const double* const s[], int count, double (*const values[])[4],
                                          double (*const vectors[])[3][4], bool ok[]) {
  using x4::Mask;
  using x4::Splat;
  using x4::Vec;
  constexpr int kLanes = 4 * G;
  // Lanes the general path does not take are worked alone afterwards; here
  // they, and the lanes beyond `count`, hold a harmless tensor.
  static const double kHarmless[6] = {1.0, 2.0, 3.0, 0.5, 0.25, 0.125};
  bool general[kLanes];
  const double* in[kLanes];
  for (int l = 0; l < kLanes; ++l) {
    general[l] = l < count && x4::GeneralPath(s[l]);
    in[l] = general[l] ? s[l] : kHarmless;
  }
  Vec a[G][6];
  TERRAX_GROUPS {
    for (int j = 0; j < 6; ++j) a[g][j] = Vec{in[4 * g][j], in[4 * g + 1][j], in[4 * g + 2][j], in[4 * g + 3][j]};
  }
  Vec q[G], d0[G], d1[G], d2[G], xy[G], xz[G], yz[G], p2[G], p[G], r[G];
  TERRAX_GROUPS q[g] = (a[g][0] + a[g][1] + a[g][2]) / 3.0;
  TERRAX_GROUPS {
    d0[g] = a[g][0] - q[g], d1[g] = a[g][1] - q[g], d2[g] = a[g][2] - q[g];
    xy[g] = a[g][3], xz[g] = a[g][4], yz[g] = a[g][5];
  }
  TERRAX_GROUPS p2[g] =
      (d0[g] * d0[g] + d1[g] * d1[g] + d2[g] * d2[g] + 2.0 * (xy[g] * xy[g] + xz[g] * xz[g] + yz[g] * yz[g])) / 6.0;
  TERRAX_GROUPS p[g] = x4::Sqrt(p2[g]);
  TERRAX_GROUPS {
    const Vec det = d0[g] * (d1[g] * d2[g] - yz[g] * yz[g]) - xy[g] * (xy[g] * d2[g] - yz[g] * xz[g]) +
                    xz[g] * (xy[g] * yz[g] - d1[g] * xz[g]);
    r[g] = det / (2.0 * p2[g] * p[g]);
  }
  TERRAX_GROUPS r[g] = r[g] < -1.0 ? Splat(-1.0) : (r[g] > 1.0 ? Splat(1.0) : r[g]);
  // The far value of the deviator, from the cosine of each lane.
  Vec cosine[G];
  TERRAX_GROUPS {
    cosine[g] = Splat(1.0);
    for (int l = 0; l < 4; ++l) {
      if (!general[4 * g + l]) continue;
      const double angle = std::acos(r[g][l]) / 3.0;
      cosine[g][l] = r[g][l] >= 0.0 ? std::cos(angle) : std::cos(angle + 2.0943951023931957);
    }
  }
  Vec cw[G][3], nw[G];
  TERRAX_GROUPS {
    const Vec mu = 2.0 * p[g] * cosine[g];
    const Vec r0[3] = {d0[g] - mu, xy[g], xz[g]}, r1[3] = {xy[g], d1[g] - mu, yz[g]},
              r2[3] = {xz[g], yz[g], d2[g] - mu};
    const Vec c01[3] = {r0[1] * r1[2] - r0[2] * r1[1], r0[2] * r1[0] - r0[0] * r1[2], r0[0] * r1[1] - r0[1] * r1[0]};
    const Vec c02[3] = {r0[1] * r2[2] - r0[2] * r2[1], r0[2] * r2[0] - r0[0] * r2[2], r0[0] * r2[1] - r0[1] * r2[0]};
    const Vec c12[3] = {r1[1] * r2[2] - r1[2] * r2[1], r1[2] * r2[0] - r1[0] * r2[2], r1[0] * r2[1] - r1[1] * r2[0]};
    const Vec n01 = c01[0] * c01[0] + c01[1] * c01[1] + c01[2] * c01[2];
    const Vec n02 = c02[0] * c02[0] + c02[1] * c02[1] + c02[2] * c02[2];
    const Vec n12 = c12[0] * c12[0] + c12[1] * c12[1] + c12[2] * c12[2];
    const Mask take02 = n02 > n01;
    for (int k = 0; k < 3; ++k) cw[g][k] = take02 ? c02[k] : c01[k];
    nw[g] = take02 ? n02 : n01;
    const Mask take12 = n12 > nw[g];
    for (int k = 0; k < 3; ++k) cw[g][k] = take12 ? c12[k] : cw[g][k];
    nw[g] = take12 ? n12 : nw[g];
  }
  // A lane whose deviator the cubic has lost is worked alone below.
  Mask lost[G];
  Vec inv[G], w[G][3], len[G];
  Mask first[G];
  TERRAX_GROUPS {
    lost[g] = ~(nw[g] > 0.0);
    nw[g] = lost[g] ? Splat(1.0) : nw[g];
  }
  TERRAX_GROUPS inv[g] = 1.0 / x4::Sqrt(nw[g]);
  TERRAX_GROUPS for (int k = 0; k < 3; ++k) w[g][k] = cw[g][k] * inv[g];
  // A unit u normal to w from its two larger components, and t = w x u.
  TERRAX_GROUPS {
    first[g] = x4::Abs(w[g][0]) > x4::Abs(w[g][1]);
    len[g] = 1.0 / x4::Sqrt(first[g] ? w[g][0] * w[g][0] + w[g][2] * w[g][2] : w[g][1] * w[g][1] + w[g][2] * w[g][2]);
  }
  const Vec zero = Splat(0.0);
  Vec u[G][3], t[G][3], muw[G], muu[G], mut[G], mtt[G];
  TERRAX_GROUPS {
    const Vec* wg = w[g];
    u[g][0] = first[g] ? -wg[2] * len[g] : zero;
    u[g][1] = first[g] ? zero : wg[2] * len[g];
    u[g][2] = first[g] ? wg[0] * len[g] : -wg[1] * len[g];
    const Vec* ug = u[g];
    t[g][0] = wg[1] * ug[2] - wg[2] * ug[1];
    t[g][1] = wg[2] * ug[0] - wg[0] * ug[2];
    t[g][2] = wg[0] * ug[1] - wg[1] * ug[0];
    const Vec* tg = t[g];
    const Vec dw[3] = {d0[g] * wg[0] + xy[g] * wg[1] + xz[g] * wg[2], xy[g] * wg[0] + d1[g] * wg[1] + yz[g] * wg[2],
                       xz[g] * wg[0] + yz[g] * wg[1] + d2[g] * wg[2]};
    const Vec du[3] = {d0[g] * ug[0] + xy[g] * ug[1] + xz[g] * ug[2], xy[g] * ug[0] + d1[g] * ug[1] + yz[g] * ug[2],
                       xz[g] * ug[0] + yz[g] * ug[1] + d2[g] * ug[2]};
    const Vec dt[3] = {d0[g] * tg[0] + xy[g] * tg[1] + xz[g] * tg[2], xy[g] * tg[0] + d1[g] * tg[1] + yz[g] * tg[2],
                       xz[g] * tg[0] + yz[g] * tg[1] + d2[g] * tg[2]};
    muw[g] = wg[0] * dw[0] + wg[1] * dw[1] + wg[2] * dw[2];
    muu[g] = ug[0] * du[0] + ug[1] * du[1] + ug[2] * du[2];
    mut[g] = ug[0] * dt[0] + ug[1] * dt[1] + ug[2] * dt[2];
    mtt[g] = tg[0] * dt[0] + tg[1] * dt[1] + tg[2] * dt[2];
  }
  // detail::SymEigen2(muu, mut, mtt): each lane's branch picked before its
  // divisions, the other branch worked on harmless values.
  Mask zeroB[G], tiny[G];
  Vec b[G], h[G], tSmall[G], theta[G], tLarge[G], c[G];
  TERRAX_GROUPS {
    zeroB[g] = mut[g] == 0.0;
    b[g] = zeroB[g] ? Splat(1.0) : mut[g];
    h[g] = mtt[g] - muu[g];
    tiny[g] = x4::Abs(h[g]) + 100.0 * x4::Abs(b[g]) == x4::Abs(h[g]);
  }
  TERRAX_GROUPS tSmall[g] = b[g] / (tiny[g] ? h[g] : Splat(1.0));
  TERRAX_GROUPS theta[g] = 0.5 * (tiny[g] ? zero : h[g]) / b[g];
  TERRAX_GROUPS tLarge[g] = 1.0 / (x4::Abs(theta[g]) + x4::Sqrt(1.0 + theta[g] * theta[g]));
  TERRAX_GROUPS tLarge[g] = theta[g] < 0.0 ? -tLarge[g] : tLarge[g];
  Vec tt[G];
  TERRAX_GROUPS tt[g] = tiny[g] ? tSmall[g] : tLarge[g];
  TERRAX_GROUPS c[g] = zeroB[g] ? Splat(1.0) : 1.0 / x4::Sqrt(1.0 + tt[g] * tt[g]);
  TERRAX_GROUPS {
    const Vec sn = zeroB[g] ? zero : tt[g] * c[g];
    const Vec l0 = zeroB[g] ? muu[g] : muu[g] - tt[g] * mut[g];
    const Vec l1 = zeroB[g] ? mtt[g] : mtt[g] + tt[g] * mut[g];
    Vec val[3] = {q[g] + l0, q[g] + l1, q[g] + muw[g]};
    Vec vec[3][3];
    for (int k = 0; k < 3; ++k) {
      vec[k][0] = c[g] * u[g][k] - sn * t[g][k];
      vec[k][1] = sn * u[g][k] + c[g] * t[g][k];
      vec[k][2] = w[g][k];
    }
    // detail::SortColumns: the least first (the first of equal ones), then the
    // other two in order.
    const Mask less10 = val[1] < val[0];
    const Vec least01 = less10 ? val[1] : val[0];
    const Mask take2 = val[2] < least01;
    const Mask take1 = less10 & ~take2;
    const Vec v0 = take2 ? val[2] : least01;
    Vec v1 = take1 ? val[0] : val[1];
    Vec v2 = take2 ? val[0] : val[2];
    for (int k = 0; k < 3; ++k) {
      const Vec e0 = vec[k][0], e1 = vec[k][1], e2 = vec[k][2];
      vec[k][0] = take2 ? e2 : (take1 ? e1 : e0);
      vec[k][1] = take1 ? e0 : e1;
      vec[k][2] = take2 ? e0 : e2;
    }
    const Mask swap12 = v2 < v1;
    const Vec s1 = swap12 ? v2 : v1, s2 = swap12 ? v1 : v2;
    v1 = s1;
    v2 = s2;
    for (int k = 0; k < 3; ++k) {
      const Vec e1 = vec[k][1], e2 = vec[k][2];
      vec[k][1] = swap12 ? e2 : e1;
      vec[k][2] = swap12 ? e1 : e2;
    }
    const Vec sorted[3] = {v0, v1, v2};
    for (int k = 0; k < 3; ++k) {
      _mm256_storeu_pd(values[g][k], sorted[k]);
      for (int r2 = 0; r2 < 3; ++r2) _mm256_storeu_pd(vectors[g][r2][k], vec[r2][k]);
    }
  }
  for (int l = 0; l < count; ++l) {
    ok[l] = true;
    const int g = l / 4, lane = l % 4;
    if (general[l] && !lost[g][lane]) continue;
    // The one-tensor code for the rest.
    double pv[3], vv[3][3];
    ok[l] = SymEigen3(s[l], pv, vv);
    for (int k = 0; k < 3; ++k) {
      values[g][k][lane] = pv[k];
      for (int r2 = 0; r2 < 3; ++r2) vectors[g][r2][k][lane] = vv[r2][k];
    }
  }
}
#undef TERRAX_GROUPS

// SymEigen3x4Groups for one group of four.
TERRAX_AVX2 inline void SymEigen3x4Inline(const double* const s[4], int count, double values[3][4],
                                          double vectors[3][3][4], bool ok[4]) {
  double(*const v[1])[4] = {values};
  double(*const vv[1])[3][4] = {vectors};
  SymEigen3x4Groups<1>(s, count, v, vv, ok);
}

// SymEigen3x4Inline as a call of its own: the code that calls it need not
// be AVX2 code.
[[gnu::noinline]] __attribute__((target("arch=x86-64-v3,no-fma"))) inline void SymEigen3x4(
    const double* const s[4], int count, double values[3][4], double vectors[3][3][4], bool ok[4]) {
  SymEigen3x4Inline(s, count, values, vectors, ok);
}

#undef TERRAX_AVX2

}  // namespace cmodels
