// DELETE: zones in a range with the grid-points only they used and every
// reference to them, a named range, or the GENERATE geometry. PDELETE:
// particles in a range or the inactive ones.
#include <vector>

#include "base/command.h"
#include "base/except.h"
#include "base/range.h"
#include "base/range_named.h"
#include "generate/gen_geometry.h"
#include "generate/grid_edit.h"
#include "model/gp_zone_index.h"
#include "model/grid.h"
#include "model/grid_services.h"
#include "model/model.h"
#include "model/model_interpreter.h"

namespace {

// The range phrase of the rest of the command: after the word "range", or
// starting at the first word that is left.
void ReadRange(CommandType& interp, Range& range) {
  if (interp.FindToken("range") >= 0) {
    range.Parse(interp);
  } else if (interp.HasToken()) {
    int at = interp.TokenIndex();
    const int code = range.ParsePhrase(interp, &at);
    if (code != CommandType::kOk) interp.ThrowParamError(code, &at);
    interp.TokenIndex() = at;
  }
  if (interp.HasToken()) interp.ThrowParamError(CommandType::kUnrecognized);
}

// Unlinks a zone from its neighbours and destroys it; the grid's indexes
// are refreshed once for all by the caller.
void DestroyZone(Zone* zone) {
  for (int f = 0; f < kZoneFaces; ++f) {
    Zone* n = zone->Neighbour(f);
    if (!n) continue;
    for (int g = 0; g < kZoneFaces; ++g)
      if (n->Neighbour(g) == zone) n->SetNeighbour(g, nullptr);
    zone->SetNeighbour(f, nullptr);
  }
  if (ZoneFaceListHead()) RemoveZoneFaces(ZoneFaceListHead(), zone);
  ZoneList().Remove(zone);
  if (GridHooks().objectDeleted) GridHooks().objectDeleted(zone);
  delete zone;
}

}  // namespace

DeletedCounts DeleteZonesInRange(const Range& range, CommandType& interp) {
  DeletedCounts counts;
  for (GridPoint* gp : GridPointList()) gp->flags |= NodeBase::kDeleteMark;
  std::vector<Zone*> doomed;
  for (Zone* z : ZoneList()) {
    if (range.IsIn(z)) {
      z->SetFlags(z->Flags() | Zone::kDeleted);
      z->SetGroup(nullptr);
      doomed.push_back(z);
    } else {
      z->SetFlags(z->Flags() & ~Zone::kDeleted);
      for (int s = 0; s < kZoneSlots; ++s)
        if (GridPoint* gp = z->Gp(s)) gp->flags &= ~NodeBase::kDeleteMark;
    }
  }
  const GridServices& hooks = GridHooks();
  if (hooks.removeDeletedInterfaces) hooks.removeDeletedInterfaces(interp);
  ReleaseDeletedGridPoints();
  CurrentModel().Structures().RetargetLinksOfDeletedZones(Settings().largeStrain);
  for (Zone* z : doomed) DestroyZone(z);
  counts.zones = static_cast<uint32_t>(doomed.size());
  for (GridPoint* gp = GridPointList().Head(); gp;) {
    GridPoint* next = ModelList<GridPoint>::Next(gp);
    if (gp->flags & NodeBase::kDeleteMark) {
      GridPointList().Remove(gp);
      if (hooks.objectDeleted) hooks.objectDeleted(gp);
      delete gp;
      ++counts.gridPoints;
    }
    gp = next;
  }
  GridIndexesChanged();
  ClearGpZoneIndex();
  CurrentModel().Script().UpdateHistoriesActive();
  return counts;
}

void DeleteCommand(ModelInterpreter& interp) {
  int word = 0;
  if (interp.MatchKeyword("namedrange volumes", word) == CommandType::kOk) {
    if (word == 1) {
      const String name = interp.HasToken() ? interp.GetString() : String();
      const bool deleted = DeleteNamedRange(name);
      interp << "\n*** " << (deleted ? "Deleted" : "Could not delete") << " named range " << name << "\n";
    } else {
      ResetGenGeometry();
    }
    return;
  }
  Range range;
  ReadRange(interp, range);
  const DeletedCounts counts = DeleteZonesInRange(range, interp);
  interp << "Deleted " << counts.zones << " zones and " << counts.gridPoints << " grid-points"
         << "\n";
}

void PDeleteCommand(ModelInterpreter& interp) {
  uint32_t count = 0;
  int word = 0;
  if (interp.MatchKeyword("inactive", word) == CommandType::kOk) {
    if (auto remove = GridHooks().deleteInactiveParticles) count = remove();
  } else {
    Range range;
    ReadRange(interp, range);
    for (Zone* z : ZoneList())
      if (!z->particles.empty() && range.IsIn(z)) count += z->DeleteParticles();
  }
  interp << "Deleted " << count << " particles."
         << "\n";
}
