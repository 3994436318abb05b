// The attach ties in the calculation: the packed form of the list and the
// passes of the preparation and the step. Every pass walks the ties in list
// order; a sum handed to a master that is itself a slave goes on up its
// chain at once, and a master that is a slave is brought up to date before
// its slave is interpolated from it. Only followed masters are recursed
// into (a face's corners of weight 0.05 or more), so a chain never loops:
// ATTACH and RESTORE refuse ties that would close a cycle through them.
#include <cstdint>

#include "mechanics/attach_condition.h"
#include "model/grid_point.h"
#include "model/zone.h"

namespace {
// How many ties ahead the passes ask for a tie's grid-points.
constexpr size_t kAhead = 8;
}  // namespace

void AttachList::Pack() {
  packed_.clear();
  packed_.reserve(Count());
  int32_t index = 0;
  for (AttachCondition* tie = Head(); tie; tie = Next(tie)) {
    tie->packed_ = index++;
    AttachMasters m;
    tie->Masters(m);
    Packed p{};
    p.slave = tie->Slave();
    // The passes run over four masters whatever the kind: a slot beyond the
    // tie's own masters names its first master with weight 0, so nothing
    // beyond them is read or changed.
    for (int k = 0; k < 4; ++k) {
      p.master[k] = k < m.count ? m.gp[k] : m.gp[0];
      p.weight[k] = k < m.count ? m.weight[k] : 0.0;
      p.chain[k] = -1;
    }
    p.count = static_cast<uint8_t>(m.count);
    p.snap = tie->Snap() ? 1 : 0;
    p.gpTie = tie->TypeCode() == AttachCondition::kGp ? 1 : 0;
    p.inactive = tie->IsInactive() ? 1 : 0;
    p.forcePass = forcePass_;
    // The places of the masters' own ties are known once every tie has one.
    for (int k = 0; k < m.count; ++k)
      if ((m.follow & (1u << k)) && m.gp[k]->attach) {
        p.chain[k] = -2;
        p.chained = 1;
      }
    packed_.push_back(p);
  }
  for (Packed& p : packed_)
    if (p.chained)
      for (int k = 0; k < p.count; ++k)
        if (p.chain[k] == -2) p.chain[k] = static_cast<AttachCondition*>(p.master[k]->attach)->packed_;
  packedEdits_ = edits_;
}

// ---------------------------------------------------------------------------
// Sums from the slave to its masters

void AttachList::TransferStiffness(Packed& t) {
  GridPoint& s = *t.slave;
  const double stiffness = s.stiffness, area = s.areaSum;
  s.stiffness = 0.0;
  s.areaSum = 0.0;
  for (int k = 0; k < 4; ++k) {
    t.master[k]->stiffness += t.weight[k] * stiffness;
    t.master[k]->areaSum += t.weight[k] * area;
  }
  if (t.chained)
    for (int k = 0; k < t.count; ++k)
      if (t.chain[k] >= 0) TransferStiffness(packed_[t.chain[k]]);
}

void AttachList::TransferMass(Packed& t) {
  GridPoint& s = *t.slave;
  const double mass = s.mass;
  s.mass = 0.0;
  for (int k = 0; k < 4; ++k) t.master[k]->mass += t.weight[k] * mass;
  if (t.chained)
    for (int k = 0; k < t.count; ++k)
      if (t.chain[k] >= 0) TransferMass(packed_[t.chain[k]]);
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
  if (t.forcePass != forcePass_) {
    t.forcePass = forcePass_;
    fx += s.appliedForce[0][0] + s.appliedForce[1][0];
    fy += s.appliedForce[0][1] + s.appliedForce[1][1];
    fz += s.appliedForce[0][2] + s.appliedForce[1][2];
  }
  const double sum = s.forceSum;
  s.unbalancedForce[0] = s.unbalancedForce[1] = s.unbalancedForce[2] = 0.0;
  s.forceSum = 0.0;
  for (int k = 0; k < 4; ++k) {
    GridPoint& m = *t.master[k];
    const double w = t.weight[k];
    m.unbalancedForce[0] += w * fx;
    m.unbalancedForce[1] += w * fy;
    m.unbalancedForce[2] += w * fz;
    m.forceSum += w * sum;
  }
  if (t.chained)
    for (int k = 0; k < t.count; ++k)
      if (t.chain[k] >= 0) TransferForce(packed_[t.chain[k]]);
}

// ---------------------------------------------------------------------------
// State from the masters to the slave

void AttachList::UpdateVelocity(Packed& t) {
  if (t.chained)
    for (int k = 0; k < t.count; ++k)
      if (t.chain[k] >= 0) UpdateVelocity(packed_[t.chain[k]]);
  double vx = 0, vy = 0, vz = 0;
  for (int k = 0; k < 4; ++k) {
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
  if (t.snap) UpdatePosition(t);
}

void AttachList::UpdatePosition(Packed& t) {
  if (t.chained && !t.gpTie)
    for (int k = 0; k < t.count; ++k)
      if (t.chain[k] >= 0 && packed_[t.chain[k]].snap) UpdatePosition(packed_[t.chain[k]]);
  InterpolateSlavePosition(*t.slave, t.master, t.weight, 4);
}

// ---------------------------------------------------------------------------
// The passes

void AttachList::CheckAll(bool dynamic) {
  Pack();  // at every preparation: a face's corners follow the zone's grid-points
  for (Packed& t : packed_)
    if (t.snap && !t.inactive) UpdatePosition(t);
  for (Packed& t : packed_)
    if (!t.inactive) TransferStiffness(t);
  if (dynamic)
    for (Packed& t : packed_)
      if (!t.inactive) TransferMass(t);
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
      __builtin_prefetch(a.slave->unbalancedForce, 1);
      __builtin_prefetch(a.slave->appliedForce, 0);
      for (int k = 0; k < a.count; ++k) __builtin_prefetch(a.master[k]->unbalancedForce, 1);
    }
    if (!p[i].inactive) TransferForce(p[i]);
  }
}

void AttachList::MotionPass(double dt, bool largeStrain) {
  if (IsEmpty()) return;
  EnsurePacked();
  Packed* const p = packed_.data();
  const size_t n = packed_.size();
  for (size_t i = 0; i < n; ++i) {
    if (i + kAhead < n) {
      const Packed& a = p[i + kAhead];
      __builtin_prefetch(a.slave->velocity, 1);
      __builtin_prefetch(a.slave->displacement, 1);
      for (int k = 0; k < a.count; ++k) {
        __builtin_prefetch(a.master[k]->velocity, 0);
        if (a.snap) __builtin_prefetch(a.master[k]->smallDisplacement, 0);
      }
    }
    Packed& t = p[i];
    if (t.inactive) continue;
    UpdateVelocity(t);
    if (t.snap) continue;
    GridPoint& s = *t.slave;
    for (int j = 0; j < 3; ++j) {
      const double dx = dt * s.velocity[j];
      s.displacement[j] += dx;
      if (largeStrain) s.position[j] += dx;
    }
  }
}
