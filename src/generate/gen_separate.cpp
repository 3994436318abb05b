// GENERATE SEPARATE: the zones of a group are cut loose from the zones of
// other groups. The faces between them are unlinked and the grid-points on
// those faces doubled; the group's zones take the new grid-points.
#include <unordered_map>
#include <vector>

#include "base/command.h"
#include "base/except.h"
#include "generate/grid_edit.h"
#include "model/grid.h"
#include "model/group.h"
#include "model/model_interpreter.h"

void SeparateCommand(ModelInterpreter& interp) {
  const String name = interp.GetString();
  Group* group = FindGroup(name);
  if (!group) throw QJExcept("Must specify a valid group.");
  // The grid-points on the cut faces; each gets its double below.
  std::unordered_map<GridPoint*, GridPoint*> doubles;
  for (Zone* z : ZoneList()) {
    if (z->GetGroup() != group) continue;
    for (int f = 0; f < kZoneFaces; ++f) {
      Zone* n = z->Neighbour(f);
      if (!n || n->GetGroup() == group) continue;
      z->SetNeighbour(f, nullptr);
      for (int g = 0; g < kZoneFaces; ++g) {
        if (n->Neighbour(g) != z) continue;
        n->SetNeighbour(g, nullptr);
        break;
      }
      for (int c = 0; c < 4; ++c) doubles.try_emplace(z->GetFaceGp(f, c), nullptr);
    }
  }
  if (doubles.empty()) return;
  {
    GridBatch batch(doubles.size(), 0);
    GridPoint* last = GridPointList().Tail();
    for (GridPoint* gp = GridPointList().Head(); gp; gp = gp == last ? nullptr : ModelList<GridPoint>::Next(gp)) {
      auto it = doubles.find(gp);
      if (it != doubles.end()) it->second = GridBatch::NewGridPoint(gp->position);
    }
  }
  for (Zone* z : ZoneList()) {
    if (z->GetGroup() != group || z->IsNull()) continue;
    for (int s = 0; s < kZoneSlots; ++s) {
      auto it = doubles.find(z->Gp(s));
      if (it != doubles.end()) z->SetGp(s, it->second);
    }
  }
  ClearAllGroups();
  GridIndexesChanged();
}
