// Apply records: their value chains, blocks, removal rules, conflict checks,
// reaction capture and save form.
#include "mechanics/apply_condition.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "base/except.h"
#include "base/message.h"
#include "base/numeric.h"
#include "base/savestream.h"
#include "cmodels/constitutive_model.h"
#include "mechanics/apply_geometry.h"
#include "model/calc_module.h"
#include "model/grid.h"
#include "model/model.h"
#include "model/model_settings.h"
#include "model/restore_fields.h"
#include "model/services.h"

namespace {

uint64_t g_applyEdits = 0;
// Set by a restore until the grid-points are linked to their records again.
bool g_relinkPending = false;

void WriteVec(SaveStream& s, const double v[3]) {
  for (int i = 0; i < 3; ++i) s.WriteF64(v[i]);
}

void ReadVec(SaveStream& s, double v[3], bool asFloat) {
  for (int i = 0; i < 3; ++i) v[i] = asFloat ? s.ReadF32() : s.ReadF64();
}

// The largest direction a quantity code takes; 0 for an unknown code.
int MaxDirection(uint8_t code) {
  switch (code) {
    case kApplyStress:
    case kApplyStressHist:
      return 6;
    case kApplyFreeFieldLink:
      return 3;
    default:
      break;
  }
  if (code >= kApplyForce && code <= kApplyLocalStressHist) return 3;
  if (code == kApplyQuiet) return 3;
  if (code >= kApplyPointSource && code <= kApplyPorePressureHist) return 1;
  return 0;
}

bool IsVelocityCode(uint8_t code) { return code >= kApplyVelocity && code <= kApplyLocalAcceleration; }

// The face's distinct corner grid-points (up to four).
int FaceCorners(const ZoneFace& face, GridPoint* out[4]) {
  const int n = face.GpCount();
  for (int c = 0; c < n && c < 4; ++c) out[c] = face.GetGp(c);
  return n < 4 ? n : 4;
}

bool NeedsQuiet(const ApplyCondition& record) {
  for (const ApplyValue* v = record.Values(); v; v = v->next)
    if (v->quantity == kApplyQuiet || v->quantity == kApplyFreeFieldLink) return true;
  return false;
}

// Grid-points whose quiet blocks may have lost the last face that needed
// them, and the depth of the batches that collect them.
std::vector<GridPoint*>& QuietCandidates() {
  static std::vector<GridPoint*> candidates;
  return candidates;
}
int g_quietBatchDepth = 0;

// Drops the quiet blocks of the candidates that no quiet or free-field face
// has among its corners any more, and the records that this leaves empty.
void DropUnneededQuietBlocks() {
  std::vector<GridPoint*>& candidates = QuietCandidates();
  if (candidates.empty()) return;
  std::vector<const GridPoint*> needed;
  for (ApplyCondition* c = GlobalApplyList().Head(); c; c = ApplyList::Next(c)) {
    if (c->TargetKind() != ApplyCondition::kFace || !c->Face() || !NeedsQuiet(*c)) continue;
    GridPoint* corners[4];
    const int n = FaceCorners(*c->Face(), corners);
    needed.insert(needed.end(), corners, corners + n);
  }
  std::sort(needed.begin(), needed.end(), std::less<const GridPoint*>());
  std::sort(candidates.begin(), candidates.end(), std::less<const GridPoint*>());
  candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
  for (GridPoint* gp : candidates) {
    auto* record = static_cast<ApplyCondition*>(gp->apply);
    if (!record || !record->Quiet()) continue;
    if (std::binary_search(needed.begin(), needed.end(), gp, std::less<const GridPoint*>())) continue;
    record->DropQuietBlock();
  }
  candidates.clear();
}

// The coupling coefficients, toward the grid-point, of the free-field
// grid-point of the face's free-field zone that drives it; none without.
double* FreeFieldCoefficients(const ApplyCondition& face, const GridPoint* gp) {
  const ApplyQuietBlock* own = face.Quiet();
  const Zone* zone = own && own->ffFace ? own->ffFace->GetZone() : nullptr;
  for (int s = 0; zone && s < zone->GpCount(); ++s) {
    const auto* record = static_cast<const ApplyCondition*>(zone->Gp(s)->apply);
    ApplyQuietBlock* q = record ? record->Quiet() : nullptr;
    if (q && q->gpA == gp) return q->ffA;
    if (q && q->gpB == gp) return q->ffB;
  }
  return nullptr;
}

}  // namespace

uint64_t ApplyEditCount() { return g_applyEdits; }
void NoteApplyEdit() { ++g_applyEdits; }

uint8_t ApplyHistoryCode(uint8_t code) {
  switch (code) {
    case kApplyForce:
    case kApplyBodyForce:
    case kApplyStress:
    case kApplyLocalStress:
    case kApplyPointSource:
    case kApplyVolumeSource:
    case kApplyFlux:
    case kApplyPointWell:
    case kApplyVolumeWell:
    case kApplyDischarge:
    case kApplyPorePressure:
      return static_cast<uint8_t>(code + 1);
    default:
      return code;
  }
}

void CheckTableNumber(int32_t number) {
  if (CurrentModel().Script().TableExists(number)) return;
  throw QJExcept(MessageText("Table %s not found", IntToString(number)));
}

int32_t TableNumberOfName(const String& name) {
  int32_t number = 0;
  if (CurrentModel().Script().TableNumber(name, &number)) return number;
  throw QJExcept(MessageText("Table '%s' not found", name));
}

// ---------------------------------------------------------------------------
// ApplyValue

void ApplyValue::Set(uint8_t q, uint8_t d, uint8_t kind, uint32_t tableNumber, ZoltSymbol* fn, CalcModule* base,
                     double v, double secondValue, const double g[3], bool add, bool multiply) {
  quantity = q;
  direction = d;
  multiplierKind = kind;
  table = tableNumber;
  function = fn;
  timeBase = base;
  second = secondValue;
  if (add) {
    value += v;
    for (int i = 0; i < 3; ++i) gradient[i] += g[i];
  } else if (multiply) {
    value *= v;
  } else {
    value = v;
    for (int i = 0; i < 3; ++i) gradient[i] = g[i];
  }
  NoteApplyEdit();
}

double ApplyValue::Multiplier() const {
  if (multiplierKind == kMultiplierTable) {
    double x = static_cast<double>(static_cast<uint32_t>(Settings().totalCycles));
    if (timeBase && timeBase->On()) x = timeBase->Time();
    return CurrentModel().Script().TableValue(static_cast<int32_t>(table), x);
  }
  if (multiplierKind == kMultiplierFunction && function) return CurrentModel().Script().SymbolValue(function);
  return 1.0;
}

void ApplyValue::Save(SaveStream& s) const {
  s.WriteU8(quantity);
  s.WriteU8(direction);
  s.WriteU8(multiplierKind);
  s.WriteU32(table);
  s.WriteU32(SymbolIndex(function));
  s.WriteF64(value);
  s.WriteF64(second);
  WriteVec(s, gradient);
  s.WriteU8(timeBase ? timeBase->TypeCode() : 0);
}

void ApplyValue::Restore(SaveStream& s) {
  quantity = s.ReadU8();
  direction = s.ReadU8();
  // A code or direction that no quantity has would index past the tables.
  const int maxDirection = MaxDirection(quantity);
  if (maxDirection == 0 || direction > maxDirection) s.ReadFailure();
  if (quantity != kApplyFreeFieldLink && direction == 0) s.ReadFailure();
  multiplierKind = s.ReadU8();
  table = s.ReadU32();
  savedFunction_ = FileVersion() >= 1 ? s.ReadU32() : 0;
  function = nullptr;
  value = s.ReadF64();
  second = s.ReadF64();
  ReadVec(s, gradient, false);
  savedTimeBase_ = s.ReadU8();
  timeBase = nullptr;
}

void ApplyValue::RemapPointers() {
  function = SymbolOfSavedIndex(savedFunction_);
  timeBase = TimeBaseOfSavedCode(savedTimeBase_);
  savedFunction_ = 0;
  savedTimeBase_ = 0;
}

// ---------------------------------------------------------------------------
// Blocks

void ApplyLocalBlock::Set(uint8_t quantity, int direction, const double newAxes[3][3], bool plane) {
  mask |= 1u << (direction - 1);
  kind[direction - 1] = quantity;
  local = (quantity == kApplyLocalVelocity || quantity == kApplyLocalAcceleration) ? 1 : 0;
  planeGiven = plane ? 1 : 0;
  if (local)
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) axes[i][j] = newAxes[i][j];
}

ApplyQuietBlock::ApplyQuietBlock() = default;
ApplyQuietBlock::~ApplyQuietBlock() = default;

void ApplyQuietBlock::ResetFreeField() {
  gpA = gpB = nullptr;
  for (int i = 0; i < 3; ++i) ffA[i] = ffB[i] = ffSum[i] = 0.0;
  ffFace.reset();
}

// ---------------------------------------------------------------------------
// ApplyCondition

ApplyCondition::~ApplyCondition() {
  if (kind_ == kGridPoint && gp_ && gp_->apply == this) gp_->apply = nullptr;
  while (values_) {
    ApplyValue* next = values_->next;
    delete values_;
    values_ = next;
  }
  NoteApplyEdit();
}

ApplyCondition* ApplyCondition::Create(GridPoint* gp) {
  auto* c = new ApplyCondition();
  c->kind_ = kGridPoint;
  c->gp_ = gp;
  GlobalApplyList().Append(c);
  if (gp) gp->apply = c;
  NoteApplyEdit();
  return c;
}

ApplyCondition* ApplyCondition::Create(Zone* zone) {
  auto* c = new ApplyCondition();
  c->kind_ = kZone;
  c->zone_ = zone;
  GlobalApplyList().Append(c);
  NoteApplyEdit();
  return c;
}

ApplyCondition* ApplyCondition::Create(std::unique_ptr<ZoneFace> face) {
  auto* c = new ApplyCondition();
  c->kind_ = kFace;
  c->face_ = std::move(face);
  GlobalApplyList().Append(c);
  NoteApplyEdit();
  return c;
}

Zone* ApplyCondition::GetZone() const {
  if (kind_ == kZone) return zone_;
  if (kind_ == kFace && face_) return face_->GetZone();
  return nullptr;
}

ApplyValue* ApplyCondition::NewValue() {
  auto* v = new ApplyValue();
  v->next = values_;
  values_ = v;
  NoteApplyEdit();
  return v;
}

ApplyLocalBlock* ApplyCondition::NewLocalBlock() {
  local_ = std::make_unique<ApplyLocalBlock>();
  NoteApplyEdit();
  return local_.get();
}

ApplyQuietBlock* ApplyCondition::NewQuietBlock() {
  quiet_ = std::make_unique<ApplyQuietBlock>();
  NoteApplyEdit();
  return quiet_.get();
}

ApplyValue* ApplyCondition::FindValue(uint8_t quantity, uint8_t direction) const {
  for (ApplyValue* v = values_; v; v = v->next)
    if (v->quantity == quantity && v->direction == direction) return v;
  return nullptr;
}

bool ApplyCondition::DeleteValue(ApplyValue* item) {
  for (ApplyValue** link = &values_; *link; link = &(*link)->next) {
    if (*link != item) continue;
    *link = item->next;
    delete item;
    NoteApplyEdit();
    return true;
  }
  return false;
}

void ApplyCondition::RemoveValue(uint8_t quantity, uint8_t direction, bool* deleted) {
  if (deleted) *deleted = false;
  ApplyValue* item = FindValue(quantity, direction);
  // The direction's slot goes when it holds this quantity; a velocity and an
  // acceleration given in one direction share the slot, the later one in it.
  if (item && IsVelocityCode(quantity) && local_ && direction >= 1 && direction <= 3 &&
      local_->kind[direction - 1] == quantity) {
    local_->mask &= ~(1u << (direction - 1));
    local_->kind[direction - 1] = 0;
    if (local_->mask == 0) local_.reset();
  }
  if (kind_ == kGridPoint && gp_) {
    if (quantity == kApplyPointWell || quantity == kApplyPointWellHist) gp_->flags &= ~apply_flags::kPointWell;
    if (quantity == kApplyPorePressure || quantity == kApplyPorePressureHist) gp_->flags &= ~NodeBase::kFixPorePressure;
  }
  GridPoint* corners[4] = {};
  const int cornerCount = kind_ == kFace && face_ ? FaceCorners(*face_, corners) : 0;
  if (kind_ == kFace) {
    if (quantity == kApplyDischarge || quantity == kApplyDischargeHist)
      for (int c = 0; c < cornerCount; ++c) corners[c]->flags &= ~apply_flags::kDischarge;
    if (quantity == kApplyLeakage)
      for (int c = 0; c < cornerCount; ++c) corners[c]->flags &= ~apply_flags::kLeakage;
  }
  if (item) DeleteValue(item);
  if (item && (quantity == kApplyFreeFieldLink || quantity == kApplyQuiet) && kind_ == kFace) {
    // The face's own block, then the blocks of its corners that no other
    // quiet or free-field face still needs.
    if (quiet_) {
      if (quantity == kApplyFreeFieldLink)
        quiet_->ResetFreeField();
      else
        for (double& q : quiet_->quiet) q = 0.0;
      if (!NeedsQuiet(*this)) quiet_.reset();
    }
    for (int c = 0; c < cornerCount; ++c) {
      ApplyCondition* gpRecord = corners[c] ? static_cast<ApplyCondition*>(corners[c]->apply) : nullptr;
      if (!gpRecord || !gpRecord->quiet_) continue;
      if (quantity == kApplyFreeFieldLink) gpRecord->quiet_->ResetFreeField();
      if (!NeedsQuiet(*this)) QuietCandidates().push_back(corners[c]);
    }
    if (g_quietBatchDepth == 0) DropUnneededQuietBlocks();
  }
  NoteApplyEdit();
  if (IsEmpty()) {
    if (deleted) *deleted = true;
    GlobalApplyList().Discard(this);  // nothing of this record is touched after
  }
}

void ApplyCondition::DropQuietBlock() {
  quiet_.reset();
  NoteApplyEdit();
  if (IsEmpty()) GlobalApplyList().Discard(this);  // nothing of this record is touched after
}

ApplyQuietBatch::ApplyQuietBatch() { ++g_quietBatchDepth; }

ApplyQuietBatch::~ApplyQuietBatch() {
  if (--g_quietBatchDepth != 0) return;
  try {
    DropUnneededQuietBlocks();
  } catch (...) {
    // Out of memory: the unneeded blocks stay, which changes no result.
    QuietCandidates().clear();
  }
}

bool ApplyCondition::RemoveAll() {
  if (!InList()) return false;
  while (values_) {
    bool deleted = false;
    RemoveValue(values_->quantity, values_->direction, &deleted);
    if (deleted) return true;
  }
  return true;
}

void ApplyCondition::CheckVelocityConflict(const GridPoint& gp, uint8_t code, int direction, const double axes[3][3],
                                           bool planeGiven) {
  static const char* const kMixed = "Cannot have applied velocities in global and local axes at same gridpoint";
  static const char* const kFixed = "Cannot FIX and APPLY velocity in the same direction";
  const auto* record = static_cast<const ApplyCondition*>(gp.apply);
  const ApplyLocalBlock* block = record ? record->Local() : nullptr;
  const bool local = block && block->local;
  const bool global = block && !block->local;
  const bool fixed = !block && (gp.flags & NodeBase::kFixVelocity);
  const uint32_t bit = direction >= 1 && direction <= 3 ? 1u << (direction - 1) : 0;

  if (code == kApplyFixCheck) {
    if (local) throw QJExcept(kMixed);
    if (block && (block->mask & bit)) throw QJExcept(kFixed);
    return;
  }
  const bool newLocal = code == kApplyLocalVelocity || code == kApplyLocalAcceleration;
  if (newLocal && (global || fixed)) throw QJExcept(kMixed);
  if (!newLocal && local) throw QJExcept(kMixed);
  if (newLocal && local) {
    static const char* const kOther = "Grid-point already has applied velocities in another local axes system";
    if ((block->planeGiven != 0) != planeGiven) throw QJExcept(kOther);
    if (planeGiven) {
      for (int i = 0; i < 3; ++i) {
        double dot = 0.0;
        for (int j = 0; j < 3; ++j) dot += block->axes[i][j] * axes[i][j];
        if (dot < 0.995) throw QJExcept(kOther);
      }
    }
  }
  if (!newLocal && (gp.flags & bit)) throw QJExcept(kFixed);
}

void ApplyCondition::CheckFaceStressConflict(uint8_t code) const {
  const bool newLocal = code == kApplyLocalStress || code == kApplyLocalStressHist;
  const bool newGlobal = code == kApplyStress || code == kApplyStressHist;
  for (const ApplyValue* v = values_; v; v = v->next) {
    if ((newLocal && v->quantity == kApplyStress) || (newGlobal && v->quantity == kApplyLocalStress))
      throw QJExcept("Cannot apply stress in global and local axes on same face");
  }
}

void ApplyCondition::AddReactionForce(GridPoint& gp, int direction) {
  const int d = direction - 1;
  const double reaction = -(gp.appliedForce[1][d] + gp.appliedForce[0][d] + gp.unbalancedForce[d]);
  auto* record = static_cast<ApplyCondition*>(gp.apply);
  if (!record) record = Create(&gp);
  ApplyValue* item = record->FindValue(kApplyReaction, static_cast<uint8_t>(direction));
  if (!item) item = record->NewValue();
  static const double kZero[3] = {0, 0, 0};
  item->Set(kApplyReaction, static_cast<uint8_t>(direction), 0, 0, nullptr, nullptr, reaction, 0.0, kZero, false,
            false);
}

void ApplyCondition::FixityToReaction(GridPoint& gp) {
  gp.flags &= ~NodeBase::kFixVelocity;
  for (uint8_t code = kApplyVelocity; code <= kApplyLocalAcceleration; ++code) {
    for (uint8_t d = 1; d <= 3; ++d) {
      auto* record = static_cast<ApplyCondition*>(gp.apply);
      if (!record) break;
      if (record->FindValue(code, d)) record->RemoveValue(code, d);
    }
  }
  for (int d = 1; d <= 3; ++d) AddReactionForce(gp, d);
}

// ---------------------------------------------------------------------------
// Save form

void ApplyCondition::Save(SaveStream& s) const {
  s.WriteU8(kind_);
  if (kind_ == kGridPoint) {
    SavePointer(s, gp_);
  } else if (kind_ == kZone) {
    SavePointer(s, zone_);
  } else {
    SavePointer(s, face_ ? face_->GetZone() : nullptr);
    s.WriteU8(static_cast<uint8_t>(face_ ? face_->Face() : 0));
  }
  for (const ApplyValue* v = values_; v; v = v->next) {
    s.WriteU8(1);
    v->Save(s);
  }
  s.WriteU8(0);
  s.WriteU8(local_ ? 1 : 0);
  if (local_) {
    s.WriteU8(local_->local);
    s.WriteU8(local_->planeGiven);
    s.WriteU32(local_->mask);
    for (uint32_t k : local_->kind) s.WriteU32(k);
    for (const auto& row : local_->axes) WriteVec(s, row);
    WriteVec(s, local_->velocity);
    WriteVec(s, local_->acceleration);
  }
  s.WriteU8(quiet_ ? 1 : 0);
  if (quiet_) {
    WriteVec(s, quiet_->quiet);
    SavePointer(s, quiet_->gpA);
    SavePointer(s, quiet_->gpB);
    WriteVec(s, quiet_->ffA);
    WriteVec(s, quiet_->ffB);
    WriteVec(s, quiet_->ffSum);
    s.WriteU8(quiet_->ffFace ? 1 : 0);
    if (quiet_->ffFace) quiet_->ffFace->Save(s);
  }
}

void ApplyCondition::Restore(SaveStream& s) {
  const uint8_t kind = s.ReadU8();
  if (kind < kGridPoint || kind > kFace) s.ReadFailure();
  kind_ = kind;
  savedTarget_ = s.ReadU32();
  if (kind_ == kFace) {
    const uint8_t face = s.ReadU8();
    if (face >= kZoneFaces) s.ReadFailure();
    face_ = std::make_unique<ZoneFace>(nullptr, face);
  }
  // The chain comes back in its saved order, so that listings and the order
  // in which the values are summed stay as they were.
  ApplyValue** tail = &values_;
  while (s.ReadFlag()) {
    auto* v = new ApplyValue();
    *tail = v;
    tail = &v->next;
    v->Restore(s);
  }
  if (s.ReadFlag()) {
    local_ = std::make_unique<ApplyLocalBlock>();
    local_->local = s.ReadU8();
    local_->planeGiven = s.ReadU8();
    local_->mask = s.ReadU32() & 7u;
    for (uint32_t& k : local_->kind) {
      k = s.ReadU32();
      if (k != 0 && (k < kApplyVelocity || k > kApplyLocalAcceleration)) s.ReadFailure();
    }
    for (auto& row : local_->axes) ReadVec(s, row, false);
    ReadVec(s, local_->velocity, false);
    ReadVec(s, local_->acceleration, false);
  }
  if (s.ReadFlag()) {
    const bool floats = FileVersion() < 310;
    quiet_ = std::make_unique<ApplyQuietBlock>();
    ReadVec(s, quiet_->quiet, floats);
    quiet_->savedA = s.ReadU32();
    quiet_->savedB = s.ReadU32();
    ReadVec(s, quiet_->ffA, floats);
    ReadVec(s, quiet_->ffB, floats);
    ReadVec(s, quiet_->ffSum, floats);
    if (s.ReadFlag()) {
      quiet_->ffFace = std::make_unique<ZoneFace>();
      quiet_->ffFace->Restore(s);
    }
  }
  NoteApplyEdit();
}

void ApplyCondition::RemapPointers() {
  if (savedTarget_) {
    if (kind_ == kGridPoint) {
      gp_ = static_cast<GridPoint*>(GridPointList().GetByIndex(savedTarget_));
    } else if (kind_ == kZone) {
      zone_ = static_cast<Zone*>(ZoneList().GetByIndex(savedTarget_));
    } else if (face_) {
      face_ = std::make_unique<ZoneFace>(static_cast<Zone*>(ZoneList().GetByIndex(savedTarget_)), face_->Face());
    }
    savedTarget_ = 0;
  }
  for (ApplyValue* v = values_; v; v = v->next) v->RemapPointers();
  if (quiet_) {
    if (quiet_->savedA) quiet_->gpA = static_cast<GridPoint*>(GridPointList().GetByIndex(quiet_->savedA));
    if (quiet_->savedB) quiet_->gpB = static_cast<GridPoint*>(GridPointList().GetByIndex(quiet_->savedB));
    quiet_->savedA = quiet_->savedB = 0;
    if (quiet_->ffFace) quiet_->ffFace->Resolve();
  }
  if (kind_ == kGridPoint && gp_) gp_->apply = this;
  g_relinkPending = true;
  NoteApplyEdit();
}

// ---------------------------------------------------------------------------
// The list

ApplyList& GlobalApplyList() { return CurrentModel().Part<ApplyList>(); }

void ApplyList::Discard(ApplyCondition* record) {
  if (record->InList()) Remove(record);
  delete record;
}

ApplyCondition* ApplyList::FindFace(const Zone* zone, int face) const {
  for (ApplyCondition* c = Head(); c; c = Next(c))
    if (c->TargetKind() == ApplyCondition::kFace && c->Face() && c->Face()->GetZone() == zone &&
        c->Face()->Face() == face)
      return c;
  return nullptr;
}

void ApplyList::PurgeDeleted() {
  RelinkApplyGridPoints();
  ApplyCondition* c = Head();
  while (c) {
    ApplyCondition* next = Next(c);
    bool gone = false;
    if (c->TargetKind() == ApplyCondition::kGridPoint)
      gone = c->Gp() && (c->Gp()->flags & 0x100);
    else
      gone = c->GetZone() && (c->GetZone()->Flags() & Zone::kDeleted);
    if (gone) {
      Remove(c);
      delete c;
    }
    c = next;
  }
}

void ApplyList::DynamicCheck(ApplyCondition& record, int direction, uint8_t code) {
  Zone* zone = record.GetZone();
  if (!zone || !record.Face() || zone->IsNull() || !zone->Model()) return;
  const double rho = zone->Density();
  if (!(rho > 0.0)) return;
  const double normalImpedance = rho * std::sqrt(zone->Model()->StiffnessModulus() / rho);
  const double shearImpedance = rho * std::sqrt(zone->Model()->ShearModulus() / rho);
  const int face = record.Face()->Face();
  const int overlays = zone->OverlayCount();
  if (overlays == 0) return;
  const double weight = overlays == 2 ? 0.5 : 1.0;
  for (int o = 0; o < 2; ++o) {
    if (!zone->Tetra(o)) continue;
    const FaceTriangleSet& set = FaceTriangles(zone->Type(), face, o);
    for (int t = 0; t < set.count; ++t) {
      double a[3];
      TriangleAreaVector(*zone, set.corner[t], a);
      const double length = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
      if (!(length > 0.0)) continue;
      const double area = length * weight;
      Vec3 axes[3];
      AxesFromNormal(Vec3{a[0] / length, a[1] / length, a[2] / length}, axes);
      for (int k = 1; k <= 3; ++k) {
        if (code == kApplyQuiet && k != direction) continue;
        const double coefficient = area / 3.0 * (k < 3 ? shearImpedance : normalImpedance);
        const Vec3& axis = axes[k - 1];
        for (int c = 0; c < 3; ++c) {
          GridPoint* gp = zone->Gp(set.corner[t][c]);
          auto* gpRecord = static_cast<ApplyCondition*>(gp->apply);
          const ApplyLocalBlock* block = gpRecord ? gpRecord->Local() : nullptr;
          double e[3] = {axis.x, axis.y, axis.z};
          const bool local = block && block->local;
          if (local)
            for (int i = 0; i < 3; ++i)
              e[i] = block->axes[i][0] * axis.x + block->axes[i][1] * axis.y + block->axes[i][2] * axis.z;
          double* target = nullptr;
          if (code == kApplyFreeFieldLink) {
            // The free-field grid-point that drives this one, toward it.
            target = FreeFieldCoefficients(record, gp);
            if (!target) continue;
          } else {
            if (!gpRecord) gpRecord = ApplyCondition::Create(gp);
            ApplyQuietBlock* quiet = gpRecord->Quiet() ? gpRecord->Quiet() : gpRecord->NewQuietBlock();
            target = quiet->quiet;
          }
          for (int i = 0; i < 3; ++i) target[i] += e[i] * e[i] * coefficient;
          if (code == kApplyQuiet) {
            for (int i = 0; i < 3; ++i)
              if (local || e[i] != 0.0) gp->flags |= apply_flags::kQuietX << i;
          }
        }
      }
    }
  }
}

void RelinkApplyGridPoints() {
  g_relinkPending = false;
  for (GridPoint* gp : GridPointList()) gp->apply = nullptr;
  for (ApplyCondition* c = GlobalApplyList().Head(); c; c = ApplyList::Next(c)) {
    if (c->TargetKind() != ApplyCondition::kGridPoint || !c->Gp()) continue;
    if (c->Gp()->apply) {
      c->gp_ = nullptr;  // a second record of one grid-point loses its target
      continue;
    }
    c->Gp()->apply = c;
  }
}

// Grid-point links of a restored list are checked before the records are used.
void EnsureApplyLinks() {
  if (g_relinkPending) RelinkApplyGridPoints();
}

void SaveApplySection(SaveStream& stream) { GlobalApplyList().Save(stream); }

void RestoreApplySection(SaveStream& stream) {
  GlobalApplyList().Restore(stream);
  NoteApplyEdit();
}

void RemapApplySection() {
  GlobalApplyList().RemapAll();
  RelinkApplyGridPoints();
}

void ClearApplyList() {
  GlobalApplyList().Clear();
  g_relinkPending = false;
  NoteApplyEdit();
}
