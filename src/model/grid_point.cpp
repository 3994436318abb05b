#include "model/grid_point.h"

#include <vector>

#include "base/except.h"
#include "base/savestream.h"
#include "model/calc_module.h"
#include "model/grid.h"
#include "model/grid_services.h"
#include "model/group.h"
#include "model/model.h"
#include "model/model_settings.h"
#include "model/restore_fields.h"

namespace {

void WriteVec(SaveStream& s, const double v[3]) { s.WriteF64s(v, 3); }

void ReadVec(SaveStream& s, double v[3], bool asFloat = false) {
  for (int i = 0; i < 3; ++i) v[i] = ReadReal(s, asFloat);
}

}  // namespace

uint32_t& GridPointIdCounter() { return CurrentModel().GridPointIds(); }

ModelList<GridPoint>& GridPointList() { return CurrentModel().GridPoints(); }

// ---------------------------------------------------------------------------
// Blocks of the coupled modes

void GpDynamicData::Save(SaveStream& s) const {
  WriteVec(s, acceleration);
  WriteVec(s, second);
  s.WriteF64(multiStep);
  s.WriteI32(dampingKind);
  s.WriteF64(localDamping);
  s.WriteF64(rayleighAlpha);
  s.WriteF64(rayleighBeta);
}

// Files before version 310 hold every real as a float; before version 10 they
// hold no damping settings, which then take the dynamic defaults.
void GpDynamicData::Restore(SaveStream& s) {
  const int32_t version = FileVersion();
  const bool floats = version < 310;
  ReadVec(s, acceleration, floats);
  ReadVec(s, second, floats);
  multiStep = ReadReal(s, floats);
  if (version < 10) {
    dampingKind = kRayleighDamping;
    localDamping = 0.8;
    rayleighAlpha = rayleighBeta = 0.0;
    return;
  }
  dampingKind = s.ReadI32();
  localDamping = ReadReal(s, floats);
  rayleighAlpha = ReadReal(s, floats);
  rayleighBeta = ReadReal(s, floats);
}

// ---------------------------------------------------------------------------
// NodeBase

NodeBase::NodeBase() {
  const ModelSettings& s = Settings();
  dampingKind = static_cast<uint32_t>(s.dampingType);
  dampingCoefficient = s.dampingFactor;
}

// Room in the grid-point record for a vector that nothing keeps: written as
// zeros, read and dropped.
constexpr double kPadding[3] = {0, 0, 0};

void NodeBase::SaveNode(SaveStream& s) const {
  s.WriteU32(id);
  s.WriteU32(flags);
  s.WriteF64(mass);
  s.WriteF64(stiffness);
  s.WriteF64(areaSum);
  WriteVec(s, velocity);
  WriteVec(s, kPadding);
  WriteVec(s, position);
  WriteVec(s, displacement);
  WriteVec(s, smallDisplacement);
  WriteVec(s, unbalancedForce);
  WriteVec(s, lastForce);
  WriteVec(s, lastForce);  // the record holds it twice
  s.WriteU8(dynamicBlock ? 1 : 0);
  if (dynamicBlock) dynamicBlock->Save(s);
  extra.Save(s);
  s.WriteU32(dampingKind);
  s.WriteF64(dampingCoefficient);
}

void NodeBase::RestoreNode(SaveStream& s) {
  const int32_t v = FileVersion();
  const bool floats = v < 310;
  id = s.ReadU32();
  flags = s.ReadU32();
  mass = ReadReal(s, v < 54);
  stiffness = ReadReal(s, floats);
  areaSum = ReadReal(s, floats);
  ReadVec(s, velocity, floats);
  double padding[3];
  ReadVec(s, padding, floats);
  ReadVec(s, position);
  ReadVec(s, displacement);
  ReadVec(s, smallDisplacement);
  ReadVec(s, unbalancedForce);
  ReadVec(s, lastForce);
  ReadVec(s, lastForce);  // stored twice: the second copy stands
  if (s.ReadFlag()) {
    if (!dynamicBlock) dynamicBlock = std::make_unique<GpDynamicData>();
    dynamicBlock->Restore(s);
  } else {
    dynamicBlock.reset();
  }
  extra.Restore(s);
  if (v >= 10) {
    dampingKind = s.ReadU32();
    dampingCoefficient = ReadReal(s, floats);
  }
  if (v < 15) {
    // Two single-precision state values that nothing reads.
    s.ReadF32();
    s.ReadF32();
  }
}

// ---------------------------------------------------------------------------
// GridPoint

void GridPoint::Init() { extra.Resize(static_cast<uint32_t>(Settings().gpExtras > 0 ? Settings().gpExtras : 0)); }

GridPoint::GridPoint() : LocatedObject(kGridPoint) {
  uint32_t& counter = GridPointIdCounter();
  // Id 0 names no object: a counter at the top of its range goes on at 1.
  do {
    ++counter;
  } while (counter == 0 || GridPointIdInUse(counter));
  id = counter;
  Init();
  TheModules().GridPointCreated(*this);
}

GridPoint::GridPoint(uint32_t givenId) : LocatedObject(kGridPoint) {
  ++GridPointIdCounter();
  id = givenId;
  Init();
  TheModules().GridPointCreated(*this);
}

GridPoint::~GridPoint() {
  if (apply) {
    if (auto release = GridHooks().releaseApply) release(apply);
    apply = nullptr;
  }
  ClearLinked();
}

void GridPoint::AddLinked(GridPoint* gp) { linked = new LinkedEntry{gp, linked}; }

void GridPoint::ClearLinked() {
  while (linked) {
    LinkedEntry* next = linked->next;
    delete linked;
    linked = next;
  }
}

int GridPoint::FindSlot(const Group* group) const {
  for (int i = 0; i < kGroupSlots; ++i)
    if (groups_[i] == group) return i;
  return -1;
}

void GridPoint::CheckChangeGroup(const Group* newGroup, const Group* oldGroup, bool keepEmpty) const {
  if (!keepEmpty && newGroup && newGroup->Name().IsEmpty()) newGroup = nullptr;
  int oldSlot = -1;
  if (oldGroup) {
    oldSlot = FindSlot(oldGroup);
    if (oldSlot < 0) throw QJExcept("Gridpoint prevname not found.");
  }
  if (!newGroup || FindSlot(newGroup) >= 0) return;
  if (FindSlot(nullptr) >= 0) return;
  // The old group's slot frees up when this was its last use.
  if (oldSlot >= 0 && groupCounts_[oldSlot] <= 1) return;
  throw QJExcept("Gridpoint groupnames are full.");
}

void GridPoint::ChangeGroup(Group* newGroup, Group* oldGroup, bool keepEmpty) {
  CheckChangeGroup(newGroup, oldGroup, keepEmpty);
  if (!keepEmpty && newGroup && newGroup->Name().IsEmpty()) newGroup = nullptr;
  if (oldGroup) {
    int slot = FindSlot(oldGroup);
    if (--groupCounts_[slot] <= 0) {
      groups_[slot] = nullptr;
      groupCounts_[slot] = 0;
    }
  }
  if (!newGroup) return;
  int slot = FindSlot(newGroup);
  if (slot >= 0) {
    ++groupCounts_[slot];
    return;
  }
  slot = FindSlot(nullptr);
  groups_[slot] = newGroup;
  groupCounts_[slot] = 1;
}

bool GridPoint::InGroup(const Group* group) const {
  for (int i = 0; i < kGroupSlots; ++i)
    if (groups_[i] == group && groupCounts_[i] >= 1) return true;
  return false;
}

bool GridPoint::HasOtherGroup(const Group* group) const {
  for (int i = 0; i < kGroupSlots; ++i)
    if (groups_[i] && groups_[i] != group && groupCounts_[i] >= 1) return true;
  return false;
}

int GridPoint::GroupSlotCount() const {
  int n = 0;
  for (Group* g : groups_)
    if (g) ++n;
  return n;
}

String GridPoint::GroupName(int index) const {
  if (index == -1) return IntToString(GroupSlotCount());
  int n = 0;
  for (Group* g : groups_) {
    if (!g) continue;
    if (n++ == index) return g->Name();
  }
  return String();
}

void GridPoint::ClearGroups() {
  for (int i = 0; i < kGroupSlots; ++i) {
    groups_[i] = nullptr;
    groupCounts_[i] = 0;
  }
}

void GridPoint::CopyState(const GridPoint& o) {
  if (this == &o) return;
  for (int i = 0; i < 3; ++i) {
    velocity[i] = o.velocity[i];
    displacement[i] = o.displacement[i];
    smallDisplacement[i] = o.smallDisplacement[i];
  }
  dampingKind = o.dampingKind;
  dampingCoefficient = o.dampingCoefficient;
  for (int i = 0; i < kGroupSlots; ++i) {
    groups_[i] = o.groups_[i];
    groupCounts_[i] = o.groupCounts_[i];
  }
  porePressure = o.porePressure;
  if (o.dynamicBlock) {
    if (!dynamicBlock) dynamicBlock = std::make_unique<GpDynamicData>();
    *dynamicBlock = *o.dynamicBlock;
  }
  if (o.thermal) {
    if (!thermal) thermal = std::make_unique<GpThermalData>();
    *thermal = *o.thermal;
  }
  if (o.fluid) {
    if (!fluid) fluid = std::make_unique<GpFluidData>();
    *fluid = *o.fluid;
  }
}

void GridPoint::Save(SaveStream& s) const {
  SaveNode(s);
  s.WriteU32(savedWord);
  s.WriteF64(porePressure);
  s.WriteF64(savedValues[0]);
  s.WriteF64(savedValues[1]);
  WriteVec(s, appliedForce[0]);
  WriteVec(s, appliedForce[1]);
  WriteVec(s, load);
  s.WriteF64(linkedScalar);
  s.WriteU8(thermal ? 1 : 0);
  if (thermal) thermal->Save(s);
  s.WriteU8(fluid ? 1 : 0);
  if (fluid) fluid->Save(s);
  SavePointer(s, attach);
  SavePointer(s, apply);
  s.WriteU32(static_cast<uint32_t>(GroupSlotCount()));
  for (int i = 0; i < kGroupSlots; ++i) {
    if (!groups_[i]) continue;
    SavePointer(s, groups_[i]);
    s.WriteI32(groupCounts_[i]);
  }
  for (const LinkedEntry* e = linked; e; e = e->next) {
    s.WriteU8(1);
    SavePointer(s, e->gp);
  }
  s.WriteU8(0);
}

void GridPoint::Restore(SaveStream& s) {
  RestoreNode(s);
  const int32_t v = FileVersion();
  const bool floats = v < 310;
  savedWord = s.ReadU32();
  porePressure = s.ReadF64();
  savedValues[0] = ReadReal(s, floats);
  savedValues[1] = ReadReal(s, floats);
  ReadVec(s, appliedForce[0], floats);
  ReadVec(s, appliedForce[1], floats);
  if (v >= 98) ReadVec(s, load, floats);
  linkedScalar = ReadReal(s, floats);
  if (s.ReadFlag()) {
    if (!thermal) thermal = std::make_unique<GpThermalData>();
    thermal->Restore(s);
  } else {
    thermal.reset();
  }
  if (s.ReadFlag()) {
    if (!fluid) fluid = std::make_unique<GpFluidData>();
    fluid->Restore(s);
  } else {
    fluid.reset();
  }
  // The attach and apply indices wait for the mechanical solution's lists;
  // the pointers stay null until then, so a grid-point dropped half-read
  // never releases a record.
  RestoreIndex(s);
  RestoreIndex(s);
  apply = attach = nullptr;

  // Every group slot queues its index (0 for an empty one), in slot order.
  ClearGroups();
  uint32_t slots = 0;
  if (v >= 168 && v < 188)
    slots = 1;
  else if ((v >= 188 && v < 235) || (v >= 300 && v <= 310))
    slots = s.ReadU8();
  else if (v >= 235)
    slots = s.ReadU32();
  uint32_t groupIndex[kGroupSlots] = {};
  if (v >= 300) {
    if (slots > kGroupSlots) throw QJExcept("Gridpoint group sizes out of sync.");
    for (uint32_t i = 0; i < slots; ++i) {
      groupIndex[i] = ReadSavedIndex(s);
      groupCounts_[i] = s.ReadI32();
    }
  } else {
    // Older files list a group once per zone that gave it: each takes a slot
    // of its own once and counts the rest.
    s.CheckAvailable(uint64_t{slots} * 4);
    for (uint32_t i = 0; i < slots; ++i) {
      const uint32_t index = ReadSavedIndex(s);
      if (!index) continue;
      int slot = 0;
      while (slot < kGroupSlots && groupIndex[slot] != index && groupIndex[slot] != 0) ++slot;
      if (slot == kGroupSlots) throw QJExcept("Gridpoint groupnames are full.");
      groupIndex[slot] = index;
      ++groupCounts_[slot];
    }
  }
  for (uint32_t index : groupIndex) QueueIndex(index);

  // The chain comes back in its saved order, so that a restored model saves
  // the same bytes and sums its linked grid-points in the same order.
  ClearLinked();
  std::vector<uint32_t> linkedIndex;
  while (s.ReadFlag()) linkedIndex.push_back(ReadSavedIndex(s));
  for (size_t i = 0; i < linkedIndex.size(); ++i) AddLinked(nullptr);
  for (uint32_t index : linkedIndex) QueueIndex(index);
  if (flags & kStepMarks) Settings().freeField = true;
}

void GridPoint::RemapPointers() {
  const GridServices& hooks = GridHooks();
  if (const LinkListBase* list = hooks.attachList ? hooks.attachList() : nullptr)
    RemapPointer(*list, attach);
  else
    SkipPending();
  if (const LinkListBase* list = hooks.applyList ? hooks.applyList() : nullptr)
    RemapPointer(*list, apply);
  else
    SkipPending();
  for (int i = 0; i < kGroupSlots; ++i) {
    RemapPointer(GroupList(), groups_[i]);
    if (!groups_[i]) groupCounts_[i] = 0;
  }
  // An entry whose grid-point did not resolve is dropped: a chain holds
  // grid-points only.
  for (LinkedEntry** link = &linked; *link;) {
    RemapPointer(GridPointList(), (*link)->gp);
    if ((*link)->gp) {
      link = &(*link)->next;
    } else {
      LinkedEntry* dead = *link;
      *link = dead->next;
      delete dead;
    }
  }
}
