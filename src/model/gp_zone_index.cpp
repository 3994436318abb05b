#include "model/gp_zone_index.h"

#include <algorithm>

#include "base/except.h"
#include "model/grid_point.h"
#include "model/model.h"
#include "model/zone.h"

namespace {

// The grid-points of each zone type, independent of the type tables, so
// that a type byte the tables do not know is caught.
int GridPointsOfType(int type) {
  switch (type) {
    case kBrick:
      return 8;
    case kWedge:
      return 6;
    case kPyramid:
      return 5;
    case kDegenerateBrick:
      return 7;
    case kTetrahedron:
      return 4;
    default:
      return 0;
  }
}

}  // namespace

void GpZoneIndex::Build() {
  // In place: the lists keep their room from one rebuild to the next.
  for (auto& entry : entries_) entry.second.clear();
  length_ = 0;
  uint32_t maxId = 0;
  for (const GridPoint* gp : GridPointList()) maxId = std::max(maxId, gp->id);
  length_ = maxId;
  entries_.reserve(GridPointList().Count());
  for (Zone* z : ZoneList()) {
    const int n = GridPointsOfType(z->Type());
    if (n == 0 || n != ZoneGpCount(z->Type())) throw QJExcept("Number of gridpoints and zone type don't match.");
    for (int i = 0; i < n; ++i) {
      const uint32_t id = z->Gp(i) ? z->Gp(i)->id : 0;
      if (id == 0 || id > maxId) throw QJExcept("Gridpoint ID is out of range.");
      entries_[id].push_back(z);
    }
  }
}

const std::vector<Zone*>* GpZoneIndex::ZonesOf(uint32_t id) const {
  static const std::vector<Zone*> kNone;
  if (id < 1 || id > length_) return nullptr;
  auto it = entries_.find(id);
  return it == entries_.end() ? &kNone : &it->second;
}

GpZoneIndex& TheGpZoneIndex() { return CurrentModel().GpZones(); }

void BuildGpZoneIndex() { TheGpZoneIndex().Build(); }

void ClearGpZoneIndex() {
  // Release the memory too: NEW and the program's end leave nothing behind.
  GpZoneIndex empty;
  std::swap(TheGpZoneIndex(), empty);
}
