// Whole-model SAVE and RESTORE: the sections of the save file in their fixed
// order, each followed by the check value; the empty form of every section
// whose subsystem has not filled in its entry; and the work after a restore:
// pointers back from saved indices, the report and the zone checks.
#include <cstdint>

#include "base/except.h"
#include "base/linklist.h"
#include "base/range.h"
#include "base/range_named.h"
#include "base/savestream.h"
#include "model/calc_module.h"
#include "model/grid.h"
#include "model/model_interpreter.h"
#include "model/model_settings.h"
#include "model/restore_fields.h"
#include "model/services.h"

namespace {

void WriteCheckValue(SaveStream& s) { s.WriteU32(kSaveCheckValue); }

// A list count in a section that can only be empty here.
void ReadEmptyCount(SaveStream& s) {
  if (s.ReadU32() != 0) s.ReadFailure();
}

// ---------------------------------------------------------------------------
// The sections of subsystems that are not installed, as those subsystems
// write them with nothing in them.

// Tables: the number of tables.
void SaveNoTables(SaveStream& s) { s.WriteU32(0); }
void RestoreNoTables(SaveStream& s) { ReadEmptyCount(s); }

// GENERATE geometry: the point, triangle and volume lists.
void SaveNoGeometry(SaveStream& s) {
  for (int i = 0; i < 3; ++i) s.WriteU32(0);
}
void RestoreNoGeometry(SaveStream& s) {
  for (int i = 0; i < 3; ++i) ReadEmptyCount(s);
}

// Structural elements: the element list with its highest component id and
// id, the node list and the link list with their highest ids, then the
// settings at their defaults: rotational mass scaling, damping scheme,
// Rayleigh alpha and beta, safety factor, critical time step, liner gap
// factor, zone and node tolerances, version-2.0 node command.
void SaveNoStructures(SaveStream& s) {
  for (int i = 0; i < 7; ++i) s.WriteU32(0);
  s.WriteU8(0);
  s.WriteI32(1);
  s.WriteF64(0.0);
  s.WriteF64(0.0);
  s.WriteF64(1.0);
  s.WriteF64(1.0);
  s.WriteF64(0.1);
  s.WriteF64(1e-5);
  s.WriteF64(1e-5);
  s.WriteU8(0);
}
void RestoreNoStructures(SaveStream& s) {
  const int32_t v = FileVersion();
  ReadEmptyCount(s);
  s.ReadI32();
  s.ReadI32();
  ReadEmptyCount(s);
  s.ReadI32();
  ReadEmptyCount(s);
  s.ReadI32();
  s.ReadU8();
  s.ReadI32();
  for (int i = 0; i < 4; ++i) s.ReadF64();
  if (v >= 157)
    for (int i = 0; i < 3; ++i) s.ReadF64();
  if (v >= 159) s.ReadU8();
}

// Apply conditions and attach ties: the list count.
void SaveNoList(SaveStream& s) { s.WriteU32(0); }
void RestoreNoList(SaveStream& s) { ReadEmptyCount(s); }

// Histories: the list, then the byte count of the stored samples.
void SaveNoHistories(SaveStream& s) {
  s.WriteU32(0);
  s.WriteU32(0);
}
void RestoreNoHistories(SaveStream& s) {
  ReadEmptyCount(s);
  ReadEmptyCount(s);
}

// Views: the view list, then the save indices of the current and the base view.
void SaveNoViews(SaveStream& s) {
  for (int i = 0; i < 3; ++i) s.WriteU32(0);
}
void RestoreNoViews(SaveStream& s) {
  ReadEmptyCount(s);
  s.ReadU32();
  s.ReadU32();
}

// Interfaces: the next interface id, then the list.
void SaveNoInterfaces(SaveStream& s) {
  s.WriteU32(0);
  s.WriteU32(0);
}
void RestoreNoInterfaces(SaveStream& s) {
  s.ReadU32();
  ReadEmptyCount(s);
}

// Water table: density, plane-form switch, origin, normal, then the triangles.
void SaveNoWaterTable(SaveStream& s) {
  s.WriteF64(0.0);
  s.WriteU8(0);
  for (int i = 0; i < 6; ++i) s.WriteF64(0.0);
  s.WriteI32(0);
}
void RestoreNoWaterTable(SaveStream& s) {
  s.ReadF64();
  if (s.ReadU8() != 0) s.ReadFailure();
  for (int i = 0; i < 6; ++i) s.ReadF64();
  ReadEmptyCount(s);
}

// Particles: the particle id counter, then the particle list.
void SaveNoParticles(SaveStream& s) {
  s.WriteI32(0);
  s.WriteU32(0);
}
void RestoreNoParticles(SaveStream& s) {
  const int32_t v = FileVersion();
  if (v >= 301) s.ReadI32();
  if (v >= 300) ReadEmptyCount(s);
}

// One section of another subsystem and its check value.
void SaveSection(SaveStream& s, const SaveSectionHooks& hooks, void (*empty)(SaveStream&)) {
  (hooks.save ? hooks.save : empty)(s);
  WriteCheckValue(s);
}

void RestoreSection(SaveStream& s, const SaveSectionHooks& hooks, void (*empty)(SaveStream&)) {
  (hooks.restore ? hooks.restore : empty)(s);
  ReadCheckValue(s);
}

// Runs a subsystem's remapping when it has one.
void Remap(const SaveSectionHooks& hooks) {
  if (hooks.remap) hooks.remap();
}

// A zone that lost one of its grid-points to an index that named none
// cannot be kept: the file is damaged.
void CheckZoneCorners() {
  for (const Zone* z : ZoneList()) {
    for (int slot = 0; slot < z->GpCount(); ++slot)
      if (!z->Gp(slot)) throw KWRExcept("Error reading save file");
  }
}

}  // namespace

void ReadCheckValue(SaveStream& s) {
  if (FileVersion() < 312) return;
  if (s.ReadU32() != kSaveCheckValue) throw QJExcept("Error reading save file (checkbit mismatch).");
}

void ModelInterpreter::SaveState(SaveStream& s) {
  ModelSettings& settings = Settings();
  GetDeviceVector(settings.devicePlacement);
  const ModelServices& sv = Services();

  CommandType::SaveState(s);
  WriteCheckValue(s);
  SaveSection(s, sv.tablesSection, SaveNoTables);
  SaveSection(s, sv.generateSection, SaveNoGeometry);
  GroupList().Save(s);
  WriteCheckValue(s);
  GridPointList().Save(s);
  s.WriteU32(GridPointIdCounter());
  WriteCheckValue(s);
  ZoneList().Save(s);
  s.WriteU32(ZoneIdCounter());
  WriteCheckValue(s);
  SaveSection(s, sv.structuresSection, SaveNoStructures);
  SaveSection(s, sv.applySection, SaveNoList);
  SaveSection(s, sv.historiesSection, SaveNoHistories);
  SaveSection(s, sv.viewsSection, SaveNoViews);
  SaveSection(s, sv.interfacesSection, SaveNoInterfaces);
  SaveSection(s, sv.attachSection, SaveNoList);
  SaveSection(s, sv.waterSection, SaveNoWaterTable);
  PrintRange().Save(s);
  SaveNamedRanges(s);
  WriteCheckValue(s);
  SaveSection(s, sv.particlesSection, SaveNoParticles);
  SaveZoneFaceList(s, ZoneFaceListHead());
  WriteCheckValue(s);
  settings.Save(s);
  WriteCheckValue(s);
  SaveModules(s);
  WriteCheckValue(s);
}

void ModelInterpreter::RestoreState(SaveStream& s, bool quiet) {
  // Grid-point records with free-field marks set it again.
  Settings().freeField = false;
  const ModelServices& sv = Services();

  CommandType::RestoreState(s, quiet);
  const int32_t v = FileVersion();
  ReadCheckValue(s);
  RestoreSection(s, sv.tablesSection, RestoreNoTables);
  RestoreSection(s, sv.generateSection, RestoreNoGeometry);
  GroupList().Restore(s);
  ReadCheckValue(s);
  GridPointList().Restore(s);
  if (v >= 5) GridPointIdCounter() = s.ReadU32();
  ReadCheckValue(s);
  ZoneList().Restore(s);
  if (v >= 5) ZoneIdCounter() = s.ReadU32();
  ReadCheckValue(s);
  if (v >= 16) RestoreSection(s, sv.structuresSection, RestoreNoStructures);
  RestoreSection(s, sv.applySection, RestoreNoList);
  RestoreSection(s, sv.historiesSection, RestoreNoHistories);
  RestoreSection(s, sv.viewsSection, RestoreNoViews);
  RestoreSection(s, sv.interfacesSection, RestoreNoInterfaces);
  RestoreSection(s, sv.attachSection, RestoreNoList);
  RestoreSection(s, sv.waterSection, RestoreNoWaterTable);
  PrintRange().Restore(s);
  RestoreNamedRanges(s);
  ReadCheckValue(s);
  (sv.particlesSection.restore ? sv.particlesSection.restore : RestoreNoParticles)(s);
  // Files before 316 have no zone-face section and no check value before the settings.
  ClearZoneFaceList(ZoneFaceListHead());
  if (v >= 316) {
    ReadCheckValue(s);
    RestoreZoneFaceList(s, ZoneFaceListHead());
    ReadCheckValue(s);
  }
  Settings().Restore(s, v);
  ReadCheckValue(s);
  RestoreModules(s, v);
  ReadCheckValue(s);
}

int ModelInterpreter::AfterRestore(bool quiet) {
  const int32_t v = FileVersion();
  const ModelServices& sv = Services();

  if (Script()) Script()->RemapPointers(*this);
  Remap(sv.generateSection);
  GroupList().RemapAll();
  GridPointList().RemapAll();
  ZoneList().RemapAll();
  Remap(sv.structuresSection);
  Remap(sv.applySection);
  Remap(sv.historiesSection);
  Remap(sv.viewsSection);
  Remap(sv.interfacesSection);
  Remap(sv.attachSection);
  PrintRange().RemapPointers();
  RemapNamedRanges();
  for (int32_t n = NamedRangeBadPointers(); n > 0; --n) CountBadPointer();
  Remap(sv.particlesSection);
  ResolveZoneFaceList(ZoneFaceListHead());
  GridIndexesChanged();
  CheckZoneCorners();
  if (v >= 14) Settings().ResolveDisplay();
  if (quiet) return kDone;

  *this << "Model has " << UIntToString(ZoneList().Count()) << " zones and "
        << UIntToString(GridPointList().Count()) << " grid-points" << "\n";
  const int32_t elements = sv.countStructures ? sv.countStructures() : 0;
  const int32_t nodes = sv.countStructureNodes ? sv.countStructureNodes() : 0;
  if (elements || nodes) {
    *this << String(' ', 10) << IntToString(elements) << " structural-elements and " << IntToString(nodes)
          << " nodes" << "\n";
  }
  *this << "          at cycle " << IntToString(Settings().totalCycles) << "." << "\n";
  // Older files kept no group slots of their own on the grid-points.
  if (v < 233) ClearAllGroups();
  RunClear(sv.detachParticles);
  CheckAllZones();
  return kDone;
}
