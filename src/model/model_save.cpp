// Whole-model SAVE and RESTORE: the interpreter state, then the sections of
// the save file in their fixed order, each followed by the check value; the
// grid model's own sections; and the work after a restore: pointers back
// from saved indices, the report and the zone checks.
#include <cstdint>

#include "base/except.h"
#include "base/linklist.h"
#include "base/range.h"
#include "base/range_named.h"
#include "base/savestream.h"
#include "model/calc_module.h"
#include "model/grid.h"
#include "model/model.h"
#include "model/model_interpreter.h"
#include "model/model_settings.h"
#include "model/restore_fields.h"
#include "model/services.h"

namespace {

// A zone that lost one of its grid-points to an index that named none
// cannot be kept: the file is damaged.
void CheckZoneCorners() {
  for (const Zone* z : ZoneList()) {
    for (int slot = 0; slot < z->GpCount(); ++slot)
      if (!z->Gp(slot)) throw KWRExcept("Error reading save file");
  }
}

void SaveRanges(SaveStream& s) {
  PrintRange().Save(s);
  SaveNamedRanges(s);
}

void RestoreRanges(SaveStream& s) {
  PrintRange().Restore(s);
  RestoreNamedRanges(s);
}

void RemapRanges() {
  PrintRange().RemapPointers();
  RemapNamedRanges();
  for (int32_t n = NamedRangeBadPointers(); n > 0; --n) CountBadPointer();
}

}  // namespace

void InstallGridSections(SaveSections& sections) {
  sections.Install(
      "groups", [](SaveStream& s) { GroupList().Save(s); }, [](SaveStream& s) { GroupList().Restore(s); },
      [] { GroupList().RemapAll(); });
  sections.Install(
      "grid-points",
      [](SaveStream& s) {
        GridPointList().Save(s);
        s.WriteU32(GridPointIdCounter());
      },
      [](SaveStream& s) {
        GridPointList().Restore(s);
        if (FileVersion() >= 5) GridPointIdCounter() = s.ReadU32();
      },
      [] { GridPointList().RemapAll(); });
  sections.Install(
      "zones",
      [](SaveStream& s) {
        ZoneList().Save(s);
        s.WriteU32(ZoneIdCounter());
      },
      [](SaveStream& s) {
        ZoneList().Restore(s);
        if (FileVersion() >= 5) ZoneIdCounter() = s.ReadU32();
      },
      [] { ZoneList().RemapAll(); });
  sections.Install("ranges", &SaveRanges, &RestoreRanges, &RemapRanges);
  sections.Install(
      "zone faces", [](SaveStream& s) { SaveZoneFaceList(s, ZoneFaceListHead()); },
      [](SaveStream& s) {
        ClearZoneFaceList(ZoneFaceListHead());
        RestoreZoneFaceList(s, ZoneFaceListHead());
      },
      [] { ResolveZoneFaceList(ZoneFaceListHead()); });
  sections.Install(
      "settings", [](SaveStream& s) { Settings().Save(s); },
      [](SaveStream& s) { Settings().Restore(s, FileVersion()); });
  sections.Install("modules", &SaveModules, [](SaveStream& s) { RestoreModules(s, FileVersion()); });
}

void ModelInterpreter::SaveState(SaveStream& s) {
  GetDeviceVector(Settings().devicePlacement);
  CommandType::SaveState(s);
  s.WriteU32(kSaveCheckValue);
  model_.Sections().SaveAll(s);
}

void ModelInterpreter::RestoreState(SaveStream& s, bool quiet) {
  // Grid-point records with free-field marks set it again.
  Settings().freeField = false;
  CommandType::RestoreState(s, quiet);
  ReadCheckValue(s);
  model_.Sections().RestoreAll(s, FileVersion());
}

int ModelInterpreter::AfterRestore(bool quiet) {
  const int32_t v = FileVersion();
  if (Script()) Script()->RemapPointers(*this);
  model_.Sections().RemapAll();
  GridIndexesChanged();
  CheckZoneCorners();
  if (v >= 14) Settings().ResolveDisplay();
  if (quiet) return kDone;

  *this << "Model has " << UIntToString(ZoneList().Count()) << " zones and " << UIntToString(GridPointList().Count())
        << " grid-points"
        << "\n";
  const int32_t elements = model_.Structures().Count();
  const int32_t nodes = model_.Structures().CountNodes();
  if (elements || nodes) {
    *this << String(' ', 10) << IntToString(elements) << " structural-elements and " << IntToString(nodes) << " nodes"
          << "\n";
  }
  *this << "          at cycle " << IntToString(Settings().totalCycles) << "."
        << "\n";
  // Older files kept no group slots of their own on the grid-points.
  if (v < 233) ClearAllGroups();
  CheckAllZones();
  return kDone;
}
