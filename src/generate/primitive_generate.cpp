// The generation of a primitive: cells made plane by plane, row by row, each
// a zone over the grid-points of its eight nodes. Nodes on the primitive's
// surface merge with grid-points on the free faces of the grid that was
// there, and the primitive's surface faces join that grid's free faces that
// hold the same grid-points.
//
// The existing boundary is gathered once per primitive into two hashed
// tables: the boundary grid-points by position cell, and the free faces by
// their grid-points. Each keeps the choice a walk of the boundary lists would
// make: the lists run from the last zone back to the first (faces 5 to 0
// within a zone), and the grid-point list puts each newly met grid-point at
// its head.
#include <algorithm>
#include <array>
#include <cmath>
#include <new>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/command.h"
#include "base/except.h"
#include "base/message.h"
#include "generate/primitive.h"
#include "model/grid.h"
#include "platform/os_services.h"

namespace {

// The highest number of zones or nodes of one primitive (ids are 32 bits).
constexpr uint64_t kMostObjects = 0x7fffffffu;

[[noreturn]] void ThrowNoMemory() { throw QJExcept("Memory allocation error."); }

uint64_t CellsOf(const MeshPrimitive& p) { return uint64_t(p.size[0]) * uint64_t(p.size[1]) * uint64_t(p.size[2]); }
uint64_t NodesOf(const MeshPrimitive& p) {
  return (uint64_t(p.size[0]) + 1) * (uint64_t(p.size[1]) + 1) * (uint64_t(p.size[2]) + 1);
}

// A primitive that could never fit is refused before anything is made: more
// zones or nodes than ids, or more memory than the machine has (a mistyped
// size would otherwise take all of it).
void CheckFits(const MeshPrimitive& p) {
  const uint64_t cells = CellsOf(p), nodes = NodesOf(p);
  if (cells > kMostObjects || nodes > kMostObjects) ThrowNoMemory();
  // Each object with its pool header, its table entry and its id-map entry.
  const uint64_t bytes = cells * (sizeof(Zone) + 64) + nodes * (sizeof(GridPoint) + 64);
  const uint64_t physical = PhysicalMemoryBytes();
  if (physical && bytes > physical) ThrowNoMemory();
}

double Norm(const double p[3]) { return std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]); }

// ---------------------------------------------------------------------------
// Boundary grid-points of the existing grid, by position.

struct CellKey {
  int64_t x, y, z;
  bool operator==(const CellKey& o) const { return x == o.x && y == o.y && z == o.z; }
};

struct CellKeyHash {
  size_t operator()(const CellKey& k) const {
    uint64_t h = static_cast<uint64_t>(k.x) * 0x9E3779B97F4A7C15ull;
    h ^= static_cast<uint64_t>(k.y) * 0xC2B2AE3D27D4EB4Full + (h << 6) + (h >> 2);
    h ^= static_cast<uint64_t>(k.z) * 0x165667B19E3779F9ull + (h << 6) + (h >> 2);
    return static_cast<size_t>(h);
  }
};

// A grid-point merges with a new node within an L1 distance of 1e-6 times
// the larger of the two position norms (1e-6 when both are at the origin).
// That reach is at most about 1e-6 of the largest norm of the boundary, so
// cells a few times that wide hold every candidate of a node in the cell of
// the node and its neighbours.
class BoundaryPoints {
 public:
  // The grid-points in the order in which the walk of the free faces meets
  // them; the last met is the first that a merge looks at.
  void Build(const std::vector<GridPoint*>& met) {
    largestNorm_ = 0.0;
    for (GridPoint* gp : met) {
      const double n = Norm(gp->position);
      if (std::isfinite(n)) largestNorm_ = std::max(largestNorm_, n);
    }
    cell_ = 4e-6 * std::max(largestNorm_, 1.0);
    cells_.reserve(met.size());
    for (size_t rank = 0; rank < met.size(); ++rank) {
      GridPoint* gp = met[rank];
      if (!std::isfinite(Norm(gp->position))) continue;
      cells_[KeyOf(gp->position)].push_back(Entry{gp, static_cast<uint32_t>(rank)});
    }
  }

  bool Empty() const { return cells_.empty(); }

  // The grid-point that a new node at p merges with, or null: of those
  // within reach, the one met last.
  GridPoint* Find(const double p[3]) const {
    if (cells_.empty()) return nullptr;
    const double pn = Norm(p);
    // Far beyond the boundary nothing lies within reach.
    if (!std::isfinite(pn) || pn > 1.01 * largestNorm_ + 1e-5) return nullptr;
    const CellKey c = KeyOf(p);
    const Entry* best = nullptr;
    for (int64_t dx = -1; dx <= 1; ++dx)
      for (int64_t dy = -1; dy <= 1; ++dy)
        for (int64_t dz = -1; dz <= 1; ++dz) {
          auto it = cells_.find(CellKey{c.x + dx, c.y + dy, c.z + dz});
          if (it == cells_.end()) continue;
          for (const Entry& e : it->second) {
            if (best && e.rank < best->rank) continue;
            const double* g = e.gp->position;
            double m = std::max(pn, Norm(g));
            if (m == 0.0) m = 1.0;
            const double l1 = std::fabs(g[0] - p[0]) + std::fabs(g[1] - p[1]) + std::fabs(g[2] - p[2]);
            if (l1 < 1e-6 * m) best = &e;
          }
        }
    return best ? best->gp : nullptr;
  }

 private:
  struct Entry {
    GridPoint* gp;
    uint32_t rank;
  };

  CellKey KeyOf(const double p[3]) const {
    return {static_cast<int64_t>(std::floor(p[0] / cell_)), static_cast<int64_t>(std::floor(p[1] / cell_)),
            static_cast<int64_t>(std::floor(p[2] / cell_))};
  }

  double largestNorm_ = 0.0;
  double cell_ = 1.0;
  std::unordered_map<CellKey, std::vector<Entry>, CellKeyHash> cells_;
};

// ---------------------------------------------------------------------------
// Free faces of the existing grid, by their distinct grid-points.

using FaceKey = std::array<const GridPoint*, 4>;

struct FaceKeyHash {
  size_t operator()(const FaceKey& k) const {
    uint64_t h = 0xcbf29ce484222325ull;
    for (const GridPoint* gp : k) {
      h ^= static_cast<uint64_t>(reinterpret_cast<uintptr_t>(gp) >> 4);
      h *= 0x100000001B3ull;
      h ^= h >> 29;
    }
    return static_cast<size_t>(h);
  }
};

// The distinct grid-points of `count` corners, sorted, null beyond them;
// false when fewer than three are distinct: such a face joins nothing.
bool MakeFaceKey(GridPoint* const corners[], int count, FaceKey& key) {
  key = {nullptr, nullptr, nullptr, nullptr};
  for (int c = 0; c < count; ++c) key[static_cast<size_t>(c)] = corners[c];
  std::sort(key.begin(), key.begin() + count);
  const auto end = std::unique(key.begin(), key.begin() + count);
  if (std::find(key.begin(), end, nullptr) != end) return false;
  const int distinct = static_cast<int>(end - key.begin());
  for (int c = distinct; c < 4; ++c) key[static_cast<size_t>(c)] = nullptr;
  return distinct >= 3;
}

// The face of a listed zone as a key, its corners per its type's face table.
bool KeyOfZoneFace(const Zone& zone, int face, FaceKey& key) {
  GridPoint* corners[4];
  const int count = zone.FaceGpCount(face);
  for (int c = 0; c < count; ++c) corners[c] = zone.GetFaceGp(face, c);
  return MakeFaceKey(corners, count, key);
}

struct FaceRecord {
  Zone* zone;
  int face;
};

// ---------------------------------------------------------------------------
// The working set of one primitive.

class GenerationSet {
 public:
  explicit GenerationSet(const MeshPrimitive& primitive)
      : p_(primitive), n1_(primitive.size[0]), n2_(primitive.size[1]), n3_(primitive.size[2]), mapping_(primitive) {
    try {
      zones_.assign(CellsOf(primitive), nullptr);
      nodes_.assign(NodesOf(primitive), nullptr);
    } catch (const std::bad_alloc&) {
      ThrowNoMemory();
    }
  }

  size_t CellCount() const { return zones_.size(); }
  size_t NodeCount() const { return nodes_.size(); }

  // The free faces of every listed zone and the grid-points on them.
  void CollectBoundary() {
    if (!p_.merge) return;  // nothing would be merged or joined
    std::vector<Zone*> listed;
    for (Zone* z : ZoneList()) listed.push_back(z);
    std::vector<GridPoint*> met;
    std::unordered_set<const GridPoint*> seen;
    // The walk runs from the last zone back to the first, faces 5 to 0.
    for (auto it = listed.rbegin(); it != listed.rend(); ++it) {
      Zone* z = *it;
      for (int f = kZoneFaces - 1; f >= 0; --f) {
        if (z->Neighbour(f)) continue;
        for (int c = 0; c < 4; ++c) {
          GridPoint* gp = z->GetFaceGp(f, c);
          if (gp && seen.insert(gp).second) met.push_back(gp);
        }
        FaceKey key;
        // The first record of a key in the walk is the one a search takes.
        if (KeyOfZoneFace(*z, f, key)) freeFaces_.emplace(key, FaceRecord{z, f});
      }
    }
    boundary_.Build(met);
  }

  void Run(CommandType& interp) {
    for (int k = 0; k < n3_; ++k) {
      const String line = MessageText("Generating Plane %s of %s", IntToString(k + 1), IntToString(n3_)) + "\r";
      interp.ConsoleStream::Write(line.c_str());
      for (int j = 0; j < n2_; ++j) {
        if (interp.EscPressed()) throw ESCInterrupt();
        for (int i = 0; i < n1_; ++i) CreateCellZone(i, j, k);
      }
    }
  }

  // The post-pass of the type and the groups, over the cells made.
  void Finish() {
    if (p_.type == kPrimWedge) RetypeWedgeTop();
    ApplyGroups();
  }

 private:
  size_t CellIndex(int i, int j, int k) const { return (size_t(k) * size_t(n2_) + size_t(j)) * size_t(n1_) + size_t(i); }

  // The representative of a node: the top plane of a wedge is one row of nodes.
  void Fold(int& i, int k) const {
    if (p_.type == kPrimWedge && k == n3_) i = 0;
  }

  bool Inside(int i, int j, int k) const { return i >= 0 && i <= n1_ && j >= 0 && j <= n2_ && k >= 0 && k <= n3_; }

  size_t NodeIndex(int i, int j, int k) const {
    return (size_t(n2_ + 1) * size_t(k) + size_t(j)) * size_t(n1_ + 1) + size_t(i);
  }

  GridPoint* NodeAt(int i, int j, int k) const {
    Fold(i, k);
    return Inside(i, j, k) ? nodes_[NodeIndex(i, j, k)] : nullptr;
  }

  void SetNode(int i, int j, int k, GridPoint* gp) {
    Fold(i, k);
    if (Inside(i, j, k)) nodes_[NodeIndex(i, j, k)] = gp;
  }

  bool OnSurface(int i, int j, int k) const {
    return i == 0 || i == n1_ || j == 0 || j == n2_ || k == 0 || k == n3_;
  }

  // The grid-point of a node that has none yet: a boundary grid-point of the
  // old grid at its position when the node is on the surface, else a new one.
  // A grid-point that another node took already is not taken again: two
  // nodes closer than the merge reach would give one zone a corner twice.
  GridPoint* NodeGridPoint(const Vec3& at, int i, int j, int k) {
    const double position[3] = {at.x, at.y, at.z};
    GridPoint* gp = nullptr;
    if (p_.merge && OnSurface(i, j, k)) gp = boundary_.Find(position);
    if (gp && !merged_.insert(gp).second) gp = nullptr;
    if (!gp) gp = GridBatch::NewGridPoint(position);
    SetNode(i, j, k, gp);
    return gp;
  }

  void CreateCellZone(int i, int j, int k) {
    GridPoint* corner[8];
    Vec3 position[8];
    for (int c = 0; c < 8; ++c) {
      const int* d = kCornerOffsets[c];
      corner[c] = NodeAt(i + d[0], j + d[1], k + d[2]);
      if (!corner[c]) position[c] = mapping_.Position(i + d[0], j + d[1], k + d[2]);
    }
    // The grid-points before the zone: when memory runs out no zone stands
    // in the grid without its corners.
    for (int c = 0; c < 8; ++c) {
      if (corner[c]) continue;
      const int* d = kCornerOffsets[c];
      // A collapsed node may have been made for an earlier corner of this cell.
      corner[c] = NodeAt(i + d[0], j + d[1], k + d[2]);
      if (!corner[c]) corner[c] = NodeGridPoint(position[c], i + d[0], j + d[1], k + d[2]);
    }
    Zone* zone = nullptr;
    try {
      zone = GridBatch::NewZone();
    } catch (const MemExcept&) {
      ThrowNoMemory();
    }
    for (int c = 0; c < 8; ++c) zone->SetGp(c, corner[c]);
    zone->SetGroupPointer(p_.group);
    for (int f = 0; f < kZoneFaces; ++f) {
      const int* d = kFaceNeighbourOffsets[f];
      const int ci = i + d[0], cj = j + d[1], ck = k + d[2];
      if (ci < 0 || cj < 0 || ck < 0 || ci == n1_ || cj == n2_ || ck == n3_) {
        if (freeFaces_.empty() || !p_.merge) continue;
        if (const FaceRecord* record = MatchingFreeFace(*zone, f))
          GridBatch::Link(zone, f, record->zone, record->face);
      } else if (Zone* other = zones_[CellIndex(ci, cj, ck)]) {
        GridBatch::Link(zone, f, other, kOppositeFace[f]);
      }
    }
    zones_[CellIndex(i, j, k)] = zone;
  }

  // The free face of the old grid with the same grid-points as the face.
  const FaceRecord* MatchingFreeFace(const Zone& zone, int face) const {
    GridPoint* corners[4];
    for (int c = 0; c < 4; ++c) corners[c] = zone.GetFaceGp(face, c);
    FaceKey key;
    if (!MakeFaceKey(corners, 4, key)) return nullptr;
    auto it = freeFaces_.find(key);
    return it == freeFaces_.end() ? nullptr : &it->second;
  }

  // The top layer of a wedge: its cells hold six distinct grid-points in
  // wedge order already.
  void RetypeWedgeTop() {
    for (int j = 0; j < n2_; ++j)
      for (int i = 0; i < n1_; ++i)
        if (Zone* z = zones_[CellIndex(i, j, n3_ - 1)]) z->SetType(kWedge);
  }

  // Each zone's group is set again so that its grid-points carry it. A
  // grid-point that cannot take one more group leaves that zone without
  // one; the first such error is raised when all zones are done.
  void ApplyGroups() {
    bool failed = false;
    String message;
    for (Zone* z : zones_) {
      if (!z || !z->GetGroup()) continue;
      Group* group = z->GetGroup();
      z->SetGroupPointer(nullptr);
      try {
        z->SetGroup(group);
      } catch (const KWRExcept& e) {
        if (!failed) message = e.Text();
        failed = true;
      }
    }
    if (failed) throw QJExcept(message);
  }

  const MeshPrimitive& p_;
  const int n1_, n2_, n3_;
  PrimitiveMapping mapping_;
  std::vector<Zone*> zones_;
  std::vector<GridPoint*> nodes_;
  BoundaryPoints boundary_;
  std::unordered_set<const GridPoint*> merged_;
  std::unordered_map<FaceKey, FaceRecord, FaceKeyHash> freeFaces_;
};

}  // namespace

void MeshPrimitive::Generate(CommandType& interp) const {
  if (!Available(type))
    throw QJExcept(MessageText("%s is not available in this version", String("GENERATE ZONE ") + TypeName(type)));
  for (int m = 0; m < 3; ++m)
    if (size[m] < 1) return;  // no cells (the commands refuse such sizes)
  CheckFits(*this);
  const MeshPrimitive primitive = *this;
  GenerationSet set(primitive);
  set.CollectBoundary();
  // The progress line is ended whatever happens.
  struct EndLine {
    CommandType& interp;
    ~EndLine() {
      try {
        interp.ConsoleStream::Write("\n");
      } catch (...) {
      }
    }
  } endLine{interp};
  GridBatch batch(set.NodeCount(), set.CellCount());
  try {
    set.Run(interp);
  } catch (...) {
    // What was made stays, typed and grouped as a whole primitive would be.
    try {
      set.Finish();
    } catch (const KWRExcept&) {
    }
    throw;
  }
  set.Finish();  // may raise a group error once every zone is done
}
