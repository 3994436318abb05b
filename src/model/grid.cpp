// The grid's indexes (id maps, a hashed cell grid over the grid-points and
// the map of unjoined faces) and the functions that create, join, find and
// delete grid objects through them.
#include "model/grid.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <unordered_map>
#include <vector>

#include "base/except.h"
#include "base/message.h"
#include "cmodels/constitutive_model.h"
#include "model/calc_module.h"
#include "model/grid_services.h"
#include "model/model.h"
#include "model/model_settings.h"
#include "model/services.h"

namespace {

double Distance(const double a[3], const double b[3]) {
  double dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// Better of two candidates at equal distance: the earlier one in the list.
bool Better(double d, const GridPoint* gp, double bestD, const GridPoint* best) {
  if (!best) return true;
  if (d != bestD) return d < bestD;
  return gp->ListSequence() < best->ListSequence();
}

// ---------------------------------------------------------------------------
// A cell grid over the grid-points, hashed by cell. The cell size follows
// the density of the points: the grid is laid out again whenever the number
// of points has doubled.

struct CellKey {
  int64_t x, y, z;
  bool operator==(const CellKey& o) const { return x == o.x && y == o.y && z == o.z; }
};

struct CellHash {
  size_t operator()(const CellKey& k) const {
    uint64_t h = static_cast<uint64_t>(k.x) * 0x9E3779B97F4A7C15ull;
    h ^= static_cast<uint64_t>(k.y) * 0xC2B2AE3D27D4EB4Full + (h << 6) + (h >> 2);
    h ^= static_cast<uint64_t>(k.z) * 0x165667B19E3779F9ull + (h << 6) + (h >> 2);
    return static_cast<size_t>(h);
  }
};

class PointIndex {
 public:
  void Clear() {
    cells_.clear();
    count_ = 0;
    laidOutAt_ = 0;
    cell_ = 1.0;
    for (int i = 0; i < 3; ++i) {
      min_[i] = DBL_MAX;
      max_[i] = -DBL_MAX;
    }
  }

  // Every grid-point of the list.
  void Build() {
    Clear();
    for (GridPoint* gp : GridPointList()) {
      Extend(gp->position);
      ++count_;
    }
    if (count_) LayOut();
  }

  // A grid-point just appended to the list.
  void Insert(GridPoint* gp) {
    Extend(gp->position);
    ++count_;
    if (count_ >= 2 * laidOutAt_) {
      LayOut();
      return;
    }
    cells_[KeyOf(gp->position)].push_back(gp);
  }

  // Whether n more points can be entered without laying the grid out anew.
  bool Absorbs(uint32_t n) const { return laidOutAt_ > 0 && count_ + n < 2 * laidOutAt_; }

  // Grid-points appended to the list together, from `first` to the end of
  // the list, entered one by one (see Absorbs).
  void InsertRun(GridPoint* first) {
    for (GridPoint* gp = first; gp; gp = ModelList<GridPoint>::Next(gp)) {
      Extend(gp->position);
      ++count_;
      cells_[KeyOf(gp->position)].push_back(gp);
    }
  }

  void Extend(const double p[3]) {
    for (int i = 0; i < 3; ++i) {
      min_[i] = std::min(min_[i], p[i]);
      max_[i] = std::max(max_[i], p[i]);
    }
  }

  // False when the point is not in the cell of its position: it moved
  // since it was entered, and the caller must lay the index out anew.
  bool Erase(GridPoint* gp) {
    auto it = cells_.find(KeyOf(gp->position));
    if (it == cells_.end()) return false;
    auto& v = it->second;
    auto pos = std::find(v.begin(), v.end(), gp);
    if (pos == v.end()) return false;
    v.erase(pos);
    if (v.empty()) cells_.erase(it);
    --count_;
    return true;
  }

  // The nearest point whose flags share no bit with the mask.
  GridPoint* Nearest(const double p[3], uint32_t mask) const {
    if (cells_.empty()) return nullptr;
    const CellKey q = KeyOf(p), lo = KeyOf(min_), hi = KeyOf(max_);
    // Rings of cells around the query's cell, from the first that reaches
    // the occupied box to the last that still lies in it.
    int64_t first = std::max({lo.x - q.x, q.x - hi.x, lo.y - q.y, q.y - hi.y, lo.z - q.z, q.z - hi.z, int64_t{0}});
    int64_t last = std::max({hi.x - q.x, q.x - lo.x, hi.y - q.y, q.y - lo.y, hi.z - q.z, q.z - lo.z, int64_t{0}});
    GridPoint* best = nullptr;
    double bestD = 0.0;
    auto consider = [&](const std::vector<GridPoint*>& points) {
      for (GridPoint* gp : points) {
        if (gp->flags & mask) continue;
        double d = Distance(p, gp->position);
        if (Better(d, gp, bestD, best)) {
          best = gp;
          bestD = d;
        }
      }
    };
    for (int64_t r = first; r <= last; ++r) {
      // Rings through a sparse box (a point far out) would look up more
      // cells than are occupied: every occupied cell is then read instead.
      if (BoxCells(q, r, lo, hi) > 2.0 * static_cast<double>(cells_.size()) + 27.0) {
        best = nullptr;
        for (const auto& cell : cells_) consider(cell.second);
        return best;
      }
      VisitRing(q, r, lo, hi, consider);
      // Points in later rings lie at least r cells away.
      if (best && bestD < static_cast<double>(r) * cell_) break;
    }
    return best;
  }

  // The nearest point closer than the radius.
  GridPoint* NearestWithin(const double p[3], double radius) const {
    double a[3] = {p[0] - radius, p[1] - radius, p[2] - radius};
    double b[3] = {p[0] + radius, p[1] + radius, p[2] + radius};
    CellKey lo = KeyOf(a), hi = KeyOf(b);
    double span = static_cast<double>(hi.x - lo.x + 1) * static_cast<double>(hi.y - lo.y + 1) *
                  static_cast<double>(hi.z - lo.z + 1);
    GridPoint* best = nullptr;
    double bestD = 0.0;
    auto consider = [&](GridPoint* gp) {
      double d = Distance(p, gp->position);
      if (d < radius && Better(d, gp, bestD, best)) {
        best = gp;
        bestD = d;
      }
    };
    if (span > static_cast<double>(cells_.size())) {
      for (const auto& cell : cells_)
        for (GridPoint* gp : cell.second) consider(gp);
      return best;
    }
    for (int64_t x = lo.x; x <= hi.x; ++x)
      for (int64_t y = lo.y; y <= hi.y; ++y)
        for (int64_t z = lo.z; z <= hi.z; ++z) {
          auto it = cells_.find({x, y, z});
          if (it != cells_.end())
            for (GridPoint* gp : it->second) consider(gp);
        }
    return best;
  }

 private:
  CellKey KeyOf(const double p[3]) const {
    auto axis = [this](double v) {
      double c = std::floor(v / cell_);
      // Far-off points share the outermost cells; so does a coordinate that is no number.
      if (!(c > -1e15)) c = -1e15;
      if (c > 1e15) c = 1e15;
      return static_cast<int64_t>(c);
    };
    return {axis(p[0]), axis(p[1]), axis(p[2])};
  }

  // About two points per cell over the extent that the points span.
  void LayOut() {
    double extent[3];
    double largest = 0.0;
    for (int i = 0; i < 3; ++i) {
      extent[i] = max_[i] - min_[i];
      largest = std::max(largest, extent[i]);
    }
    double cell = 1.0;
    if (largest > 0.0 && std::isfinite(largest)) {
      double measure = 1.0;
      int dims = 0;
      for (double e : extent) {
        if (e > 1e-9 * largest) {
          measure *= e;
          ++dims;
        }
      }
      cell = std::pow(2.0 * measure / static_cast<double>(count_), 1.0 / dims);
      cell = std::max(cell, 1e-9 * largest);
    } else {
      double scale = std::max({std::fabs(min_[0]), std::fabs(min_[1]), std::fabs(min_[2])});
      if (scale > 0.0 && std::isfinite(scale)) cell = scale;
    }
    cell_ = cell;
    laidOutAt_ = count_;
    cells_.clear();
    for (GridPoint* gp : GridPointList()) cells_[KeyOf(gp->position)].push_back(gp);
  }

  // The number of cells of the indexed box within Chebyshev distance r of q.
  static double BoxCells(const CellKey& q, int64_t r, const CellKey& lo, const CellKey& hi) {
    auto span = [r](int64_t c, int64_t l, int64_t h) {
      const int64_t a = std::max(c - r, l), b = std::min(c + r, h);
      return b < a ? 0.0 : static_cast<double>(b - a) + 1.0;
    };
    return span(q.x, lo.x, hi.x) * span(q.y, lo.y, hi.y) * span(q.z, lo.z, hi.z);
  }

  // Calls the visitor for the occupied cells at Chebyshev distance r from q.
  template <class Visitor>
  void VisitRing(const CellKey& q, int64_t r, const CellKey& lo, const CellKey& hi, Visitor&& visit) const {
    auto visitCell = [&](int64_t x, int64_t y, int64_t z) {
      auto it = cells_.find({x, y, z});
      if (it != cells_.end()) visit(it->second);
    };
    auto clampLo = [](int64_t a, int64_t b) { return std::max(a, b); };
    auto clampHi = [](int64_t a, int64_t b) { return std::min(a, b); };
    if (r == 0) {
      visitCell(q.x, q.y, q.z);
      return;
    }
    // The two x slabs, then the y slabs inside them, then the z caps.
    for (int64_t x : {q.x - r, q.x + r}) {
      if (x < lo.x || x > hi.x) continue;
      for (int64_t y = clampLo(q.y - r, lo.y); y <= clampHi(q.y + r, hi.y); ++y)
        for (int64_t z = clampLo(q.z - r, lo.z); z <= clampHi(q.z + r, hi.z); ++z) visitCell(x, y, z);
    }
    for (int64_t y : {q.y - r, q.y + r}) {
      if (y < lo.y || y > hi.y) continue;
      for (int64_t x = clampLo(q.x - r + 1, lo.x); x <= clampHi(q.x + r - 1, hi.x); ++x)
        for (int64_t z = clampLo(q.z - r, lo.z); z <= clampHi(q.z + r, hi.z); ++z) visitCell(x, y, z);
    }
    for (int64_t z : {q.z - r, q.z + r}) {
      if (z < lo.z || z > hi.z) continue;
      for (int64_t x = clampLo(q.x - r + 1, lo.x); x <= clampHi(q.x + r - 1, hi.x); ++x)
        for (int64_t y = clampLo(q.y - r + 1, lo.y); y <= clampHi(q.y + r - 1, hi.y); ++y) visitCell(x, y, z);
    }
  }

  std::unordered_map<CellKey, std::vector<GridPoint*>, CellHash> cells_;
  uint32_t count_ = 0;
  uint32_t laidOutAt_ = 0;
  double cell_ = 1.0;
  double min_[3] = {DBL_MAX, DBL_MAX, DBL_MAX};
  double max_[3] = {-DBL_MAX, -DBL_MAX, -DBL_MAX};
};

// ---------------------------------------------------------------------------
// The faces of listed zones that have no neighbour yet, by their grid-points.

using FaceKey = std::array<uintptr_t, 4>;

struct FaceKeyHash {
  size_t operator()(const FaceKey& k) const {
    uint64_t h = 0;
    for (uintptr_t v : k) h = (h ^ static_cast<uint64_t>(v)) * 0x100000001B3ull + (h >> 29);
    return static_cast<size_t>(h);
  }
};

struct FaceRef {
  Zone* zone;
  uint8_t face;
};

// The distinct grid-points of a face, sorted; 0 fills a triangle's fourth place.
FaceKey KeyOfFace(const Zone& zone, int face) {
  FaceKey k{0, 0, 0, 0};
  const int n = zone.FaceGpCount(face);
  for (int c = 0; c < n && c < 4; ++c) {
    // Insertion into the sorted front part.
    uintptr_t v = reinterpret_cast<uintptr_t>(zone.GetFaceGp(face, c));
    int at = c;
    while (at > 0 && k[static_cast<size_t>(at - 1)] > v) {
      k[static_cast<size_t>(at)] = k[static_cast<size_t>(at - 1)];
      --at;
    }
    k[static_cast<size_t>(at)] = v;
  }
  return k;
}

// Faces that can have a neighbour: three or more distinct grid-points.
bool Joinable(const Zone& zone, int face) { return zone.FaceGpCount(face) >= 3; }

class FaceMap {
 public:
  void Clear() { faces_.clear(); }

  // Keeps the entries of one key in list order (zone, then face).
  void Add(Zone* zone, int face) {
    auto& v = faces_[KeyOfFace(*zone, face)];
    FaceRef ref{zone, static_cast<uint8_t>(face)};
    auto at = std::upper_bound(v.begin(), v.end(), ref, [](const FaceRef& a, const FaceRef& b) {
      if (a.zone->ListSequence() != b.zone->ListSequence()) return a.zone->ListSequence() < b.zone->ListSequence();
      return a.face < b.face;
    });
    v.insert(at, ref);
  }

  void Remove(Zone* zone, int face) {
    auto it = faces_.find(KeyOfFace(*zone, face));
    if (it == faces_.end()) return;
    auto& v = it->second;
    for (auto p = v.begin(); p != v.end(); ++p) {
      if (p->zone == zone && p->face == face) {
        v.erase(p);
        break;
      }
    }
    if (v.empty()) faces_.erase(it);
  }

  // Takes the first unjoined face with these grid-points, other than the zone's own.
  bool Take(const FaceKey& key, const Zone* self, FaceRef* out) {
    auto it = faces_.find(key);
    if (it == faces_.end()) return false;
    auto& v = it->second;
    for (auto p = v.begin(); p != v.end(); ++p) {
      if (p->zone == self) continue;
      *out = *p;
      v.erase(p);
      if (v.empty()) faces_.erase(it);
      return true;
    }
    return false;
  }

 private:
  std::unordered_map<FaceKey, std::vector<FaceRef>, FaceKeyHash> faces_;
};

// ---------------------------------------------------------------------------
// Objects by id. Most ids are the serial ones, dense from 1: they index a
// table; an id far beyond the others (given by the user) goes to a hash map.
// The first object entered under an id keeps it.

template <class T>
class IdMap {
 public:
  void Clear() {
    table_ = Table();
    far_.clear();
  }
  void Reserve(size_t ids) {
    if (ids < kMostReserved) table_.reserve(ids + 1);
  }
  void Add(uint32_t id, T* object) {
    if (id >= table_.size() && id <= 2 * table_.size() + kSlack) Widen(id);
    if (id < table_.size()) {
      if (!table_[id]) table_[id] = object;
    } else {
      far_.emplace(id, object);
    }
  }
  void Remove(uint32_t id, const T* object) {
    if (id < table_.size()) {
      if (table_[id] == object) table_[id] = nullptr;
      return;
    }
    auto it = far_.find(id);
    if (it != far_.end() && it->second == object) far_.erase(it);
  }
  T* Find(uint32_t id) const {
    if (id < table_.size()) return table_[id];
    auto it = far_.find(id);
    return it == far_.end() ? nullptr : it->second;
  }

 private:
  static constexpr size_t kSlack = 1024;
  static constexpr size_t kMostReserved = size_t{1} << 28;
  using Table = std::vector<T*, LargeArrayAllocator<T*>>;

  // The table grows to hold the id, doubling (within the room reserved, when
  // there is some); far entries that it now covers move in.
  void Widen(uint32_t id) {
    size_t size = 2 * table_.size();
    if (table_.capacity() > table_.size()) size = std::min(size, table_.capacity());
    table_.resize(std::max(size, size_t{id} + 1), nullptr);
    for (auto it = far_.begin(); it != far_.end();) {
      if (it->first < table_.size()) {
        table_[it->first] = it->second;
        it = far_.erase(it);
      } else {
        ++it;
      }
    }
  }

  Table table_;
  std::unordered_map<uint32_t, T*> far_;
};

// ---------------------------------------------------------------------------
// The indexes together; rebuilt from the lists when they no longer match.

class GridIndex {
 public:
  void Invalidate() {
    valid_ = false;
    ++stamp_;
  }
  uint32_t Stamp() const { return stamp_; }
  // Emptying the cells once is enough for a run of moves.
  void PointsMoved() {
    if (pointsStale_)
      ++stamp_;
    else
      StalePoints();
  }

  void Ensure() {
    if (valid_ && gpCount_ == GridPointList().Count() && zoneCount_ == ZoneList().Count()) return;
    Rebuild();
  }

  void AddGridPoint(GridPoint* gp) {
    Ensure();
    GridPointList().Append(gp);
    gp->SetListSequence(++gpSequence_);
    gpById_.Add(gp->id, gp);
    if (!pointsStale_) points_.Insert(gp);
    ++gpCount_;
  }

  void RemoveGridPoint(GridPoint* gp) {
    Ensure();
    gpById_.Remove(gp->id, gp);
    // A grid-point that moved since it was entered is not where the index
    // looks for it: no pointer to it may stay behind.
    if (!pointsStale_ && !points_.Erase(gp)) StalePoints();
    GridPointList().Remove(gp);
    --gpCount_;
  }

  // Joins, appends and files the faces that stay unjoined.
  void AddZone(Zone* zone, bool join) {
    Ensure();
    if (join) Join(*zone);
    ZoneList().Append(zone);
    zone->SetListSequence(++zoneSequence_);
    zoneById_.Add(zone->Id(), zone);
    ++zoneCount_;
    for (int f = 0; f < kZoneFaces; ++f)
      if (Joinable(*zone, f) && !zone->Neighbour(f)) faces_.Add(zone, f);
  }

  void Join(Zone& zone) {
    Ensure();
    for (int f = 0; f < kZoneFaces; ++f) {
      if (!Joinable(zone, f) || zone.Neighbour(f)) continue;
      FaceRef other{};
      if (!faces_.Take(KeyOfFace(zone, f), &zone, &other)) continue;
      other.zone->SetNeighbour(other.face, &zone);
      zone.SetNeighbour(f, other.zone);
      if (zone.InList()) faces_.Remove(&zone, f);
    }
  }

  void RemoveZone(Zone* zone) {
    Ensure();
    for (int f = 0; f < kZoneFaces; ++f) {
      Zone* n = zone->Neighbour(f);
      if (!n) {
        if (Joinable(*zone, f)) faces_.Remove(zone, f);
        continue;
      }
      for (int g = 0; g < kZoneFaces; ++g) {
        if (n->Neighbour(g) != zone) continue;
        n->SetNeighbour(g, nullptr);
        if (n != zone && Joinable(*n, g)) faces_.Add(n, g);
      }
      zone->SetNeighbour(f, nullptr);
    }
    zoneById_.Remove(zone->Id(), zone);
    ZoneList().Remove(zone);
    --zoneCount_;
  }

  // Bulk creation: the id maps follow every object at once; the spatial
  // index and the face map take the batch's objects when it ends.
  void BeginBatch(size_t gps, size_t zones) {
    Ensure();
    if (batchDepth_++ > 0) return;
    gpById_.Reserve(GridPointIdCounter() + gps);
    zoneById_.Reserve(ZoneIdCounter() + zones);
    MarkBatchStart();
  }

  GridPoint* BatchGridPoint(const double position[3]) {
    Ensure();
    GridPoint* gp = new GridPoint();
    for (int i = 0; i < 3; ++i) gp->position[i] = position[i];
    GridPointList().Append(gp);
    gp->SetListSequence(++gpSequence_);
    gpById_.Add(gp->id, gp);
    ++gpCount_;
    return gp;
  }

  Zone* BatchZone() {
    Ensure();
    Zone* zone = new Zone();
    ZoneList().Append(zone);
    zone->SetListSequence(++zoneSequence_);
    zoneById_.Add(zone->Id(), zone);
    ++zoneCount_;
    return zone;
  }

  void Link(Zone* a, int faceA, Zone* b, int faceB) {
    Ensure();
    a->SetNeighbour(faceA, b);
    b->SetNeighbour(faceB, a);
    // The face map holds the unjoined faces of zones made before the batch.
    if (Indexed(a)) faces_.Remove(a, faceA);
    if (Indexed(b)) faces_.Remove(b, faceB);
  }

  void EndBatch() {
    if (batchDepth_ == 0 || --batchDepth_ > 0) return;
    if (!valid_ || gpCount_ != GridPointList().Count() || zoneCount_ != ZoneList().Count()) {
      valid_ = false;
      return;
    }
    // Many new grid-points: the spatial index is laid out when it is next used.
    GridPoint* firstGp = batchGpMark_ ? ModelList<GridPoint>::Next(batchGpMark_) : GridPointList().Head();
    if (firstGp && !pointsStale_) {
      if (points_.Absorbs(gpCount_ - batchGpCount_))
        points_.InsertRun(firstGp);
      else
        StalePoints();
    }
    Zone* firstZone = batchZoneMark_ ? ModelList<Zone>::Next(batchZoneMark_) : ZoneList().Head();
    for (Zone* z = firstZone; z; z = ModelList<Zone>::Next(z))
      for (int f = 0; f < kZoneFaces; ++f)
        if (Joinable(*z, f) && !z->Neighbour(f)) faces_.Add(z, f);
  }

  GridPoint* GpById(uint32_t id) {
    Ensure();
    return gpById_.Find(id);
  }

  Zone* ZoneById(uint32_t id) {
    Ensure();
    return zoneById_.Find(id);
  }

  // The calculation step moves the grid-points in large-strain mode: after
  // any step the index is laid out again from the current positions.
  PointIndex& Points() {
    Ensure();
    const int32_t step = Settings().totalCycles;
    if (pointsStale_ || step != pointsStep_) {
      points_.Build();
      pointsStale_ = false;
      pointsStep_ = step;
    }
    return points_;
  }

 private:
  // The first object of an id wins, as a walk in list order would find it.
  void Rebuild() {
    valid_ = true;
    gpById_.Clear();
    zoneById_.Clear();
    faces_.Clear();
    gpSequence_ = zoneSequence_ = 0;
    gpCount_ = zoneCount_ = 0;
    for (GridPoint* gp : GridPointList()) {
      gp->SetListSequence(++gpSequence_);
      gpById_.Add(gp->id, gp);
      ++gpCount_;
    }
    StalePoints();
    for (Zone* z : ZoneList()) {
      z->SetListSequence(++zoneSequence_);
      zoneById_.Add(z->Id(), z);
      ++zoneCount_;
      for (int f = 0; f < kZoneFaces; ++f)
        if (Joinable(*z, f) && !z->Neighbour(f)) faces_.Add(z, f);
    }
    // A batch goes on from what the rebuild has taken in.
    if (batchDepth_ > 0) MarkBatchStart();
  }

  // The spatial index is built from the list at its next use.
  void StalePoints() {
    points_.Clear();
    pointsStale_ = true;
    ++stamp_;
  }

  void MarkBatchStart() {
    batchGpCount_ = gpCount_;
    batchGpMark_ = GridPointList().Tail();
    batchZoneMark_ = ZoneList().Tail();
    batchZoneSequence_ = zoneSequence_;
  }

  bool Indexed(const Zone* zone) const { return batchDepth_ == 0 || zone->ListSequence() <= batchZoneSequence_; }

  bool valid_ = false;
  bool pointsStale_ = true;
  uint32_t stamp_ = 0;      // counts the changes that may have moved grid objects
  int32_t pointsStep_ = 0;  // the step counter when the spatial index was laid out
  int batchDepth_ = 0;
  uint32_t batchGpCount_ = 0;
  GridPoint* batchGpMark_ = nullptr;  // the last grid-point before the batch
  Zone* batchZoneMark_ = nullptr;     // the last zone before the batch
  uint32_t batchZoneSequence_ = 0;
  uint32_t gpCount_ = 0;
  uint32_t zoneCount_ = 0;
  uint32_t gpSequence_ = 0;
  uint32_t zoneSequence_ = 0;
  IdMap<GridPoint> gpById_;
  IdMap<Zone> zoneById_;
  PointIndex points_;
  FaceMap faces_;
};

GridIndex& Index() { return CurrentModel().Part<GridIndex>(); }

String IdText(uint32_t id) { return UIntToString(id); }

}  // namespace

// ---------------------------------------------------------------------------
// Creation

GridPoint* CreateGridPoint(const double position[3], uint32_t id) {
  if (id && Index().GpById(id)) throw QJExcept(MessageText("Gp with ID %s already exists", IdText(id)));
  const uint32_t counter = GridPointIdCounter();
  GridPoint* gp = nullptr;
  try {
    gp = id ? new GridPoint(id) : new GridPoint();
  } catch (...) {
    GridPointIdCounter() = counter;  // a grid-point that could not be made takes no id
    throw;
  }
  for (int i = 0; i < 3; ++i) gp->position[i] = position[i];
  Index().AddGridPoint(gp);
  return gp;
}

Zone* CreateZone(int type, GridPoint* const gps[], uint32_t id, bool join) {
  if (type < 0 || type >= kZoneTypes) throw QJExcept("Bad zone type");
  if (id && Index().ZoneById(id)) throw QJExcept(MessageText("Zone ID %s already exists", IdText(id)));
  const int n = ZoneGpCount(type);
  for (int i = 0; i < n; ++i)
    if (!gps[i]) throw QJExcept("Gridpoint not found");
  const uint32_t counter = ZoneIdCounter();
  Zone* zone = nullptr;
  try {
    zone = id ? new Zone(id) : new Zone();
  } catch (...) {
    ZoneIdCounter() = counter;  // nor does a zone that could not be made
    throw;
  }
  zone->SetType(type);
  for (int i = 0; i < n; ++i) zone->SetGp(i, gps[i]);
  zone->FillRepeatedSlots();
  const double volume = zone->Volume();
  if (!(volume > 0.0)) {
    // A refused zone leaves no trace, not even a used id.
    const uint32_t zoneId = zone->Id();
    delete zone;
    ZoneIdCounter() = counter;
    throw QJExcept(MessageText("Illegal geometry in zone %s", IdText(zoneId)));
  }
  Index().AddZone(zone, join);
  return zone;
}

void JoinNeighbours(Zone& zone) { Index().Join(zone); }

GridBatch::GridBatch(size_t expectedGridPoints, size_t expectedZones) {
  Index().BeginBatch(expectedGridPoints, expectedZones);
}

GridBatch::~GridBatch() {
  try {
    Index().EndBatch();
  } catch (...) {
    // Indexes that could not take the batch are rebuilt at their next use.
    Index().Invalidate();
  }
}

GridPoint* GridBatch::NewGridPoint(const double position[3]) { return Index().BatchGridPoint(position); }
Zone* GridBatch::NewZone() { return Index().BatchZone(); }
void GridBatch::Link(Zone* a, int faceA, Zone* b, int faceB) { Index().Link(a, faceA, b, faceB); }

void DeleteZone(Zone* zone) {
  if (!zone) return;
  if (GridHooks().objectDeleted) GridHooks().objectDeleted(zone);
  RemoveZoneFaces(ZoneFaceListHead(), zone);
  if (zone->InList()) {
    Index().RemoveZone(zone);
  } else {
    for (int f = 0; f < kZoneFaces; ++f) {
      Zone* n = zone->Neighbour(f);
      for (int g = 0; n && g < kZoneFaces; ++g)
        if (n->Neighbour(g) == zone) n->SetNeighbour(g, nullptr);
    }
    GridIndexesChanged();
  }
  delete zone;
}

void DeleteGridPoint(GridPoint* gp) {
  if (!gp) return;
  if (GridHooks().objectDeleted) GridHooks().objectDeleted(gp);
  if (gp->InList()) Index().RemoveGridPoint(gp);
  delete gp;
}

// ---------------------------------------------------------------------------
// Look-ups

GridPoint* FindGridpoint(uint32_t id) { return Index().GpById(id); }
Zone* FindZone(uint32_t id) { return Index().ZoneById(id); }
bool GridPointIdInUse(uint32_t id) { return Index().GpById(id) != nullptr; }
bool ZoneIdInUse(uint32_t id) { return Index().ZoneById(id) != nullptr; }

GridPoint* NearestGridpointAny(const double position[3]) { return Index().Points().Nearest(position, 0); }

GridPoint* NearestGridpoint(const double position[3], uint32_t mask) {
  return Index().Points().Nearest(position, mask);
}

GridPoint* NearestGridpointWithin(const double position[3], double radius) {
  return Index().Points().NearestWithin(position, radius);
}

namespace {
double LargestAbs(const double p[3]) { return std::max({std::fabs(p[0]), std::fabs(p[1]), std::fabs(p[2])}); }
}  // namespace

// Only a grid-point within twice the largest tolerance can be close enough,
// so the search looks no further than that.
GridPoint* CoincidentGridpoint(const double position[3]) {
  const double m = LargestAbs(position);
  const double reach = 2e-6 * std::max(m, 1.0) * (1.0 + 1e-9);
  GridPoint* gp = NearestGridpointWithin(position, reach);
  if (!gp) return nullptr;
  double largest = std::max(m, LargestAbs(gp->position));
  double tolerance = largest > 0.0 ? 1e-6 * largest : 1e-6;
  return Distance(position, gp->position) < tolerance ? gp : nullptr;
}

GridPoint* GetGridPointByIndex(uint32_t index) { return static_cast<GridPoint*>(GridPointList().GetByIndex(index)); }

Zone* GetZoneByIndex(uint32_t index) { return static_cast<Zone*>(ZoneList().GetByIndex(index)); }

bool IsGridPoint(const void* object) {
  for (GridPoint* gp : GridPointList())
    if (gp == object) return true;
  return false;
}

bool IsZone(const void* object) {
  for (Zone* z : ZoneList())
    if (z == object) return true;
  return false;
}

// ---------------------------------------------------------------------------
// Housekeeping

void GridIndexesChanged() { Index().Invalidate(); }
void GridPointsMoved() { Index().PointsMoved(); }
uint32_t GridGeometryStamp() { return Index().Stamp(); }

void ClearGrid() {
  GroupList().Clear();
  // The apply and attach lists are emptied first and own their members.
  for (GridPoint* gp : GridPointList()) {
    gp->apply = nullptr;
    gp->attach = nullptr;
  }
  GridPointList().Clear();
  GridPointIdCounter() = 0;
  ZoneList().Clear();
  ZoneIdCounter() = 0;
  Index().Invalidate();
}
