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
    for (int k = 0; k < 4; ++k) {
      p.master[k] = k < m.count ? m.gp[k] : nullptr;
      p.weight[k] = k < m.count ? m.weight[k] : 0.0;
      p.chain[k] = -1;
    }
    p.count = static_cast<uint8_t>(m.count);
    p.snap = tie->Snap() ? 1 : 0;
    p.gpTie = tie->TypeCode() == AttachCondition::kGp ? 1 : 0;
    p.zone = tie->TypeCode() == AttachCondition::kFace ? static_cast<AttachFace*>(tie)->Face().GetZone() : nullptr;
    p.forcePass = forcePass_;
    // The places of the masters' own ties are known once every tie has one.
    for (int k = 0; k < m.count; ++k)
      if ((m.follow & (1u << k)) && m.gp[k]->attach) p.chain[k] = -2;
    packed_.push_back(p);
  }
  for (Packed& p : packed_)
    for (int k = 0; k < p.count; ++k)
      if (p.chain[k] == -2) p.chain[k] = static_cast<AttachCondition*>(p.master[k]->attach)->packed_;
  packedEdits_ = edits_;
}

bool AttachList::Inactive(const Packed& t) const {
  if (t.slave->flags & NodeBase::kNoMechanicalZone) return true;
  if (t.zone) return t.zone->IsNull();
  for (int k = 0; k < t.count; ++k)
    if (t.master[k]->flags & NodeBase::kNoMechanicalZone) return true;
  return false;
}

// ---------------------------------------------------------------------------
// Sums from the slave to its masters

void AttachList::TransferStiffness(Packed& t) {
  GridPoint& s = *t.slave;
  for (int k = 0; k < t.count; ++k) {
    t.master[k]->stiffness += t.weight[k] * s.stiffness;
    t.master[k]->areaSum += t.weight[k] * s.areaSum;
  }
  s.stiffness = 0.0;
  s.areaSum = 0.0;
  for (int k = 0; k < t.count; ++k)
    if (t.chain[k] >= 0) TransferStiffness(packed_[t.chain[k]]);
}

void AttachList::TransferMass(Packed& t) {
  GridPoint& s = *t.slave;
  for (int k = 0; k < t.count; ++k) t.master[k]->mass += t.weight[k] * s.mass;
  s.mass = 0.0;
  for (int k = 0; k < t.count; ++k)
    if (t.chain[k] >= 0) TransferMass(packed_[t.chain[k]]);
}

// The slave's total force: what the zones and other ties gave it, and its
// applied forces. A slave in the middle of a chain passes its force on once
// from its own place in the list and again whenever a tie below hands it
// more; its applied forces go on only the first time in a pass, so that no
// force is counted twice.
void AttachList::TransferForce(Packed& t) {
  GridPoint& s = *t.slave;
  double f[3] = {s.unbalancedForce[0], s.unbalancedForce[1], s.unbalancedForce[2]};
  if (t.forcePass != forcePass_) {
    t.forcePass = forcePass_;
    for (int i = 0; i < 3; ++i) f[i] += s.appliedForce[0][i] + s.appliedForce[1][i];
  }
  const double sum = s.forceSum;
  for (int k = 0; k < t.count; ++k) {
    GridPoint& m = *t.master[k];
    const double w = t.weight[k];
    m.unbalancedForce[0] += w * f[0];
    m.unbalancedForce[1] += w * f[1];
    m.unbalancedForce[2] += w * f[2];
    m.forceSum += w * sum;
  }
  s.unbalancedForce[0] = s.unbalancedForce[1] = s.unbalancedForce[2] = 0.0;
  s.forceSum = 0.0;
  for (int k = 0; k < t.count; ++k)
    if (t.chain[k] >= 0) TransferForce(packed_[t.chain[k]]);
}

// ---------------------------------------------------------------------------
// State from the masters to the slave

void AttachList::UpdateVelocity(Packed& t) {
  for (int k = 0; k < t.count; ++k)
    if (t.chain[k] >= 0) UpdateVelocity(packed_[t.chain[k]]);
  double v[3] = {0, 0, 0};
  for (int k = 0; k < t.count; ++k) {
    const GridPoint& m = *t.master[k];
    const double w = t.weight[k];
    v[0] += w * m.velocity[0];
    v[1] += w * m.velocity[1];
    v[2] += w * m.velocity[2];
  }
  GridPoint& s = *t.slave;
  s.velocity[0] = v[0];
  s.velocity[1] = v[1];
  s.velocity[2] = v[2];
  if (t.snap) UpdatePosition(t);
}

void AttachList::UpdatePosition(Packed& t) {
  if (!t.gpTie)
    for (int k = 0; k < t.count; ++k)
      if (t.chain[k] >= 0 && packed_[t.chain[k]].snap) UpdatePosition(packed_[t.chain[k]]);
  InterpolateSlavePosition(*t.slave, t.master, t.weight, t.count);
}

// ---------------------------------------------------------------------------
// The passes

void AttachList::CheckAll(bool dynamic) {
  Pack();  // at every preparation: a face's corners follow the zone's grid-points
  for (Packed& t : packed_)
    if (t.snap && !Inactive(t)) UpdatePosition(t);
  for (Packed& t : packed_)
    if (!Inactive(t)) TransferStiffness(t);
  if (dynamic)
    for (Packed& t : packed_)
      if (!Inactive(t)) TransferMass(t);
}

void AttachList::ForcePass() {
  if (IsEmpty()) return;
  EnsurePacked();
  ++forcePass_;
  for (Packed& t : packed_)
    if (!Inactive(t)) TransferForce(t);
}

void AttachList::MotionPass(double dt, bool largeStrain) {
  if (IsEmpty()) return;
  EnsurePacked();
  for (Packed& t : packed_) {
    if (Inactive(t)) continue;
    UpdateVelocity(t);
    if (t.snap) continue;
    GridPoint& s = *t.slave;
    for (int i = 0; i < 3; ++i) {
      const double dx = dt * s.velocity[i];
      s.displacement[i] += dx;
      if (largeStrain) s.position[i] += dx;
    }
  }
}
