// The attach ties in the calculation: the packed form of the list and the
// passes of the preparation and the step. Every pass walks the ties in list
// order; a sum handed to a master that is itself a slave goes on up its
// chain at once, and a master that is a slave is brought up to date before
// its slave is interpolated from it. Only followed masters are recursed
// into (a face's corners of weight 0.05 or more), so a chain never loops:
// ATTACH and RESTORE refuse ties that would close a cycle through them.
#include <algorithm>
#include <cfloat>
#include <cstddef>
#include <cstdint>

#include "mechanics/attach_condition.h"
#include "mechanics/zone_pass.h"
#include "model/grid_point.h"
#include "model/zone.h"

namespace {
// How many ties ahead the passes ask for a tie's grid-points: far enough
// for a read from memory to arrive before the tie's turn.
constexpr size_t kAhead = 16;

// Asks for every cache line of the fields from `first` to `last` (both
// included) of one grid-point.
template <int Write>
inline void AskFor(const void* first, const void* last) {
  const char* a = static_cast<const char*>(first);
  const char* b = static_cast<const char*>(last);
  for (; a < b; a += 64) __builtin_prefetch(a, Write);
  __builtin_prefetch(b, Write);
}

typedef double Vec4 __attribute__((vector_size(32)));

// A tie with snap carries twelve values from its masters to its slave: the
// velocity, position, displacement and small-strain displacement, which lie
// side by side in a grid-point.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(offsetof(NodeBase, position) == offsetof(NodeBase, velocity) + 3 * sizeof(double) &&
              offsetof(NodeBase, displacement) == offsetof(NodeBase, velocity) + 6 * sizeof(double) &&
              offsetof(NodeBase, smallDisplacement) == offsetof(NodeBase, velocity) + 9 * sizeof(double));
#pragma GCC diagnostic pop

// The slave's twelve values as the weighted sums of its masters', each sum
// taken in master order from zero as the scalar code takes it.
inline __attribute__((always_inline)) void SnapFromMasters(GridPoint& slave, GridPoint* const* master,
                                                           const double* weight, int count) {
  Vec4 a = {0, 0, 0, 0}, b = a, c = a;
  for (int k = 0; k < count; ++k) {
    const char* m = reinterpret_cast<const char*>(master[k]->velocity);
    Vec4 x, y, z;
    __builtin_memcpy(&x, m, sizeof(Vec4));
    __builtin_memcpy(&y, m + sizeof(Vec4), sizeof(Vec4));
    __builtin_memcpy(&z, m + 2 * sizeof(Vec4), sizeof(Vec4));
    const double w = weight[k];
    a += w * x;
    b += w * y;
    c += w * z;
  }
  char* s = reinterpret_cast<char*>(slave.velocity);
  __builtin_memcpy(s, &a, sizeof(Vec4));
  __builtin_memcpy(s + sizeof(Vec4), &b, sizeof(Vec4));
  __builtin_memcpy(s + 2 * sizeof(Vec4), &c, sizeof(Vec4));
}
}  // namespace

void AttachList::Pack() {
  packed_.clear();
  chains_.clear();
  packed_.reserve(Count());
  int32_t index = 0;
  anyFluid_ = anyThermal_ = false;
  for (AttachCondition* tie = Head(); tie; tie = Next(tie)) {
    tie->packed_ = index++;
    AttachMasters m;
    tie->Masters(m);
    Packed p{};
    p.slave = tie->Slave();
    // The passes read only the tie's own masters (a grid-point tie one, an
    // edge two); a slot beyond them names the first master with weight 0.
    for (int k = 0; k < 4; ++k) {
      p.master[k] = k < m.count ? m.gp[k] : m.gp[0];
      p.weight[k] = k < m.count ? m.weight[k] : 0.0;
    }
    p.count = static_cast<uint8_t>(m.count);
    p.kind = static_cast<uint16_t>(tie->TypeCode());
    p.chain = -1;
    if (tie->Snap()) p.flags |= kPackedSnap;
    if (tie->IsInactive()) p.flags |= kPackedInactive;
    if (tie->IsFluidInactive())
      p.flags |= kPackedFluidInactive;
    else
      anyFluid_ = true;
    if (tie->IsThermalInactive())
      p.flags |= kPackedThermalInactive;
    else
      anyThermal_ = true;
    // The places of the masters' own ties are known once every tie has one.
    Chain c{{-1, -1, -1, -1}};
    bool chained = false;
    for (int k = 0; k < m.count; ++k)
      if ((m.follow & (1u << k)) && m.gp[k]->attach) {
        c.tie[k] = -2;
        chained = true;
      }
    if (chained) {
      p.chain = static_cast<int32_t>(chains_.size());
      chains_.push_back(c);
    }
    packed_.push_back(p);
  }
  for (Packed& p : packed_) {
    if (p.chain < 0) continue;
    for (int32_t& c : chains_[p.chain].tie) {
      if (c != -2) continue;
      c = static_cast<AttachCondition*>(p.master[&c - chains_[p.chain].tie]->attach)->packed_;
      packed_[c].flags |= kPackedChainTarget;
    }
  }
  forceStamps_.assign(packed_.size(), forcePass_);
  packedEdits_ = edits_;
}

template <class Op>
void AttachList::Up(Packed& t, uint8_t skip, Op& op) {
  op(t);
  if (t.chain < 0) return;
  for (int k = 0; k < t.count; ++k) {
    const int32_t c = chains_[t.chain].tie[k];
    if (c >= 0 && !(packed_[c].flags & skip)) Up(packed_[c], skip, op);
  }
}

template <class Op>
void AttachList::Down(Packed& t, uint8_t skip, Op& op) {
  if (t.chain >= 0)
    for (int k = 0; k < t.count; ++k) {
      const int32_t c = chains_[t.chain].tie[k];
      if (c >= 0 && !(packed_[c].flags & skip)) Down(packed_[c], skip, op);
    }
  op(t);
}

// ---------------------------------------------------------------------------
// Sums from the slave to its masters

void AttachList::TransferStiffness(Packed& t) {
  auto op = [](Packed& p) {
    GridPoint& s = *p.slave;
    const double stiffness = s.stiffness, area = s.areaSum;
    s.stiffness = 0.0;
    s.areaSum = 0.0;
    for (int k = 0; k < p.count; ++k) {
      p.master[k]->stiffness += p.weight[k] * stiffness;
      p.master[k]->areaSum += p.weight[k] * area;
    }
  };
  Up(t, 0, op);
}

void AttachList::TransferMass(Packed& t) {
  auto op = [](Packed& p) {
    GridPoint& s = *p.slave;
    const double mass = s.mass;
    s.mass = 0.0;
    for (int k = 0; k < p.count; ++k) p.master[k]->mass += p.weight[k] * mass;
  };
  Up(t, 0, op);
}

// The slave's total force: what the zones and other ties gave it, and its
// applied forces. A slave in the middle of a chain passes its force on once
// from its own place in the list and again whenever a tie below hands it
// more; its applied forces go on only the first time in a pass, so that no
// force is counted twice.
void AttachList::TransferForce(Packed& t) {
  // Sums in scalars: they stay in registers while the masters are written.
  GridPoint& s = *t.slave;
  double fx = s.unbalancedForce[0], fy = s.unbalancedForce[1], fz = s.unbalancedForce[2];
  bool applied = true;
  if (t.flags & kPackedChainTarget) {
    uint32_t& stamp = forceStamps_[&t - packed_.data()];
    applied = stamp != forcePass_;
    stamp = forcePass_;
  }
  if (applied) {
    fx += s.appliedForce[0][0] + s.appliedForce[1][0];
    fy += s.appliedForce[0][1] + s.appliedForce[1][1];
    fz += s.appliedForce[0][2] + s.appliedForce[1][2];
  }
  const double sum = s.forceSum;
  s.unbalancedForce[0] = s.unbalancedForce[1] = s.unbalancedForce[2] = 0.0;
  s.forceSum = 0.0;
  for (int k = 0; k < t.count; ++k) {
    GridPoint& m = *t.master[k];
    const double w = t.weight[k];
    m.unbalancedForce[0] += w * fx;
    m.unbalancedForce[1] += w * fy;
    m.unbalancedForce[2] += w * fz;
    m.forceSum += w * sum;
  }
  if (t.chain >= 0)
    for (int k = 0; k < t.count; ++k) {
      const int32_t c = chains_[t.chain].tie[k];
      if (c >= 0) TransferForce(packed_[c]);
    }
}

// ---------------------------------------------------------------------------
// State from the masters to the slave

void AttachList::UpdateVelocity(Packed& t) {
  if ((t.flags & kPackedSnap) && t.chain < 0) {
    SnapFromMasters(*t.slave, t.master, t.weight, t.count);
    return;
  }
  if (t.chain >= 0)
    for (int k = 0; k < t.count; ++k) {
      const int32_t c = chains_[t.chain].tie[k];
      if (c >= 0) UpdateVelocity(packed_[c]);
    }
  double vx = 0, vy = 0, vz = 0;
  for (int k = 0; k < t.count; ++k) {
    const GridPoint& m = *t.master[k];
    const double w = t.weight[k];
    vx += w * m.velocity[0];
    vy += w * m.velocity[1];
    vz += w * m.velocity[2];
  }
  GridPoint& s = *t.slave;
  s.velocity[0] = vx;
  s.velocity[1] = vy;
  s.velocity[2] = vz;
  if (t.flags & kPackedSnap) UpdatePosition(t);
}

void AttachList::UpdatePosition(Packed& t) {
  if (t.chain >= 0 && t.kind != AttachCondition::kGp)
    for (int k = 0; k < t.count; ++k) {
      const int32_t c = chains_[t.chain].tie[k];
      if (c >= 0 && (packed_[c].flags & kPackedSnap)) UpdatePosition(packed_[c]);
    }
  InterpolateSlavePosition(*t.slave, t.master, t.weight, t.count);
}

// ---------------------------------------------------------------------------
// The mechanical passes

void AttachList::CheckAll(bool dynamic) {
  Pack();  // at every preparation: a face's corners follow the zone's grid-points
  for (Packed& t : packed_)
    if ((t.flags & kPackedSnap) && !(t.flags & kPackedInactive)) UpdatePosition(t);
  for (Packed& t : packed_)
    if (!(t.flags & kPackedInactive)) TransferStiffness(t);
  if (dynamic)
    for (Packed& t : packed_)
      if (!(t.flags & kPackedInactive)) TransferMass(t);
}

void AttachList::ForcePass() {
  if (IsEmpty()) return;
  EnsurePacked();
  ++forcePass_;
  Packed* const p = packed_.data();
  const size_t n = packed_.size();
  for (size_t i = 0; i < n; ++i) {
    if (i + kAhead < n) {
      // The grid-points of a tie further on are asked for early: the ties'
      // grid-points lie all over the grid.
      const Packed& a = p[i + kAhead];
      const GridPoint& s = *a.slave;
      AskFor<1>(s.unbalancedForce, &s.forceSum);
      AskFor<0>(s.appliedForce[0], &s.appliedForce[1][2]);
      for (int k = 0; k < a.count; ++k) AskFor<1>(a.master[k]->unbalancedForce, &a.master[k]->forceSum);
    }
    if (!(p[i].flags & kPackedInactive)) TransferForce(p[i]);
  }
}

void AttachList::MotionPass(double dt, bool largeStrain) {
  if (IsEmpty()) return;
  EnsurePacked();
  if (CurrentKernelLevel() == KernelLevel::kAvx2)
    MotionWalkAvx2(dt, largeStrain);
  else
    MotionWalkBaseline(dt, largeStrain);
}

inline __attribute__((always_inline)) void AttachList::MotionWalk(double dt, bool largeStrain) {
  Packed* const p = packed_.data();
  const size_t n = packed_.size();
  for (size_t i = 0; i < n; ++i) {
    if (i + kAhead < n) {
      const Packed& a = p[i + kAhead];
      AskFor<1>(a.slave->velocity, &a.slave->smallDisplacement[2]);
      const bool snap = (a.flags & kPackedSnap) != 0;
      for (int k = 0; k < a.count; ++k) {
        const GridPoint& m = *a.master[k];
        if (snap)
          AskFor<0>(m.velocity, &m.smallDisplacement[2]);
        else
          AskFor<0>(m.velocity, &m.velocity[2]);
      }
    }
    Packed& t = p[i];
    if (t.flags & kPackedInactive) continue;
    if ((t.flags & kPackedSnap) && t.chain < 0) {
      SnapFromMasters(*t.slave, t.master, t.weight, t.count);
      continue;
    }
    UpdateVelocity(t);
    if (t.flags & kPackedSnap) continue;
    GridPoint& s = *t.slave;
    for (int j = 0; j < 3; ++j) {
      const double dx = dt * s.velocity[j];
      s.displacement[j] += dx;
      if (largeStrain) s.position[j] += dx;
    }
  }
}

void AttachList::MotionWalkBaseline(double dt, bool largeStrain) { MotionWalk(dt, largeStrain); }

// AVX2 without fused multiply-add rounds every operation as the baseline
// code does.
__attribute__((target("arch=x86-64-v3,no-fma"))) void AttachList::MotionWalkAvx2(double dt, bool largeStrain) {
  MotionWalk(dt, largeStrain);
}

// ---------------------------------------------------------------------------
// The fluid and thermal passes

namespace {
// Adds weight x the slave's values to each master's and clears the slave's.
template <class Block, auto... Field>
void Distribute(GridPoint* slave, GridPoint* const* master, const double* weight, int count) {
  Block& s = *(slave->*FlowBlockSlot<Block>::kSlot);
  auto one = [&](double Block::*field) {
    const double v = s.*field;
    s.*field = 0.0;
    for (int k = 0; k < count; ++k) (*(master[k]->*FlowBlockSlot<Block>::kSlot)).*field += weight[k] * v;
  };
  (one(Field), ...);
}

// Sets the slave's values to the weighted sums of its masters'.
template <class Block, auto... Field>
void Interpolate(GridPoint* slave, GridPoint* const* master, const double* weight, int count) {
  Block& s = *(slave->*FlowBlockSlot<Block>::kSlot);
  auto one = [&](double Block::*field) {
    double v = 0.0;
    for (int k = 0; k < count; ++k) v += weight[k] * (*(master[k]->*FlowBlockSlot<Block>::kSlot)).*field;
    s.*field = v;
  };
  (one(Field), ...);
}
}  // namespace

void AttachList::PrepareFluid() {
  Pack();
  auto up = [](Packed& t) {
    Distribute<GpFluidData, &GpFluidData::flow, &GpFluidData::inverseVolume, &GpFluidData::poreVolume>(
        t.slave, t.master, t.weight, t.count);
  };
  auto down = [](Packed& t) {
    double p = 0.0;
    for (int k = 0; k < t.count; ++k) p += t.weight[k] * t.master[k]->porePressure;
    t.slave->porePressure = p;
    Interpolate<GpFluidData, &GpFluidData::pressureIncrement>(t.slave, t.master, t.weight, t.count);
  };
  for (Packed& t : packed_) {
    if (t.flags & kPackedFluidInactive) continue;
    Up(t, kPackedFluidInactive, up);
    Down(t, kPackedFluidInactive, down);
  }
}

void AttachList::FluidPass1() {
  if (!anyFluid_) return;
  auto up = [](Packed& t) {
    Distribute<GpFluidData, &GpFluidData::flow, &GpFluidData::flowMagnitude>(t.slave, t.master, t.weight, t.count);
  };
  for (Packed& t : packed_)
    if (!(t.flags & kPackedFluidInactive)) Up(t, kPackedFluidInactive, up);
}

void AttachList::FluidPass2() {
  if (!anyFluid_) return;
  auto down = [](Packed& t) {
    Interpolate<GpFluidData, &GpFluidData::flow, &GpFluidData::saturation>(t.slave, t.master, t.weight, t.count);
  };
  for (Packed& t : packed_)
    if (!(t.flags & kPackedFluidInactive)) Down(t, kPackedFluidInactive, down);
}

void AttachList::PrepareThermal() {
  Pack();
  auto up = [](Packed& t) {
    Distribute<GpThermalData, &GpThermalData::heatFlow, &GpThermalData::inverseCapacity>(t.slave, t.master, t.weight,
                                                                                         t.count);
  };
  auto down = [](Packed& t) {
    Interpolate<GpThermalData, &GpThermalData::temperature, &GpThermalData::temperatureIncrement>(t.slave, t.master,
                                                                                                  t.weight, t.count);
  };
  for (Packed& t : packed_) {
    if (t.flags & kPackedThermalInactive) continue;
    Up(t, kPackedThermalInactive, up);
    Down(t, kPackedThermalInactive, down);
  }
}

void AttachList::ThermalPass1() {
  if (!anyThermal_) return;
  auto up = [](Packed& t) {
    Distribute<GpThermalData, &GpThermalData::heatFlow, &GpThermalData::heatMagnitude>(t.slave, t.master, t.weight,
                                                                                       t.count);
  };
  for (Packed& t : packed_)
    if (!(t.flags & kPackedThermalInactive)) Up(t, kPackedThermalInactive, up);
}

void AttachList::ThermalPass2() {
  if (!anyThermal_) return;
  auto down = [](Packed& t) {
    Interpolate<GpThermalData, &GpThermalData::heatFlow>(t.slave, t.master, t.weight, t.count);
  };
  for (Packed& t : packed_)
    if (!(t.flags & kPackedThermalInactive)) Down(t, kPackedThermalInactive, down);
}

void AttachList::DynamicCheck() {
  EnsurePacked();
  auto down = [](Packed& t) {
    GpDynamicData* s = t.slave->dynamicBlock.get();
    if (!s) return;
    switch (t.kind) {
      case AttachCondition::kGp:
        if (const GpDynamicData* m = t.master[0]->dynamicBlock.get()) s->multiStep = m->multiStep;
        break;
      case AttachCondition::kEdge: {
        const GpDynamicData* a = t.master[0]->dynamicBlock.get();
        const GpDynamicData* b = t.master[1]->dynamicBlock.get();
        if (a && b) s->multiStep = std::min(a->multiStep, b->multiStep);
        break;
      }
      default:
        s->multiStep = DBL_MAX;
        for (int k = 0; k < t.count; ++k)
          if (const GpDynamicData* c = t.master[k]->dynamicBlock.get())
            s->multiStep = std::min(s->multiStep, c->multiStep);
        break;
    }
  };
  for (Packed& t : packed_) Down(t, 0, down);
}
