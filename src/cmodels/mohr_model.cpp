#include "cmodels/mohr_model.h"

#include <array>
#include <bit>
#include <cmath>
#include <new>
#include <utility>

#include "cmodels/eigen3.h"
#include "cmodels/eigen3x4.h"
#include "cmodels/model_support.h"

namespace {
// Stored in save files and command files: never renamed.
const char* const kPropertyNames[] = {"bulk", "shear", "cohesion", "friction", "dilation", "tension", nullptr};
const char* const kStateNames[] = {"shear-now", "tension-now", "shear-past", "tension-past", nullptr};

constexpr double kDegree = 0.017453292519943295;
// Angles of 90 degrees and more would make the friction factor infinite.
constexpr double kMaxSin = 1.0 - 1e-12;

inline double Max(double a, double b) { return a > b ? a : b; }
inline double Min(double a, double b) { return a < b ? a : b; }

double ClampedSin(double degrees) {
  double s = std::sin(degrees * kDegree);
  if (s > kMaxSin) return kMaxSin;
  if (s < -kMaxSin) return -kMaxSin;
  return s;
}

// Whether the stress lies inside the yield surface for certain, from bounds
// on its extreme principal values (Gershgorin discs and the deviator's norm):
// most updates are elastic and need no eigen-solution.
[[gnu::always_inline]] inline bool InsideByBounds(const double t[6], double nphi, double shearLimit, double tension) {
  double r0 = std::fabs(t[3]) + std::fabs(t[4]);
  double r1 = std::fabs(t[3]) + std::fabs(t[5]);
  double r2 = std::fabs(t[4]) + std::fabs(t[5]);
  double lo = Min(Min(t[0] - r0, t[1] - r1), t[2] - r2);
  double hi = Max(Max(t[0] + r0, t[1] + r1), t[2] + r2);
  // The discs alone mostly decide, without the root below.
  if (hi <= tension && nphi * hi - lo - shearLimit <= 0.0) return true;
  double p = (t[0] + t[1] + t[2]) / 3.0;
  double d0 = t[0] - p, d1 = t[1] - p, d2 = t[2] - p;
  double norm2 = d0 * d0 + d1 * d1 + d2 * d2 + 2.0 * (t[3] * t[3] + t[4] * t[4] + t[5] * t[5]);
  double radius = std::sqrt(norm2 * (2.0 / 3.0));
  lo = Max(lo, p - radius);
  hi = Min(hi, p + radius);
  return hi <= tension && nphi * hi - lo - shearLimit <= 0.0;
}

// Whether the stress lies inside the yield surface for certain, from bounds
// on its extreme principal values that need no cubic: those of the plane of
// its largest shear component in closed form, and the normal component
// across it, are within the length of the two other shear components of the
// tensor's own (Weyl's inequality). Nearly exact in plane strain, where the
// shears out of the plane are tiny.
[[gnu::always_inline]] inline bool InsideByPlane(const double t[6], double nphi, double shearLimit, double tension) {
  const double a3 = std::fabs(t[3]), a4 = std::fabs(t[4]), a5 = std::fabs(t[5]);
  double si, sj, sk, b, coupling;
  if (a4 >= a3 && a4 >= a5) {
    si = t[0], sj = t[2], sk = t[1], b = t[4], coupling = a3 + a5;
  } else if (a3 >= a5) {
    si = t[0], sj = t[1], sk = t[2], b = t[3], coupling = a4 + a5;
  } else {
    si = t[1], sj = t[2], sk = t[0], b = t[5], coupling = a3 + a4;
  }
  const double m = 0.5 * (si + sj), h = 0.5 * (si - sj);
  const double radius = std::sqrt(h * h + b * b);
  const double lo = Min(m - radius, sk) - coupling;
  const double hi = Max(m + radius, sk) + coupling;
  return hi <= tension && nphi * hi - lo - shearLimit <= 0.0;
}

// Whether the stress lies inside the yield surface for certain, from its
// extreme principal values in closed form. The margin lies far above their
// error and far below the tolerance of the return, so that a stress passed
// here would have come back unchanged from the return too: near the surface
// the answer is left to the return.
[[gnu::always_inline]] inline bool InsideByValues(const double t[6], double nphi, double shearLimit, double tension) {
  double lo, hi, spread;
  cmodels::SymExtremeValues(t, lo, hi, spread);
  const double margin = 1e-7 * (std::fabs(lo) + std::fabs(hi) + spread);
  return hi <= tension - margin && nphi * hi - lo - shearLimit <= -(nphi + 1.0) * margin;
}

// InsideByPlane, then InsideByValues: a call of its own, which keeps the
// common trials' loop short of registers.
[[gnu::noinline]] bool InsideByPlaneOrValues(const double t[6], double nphi, double shearLimit, double tension) {
  return InsideByPlane(t, nphi, shearLimit, tension) || InsideByValues(t, nphi, shearLimit, tension);
}

// The yield planes of ordered principal stresses s1 <= s2 <= s3 (s1 the most
// compressive): admissible when n . s - b <= 0; plastic strain flows along m.
//   0  shear      -s1 + N s3 <= 2c sqrt(N)      flow (-1, 0, Npsi)
//   1  tension     s3 <= t                      flow (0, 0, 1)
//   2  shear edge -s1 + N s2 <= 2c sqrt(N)      (s2 meets s3) flow (-1, Npsi, 0)
//   3  shear edge -s2 + N s3 <= 2c sqrt(N)      (s1 meets s2) flow (0, -1, Npsi)
//   4  tension     s2 <= t
//   5  tension     s1 <= t
struct Plane {
  double n[3];
  double b;
  double m[3];
};
constexpr int kPlanes = 6;
constexpr unsigned kShearPlanes = 1u | 4u | 8u;
constexpr unsigned kTensionPlanes = 2u | 16u | 32u;

// Sets of planes tried as active: single planes first, then the common edges
// and corners (triaxial compression and extension edges, shear with tension,
// the tension corners), then every other pair and triple.
constexpr std::array<unsigned char, 41> kActiveSets = [] {
  std::array<unsigned char, 41> sets{};
  const unsigned char first[] = {1, 2, 4, 8, 16, 32, 1 | 4, 1 | 8, 1 | 2, 2 | 16, 2 | 16 | 32};
  int k = 0;
  for (unsigned char f : first) sets[static_cast<size_t>(k++)] = f;
  for (int size = 2; size <= 3; ++size) {
    for (unsigned mask = 1; mask < 64; ++mask) {
      if (std::popcount(mask) != size) continue;
      bool listed = false;
      for (unsigned char f : first) listed = listed || f == mask;
      if (!listed) sets[static_cast<size_t>(k++)] = static_cast<unsigned char>(mask);
    }
  }
  return sets;
}();

// Solves the k x k system a x = r (k <= 3) by elimination with pivoting;
// false when it is singular.
bool SolveSmall(int k, double a[3][3], double r[3], double x[3]) {
  double big = 0.0;
  for (int i = 0; i < k; ++i)
    for (int j = 0; j < k; ++j) big = Max(big, std::fabs(a[i][j]));
  if (!(big > 0.0)) return false;
  for (int c = 0; c < k; ++c) {
    int p = c;
    for (int i = c + 1; i < k; ++i)
      if (std::fabs(a[i][c]) > std::fabs(a[p][c])) p = i;
    if (std::fabs(a[p][c]) <= 1e-13 * big) return false;
    if (p != c) {
      for (int j = 0; j < k; ++j) std::swap(a[p][j], a[c][j]);
      std::swap(r[p], r[c]);
    }
    for (int i = c + 1; i < k; ++i) {
      double f = a[i][c] / a[c][c];
      for (int j = c; j < k; ++j) a[i][j] -= f * a[c][j];
      r[i] -= f * r[c];
    }
  }
  for (int i = k - 1; i >= 0; --i) {
    double s = r[i];
    for (int j = i + 1; j < k; ++j) s -= a[i][j] * x[j];
    x[i] = s / a[i][i];
  }
  return true;
}

using ReturnConstants = cmodels::MohrReturnConstants;

inline double Dot(const double n[3], const double c[3]) { return n[0] * c[0] + n[1] * c[1] + n[2] * c[2]; }

// The flow of a plane in stress: dm = alpha2 (m . 1) + 2G m.
inline void PlaneFlow(const double m[3], double alpha2, double twoG, double dm[3]) {
  const double sum = m[0] + m[1] + m[2];
  for (int i = 0; i < 3; ++i) dm[i] = alpha2 * sum + twoG * m[i];
}

// SolveSmall's tests for one unknown: false where it fails.
bool SolvableAlone(double a) {
  const double big = Max(0.0, std::fabs(a));
  return big > 0.0 && !(std::fabs(a) <= 1e-13 * big);
}

// SolveSmall's elimination for the edge of planes i and j (normals and flows
// in stress), which is the same whatever the right-hand side.
ReturnConstants::Edge MakeEdge(const double ni[3], const double nj[3], const double dmi[3], const double dmj[3]) {
  ReturnConstants::Edge e;
  double a[2][2] = {{Dot(ni, dmi), Dot(ni, dmj)}, {Dot(nj, dmi), Dot(nj, dmj)}};
  e.diag[0] = a[0][0];
  e.diag[1] = a[1][1];
  double big = 0.0;
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j) big = Max(big, std::fabs(a[i][j]));
  e.solvable = false;
  e.swap = false;
  e.f = e.u00 = e.u01 = e.u11 = 0.0;
  if (!(big > 0.0)) return e;
  e.swap = std::fabs(a[1][0]) > std::fabs(a[0][0]);
  if (e.swap) {
    std::swap(a[0][0], a[1][0]);
    std::swap(a[0][1], a[1][1]);
  }
  if (std::fabs(a[0][0]) <= 1e-13 * big) return e;
  e.f = a[1][0] / a[0][0];
  a[1][0] -= e.f * a[0][0];
  a[1][1] -= e.f * a[0][1];
  if (std::fabs(a[1][1]) <= 1e-13 * big) return e;
  e.solvable = true;
  e.u00 = a[0][0];
  e.u01 = a[0][1];
  e.u11 = a[1][1];
  return e;
}

ReturnConstants MakeReturnConstants(double nphi, double npsi, double shearLimit, double tension, double alpha1,
                                    double alpha2) {
  ReturnConstants k;
  k.nphi = nphi, k.npsi = npsi, k.shearLimit = shearLimit, k.tension = tension, k.alpha1 = alpha1, k.alpha2 = alpha2;
  const double twoG = alpha1 - alpha2;
  k.twoG = twoG;
  const double sum = npsi - 1.0;
  k.dm[0] = alpha2 * sum - twoG;
  k.dm[1] = alpha2 * sum;
  k.dm[2] = alpha2 * sum + twoG * npsi;
  k.a = -k.dm[0] + nphi * k.dm[2];
  const double n0[3] = {-1, 0, nphi}, n2[3] = {-1, nphi, 0}, n3[3] = {0, -1, nphi};
  const double m0[3] = {-1, 0, npsi}, m2[3] = {-1, npsi, 0}, m3[3] = {0, -1, npsi};
  PlaneFlow(m0, alpha2, twoG, k.dm0);
  PlaneFlow(m2, alpha2, twoG, k.dm2);
  PlaneFlow(m3, alpha2, twoG, k.dm3);
  k.a22 = Dot(n2, k.dm2);
  k.plane2 = SolvableAlone(k.a22);
  k.a33 = Dot(n3, k.dm3);
  k.plane3 = SolvableAlone(k.a33);
  k.edge02 = MakeEdge(n0, n2, k.dm0, k.dm2);
  k.edge03 = MakeEdge(n0, n3, k.dm0, k.dm3);
  return k;
}

// Whether the four-lane returns may serve a zone: constants that are
// all finite, and a shear plane that can be returned to. Otherwise every
// return goes through the one-tensor code.
bool FourLaneReturns(const ReturnConstants& k) {
  const ReturnConstants::Edge &e2 = k.edge02, &e3 = k.edge03;
  const double values[] = {k.nphi,     k.shearLimit, k.tension,  k.a,        k.dm[0],  k.dm[1],  k.dm[2],  k.dm0[0],
                           k.dm0[1],   k.dm0[2],     k.dm2[0],   k.dm2[1],   k.dm2[2], k.dm3[0], k.dm3[1], k.dm3[2],
                           k.a22,      k.a33,        e2.diag[0], e2.diag[1], e2.f,     e2.u00,   e2.u01,   e2.u11,
                           e3.diag[0], e3.diag[1],   e3.f,       e3.u00,     e3.u01,   e3.u11};
  double all = 0.0;
  for (double v : values) all += 0.0 * v;
  return all == 0.0 && std::fabs(k.a) > 0.0;
}

// The tolerances of the planes for a principal stress (as the search's).
struct Tolerances {
  double shear, tension;
  Tolerances(const double s[3], const ReturnConstants& k) {
    const double scale = Max(Max(std::fabs(s[0]), std::fabs(s[1])), std::fabs(s[2]));
    shear = 1e-11 * ((1.0 + k.nphi) * scale + std::fabs(k.shearLimit));
    tension = 1e-11 * (scale + std::fabs(k.tension));
  }
};

// The common return first: onto the shear plane 0 alone. The same
// arithmetic as the search below for its first candidate, written out for
// the planes' coefficients of 0 and 1: the same answers to the last bit.
// 0 when the stress is admissible, 1 for the shear plane, and -1 when the
// search must decide (-2 when the shear plane is violated and its return
// fails).
[[gnu::always_inline]] inline int ReturnOnShearPlane(const double s[3], const ReturnConstants& k, const Tolerances& tol,
                                                     double out[3]) {
  const double nphi = k.nphi, shearLimit = k.shearLimit, tension = k.tension;
  const double tolShear = tol.shear, tolTension = tol.tension;
  const double h0 = (-s[0] + nphi * s[2]) - shearLimit;
  if (!(h0 > tolShear)) {
    // Admissible when no other plane is violated either.
    const bool other = s[2] - tension > tolTension || (-s[0] + nphi * s[1]) - shearLimit > tolShear ||
                       (-s[1] + nphi * s[2]) - shearLimit > tolShear || s[1] - tension > tolTension ||
                       s[0] - tension > tolTension;
    return other ? -1 : 0;
  }
  const double* dm = k.dm;
  const double a = k.a;
  if (!(std::fabs(a) > 0.0)) return -1;
  const double lambda = h0 / a;
  const double c[3] = {s[0] - lambda * dm[0], s[1] - lambda * dm[1], s[2] - lambda * dm[2]};
  double bad = 0.0;
  bad = Max(bad, -lambda * std::fabs(a) - tolShear);
  bad = Max(bad, (c[2] - tension) - tolTension);
  bad = Max(bad, ((-c[0] + nphi * c[1]) - shearLimit) - tolShear);
  bad = Max(bad, ((-c[1] + nphi * c[2]) - shearLimit) - tolShear);
  bad = Max(bad, (c[1] - tension) - tolTension);
  bad = Max(bad, (c[0] - tension) - tolTension);
  const double lo = Min(Min(c[0], c[1]), c[2]);
  const double hi = Max(Max(c[0], c[1]), c[2]);
  bad = Max(bad, nphi * hi - lo - shearLimit - tolShear);
  bad = Max(bad, hi - tension - tolTension);
  if (bad > 0.0) return -2;
  out[0] = c[0];
  out[1] = c[1];
  out[2] = c[2];
  return 1;
}

// How far a candidate misses the planes outside its set (a bit mask of
// 0 to 5), then the criterion itself, from `bad` on.
[[gnu::always_inline]] inline double MissedPlanes(const double c[3], unsigned set, double nphi, double shearLimit,
                                                  double tension, double tolShear, double tolTension, double bad) {
  const double n[kPlanes][3] = {{-1, 0, nphi}, {0, 0, 1}, {-1, nphi, 0}, {0, -1, nphi}, {0, 1, 0}, {1, 0, 0}};
  // Unrolled, so that the set and the normals are constants and the table
  // never goes through the stack.
#pragma GCC unroll 6
  for (int p = 0; p < kPlanes; ++p) {
    if (set & (1u << p)) continue;
    const bool shear = (kShearPlanes >> p) & 1u;
    bad = Max(bad, Dot(n[p], c) - (shear ? shearLimit : tension) - (shear ? tolShear : tolTension));
  }
  const double lo = Min(Min(c[0], c[1]), c[2]);
  const double hi = Max(Max(c[0], c[1]), c[2]);
  bad = Max(bad, nphi * hi - lo - shearLimit - tolShear);
  return Max(bad, hi - tension - tolTension);
}

// A plane alone: the multiplier and the candidate, as SolveSmall and the
// search work them for one unknown; false when the candidate misses.
[[gnu::always_inline]] inline bool ReturnOnPlane(const double s[3], unsigned set, double h, double a,
                                                 const double dm[3], const ReturnConstants& k, const Tolerances& tol,
                                                 double out[3]) {
  const double lambda = h / a;
  const double c[3] = {s[0] - lambda * dm[0], s[1] - lambda * dm[1], s[2] - lambda * dm[2]};
  const double bad = MissedPlanes(c, set, k.nphi, k.shearLimit, k.tension, tol.shear, tol.tension,
                                  Max(0.0, -lambda * std::fabs(a) - tol.shear));
  if (bad > 0.0) return false;
  out[0] = c[0];
  out[1] = c[1];
  out[2] = c[2];
  return true;
}

// The edge of the shear plane and plane j (`set` the two): SolveSmall's steps
// on the right-hand side h0, hj, and the search's test of the candidate.
[[gnu::always_inline]] inline bool ReturnOnEdge(const double s[3], unsigned set, double h0, double hj,
                                                const ReturnConstants::Edge& e, const double dmj[3],
                                                const ReturnConstants& k, const Tolerances& tol, double out[3]) {
  double r0 = h0, r1 = hj;
  if (e.swap) std::swap(r0, r1);
  r1 -= e.f * r0;
  double lambda[2];
  lambda[1] = r1 / e.u11;
  double sum = r0;
  sum -= e.u01 * lambda[1];
  lambda[0] = sum / e.u00;
  double c[3] = {s[0], s[1], s[2]};
  for (int i = 0; i < 3; ++i) c[i] -= lambda[0] * k.dm0[i];
  for (int i = 0; i < 3; ++i) c[i] -= lambda[1] * dmj[i];
  double bad = Max(0.0, -lambda[0] * std::fabs(e.diag[0]) - tol.shear);
  bad = Max(bad, -lambda[1] * std::fabs(e.diag[1]) - tol.shear);
  bad = MissedPlanes(c, set, k.nphi, k.shearLimit, k.tension, tol.shear, tol.tension, bad);
  if (bad > 0.0) return false;
  out[0] = c[0];
  out[1] = c[1];
  out[2] = c[2];
  return true;
}

// The next returns when the shear plane alone has failed (ReturnOnShearPlane
// gave -2) and no tension plane is violated: onto plane 2 alone, onto plane 3
// alone, then onto the edges where the shear plane meets plane 2 (the two
// greater principal stresses equal, as under a load with equal lateral
// stresses) and plane 3 (the two lesser equal). These are the search's first
// candidates in its order, each tried where the search tries it; this is its
// arithmetic for them, so the same answers to the last bit. The set found,
// or 0 when the search must decide.
[[gnu::always_inline]] inline unsigned ReturnOnShearEdge(const double s[3], const ReturnConstants& k,
                                                         const Tolerances& tol, double out[3]) {
  const double nphi = k.nphi, shearLimit = k.shearLimit, tension = k.tension;
  const double tolShear = tol.shear, tolTension = tol.tension;
  const double n0[3] = {-1, 0, nphi}, n2[3] = {-1, nphi, 0}, n3[3] = {0, -1, nphi};
  if (s[2] - tension > tolTension || s[1] - tension > tolTension || s[0] - tension > tolTension) return 0;
  const double h0 = Dot(n0, s) - shearLimit, h2 = Dot(n2, s) - shearLimit, h3 = Dot(n3, s) - shearLimit;
  const bool violated3 = h3 > tolShear;
  if (h2 > tolShear && k.plane2 && ReturnOnPlane(s, 4u, h2, k.a22, k.dm2, k, tol, out)) return 4u;
  if (violated3 && k.plane3 && ReturnOnPlane(s, 8u, h3, k.a33, k.dm3, k, tol, out)) return 8u;
  if (k.edge02.solvable && ReturnOnEdge(s, 1u | 4u, h0, h2, k.edge02, k.dm2, k, tol, out)) return 1u | 4u;
  if (violated3 && k.edge03.solvable && ReturnOnEdge(s, 1u | 8u, h0, h3, k.edge03, k.dm3, k, tol, out)) return 1u | 8u;
  return 0;
}

// Returns the ordered principal trial stress `s` to the yield surface; the
// answer is the set of active planes (0 when the stress is admissible).
// For each candidate set the plastic multipliers make its planes active;
// the first candidate with no negative multiplier and no other plane
// violated wins. alpha1 = K + 4G/3, alpha2 = K - 2G/3.
unsigned ReturnPrincipal(const double s[3], double nphi, double npsi, double shearLimit, double tension, double alpha1,
                         double alpha2, double out[3]) {
  const double twoG = alpha1 - alpha2;
  const Plane planes[kPlanes] = {
      {{-1, 0, nphi}, shearLimit, {-1, 0, npsi}},
      {{0, 0, 1}, tension, {0, 0, 1}},
      {{-1, nphi, 0}, shearLimit, {-1, npsi, 0}},
      {{0, -1, nphi}, shearLimit, {0, -1, npsi}},
      {{0, 1, 0}, tension, {0, 1, 0}},
      {{1, 0, 0}, tension, {1, 0, 0}},
  };
  double scale = Max(Max(std::fabs(s[0]), std::fabs(s[1])), std::fabs(s[2]));
  double dm[kPlanes][3], h[kPlanes], tol[kPlanes];
  unsigned violated = 0;
  for (int k = 0; k < kPlanes; ++k) {
    const Plane& pl = planes[k];
    double sum = pl.m[0] + pl.m[1] + pl.m[2];
    for (int i = 0; i < 3; ++i) dm[k][i] = alpha2 * sum + twoG * pl.m[i];
    h[k] = pl.n[0] * s[0] + pl.n[1] * s[1] + pl.n[2] * s[2] - pl.b;
    tol[k] = 1e-11 * ((std::fabs(pl.n[0]) + std::fabs(pl.n[1]) + std::fabs(pl.n[2])) * scale + std::fabs(pl.b));
    if (h[k] > tol[k]) violated |= 1u << k;
  }
  if (!violated) return 0;
  const double tolShear = tol[0], tolTension = tol[1];

  unsigned bestSet = 0;
  double bestBad = 0.0;
  double best[3] = {s[0], s[1], s[2]};
  for (unsigned char set : kActiveSets) {
    if (!(set & violated)) continue;
    int idx[3], k = 0;
    for (int p = 0; p < kPlanes; ++p)
      if (set & (1u << p)) idx[k++] = p;
    double a[3][3], r[3], lambda[3], diag[3];
    for (int i = 0; i < k; ++i) {
      const double* n = planes[idx[i]].n;
      for (int j = 0; j < k; ++j) a[i][j] = n[0] * dm[idx[j]][0] + n[1] * dm[idx[j]][1] + n[2] * dm[idx[j]][2];
      diag[i] = a[i][i];
      r[i] = h[idx[i]];
    }
    if (!SolveSmall(k, a, r, lambda)) continue;
    double c[3] = {s[0], s[1], s[2]};
    for (int j = 0; j < k; ++j)
      for (int i = 0; i < 3; ++i) c[i] -= lambda[j] * dm[idx[j]][i];
    // How far the candidate misses: negative multipliers and violated planes.
    double bad = 0.0;
    for (int i = 0; i < k; ++i) bad = Max(bad, -lambda[i] * std::fabs(diag[i]) - tol[idx[i]]);
    for (int p = 0; p < kPlanes; ++p) {
      if (set & (1u << p)) continue;
      const Plane& pl = planes[p];
      bad = Max(bad, pl.n[0] * c[0] + pl.n[1] * c[1] + pl.n[2] * c[2] - pl.b - tol[p]);
    }
    // The criterion itself, whatever order the returned values took.
    double lo = Min(Min(c[0], c[1]), c[2]);
    double hi = Max(Max(c[0], c[1]), c[2]);
    bad = Max(bad, nphi * hi - lo - shearLimit - tolShear);
    bad = Max(bad, hi - tension - tolTension);
    if (!(bad > 0.0)) {
      out[0] = c[0];
      out[1] = c[1];
      out[2] = c[2];
      return set;
    }
    if (!bestSet || bad < bestBad) {
      bestSet = set;
      bestBad = bad;
      best[0] = c[0];
      best[1] = c[1];
      best[2] = c[2];
    }
  }
  // Only rounding can leave every candidate short: take the closest one.
  out[0] = best[0];
  out[1] = best[1];
  out[2] = best[2];
  return bestSet;
}
}  // namespace

const char* const* MohrModel::Properties() const { return kPropertyNames; }
const char* const* MohrModel::States() const { return kStateNames; }

double MohrModel::GetPropertyByIndex(int index) const {
  return index >= 1 && index <= kPropertyCount ? prop_[index - 1] : 0.0;
}

bool MohrModel::SetPropertyByIndex(int index, double value) {
  if (index < 1 || index > kPropertyCount) return false;
  prop_[index - 1] = value;
  Recompute();
  return true;
}

void MohrModel::Recompute() {
  const double bulk = prop_[kBulk - 1], shear = prop_[kShear - 1];
  const double cohesion = prop_[kCohesion - 1];
  alpha1_ = bulk + 4.0 * shear / 3.0;
  double sphi = ClampedSin(prop_[kFriction - 1]);
  double spsi = ClampedSin(prop_[kDilation - 1]);
  nphi_ = (1.0 + sphi) / (1.0 - sphi);
  npsi_ = (1.0 + spsi) / (1.0 - spsi);
  shearLimit_ = 2.0 * cohesion * std::sqrt(nphi_);
  tensionLimit_ = prop_[kTension - 1];
  if (sphi > 0.0) {
    // The shear envelope meets the mean-stress axis at c / tan(phi); a tiny
    // friction angle leaves the cap far away but finite.
    double tanphi = sphi / std::sqrt((1.0 - sphi) * (1.0 + sphi));
    if (std::fabs(cohesion) < tanphi * 1e300) {
      double cap = cohesion / tanphi;
      if (cap < tensionLimit_) tensionLimit_ = cap;
    }
  }
  moduli_ = Moduli(bulk, shear);
  returns_ = MakeReturnConstants(nphi_, npsi_, shearLimit_, tensionLimit_, moduli_.alpha1, moduli_.lame);
  fourLanes_ = FourLaneReturns(returns_);
}

std::unique_ptr<ConstitutiveModel> MohrModel::Clone() const {
  return std::unique_ptr<ConstitutiveModel>(new (std::nothrow) MohrModel(*this));
}

bool MohrModel::Copy(const ConstitutiveModel& source) {
  if (source.Type() != Type()) return false;
  const auto& other = static_cast<const MohrModel&>(source);
  for (int i = 0; i < kPropertyCount; ++i) prop_[i] = other.prop_[i];
  Recompute();
  return true;
}

const char* MohrModel::Initialize(uint32_t, ModelState&) {
  // Written so that a value that is not a number fails too.
  if (!(prop_[kBulk - 1] >= 0.0 && prop_[kShear - 1] >= 0.0)) return "Bulk and shear modulus must not be negative";
  double phi = prop_[kFriction - 1], psi = prop_[kDilation - 1];
  if (!(phi >= 0.0 && phi < 90.0)) return "Friction angle must be at least 0 and below 90 degrees";
  if (!(psi > -90.0 && psi < 90.0)) return "Dilation angle must lie between -90 and 90 degrees";
  return nullptr;
}

// One tetrahedron's elastic trial and the checks before any eigen-solution;
// true when the stress lies inside the surface (its update is done), false
// when it must go to the return (`bits` then its state with this update's
// failure cleared).
[[gnu::always_inline]] inline bool MohrModel::TrialInside(const Moduli& moduli, const Limits& limits,
                                                          const double strain[6], double stress[6], uint32_t* state,
                                                          uint32_t& bits) {
  // The trial stress is worked in place: a copy went through the stack and
  // came back in wider loads that stalled.
  cmodels::AddHookeIncrementLame(moduli.lame, moduli.twoG, strain, stress);
  const double* t = stress;
  bits = *state & ~static_cast<uint32_t>(kShearNow | kTensionNow);
  // A tetrahedron that yielded in its last update is likely to yield again:
  // it goes to the return at once, without the bounds (which, loose near the
  // surface, placed 60 of 296 million such updates inside over a whole
  // SOLVE FOS of a slope; a stress they would place inside lies inside by
  // far more than the return's tolerance, and the return leaves it as it
  // is). The others are checked on the bounds, then on closer bounds and
  // their principal values.
  if (*state & (kShearNow | kTensionNow)) return false;
  const double nphi = limits.nphi, shearLimit = limits.shearLimit, tension = limits.tension;
  if (InsideByBounds(t, nphi, shearLimit, tension) || InsideByPlaneOrValues(t, nphi, shearLimit, tension)) {
    *state = bits;
    return true;
  }
  return false;
}

namespace {

// The return of a trial stress outside the surface from its principal
// values and directions (`ok` false for a stress that is not a number, which
// stays as it is: the step's math check reports it); `bits` its state with
// this update's failure cleared. Answers whether it yielded.
[[gnu::always_inline]] inline bool ReturnFromPrincipal(const ReturnConstants& k, bool ok, const double p[3],
                                                       const double v[3][3], double stress[6], uint32_t bits,
                                                       uint32_t* state) {
  double t[6] = {stress[0], stress[1], stress[2], stress[3], stress[4], stress[5]};
  bool plastic = false;
  double q[3];
  if (ok) {
    const Tolerances tol(p, k);
    const int quick = ReturnOnShearPlane(p, k, tol, q);
    unsigned set = static_cast<unsigned>(quick);
    if (quick < 0) {
      set = quick == -2 ? ReturnOnShearEdge(p, k, tol, q) : 0u;
      if (!set) set = ReturnPrincipal(p, k.nphi, k.npsi, k.shearLimit, k.tension, k.alpha1, k.alpha2, q);
    }
    if (set) {
      plastic = true;
      // Back to the coordinate axes: add sum_k (q_k - p_k) v_k v_k^T.
      for (int j = 0; j < 3; ++j) {
        double d = q[j] - p[j];
        double x = v[0][j], y = v[1][j], z = v[2][j];
        t[0] += d * x * x;
        t[1] += d * y * y;
        t[2] += d * z * z;
        t[3] += d * x * y;
        t[4] += d * x * z;
        t[5] += d * y * z;
      }
      if (set & kShearPlanes) bits |= MohrModel::kShearNow | MohrModel::kShearPast;
      if (set & kTensionPlanes) bits |= MohrModel::kTensionNow | MohrModel::kTensionPast;
    }
  }
  for (int i = 0; i < 6; ++i) stress[i] = t[i];
  *state = bits;
  return plastic;
}

// Four-lane forms of the helpers above, for the AVX2 code.
namespace lanes {
using cmodels::x4::Mask;
using cmodels::x4::Vec;
#define TERRAX_AVX2 __attribute__((target("arch=x86-64-v3,no-fma"), always_inline))
TERRAX_AVX2 inline Vec Max(Vec a, Vec b) { return a > b ? a : b; }
TERRAX_AVX2 inline Vec Min(Vec a, Vec b) { return a < b ? a : b; }
TERRAX_AVX2 inline Vec Load(const double x[4]) { return Vec{x[0], x[1], x[2], x[3]}; }
TERRAX_AVX2 inline Vec Splat(double x) { return Vec{x, x, x, x}; }
// MissedPlanes, lane by lane.
TERRAX_AVX2 inline Vec MissedPlanes(const Vec c[3], unsigned set, double nphi, double shearLimit, double tension,
                                    Vec tolShear, Vec tolTension, Vec bad) {
  const double n[kPlanes][3] = {{-1, 0, nphi}, {0, 0, 1}, {-1, nphi, 0}, {0, -1, nphi}, {0, 1, 0}, {1, 0, 0}};
  // Unrolled, so that the set and the normals are constants and the table
  // never goes through the stack.
#pragma GCC unroll 6
  for (int p = 0; p < kPlanes; ++p) {
    if (set & (1u << p)) continue;
    const bool shear = (kShearPlanes >> p) & 1u;
    const Vec dot = n[p][0] * c[0] + n[p][1] * c[1] + n[p][2] * c[2];
    bad = Max(bad, dot - (shear ? shearLimit : tension) - (shear ? tolShear : tolTension));
  }
  const Vec lo = Min(Min(c[0], c[1]), c[2]);
  const Vec hi = Max(Max(c[0], c[1]), c[2]);
  bad = Max(bad, nphi * hi - lo - shearLimit - tolShear);
  return Max(bad, hi - tension - tolTension);
}
// ReturnOnPlane on the lanes of `tried`: the lanes it returns, their
// candidates written into q.
TERRAX_AVX2 inline Mask ReturnOnPlane(const Vec s[3], Mask tried, unsigned set, Vec h, double a, const double dm[3],
                                      const ReturnConstants& k, Vec tolShear, Vec tolTension, Vec q[3]) {
  const Vec zero = Splat(0.0);
  const Vec lambda = (tried ? h : zero) / a;
  const Vec c[3] = {s[0] - lambda * dm[0], s[1] - lambda * dm[1], s[2] - lambda * dm[2]};
  const Vec bad = MissedPlanes(c, set, k.nphi, k.shearLimit, k.tension, tolShear, tolTension,
                               Max(zero, -lambda * std::fabs(a) - tolShear));
  const Mask done = tried & ~(bad > 0.0);
  for (int i = 0; i < 3; ++i) q[i] = done ? c[i] : q[i];
  return done;
}
// ReturnOnEdge likewise.
TERRAX_AVX2 inline Mask ReturnOnEdge(const Vec s[3], Mask tried, unsigned set, Vec h0, Vec hj,
                                     const ReturnConstants::Edge& e, const double dmj[3], const ReturnConstants& k,
                                     Vec tolShear, Vec tolTension, Vec q[3]) {
  const Vec zero = Splat(0.0);
  Vec r0 = tried ? h0 : zero, r1 = tried ? hj : zero;
  if (e.swap) std::swap(r0, r1);
  r1 -= e.f * r0;
  const Vec lambda1 = r1 / e.u11;
  Vec sum = r0;
  sum -= e.u01 * lambda1;
  const Vec lambda0 = sum / e.u00;
  Vec c[3] = {s[0], s[1], s[2]};
  for (int i = 0; i < 3; ++i) c[i] -= lambda0 * k.dm0[i];
  for (int i = 0; i < 3; ++i) c[i] -= lambda1 * dmj[i];
  Vec bad = Max(zero, -lambda0 * std::fabs(e.diag[0]) - tolShear);
  bad = Max(bad, -lambda1 * std::fabs(e.diag[1]) - tolShear);
  bad = MissedPlanes(c, set, k.nphi, k.shearLimit, k.tension, tolShear, tolTension, bad);
  const Mask done = tried & ~(bad > 0.0);
  for (int i = 0; i < 3; ++i) q[i] = done ? c[i] : q[i];
  return done;
}
TERRAX_AVX2 inline bool Any(Mask m) { return (m[0] | m[1] | m[2] | m[3]) != 0; }
#undef TERRAX_AVX2
}  // namespace lanes

// ReturnFromPrincipal for up to four tensors at once (AVX2 code), from the
// principal values and directions SymEigen3x4 gave, for the common cases:
// the stress admissible, returned onto the shear plane alone, onto plane 2
// or 3 alone or onto the edge of the shear plane with either. Lane by lane
// the operations of ReturnOnShearPlane, ReturnOnShearEdge and the rotation
// back, their branches as selections made before any division; lanes past `count`,
// lanes whose eigen-solution failed and lanes of huge values hold harmless
// values and are not written. Tensors off those cases go through
// ReturnFromPrincipal itself. `k` must have passed FourLaneReturns.
[[gnu::always_inline]] __attribute__((target("arch=x86-64-v3,no-fma"))) inline void ReturnsFourLanes(
    const ReturnConstants& k, int count, const bool ok[4], const double values[3][4], const double vectors[3][3][4],
    double* const stress[4], const uint32_t bits[4], uint32_t* const state[4], uint8_t* const damping[4]) {
  using cmodels::x4::Abs;
  using cmodels::x4::Mask;
  using cmodels::x4::Splat;
  using cmodels::x4::Vec;
  using lanes::Load;
  using lanes::Max;
  using lanes::Min;
  Mask active = {0 < count && ok[0] ? -1 : 0, 1 < count && ok[1] ? -1 : 0, 2 < count && ok[2] ? -1 : 0,
                 3 < count && ok[3] ? -1 : 0};
  const Vec zero = Splat(0.0);
  Vec s[3];
  for (int i = 0; i < 3; ++i) s[i] = active ? Load(values[i]) : Splat(-3.0 + i);
  // Values too great to be worked without overflow are left to the
  // one-tensor code too.
  active &= Max(Max(Abs(s[0]), Abs(s[1])), Abs(s[2])) <= 1e150;
  for (int i = 0; i < 3; ++i) s[i] = active ? s[i] : Splat(-3.0 + i);
  const Vec nphi = Splat(k.nphi), shearLimit = Splat(k.shearLimit), tension = Splat(k.tension);
  // Tolerances.
  const Vec scale = Max(Max(Abs(s[0]), Abs(s[1])), Abs(s[2]));
  const Vec tolShear = 1e-11 * ((1.0 + k.nphi) * scale + std::fabs(k.shearLimit));
  const Vec tolTension = 1e-11 * (scale + std::fabs(k.tension));
  // ReturnOnShearPlane.
  const Vec h0 = (-s[0] + nphi * s[2]) - shearLimit;
  const Mask violated = h0 > tolShear;
  const Mask other = (s[2] - tension > tolTension) | ((-s[0] + nphi * s[1]) - shearLimit > tolShear) |
                     ((-s[1] + nphi * s[2]) - shearLimit > tolShear) | (s[1] - tension > tolTension) |
                     (s[0] - tension > tolTension);
  const Vec a = Splat(k.a);
  const Vec lambda = (violated ? h0 : zero) / a;
  const Vec c[3] = {s[0] - lambda * k.dm[0], s[1] - lambda * k.dm[1], s[2] - lambda * k.dm[2]};
  Vec bad = zero;
  bad = Max(bad, -lambda * Abs(a) - tolShear);
  bad = Max(bad, (c[2] - tension) - tolTension);
  bad = Max(bad, ((-c[0] + nphi * c[1]) - shearLimit) - tolShear);
  bad = Max(bad, ((-c[1] + nphi * c[2]) - shearLimit) - tolShear);
  bad = Max(bad, (c[1] - tension) - tolTension);
  bad = Max(bad, (c[0] - tension) - tolTension);
  const Vec lo = Min(Min(c[0], c[1]), c[2]);
  const Vec hi = Max(Max(c[0], c[1]), c[2]);
  bad = Max(bad, nphi * hi - lo - shearLimit - tolShear);
  bad = Max(bad, hi - tension - tolTension);
  const Mask admissible = active & ~violated & ~other;
  Mask returned = active & violated & ~(bad > 0.0);
  Vec q[3] = {c[0], c[1], c[2]};
  // ReturnOnShearEdge on the lanes the shear plane alone has failed.
  const Mask edge = active & violated & (bad > 0.0) & ~(s[2] - tension > tolTension) & ~(s[1] - tension > tolTension) &
                    ~(s[0] - tension > tolTension);
  if (lanes::Any(edge)) {
    const Vec h0 = (-1.0 * s[0] + 0.0 * s[1] + k.nphi * s[2]) - shearLimit;
    const Vec h2 = (-1.0 * s[0] + k.nphi * s[1] + 0.0 * s[2]) - shearLimit;
    const Vec h3 = (0.0 * s[0] + -1.0 * s[1] + k.nphi * s[2]) - shearLimit;
    const Mask violated3 = h3 > tolShear;
    Mask left = edge;
    if (k.plane2)
      left &= ~lanes::ReturnOnPlane(s, left & (h2 > tolShear), 4u, h2, k.a22, k.dm2, k, tolShear, tolTension, q);
    if (k.plane3 && lanes::Any(left & violated3))
      left &= ~lanes::ReturnOnPlane(s, left & violated3, 8u, h3, k.a33, k.dm3, k, tolShear, tolTension, q);
    if (k.edge02.solvable && lanes::Any(left))
      left &= ~lanes::ReturnOnEdge(s, left, 1u | 4u, h0, h2, k.edge02, k.dm2, k, tolShear, tolTension, q);
    if (k.edge03.solvable && lanes::Any(left & violated3))
      left &= ~lanes::ReturnOnEdge(s, left & violated3, 1u | 8u, h0, h3, k.edge03, k.dm3, k, tolShear, tolTension, q);
    returned |= edge & ~left;
  }
  // Back to the coordinate axes on the returned lanes.
  static const double kNone[6] = {};
  const double* row[4];
  for (int l = 0; l < 4; ++l) row[l] = l < count ? stress[l] : kNone;
  Vec t[6];
  for (int i = 0; i < 6; ++i) t[i] = returned ? Vec{row[0][i], row[1][i], row[2][i], row[3][i]} : zero;
  for (int j = 0; j < 3; ++j) {
    const Vec d = (returned ? q[j] : s[j]) - s[j];
    const Vec x = returned ? Load(vectors[0][j]) : zero, y = returned ? Load(vectors[1][j]) : zero,
              z = returned ? Load(vectors[2][j]) : zero;
    t[0] += d * x * x;
    t[1] += d * y * y;
    t[2] += d * z * z;
    t[3] += d * x * y;
    t[4] += d * x * z;
    t[5] += d * y * z;
  }
  for (int l = 0; l < count; ++l) {
    if (returned[l]) {
      for (int i = 0; i < 6; ++i) stress[l][i] = t[i][l];
      *state[l] = bits[l] | MohrModel::kShearNow | MohrModel::kShearPast;
      *damping[l] = 0;
    } else if (admissible[l]) {
      *state[l] = bits[l];
      *damping[l] = 1;
    } else {
      const double p[3] = {values[0][l], values[1][l], values[2][l]};
      const double v[3][3] = {{vectors[0][0][l], vectors[0][1][l], vectors[0][2][l]},
                              {vectors[1][0][l], vectors[1][1][l], vectors[1][2][l]},
                              {vectors[2][0][l], vectors[2][1][l], vectors[2][2][l]}};
      *damping[l] = ReturnFromPrincipal(k, ok[l], p, v, stress[l], bits[l], state[l]) ? 0 : 1;
    }
  }
}

// The eigen-solutions of up to 4 G tensors, G groups of four side by side,
// and their returns in one call, the principal values and directions passed
// on in registers.
template <int G>
[[gnu::noinline]] __attribute__((target("arch=x86-64-v3,no-fma"))) void EigenReturnsFourLanes(
    const ReturnConstants& k, int count, double* const stress[], const uint32_t bits[], uint32_t* const state[],
    uint8_t* const damping[]) {
  double values[G][3][4], vectors[G][3][3][4];
  double(*valuesOf[G])[4];
  double(*vectorsOf[G])[3][4];
  for (int g = 0; g < G; ++g) valuesOf[g] = values[g], vectorsOf[g] = vectors[g];
  bool ok[4 * G];
  cmodels::SymEigen3x4Groups<G>(stress, count, valuesOf, vectorsOf, ok);
  for (int g = 0; g < G; ++g) {
    const int lanes = count - 4 * g < 4 ? count - 4 * g : 4;
    ReturnsFourLanes(k, lanes, ok + 4 * g, values[g], vectors[g], stress + 4 * g, bits + 4 * g, state + 4 * g,
                     damping + 4 * g);
  }
}

}  // namespace

// The elastic trials and checks of a run of tetrahedra first, then the
// returns of those left outside, back to back: the short elastic loop keeps
// its branches predictable, and the returns' long chains of dependent
// operations overlap (the AVX2 code works their eigen-solutions and their
// common returns four at a time). Each tetrahedron's arithmetic is as for a call of its own.
template <bool kVector>
[[gnu::always_inline]] inline void MohrModel::UpdateZone(const Moduli& moduli, const ZoneStressBlock& block) const {
  constexpr int kRun = 16;
  int outside[kRun];
  uint32_t outsideBits[kRun];
  // Taken into locals: the stores of the trials could otherwise be those of
  // the block's fields and the model's, which the loop would read again.
  const Limits limits{nphi_, shearLimit_, tensionLimit_};
  const int count = block.count;
  const double(*const strain)[6] = block.strain;
  double(*const stress)[6] = block.stress;
  uint32_t* const state = block.state;
  uint8_t* const damping = block.stiffnessDamping;
  for (int first = 0; first < count; first += kRun) {
    const int last = first + kRun < count ? first + kRun : count;
    int n = 0;
    for (int i = first; i < last; ++i) {
      uint32_t bits;
      if (TrialInside(moduli, limits, strain[i], stress[i], &state[i], bits)) {
        damping[i] = 1;
      } else {
        outside[n] = i;
        outsideBits[n++] = bits;
      }
    }
    if (n == 0) continue;
    // The model's own moduli take the constants worked out with them; a zone
    // of other moduli (hysteretic damping) works its own.
    ReturnConstants own;
    bool ownFourLanes = false;
    const bool same = &moduli == &moduli_;
    if (!same) {
      own = MakeReturnConstants(nphi_, npsi_, shearLimit_, tensionLimit_, moduli.alpha1, moduli.lame);
      if constexpr (kVector) ownFourLanes = FourLaneReturns(own);
    }
    const ReturnConstants& k = same ? returns_ : own;
    // Only elastic increments feed the stiffness-proportional damping.
    if constexpr (kVector) {
      const bool fourLanes = same ? fourLanes_ : ownFourLanes;
      if (fourLanes) {
        // Up to three groups of four at a time.
        for (int j = 0; j < n;) {
          const int m = n - j < 12 ? n - j : 12;
          double* stress[12] = {};
          uint32_t* state[12] = {};
          uint8_t* damping[12] = {};
          for (int l = 0; l < m; ++l) {
            const int i = outside[j + l];
            stress[l] = block.stress[i];
            state[l] = &block.state[i];
            damping[l] = &block.stiffnessDamping[i];
          }
          if (m > 8)
            EigenReturnsFourLanes<3>(k, m, stress, &outsideBits[j], state, damping);
          else if (m > 4)
            EigenReturnsFourLanes<2>(k, m, stress, &outsideBits[j], state, damping);
          else
            EigenReturnsFourLanes<1>(k, m, stress, &outsideBits[j], state, damping);
          j += m;
        }
        continue;
      }
      for (int j = 0; j < n; j += 4) {
        const int m = n - j < 4 ? n - j : 4;
        const double* in[4] = {};
        for (int l = 0; l < m; ++l) in[l] = block.stress[outside[j + l]];
        double values[3][4], vectors[3][3][4];
        bool ok[4];
        cmodels::SymEigen3x4(in, m, values, vectors, ok);
        for (int l = 0; l < m; ++l) {
          const int i = outside[j + l];
          const double p[3] = {values[0][l], values[1][l], values[2][l]};
          const double v[3][3] = {{vectors[0][0][l], vectors[0][1][l], vectors[0][2][l]},
                                  {vectors[1][0][l], vectors[1][1][l], vectors[1][2][l]},
                                  {vectors[2][0][l], vectors[2][1][l], vectors[2][2][l]}};
          block.stiffnessDamping[i] =
              ReturnFromPrincipal(k, ok[l], p, v, block.stress[i], outsideBits[j + l], &block.state[i]) ? 0 : 1;
        }
      }
    } else {
      for (int j = 0; j < n; ++j) {
        const int i = outside[j];
        double p[3], v[3][3];
        const bool ok = cmodels::SymEigen3(block.stress[i], p, v);
        block.stiffnessDamping[i] =
            ReturnFromPrincipal(k, ok, p, v, block.stress[i], outsideBits[j], &block.state[i]) ? 0 : 1;
      }
    }
  }
}

void MohrModel::UpdateZoneBaseline(const Moduli& moduli, const ZoneStressBlock& block) const {
  UpdateZone<false>(moduli, block);
}

// AVX2 without fused multiply-add: every operation rounds as in the
// baseline code, so both give the same bits.
__attribute__((target("arch=x86-64-v3,no-fma"))) void MohrModel::UpdateZoneAvx2(const Moduli& moduli,
                                                                                const ZoneStressBlock& block) const {
  UpdateZone<true>(moduli, block);
}

const char* MohrModel::UpdateStress(uint32_t, ModelState& state) {
  ZoneStressBlock block;
  block.zone = &state;
  block.count = 1;
  block.strain = &state.strain;
  block.stress = &state.stress;
  block.state = &state.state;
  block.stiffnessDamping = &state.stiffnessDamping;
  if (state.hystFactor >= 0.0)
    UpdateZoneBaseline(Moduli(prop_[kBulk - 1], cmodels::EffectiveShear(prop_[kShear - 1], state)), block);
  else
    UpdateZoneBaseline(moduli_, block);
  return nullptr;
}

const char* MohrModel::UpdateZoneStress(uint32_t, ZoneStressBlock& block) {
  const auto update = [&](const Moduli& moduli) {
    if (cmodels::VectorKernels())
      UpdateZoneAvx2(moduli, block);
    else
      UpdateZoneBaseline(moduli, block);
  };
  // Without hysteretic damping the moduli are those of the properties, the
  // returns' constants worked out with them.
  if (block.zone->hystFactor >= 0.0)
    update(Moduli(prop_[kBulk - 1], cmodels::EffectiveShear(prop_[kShear - 1], *block.zone)));
  else
    update(moduli_);
  return nullptr;
}

const char* MohrModel::SaveRestore(ModelSaveObject& object) {
  if (object.Saving()) {
    cmodels::SaveProperties(object, Type(), Version(), prop_, kPropertyCount);
    return nullptr;
  }
  const char* error = cmodels::RestoreProperties(object, Type(), prop_, kPropertyCount);
  Recompute();
  return error;
}
