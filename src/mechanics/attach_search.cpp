// ATTACH face: the automatic search for grid-points of outer faces that lie
// on an opposite outer face. The outer faces are listed once, shortest
// longest edge first, and put in a cell space of about five faces per cell;
// each corner grid-point of a listed face meets only the faces of its own
// cell. A grid-point on a corner of the opposite face is tied to that
// corner, one on its edge to the edge, any other to the face; the masters
// get the scan mark, so that they are not made slaves later in the same
// search. Faces with shorter edges thus supply their grid-points first.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "base/except.h"
#include "base/range.h"
#include "mechanics/attach_condition.h"
#include "mechanics/cmd_attach.h"
#include "model/cell_space.h"
#include "model/grid_point.h"
#include "model/model_interpreter.h"
#include "model/zone.h"

namespace {

// The grid-point's scratch selection mark: a master of this search.
constexpr uint32_t kScanMark = 0x20000;
// Projected weights above this count as a corner, two neighbours' sum as an edge.
constexpr double kWhole = 0.999999;
// Masters of a face tie that get the scan mark.
constexpr double kMarkWeight = 0.05;
// The projection tolerance of the second pass over the closest candidate.
constexpr double kSecondPassTolerance = 100.0;
// Zones between two looks at the ESC key while the faces are listed.
constexpr size_t kZonesPerKeyPoll = 1024;
constexpr double kPi = 3.14159265358979323846;

// One outer face with what the tests of every candidate read.
struct ListedFace {
  ZoneFace face;
  double longestEdge = 0.0;
  double normal[3] = {0, 0, 0};  // unit, out of the zone
  double offset = 0.0;           // normal . centroid
  int count = 0;                 // corners: 3 or 4
};

double Dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// The box widened as the search widens every box: the lower bound down by
// 5% of the extent, then the upper bound up by 5% of the new extent.
void Widen(double lo[3], double hi[3]) {
  for (int i = 0; i < 3; ++i) {
    lo[i] -= 0.05 * (hi[i] - lo[i]);
    hi[i] += 0.05 * (hi[i] - lo[i]);
  }
}

bool IsCorner(const ListedFace& f, const GridPoint* gp) {
  for (int k = 0; k < f.count; ++k)
    if (f.face.GetGp(k) == gp) return true;
  return false;
}

// Projects the grid-point onto the face; answers whether it lands on it and,
// when not, how near it came (larger is nearer): the least negative
// triangle weight of the projection.
bool Project(const ListedFace& f, const GridPoint* gp, double tolerance, FaceWeights& w, double* closeness) {
  const bool inside = ZoneFace::ProjectPoint(w, gp->position, &f.face, tolerance);
  if (f.count == 4)
    *closeness = FaceMissValue();
  else
    *closeness = std::min({w.weight[0], w.weight[1], w.weight[2]});
  return inside;
}

class FaceSearch {
 public:
  FaceSearch(ModelInterpreter& interp, const Range& range, const AttachSearchOptions& options)
      : interp_(interp), range_(range), options_(options), cells_(5) {
    limit_ = std::cos((180.0 - options.angleTolerance) * kPi / 180.0);
  }

  uint32_t Run() {
    Progress("Building list of faces\r");
    ListFaces();
    interp_ << "Found " << faces_.size() << " faces" << String(' ', 16) << "\n";
    interp_.flush();

    Progress("Creating cell space\r");
    BuildCells();
    PollEsc();

    Progress("Clearing markers...\r");
    for (const ListedFace& f : faces_)
      for (int k = 0; k < f.count; ++k) f.face.GetGp(k)->flags &= ~kScanMark;
    PollEsc();

    const size_t n = faces_.size();
    for (size_t i = 0; i < n; ++i) {
      if (i % 10 == 0) {
        PollEsc();
        // One listed face is the whole of the work.
        const double done = n > 1 ? static_cast<double>(i) / static_cast<double>(n - 1) * 100.0 : 100.0;
        char percent[32];
        std::snprintf(percent, sizeof percent, "%4.1f", done);
        Progress("Scanning Faces..." + String(percent) + "% done ..." + UIntToString(made_) + " grid-points attached" +
                 String(' ', 16) + "\r");
      }
      const ListedFace& f = faces_[i];
      if (options_.global && !range_.IsIn(&f.face)) continue;
      for (int k = 0; k < f.count; ++k) {
        GridPoint* gp = f.face.GetGp(k);
        if (gp->attach || (gp->flags & kScanMark)) continue;
        Scan(f, gp);
      }
    }
    interp_ << made_ << " grid-points attached" << String(' ', 36) << "\n";
    interp_.flush();
    return made_;
  }

 private:
  void Progress(const String& text) {
    interp_.ConsoleStream::Write(text.c_str());
    interp_.flush();
  }

  void PollEsc() {
    if (interp_.EscPressed()) throw ESCInterrupt();
  }

  // Every face of a zone that has a mechanical model other than null, with
  // three or more corners and no such zone beyond it; without the global
  // switch only faces in the range.
  void ListFaces() {
    size_t zones = 0;
    for (Zone* zone : ZoneList()) {
      if (zone->IsNull()) continue;
      if (zones++ % kZonesPerKeyPoll == 0) PollEsc();
      for (int face = 0; face < kZoneFaces; ++face) {
        if (zone->FaceGpCount(face) < 3) continue;
        const Zone* beyond = zone->Neighbour(face);
        if (beyond && !beyond->IsNull()) continue;
        ListedFace f;
        f.face = ZoneFace(zone, face);
        if (!options_.global && !range_.IsIn(&f.face)) continue;
        f.count = std::min(f.face.GpCount(), 4);
        f.longestEdge = f.face.MaxEdgeLength();
        f.face.Normal(f.normal);
        double centroid[3];
        f.face.Centroid(centroid);
        f.offset = Dot(f.normal, centroid);
        faces_.push_back(f);
      }
    }
    std::stable_sort(faces_.begin(), faces_.end(),
                     [](const ListedFace& a, const ListedFace& b) { return a.longestEdge < b.longestEdge; });
  }

  void BuildCells() {
    double lo[3] = {0, 0, 0}, hi[3] = {1, 1, 1};
    if (!faces_.empty()) {
      for (int i = 0; i < 3; ++i) {
        lo[i] = DBL_MAX;
        hi[i] = -DBL_MAX;
      }
      for (const ListedFace& f : faces_) {
        double a[3], b[3];
        f.face.BoundingBox(a, b);
        for (int i = 0; i < 3; ++i) {
          lo[i] = std::min(lo[i], a[i]);
          hi[i] = std::max(hi[i], b[i]);
        }
      }
      Widen(lo, hi);
    }
    cells_.Build(lo, hi, static_cast<uint32_t>(std::min<size_t>(faces_.size(), UINT32_MAX)));
    for (ListedFace& f : faces_) {
      double a[3], b[3];
      f.face.BoundingBox(a, b);
      Widen(a, b);
      cells_.AddBox(&f, a, b);
    }
  }

  // Looks for the face that the grid-point of face `own` lies on among the
  // faces of its cell, and ties it there.
  void Scan(const ListedFace& own, GridPoint* gp) {
    int32_t at[3];
    cells_.CellIndex(gp->position, at);
    const ListedFace* nearest = nullptr;
    double nearness = -DBL_MAX;
    bool tied = false;
    void* const* const end = cells_.GetCell(at);
    for (void* const* it = cells_.GetCellFirst(at); it != end; ++it) {
      const auto* other = static_cast<const ListedFace*>(*it);
      if (other == &own || IsCorner(*other, gp)) continue;
      if (Dot(own.normal, other->normal) > limit_) continue;  // not opposite
      if (std::fabs(other->offset - Dot(other->normal, gp->position)) > options_.tolerance) continue;
      FaceWeights w;
      double closeness = 0.0;
      if (Project(*other, gp, 0.0, w, &closeness)) {
        tied = Tie(gp, *other, w);
        break;
      }
      if (closeness > nearness) {
        nearness = closeness;
        nearest = other;
      }
    }
    if (tied || !nearest) return;
    FaceWeights w;
    double closeness = 0.0;
    if (Project(*nearest, gp, kSecondPassTolerance, w, &closeness)) Tie(gp, *nearest, w);
  }

  // Ties the grid-point to the corner, edge or face that its weights name;
  // false when the tie would make the grid-point depend on itself.
  bool Tie(GridPoint* gp, const ListedFace& f, const FaceWeights& w) {
    const int n = f.count;
    std::unique_ptr<AttachCondition> tie;
    for (int i = 0; i < n && !tie; ++i) {
      if (w.weight[i] <= kWhole) continue;
      GridPoint* corner = f.face.GetGp(i);
      tie = std::make_unique<AttachGp>(gp, corner, options_.snap);
      corner->flags |= kScanMark;
    }
    // The edges run round the face's own corners.
    for (int i = 0; i < n && !tie; ++i) {
      const int j = (i + 1) % n;
      if (w.weight[i] + w.weight[j] <= kWhole) continue;
      GridPoint* a = f.face.GetGp(i);
      GridPoint* b = f.face.GetGp(j);
      tie = std::make_unique<AttachEdge>(gp, a, b, -1.0, options_.snap);
      a->flags |= kScanMark;
      b->flags |= kScanMark;
    }
    if (!tie) {
      tie = std::make_unique<AttachFace>(gp, f.face, &w, options_.snap);
      for (int i = 0; i < n; ++i)
        if (w.weight[i] > kMarkWeight) f.face.GetGp(i)->flags |= kScanMark;
    }
    if (tie->DependsOn(gp)) {
      interp_ << "+++ Attach of Gp " << gp->id << " rejected as recursive with previous attach relationships"
              << "\n";
      interp_.flush();
      return false;
    }
    GlobalAttachList().Add(tie.release());
    ++made_;
    return true;
  }

  ModelInterpreter& interp_;
  const Range& range_;
  const AttachSearchOptions& options_;
  double limit_ = 0.0;
  std::vector<ListedFace> faces_;
  CellSpace cells_;
  uint32_t made_ = 0;
};

}  // namespace

uint32_t AttachFaceSearch(ModelInterpreter& interp, const Range& range, const AttachSearchOptions& options) {
  FaceSearch search(interp, range, options);
  return search.Run();
}
