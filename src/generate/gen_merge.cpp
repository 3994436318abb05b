// GENERATE MERGE: boundary grid-points closer than a tolerance become one,
// free faces that then hold the same grid-points are joined, and grid-points
// that no zone uses any more are deleted. FINDTOL reports the shortest edge
// of the free faces, above which a tolerance would collapse zones.
//
// The grid-points are found through a hash of cells at least as wide as the
// tolerance, the zones of each grid-point through a table made once, and the
// faces to join through their sorted grid-points, so a merge takes time in
// the number of boundary grid-points, not its square.
#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <vector>

#include "base/command.h"
#include "base/except.h"
#include "base/message.h"
#include "base/range.h"
#include "generate/generation_set.h"
#include "generate/grid_edit.h"
#include "model/gp_zone_index.h"
#include "model/grid.h"
#include "model/grid_services.h"
#include "model/model.h"
#include "model/model_interpreter.h"

namespace {

void Say(CommandType& interp, const String& text) {
  interp.flush();
  interp.ConsoleStream::Write(text.c_str());
}

bool IsFreeFace(const Zone& z, int f) { return !z.Neighbour(f) && z.FaceGpCount(f) >= 3; }

double Distance2(const double a[3], const double b[3]) {
  const double dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
  return dx * dx + dy * dy + dz * dz;
}

// Whether a grid-point lies in the range, asked once per grid-point.
class RangeMarks {
 public:
  explicit RangeMarks(const Range& range) : range_(range) {}
  bool In(GridPoint* gp) {
    auto [it, made] = marks_.try_emplace(gp, false);
    if (made) it->second = range_.IsIn(gp);
    return it->second;
  }

 private:
  const Range& range_;
  std::unordered_map<const GridPoint*, bool> marks_;
};

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

class GridPointMerge {
 public:
  GridPointMerge(double tolerance, const Range& range, CommandType& interp)
      : tolerance_(tolerance), marks_(range), interp_(interp) {}

  void Run() {
    Say(interp_, "checking zone geometry before merging\n");
    CheckAllZones();
    Say(interp_, "zone geometry tests passed, commencing merge\n");
    ListFaces();
    ListGridPoints();
    FindPairs();
    ReplaceMerged();  // may refuse the merge, changing nothing
    Say(interp_, UIntToString(merged_) + " gridpoints merged\n");
    JoinFaces();
    const uint32_t deleted = DeleteOrphans();
    GridIndexesChanged();
    ClearGpZoneIndex();
    if (deleted) CurrentModel().Script().UpdateHistoriesActive();
    Say(interp_, UIntToString(removedFaces_) + " surface faces removed\n");
    if (merged_ == 0) return;
    ClearAllGroups();
    Say(interp_, "checking zone geometry\n");
    CheckAllZones();
    Say(interp_, "zone geometry tests passed, merge finished\n");
  }

 private:
  struct Face {
    Zone* zone;  // null once joined
    int face;
  };

  // The free faces with a grid-point in the range, in zone and face order.
  void ListFaces() {
    double edges = 0.0;
    uint64_t edgeCount = 0;
    for (Zone* z : ZoneList()) {
      for (int f = 0; f < kZoneFaces; ++f) {
        if (!IsFreeFace(*z, f)) continue;
        const int n = z->FaceGpCount(f);
        bool any = false;
        for (int c = 0; c < n && !any; ++c) any = marks_.In(z->GetFaceGp(f, c));
        if (!any) continue;
        faces_.push_back(Face{z, f});
        for (int c = 0; c < n; ++c) {
          edges += std::sqrt(Distance2(z->GetFaceGp(f, c)->position, z->GetFaceGp(f, (c + 1) % n)->position));
          ++edgeCount;
        }
      }
    }
    typicalEdge_ = edgeCount ? edges / static_cast<double>(edgeCount) : 0.0;
  }

  // The grid-points of those faces in the range, each once, in face order,
  // and for each the zones that hold it.
  void ListGridPoints() {
    for (const Face& face : faces_) {
      const int n = face.zone->FaceGpCount(face.face);
      for (int c = 0; c < n; ++c) {
        GridPoint* gp = face.zone->GetFaceGp(face.face, c);
        if (!marks_.In(gp)) continue;
        if (index_.try_emplace(gp, static_cast<uint32_t>(points_.size())).second) points_.push_back(gp);
      }
    }
    zonesOf_.resize(points_.size());
    for (Zone* z : ZoneList()) {
      for (int c = 0; c < kZoneSlots; ++c) {
        GridPoint* gp = z->Gp(c);
        bool earlier = false;
        for (int d = 0; d < c && !earlier; ++d) earlier = z->Gp(d) == gp;
        if (earlier) continue;
        auto it = index_.find(gp);
        if (it != index_.end()) zonesOf_[it->second].push_back(z);
      }
    }
  }

  CellKey KeyOf(const double p[3]) const {
    auto axis = [&](int i) {
      const double v = std::floor((p[i] - origin_[i]) / cell_);
      return static_cast<int64_t>(std::clamp(v, -4.0e18, 4.0e18));
    };
    return CellKey{axis(0), axis(1), axis(2)};
  }

  bool ShareAZone(uint32_t a, uint32_t b) const {
    for (const Zone* za : zonesOf_[a])
      for (const Zone* zb : zonesOf_[b])
        if (za == zb) return true;
    return false;
  }

  // Each listed grid-point in turn takes the grid-points within the
  // tolerance that share no zone with it; those leave the search.
  void FindPairs() {
    const size_t n = points_.size();
    if (n == 0) return;
    // Cells no narrower than the tolerance (so a search looks at the cells
    // next to its own at most), and about half an edge of the faces wide;
    // their walls a quarter cell off the lowest grid-point, so that the
    // grid-points of a regular grid do not lie on them.
    cell_ = std::max(tolerance_, 0.5 * typicalEdge_);
    if (!(cell_ > 0.0) || !std::isfinite(cell_)) cell_ = 1.0;
    for (int i = 0; i < 3; ++i) origin_[i] = std::numeric_limits<double>::infinity();
    for (const GridPoint* gp : points_)
      for (int i = 0; i < 3; ++i) origin_[i] = std::min(origin_[i], gp->position[i]);
    for (int i = 0; i < 3; ++i) origin_[i] -= 0.25 * cell_;
    std::unordered_map<CellKey, std::vector<uint32_t>, CellKeyHash> cells;
    cells.reserve(n);
    for (uint32_t k = 0; k < n; ++k) cells[KeyOf(points_[k]->position)].push_back(k);
    gone_.assign(n, false);
    target_.assign(n, kNone);
    merged_ = 0;
    const double t2 = tolerance_ * tolerance_;
    std::vector<uint32_t> found;
    for (uint32_t a = 0; a < n; ++a) {
      if (gone_[a]) continue;
      const double* p = points_[a]->position;
      const double low[3] = {p[0] - tolerance_, p[1] - tolerance_, p[2] - tolerance_};
      const double high[3] = {p[0] + tolerance_, p[1] + tolerance_, p[2] + tolerance_};
      const CellKey from = KeyOf(low), to = KeyOf(high);
      found.clear();
      for (int64_t x = from.x; x <= to.x; ++x)
        for (int64_t y = from.y; y <= to.y; ++y)
          for (int64_t z = from.z; z <= to.z; ++z) {
            auto it = cells.find(CellKey{x, y, z});
            if (it == cells.end()) continue;
            for (uint32_t b : it->second)
              if (b != a && !gone_[b] && Distance2(p, points_[b]->position) <= t2) found.push_back(b);
          }
      // Taken in list order, each against the zones A holds by then.
      std::sort(found.begin(), found.end());
      for (uint32_t b : found) {
        if (ShareAZone(a, b)) continue;
        target_[b] = a;
        gone_[b] = true;
        zonesOf_[a].insert(zonesOf_[a].end(), zonesOf_[b].begin(), zonesOf_[b].end());
        ++merged_;
      }
    }
  }

  // The grid-point that stands for a listed one after the merge.
  uint32_t Final(uint32_t k) const {
    while (target_[k] != kNone) k = target_[k];
    return k;
  }

  // Every zone slot holding a merged grid-point takes the one it went to.
  // The zones changed are tested with their new corners first: a merge that
  // would leave one of them degenerate or misnumbered is refused and the
  // grid is left as it was.
  void ReplaceMerged() {
    if (merged_ == 0) return;
    struct Changed {
      Zone* zone;
      GridPoint* old[kZoneSlots];
    };
    std::vector<Changed> changed;
    std::unordered_map<const Zone*, bool> seen;
    for (uint32_t b = 0; b < points_.size(); ++b) {
      if (target_[b] == kNone) continue;
      GridPoint* to = points_[Final(b)];
      for (Zone* z : zonesOf_[b]) {
        if (seen.try_emplace(z, true).second) {
          Changed c{z, {}};
          for (int s = 0; s < kZoneSlots; ++s) c.old[s] = z->Gp(s);
          changed.push_back(c);
        }
        for (int s = 0; s < kZoneSlots; ++s)
          if (z->Gp(s) == points_[b]) z->SetGp(s, to);
      }
    }
    String report;
    for (const Changed& c : changed) {
      if (c.zone->CheckDegenerate(report) || !c.zone->CheckNumbering(report)) {
        for (const Changed& undo : changed)
          for (int s = 0; s < kZoneSlots; ++s) undo.zone->SetGp(s, undo.old[s]);
        throw QJExcept(report);
      }
    }
    for (uint32_t k = 0; k < points_.size(); ++k)
      if (target_[k] != kNone) mergedInto_.push_back(points_[Final(k)]);
  }

  // The listed faces that hold a grid-point that took another are joined
  // with the first other such face (in list order) on the same grid-points.
  void JoinFaces() {
    if (mergedInto_.empty()) return;
    std::unordered_map<const GridPoint*, bool> took;
    for (const GridPoint* gp : mergedInto_) took.emplace(gp, true);
    std::vector<Face> kept;
    std::vector<FaceKey> keys;
    for (const Face& face : faces_) {
      const int n = face.zone->FaceGpCount(face.face);
      bool any = false;
      for (int c = 0; c < n && !any; ++c) any = took.count(face.zone->GetFaceGp(face.face, c)) != 0;
      FaceKey key;
      if (!any || !KeyOfZoneFace(*face.zone, face.face, key)) continue;
      kept.push_back(face);
      keys.push_back(key);
    }
    std::unordered_map<FaceKey, std::vector<uint32_t>, FaceKeyHash> byKey;
    byKey.reserve(kept.size());
    for (uint32_t k = 0; k < kept.size(); ++k) byKey[keys[k]].push_back(k);
    for (uint32_t k = 0; k < kept.size(); ++k) {
      Face& f = kept[k];
      if (!f.zone) continue;
      for (uint32_t other : byKey[keys[k]]) {
        Face& g = kept[other];
        if (other == k || !g.zone || g.zone->FaceGpCount(g.face) != f.zone->FaceGpCount(f.face)) continue;
        f.zone->SetNeighbour(f.face, g.zone);
        g.zone->SetNeighbour(g.face, f.zone);
        f.zone = g.zone = nullptr;
        removedFaces_ += 2;
        break;
      }
    }
  }

  // Grid-points that no zone holds leave the grid, and with them their
  // apply conditions and attach ties.
  uint32_t DeleteOrphans() {
    for (GridPoint* gp : GridPointList()) gp->flags |= NodeBase::kDeleteMark;
    for (Zone* z : ZoneList())
      for (int s = 0; s < kZoneSlots; ++s)
        if (GridPoint* gp = z->Gp(s)) gp->flags &= ~NodeBase::kDeleteMark;
    uint32_t count = 0;
    for (GridPoint* gp : GridPointList())
      if (gp->flags & NodeBase::kDeleteMark) ++count;
    if (count == 0) return 0;
    ReleaseDeletedGridPoints();
    for (GridPoint* gp = GridPointList().Head(); gp;) {
      GridPoint* next = ModelList<GridPoint>::Next(gp);
      if (gp->flags & NodeBase::kDeleteMark) {
        GridPointList().Remove(gp);
        if (GridHooks().objectDeleted) GridHooks().objectDeleted(gp);
        delete gp;
      }
      gp = next;
    }
    return count;
  }

  static constexpr uint32_t kNone = 0xffffffffu;

  const double tolerance_;
  RangeMarks marks_;
  CommandType& interp_;
  std::vector<Face> faces_;
  double typicalEdge_ = 0.0;
  std::vector<GridPoint*> points_;
  std::unordered_map<const GridPoint*, uint32_t> index_;
  std::vector<std::vector<Zone*>> zonesOf_;
  double origin_[3] = {0, 0, 0};
  double cell_ = 1.0;
  std::vector<bool> gone_;
  std::vector<uint32_t> target_;  // the listed grid-point each one went to
  std::vector<const GridPoint*> mergedInto_;
  uint32_t merged_ = 0;
  uint32_t removedFaces_ = 0;
};

}  // namespace

void ReleaseDeletedGridPoints() {
  const GridServices& hooks = GridHooks();
  if (hooks.purgeDeletedApply) hooks.purgeDeletedApply();
  if (hooks.removeDeletedTies) hooks.removeDeletedTies();
}

void FindMergeTolerance(const Range& range, CommandType& interp) {
  RangeMarks marks(range);
  double best = std::numeric_limits<double>::infinity();
  bool found = false;
  for (Zone* z : ZoneList()) {
    for (int f = 0; f < kZoneFaces; ++f) {
      if (!IsFreeFace(*z, f)) continue;
      const int n = z->FaceGpCount(f);
      for (int c = 0; c < n; ++c) {
        GridPoint* a = z->GetFaceGp(f, c);
        if (!marks.In(a)) continue;
        const double d2 = Distance2(a->position, z->GetFaceGp(f, (c + 1) % n)->position);
        if (!found || d2 < best) best = d2;
        found = true;
      }
    }
  }
  if (found)
    Say(interp, String("Merging tolerance should be less than ") + DoubleToString(std::sqrt(best), 0, 0, 1) + "\n");
  else
    Say(interp, "No mergeable gps in this range.\n");
}

void MergeGridPoints(double tolerance, const Range& range, CommandType& interp) {
  GridPointMerge(tolerance, range, interp).Run();
}

void MergeCommand(ModelInterpreter& interp) {
  Range range;
  range.Parse(interp);
  int word = 0;
  if (interp.MatchKeyword("findtol", word) == CommandType::kOk) {
    FindMergeTolerance(range, interp);
    return;
  }
  int at = interp.TokenIndex();
  const double tolerance = interp.GetReal();
  if (!(tolerance >= 0.0) || !std::isfinite(tolerance)) interp.ThrowParamError(CommandType::kConvert, &at);
  MergeGridPoints(tolerance, range, interp);
}
