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

// The principal values and directions of `count` (1 to 4) tensors, as
// SymEigen3 gives them: values[k][lane], vectors[r][k][lane], and ok[lane]
// its answer. Worked into the AVX2 code that calls it; SymEigen3x4 below is
// the call of its own.
TERRAX_AVX2 inline void SymEigen3x4Inline(const double* const s[4], int count, double values[3][4],
                                          double vectors[3][3][4], bool ok[4]) {
  using x4::Mask;
  using x4::Splat;
  using x4::Vec;
  // Lanes the general path does not take are worked alone afterwards; here
  // they, and the lanes beyond `count`, hold a harmless tensor.
  static const double kHarmless[6] = {1.0, 2.0, 3.0, 0.5, 0.25, 0.125};
  bool general[4];
  const double* in[4];
  for (int l = 0; l < 4; ++l) {
    general[l] = l < count && x4::GeneralPath(s[l]);
    in[l] = general[l] ? s[l] : kHarmless;
  }
  Vec a[6];
  for (int j = 0; j < 6; ++j) a[j] = Vec{in[0][j], in[1][j], in[2][j], in[3][j]};
  const Vec q = (a[0] + a[1] + a[2]) / 3.0;
  const Vec d0 = a[0] - q, d1 = a[1] - q, d2 = a[2] - q;
  const Vec xy = a[3], xz = a[4], yz = a[5];
  const Vec p2 = (d0 * d0 + d1 * d1 + d2 * d2 + 2.0 * (xy * xy + xz * xz + yz * yz)) / 6.0;
  const Vec p = x4::Sqrt(p2);
  const Vec det = d0 * (d1 * d2 - yz * yz) - xy * (xy * d2 - yz * xz) + xz * (xy * yz - d1 * xz);
  Vec r = det / (2.0 * p2 * p);
  r = r < -1.0 ? Splat(-1.0) : (r > 1.0 ? Splat(1.0) : r);
  // The far value of the deviator, from the cosine of each lane.
  Vec cosine = Splat(1.0);
  for (int l = 0; l < 4; ++l) {
    if (!general[l]) continue;
    const double angle = std::acos(r[l]) / 3.0;
    cosine[l] = r[l] >= 0.0 ? std::cos(angle) : std::cos(angle + 2.0943951023931957);
  }
  const Vec mu = 2.0 * p * cosine;
  const Vec r0[3] = {d0 - mu, xy, xz}, r1[3] = {xy, d1 - mu, yz}, r2[3] = {xz, yz, d2 - mu};
  const Vec c01[3] = {r0[1] * r1[2] - r0[2] * r1[1], r0[2] * r1[0] - r0[0] * r1[2], r0[0] * r1[1] - r0[1] * r1[0]};
  const Vec c02[3] = {r0[1] * r2[2] - r0[2] * r2[1], r0[2] * r2[0] - r0[0] * r2[2], r0[0] * r2[1] - r0[1] * r2[0]};
  const Vec c12[3] = {r1[1] * r2[2] - r1[2] * r2[1], r1[2] * r2[0] - r1[0] * r2[2], r1[0] * r2[1] - r1[1] * r2[0]};
  const Vec n01 = c01[0] * c01[0] + c01[1] * c01[1] + c01[2] * c01[2];
  const Vec n02 = c02[0] * c02[0] + c02[1] * c02[1] + c02[2] * c02[2];
  const Vec n12 = c12[0] * c12[0] + c12[1] * c12[1] + c12[2] * c12[2];
  const Mask take02 = n02 > n01;
  Vec cw[3] = {take02 ? c02[0] : c01[0], take02 ? c02[1] : c01[1], take02 ? c02[2] : c01[2]};
  Vec nw = take02 ? n02 : n01;
  const Mask take12 = n12 > nw;
  for (int k = 0; k < 3; ++k) cw[k] = take12 ? c12[k] : cw[k];
  nw = take12 ? n12 : nw;
  // A lane whose deviator the cubic has lost is worked alone below.
  const Mask lost = ~(nw > 0.0);
  nw = lost ? Splat(1.0) : nw;
  const Vec inv = 1.0 / x4::Sqrt(nw);
  const Vec w[3] = {cw[0] * inv, cw[1] * inv, cw[2] * inv};
  // A unit u normal to w from its two larger components, and t = w x u.
  const Mask first = x4::Abs(w[0]) > x4::Abs(w[1]);
  const Vec len = 1.0 / x4::Sqrt(first ? w[0] * w[0] + w[2] * w[2] : w[1] * w[1] + w[2] * w[2]);
  const Vec zero = Splat(0.0);
  const Vec u[3] = {first ? -w[2] * len : zero, first ? zero : w[2] * len, first ? w[0] * len : -w[1] * len};
  const Vec t[3] = {w[1] * u[2] - w[2] * u[1], w[2] * u[0] - w[0] * u[2], w[0] * u[1] - w[1] * u[0]};
  const Vec dw[3] = {d0 * w[0] + xy * w[1] + xz * w[2], xy * w[0] + d1 * w[1] + yz * w[2],
                     xz * w[0] + yz * w[1] + d2 * w[2]};
  const Vec du[3] = {d0 * u[0] + xy * u[1] + xz * u[2], xy * u[0] + d1 * u[1] + yz * u[2],
                     xz * u[0] + yz * u[1] + d2 * u[2]};
  const Vec dt[3] = {d0 * t[0] + xy * t[1] + xz * t[2], xy * t[0] + d1 * t[1] + yz * t[2],
                     xz * t[0] + yz * t[1] + d2 * t[2]};
  const Vec muw = w[0] * dw[0] + w[1] * dw[1] + w[2] * dw[2];
  const Vec muu = u[0] * du[0] + u[1] * du[1] + u[2] * du[2];
  const Vec mut = u[0] * dt[0] + u[1] * dt[1] + u[2] * dt[2];
  const Vec mtt = t[0] * dt[0] + t[1] * dt[1] + t[2] * dt[2];
  // detail::SymEigen2(muu, mut, mtt): each lane's branch picked before its
  // divisions, the other branch worked on harmless values.
  const Mask zeroB = mut == 0.0;
  const Vec b = zeroB ? Splat(1.0) : mut;
  const Vec h = mtt - muu;
  const Mask tiny = x4::Abs(h) + 100.0 * x4::Abs(b) == x4::Abs(h);
  const Vec tSmall = b / (tiny ? h : Splat(1.0));
  const Vec theta = 0.5 * (tiny ? zero : h) / b;
  Vec tLarge = 1.0 / (x4::Abs(theta) + x4::Sqrt(1.0 + theta * theta));
  tLarge = theta < 0.0 ? -tLarge : tLarge;
  const Vec tt = tiny ? tSmall : tLarge;
  const Vec c = zeroB ? Splat(1.0) : 1.0 / x4::Sqrt(1.0 + tt * tt);
  const Vec sn = zeroB ? zero : tt * c;
  const Vec l0 = zeroB ? muu : muu - tt * mut;
  const Vec l1 = zeroB ? mtt : mtt + tt * mut;
  Vec val[3] = {q + l0, q + l1, q + muw};
  Vec vec[3][3];
  for (int k = 0; k < 3; ++k) {
    vec[k][0] = c * u[k] - sn * t[k];
    vec[k][1] = sn * u[k] + c * t[k];
    vec[k][2] = w[k];
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
    _mm256_storeu_pd(values[k], sorted[k]);
    for (int r2 = 0; r2 < 3; ++r2) _mm256_storeu_pd(vectors[r2][k], vec[r2][k]);
  }
  for (int l = 0; l < count; ++l) {
    ok[l] = true;
    if (general[l] && !lost[l]) continue;
    // The one-tensor code for the rest.
    double pv[3], vv[3][3];
    ok[l] = SymEigen3(s[l], pv, vv);
    for (int k = 0; k < 3; ++k) {
      values[k][l] = pv[k];
      for (int r2 = 0; r2 < 3; ++r2) vectors[r2][k][l] = vv[r2][k];
    }
  }
}

// SymEigen3x4Inline as a call of its own: the code that calls it need not
// be AVX2 code.
[[gnu::noinline]] __attribute__((target("arch=x86-64-v3,no-fma"))) inline void SymEigen3x4(
    const double* const s[4], int count, double values[3][4], double vectors[3][3][4], bool ok[4]) {
  SymEigen3x4Inline(s, count, values, vectors, ok);
}

#undef TERRAX_AVX2

}  // namespace cmodels
