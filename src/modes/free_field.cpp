#include "modes/free_field.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "base/command.h"
#include "base/except.h"
#include "base/string.h"
#include "cmodels/constitutive_model.h"
#include "mechanics/apply.h"
#include "mechanics/apply_condition.h"
#include "mechanics/apply_geometry.h"
#include "model/calc_module.h"
#include "model/grid.h"
#include "model/grid_services.h"
#include "model/model.h"
#include "model/model_interpreter.h"
#include "model/model_settings.h"
#include "model/step_participant.h"
#include "model/zone.h"
#include "modes/gp_link.h"

using namespace free_field;

namespace {

constexpr double kZero[3] = {0, 0, 0};

bool IsFreeFieldZone(const Zone& z) { return (z.Flags() & kZoneFlags) != 0; }

ApplyCondition* RecordOf(const GridPoint* gp) { return static_cast<ApplyCondition*>(gp->apply); }

ApplyQuietBlock* QuietOf(const GridPoint* gp) {
  const ApplyCondition* record = RecordOf(gp);
  return record ? record->Quiet() : nullptr;
}

// The four side planes: 0 x = xmin, 1 x = xmax, 2 y = ymin, 3 y = ymax.
struct Planes {
  double coordinate[4] = {0, 0, 0, 0};
  static int Axis(int plane) { return plane < 2 ? 0 : 1; }
  static void Normal(int plane, double out[3]) {
    out[0] = out[1] = out[2] = 0.0;
    out[Axis(plane)] = plane % 2 == 0 ? -1.0 : 1.0;
  }
};

// Whether the face's four stored corners lie within the tolerance of the plane.
bool FaceOnPlane(const Zone& zone, int face, int axis, double coordinate, double tolerance) {
  for (int c = 0; c < 4; ++c)
    if (std::fabs(zone.GetFaceGp(face, c)->position[axis] - coordinate) > tolerance) return false;
  return true;
}

bool FaceAtHeight(const Zone& zone, int face, double z, double tolerance) {
  for (int c = 0; c < 4; ++c)
    if (std::fabs(zone.GetFaceGp(face, c)->position[2] - z) > tolerance) return false;
  return true;
}

struct PlaneFace {
  Zone* zone;
  int face;
};

// Free-field grid-points by position: a point within the tolerance of a
// stored one finds it, the newest first.
class PositionHash {
 public:
  explicit PositionHash(double tolerance) : tolerance_(tolerance), inverse_(1.0 / tolerance) {}

  GridPoint* Find(const double p[3]) const {
    const Key k = KeyOf(p);
    GridPoint* best = nullptr;
    uint32_t bestIndex = 0;
    for (int64_t dx = -1; dx <= 1; ++dx)
      for (int64_t dy = -1; dy <= 1; ++dy)
        for (int64_t dz = -1; dz <= 1; ++dz) {
          auto it = cells_.find(Key{k.x + dx, k.y + dy, k.z + dz});
          if (it == cells_.end()) continue;
          for (uint32_t index : it->second) {
            GridPoint* gp = points_[index];
            double d2 = 0.0;
            for (int i = 0; i < 3; ++i) d2 += (gp->position[i] - p[i]) * (gp->position[i] - p[i]);
            if (d2 < tolerance_ * tolerance_ && (!best || index > bestIndex)) {
              best = gp;
              bestIndex = index;
            }
          }
        }
    return best;
  }

  void Add(GridPoint* gp) {
    cells_[KeyOf(gp->position)].push_back(static_cast<uint32_t>(points_.size()));
    points_.push_back(gp);
  }

 private:
  struct Key {
    int64_t x, y, z;
    bool operator==(const Key& o) const { return x == o.x && y == o.y && z == o.z; }
  };
  struct KeyHash {
    size_t operator()(const Key& k) const {
      uint64_t h = static_cast<uint64_t>(k.x) * 0x9E3779B97F4A7C15ull;
      h ^= static_cast<uint64_t>(k.y) * 0xC2B2AE3D27D4EB4Full + (h << 6) + (h >> 2);
      h ^= static_cast<uint64_t>(k.z) * 0x165667B19E3779F9ull + (h << 6) + (h >> 2);
      return static_cast<size_t>(h);
    }
  };
  Key KeyOf(const double p[3]) const {
    return Key{static_cast<int64_t>(std::floor(p[0] * inverse_)), static_cast<int64_t>(std::floor(p[1] * inverse_)),
               static_cast<int64_t>(std::floor(p[2] * inverse_))};
  }

  double tolerance_;
  double inverse_;
  std::unordered_map<Key, std::vector<uint32_t>, KeyHash> cells_;
  std::vector<GridPoint*> points_;
};

using GpSet = std::array<GridPoint*, 8>;

GpSet SortedSet(GridPoint* const a[4], GridPoint* const b[4]) {
  GpSet s = {a[0], a[1], a[2], a[3], b[0], b[1], b[2], b[3]};
  std::sort(s.begin(), s.end(), std::less<GridPoint*>());
  return s;
}

// The zone's face of four corners that holds exactly these four grid-points; -1 when none does.
int MatchFace(const Zone& zone, GridPoint* const gps[4]) {
  for (int f = 0; f < kZoneFaces; ++f) {
    if (zone.FaceGpCount(f) != 4) continue;
    bool all = true;
    for (int c = 0; c < 4 && all; ++c) {
      GridPoint* g = zone.GetFaceGp(f, c);
      all = g == gps[0] || g == gps[1] || g == gps[2] || g == gps[3];
    }
    if (all) return f;
  }
  return -1;
}

void CopyValue(ApplyCondition& to, const ApplyValue& from) {
  ApplyValue* v = to.FindValue(from.quantity, from.direction);
  if (!v) v = to.NewValue();
  v->Set(from.quantity, from.direction, from.multiplierKind, from.table, from.function, from.timeBase, from.value,
         from.second, from.gradient, false, false);
}

// One creation of the free field.
class Builder {
 public:
  Builder(CommandType& out, double edge, double gap, double tolerance, double zbase)
      : out_(out), edge_(edge), gap_(gap), tolerance_(tolerance), zbase_(zbase), hash_(0.001 * edge) {
    for (ApplyCondition* c = GlobalApplyList().Head(); c; c = ApplyList::Next(c)) {
      if (c->TargetKind() != ApplyCondition::kFace || !c->Face() || !c->Face()->GetZone()) continue;
      faceRecords_.emplace(FaceKey(c->Face()->GetZone(), c->Face()->Face()), c);  // the first in list order stays
    }
  }

  // The boundary faces on each of the four planes, in zone list order: of
  // the inner zones (pass 0) or of the free-field zones built so far (pass 1).
  void PlaneFaces(int pass, const Planes& planes, std::vector<PlaneFace> out[4]) const {
    for (int p = 0; p < 4; ++p) out[p].clear();
    auto consider = [&](Zone* z) {
      bool checked = false;
      for (int f = 0; f < kZoneFaces; ++f) {
        const Zone* n = z->Neighbour(f);
        if (n && !n->IsNull()) continue;
        if (!checked) {
          if (z->IsNull() || IsFreeFieldZone(*z) != (pass == 1)) return;
          checked = true;
        }
        if (!IsBoundaryFace(*z, f)) continue;
        for (int p = 0; p < 4; ++p)
          if (FaceOnPlane(*z, f, Planes::Axis(p), planes.coordinate[p], tolerance_)) out[p].push_back({z, f});
      }
    };
    if (pass == 0)
      for (Zone* z : ZoneList()) consider(z);
    else
      for (Zone* z : zones_) consider(z);
  }

  ApplyCondition* FaceRecord(Zone* zone, int face) {
    auto [it, made] = faceRecords_.emplace(FaceKey(zone, face), nullptr);
    if (made) it->second = ApplyCondition::Create(std::make_unique<ZoneFace>(zone, face));
    return it->second;
  }

  // The face's free-field and quiet values, set afresh, and its quiet block.
  void MarkFace(Zone* zone, int face) {
    ApplyCondition* record = FaceRecord(zone, face);
    static const uint8_t kCodes[4][2] = {
        {kApplyFreeFieldLink, 0}, {kApplyQuiet, 1}, {kApplyQuiet, 2}, {kApplyQuiet, 3}};
    for (const auto& cd : kCodes) {
      ApplyValue* v = record->FindValue(cd[0], cd[1]);
      if (!v) v = record->NewValue();
      v->Set(cd[0], cd[1], kMultiplierNone, 0, nullptr, nullptr, 0.0, 0.0, kZero, false, false);
    }
    if (!record->Quiet()) record->NewQuietBlock();
  }

  void BuildZone(Zone* source, int face, int plane, int pass) {
    Settings().freeField = true;
    const int n = source->FaceGpCount(face);
    if (n < 3) {
      out_ << "+++ Warning! face size = " << IntToString(n) << "\n";
      return;
    }
    double normal[3];
    Planes::Normal(plane, normal);
    GridPoint* from[4] = {};
    GridPoint* layer[2][4] = {};
    for (int i = 0; i < n; ++i) from[i] = source->GetFaceGp(face, i);
    double position[2][4][3];
    bool missing = false;
    for (int l = 0; l < 2; ++l)
      for (int i = 0; i < n; ++i) {
        const double shift = l == 0 ? gap_ : gap_ + edge_;
        for (int k = 0; k < 3; ++k) position[l][i][k] = from[i]->position[k] + shift * normal[k];
        layer[l][i] = hash_.Find(position[l][i]);
        missing = missing || !layer[l][i];
      }
    // The corner columns are made from planes 0 and 1 and only joined from 2 and 3.
    if (missing && pass == 1 && plane >= 2) return;
    for (int l = 0; l < 2; ++l)
      for (int i = 0; i < n; ++i)
        if (!layer[l][i]) layer[l][i] = NewGridPoint(position[l][i], *from[i], pass);
    for (int i = 0; i < n; ++i) linker_.Link(layer[0][i], layer[1][i], out_);

    Zone* zone = nullptr;
    int zoneFace = -1;
    if (pass == 1) {
      if (n == 3) return;
      auto it = byGridPoints_.find(SortedSet(layer[0], layer[1]));
      if (it != byGridPoints_.end()) {
        zone = it->second;
        zoneFace = MatchFace(*zone, layer[0]);
        if (zoneFace < 0) return;
      } else if (plane >= 2) {
        return;
      }
    }
    if (!zone) {
      zone = NewZone(*source, from, layer, n, pass);
      zoneFace = n == 4 ? 2 : 5;
    }
    ApplyCondition* record = FaceRecord(source, face);
    record->Quiet()->ffFace = std::make_unique<ZoneFace>(zone, zoneFace);

    // Each layer-0 grid-point drives the face grid-point it was made from.
    for (int i = 0; i < n; ++i) {
      GridPoint* g = layer[0][i];
      ApplyCondition* gpRecord = RecordOf(g);
      if (!gpRecord) gpRecord = ApplyCondition::Create(g);
      ApplyQuietBlock* q = gpRecord->Quiet() ? gpRecord->Quiet() : gpRecord->NewQuietBlock();
      if (!q->gpA || q->gpA == from[i])
        q->gpA = from[i];
      else if (!q->gpB || q->gpB == from[i])
        q->gpB = from[i];
      else
        break;
    }
  }

  // Base conditions of the inner grid copied to the side grids (side 0), or
  // of the side grids to the corner columns (side 1).
  void CopyBaseConditions(int side) {
    const uint32_t targetZone = side == 0 ? kSideZone : kCornerZone;
    const uint32_t targetGp = side == 0 ? kSideGp : kCornerGp;
    // The free-field grid-points that drive each grid-point, and the target zones around each of them.
    std::unordered_map<const GridPoint*, std::vector<GridPoint*>> drivenBy;
    for (GridPoint* g : gps_) {
      if (!(g->flags & targetGp)) continue;
      if (const ApplyQuietBlock* q = QuietOf(g)) {
        if (q->gpA) drivenBy[q->gpA].push_back(g);
        if (q->gpB) drivenBy[q->gpB].push_back(g);
      }
    }
    std::unordered_map<const GridPoint*, std::vector<Zone*>> zonesAt;
    for (Zone* z : zones_) {
      if (!(z->Flags() & targetZone)) continue;
      for (int s = 0; s < z->GpCount(); ++s) {
        std::vector<Zone*>& list = zonesAt[z->Gp(s)];
        if (list.empty() || list.back() != z) list.push_back(z);
      }
    }
    // 1. Face conditions of the base.
    std::vector<ApplyCondition*> sources;
    for (ApplyCondition* c = GlobalApplyList().Head(); c; c = ApplyList::Next(c)) {
      if (c->TargetKind() != ApplyCondition::kFace || !c->Face() || !c->Face()->GetZone()) continue;
      const Zone& z = *c->Face()->GetZone();
      const bool sourceKind = side == 0 ? !IsFreeFieldZone(z) : (z.Flags() & kSideZone) != 0;
      if (sourceKind && FaceAtHeight(z, c->Face()->Face(), zbase_, tolerance_)) sources.push_back(c);
    }
    bool stop = false;
    for (ApplyCondition* source : sources) {
      if (stop) break;
      const ZoneFace& sf = *source->Face();
      GridPoint* corners[4];
      for (int c = 0; c < 4; ++c) corners[c] = sf.GetGp(c);
      std::vector<Zone*> candidates;
      for (GridPoint* corner : corners) {
        auto driven = drivenBy.find(corner);
        if (driven == drivenBy.end()) continue;
        for (GridPoint* g : driven->second) {
          auto around = zonesAt.find(g);
          if (around != zonesAt.end())
            candidates.insert(candidates.end(), around->second.begin(), around->second.end());
        }
      }
      std::sort(candidates.begin(), candidates.end(), [](const Zone* a, const Zone* b) {
        return a->ListSequence() != b->ListSequence() ? a->ListSequence() < b->ListSequence() : a->Id() < b->Id();
      });
      candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
      for (Zone* z : candidates) {
        for (int f = 0; f < kZoneFaces && !stop; ++f) {
          if (z->FaceGpCount(f) < 3 || !FaceAtHeight(*z, f, zbase_, tolerance_)) continue;
          int linked = 0;
          for (int c = 0; c < z->FaceGpCount(f); ++c) {
            const ApplyQuietBlock* q = QuietOf(z->GetFaceGp(f, c));
            if (!q) continue;
            bool hit = false;
            for (GridPoint* corner : corners) hit = hit || (corner && (q->gpA == corner || q->gpB == corner));
            if (hit) ++linked;
          }
          if (linked > 2) {
            stop = true;
          } else if (linked == 2) {
            ApplyCondition* target = FaceRecord(z, f);
            for (const ApplyValue* v = source->Values(); v; v = v->next) CopyValue(*target, *v);
          }
        }
        if (stop) break;
      }
    }
    if (stop) return;
    // 2. Grid-point conditions and fixities of the base.
    for (GridPoint* inner : GridPointList()) {
      auto found = drivenBy.find(inner);
      if (found == drivenBy.end()) continue;
      const std::vector<GridPoint*>& drivers = found->second;
      const bool sourceKind = side == 0 ? !(inner->flags & kGpFlags) : (inner->flags & kSideGp) != 0;
      if (!sourceKind || std::fabs(inner->position[2] - zbase_) > tolerance_) continue;
      const ApplyCondition* from = RecordOf(inner);
      for (GridPoint* g : drivers) {
        if (std::fabs(g->position[2] - zbase_) > tolerance_) continue;
        GridPoint* master = linker_.FindOwner(g);
        if (!master) master = g;
        CopyGridPointConditions(*inner, from, master);
        for (GridPoint::LinkedEntry* e = master->linked; e; e = e->next) CopyGridPointConditions(*inner, from, e->gp);
      }
    }
  }

  const std::vector<Zone*>& Zones() const { return zones_; }
  const std::vector<GridPoint*>& GridPoints() const { return gps_; }

 private:
  static uint64_t FaceKey(const Zone* zone, int face) {
    return (static_cast<uint64_t>(reinterpret_cast<uintptr_t>(zone)) << 3) | static_cast<uint64_t>(face);
  }

  static void CopyGridPointConditions(const GridPoint& inner, const ApplyCondition* from, GridPoint* to) {
    to->flags |= inner.flags & NodeBase::kFixVelocity;
    if (!from) return;
    ApplyCondition* record = RecordOf(to);
    for (const ApplyValue* v = from->Values(); v; v = v->next) {
      if (v->quantity == kApplyReaction) continue;
      if (!record) record = ApplyCondition::Create(to);
      CopyValue(*record, *v);
    }
    if (from->Local()) {
      if (!record) record = ApplyCondition::Create(to);
      ApplyLocalBlock* block = record->Local() ? record->Local() : record->NewLocalBlock();
      *block = *from->Local();
    }
  }

  GridPoint* NewGridPoint(const double position[3], const GridPoint& from, int pass) {
    GridPoint* g = CreateGridPoint(position);
    g->CopyState(from);
    g->ClearGroups();
    g->flags = (g->flags & ~NodeBase::kDeleteMark) | (pass == 0 ? kSideGp : kCornerGp);
    hash_.Add(g);
    gps_.push_back(g);
    return g;
  }

  Zone* NewZone(const Zone& source, GridPoint* const from[4], GridPoint* const layer[2][4], int n, int pass) {
    (void)from;
    GridPoint* gps[8] = {};
    int type = kBrick;
    if (n == 4) {
      // Face 2 (slots 0, 2, 5, 3) on the inner side, slots 1, 4, 7, 6 outside.
      const int order[4] = {0, 3, 2, 1};
      const int inside[4] = {0, 2, 5, 3};
      const int outside[4] = {1, 4, 7, 6};
      for (int k = 0; k < 4; ++k) {
        gps[inside[k]] = layer[0][order[k]];
        gps[outside[k]] = layer[1][order[k]];
      }
    } else {
      // Face 5 (slots 0, 3, 1) on the inner side, slots 2, 5, 4 outside.
      type = kWedge;
      const int order[3] = {0, 2, 1};
      const int inside[3] = {0, 3, 1};
      const int outside[3] = {2, 5, 4};
      for (int k = 0; k < 3; ++k) {
        gps[inside[k]] = layer[0][order[k]];
        gps[outside[k]] = layer[1][order[k]];
      }
    }
    Zone* zone = CreateZone(type, gps);
    zone->SetFlags(zone->Flags() | (pass == 0 ? kSideZone : kCornerZone));
    if (const ConstitutiveModel* m = source.Model()) {
      std::unique_ptr<ConstitutiveModel> clone = m->Clone();
      if (!clone) throw QJExcept("Memory allocation error.");
      clone->Copy(*m);
      zone->SetModel(std::move(clone));
    }
    zone->SetDensity(source.Density());
    if (source.damping) zone->damping = std::make_unique<HystDamping>(*source.damping);
    zone->dampingOn = source.dampingOn;
    if (source.thermal) zone->thermal = source.thermal->Clone();
    if (source.fluid) zone->fluid = source.fluid->Clone();
    if (source.dynamicMultiplier) {
      if (!zone->dynamicMultiplier) zone->dynamicMultiplier = std::make_unique<double>(0.0);
      *zone->dynamicMultiplier = *source.dynamicMultiplier;
    }
    zone->Overlay(2);
    double average[6];
    source.AverageStress(average, false);
    for (int o = 0; o < 2; ++o) {
      ZoneTetra* block = zone->Tetra(o);
      for (int k = 0; block && k < zone->TetraPerOverlay(); ++k)
        for (int i = 0; i < 6; ++i) block[k].stress[i] = average[i];
    }
    if (n == 4) byGridPoints_.emplace(SortedSet(layer[0], layer[1]), zone);
    zones_.push_back(zone);
    return zone;
  }

  CommandType& out_;
  double edge_, gap_, tolerance_, zbase_;
  PositionHash hash_;
  GpLinker linker_;
  std::unordered_map<uint64_t, ApplyCondition*> faceRecords_;
  std::map<GpSet, Zone*> byGridPoints_;
  std::vector<Zone*> zones_;
  std::vector<GridPoint*> gps_;
};

// The forces of a zone's tetrahedra on the grid-points, with the area
// vectors scaled component by component.
void TetraForce(const ZoneTetra& t, int corner, const double scale[3], double out[3]) {
  const double ax = scale[0] * t.area[corner][0], ay = scale[1] * t.area[corner][1], az = scale[2] * t.area[corner][2];
  const double* s = t.stress;  // xx, yy, zz, xy, xz, yz
  out[0] = s[0] * ax + s[3] * ay + s[4] * az;
  out[1] = s[3] * ax + s[1] * ay + s[5] * az;
  out[2] = s[4] * ax + s[5] * ay + s[2] * az;
}

double OverlayFactor(const Zone& zone) {
  double f = zone.Tetra(0) ? -1.0 / 3.0 : -2.0 / 3.0;
  if (zone.Tetra(1)) f *= 0.5;
  return f;
}

void AddForce(GridPoint& gp, const double f[3]) {
  for (int i = 0; i < 3; ++i) gp.unbalancedForce[i] += f[i];
  gp.forceSum += std::fabs(f[0]) + std::fabs(f[1]) + std::fabs(f[2]);
}

// The stresses of the free-field zones on their own grid-points.
void ZoneForces(const std::vector<Zone*>& zones) {
  for (Zone* z : zones) {
    if (z->IsNull()) continue;
    const double f = OverlayFactor(*z);
    const double scale[3] = {f, f, f};
    for (int o = 0; o < 2; ++o) {
      const ZoneTetra* block = z->Tetra(o);
      if (!block) continue;
      const TetraDef* defs = OverlayDefinitions(z->Type(), o);
      for (int k = 0; k < z->TetraPerOverlay(); ++k)
        for (int c = 0; c < 4; ++c) {
          double force[3];
          TetraForce(block[k], c, scale, force);
          AddForce(*z->Gp(defs[k].gp[c]), force);
        }
    }
  }
}

[[noreturn]] void NotCreated() { throw QJExcept("Free-field not created"); }

class FreeFieldParticipant : public StepParticipant {
 public:
  explicit FreeFieldParticipant(FreeField& ff) : ff_(ff) {}
  void CheckBeforeCycle(CommandType&, bool, bool, bool) override { ff_.Build(); }
  void AfterZonePass() override {
    if (!Settings().freeField) return;
    if (ff_.Stale()) ff_.Build();
    ff_.Step();
  }
  void FreeFieldCoupling(int pass) override {
    if (ff_.Stale()) ff_.Build();
    ff_.CouplingPass(pass);
  }

 private:
  FreeField& ff_;
};

struct FreeFieldPart {
  FreeField field;
  StepParticipant* participant = nullptr;
};

}  // namespace

// ---------------------------------------------------------------------------
// The step

bool FreeField::Stale() const { return edits_ != ApplyEditCount(); }

void FreeField::Build() {
  terms_.clear();
  dashpots_[0].clear();
  dashpots_[1].clear();
  edits_ = ApplyEditCount();
  if (!Settings().freeField) return;
  EnsureApplyLinks();
  for (ApplyCondition* c = GlobalApplyList().Head(); c; c = ApplyList::Next(c)) {
    const ApplyQuietBlock* q = c->Quiet();
    if (c->TargetKind() != ApplyCondition::kFace || !q || !q->ffFace || !c->Face()) continue;
    Zone* inner = c->Face()->GetZone();
    Zone* zone = q->ffFace->GetZone();
    if (!inner || !zone || zone->IsNull()) continue;
    const int face = c->Face()->Face();
    double n[3];
    if (!inner->FaceNormal(face, n, true)) continue;
    double mask[3];
    for (int i = 0; i < 3; ++i) mask[i] = std::fabs(n[i]) > 0.71 ? 1.0 : 0.0;
    if (mask[0] + mask[1] + mask[2] == 0.0) continue;
    GridPoint* corners[4] = {};
    const int count = std::min(inner->FaceGpCount(face), 4);
    for (int k = 0; k < count; ++k) corners[k] = inner->GetFaceGp(face, k);
    auto onFace = [&](const GridPoint* g) {
      for (int k = 0; g && k < count; ++k)
        if (corners[k] == g) return true;
      return false;
    };
    GridPoint* mapped[kZoneSlots] = {};
    for (int s = 0; s < kZoneSlots; ++s) {
      const ApplyQuietBlock* b = QuietOf(zone->Gp(s));
      if (!b) continue;
      mapped[s] = onFace(b->gpA) ? b->gpA : onFace(b->gpB) ? b->gpB : nullptr;
    }
    const double f = OverlayFactor(*zone);
    for (int o = 0; o < 2; ++o) {
      const ZoneTetra* block = zone->Tetra(o);
      if (!block) continue;
      const TetraDef* defs = OverlayDefinitions(zone->Type(), o);
      for (int k = 0; k < zone->TetraPerOverlay(); ++k)
        for (int corner = 0; corner < 4; ++corner)
          if (GridPoint* target = mapped[defs[k].gp[corner]])
            terms_.push_back(
                {target, &block[k], {f * mask[0], f * mask[1], f * mask[2]}, static_cast<uint8_t>(corner)});
    }
  }
  for (GridPoint* gp : GridPointList()) {
    if (!(gp->flags & kGpFlags)) continue;
    if (ApplyQuietBlock* q = QuietOf(gp)) dashpots_[(gp->flags & kCornerGp) ? 0 : 1].push_back({gp, q});
  }
}

void FreeField::Step() {
  for (const StressTerm& t : terms_) {
    double force[3];
    TetraForce(*t.tetra, t.corner, t.scale, force);
    AddForce(*t.inner, force);
  }
}

void FreeField::CouplingPass(int kind) {
  for (const Dashpot& d : dashpots_[kind != 0 ? 1 : 0]) {
    const double* v = d.gp->velocity;
    ApplyQuietBlock& q = *d.block;
    if (q.gpA)
      for (int i = 0; i < 3; ++i) q.gpA->unbalancedForce[i] += 0.5 * (v[i] + q.ffSum[i]) * q.ffA[i];
    if (q.gpB)
      for (int i = 0; i < 3; ++i) q.gpB->unbalancedForce[i] += 0.5 * (v[i] + q.ffSum[i]) * q.ffB[i];
    for (int i = 0; i < 3; ++i) q.ffSum[i] = v[i];
  }
}

// ---------------------------------------------------------------------------
// Creation

int32_t FreeField::Create(CommandType& interp) {
  EnsureApplyLinks();
  for (ApplyCondition* c = GlobalApplyList().Head(); c; c = ApplyList::Next(c))
    if (c->TargetKind() == ApplyCondition::kFace && c->FindValue(kApplyFreeFieldLink, 0))
      throw QJExcept("Free-field already exists");

  double largest = 0.0;
  for (Zone* z : ZoneList()) largest = std::max(largest, z->Volume());
  const double edge = std::fabs(std::cbrt(largest));
  double lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
  bool any = false;
  for (GridPoint* gp : GridPointList()) {
    if (gp->flags & NodeBase::kDeleteMark) continue;
    for (int i = 0; i < 3; ++i) {
      lo[i] = any ? std::min(lo[i], gp->position[i]) : gp->position[i];
      hi[i] = any ? std::max(hi[i], gp->position[i]) : gp->position[i];
    }
    any = true;
  }
  const double zbase = lo[2];
  const double d = std::min(hi[0] - lo[0], hi[1] - lo[1]);
  const double gap = 0.1 * d, tolerance = 0.001 * d;
  Planes planes;
  planes.coordinate[0] = lo[0];
  planes.coordinate[1] = hi[0];
  planes.coordinate[2] = lo[1];
  planes.coordinate[3] = hi[1];

  Builder builder(interp, edge, gap, tolerance, zbase);
  // The boundary check: every side has faces, and they reach down to the base.
  std::vector<PlaneFace> inner[4];
  builder.PlaneFaces(0, planes, inner);
  for (int p = 0; p < 4; ++p) {
    if (inner[p].empty() || !(edge > 0.0)) {
      interp << "+++ Warning!  No boundary faces on vertical plane at " << (p < 2 ? "x=" : "y=")
             << DoubleToString(planes.coordinate[p]) << "\n";
      NotCreated();
    }
    double lowest = inner[p].front().zone->GetFaceGp(inner[p].front().face, 0)->position[2];
    for (const PlaneFace& f : inner[p])
      for (int c = 0; c < 4; ++c) lowest = std::min(lowest, f.zone->GetFaceGp(f.face, c)->position[2]);
    if (std::fabs(lowest - zbase) > tolerance) {
      interp << "+++ Warning!  Base of model is not horizontal\n";
      NotCreated();
    }
  }
  // The zones copied must be able to take their mass.
  const bool dynamic = Modes().dynamic && Modes().dynamic->On();
  for (const auto& list : inner)
    for (const PlaneFace& f : list)
      if (dynamic && !(f.zone->Density() > 0.0)) throw QJExcept("Density not defined");

  int32_t coupled = 0;
  std::vector<PlaneFace> ends[4];
  for (int pass = 0; pass < 2; ++pass)
    for (int p = 0; p < 4; ++p) {
      // The ends of the side grids, once they are all built.
      if (pass == 1 && p == 0) builder.PlaneFaces(1, planes, ends);
      for (const PlaneFace& f : pass == 0 ? inner[p] : ends[p]) {
        builder.MarkFace(f.zone, f.face);
        builder.BuildZone(f.zone, f.face, p, pass);
        if (pass == 0) ++coupled;
      }
    }

  for (Zone* z : builder.Zones()) z->CheckBeforeCycle(interp);
  FreeField field;
  field.Build();
  field.Step();
  ZoneForces(builder.Zones());
  builder.CopyBaseConditions(0);
  builder.CopyBaseConditions(1);
  PrepareFreeFieldConditions();
  for (GridPoint* gp : builder.GridPoints())
    for (int dir = 1; dir <= 3; ++dir) ApplyCondition::AddReactionForce(*gp, dir);
  // The coupled inner faces: their base grid-points keep their supports, the
  // others hand them over to forces.
  std::unordered_set<const GridPoint*> done;
  std::vector<GridPoint*> coupledGps;
  for (ApplyCondition* c = GlobalApplyList().Head(); c; c = ApplyList::Next(c)) {
    const ApplyQuietBlock* q = c->Quiet();
    if (c->TargetKind() != ApplyCondition::kFace || !q || !q->ffFace || !c->Face()) continue;
    const Zone* z = c->Face()->GetZone();
    if (!z || IsFreeFieldZone(*z)) continue;
    for (int k = 0; k < 4; ++k) {
      GridPoint* gp = c->Face()->GetGp(k);
      if (gp && done.insert(gp).second) coupledGps.push_back(gp);
    }
  }
  for (GridPoint* gp : coupledGps) {
    if (std::fabs(gp->position[2] - zbase) <= tolerance)
      for (int dir = 1; dir <= 3; ++dir) ApplyCondition::AddReactionForce(*gp, dir);
    else
      ApplyCondition::FixityToReaction(*gp);
  }
  int32_t count = 0;
  for (Zone* z : builder.Zones())
    if (!z->IsNull()) ++count;
  interp << " Created " << IntToString(count) << " free-field zones \n";
  return coupled;
}

// ---------------------------------------------------------------------------
// Removal

void FreeField::RemoveAll(CommandType& interp) {
  bool present = false;
  for (Zone* z : ZoneList()) present = present || IsFreeFieldZone(*z);
  for (GridPoint* gp : GridPointList()) present = present || (gp->flags & kGpFlags);
  if (!present) return;
  EnsureApplyLinks();
  // Only the free field's own grid-points go; a grid-point that an inner
  // zone uses stays whatever its marks.
  for (GridPoint* gp : GridPointList())
    if (gp->flags & kGpFlags) gp->flags |= NodeBase::kDeleteMark;
  std::vector<Zone*> doomed;
  for (Zone* z : ZoneList()) {
    if (IsFreeFieldZone(*z)) {
      z->SetFlags(z->Flags() | Zone::kDeleted);
      doomed.push_back(z);
    } else {
      z->SetFlags(z->Flags() & ~Zone::kDeleted);
      for (int s = 0; s < kZoneSlots; ++s)
        if (GridPoint* gp = z->Gp(s)) gp->flags &= ~NodeBase::kDeleteMark;
    }
  }
  // Inner faces still coupled to a zone that goes lose the coupling.
  for (ApplyCondition* c = GlobalApplyList().Head(); c; c = ApplyList::Next(c)) {
    ApplyQuietBlock* q = c->Quiet();
    if (!q) continue;
    const bool faceGone = q->ffFace && q->ffFace->GetZone() && (q->ffFace->GetZone()->Flags() & Zone::kDeleted);
    const bool linkGone =
        (q->gpA && (q->gpA->flags & NodeBase::kDeleteMark)) || (q->gpB && (q->gpB->flags & NodeBase::kDeleteMark));
    if (faceGone || linkGone) q->ResetFreeField();
  }
  const GridServices& hooks = GridHooks();
  if (hooks.removeDeletedInterfaces) hooks.removeDeletedInterfaces(interp);
  GlobalApplyList().PurgeDeleted();
  if (hooks.removeDeletedTies) hooks.removeDeletedTies();
  // Chains of the grid-points that stay let go of those that go.
  for (GridPoint* gp : GridPointList()) {
    if (gp->flags & NodeBase::kDeleteMark) continue;
    for (GridPoint::LinkedEntry** link = &gp->linked; *link;) {
      if ((*link)->gp->flags & NodeBase::kDeleteMark) {
        GridPoint::LinkedEntry* dead = *link;
        *link = dead->next;
        delete dead;
      } else {
        link = &(*link)->next;
      }
    }
  }
  for (Zone* z : doomed) DeleteZone(z);
  for (GridPoint* gp = GridPointList().Head(); gp;) {
    GridPoint* next = ModelList<GridPoint>::Next(gp);
    if (gp->flags & NodeBase::kDeleteMark) DeleteGridPoint(gp);
    gp = next;
  }
  GridIndexesChanged();
  NoteApplyEdit();
}

// ---------------------------------------------------------------------------

FreeField& TheFreeField() { return CurrentModel().Part<FreeFieldPart>().field; }

void InstallFreeField() {
  Model& model = CurrentModel();
  FreeFieldPart& part = model.Part<FreeFieldPart>();
  if (!part.participant)
    part.participant = &model.Participants().Add(std::make_unique<FreeFieldParticipant>(part.field));
  InstallModelCommand("gpattach", [](ModelInterpreter& interp) { GpAttachCommand(interp); });
}
