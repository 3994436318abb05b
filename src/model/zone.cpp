// Zones: construction, groups, overlays, queries and the whole-model checks;
// the zone-face reference and the zone-face list.
#include "model/zone.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <new>
#include <type_traits>

#include "base/except.h"
#include "base/savestream.h"
#include "cmodels/constitutive_model.h"
#include "model/calc_module.h"
#include "model/grid.h"
#include "model/grid_point.h"
#include "model/group.h"
#include "model/model.h"
#include "model/model_settings.h"

namespace {

double Triple(const double a[3], const double b[3], const double c[3], const double d[3]) {
  double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
  double v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
  double w[3] = {d[0] - a[0], d[1] - a[1], d[2] - a[2]};
  return (u[1] * v[2] - u[2] * v[1]) * w[0] + (u[2] * v[0] - u[0] * v[2]) * w[1] + (u[0] * v[1] - u[1] * v[0]) * w[2];
}

double Length(const double v[3]) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }
}  // namespace

ModelList<Zone>& ZoneList() { return CurrentModel().Zones(); }

uint32_t& ZoneIdCounter() { return CurrentModel().ZoneIds(); }
double& MinimumEdgeLength() { return CurrentModel().MinimumEdgeLength(); }

// ---------------------------------------------------------------------------
// Tetrahedron blocks

// A record of plain numbers whose starting values are all zero bytes: a
// block of zeros holds records ready for use, and the pool gives fresh
// memory without writing it again.
static_assert(std::is_aggregate_v<ZoneTetra> && std::is_trivially_copyable_v<ZoneTetra> &&
              std::is_trivially_destructible_v<ZoneTetra>);

ZoneTetra* NewTetraBlock(int count) {
  return static_cast<ZoneTetra*>(ModelAllocZeroed(sizeof(ZoneTetra) * static_cast<size_t>(count)));
}

void FreeTetraBlock(ZoneTetra* block) {
  if (block) ModelFree(block);
}

// ---------------------------------------------------------------------------
// Construction

void Zone::Init() {
  int32_t n = Settings().zoneExtras;
  extra_.Resize(static_cast<uint32_t>(n > 0 ? n : 0));
}

Zone::Zone() : LocatedObject(kZone) {
  uint32_t& counter = ZoneIdCounter();
  // Id 0 names no object: a counter at the top of its range goes on at 1.
  do {
    ++counter;
  } while (counter == 0 || ZoneIdInUse(counter));
  id_ = counter;
  Init();
  TheModules().ZoneCreated(*this);
}

Zone::Zone(uint32_t givenId) : LocatedObject(kZone) {
  ++ZoneIdCounter();
  id_ = givenId;
  Init();
  TheModules().ZoneCreated(*this);
}

Zone::~Zone() {
  FreeMechanical(0);
  FreeMechanical(1);
  model_.reset();
  thermal.reset();
  fluid.reset();
  dynamicMultiplier.reset();
  chemistry.reset();
  if (ParticleRemover lost = ParticleZoneLost())
    for (Particle* p : particles) lost(p);
  particles.clear();
  damping.reset();
  FreeTetra();
}

void Zone::FreeMechanical(int overlay) {
  FreeTetraBlock(mech_[overlay]);
  mech_[overlay] = nullptr;
}

void Zone::FillRepeatedSlots() {
  const uint8_t* source = zone_tables::kSlotSource[type_];
  for (int s = GpCount(); s < kZoneSlots; ++s) gp_[s] = gp_[source[s]];
}

// ---------------------------------------------------------------------------
// Model and group

void Zone::SetModel(std::unique_ptr<ConstitutiveModel> model) { model_ = std::move(model); }

bool Zone::IsNull() const { return model_ && model_->IsNull(); }

String Zone::ModelName() const { return model_ ? String(model_->Name()) : String("Undefined"); }

String Zone::GroupName() const { return group_ ? group_->Name() : String("None"); }

void Zone::SetGroup(Group* group) {
  if (group && IsNoGroupName(group->Name()) && !group->Name().IsEmpty()) group = nullptr;
  Group* old = group_;
  const int n = GpCount();
  // Every grid-point must take the change before any does.
  for (int i = 0; i < n; ++i)
    if (gp_[i]) gp_[i]->CheckChangeGroup(group, old);
  group_ = group;
  for (int i = 0; i < n; ++i)
    if (gp_[i]) gp_[i]->ChangeGroup(group, old);
}

void Zone::SetGroupByName(const String& name) { SetGroup(FindOrCreateGroup(name)); }

void ClearAllGroups() {
  for (GridPoint* gp : GridPointList()) gp->ClearGroups();
  for (Zone* z : ZoneList()) {
    Group* former = z->GetGroup();
    z->SetGroupPointer(nullptr);
    z->SetGroup(former);
  }
}

bool ZoneModelMatches(const Zone& zone, const String& name) {
  String full = zone.Model() ? String(zone.Model()->Name()) : String("undefined");
  return full.ComparePrefix(name.c_str()) == 0;
}

void MarkModelGridPoints(const String& modelName) {
  for (GridPoint* gp : GridPointList()) gp->flags &= ~NodeBase::kModelRangeMark;
  for (Zone* z : ZoneList()) {
    if (!ZoneModelMatches(*z, modelName)) continue;
    for (int s = 0; s < kZoneSlots; ++s)
      if (GridPoint* gp = z->Gp(s)) gp->flags |= NodeBase::kModelRangeMark;
  }
}

void Zone::PrefetchCorners(bool positions) const {
  for (const GridPoint* gp : gp_)
    if (gp) __builtin_prefetch(positions ? static_cast<const void*>(gp->position) : gp);
}

void Zone::PrefetchNeighbours() const {
  for (const Zone* n : neighbour_)
    if (n) __builtin_prefetch(n);
}

// ---------------------------------------------------------------------------
// Overlays

void Zone::FlagBadOverlays() {
  double sixfold[2][kMaxOverlayTetra];
  FlagBadOverlays(sixfold);
}

void Zone::FlagBadOverlays(double sixfold[2][kMaxOverlayTetra]) {
  // The distance of each corner from the origin scales the tolerance of
  // every tetrahedron it belongs to.
  double length[kZoneSlots] = {};
  for (int s = 0; s < GpCount(); ++s)
    if (gp_[s]) length[s] = Length(gp_[s]->position);
  for (int o = 0; o < 2; ++o) {
    const TetraDef* defs = OverlayDefinitions(type_, o);
    for (int k = 0; k < TetraPerOverlay(); ++k) {
      const double* p[4];
      double r = 0.0;
      for (int c = 0; c < 4; ++c) {
        p[c] = gp_[defs[k].gp[c]]->position;
        r = std::max(r, length[defs[k].gp[c]]);
      }
      double tolerance = std::max(std::fabs(1e-14 * r), 1e-14);
      sixfold[o][k] = Triple(p[0], p[1], p[2], p[3]);
      // The rest of an unusable overlay is never used.
      if (sixfold[o][k] < tolerance) {
        flags_ |= o == 0 ? kBadOverlayA : kBadOverlayB;
        break;
      }
    }
  }
}

void Zone::UseOverlays(bool a, bool b) {
  const bool use[2] = {a, b};
  for (int o = 0; o < 2; ++o) {
    if (!use[o]) {
      FreeMechanical(o);
      continue;
    }
    if (!mech_[o]) mech_[o] = NewTetraBlock(TetraPerOverlay());
    const TetraDef* defs = OverlayDefinitions(type_, o);
    for (int k = 0; k < TetraPerOverlay(); ++k) SetTetraVolume(defs[k], mech_[o][k]);
  }
}

bool Zone::Overlay(int code) {
  flags_ &= ~(kBadOverlayA | kBadOverlayB);
  double sixfold[2][kMaxOverlayTetra];
  FlagBadOverlays(sixfold);
  const bool badA = flags_ & kBadOverlayA, badB = flags_ & kBadOverlayB;
  if (badA && badB) return false;
  bool use[2] = {true, true};
  switch (code) {
    case 0:
      use[0] = use[1] = false;
      break;
    case 2:
      use[0] = !badA;
      use[1] = !badB;
      break;
    case 1:
    case -1: {
      int countA = 0, countB = 0;
      for (Zone* n : neighbour_) {
        if (!n) continue;
        if (n->mech_[0]) ++countA;
        if (n->mech_[1]) ++countB;
      }
      bool useA = countA == countB ? code == 1 : countB > countA;
      if (useA && badA)
        useA = false;
      else if (!useA && badB)
        useA = true;
      use[0] = useA;
      use[1] = !useA;
      break;
    }
    default:
      throw QJExcept("Bad overlay code");
  }
  if (!model_ || model_->IsNull()) use[0] = use[1] = false;
  for (int o = 0; o < 2; ++o) {
    if (use[o] && !mech_[o]) mech_[o] = NewTetraBlock(TetraPerOverlay());
    if (!use[o]) FreeMechanical(o);
  }
  // The volumes from the products found above: the same figures as
  // SetTetraVolume would give.
  for (int o = 0; o < 2; ++o)
    for (int k = 0; mech_[o] && k < TetraPerOverlay(); ++k) mech_[o][k].volume = sixfold[o][k] / 6.0;
  return true;
}

void Zone::SetTetraVolume(const TetraDef& def, ZoneTetra& tetra) const { tetra.volume = TetraDefVolume(def, *this); }

ZoneTetra* Zone::GetTetra(int which) {
  if (which != 1 && which != 2) return nullptr;
  if (!aux_[0] || !aux_[1]) {
    BuildTetra();
    CheckTetraVolumes();
  }
  return aux_[which - 1];
}

void Zone::BuildTetra() {
  for (ZoneTetra*& block : aux_)
    if (!block) block = NewTetraBlock(TetraPerOverlay());
}

void Zone::FreeTetra() {
  for (ZoneTetra*& block : aux_) {
    FreeTetraBlock(block);
    block = nullptr;
  }
}

void Zone::CheckTetraVolumes() {
  bool modes = (thermal && thermal->ModelType() > 0) || (fluid && fluid->ModelType() > 0);
  if (!modes) return;
  for (int o = 0; o < 2; ++o) {
    if (!aux_[o]) continue;
    const TetraDef* defs = OverlayDefinitions(type_, o);
    for (int k = 0; k < TetraPerOverlay(); ++k) {
      const uint8_t* c = defs[k].gp;
      ZoneTetra& t = aux_[o][k];
      t.ComputeGeometry(*gp_[c[0]], *gp_[c[1]], *gp_[c[2]], *gp_[c[3]]);
      if (t.volume <= 0.0) throw QJExcept("Zero volume tet in zone " + UIntToString(id_));
    }
  }
}

uint16_t Zone::GetState(int* count, bool average) const {
  int n = model_ ? model_->NumberOfStates() : 0;
  if (count) *count = n;
  uint16_t bits = 0;
  const int per = TetraPerOverlay();
  // Before the first preparation for cycling the stored volume is still 0:
  // the geometry gives it.
  const double volume = average && !(volume_ > 0.0) ? Volume() : volume_;
  for (int i = 0; i < n && i < 16; ++i) {
    const uint16_t bit = static_cast<uint16_t>(1u << i);
    if (!average) {
      for (ZoneTetra* block : mech_)
        for (int k = 0; block && k < per; ++k)
          if (block[k].state & bit) bits |= bit;
      continue;
    }
    double sum = 0.0;
    for (ZoneTetra* block : mech_)
      for (int k = 0; block && k < per; ++k)
        if (block[k].state & bit) sum += block[k].volume;
    double share = volume > 0.0 ? sum / volume : 0.0;
    if (mech_[0] && mech_[1]) share *= 0.5;
    if (share >= 0.5) bits |= bit;
  }
  return bits;
}

void Zone::SetTetraState(uint16_t state) {
  for (ZoneTetra* block : mech_)
    for (int k = 0; block && k < TetraPerOverlay(); ++k) block[k].state = state;
}

String Zone::GetStateName(int index) const {
  if (!model_ || index < 0 || index > model_->NumberOfStates() || index >= 32) return String();
  return String(model_->GetState(1u << index));
}

// ---------------------------------------------------------------------------
// Queries

void Zone::Centroid(double out[3]) const {
  const int n = GpCount();
  out[0] = out[1] = out[2] = 0.0;
  for (int i = 0; i < n; ++i)
    for (int c = 0; c < 3; ++c) out[c] += gp_[i]->position[c];
  for (int c = 0; c < 3; ++c) out[c] /= n;
}

double Zone::AveragePorePressure() const {
  if (!Settings().porePressure) return 0.0;
  const int n = GpCount();
  double sum = 0.0;
  for (int i = 0; i < n; ++i) sum += gp_[i]->porePressure;
  return sum / n;
}

int Zone::FindFace(uint32_t id1, uint32_t id2, uint32_t id3) const {
  if (id1 == id2 || id1 == id3 || id2 == id3) return -1;
  const uint32_t ids[3] = {id1, id2, id3};
  for (int f = 0; f < kZoneFaces; ++f) {
    const int n = FaceGpCount(f);
    if (n < 3) continue;
    bool all = true;
    for (uint32_t id : ids) {
      int found = 0;
      for (int c = 0; c < n; ++c)
        if (GetFaceGp(f, c)->id == id) ++found;
      all = all && found == 1;
    }
    if (all) return f;
  }
  return -1;
}

bool Zone::FaceHasMarkedGp(int face) const {
  for (int c = 0; c < FaceGpCount(face); ++c)
    if (GetFaceGp(face, c)->flags & 0xE04000u) return true;
  return false;
}

bool Zone::IsMarkedBoundaryFace(int face) const {
  if (neighbour_[face]) return false;
  for (int c = 0; c < FaceGpCount(face); ++c)
    if (!(GetFaceGp(face, c)->flags & NodeBase::kFixPorePressure)) return false;
  return true;
}

int Zone::NearestGp(const double p[3]) const {
  int best = 0;
  double bestD = DBL_MAX;
  for (int i = 0; i < GpCount(); ++i) {
    const double* q = gp_[i]->position;
    double d = (q[0] - p[0]) * (q[0] - p[0]) + (q[1] - p[1]) * (q[1] - p[1]) + (q[2] - p[2]) * (q[2] - p[2]);
    if (d < bestD) {
      bestD = d;
      best = i;
    }
  }
  return best;
}

double Zone::BoundingBox(double min[3], double max[3]) const {
  for (int c = 0; c < 3; ++c) {
    min[c] = DBL_MAX;
    max[c] = -DBL_MAX;
  }
  for (int i = 0; i < GpCount(); ++i)
    for (int c = 0; c < 3; ++c) {
      min[c] = std::min(min[c], gp_[i]->position[c]);
      max[c] = std::max(max[c], gp_[i]->position[c]);
    }
  return std::max({max[0] - min[0], max[1] - min[1], max[2] - min[2]});
}

void Zone::UpdateMinEdgeLen() {
  double best = DBL_MAX;
  for (int e = 0; e < zone_tables::kEdgeCount[type_]; ++e) {
    const double* a = gp_[zone_tables::kEdges[type_][e][0]]->position;
    const double* b = gp_[zone_tables::kEdges[type_][e][1]]->position;
    double d = (a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]);
    if (d > 0.0 && d < best) best = d;
  }
  if (best == DBL_MAX) throw QJExcept("Degenerate zone found in UpdateMinEdgeLen().");
  minEdge_ = std::sqrt(best);
  double& least = MinimumEdgeLength();
  if (minEdge_ < least) least = minEdge_;
}

// ---------------------------------------------------------------------------
// Whole-model checks

bool Zone::CheckDegenerate(String& text) const {
  const int n = GpCount();
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) {
      const GridPoint* a = gp_[i];
      const GridPoint* b = gp_[j];
      bool same = a->id == b->id;
      bool coincide = !same && a->position[0] == b->position[0] && a->position[1] == b->position[1] &&
                      a->position[2] == b->position[2];
      if (!same && !coincide) continue;
      text = FormatText("Zone %1 is degenerate.\n", UIntToString(id_).c_str());
      if (same)
        text += FormatText("Gp %1 occurs more than once.\n", UIntToString(a->id).c_str());
      else
        text += FormatText("Gps %1 and %2 have the same coordinates.\n", UIntToString(a->id).c_str(),
                           UIntToString(b->id).c_str());
      return true;
    }
  }
  return false;
}

bool Zone::CheckNumbering(String& text) const {
  static constexpr uint8_t kCorners[4][4] = {{0, 1, 2, 3}, {1, 4, 0, 6}, {4, 2, 1, 7}, {2, 0, 4, 5}};
  const int tests = type_ == kTetrahedron ? 1 : 4;
  for (int t = 0; t < tests; ++t) {
    const uint8_t* c = kCorners[t];
    if (Triple(gp_[c[0]]->position, gp_[c[1]]->position, gp_[c[2]]->position, gp_[c[3]]->position) > 0.0) continue;
    text = "Zone " + UIntToString(id_) + " does not conform to node numbering convention.\n";
    return false;
  }
  return true;
}

void CheckAllZones() {
  String text;
  for (Zone* z : ZoneList()) {
    if (z->CheckDegenerate(text)) throw QJExcept(text);
    if (!z->CheckNumbering(text)) throw QJExcept(text);
  }
}

// ---------------------------------------------------------------------------
// Zone faces

void ZoneFace::Centroid(double out[3]) const {
  out[0] = out[1] = out[2] = 0.0;
  const int n = GpCount();
  for (int c = 0; c < n; ++c)
    for (int i = 0; i < 3; ++i) out[i] += GetGp(c)->position[i];
  if (n > 0)
    for (int i = 0; i < 3; ++i) out[i] /= n;
}

void ZoneFace::GetPosition(double out[3]) const { Centroid(out); }

double ZoneFace::MaxEdgeLength() const {
  const int n = GpCount();
  double best = 0.0;
  for (int c = 0; c < n; ++c) {
    const double* a = GetGp(c)->position;
    const double* b = GetGp((c + 1) % n)->position;
    double d[3] = {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
    best = std::max(best, Length(d));
  }
  return best;
}

double ZoneFace::BoundingBox(double min[3], double max[3]) const {
  for (int i = 0; i < 3; ++i) {
    min[i] = DBL_MAX;
    max[i] = -DBL_MAX;
  }
  for (int c = 0; c < GpCount(); ++c)
    for (int i = 0; i < 3; ++i) {
      min[i] = std::min(min[i], GetGp(c)->position[i]);
      max[i] = std::max(max[i], GetGp(c)->position[i]);
    }
  return std::max({max[0] - min[0], max[1] - min[1], max[2] - min[2]});
}

// The face tables list the corners with the inward normal of the right-hand
// rule; Newell's sum gives it for warped faces too.
void ZoneFace::OutwardNormal(double n[3]) const {
  n[0] = n[1] = n[2] = 0.0;
  const int count = GpCount();
  for (int c = 0; c < count; ++c) {
    const double* a = GetGp(c)->position;
    const double* b = GetGp((c + 1) % count)->position;
    n[0] -= (a[1] - b[1]) * (a[2] + b[2]);
    n[1] -= (a[2] - b[2]) * (a[0] + b[0]);
    n[2] -= (a[0] - b[0]) * (a[1] + b[1]);
  }
  double len = Length(n);
  if (len > 0.0)
    for (int i = 0; i < 3; ++i) n[i] /= len;
}

void ZoneFace::Save(SaveStream& s) const {
  s.WriteU8(face_);
  SavePointer(s, zone_);
}

void ZoneFace::Restore(SaveStream& s) {
  uint8_t face = s.ReadU8();
  if (face >= kZoneFaces) s.ReadFailure();
  face_ = face;
  zone_ = nullptr;
  savedIndex_ = s.ReadU32();
}

void ZoneFace::Resolve() {
  if (zone_) return;
  zone_ = static_cast<Zone*>(ZoneList().GetByIndex(savedIndex_));
  savedIndex_ = 0;
}

void FaceWeights::Save(SaveStream& s) const {
  for (double w : weight) s.WriteF64(w);
  s.WriteU8(warped);
  s.WriteU8(inside);
}

void FaceWeights::Restore(SaveStream& s) {
  for (double& w : weight) w = s.ReadF64();
  warped = s.ReadU8();
  inside = s.ReadU8();
}

ZoneFace*& ZoneFaceListHead() { return CurrentModel().ZoneFaces(); }

namespace {
// Records read from a file still hold the zone's save index.
bool SameFace(const ZoneFace& a, const ZoneFace& b) {
  return a.Face() == b.Face() && a.GetZone() == b.GetZone() && a.SavedIndex() == b.SavedIndex();
}
}  // namespace

void InsertUniqueRecord(ZoneFace*& head, ZoneFace*& record) {
  if (!record) return;
  for (ZoneFace* f = head; f; f = f->next) {
    if (SameFace(*f, *record)) {
      delete record;
      record = nullptr;
      return;
    }
  }
  record->next = head;
  head = record;
}

void ClearZoneFaceList(ZoneFace*& head) {
  while (head) {
    ZoneFace* next = head->next;
    delete head;
    head = next;
  }
}

void RemoveZoneFaces(ZoneFace*& head, const Zone* zone) {
  for (ZoneFace** link = &head; *link;) {
    if ((*link)->GetZone() == zone) {
      ZoneFace* dead = *link;
      *link = dead->next;
      delete dead;
    } else {
      link = &(*link)->next;
    }
  }
}

void SaveZoneFaceList(SaveStream& s, const ZoneFace* head) {
  uint32_t n = 0;
  for (const ZoneFace* f = head; f; f = f->next) ++n;
  s.WriteU32(n);
  for (const ZoneFace* f = head; f; f = f->next) f->Save(s);
}

void RestoreZoneFaceList(SaveStream& s, ZoneFace*& head) {
  uint32_t n = s.ReadU32();
  s.CheckAvailable(uint64_t{n} * 5);
  for (uint32_t i = 0; i < n; ++i) {
    ZoneFace* record = new ZoneFace();
    try {
      record->Restore(s);
    } catch (...) {
      delete record;
      throw;
    }
    InsertUniqueRecord(head, record);
  }
}

void ResolveZoneFaceList(ZoneFace* head) {
  for (ZoneFace* f = head; f; f = f->next) f->Resolve();
}

int ZoneFaceOfGridPoints(GridPoint* const gps[4], const Zone& zone) {
  for (int f = 0; f < kZoneFaces; ++f) {
    bool match = true;
    for (int k = 0; k < 4 && match; ++k) {
      if (!gps[k]) continue;
      GridPoint* corner = zone.GetFaceGp(f, k);
      match = corner && (corner == gps[0] || corner == gps[1] || corner == gps[2] || corner == gps[3]);
    }
    if (match) return f;
  }
  return 6;
}
