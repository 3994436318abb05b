// Attach ties: the three kinds, their save form, the list's editing and the
// checks of a restored list.
#include "mechanics/attach_condition.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <ios>
#include <vector>

#include "base/except.h"
#include "base/message.h"
#include "base/range.h"
#include "base/savestream.h"
#include "model/grid.h"
#include "model/grid_point.h"
#include "model/model.h"
#include "model/zone_models.h"

namespace {

// Grid-point flag of a grid-point being deleted (DELETE, the orphans of MERGE).
constexpr uint32_t kGpBeingDeleted = 0x100;

// The tolerance of a given or computed edge weight beyond 0 and 1.
constexpr double kEdgeTolerance = 1e-14;
// Face corners of smaller weight are not followed up their chains.
constexpr double kFollowWeight = 0.05;

AttachCondition* TieOf(const GridPoint* gp) { return static_cast<AttachCondition*>(gp->attach); }

String IdText(const GridPoint* gp) { return UIntToString(gp->id); }

[[noreturn]] void RestoreError() { throw KWRExcept("Error reading save file"); }

}  // namespace

// ---------------------------------------------------------------------------
// The common part

AttachCondition::AttachCondition(uint32_t kind) { SetTypeCode(kind); }

AttachCondition::AttachCondition(uint32_t kind, GridPoint* slave, bool snap) : snap_(snap ? 1 : 0) {
  SetTypeCode(kind);
  if (slave->attach) throw AttachExcept(MessageText("Gp %s already has an attach condition", IdText(slave)));
  slave_ = slave;
  slave->attach = this;
  slave->flags |= NodeBase::kAttached;
}

AttachCondition::~AttachCondition() {
  if (slave_ && slave_->attach == this) {
    slave_->attach = nullptr;
    slave_->flags &= ~NodeBase::kAttached;
  }
}

bool AttachCondition::AnyCarries(uint32_t flags) const {
  if (slave_->flags & flags) return true;
  AttachMasters m;
  Masters(m);
  for (int k = 0; k < m.count; ++k)
    if (m.gp[k]->flags & flags) return true;
  return false;
}

namespace {
// Whether the slave and every master of the tie have the mode's block.
template <class Block>
bool AllHave(const AttachCondition& tie, Block GridPoint::*block) {
  if (!(tie.Slave()->*block)) return false;
  AttachMasters m;
  tie.Masters(m);
  for (int k = 0; k < m.count; ++k)
    if (!(m.gp[k]->*block)) return false;
  return true;
}

// Whether the zone holds a model of the mode.
bool HasModeModel(const ZoneMaterialModels* models, const Zone* zone) {
  return models && zone && models->ZoneModel(*zone) != 0;
}
}  // namespace

bool AttachCondition::IsInactive() const { return AnyCarries(NodeBase::kNoMechanicalZone); }

bool AttachCondition::IsFluidInactive() const {
  return AnyCarries(NodeBase::kNoFluidZone) || !AllHave(*this, &GridPoint::fluid);
}

bool AttachCondition::IsThermalInactive() const {
  return AnyCarries(NodeBase::kNoThermalZone) || !AllHave(*this, &GridPoint::thermal);
}

bool AttachCondition::IsDeleted() const {
  if (slave_->flags & kGpBeingDeleted) return true;
  AttachMasters m;
  Masters(m);
  for (int k = 0; k < m.count; ++k)
    if (m.gp[k]->flags & kGpBeingDeleted) return true;
  return false;
}

bool AttachCondition::DependsOn(const GridPoint* gp) const {
  AttachMasters m;
  Masters(m);
  for (int k = 0; k < m.count; ++k) {
    if (!(m.follow & (1u << k))) continue;
    if (m.gp[k] == gp) return true;
    if (m.gp[k]->attach && TieOf(m.gp[k])->DependsOn(gp)) return true;
  }
  return false;
}

void AttachCondition::UpdatePosition() {
  AttachMasters m;
  Masters(m);
  if (TypeCode() != kGp) {
    for (int k = 0; k < m.count; ++k)
      if ((m.follow & (1u << k)) && m.gp[k]->attach && TieOf(m.gp[k])->Snap()) TieOf(m.gp[k])->UpdatePosition();
  }
  InterpolateSlavePosition(*slave_, m.gp, m.weight, m.count);
}

void AttachCondition::PrintLine(std::ostream& out) const {
  out << std::setw(6) << slave_->id << " " << std::setw(3) << (snap_ ? "Yes" : "No") << " " << std::setw(4)
      << TypeName() << " ";
  PrintInfo(out);
  out << "\n";
}

void AttachCondition::Save(SaveStream& s) const {
  SavePointer(s, slave_);
  s.WriteU8(snap_);
}

void AttachCondition::Restore(SaveStream& s) {
  RestorePointer(s, slave_);
  snap_ = s.ReadFlag();
}

void AttachCondition::RemapPointers() { RemapPointer(GridPointList(), slave_); }

// ---------------------------------------------------------------------------
// A tie to a grid-point

AttachGp::AttachGp(GridPoint* slave, GridPoint* master, bool snap)
    : AttachCondition(kGp, slave, snap), master_(master) {}

void AttachGp::Masters(AttachMasters& out) const {
  out.gp[0] = master_;
  out.weight[0] = 1.0;
  out.count = 1;
  out.follow = 1;
}

void AttachGp::PrintInfo(std::ostream& out) const { out << std::setw(6) << master_->id; }

void AttachGp::Save(SaveStream& s) const {
  AttachCondition::Save(s);
  SavePointer(s, master_);
}

void AttachGp::Restore(SaveStream& s) {
  AttachCondition::Restore(s);
  RestorePointer(s, master_);
}

void AttachGp::RemapPointers() {
  AttachCondition::RemapPointers();
  RemapPointer(GridPointList(), master_);
}

// ---------------------------------------------------------------------------
// A tie to an edge

AttachEdge::AttachEdge(GridPoint* slave, GridPoint* a, GridPoint* b, double weight, bool snap)
    : AttachCondition(kEdge, slave, snap), a_(a), b_(b) {
  if (weight < 0.0) {
    double d[3], length = 0.0;
    for (int i = 0; i < 3; ++i) {
      d[i] = b->position[i] - a->position[i];
      length += d[i] * d[i];
    }
    length = std::sqrt(length);
    if (length == 0.0) {
      weight = 1.0;
    } else {
      double along = 0.0;
      for (int i = 0; i < 3; ++i) along += d[i] / length * (slave->position[i] - a->position[i]);
      weight = 1.0 - along / length;
    }
  }
  // Written so that a weight that is not a number fails too.
  if (!(weight >= -kEdgeTolerance && weight - 1.0 <= kEdgeTolerance))
    throw AttachExcept("Illegal edge attach weighting");
  weight_ = std::clamp(weight, 0.0, 1.0);
}

void AttachEdge::Masters(AttachMasters& out) const {
  out.gp[0] = a_;
  out.gp[1] = b_;
  out.weight[0] = weight_;
  out.weight[1] = 1.0 - weight_;
  out.count = 2;
  out.follow = 3;
}

void AttachEdge::PrintInfo(std::ostream& out) const {
  out << std::setw(6) << a_->id << " " << std::setw(6) << b_->id << " " << std::setprecision(3) << std::setw(5)
      << weight_;
}

void AttachEdge::Save(SaveStream& s) const {
  AttachCondition::Save(s);
  SavePointer(s, a_);
  SavePointer(s, b_);
  s.WriteF64(weight_);
}

void AttachEdge::Restore(SaveStream& s) {
  AttachCondition::Restore(s);
  RestorePointer(s, a_);
  RestorePointer(s, b_);
  weight_ = s.ReadF64();
}

void AttachEdge::RemapPointers() {
  AttachCondition::RemapPointers();
  RemapPointer(GridPointList(), a_);
  RemapPointer(GridPointList(), b_);
}

// ---------------------------------------------------------------------------
// A tie to a zone face

AttachFace::AttachFace(GridPoint* slave, const ZoneFace& face, const FaceWeights* weights, bool snap)
    : AttachCondition(kFace, slave, snap), face_(face.GetZone(), face.Face()) {
  if (weights) {
    weights_ = *weights;
    return;
  }
  if (!ZoneFace::ProjectPoint(weights_, slave->position, &face_, 1.0)) {
    const String zone = UIntToString(face_.GetZone() ? face_.GetZone()->Id() : 0u);
    throw AttachExcept(
        MessageText("Automatic weighting requested of point not on face %s,%s", zone, IntToString(face_.Face())));
  }
}

void AttachFace::Masters(AttachMasters& out) const {
  const int n = face_.GpCount();
  if (n < 3) {
    out.count = 0;
    out.follow = 0;
    return;
  }
  out.count = std::min(n, 4);
  out.follow = 0;
  for (int k = 0; k < out.count; ++k) {
    out.gp[k] = face_.GetGp(k);
    out.weight[k] = weights_.weight[k];
    if (weights_.weight[k] >= kFollowWeight) out.follow |= static_cast<uint8_t>(1u << k);
  }
}

bool AttachFace::IsInactive() const {
  return (Slave()->flags & NodeBase::kNoMechanicalZone) || face_.GetZone()->IsNull();
}

bool AttachFace::IsFluidInactive() const {
  return (Slave()->flags & NodeBase::kNoFluidZone) || !HasModeModel(FluidZoneModels(), face_.GetZone()) ||
         !AllHave(*this, &GridPoint::fluid);
}

bool AttachFace::IsThermalInactive() const {
  return (Slave()->flags & NodeBase::kNoThermalZone) || !HasModeModel(ThermalZoneModels(), face_.GetZone()) ||
         !AllHave(*this, &GridPoint::thermal);
}

bool AttachFace::IsDeleted() const {
  return (Slave()->flags & kGpBeingDeleted) || (face_.GetZone()->Flags() & Zone::kDeleted);
}

bool AttachFace::Resolved() const {
  if (!AttachCondition::Resolved() || !face_.GetZone() || face_.GpCount() < 3) return false;
  AttachMasters m;
  Masters(m);
  for (int k = 0; k < m.count; ++k)
    if (!m.gp[k]) return false;
  return true;
}

void AttachFace::PrintInfo(std::ostream& out) const {
  out << std::setw(6) << face_.GetZone()->Id() << "," << std::setw(1) << face_.Face() << " " << std::setprecision(3);
  for (double w : weights_.weight) out << std::setw(5) << w << " ";
}

void AttachFace::Save(SaveStream& s) const {
  AttachCondition::Save(s);
  face_.Save(s);
  weights_.Save(s);
}

void AttachFace::Restore(SaveStream& s) {
  AttachCondition::Restore(s);
  face_.Restore(s);
  weights_.Restore(s);
}

void AttachFace::RemapPointers() {
  AttachCondition::RemapPointers();
  face_.Resolve();
}

// ---------------------------------------------------------------------------
// The list

AttachList& GlobalAttachList() { return CurrentModel().Part<AttachList>(); }

LinkListNode* AttachList::Create(uint32_t typeCode) {
  switch (typeCode) {
    case AttachCondition::kGp:
      return new AttachGp();
    case AttachCondition::kEdge:
      return new AttachEdge();
    case AttachCondition::kFace:
      return new AttachFace();
    default:
      RestoreError();  // a kind this program never wrote: the file is damaged
  }
}

void AttachList::Add(AttachCondition* tie) {
  Append(tie);
  ++edits_;
}

void AttachList::Delete(AttachCondition* tie) {
  Remove(tie);
  delete tie;
  ++edits_;
}

void AttachList::DeleteAll() {
  Clear();
  ++edits_;
}

uint32_t AttachList::DeleteInRange(const Range& range) {
  uint32_t n = 0;
  for (AttachCondition* tie = Head(); tie;) {
    AttachCondition* next = Next(tie);
    if (range.IsIn(tie->Slave())) {
      Delete(tie);
      ++n;
    }
    tie = next;
  }
  return n;
}

uint32_t AttachList::RemoveDeleted() {
  uint32_t n = 0;
  for (AttachCondition* tie = Head(); tie;) {
    AttachCondition* next = Next(tie);
    if (tie->IsDeleted()) {
      Delete(tie);
      ++n;
    }
    tie = next;
  }
  return n;
}

bool AttachList::CheckRestored() {
  ++edits_;
  for (AttachCondition* tie = Head(); tie; tie = Next(tie)) {
    if (!tie->Resolved()) return false;
    const GridPoint* slave = tie->Slave();
    if (slave->attach != tie || !(slave->flags & NodeBase::kAttached)) return false;
    tie->packed_ = 0;  // not visited by the cycle search below
  }
  for (const GridPoint* gp : GridPointList()) {
    const bool flagged = (gp->flags & NodeBase::kAttached) != 0;
    if (flagged != (gp->attach != nullptr)) return false;
    if (gp->attach && TieOf(gp)->Slave() != gp) return false;
  }
  // No tie may reach itself through the masters it follows: a walk in depth
  // with its own stack (chains may be long), marking ties 1 while on the
  // walk and 2 when done.
  struct Frame {
    AttachCondition* tie;
    AttachMasters masters;
    int next;
  };
  std::vector<Frame> stack;
  for (AttachCondition* root = Head(); root; root = Next(root)) {
    if (root->packed_ != 0) continue;
    stack.push_back(Frame{root, {}, 0});
    root->Masters(stack.back().masters);
    root->packed_ = 1;
    while (!stack.empty()) {
      Frame& f = stack.back();
      if (f.next == f.masters.count) {
        f.tie->packed_ = 2;
        stack.pop_back();
        continue;
      }
      const int k = f.next++;
      if (!(f.masters.follow & (1u << k)) || !f.masters.gp[k]->attach) continue;
      AttachCondition* up = TieOf(f.masters.gp[k]);
      if (up->packed_ == 1) return false;
      if (up->packed_ == 2) continue;
      up->packed_ = 1;
      stack.push_back(Frame{up, {}, 0});
      up->Masters(stack.back().masters);
    }
  }
  return true;
}

// ---------------------------------------------------------------------------
// The save section

void SaveAttachSection(SaveStream& stream) { GlobalAttachList().Save(stream); }

void RestoreAttachSection(SaveStream& stream) {
  AttachList& list = GlobalAttachList();
  list.Restored();
  list.Restore(stream);
}

void RemapAttachSection() {
  AttachList& list = GlobalAttachList();
  list.RemapAll();
  if (!list.CheckRestored()) RestoreError();
}

void ClearAttachList() { GlobalAttachList().DeleteAll(); }
