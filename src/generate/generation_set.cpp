// The hashed boundary of the existing grid for one generation.
#include "generate/generation_set.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "model/grid.h"

namespace {

constexpr uint32_t kNoRecord = 0xffffffffu;

double Norm(const double p[3]) { return std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]); }

}  // namespace

// ---------------------------------------------------------------------------
// Grid-points by position

size_t PointHash::CellKeyHash::operator()(const CellKey& k) const {
  uint64_t h = static_cast<uint64_t>(k.x) * 0x9E3779B97F4A7C15ull;
  h ^= static_cast<uint64_t>(k.y) * 0xC2B2AE3D27D4EB4Full + (h << 6) + (h >> 2);
  h ^= static_cast<uint64_t>(k.z) * 0x165667B19E3779F9ull + (h << 6) + (h >> 2);
  return static_cast<size_t>(h);
}

// Cells of 16 millionths of the scale: a point's reach (a millionth of its
// norm) seldom crosses into a second cell, and nodes of any sensible grid
// stand much farther apart than a cell is wide.
void PointHash::Reset(double scale) {
  const double s = std::isfinite(scale) ? std::max(scale, 1.0) : 1.0;
  limit_ = 2.0 * s;
  cell_ = 16e-6 * s;
  count_ = 0;
  entries_.clear();
  cells_.clear();
  far_.clear();
}

PointHash::CellKey PointHash::KeyOf(const double p[3]) const {
  return {static_cast<int64_t>(std::floor(p[0] / cell_)), static_cast<int64_t>(std::floor(p[1] / cell_)),
          static_cast<int64_t>(std::floor(p[2] / cell_))};
}

void PointHash::Reserve(size_t count) {
  entries_.reserve(count);
  cells_.reserve(count);
}

void PointHash::Add(GridPoint* gp) {
  const double n = Norm(gp->position);
  if (!std::isfinite(n)) return;
  const uint32_t rank = count_++;
  if (n > limit_) {
    far_.push_back(Entry{gp, rank, kNone});
    return;
  }
  const auto [it, made] = cells_.try_emplace(KeyOf(gp->position), kNone);
  entries_.push_back(Entry{gp, rank, it->second});
  it->second = static_cast<uint32_t>(entries_.size() - 1);
}

void PointHash::Consider(const Entry& e, const double p[3], double pNorm, Choice choice, const Entry*& best) const {
  if (best && (choice == kFirstAdded ? e.rank > best->rank : e.rank < best->rank)) return;
  const double* g = e.gp->position;
  double m = std::max(pNorm, Norm(g));
  if (m == 0.0) m = 1.0;
  const double l1 = std::fabs(g[0] - p[0]) + std::fabs(g[1] - p[1]) + std::fabs(g[2] - p[2]);
  if (l1 < 1e-6 * m) best = &e;
}

GridPoint* PointHash::Find(const double p[3], Choice choice) const {
  if (count_ == 0) return nullptr;
  const double pn = Norm(p);
  if (!std::isfinite(pn)) return nullptr;
  const Entry* best = nullptr;
  // A grid-point within reach has about the norm of p, so beyond this norm
  // none kept in a cell does.
  if (pn <= 1.5 * limit_ && !cells_.empty()) {
    // The L1 reach, and so the distance along each axis, of any grid-point
    // that p reaches: G's norm is at most |p| / (1 - 1e-6), or 1 for points
    // near the origin.
    const double reach = 1.000002e-6 * std::max(pn, 1.0);
    const double low[3] = {p[0] - reach, p[1] - reach, p[2] - reach};
    const double high[3] = {p[0] + reach, p[1] + reach, p[2] + reach};
    const CellKey from = KeyOf(low), to = KeyOf(high);
    for (int64_t x = from.x; x <= to.x; ++x)
      for (int64_t y = from.y; y <= to.y; ++y)
        for (int64_t z = from.z; z <= to.z; ++z) {
          auto it = cells_.find(CellKey{x, y, z});
          if (it == cells_.end()) continue;
          for (uint32_t e = it->second; e != kNone; e = entries_[e].next) Consider(entries_[e], p, pn, choice, best);
        }
  }
  for (const Entry& e : far_) Consider(e, p, pn, choice, best);
  return best ? best->gp : nullptr;
}

// ---------------------------------------------------------------------------
// Faces by their grid-points

size_t FaceKeyHash::operator()(const FaceKey& k) const {
  uint64_t h = 0xcbf29ce484222325ull;
  for (const GridPoint* gp : k) {
    h ^= static_cast<uint64_t>(reinterpret_cast<uintptr_t>(gp) >> 4);
    h *= 0x100000001B3ull;
    h ^= h >> 29;
  }
  return static_cast<size_t>(h);
}

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

bool KeyOfZoneFace(const Zone& zone, int face, FaceKey& key) {
  GridPoint* corners[4];
  const int count = zone.FaceGpCount(face);
  for (int c = 0; c < count; ++c) corners[c] = zone.GetFaceGp(face, c);
  return MakeFaceKey(corners, count, key);
}

// ---------------------------------------------------------------------------
// The boundary of the existing grid

void GenerationSet::CollectBoundary(const std::vector<Zone*>* zones) {
  std::vector<Zone*> listed;
  if (zones) {
    listed = *zones;
  } else {
    listed.reserve(ZoneList().Count());
    for (Zone* z : ZoneList()) listed.push_back(z);
  }
  std::vector<GridPoint*> met;
  std::unordered_set<const GridPoint*> seen;
  for (auto it = listed.rbegin(); it != listed.rend(); ++it) {
    Zone* z = *it;
    for (int f = kZoneFaces - 1; f >= 0; --f) {
      if (z->Neighbour(f)) continue;
      for (int c = 0; c < 4; ++c) {
        GridPoint* gp = z->GetFaceGp(f, c);
        if (gp && seen.insert(gp).second) met.push_back(gp);
      }
      FaceKey key;
      if (!KeyOfZoneFace(*z, f, key)) continue;
      const auto record = static_cast<uint32_t>(records_.size());
      records_.push_back(FaceRecord{z, f});
      next_.push_back(kNoRecord);
      const auto [chain, made] = chains_.try_emplace(key, Chain{record, record});
      if (!made) {
        next_[chain->second.last] = record;
        chain->second.last = record;
      }
    }
  }
  double largest = 0.0;
  for (const GridPoint* gp : met) {
    const double n = Norm(gp->position);
    if (std::isfinite(n)) largest = std::max(largest, n);
  }
  boundary_.Reset(largest);
  for (GridPoint* gp : met) boundary_.Add(gp);
}

const FaceRecord* GenerationSet::FindMatchingFreeFace(const FaceKey& key) const {
  auto it = chains_.find(key);
  return it == chains_.end() ? nullptr : &records_[it->second.first];
}

const FaceRecord* GenerationSet::FindUnjoinedFreeFace(const FaceKey& key) const {
  auto it = chains_.find(key);
  if (it == chains_.end()) return nullptr;
  for (uint32_t r = it->second.first; r != kNoRecord; r = next_[r])
    if (!records_[r].zone->Neighbour(records_[r].face)) return &records_[r];
  return nullptr;
}
