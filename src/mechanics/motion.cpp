// The grid-point law of motion. The step's sums are kept in locals during the
// pass and handed back to the model settings at its end; grid-points are
// visited in list order in every pass, so a run repeats bit for bit.
// The innermost loops of the program: the build compiles this file at -O3
// (unrolled and vectorised); the arithmetic stays as written.

#include "mechanics/motion.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>

#include "base/except.h"
#include "base/string.h"
#include "mechanics/cycle.h"
#include "mechanics/step_chunks.h"
#include "mechanics/zone_pass.h"
#include "model/calc_module.h"
#include "model/grid_point.h"
#include "model/model.h"
#include "model/model_settings.h"
#include "platform/pumps.h"

namespace {

constexpr uint32_t kSkipped = NodeBase::kNoMechanicalZone | NodeBase::kAttached | NodeBase::kSlaved;
constexpr uint32_t kCornerColumn = 0x40000;
constexpr uint32_t kSideGrid = 0x80000;
constexpr uint32_t kViscousX = 0x200;

struct MotionContext {
  double dt = 0.0;
  uint32_t step = 0;
  bool large = false;
  bool dynamic = false;
  DynamicStepSettings dyn;
  double threshold = 0.0;
  // The step's sums.
  double maxUnbalanced = 0.0;
  double unbalanced = 0.0;
  double forces = 0.0;
  double localRatio = 0.0;
  uint32_t count = 0;
  // Threaded: the grid-point's unbalanced force and force sum go here, to be
  // summed in list order afterwards, instead of into the sums above.
  double* record = nullptr;
};

inline double Sign(double y) { return y >= 0.0 ? 1.0 : -1.0; }

// Local components of a global vector: x_i = sum_j axes[i][j] g_j.
inline void ToLocal(const double axes[3][3], const double g[3], double out[3]) {
  for (int i = 0; i < 3; ++i) out[i] = axes[i][0] * g[0] + axes[i][1] * g[1] + axes[i][2] * g[2];
}

inline void ToGlobal(const double axes[3][3], const double l[3], double out[3]) {
  for (int j = 0; j < 3; ++j) out[j] = axes[0][j] * l[0] + axes[1][j] * l[1] + axes[2][j] * l[2];
}

[[noreturn]] void GridPointError(const char* text, const GridPoint& gp) {
  throw QJExcept(FormatText(text, UIntToString(gp.id).c_str()));
}

// A grid-point's part of the step's ratio sums: its unbalanced force U and
// force sum, kept for the list-order sums of the threaded walk or added here.
inline __attribute__((always_inline)) void CountRatio(const GridPoint& gp, MotionContext& c, double U) {
  const double forceSum = gp.forceSum;
  bool relative;
  if (gp.areaSum != 0.0)
    relative = forceSum / gp.areaSum > c.threshold;
  else
    relative = forceSum > 0.0;  // a grid-point without faces: any force counts relative to itself
  const double ratio = relative ? U / forceSum : U;
  c.localRatio = std::max(c.localRatio, ratio);
  if (c.record) {
    c.record[0] = U;
    c.record[1] = forceSum;
  } else {
    c.unbalanced += U;
    c.forces += forceSum;
  }
  ++c.count;
}

// The common grid-point: a static step, local damping, no applied
// velocity, no grid-points slaved to it. The same arithmetic as the general
// path below, without its branches.
inline void MoveCommon(GridPoint& gp, MotionContext& c) {
  const uint32_t flags = gp.flags;
  const double h = c.dt;
  const double stiffness = gp.stiffness;
  if (!(stiffness > 0.0)) GridPointError("Zero stiffness in grid-point %1", gp);
  const double mass = gp.mass = stiffness * h * h;
  if (!(mass > 0.0)) GridPointError("Zero mass in grid-point %1", gp);
  const double coefficient = gp.dampingCoefficient;
  const bool movePosition = c.large && !(flags & NodeBase::kLocalSmallStrain);
  double forceSum = gp.forceSum;
  double U = 0.0;
  for (int i = 0; i < 3; ++i) {
    const double F = gp.unbalancedForce[i] + gp.appliedForce[0][i] + gp.appliedForce[1][i];
    forceSum += std::fabs(gp.appliedForce[0][i]) + std::fabs(gp.appliedForce[1][i]);
    gp.lastForce[i] = F;
    const double vi = gp.velocity[i];
    double vn = vi;
    if (!(flags & (1u << i))) {
      const double dv = F * h / mass;
      vn = vi + dv - coefficient * std::fabs(dv) * Sign(vi);
      if (vi * vn <= 0.0) vn = vi + dv;
      const double f = std::fabs(F);
      c.maxUnbalanced = std::max(c.maxUnbalanced, f);
      U += f;
    }
    gp.velocity[i] = vn;
    const double dx = h * vn;
    gp.displacement[i] += dx;
    if (movePosition)
      gp.position[i] += dx;
    else
      gp.smallDisplacement[i] += dx;
  }
  gp.forceSum = forceSum;
  CountRatio(gp, c, U);
}

template <bool kPoll = true>
inline __attribute__((always_inline)) void Move(GridPoint& gp, MotionContext& c) {
  if constexpr (kPoll) YieldWhileCycling(false);
  const uint32_t flags = gp.flags;
  if (flags & kSkipped) return;
  if (!c.dynamic && !gp.apply && !gp.linked && gp.dampingKind != kCombinedDamping) {
    MoveCommon(gp, c);
    return;
  }

  GpDynamicData* dyn = c.dynamic ? gp.dynamicBlock.get() : nullptr;
  const int kind = dyn ? dyn->dampingKind : static_cast<int>(gp.dampingKind);
  const double localCoefficient = dyn ? dyn->localDamping : gp.dampingCoefficient;
  const double alpha = dyn ? dyn->rayleighAlpha : 0.0;

  const double a = c.dt * alpha * 0.5;
  if (a >= 1.0) throw QJExcept("Viscous damping too high");
  double k1 = 1.0 - a;
  double k2 = 1.0 / (1.0 + a);

  // The applied velocity, when the grid-point has one.
  VelocityCondition condition;
  const bool applied = gp.apply && AppliedVelocity(gp, &condition) && condition.directions;
  const bool local = applied && condition.localAxes;

  double h = c.dt;
  bool multistepped = false;
  if (c.dynamic && c.dyn.multistepping) {
    double value = dyn ? dyn->multiStep : 1.0;
    if (!(value >= 1.0)) value = 1.0;
    const int64_t m = static_cast<int64_t>(value);
    if (m > 1 && (c.step - 1) % static_cast<uint64_t>(m) != 0) {
      // Not moved in this step: only its last force counts towards the maximum.
      double last[3] = {gp.lastForce[0], gp.lastForce[1], gp.lastForce[2]};
      if (local) ToLocal(condition.axes, gp.lastForce, last);
      for (int i = 0; i < 3; ++i) {
        if (flags & (1u << i)) continue;
        if (applied && (condition.directions & (1u << i))) continue;
        c.maxUnbalanced = std::max(c.maxUnbalanced, std::fabs(last[i]));
      }
      return;
    }
    h = c.dt * value;
    multistepped = m > 1;
  }

  // Sums over the grid-points slaved to this one.
  double linkedStiffness = 0.0, linkedMass = 0.0;
  double linkedForce[3] = {0, 0, 0};
  double linkedViscous[3] = {0, 0, 0};
  for (const GridPoint::LinkedEntry* l = gp.linked; l; l = l->next) {
    const GridPoint& o = *l->gp;
    linkedStiffness += o.stiffness;
    linkedMass += o.mass;
    for (int i = 0; i < 3; ++i) linkedForce[i] += o.unbalancedForce[i] + o.appliedForce[0][i] + o.appliedForce[1][i];
    double viscous[3];
    if (c.dynamic && QuietCoefficients(o, viscous))
      for (int i = 0; i < 3; ++i) linkedViscous[i] += viscous[i];
  }

  if (!c.dynamic) {
    const double stiffness = gp.stiffness + linkedStiffness;
    if (!(stiffness > 0.0)) GridPointError("Zero stiffness in grid-point %1", gp);
    gp.mass = stiffness * h * h;
  }
  const double mass = gp.mass + linkedMass;
  if (!(mass > 0.0)) GridPointError("Zero mass in grid-point %1", gp);

  double F[3], Fold[3];
  for (int i = 0; i < 3; ++i) {
    F[i] = gp.unbalancedForce[i] + gp.appliedForce[0][i] + gp.appliedForce[1][i];
    if (gp.linked) F[i] += linkedForce[i];
    gp.forceSum += std::fabs(gp.appliedForce[0][i]) + std::fabs(gp.appliedForce[1][i]);
    Fold[i] = gp.lastForce[i];
    gp.lastForce[i] = F[i];
  }

  double vOld[3] = {gp.velocity[0], gp.velocity[1], gp.velocity[2]};
  double v[3] = {vOld[0], vOld[1], vOld[2]};
  if (local) {
    double t[3];
    ToLocal(condition.axes, vOld, v);
    ToLocal(condition.axes, F, t);
    F[0] = t[0], F[1] = t[1], F[2] = t[2];
    ToLocal(condition.axes, Fold, t);
    Fold[0] = t[0], Fold[1] = t[1], Fold[2] = t[2];
  }

  double viscous[3] = {0, 0, 0};
  const bool hasViscous = c.dynamic && (flags & (kViscousX * 7)) && QuietCoefficients(gp, viscous);

  double vNew[3];
  double U = 0.0;
  for (int i = 0; i < 3; ++i) {
    const double vi = v[i];
    if (flags & (1u << i)) {
      vNew[i] = vi;
      continue;
    }
    if (applied && (condition.directions & (1u << i))) {
      vNew[i] = condition.kind[i] == 4 || condition.kind[i] == 5 ? condition.value[i] : vi + h * condition.rate[i];
      continue;
    }
    const double dv = F[i] * h / mass;
    double vn;
    if (hasViscous && (flags & (kViscousX << i))) {
      const double bb = std::min(1.0, (viscous[i] + linkedViscous[i]) * h / (2.0 * mass));
      vn = ((1.0 - bb) * vi + dv) / (1.0 + bb);
    } else if (c.dynamic && kind == kRayleighDamping) {
      if (multistepped) {
        const double bb = std::min(1.0, h * alpha * 0.5);
        k1 = 1.0 - bb;
        k2 = 1.0 / (1.0 + bb);
      }
      vn = (k1 * vi + dv) * k2;
    } else {
      // Local damping; the combined form when the mode asks for it. A
      // velocity that damping would reverse or stop takes the undamped value.
      if (kind == kCombinedDamping)
        vn = vi + dv - 0.5 * localCoefficient * std::fabs(dv) * (Sign(vi) - Sign(F[i] - Fold[i]));
      else
        vn = vi + dv - localCoefficient * std::fabs(dv) * Sign(vi);
      if (vi * vn <= 0.0) vn = vi + dv;
    }
    vNew[i] = vn;
    const double f = std::fabs(F[i]);
    c.maxUnbalanced = std::max(c.maxUnbalanced, f);
    U += f;
  }
  if (local) {
    double g[3];
    ToGlobal(condition.axes, vNew, g);
    vNew[0] = g[0], vNew[1] = g[1], vNew[2] = g[2];
  }

  double dx[3];
  const bool movePosition = c.large && !(flags & NodeBase::kLocalSmallStrain);
  for (int i = 0; i < 3; ++i) {
    gp.velocity[i] = vNew[i];
    dx[i] = h * vNew[i];
    gp.displacement[i] += dx[i];
    if (movePosition)
      gp.position[i] += dx[i];
    else
      gp.smallDisplacement[i] += dx[i];
  }
  double acceleration[3] = {0, 0, 0};
  if (dyn)
    for (int i = 0; i < 3; ++i) acceleration[i] = dyn->acceleration[i] = (vNew[i] - vOld[i]) / h;
  for (const GridPoint::LinkedEntry* l = gp.linked; l; l = l->next) {
    GridPoint& o = *l->gp;
    for (int i = 0; i < 3; ++i) {
      o.velocity[i] = vNew[i];
      o.displacement[i] += dx[i];
    }
    if (c.dynamic && o.dynamicBlock)
      for (int i = 0; i < 3; ++i) o.dynamicBlock->acceleration[i] = acceleration[i];
  }

  // The ratio sums.
  CountRatio(gp, c, U);
}

// The walks over the grid-points go through the step's array of them in
// list order and ask a few grid-points ahead for the lines the law reads.
constexpr uint32_t kAhead = 6;
inline void Ask(const GridPoint* a) {
  __builtin_prefetch(&a->flags, 1);
  __builtin_prefetch(a->unbalancedForce, 1);
  __builtin_prefetch(&a->forceSum, 1);
  __builtin_prefetch(&a->dampingCoefficient, 0);
  __builtin_prefetch(a->appliedForce, 0);
  // The common path's test reads these before anything else of the move.
  __builtin_prefetch(&a->apply, 0);
  __builtin_prefetch(&a->linked, 0);
}

// The slots the zone pass left: the grid-point takes its force sums from its
// slot before it moves.
inline __attribute__((always_inline)) void TakeSums(GridPoint& gp, const GpHot& slot) {
  gp.unbalancedForce[0] = slot.f[0];
  gp.unbalancedForce[1] = slot.f[1];
  gp.unbalancedForce[2] = slot.f[2];
  gp.forceSum = slot.f[3];
}

// After the move: its new velocity, and the sums started at zero, for the
// next zone pass.
inline __attribute__((always_inline)) void LeaveVelocity(const GridPoint& gp, GpHot& slot) {
  slot.v[0] = gp.velocity[0];
  slot.v[1] = gp.velocity[1];
  slot.v[2] = gp.velocity[2];
  slot.v[3] = 0.0;
  slot.f[0] = slot.f[1] = slot.f[2] = slot.f[3] = 0.0;
}

// The grid-points [begin, end) of the step's array. With kTake each takes its
// sums from its slot first (and with kLeave leaves its velocity there); a
// grid-point that stops the walk hands the sums of those after it on.
template <bool kTake, bool kLeave, bool kPoll>
inline __attribute__((always_inline)) void MoveRange(GridPoint* const* gps, GpHot* hot, size_t begin, size_t end,
                                                     MotionContext& c, double* sums) {
  size_t i = begin;
  try {
    for (; i < end; ++i) {
      if (i + kAhead < end) Ask(gps[i + kAhead]);
      GridPoint& gp = *gps[i];
      if constexpr (kTake) TakeSums(gp, hot[i]);
      if (sums) {
        c.record = sums + 2 * i;
        c.record[0] = -1.0;  // not moved
      }
      Move<kPoll>(gp, c);
      if constexpr (kLeave) LeaveVelocity(gp, hot[i]);
    }
  } catch (...) {
    if constexpr (kTake) HandBackStepSums(i + 1, end);
    throw;
  }
}

template <bool kPoll>
inline __attribute__((always_inline)) void MoveRangeOf(int form, GridPoint* const* gps, GpHot* hot, size_t begin,
                                                       size_t end, MotionContext& c, double* sums) {
  if (form == 2)
    MoveRange<true, true, kPoll>(gps, hot, begin, end, c, sums);
  else if (form == 1)
    MoveRange<true, false, kPoll>(gps, hot, begin, end, c, sums);
  else
    MoveRange<false, false, kPoll>(gps, hot, begin, end, c, sums);
}

// Compiled once for each instruction-set level (AVX2 without fused
// multiply-add gives the same bits). The form: 0 the grid-points hold their
// sums, 1 they take them from the slots, 2 they also leave their velocities.
void MoveAllBaseline(int form, GridPoint* const* gps, GpHot* hot, size_t n, MotionContext& c) {
  MoveRangeOf<true>(form, gps, hot, 0, n, c, nullptr);
}

__attribute__((target("arch=x86-64-v3,no-fma"))) void MoveAllAvx2(int form, GridPoint* const* gps, GpHot* hot, size_t n,
                                                                  MotionContext& c) {
  MoveRangeOf<true>(form, gps, hot, 0, n, c, nullptr);
}

// The threaded law of motion: one chunk of the grid-point list per thread,
// each grid-point's sums kept in its place; no grid-point of it can stop the
// pass (checked before). Maxima come out the same in any order.
void MoveChunkBaseline(int form, const GpChunks& chunks, int k, MotionContext& c, double* sums, GridPoint* const* gps,
                       GpHot* hot) {
  const GpChunks::Chunk& chunk = chunks.chunks[k];
  MoveRangeOf<false>(form, gps, hot, chunk.begin, chunk.end, c, sums);
}

__attribute__((target("arch=x86-64-v3,no-fma"))) void MoveChunkAvx2(int form, const GpChunks& chunks, int k,
                                                                    MotionContext& c, double* sums,
                                                                    GridPoint* const* gps, GpHot* hot) {
  const GpChunks::Chunk& chunk = chunks.chunks[k];
  MoveRangeOf<false>(form, gps, hot, chunk.begin, chunk.end, c, sums);
}

void MoveThreaded(GpChunks& chunks, MotionContext& c, int threads, int form) {
  StepArrays& arrays = CurrentStepArrays();
  GridPoint* const* gps = arrays.gps.data();
  GpHot* hot = arrays.hot.data();
  const int n = static_cast<int>(chunks.chunks.size());
  std::exception_ptr errors[kMaxStepChunks];
  double maxUnbalanced[kMaxStepChunks], localRatio[kMaxStepChunks];
  uint32_t count[kMaxStepChunks];
  double* sums = chunks.sums.data();
  const bool vector = CurrentKernelLevel() == KernelLevel::kAvx2;
  double unbalanced = c.unbalanced, forces = c.forces;
#pragma omp parallel for num_threads(std::min(n, threads)) schedule(dynamic, 1) ordered
  for (int k = 0; k < n; ++k) {
    MotionContext local = c;
    local.maxUnbalanced = 0.0;
    local.localRatio = 0.0;
    local.count = 0;
    try {
      if (vector)
        MoveChunkAvx2(form, chunks, k, local, sums, gps, hot);
      else
        MoveChunkBaseline(form, chunks, k, local, sums, gps, hot);
    } catch (...) {
      errors[k] = std::current_exception();
    }
    maxUnbalanced[k] = local.maxUnbalanced;
    localRatio[k] = local.localRatio;
    count[k] = local.count;
    // The chunk's terms of the step's sums, chunk after chunk in list order
    // (the serial walk's order) while the threads move the later chunks.
#pragma omp ordered
    {
      const size_t end = 2 * static_cast<size_t>(chunks.chunks[k].end);
      for (size_t i = 2 * static_cast<size_t>(chunks.chunks[k].begin); i < end; i += 2)
        if (sums[i] != -1.0) {
          unbalanced += sums[i];
          forces += sums[i + 1];
        }
    }
  }
  for (int k = 0; k < n; ++k) {
    c.maxUnbalanced = std::max(c.maxUnbalanced, maxUnbalanced[k]);
    c.localRatio = std::max(c.localRatio, localRatio[k]);
    c.count += count[k];
  }
  for (int k = 0; k < n; ++k)
    if (errors[k]) std::rethrow_exception(errors[k]);
  c.unbalanced = unbalanced;
  c.forces = forces;
}

MotionContext MakeContext() {
  const ModelSettings& s = Settings();
  const ModePointers& modes = Modes();
  MotionContext c;
  c.dt = s.timestep;
  c.step = static_cast<uint32_t>(s.totalCycles);
  c.large = s.largeStrain;
  c.dynamic = modes.dynamic && modes.dynamic->On();
  if (c.dynamic) c.dyn = modes.dynamic->StepSettings();
  // The local ratio compares a grid-point's force sum per face measure with
  // a small part of the last step's unbalanced sum per total face measure.
  const double total = s.areaTotal;
  c.threshold = total != 0.0 ? 1e-5 * s.sums.previousUnbalanced / total : 0.0;
  c.maxUnbalanced = s.unbalancedForce;
  c.unbalanced = s.sums.unbalanced;
  c.forces = s.sums.forces;
  c.localRatio = s.sums.localRatio;
  c.count = TheCycleState().gpCount;
  return c;
}

void StoreSums(const MotionContext& c) {
  ModelSettings& s = Settings();
  s.unbalancedForce = c.maxUnbalanced;
  s.sums.unbalanced = c.unbalanced;
  s.sums.forces = c.forces;
  s.sums.localRatio = c.localRatio;
  TheCycleState().gpCount = c.count;
}

}  // namespace

void GridPointMotion() {
  MotionContext c = MakeContext();
  c.maxUnbalanced = 0.0;
  ModelList<GridPoint>& list = GridPointList();
  const int threads = StepThreads();
  GpChunks* chunks = nullptr;
  if (threads > 1 && !Settings().freeField && !c.dynamic) {
    chunks = CurrentGpChunks(threads);
    if (chunks && !GridPointsThreadable(c.dt)) chunks = nullptr;
  }
  // The sums the zone pass left in the slots are taken in the walk over the
  // array; the free-field order takes them from the grid-points.
  StepArrays& arrays = CurrentStepArrays();
  if (Settings().freeField) HandBackStepSums();
  const int form = !arrays.sumsPending ? 0 : arrays.keepVelocities ? 2 : 1;
  arrays.sumsPending = arrays.keepVelocities = false;
  try {
    if (chunks) {
      MoveThreaded(*chunks, c, threads, form);
    } else if (Settings().freeField) {
      const StepParticipants& participants = CurrentModel().Participants();
      // Free-field grid-points first: corner columns, then side grids, each
      // followed by its coupling with the main grid.
      for (GridPoint* gp : list)
        if (gp->flags & kCornerColumn) Move(*gp, c);
      participants.ForEach([](StepParticipant& p) { p.FreeFieldCoupling(0); });
      for (GridPoint* gp : list)
        if (gp->flags & kSideGrid) Move(*gp, c);
      participants.ForEach([](StepParticipant& p) { p.FreeFieldCoupling(1); });
      if (c.large)
        for (GridPoint* gp : list)
          if (gp->flags & NodeBase::kSlaved)
            for (int i = 0; i < 3; ++i) gp->position[i] += c.dt * gp->velocity[i];
      for (GridPoint* gp : list)
        if (!(gp->flags & (kCornerColumn | kSideGrid))) Move(*gp, c);
    } else {
      if (CurrentKernelLevel() == KernelLevel::kAvx2)
        MoveAllAvx2(form, arrays.gps.data(), arrays.hot.data(), arrays.gps.size(), c);
      else
        MoveAllBaseline(form, arrays.gps.data(), arrays.hot.data(), arrays.gps.size(), c);
    }
  } catch (...) {
    StoreSums(c);
    throw;
  }
  if (form == 2) VelocitiesLeft(arrays);
  StoreSums(c);
}

void MoveGridPoint(GridPoint& gp) {
  HandBackStepSums();
  MotionContext c = MakeContext();
  try {
    Move(gp, c);
  } catch (...) {
    StoreSums(c);
    throw;
  }
  StoreSums(c);
}
