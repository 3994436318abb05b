// What one generation (a primitive, a piece of a radial primitive, a
// uniform wedge) knows of the grid that was there when it began: the free
// faces of the listed zones and the grid-points on them, hashed so that a
// new node finds the grid-point it merges with, and a new face the free face
// it joins, in constant time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

class GridPoint;
class Zone;

// Grid-points found by position. A point P reaches a grid-point G when their
// L1 distance is below 1e-6 times the larger of their position norms (1e-6
// when both are at the origin). Grid-points of norms up to twice the scale
// given are kept in cells some times that reach wide, and a search looks at
// the cells that the reach of its point overlaps (mostly one); the rare ones
// beyond are searched one by one. Among several within reach, the one added
// first or the one added last is chosen.
class PointHash {
 public:
  enum Choice { kFirstAdded, kLastAdded };

  explicit PointHash(double scale = 0.0) { Reset(scale); }
  // Empties the hash; positions of norm up to about twice the scale go in cells.
  void Reset(double scale);
  void Reserve(size_t count);
  // Grid-points at positions that are not finite are never found.
  void Add(GridPoint* gp);
  GridPoint* Find(const double p[3], Choice choice) const;
  bool Empty() const { return count_ == 0; }

 private:
  struct CellKey {
    int64_t x, y, z;
    bool operator==(const CellKey& o) const { return x == o.x && y == o.y && z == o.z; }
  };
  struct CellKeyHash {
    size_t operator()(const CellKey& k) const;
  };
  struct Entry {
    GridPoint* gp;
    uint32_t rank;
    uint32_t next;  // the next entry of the cell, kNone at the end
  };
  static constexpr uint32_t kNone = 0xffffffffu;

  CellKey KeyOf(const double p[3]) const;
  // Whether the entry is within reach of p and better than the best so far.
  void Consider(const Entry& e, const double p[3], double pNorm, Choice choice, const Entry*& best) const;

  double cell_ = 1.0;
  double limit_ = 1.0;
  uint32_t count_ = 0;
  std::vector<Entry> entries_;
  std::unordered_map<CellKey, uint32_t, CellKeyHash> cells_;  // the cell's first entry
  std::vector<Entry> far_;
};

// A zone face by its distinct grid-points, sorted, null beyond them.
using FaceKey = std::array<const GridPoint*, 4>;

struct FaceKeyHash {
  size_t operator()(const FaceKey& k) const;
};

// The key of `count` corners; false when fewer than three are distinct (or a
// corner is missing): such a face joins nothing.
bool MakeFaceKey(GridPoint* const corners[], int count, FaceKey& key);
// The key of a listed zone's face, its corners per its type's face table.
bool KeyOfZoneFace(const Zone& zone, int face, FaceKey& key);

struct FaceRecord {
  Zone* zone;
  int face;
};

class GenerationSet {
 public:
  // Gathers the faces without neighbour of every listed zone and the
  // grid-points on them. The walk runs from the last zone back to the first,
  // faces 5 to 0 in each: a search takes the first free face it met, and
  // the grid-point it met last. With `zones` (in list order) only those
  // are walked: a caller that knows where the new zones go passes the zones
  // that can touch them.
  void CollectBoundary(const std::vector<Zone*>* zones = nullptr);

  bool HasFreeFaces() const { return !chains_.empty(); }
  // The boundary grid-point that a new node at p merges with, or null.
  GridPoint* FindBoundaryGridPoint(const double p[3]) const { return boundary_.Find(p, PointHash::kLastAdded); }
  // The first free face with the key, or null.
  const FaceRecord* FindMatchingFreeFace(const FaceKey& key) const;
  // The first free face with the key that no new zone has joined yet.
  const FaceRecord* FindUnjoinedFreeFace(const FaceKey& key) const;

 private:
  struct Chain {
    uint32_t first, last;
  };
  PointHash boundary_;
  std::vector<FaceRecord> records_;
  std::vector<uint32_t> next_;  // the next record with the same key
  std::unordered_map<FaceKey, Chain, FaceKeyHash> chains_;
};
