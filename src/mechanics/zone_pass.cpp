// The zone stress pass. Every zone is worked in three walks over its overlay
// tetrahedra (overlay A, then B): strain increments and the large-strain
// rotation; the constitutive model on the mixed strain; the zone-mean
// pressure and the forces on the corners. Everything a zone needs lives in
// fixed arrays here; nothing is allocated. The model takes a whole zone per
// call on compact arrays, with the zone part of its record filled once per
// zone; the corners' force sums are kept in locals and written once per zone.
// The innermost loops of the program: the build compiles this file at -O3
// (unrolled and vectorised); the arithmetic stays as written.

#include "mechanics/zone_pass.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>

#include <omp.h>

#include "base/except.h"
#include "base/string.h"
#include "cmodels/constitutive_model.h"
#include "cmodels/model_support.h"
#include "mechanics/step_chunks.h"
#include "model/calc_module.h"
#include "model/gp_fluid.h"
#include "model/grid_point.h"
#include "model/model_settings.h"
#include "model/zone.h"
#include "platform/pumps.h"

namespace {

constexpr int kMaxTetra = 2 * kMaxOverlayTetra;

// Four doubles worked lane by lane: every lane rounds as the scalar
// operation would, in the baseline code (two SSE2 halves) and in AVX2 alike.
typedef double Vec4 __attribute__((vector_size(32)));
typedef int64_t Vec4Bits __attribute__((vector_size(32)));

// Every lane's magnitude: its sign bit cleared.
inline __attribute__((always_inline)) Vec4 Abs4(const Vec4& x) {
  return reinterpret_cast<Vec4>(reinterpret_cast<Vec4Bits>(x) & INT64_MAX);
}

// Adds the force x, y, z to the sums and |x| + |y| + |z| to their fourth lane.
inline __attribute__((always_inline)) void AddForce(Vec4& sum, const Vec4& f) {
  const Vec4 a = Abs4(f);
  Vec4 g = f;
  g[3] = (a[0] + a[1]) + a[2];
  sum += g;
}

// What the pass reads once: settings, modules and the hooks of the modes.
struct PassContext {
  double dt = 0.0;
  uint32_t step = 0;
  bool large = false;
  bool pore = false;
  const ThermalCalcModule* thermal = nullptr;  // the thermal module, when one exists
  FluidCalcModule* fluid = nullptr;            // the fluid module, when one exists
  bool dynamic = false;                        // a dynamic module exists and is on
  DynamicStepSettings dyn;
  ModelState record;
  // The packed grid-point slots: the corners' velocities come from them
  // and their force sums go to them.
  GpHot* hot = nullptr;
};

[[noreturn]] void IllegalGeometry(const Zone& zone) {
  throw QJExcept(FormatText("Illegal geometry in zone %1", UIntToString(zone.Id()).c_str()));
}

// What one zone's three walks share: its shape, the step's effective time
// and damping, and the per-tetrahedron results of each walk for the next.
struct ZoneWork {
  int type = 0;
  int per = 0;
  ZoneTetra* blocks[2] = {nullptr, nullptr};
  int overlays = 0;
  GridPoint* const* gp = nullptr;
  const uint32_t* slot = nullptr;  // the corners' packed slots, with PassContext::hot
  int gpCount = 0;
  uint8_t skip = 0;                     // corners whose sums another chunk owns (threaded pass)
  double b = 0.0;                       // stiffness-proportional damping factor
  double h = 0.0;                       // the effective time step over 3
  alignas(32) double v[kZoneSlots][4];  // the corners' velocities (the fourth 0)
  // The first walk's strain increments (tensor shear), spins and volumes.
  double e[kMaxTetra][6];
  double w[kMaxTetra][3];
  double vol[kMaxTetra];
  double f[kMaxTetra];  // h / V, small strain
  int count = 0;
  double sumV = 0.0;
  double d = 0.0;  // the zone's mean volumetric strain increment
  // The second walk's compact model arrays: mixed strain increments, stresses
  // (with the pore pressure), state bits and the damping flags.
  double me[kMaxTetra][6];
  double ms[kMaxTetra][6];
  uint32_t mst[kMaxTetra];
  uint8_t mdamp[kMaxTetra];
  // The second walk's stress changes (stiffness-proportional damping) and sums.
  double ds[kMaxTetra][6];
  double sumTV = 0.0;
  double P = 0.0;  // the zone-mean trace of the stresses
};

// First walk: strain increments (tensor shear) and spins, the large-strain
// rotation of the stresses, and the zone's mean volumetric strain.
template <bool kVector>
inline __attribute__((always_inline)) void StrainWalk(Zone& zone, PassContext& c, ZoneWork& z) {
  double sumEV = 0.0;
  z.count = 0;
  z.sumV = 0.0;
  // In small strain the volumes are fixed: all of them are checked and the
  // factors h / V divided together before the walk (nothing is written
  // before a bad volume stops the pass, as in the walk itself).
  if (!c.large) {
    int n = 0;
    bool bad = false;
    for (int o = 0; o < 2; ++o) {
      const ZoneTetra* block = z.blocks[o];
      if (!block) continue;
      for (int k = 0; k < z.per; ++k, ++n) {
        z.vol[n] = block[k].volume;
        bad |= !(z.vol[n] > 0.0);
      }
    }
    if (bad) IllegalGeometry(zone);
    for (int i = 0; i < n; ++i) z.f[i] = z.h / z.vol[i];
  }
  for (int o = 0; o < 2; ++o) {
    ZoneTetra* block = z.blocks[o];
    if (!block) continue;
    const TetraDef* defs = OverlayDefinitions(z.type, o);
    for (int k = 0; k < z.per; ++k, ++z.count) {
      ZoneTetra& t = block[k];
      const uint8_t* corner = defs[k].gp;
      if (c.large) t.ComputeGeometry(*z.gp[corner[0]], *z.gp[corner[1]], *z.gp[corner[2]], *z.gp[corner[3]]);
      double V, f;
      if (c.large) {
        V = t.volume;
        if (!(V > 0.0)) IllegalGeometry(zone);
        f = z.h / V;
      } else {
        V = z.vol[z.count];
        f = z.f[z.count];
      }
      double g[3][3];
      if constexpr (kVector) {
        // The velocity gradient a column at a time: column j is the sum over
        // the corners of velocity times area component j, in corner order.
        Vec4 v0, v1, v2, v3;
        __builtin_memcpy(&v0, z.v[corner[0]], sizeof(Vec4));
        __builtin_memcpy(&v1, z.v[corner[1]], sizeof(Vec4));
        __builtin_memcpy(&v2, z.v[corner[2]], sizeof(Vec4));
        __builtin_memcpy(&v3, z.v[corner[3]], sizeof(Vec4));
        Vec4 col[3];
        for (int j = 0; j < 3; ++j)
          col[j] = f * (((v0 * t.area[0][j] + v1 * t.area[1][j]) + v2 * t.area[2][j]) + v3 * t.area[3][j]);
        for (int i = 0; i < 3; ++i)
          for (int j = 0; j < 3; ++j) g[i][j] = col[j][i];
      } else {
        const double* v0 = z.v[corner[0]];
        const double* v1 = z.v[corner[1]];
        const double* v2 = z.v[corner[2]];
        const double* v3 = z.v[corner[3]];
        for (int i = 0; i < 3; ++i)
          for (int j = 0; j < 3; ++j)
            g[i][j] = v0[i] * t.area[0][j] + v1[i] * t.area[1][j] + v2[i] * t.area[2][j] + v3[i] * t.area[3][j];
        for (int i = 0; i < 3; ++i)
          for (int j = 0; j < 3; ++j) g[i][j] = f * g[i][j];
      }
      double* ek = z.e[z.count];
      ek[0] = g[0][0];
      ek[1] = g[1][1];
      ek[2] = g[2][2];
      ek[3] = 0.5 * (g[0][1] + g[1][0]);
      ek[4] = 0.5 * (g[0][2] + g[2][0]);
      ek[5] = 0.5 * (g[1][2] + g[2][1]);
      z.vol[z.count] = V;
      z.sumV += V;
      sumEV += (ek[0] + ek[1] + ek[2]) * V;
      if (c.large) {
        const double wxy = 0.5 * (g[0][1] - g[1][0]);
        const double wxz = 0.5 * (g[0][2] - g[2][0]);
        const double wyz = 0.5 * (g[1][2] - g[2][1]);
        z.w[z.count][0] = wxy;
        z.w[z.count][1] = wxz;
        z.w[z.count][2] = wyz;
        double* s = t.stress;
        const double sxx = s[0], syy = s[1], szz = s[2], sxy = s[3], sxz = s[4], syz = s[5];
        s[0] = sxx + 2.0 * (sxy * wxy + sxz * wxz);
        s[1] = syy + 2.0 * (syz * wyz - sxy * wxy);
        s[2] = szz - 2.0 * (syz * wyz + sxz * wxz);
        s[3] = sxy + ((syy - sxx) * wxy + syz * wxz + sxz * wyz);
        s[4] = sxz + (syz * wxy - sxy * wyz + (szz - sxx) * wxz);
        s[5] = syz + ((szz - syy) * wyz - (sxz * wxy + sxy * wxz));
      }
    }
  }
  z.d = sumEV / z.sumV;
}

// Second walk: the constitutive model on each tetrahedron's mixed strain
// increment (its own deviatoric part, the zone's volumetric part), with the
// pore pressure added around the call; the zone-mean trace of the result.
// The model takes the whole zone in one call on compact arrays.
template <bool kPlain>
inline __attribute__((always_inline)) void ModelWalk(Zone& zone, ConstitutiveModel& model, PassContext& c, ZoneWork& z,
                                                     double p, double thermalExpansion) {
  z.sumTV = 0.0;
  // The normal parts of every mixed increment, divided together.
  double normal[3 * kMaxTetra];
  const double d = z.d;
  for (int i = 0; i < z.count; ++i) {
    const double* ek = z.e[i];
    normal[3 * i] = d + 2.0 * ek[0] - ek[1] - ek[2];
    normal[3 * i + 1] = d + 2.0 * ek[1] - ek[0] - ek[2];
    normal[3 * i + 2] = d + 2.0 * ek[2] - ek[0] - ek[1];
  }
  for (int q = 0; q < 3 * z.count; ++q) normal[q] = normal[q] / 3.0;
  int i = 0;
  for (int o = 0; o < 2; ++o) {
    ZoneTetra* block = z.blocks[o];
    if (!block) continue;
    [[maybe_unused]] const TetraDef* defs = OverlayDefinitions(z.type, o);
    for (int k = 0; k < z.per; ++k, ++i) {
      const ZoneTetra& t = block[k];
      const double* ek = z.e[i];
      double* m = z.me[i];
      m[0] = normal[3 * i];
      m[1] = normal[3 * i + 1];
      m[2] = normal[3 * i + 2];
      m[3] = ek[3];
      m[4] = ek[4];
      m[5] = ek[5];
      if constexpr (!kPlain) {
        if (c.thermal) {
          const double dT = c.thermal->TetraTemperatureIncrement(zone, defs[k]);
          z.sumTV += dT * z.vol[i];
          m[0] -= thermalExpansion * dT;
          m[1] -= thermalExpansion * dT;
          m[2] -= thermalExpansion * dT;
        }
      }
      double* ms = z.ms[i];
      for (int j = 0; j < 6; ++j) ms[j] = t.stress[j];
      if (c.pore) {
        ms[0] += p;
        ms[1] += p;
        ms[2] += p;
      }
      z.mst[i] = t.state;
    }
  }

  ZoneStressBlock blockCall;
  blockCall.zone = &c.record;
  blockCall.count = z.count;
  blockCall.strain = z.me;
  blockCall.stress = z.ms;
  blockCall.state = z.mst;
  blockCall.volume = z.vol;
  blockCall.spin = c.large ? z.w : nullptr;
  blockCall.stiffnessDamping = z.mdamp;
  if (const char* message = model.UpdateZoneStress(3, blockCall)) throw KWRExcept(message);

  double sumSV = 0.0;
  i = 0;
  for (int o = 0; o < 2; ++o) {
    ZoneTetra* block = z.blocks[o];
    if (!block) continue;
    for (int k = 0; k < z.per; ++k, ++i) {
      ZoneTetra& t = block[k];
      double* ms = z.ms[i];
      t.state = static_cast<uint16_t>(z.mst[i]);
      if (c.pore) {
        ms[0] -= p;
        ms[1] -= p;
        ms[2] -= p;
      }
      if constexpr (!kPlain) {
        if (z.b > 0.0)
          for (int j = 0; j < 6; ++j) z.ds[i][j] = z.mdamp[i] ? ms[j] - t.stress[j] : 0.0;
      }
      for (int j = 0; j < 6; ++j) t.stress[j] = ms[j];
      sumSV += (ms[0] + ms[1] + ms[2]) * z.vol[i];
    }
  }
  z.P = sumSV / z.sumV;
}

// The four corners' forces of a tetrahedron side by side, a lane per corner:
// the area components and the forces x, y, z and the sum of their magnitudes
// are vectors over the corners, turned into a vector per corner only to be
// added to its sums. Every lane takes the operations of the per-corner form
// below in the same order, so the sums come out the same to the bit.
inline __attribute__((always_inline)) void TetraForces(const ZoneTetra& t, const double s[6], double cf,
                                                       const uint8_t* corner, double (*sums)[4]) {
  Vec4 r0, r1, r2;  // the area vectors' twelve values as they lie
  __builtin_memcpy(&r0, &t.area[0][0], sizeof(Vec4));
  __builtin_memcpy(&r1, &t.area[1][1], sizeof(Vec4));
  __builtin_memcpy(&r2, &t.area[2][2], sizeof(Vec4));
  const Vec4 mx = cf * __builtin_shufflevector(__builtin_shufflevector(r0, r1, 0, 3, 6, 7), r2, 0, 1, 2, 5);
  const Vec4 my = cf * __builtin_shufflevector(__builtin_shufflevector(r0, r1, 1, 4, 7, 7), r2, 0, 1, 2, 6);
  const Vec4 mz = cf * __builtin_shufflevector(__builtin_shufflevector(r0, r1, 2, 5, 5, 5), r2, 0, 1, 4, 7);
  const Vec4 fx = (mx * s[0] + my * s[3]) + mz * s[4];
  const Vec4 fy = (my * s[1] + mx * s[3]) + mz * s[5];
  const Vec4 fz = (mz * s[2] + mx * s[4]) + my * s[5];
  const Vec4 fs = (Abs4(fx) + Abs4(fy)) + Abs4(fz);
  // Back to a vector per corner: x, y, z, magnitude sum.
  const Vec4 lo0 = __builtin_shufflevector(fx, fy, 0, 4, 2, 6);  // x0 y0 x2 y2
  const Vec4 hi0 = __builtin_shufflevector(fx, fy, 1, 5, 3, 7);  // x1 y1 x3 y3
  const Vec4 lo1 = __builtin_shufflevector(fz, fs, 0, 4, 2, 6);  // z0 s0 z2 s2
  const Vec4 hi1 = __builtin_shufflevector(fz, fs, 1, 5, 3, 7);  // z1 s1 z3 s3
  const Vec4 g[4] = {__builtin_shufflevector(lo0, lo1, 0, 1, 4, 5), __builtin_shufflevector(hi0, hi1, 0, 1, 4, 5),
                     __builtin_shufflevector(lo0, lo1, 2, 3, 6, 7), __builtin_shufflevector(hi0, hi1, 2, 3, 6, 7)};
  for (int kk = 0; kk < 4; ++kk) {
    Vec4 sum;
    __builtin_memcpy(&sum, sums[corner[kk]], sizeof(Vec4));
    sum += g[kk];
    __builtin_memcpy(sums[corner[kk]], &sum, sizeof(Vec4));
  }
}

// Third walk: the zone-mean pressure into every tetrahedron (with the fluid
// mode's undrained stiffening), and each tetrahedron's forces to its corners.
template <bool kPlain, bool kVector>
inline __attribute__((always_inline)) void ForceWalk(PassContext& c, ZoneWork& z, double fluidStress, double viscous) {
  const double cf = z.overlays == 1 ? -1.0 / 3.0 : -1.0 / 6.0;
  const double P = z.P;
  // The corners' sums are taken into locals once, every tetrahedron adds to
  // them in the order it would add to the grid-points, and each grid-point is
  // written once at the end: the same sums, without a store and reload per
  // contribution. A corner's sums are one vector: force x, y, z and the sum
  // of the force magnitudes.
  // The sums are those of the corners' packed slots; a corner whose sums
  // another chunk owns keeps its terms apart (they are added afterwards).
  alignas(32) double sums[kZoneSlots][4];
  if (z.skip) {
    for (int n = 0; n < z.gpCount; ++n)
      if (z.skip & (1u << n))
        sums[n][0] = sums[n][1] = sums[n][2] = sums[n][3] = 0.0;
      else
        __builtin_memcpy(sums[n], c.hot[z.slot[n]].f, sizeof sums[n]);
  } else {
    for (int n = 0; n < z.gpCount; ++n) __builtin_memcpy(sums[n], c.hot[z.slot[n]].f, sizeof sums[n]);
  }
  // The final normal stresses of every tetrahedron first (the model walk left
  // the stresses in z.ms), divided together; the forces are found from the
  // local copy, not from the records just written.
  double normal[3 * kMaxTetra];
  for (int i = 0; i < z.count; ++i) {
    const double sxx = z.ms[i][0], syy = z.ms[i][1], szz = z.ms[i][2];
    normal[3 * i] = (sxx - syy) + P - (szz - sxx);
    normal[3 * i + 1] = (syy - szz) + P - (sxx - syy);
    normal[3 * i + 2] = (szz - sxx) + P - (syy - szz);
  }
  for (int q = 0; q < 3 * z.count; ++q) normal[q] = normal[q] / 3.0;
  if constexpr (!kPlain) {
    if (c.fluid)
      for (int q = 0; q < 3 * z.count; ++q) normal[q] += fluidStress;
  }
  int i = 0;
  for (int o = 0; o < 2; ++o) {
    ZoneTetra* block = z.blocks[o];
    if (!block) continue;
    const TetraDef* defs = OverlayDefinitions(z.type, o);
    for (int k = 0; k < z.per; ++k, ++i) {
      ZoneTetra& t = block[k];
      double s[6];
      s[0] = normal[3 * i];
      s[1] = normal[3 * i + 1];
      s[2] = normal[3 * i + 2];
      s[3] = z.ms[i][3];
      s[4] = z.ms[i][4];
      s[5] = z.ms[i][5];
      t.stress[0] = s[0];
      t.stress[1] = s[1];
      t.stress[2] = s[2];
      const uint8_t* corner = defs[k].gp;
      if constexpr (kVector && kPlain) {
        TetraForces(t, s, cf, corner, sums);
      } else if constexpr (kVector) {
        // A corner's force is the stress times its scaled area vector m, lane
        // by lane: x = mx sxx + my sxy + mz sxz, y = my syy + mx sxy + mz syz,
        // z = mz szz + mx sxz + my syz.
        const Vec4 s012 = {s[0], s[1], s[2], 0.0}, s334 = {s[3], s[3], s[4], 0.0}, s455 = {s[4], s[5], s[5], 0.0};
        for (int kk = 0; kk < 4; ++kk) {
          Vec4 sum;
          __builtin_memcpy(&sum, sums[corner[kk]], sizeof(Vec4));
          const Vec4 m = cf * Vec4{t.area[kk][0], t.area[kk][1], t.area[kk][2], 0.0};
          const Vec4 m1 = __builtin_shufflevector(m, m, 1, 0, 0, 3);
          const Vec4 m2 = __builtin_shufflevector(m, m, 2, 2, 1, 3);
          Vec4 f = (m * s012 + m1 * s334) + m2 * s455;
          if constexpr (!kPlain) {
            if (viscous != 0.0) f -= m * viscous;
          }
          AddForce(sum, f);
          if constexpr (!kPlain) {
            if (z.b > 0.0) {
              const double* q = z.ds[i];
              const Vec4 q012 = {q[0], q[1], q[2], 0.0}, q334 = {q[3], q[3], q[4], 0.0}, q455 = {q[4], q[5], q[5], 0.0};
              AddForce(sum, ((m * q012 + m1 * q334) + m2 * q455) * z.b);
            }
          }
          __builtin_memcpy(sums[corner[kk]], &sum, sizeof(Vec4));
        }
      } else {
        for (int kk = 0; kk < 4; ++kk) {
          double* gf = sums[corner[kk]];
          double& gs = sums[corner[kk]][3];
          const double mx = cf * t.area[kk][0], my = cf * t.area[kk][1], mz = cf * t.area[kk][2];
          double fx = mx * s[0] + my * s[3] + mz * s[4];
          double fy = my * s[1] + mx * s[3] + mz * s[5];
          double fz = mz * s[2] + mx * s[4] + my * s[5];
          if constexpr (!kPlain) {
            if (viscous != 0.0) {
              fx -= mx * viscous;
              fy -= my * viscous;
              fz -= mz * viscous;
            }
          }
          gf[0] += fx;
          gf[1] += fy;
          gf[2] += fz;
          gs += std::fabs(fx) + std::fabs(fy) + std::fabs(fz);
          if constexpr (!kPlain) {
            if (z.b > 0.0) {
              const double* q = z.ds[i];
              const double b = z.b;
              const double dx = (mx * q[0] + my * q[3] + mz * q[4]) * b;
              const double dy = (my * q[1] + mx * q[3] + mz * q[5]) * b;
              const double dz = (mz * q[2] + mx * q[4] + my * q[5]) * b;
              gf[0] += dx;
              gf[1] += dy;
              gf[2] += dz;
              gs += std::fabs(dx) + std::fabs(dy) + std::fabs(dz);
            }
          }
        }
      }
    }
  }
  for (int n = 0; n < z.gpCount; ++n)
    if (!(z.skip & (1u << n))) __builtin_memcpy(c.hot[z.slot[n]].f, sums[n], sizeof sums[n]);
}

// Plain zones take no part in any coupled mode and have no hysteretic or
// stiffness-proportional damping: the walks skip those terms at compile time.
template <bool kPlain, bool kVector>
inline __attribute__((always_inline)) void UpdateZone(Zone& zone, ConstitutiveModel& model, PassContext& c,
                                                      uint8_t skip, const uint32_t* slot) {
  ZoneWork z;
  z.skip = skip;
  z.slot = slot;
  z.type = zone.Type();
  z.per = TetraPerOverlay(z.type);
  z.blocks[0] = zone.Tetra(0);
  z.blocks[1] = zone.Tetra(1);
  z.overlays = (z.blocks[0] ? 1 : 0) + (z.blocks[1] ? 1 : 0);
  if (z.overlays == 0) return;
  z.gp = zone.Gps();
  z.gpCount = ZoneGpCount(z.type);

  // Stiffness-proportional damping factor and the effective time step. A
  // static calculation refuses Rayleigh damping, so only the dynamic mode has it.
  z.h = c.dt / 3.0;
  if constexpr (!kPlain) {
    if (c.dynamic) {
      double sum = 0.0;
      for (int i = 0; c.dyn.stiffnessDamping && i < z.gpCount; ++i) {
        const GpDynamicData* d = z.gp[i]->dynamicBlock.get();
        if (d && d->dampingKind == kRayleighDamping) sum += d->rayleighBeta;
      }
      z.b = sum / (z.gpCount * c.dt);
      if (c.dyn.multistepping) {
        // A missing or non-positive multiplier counts as 1: the zone is updated every step.
        double r = zone.dynamicMultiplier ? *zone.dynamicMultiplier : 1.0;
        if (!(r >= 1.0)) r = 1.0;
        const int64_t m = static_cast<int64_t>(r);
        if (m > 1 && (c.step - 1) % static_cast<uint64_t>(m) != 0) return;
        z.h = r * c.dt / 3.0;
        z.b = z.b / r;
      }
    }
  }

  for (int i = 0; i < z.gpCount; ++i) __builtin_memcpy(z.v[i], c.hot[slot[i]].v, sizeof z.v[i]);

  StrainWalk<kVector>(zone, c, z);

  // Hysteretic damping reads the volume-weighted strain of the first walk.
  double hyst = -1.0;
  if constexpr (!kPlain) {
    if (zone.dampingOn && zone.damping) {
      double avg[6] = {0, 0, 0, 0, 0, 0};
      for (int i = 0; i < z.count; ++i)
        for (int j = 0; j < 6; ++j) avg[j] += z.e[i][j] * z.vol[i];
      for (int j = 0; j < 6; ++j) avg[j] /= z.sumV;
      hyst = zone.damping->Update(avg);
    }
  }

  // A brick with both overlays: the shear strain of the first tetrahedron of
  // each overlay becomes their volume-weighted average.
  if (z.type == kBrick && z.overlays == 2) {
    const int a = 0, bIndex = z.per;
    const double va = z.vol[a], vb = z.vol[bIndex];
    for (int j = 3; j < 6; ++j) {
      const double avg = (z.e[a][j] * va + z.e[bIndex][j] * vb) / (va + vb);
      z.e[a][j] = avg;
      z.e[bIndex][j] = avg;
    }
  }

  // The fluid mode's values of the zone and its pore pressure in one walk.
  ZoneFluidValues f;
  double p = 0.0;
  if (!kPlain && c.fluid) {
    c.fluid->ZoneCoupling(zone, c.pore, &f);
    p = f.porePressure;
  } else if (c.pore) {
    p = zone.AveragePorePressure();
  }
  double thermalExpansion = 0.0;
  if constexpr (!kPlain)
    if (c.thermal) thermalExpansion = c.thermal->ThermalExpansion(zone);

  ModelState& r = c.record;
  r.tetCount = static_cast<uint8_t>(z.count);
  r.overlayCount = static_cast<uint8_t>(z.overlays);
  r.zoneVolume = zone.StoredVolume();
  r.density = zone.Density();
  r.temperature = 0.0;
  r.porosity = 0.0;
  if constexpr (!kPlain) {
    if (c.thermal) r.temperature = c.thermal->ZoneTemperature(zone);
    if (c.fluid) r.porosity = f.porosity;
  }
  r.hydration = zone.stepValue;
  r.porePressure = p;
  r.hystFactor = hyst;

  ModelWalk<kPlain>(zone, model, c, z, p, thermalExpansion);

  // The fluid mode's undrained stiffening and pore-volume change; artificial viscosity.
  double fluidStress = 0.0, fluidChange = 0.0, viscous = 0.0;
  if constexpr (!kPlain) {
    if (c.fluid) {
      double zz = f.biot * z.d;
      if (c.thermal) zz -= f.thermal * (z.sumTV / z.sumV);
      fluidChange = zone.StoredVolume() * zz;
      if (f.saturation >= 0.99999) {
        if (f.tensionLimit <= p - zz * f.modulus) fluidStress = zz * f.biot * f.modulus;
      } else if (f.saturation > 0.0) {
        fluidStress = zz * f.biot * f.modulus * f.saturation;
      }
    }
    if (c.dynamic && c.dyn.viscosity && z.h != 0.0) {
      const double rate = z.d / (3.0 * z.h);
      if (rate != 0.0) {
        const double L = std::cbrt(zone.StoredVolume());
        const double A = L * std::fabs(rate);
        const double rho = zone.Density();
        const double Z = rho > 0.0 ? std::sqrt(model.StiffnessModulus() * rho) : 0.0;
        double Q = 4.0 * c.dyn.quadratic * rho * A * A + c.dyn.linear * Z * A;
        if (rate > 0.0) Q = -Q;
        viscous = Q / 2.0;
      }
    }
  }

  ForceWalk<kPlain, kVector>(c, z, fluidStress, viscous);

  if constexpr (!kPlain) {
    // The zone's pore-volume change goes to its corners by their shares.
    if (c.fluid && f.cornerWeights && f.flows)
      for (int i = 0; i < z.gpCount; ++i) f.flows[f.nodes[i]] += fluidChange * f.cornerWeights[i];
    else if (c.fluid && f.cornerWeights && f.nodes)
      for (int i = 0; i < z.gpCount; ++i) f.blocks[f.nodes[i]]->flow += fluidChange * f.cornerWeights[i];
    else if (c.fluid && f.cornerWeights)
      for (int i = 0; i < z.gpCount; ++i)
        if (GpFluidData* b = z.gp[i]->fluid.get()) b->flow += fluidChange * f.cornerWeights[i];
  }
  if (c.large) zone.SetDensity(zone.Density() / (1.0 + z.d));
}

// A zone with a model (null zones are passed over), by the plain walks
// where it may take them.
template <bool kVector>
inline __attribute__((always_inline)) void UpdateZoneOf(Zone& zone, PassContext& c, bool plain, uint8_t skip = 0,
                                                        const uint32_t* slot = nullptr) {
  ConstitutiveModel* model = zone.Model();
  if (!model || model->IsNull()) return;
  if (plain && !zone.dampingOn)
    UpdateZone<true, kVector>(zone, *model, c, skip, slot);
  else
    UpdateZone<false, kVector>(zone, *model, c, skip, slot);
}

// The next zone's tetrahedra, its grid-points' velocities and the records
// of the coupled modes (the first 512 bytes: the values the pass reads).
inline void Prefetch(const Zone& zone, const GpHot* hot = nullptr, const uint32_t* slot = nullptr) {
  for (int o = 0; o < 2; ++o)
    if (const ZoneTetra* block = zone.Tetra(o)) {
      const char* p = reinterpret_cast<const char*>(block);
      const int bytes = zone.TetraPerOverlay() * static_cast<int>(sizeof(ZoneTetra));
      for (int b = 0; b < bytes; b += 64) __builtin_prefetch(p + b, 1);
    }
  if (hot) {
    for (int i = 0; i < kZoneSlots; ++i) __builtin_prefetch(hot + slot[i], 1);
  } else {
    GridPoint* const* gp = zone.Gps();
    for (int i = 0; i < kZoneSlots; ++i) __builtin_prefetch(gp[i]->velocity, 0);
  }
  for (const ZoneRecord* record : {zone.thermal.get(), zone.fluid.get()})
    if (record)
      for (int b = 0; b < 512; b += 64) __builtin_prefetch(reinterpret_cast<const char*>(record) + b, 0);
}

// The thermal data of the zones ahead: the thermal blocks of the next zone,
// and the grid-points' thermal pointers of the zone after it (read when it
// is the next one).
inline void PrefetchThermal(const Zone& next, const Zone* after) {
  GridPoint* const* gp = next.Gps();
  for (int i = 0; i < next.GpCount(); ++i)
    if (const GpThermalData* t = gp[i]->thermal.get()) __builtin_prefetch(t, 0);
  if (after) {
    gp = after->Gps();
    for (int i = 0; i < kZoneSlots; ++i) __builtin_prefetch(&gp[i]->thermal, 0);
  }
}

// With the fluid mode: the zone three ahead up to the end of its grid-point
// list (its shape and list are read when it is the zone after next). The
// fluid mode asks for its corners' pore pressures and blocks itself.
inline void PrefetchFluid(const Zone* after) {
  if (!after) return;
  if (const Zone* later = ModelList<Zone>::Next(after)) {
    const char* first = reinterpret_cast<const char*>(later);
    const char* end = reinterpret_cast<const char*>(later->Gps() + kZoneSlots);
    for (const char* p = first; p < end; p += 64) __builtin_prefetch(p, 0);
    __builtin_prefetch(end - 1, 0);
  }
}

// The walk over the zones, compiled once for each instruction-set level.
// The baseline code works the gradients and forces in scalars, AVX2 in
// four-lane vectors: the same operations, the same bits.
template <bool kVector>
inline __attribute__((always_inline)) void WalkZones(PassContext& c, bool plain, const uint32_t* slot) {
  for (Zone* zone : ZoneList()) {
    YieldWhileCycling(false);
    // The walk is bound by memory: ask early for what the next zone reads.
    if (const Zone* next = ModelList<Zone>::Next(zone)) {
      Prefetch(*next, c.hot, slot + kZoneSlots);
      if (c.thermal) PrefetchThermal(*next, ModelList<Zone>::Next(next));
      if (c.fluid) PrefetchFluid(ModelList<Zone>::Next(next));
    }
    UpdateZoneOf<kVector>(*zone, c, plain, 0, slot);
    slot += kZoneSlots;
  }
}

void WalkZonesBaseline(PassContext& c, bool plain, const uint32_t* slot) { WalkZones<false>(c, plain, slot); }

// AVX2 without fused multiply-add: every operation rounds as in the
// baseline code, so both give the same bits.
__attribute__((target("arch=x86-64-v3,no-fma"))) void WalkZonesAvx2(PassContext& c, bool plain, const uint32_t* slot) {
  WalkZones<true>(c, plain, slot);
}

// The threaded pass: one chunk of the zone list per thread, walked in list
// order. A zone leaves alone the corners whose grid-points an earlier chunk
// reaches first; their terms are added after the chunks, in list order.
template <bool kVector>
inline __attribute__((always_inline)) void WalkChunk(PassContext& c, bool plain, const ZoneChunks& chunks, int k,
                                                     const uint32_t* slot) {
  const ZoneChunks::Chunk& chunk = chunks.chunks[k];
  uint32_t m = chunk.maskedBegin;
  Zone* zone = chunk.first;
  slot += static_cast<size_t>(chunk.begin) * kZoneSlots;
  for (uint32_t i = chunk.begin; i < chunk.end; ++i) {
    Zone* next = i + 1 < chunk.end ? ModelList<Zone>::Next(zone) : nullptr;
    if (next) Prefetch(*next, c.hot, slot + kZoneSlots);
    uint8_t skip = 0;
    if (m < chunk.maskedEnd && chunks.masked[m].index == i) skip = chunks.masked[m++].corners;
    UpdateZoneOf<kVector>(*zone, c, plain, skip, slot);
    zone = next;
    slot += kZoneSlots;
  }
}

void WalkChunkBaseline(PassContext& c, bool plain, const ZoneChunks& chunks, int k, const uint32_t* slot) {
  WalkChunk<false>(c, plain, chunks, k, slot);
}

__attribute__((target("arch=x86-64-v3,no-fma"))) void WalkChunkAvx2(PassContext& c, bool plain,
                                                                    const ZoneChunks& chunks, int k,
                                                                    const uint32_t* slot) {
  WalkChunk<true>(c, plain, chunks, k, slot);
}

// One zone's terms for one corner, in the order its force walk adds them,
// from the stresses and areas the walk left in its tetrahedra: the same
// operations as the walk's (a zone of the threaded pass has no viscous,
// damping or fluid terms).
void AddCornerTerms(const Zone& zone, int corner, double sum[4]) {
  const int type = zone.Type();
  const int per = TetraPerOverlay(type);
  const double cf = zone.OverlayCount() == 1 ? -1.0 / 3.0 : -1.0 / 6.0;
  for (int o = 0; o < 2; ++o) {
    const ZoneTetra* block = zone.Tetra(o);
    if (!block) continue;
    const TetraDef* defs = OverlayDefinitions(type, o);
    for (int k = 0; k < per; ++k)
      for (int kk = 0; kk < 4; ++kk) {
        if (defs[k].gp[kk] != corner) continue;
        const ZoneTetra& t = block[k];
        const double* s = t.stress;
        const double mx = cf * t.area[kk][0], my = cf * t.area[kk][1], mz = cf * t.area[kk][2];
        const double fx = mx * s[0] + my * s[3] + mz * s[4];
        const double fy = my * s[1] + mx * s[3] + mz * s[5];
        const double fz = mz * s[2] + mx * s[4] + my * s[5];
        sum[0] += fx;
        sum[1] += fy;
        sum[2] += fz;
        sum[3] += std::fabs(fx) + std::fabs(fy) + std::fabs(fz);
      }
  }
}

// The terms of the later chunks' zones for the shared grid-point j, zone by
// zone in list order, added to its packed sums.
void AddSharedTerms(const ZoneChunks& chunks, size_t j, GpHot* hot) {
  double* sum = hot[chunks.sharedPlace[j]].f;
  for (uint32_t e = chunks.sharedStart[j]; e < chunks.sharedStart[j + 1]; ++e) {
    const Zone& zone = *chunks.entries[e].zone;
    const ConstitutiveModel* model = zone.Model();
    if (!model || model->IsNull() || zone.OverlayCount() == 0) continue;
    AddCornerTerms(zone, chunks.entries[e].corner, sum);
  }
}

KernelLevel& Level() {
  static KernelLevel level = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("x86-64-v3") ? KernelLevel::kAvx2 : KernelLevel::kBaseline;
  }();
  return level;
}

}  // namespace

namespace {

// How far ahead the walks over the grid-points ask for their objects.
constexpr size_t kAhead = 8;

// The packed slots [begin, end) from their grid-points: the velocities, and
// the force sums they have (zero when the pass starts them).
void FillSlots(StepArrays& arrays, bool startSums, size_t begin, size_t end) {
  GridPoint* const* gps = arrays.gps.data();
  GpHot* hot = arrays.hot.data();
  for (size_t i = begin; i < end; ++i) {
    if (i + kAhead < end) __builtin_prefetch(gps[i + kAhead]->velocity, 0);
    const GridPoint& g = *gps[i];
    GpHot& h = hot[i];
    h.v[0] = g.velocity[0];
    h.v[1] = g.velocity[1];
    h.v[2] = g.velocity[2];
    h.v[3] = 0.0;
    if (startSums) {
      h.f[0] = h.f[1] = h.f[2] = h.f[3] = 0.0;
    } else {
      h.f[0] = g.unbalancedForce[0];
      h.f[1] = g.unbalancedForce[1];
      h.f[2] = g.unbalancedForce[2];
      h.f[3] = g.forceSum;
    }
  }
}

// The force sums of the slots [begin, end) back to their grid-points.
void ReturnSums(const StepArrays& arrays, size_t begin, size_t end) {
  GridPoint* const* gps = arrays.gps.data();
  const GpHot* hot = arrays.hot.data();
  for (size_t i = begin; i < end; ++i) {
    if (i + kAhead < end) __builtin_prefetch(gps[i + kAhead]->unbalancedForce, 1);
    GridPoint& g = *gps[i];
    const GpHot& h = hot[i];
    g.unbalancedForce[0] = h.f[0];
    g.unbalancedForce[1] = h.f[1];
    g.unbalancedForce[2] = h.f[2];
    g.forceSum = h.f[3];
  }
}

// The chunks on the threads, then the shared grid-points' later terms; the
// slots are filled and handed back on the threads too, each its own. An
// error is reported as the serial pass would report it: the first in list
// order (the checks before the pass leave none that a zone could raise).
void ThreadedPass(PassContext& c, bool plain, const ZoneChunks& chunks, StepArrays& arrays, int threads, bool fill,
                  bool handBack) {
  const int n = static_cast<int>(chunks.chunks.size());
  std::exception_ptr errors[kMaxStepChunks];
  double seconds[kMaxStepChunks];
  const bool vector = Level() == KernelLevel::kAvx2;
  const size_t shared = chunks.shared.size();
  const uint32_t* slot = arrays.corners.data();
  const size_t gpCount = arrays.gps.size();
  const int parts = std::min(n, threads);
  bool failed = false;
#pragma omp parallel num_threads(parts)
  {
    if (fill) {
#pragma omp for schedule(static)
      for (int k = 0; k < parts; ++k) FillSlots(arrays, true, gpCount * k / parts, gpCount * (k + 1) / parts);
    }
#pragma omp for schedule(dynamic, 1)
    for (int k = 0; k < n; ++k) {
      const double start = omp_get_wtime();
      PassContext local = c;
      try {
        if (vector)
          WalkChunkAvx2(local, plain, chunks, k, slot);
        else
          WalkChunkBaseline(local, plain, chunks, k, slot);
      } catch (...) {
        errors[k] = std::current_exception();
      }
      seconds[k] = omp_get_wtime() - start;
    }
#pragma omp single
    for (int k = 0; k < n; ++k) failed = failed || errors[k];
#pragma omp for schedule(static)
    for (size_t j = 0; j < shared; ++j)
      if (!failed) AddSharedTerms(chunks, j, c.hot);
    if (handBack || failed) {
#pragma omp for schedule(static)
      for (int k = 0; k < parts; ++k) ReturnSums(arrays, gpCount * k / parts, gpCount * (k + 1) / parts);
    }
  }
  for (int k = 0; k < n; ++k)
    if (errors[k]) std::rethrow_exception(errors[k]);
  ZoneChunkTimes(seconds);
}

}  // namespace

void ZoneStressPass(bool startSums, bool sumsWait, bool keepVelocities) {
  const ModelSettings& s = Settings();
  const ModePointers& modes = Modes();
  PassContext c;
  c.dt = s.timestep;
  c.step = static_cast<uint32_t>(s.totalCycles);
  c.large = s.largeStrain;
  c.pore = s.porePressure;
  c.thermal = modes.thermal;
  c.fluid = modes.fluid;
  c.dynamic = modes.dynamic && modes.dynamic->On();
  if (c.dynamic) c.dyn = modes.dynamic->StepSettings();
  c.record.timeStep = c.dt;
  c.record.largeStrain = c.large ? 1 : 0;
  c.record.thermal = modes.thermal && modes.thermal->On() ? 1 : 0;
  c.record.creep = modes.creep && modes.creep->On() ? 1 : 0;
  c.record.fluid = modes.fluid && modes.fluid->On() ? 1 : 0;
  // The dynamic mode needs the full pass only for stiffness damping,
  // multistepping and artificial viscosity.
  const bool plainDynamic = !c.dyn.stiffnessDamping && !c.dyn.multistepping && !c.dyn.viscosity;
  const bool plain = !c.thermal && !c.fluid && (!c.dynamic || plainDynamic);
  // On several threads where every zone is a plain small-strain one and the
  // pass starts the sums itself.
  const int threads = StepThreads();
  const ZoneChunks* chunks = nullptr;
  if (threads > 1 && plain && !c.large && startSums) {
    chunks = CurrentZoneChunks(threads);
    if (chunks && !ZonesThreadable()) chunks = nullptr;
  }
  // The pass works on the packed slots: filled from the grid-points first,
  // their force sums handed back after (also when a zone stops the pass:
  // the zones done before keep their forces). Grid-points that no zone
  // reaches (those of null zones only, zones skipped by multistepping,
  // grid-points without zones) keep the sums they were given.
  // Where the law of motion of the last step left the velocities in the
  // slots (and their sums at zero) and nothing wrote velocities since, the
  // slots need no filling; where nothing reads or adds forces before the law
  // of motion, the sums wait in the slots for it.
  StepArrays& arrays = CurrentStepArrays();
  c.hot = arrays.hot.data();
  const bool fill = !(startSums && sumsWait && VelocitiesInSlots(arrays));
  arrays.velocitiesLeft = false;
  arrays.sumsPending = false;
  arrays.keepVelocities = false;
  if (chunks) {
    ThreadedPass(c, plain, *chunks, arrays, threads, fill, !sumsWait);
  } else {
    const size_t gpCount = arrays.gps.size();
    if (fill) FillSlots(arrays, startSums, 0, gpCount);
    try {
      if (Level() == KernelLevel::kAvx2)
        WalkZonesAvx2(c, plain, arrays.corners.data());
      else
        WalkZonesBaseline(c, plain, arrays.corners.data());
    } catch (...) {
      ReturnSums(arrays, 0, gpCount);
      throw;
    }
    if (!sumsWait) ReturnSums(arrays, 0, gpCount);
  }
  arrays.sumsPending = sumsWait;
  arrays.keepVelocities = sumsWait && keepVelocities;
}

void HandBackStepSums() {
  StepArrays& arrays = CurrentStepArrays();
  if (!arrays.sumsPending) return;
  arrays.sumsPending = false;
  arrays.keepVelocities = false;
  ReturnSums(arrays, 0, arrays.gps.size());
}

void HandBackStepSums(size_t begin, size_t end) { ReturnSums(CurrentStepArrays(), begin, end); }

bool SetKernelLevel(KernelLevel level) {
  __builtin_cpu_init();
  if (level == KernelLevel::kAvx2 && !__builtin_cpu_supports("x86-64-v3")) return false;
  Level() = level;
  cmodels::SetVectorKernels(level == KernelLevel::kAvx2);
  return true;
}

KernelLevel CurrentKernelLevel() { return Level(); }
