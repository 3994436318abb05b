// For each grid-point id, the zones that use that grid-point. Particle
// tracking moves particles from zone to zone through it; it is rebuilt at
// the start of every calculation run while tracking is on.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

class Zone;

class GpZoneIndex {
 public:
  // Rebuilds the index from the grid-point and zone lists: one entry per id
  // up to the largest grid-point id, each listing its zones in zone-list
  // order. QJExcept "Number of gridpoints and zone type don't match." for a
  // zone of an unknown type, "Gridpoint ID is out of range." for a zone's
  // grid-point with id 0 or above the largest id; the index is then partly built.
  void Build();
  void Clear() {
    entries_.clear();
    length_ = 0;
  }

  uint32_t Length() const { return length_; }
  // The zones of the grid-point with that id; null outside 1..Length().
  const std::vector<Zone*>* ZonesOf(uint32_t id) const;

 private:
  // Only the ids that zones use take room: an id may be as large as the
  // user or a save file makes it.
  std::unordered_map<uint32_t, std::vector<Zone*>> entries_;
  uint32_t length_ = 0;
};

// The model's index; NEW empties it.
GpZoneIndex& TheGpZoneIndex();
void BuildGpZoneIndex();
void ClearGpZoneIndex();
