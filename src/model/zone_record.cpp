// The zone's record in the save file, and its pointer fix-up after restore.
#include "base/except.h"
#include "base/savestream.h"
#include "cmodels/constitutive_model.h"
#include "model/calc_module.h"
#include "model/grid_point.h"
#include "model/group.h"
#include "model/restore_fields.h"
#include "model/zone.h"

namespace {

void SaveRecord(SaveStream& s, const std::unique_ptr<ZoneRecord>& record) {
  s.WriteU8(record ? 1 : 0);
  if (record) record->Save(s);
}

// A presence byte and the record; an absent record frees the zone's. A
// record that no installed subsystem can read makes the file unreadable.
void RestoreRecord(SaveStream& s, std::unique_ptr<ZoneRecord>& record, uint8_t mode) {
  if (!s.ReadFlag()) {
    record.reset();
    return;
  }
  if (!record) {
    record.reset(NewZoneRecord(mode));
    if (!record) s.ReadFailure();
  }
  record->Restore(s);
}

// The bytes of one tetrahedron record (ZoneTetra::Save).
constexpr uint64_t kTetraRecordBytes = 154;

// Every record of one overlay (a 1 before each), then a 0. Measuring SAVE's
// size passes over the records without reading them.
void SaveOverlay(SaveStream& s, const ZoneTetra* block, int count) {
  if (block && s.Measuring()) {
    s.Skip(static_cast<uint64_t>(count) * (1 + kTetraRecordBytes));
    block = nullptr;
  }
  for (int k = 0; block && k < count; ++k) {
    s.WriteU8(1);
    block[k].Save(s);
  }
  s.WriteU8(0);
}

// The records come back in the saved order; an overlay holds all of its
// type's tetrahedra or none, so any other number makes the file unreadable.
ZoneTetra* RestoreOverlay(SaveStream& s, int count) {
  ZoneTetra* block = nullptr;
  int read = 0;
  try {
    while (s.ReadFlag()) {
      if (read == count) s.ReadFailure();
      if (!block) block = NewTetraBlock(count);
      block[read++].Restore(s);
    }
    if (read != 0 && read != count) s.ReadFailure();
  } catch (...) {
    FreeTetraBlock(block);
    throw;
  }
  return block;
}

// One save object for every zone of a SAVE or RESTORE, emptied before each
// use: its arrays keep their room instead of being allocated per zone.
ModelSaveObject& ReusedSaveObject(bool saving) {
  static ModelSaveObject saver(true), reader(false);
  ModelSaveObject& object = saving ? saver : reader;
  object.type = object.word = 0;
  object.doubles.clear();
  object.ints.clear();
  return object;
}

}  // namespace

void Zone::Save(SaveStream& s) const {
  // The list is saved in order: the pointers of the zone two ahead are
  // fetched while this one is written.
  if (const Zone* next = ModelList<Zone>::Next(this))
    if (const Zone* ahead = ModelList<Zone>::Next(next)) {
      ahead->PrefetchCorners(false);
      ahead->PrefetchNeighbours();
    }
  s.WriteU32(id_);
  s.WriteU8(type_);
  s.WriteU32(flags_);
  s.WriteU8(model_ ? 1 : 0);
  if (model_) {
    ModelSaveObject& object = ReusedSaveObject(true);
    if (const char* message = model_->SaveRestore(object)) throw QJExcept(message);
    object.Write(s);
  }
  s.WriteF64(volume_);
  s.WriteF64(density_);
  for (double v : vector_) s.WriteF64(v);
  SavePointer(s, group_);
  SaveOverlay(s, mech_[0], TetraPerOverlay());
  SaveOverlay(s, mech_[1], TetraPerOverlay());
  for (int slot = 0; slot < kZoneSlots; ++slot) SavePointer(s, slot < GpCount() ? gp_[slot] : nullptr);
  for (Zone* n : neighbour_) SavePointer(s, n);
  SaveRecord(s, thermal);
  SaveRecord(s, fluid);
  s.WriteU8(dynamicMultiplier ? 1 : 0);
  if (dynamicMultiplier) s.WriteF64(*dynamicMultiplier);
  SaveRecord(s, chemistry);
  extra_.Save(s);
  s.WriteU8(dampingOn);
  if (dampingOn) {
    if (!damping) throw QJExcept("Error writing hysteretic damping records.");
    damping->Save(s);
  }
}

void Zone::Restore(SaveStream& s) {
  const int32_t version = FileVersion();
  const bool floats = version < 310;
  id_ = s.ReadU32();
  uint8_t type = s.ReadU8();
  if (type >= kZoneTypes) s.ReadFailure();
  type_ = type;
  flags_ = s.ReadU32();
  if (version < 82) throw QJExcept("Cannot read save files lower than sub-ver 82");
  model_.reset();
  if (s.ReadFlag()) {
    ModelSaveObject& object = ReusedSaveObject(false);
    object.Read(s);
    const ConstitutiveModel* prototype = ConstitutiveModel::FindByType(object.type);
    if (!prototype) throw KWRExcept("Constitutive model not available");
    std::unique_ptr<ConstitutiveModel> model = prototype->Clone();
    if (!model) throw QJExcept("Memory allocation error.");
    if (const char* message = model->SaveRestore(object)) throw QJExcept(message);
    model_ = std::move(model);
  }
  volume_ = ReadReal(s, floats);
  density_ = ReadReal(s, floats);
  for (double& v : vector_) v = ReadReal(s, floats);
  RestorePointer(s, group_);
  for (int o = 0; o < 2; ++o) {
    FreeMechanical(o);
    mech_[o] = RestoreOverlay(s, TetraPerOverlay());
  }
  for (GridPoint*& gp : gp_) RestorePointer(s, gp);
  for (Zone*& n : neighbour_) RestorePointer(s, n);
  RestoreRecord(s, thermal, CalcModule::kThermal);
  RestoreRecord(s, fluid, CalcModule::kFluid);
  if (s.ReadFlag()) {
    if (!dynamicMultiplier) dynamicMultiplier = std::make_unique<double>(0.0);
    *dynamicMultiplier = ReadReal(s, floats);
  } else {
    dynamicMultiplier.reset();
  }
  if (version >= 308) RestoreRecord(s, chemistry, CalcModule::kChemistry);
  extra_.Restore(s);
  if (version >= 300) {
    dampingOn = s.ReadFlag();
    if (dampingOn) {
      damping.reset();
      damping = std::make_unique<HystDamping>();
      damping->Restore(s);
    } else if (damping) {
      throw QJExcept("Error reading hysteretic damping records.");
    }
  }
  // Files 300 to 307 carry the chemistry record of their day, which only the
  // chemistry mode could read; files 302 to 311 carry three blocks that are skipped.
  if (version >= 300 && version <= 307) s.ReadFailure();
  if (version >= 302 && version <= 311 && s.ReadFlag()) {
    for (int i = 0; i < 9; ++i) s.ReadF64();
  }
}

// Slots beyond the type's grid-points were saved empty: they get the type's
// repeats again, so that no slot of a listed zone is ever null.
void Zone::RemapPointers() {
  RemapPointer(GroupList(), group_);
  for (GridPoint*& gp : gp_) RemapPointer(GridPointList(), gp);
  for (Zone*& n : neighbour_) RemapPointer(ZoneList(), n);
  bool complete = true;
  for (int slot = 0; slot < GpCount(); ++slot) complete = complete && gp_[slot];
  if (complete) FillRepeatedSlots();
}
