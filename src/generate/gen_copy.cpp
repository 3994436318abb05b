// GENERATE ZONE REFLECT and COPY: the zones of a range copied, mirrored in a
// plane or shifted by a vector, in four passes: the selection and its
// boundary, the grid-points, the zones, and the face links. The marks and
// images of the passes live in tables of this command, keyed by object, so
// nothing is left on the grid's objects when the command stops.
#include <cmath>
#include <unordered_map>
#include <vector>

#include "base/command.h"
#include "base/except.h"
#include "base/message.h"
#include "base/plane.h"
#include "base/range.h"
#include "generate/generation_set.h"
#include "generate/grid_edit.h"
#include "model/grid.h"

namespace {

constexpr double kDegree = 3.14159265358979323846 / 180.0;

// A mirrored zone takes its corner c from the old corner kReflectCorner[c],
// which keeps its numbering right-handed; its face f is the old face
// kReflectFace[f]. A copy keeps both orders.
constexpr int kReflectCorner[8] = {1, 0, 4, 6, 2, 7, 3, 5};
constexpr int kReflectFace[6] = {0, 1, 3, 2, 4, 5};

void Say(CommandType& interp, const String& text) {
  interp.flush();
  interp.ConsoleStream::Write(text.c_str());
}

[[noreturn]] void StopIncomplete(CommandType& interp) {
  Say(interp, "\n+++ WARNING!  Copy incomplete, model in unstable state!\n");
  throw ESCInterrupt();
}

// An angle in degrees brought into 0 ... 360, in radians.
double DipAngle(double degrees) {
  if (!std::isfinite(degrees)) return degrees * kDegree;
  while (degrees < 0.0) degrees += 360.0;
  while (degrees > 360.0) degrees -= 360.0;
  return degrees * kDegree;
}

struct SelectedZone {
  Zone* zone;
  uint8_t boundaryFaces;  // bit f: the neighbour across face f is not copied
  Zone* image;
};

struct SelectedGp {
  bool boundary = false;  // on a face of the selection's boundary
  GridPoint* image = nullptr;
};

class SelectionCopy {
 public:
  SelectionCopy(const Plane& plane, CommandType& interp, CopyMode mode, bool merge)
      : plane_(plane), interp_(interp), reflect_(mode == CopyMode::kReflect), merge_(merge) {}

  void Run(const Range& range) {
    Say(interp_, "     Preparing Grid          \r");
    if (merge_) boundary_.CollectBoundary();
    Say(interp_, "     Scanning Grid           \r");
    Scan(range);
    if (interp_.EscPressed()) throw ESCInterrupt();
    // The copy's objects take their ids and places as a generation's do;
    // the indexes take them in when the batch ends, also after an error.
    GridBatch batch(gps_.size(), zones_.size());
    Say(interp_, "     Copying GridPoints      \r");
    CopyGridPoints();
    if (interp_.EscPressed()) StopIncomplete(interp_);
    Say(interp_, "     Copying Zones           \r");
    CopyZones();
    if (interp_.EscPressed()) StopIncomplete(interp_);
    Say(interp_, "     Connecting Faces        \r");
    ConnectFaces();
    Say(interp_, MessageText("     %s Zones Created        ", UIntToString(static_cast<uint32_t>(made_))) + "\n");
    if (!groupError_.IsEmpty()) throw QJExcept(groupError_);
  }

 private:
  void Scan(const Range& range) {
    for (Zone* z : ZoneList()) {
      if (!range.IsIn(z)) continue;
      if (reflect_ && z->Type() == kDegenerateBrick)
        throw QJExcept(MessageText("Cannot reflect DBrick zones (%s)", UIntToString(z->Id())));
      selected_.emplace(z, static_cast<uint32_t>(zones_.size()));
      zones_.push_back(SelectedZone{z, 0, nullptr});
    }
    gps_.reserve(zones_.size() * 2);
    for (SelectedZone& s : zones_) {
      for (int c = 0; c < kZoneSlots; ++c) gps_.try_emplace(s.zone->Gp(c));
      for (int f = 0; f < kZoneFaces; ++f) {
        Zone* n = s.zone->Neighbour(f);
        if (n && selected_.count(n)) continue;
        s.boundaryFaces = static_cast<uint8_t>(s.boundaryFaces | (1u << f));
        for (int c = 0; c < 4; ++c) gps_[s.zone->GetFaceGp(f, c)].boundary = true;
      }
    }
  }

  void CopyGridPoints() {
    const double* n = plane_.Normal();
    const double* shift = plane_.Origin();
    bool haveReference = false;
    double d0 = 0.0, m0 = 0.0;
    // The copies are appended to the list: the walk stops at the old end.
    GridPoint* last = GridPointList().Tail();
    for (GridPoint* gp = GridPointList().Head(); gp; gp = gp == last ? nullptr : ModelList<GridPoint>::Next(gp)) {
      auto it = gps_.find(gp);
      if (it == gps_.end()) continue;
      const double* p = gp->position;
      double image[3];
      if (reflect_) {
        const double d = plane_.SignedDistance(p);
        for (int i = 0; i < 3; ++i) image[i] = p[i] - 2.0 * d * n[i];
        const double norm = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
        if (!haveReference) {
          if (d != 0.0) {
            haveReference = true;
            d0 = d;
            m0 = norm;
          }
        } else {
          const double m = std::max(norm, m0);
          if (d * d0 * 10.0 < -(m * m * 1e-14)) {
            Say(interp_, MessageText("\n+++ WARNING!  Copying GridPoints on either side of plane!! (Gp %s)\n",
                                     UIntToString(gp->id)));
            d0 = 0.0;
          }
        }
      } else {
        for (int i = 0; i < 3; ++i) image[i] = p[i] + shift[i];
      }
      GridPoint* to = nullptr;
      if (merge_ && it->second.boundary) to = boundary_.FindBoundaryGridPoint(image);
      if (!to) to = GridBatch::NewGridPoint(image);
      it->second.image = to;
    }
  }

  void CopyZones() {
    for (SelectedZone& s : zones_) {
      Zone* z = nullptr;
      try {
        z = GridBatch::NewZone();
      } catch (const MemExcept&) {
        throw QJExcept("Memory allocation error.");
      }
      ++made_;
      z->SetType(s.zone->Type());
      for (int c = 0; c < kZoneSlots; ++c) z->SetGp(c, gps_[s.zone->Gp(reflect_ ? kReflectCorner[c] : c)].image);
      s.image = z;
      if (Group* group = s.zone->GetGroup()) {
        try {
          z->SetGroup(group);
        } catch (const KWRExcept& e) {
          // The copy goes on; the first grid-point that could not take the
          // group is reported at the end.
          if (groupError_.IsEmpty()) groupError_ = e.Text();
        }
      }
    }
  }

  Zone* ImageOf(const Zone* old) const {
    if (!old) return nullptr;
    auto it = selected_.find(old);
    return it == selected_.end() ? nullptr : zones_[it->second].image;
  }

  void ConnectFaces() {
    for (const SelectedZone& s : zones_) {
      if (!s.image) continue;
      if (interp_.EscPressed()) StopIncomplete(interp_);
      Zone* image = s.image;
      for (int f = 0; f < kZoneFaces; ++f) {
        const int g = reflect_ ? kReflectFace[f] : f;
        image->SetNeighbour(f, nullptr);
        if (!(s.boundaryFaces & (1u << g))) {
          image->SetNeighbour(f, ImageOf(s.zone->Neighbour(g)));
        } else if (merge_ && boundary_.HasFreeFaces()) {
          FaceKey key;
          if (!KeyOfZoneFace(*image, f, key)) continue;
          // A face that an earlier copy joined is not taken again: its
          // link back would be lost.
          if (const FaceRecord* record = boundary_.FindUnjoinedFreeFace(key))
            GridBatch::Link(image, f, record->zone, record->face);
        }
      }
    }
  }

  const Plane& plane_;
  CommandType& interp_;
  const bool reflect_;
  const bool merge_;
  GenerationSet boundary_;
  std::vector<SelectedZone> zones_;
  std::unordered_map<const Zone*, uint32_t> selected_;
  std::unordered_map<GridPoint*, SelectedGp> gps_;
  uint64_t made_ = 0;
  String groupError_;
};

}  // namespace

void CopyZoneSelection(const Plane& plane, const Range& range, CommandType& interp, CopyMode mode, bool merge) {
  SelectionCopy(plane, interp, mode, merge).Run(range);
}

void GenerateReflect(CommandType& interp) {
  Range range;
  range.Parse(interp);
  Plane plane;
  bool merge = true;
  while (interp.HasToken()) {
    const int word = interp.GetKeyword("dip dd normal origin nomerge");
    double v[3];
    switch (word) {
      case 1:
        plane.SetDip(DipAngle(interp.GetReal()));
        break;
      case 2:
        plane.SetDipDirection(DipAngle(interp.GetReal()));
        break;
      case 3:
        interp.GetVector(v);
        plane.SetNormal(v);
        break;
      case 4:
        interp.GetVector(v);
        plane.SetOrigin(v);
        break;
      default:
        merge = false;
        break;
    }
  }
  CopyZoneSelection(plane, range, interp, CopyMode::kReflect, merge);
}

void GenerateCopy(CommandType& interp) {
  Range range;
  range.Parse(interp);
  double v[3];
  interp.GetVector(v);
  bool merge = true;
  if (interp.HasToken()) {
    interp.GetKeyword("nomerge");
    merge = false;
  }
  Plane plane;
  plane.SetOrigin(v);
  CopyZoneSelection(plane, range, interp, CopyMode::kCopy, merge);
}
