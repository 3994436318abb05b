// APPLY: one condition after another from the command's words, each
// selecting its targets, checking them against what they carry, writing the
// apply records and reporting how many targets it updated.
#include "mechanics/cmd_apply.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "base/message.h"
#include "base/plane.h"
#include "base/range.h"
#include "mechanics/apply_condition.h"
#include "mechanics/apply_geometry.h"
#include "model/calc_module.h"
#include "model/grid.h"
#include "model/model_interpreter.h"
#include "model/services.h"

namespace {

enum TargetClass { kNoClass = 0, kGpClass = 1, kZoneClass = 2, kFaceClass = 3 };
enum Domain { kMechanical, kThermal, kFluid };
enum Needs { kNone, kDynamic, kThermalModule, kFluidModule };

// One quantity keyword: its code (without multiplier), direction, the module
// it needs and how many values follow it (0: none is read).
struct Quantity {
  uint8_t code;
  uint8_t direction;
  Needs needs;
  Domain domain;
  int values;
};

const char* const kGpWords =
    "xforce yforce zforce xreaction yreaction zreaction xvelocity yvelocity zvelocity dvelocity svelocity nvelocity "
    "xaccel yaccel zaccel daccel saccel naccel psource pwell pp";
const Quantity kGpQuantities[] = {
    {kApplyForce, 1, kNone, kMechanical, 1},
    {kApplyForce, 2, kNone, kMechanical, 1},
    {kApplyForce, 3, kNone, kMechanical, 1},
    {kApplyReaction, 1, kNone, kMechanical, 0},
    {kApplyReaction, 2, kNone, kMechanical, 0},
    {kApplyReaction, 3, kNone, kMechanical, 0},
    {kApplyVelocity, 1, kNone, kMechanical, 1},
    {kApplyVelocity, 2, kNone, kMechanical, 1},
    {kApplyVelocity, 3, kNone, kMechanical, 1},
    {kApplyLocalVelocity, 1, kNone, kMechanical, 1},
    {kApplyLocalVelocity, 2, kNone, kMechanical, 1},
    {kApplyLocalVelocity, 3, kNone, kMechanical, 1},
    {kApplyAcceleration, 1, kDynamic, kMechanical, 1},
    {kApplyAcceleration, 2, kDynamic, kMechanical, 1},
    {kApplyAcceleration, 3, kDynamic, kMechanical, 1},
    {kApplyLocalAcceleration, 1, kDynamic, kMechanical, 1},
    {kApplyLocalAcceleration, 2, kDynamic, kMechanical, 1},
    {kApplyLocalAcceleration, 3, kDynamic, kMechanical, 1},
    {kApplyPointSource, 1, kThermalModule, kThermal, 1},
    {kApplyPointWell, 1, kFluidModule, kFluid, 1},
    {kApplyPorePressure, 1, kFluidModule, kFluid, 1},
};

const char* const kZoneWords = "xbodyforce ybodyforce zbodyforce vsource vwell";
const Quantity kZoneQuantities[] = {
    {kApplyBodyForce, 1, kNone, kMechanical, 1},    {kApplyBodyForce, 2, kNone, kMechanical, 1},
    {kApplyBodyForce, 3, kNone, kMechanical, 1},    {kApplyVolumeSource, 1, kThermalModule, kThermal, 1},
    {kApplyVolumeWell, 1, kFluidModule, kFluid, 1},
};

const char* const kFaceWords =
    "sxx syy szz sxy syx syz szy sxz szx dstress sstress nstress dquiet squiet nquiet flux convection discharge "
    "leakage ff";
const Quantity kFaceQuantities[] = {
    {kApplyStress, 1, kNone, kMechanical, 1},           {kApplyStress, 2, kNone, kMechanical, 1},
    {kApplyStress, 3, kNone, kMechanical, 1},           {kApplyStress, 4, kNone, kMechanical, 1},
    {kApplyStress, 4, kNone, kMechanical, 1},           {kApplyStress, 5, kNone, kMechanical, 1},
    {kApplyStress, 5, kNone, kMechanical, 1},           {kApplyStress, 6, kNone, kMechanical, 1},
    {kApplyStress, 6, kNone, kMechanical, 1},           {kApplyLocalStress, 1, kNone, kMechanical, 1},
    {kApplyLocalStress, 2, kNone, kMechanical, 1},      {kApplyLocalStress, 3, kNone, kMechanical, 1},
    {kApplyQuiet, 1, kDynamic, kMechanical, 0},         {kApplyQuiet, 2, kDynamic, kMechanical, 0},
    {kApplyQuiet, 3, kDynamic, kMechanical, 0},         {kApplyFlux, 1, kThermalModule, kThermal, 1},
    {kApplyConvection, 1, kThermalModule, kThermal, 2}, {kApplyDischarge, 1, kFluidModule, kFluid, 1},
    {kApplyLeakage, 1, kFluidModule, kFluid, 2},        {kApplyFreeFieldLink, 0, kNone, kMechanical, 0},
};

const char* const kClassWords = "gp zone face";
const char* const kModifierWords = "gradients history plane interior";
const char* const kTimeBaseWords = "step creep dynamic thermal fluid flow";

const char* const kPpRefused = "Attempt to specify PorePressure while Discharge, Leakage or PWell is specified";
const char* const kPwellRefused = "Attempt to specify PWell while Discharge, Leakage or PorePressure is specified";
const char* const kDischargeRefused = "Attempt to specify Discharge while Pore Pressure, PWell or Leakage is specified";
const char* const kLeakageRefused = "Attempt to specify Leakage while PorePressure, PWell or Discharge is specified";

// One condition as the command gives it.
struct Condition {
  bool remove = false;
  int targetClass = kNoClass;  // of the quantity, or of the class word of a removal
  bool hasQuantity = false;
  Quantity quantity{};
  bool add = false;
  bool multiply = false;
  double value = 0.0;
  double second = 0.0;
  double gradient[3] = {0, 0, 0};
  uint8_t multiplierKind = kMultiplierNone;
  uint32_t table = 0;
  ZoltSymbol* function = nullptr;
  CalcModule* timeBase = nullptr;
  bool planeGiven = false;
  double planeAxes[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  bool interior = false;

  // The stored code: the multiplier's code when the value has a multiplier.
  uint8_t Code() const { return multiplierKind == kMultiplierNone ? quantity.code : ApplyHistoryCode(quantity.code); }
  Domain GetDomain() const { return hasQuantity ? quantity.domain : kMechanical; }
};

// Lookups of the command: the boundary of the grid, and the zone and face
// records that existed when a condition began, each built once when first
// needed. A condition visits each zone and face once, so the records it makes
// need not be found again until the next condition, which looks afresh.
class Lookups {
 public:
  const BoundaryIndex& Boundary() {
    if (!boundary_.Built()) boundary_.Build();
    return boundary_;
  }
  ApplyCondition* ZoneRecord(const Zone* zone) { return Find(zone, 0); }
  ApplyCondition* FaceRecord(const Zone* zone, int face) { return Find(zone, face + 1); }
  // The records changed: look afresh at the next use.
  void Forget() { built_ = false; }

 private:
  // Zone records have the slot 0, face records the face number + 1.
  struct Entry {
    const Zone* zone;
    int slot;
    ApplyCondition* record;
  };
  static bool Before(const Entry& a, const Entry& b) {
    if (a.zone != b.zone) return std::less<const Zone*>()(a.zone, b.zone);
    return a.slot < b.slot;
  }

  ApplyCondition* Find(const Zone* zone, int slot) {
    if (!built_) Build();
    const Entry key{zone, slot, nullptr};
    auto it = std::lower_bound(entries_.begin(), entries_.end(), key, Before);
    return it != entries_.end() && it->zone == zone && it->slot == slot ? it->record : nullptr;
  }

  void Build() {
    entries_.clear();
    for (ApplyCondition* c = GlobalApplyList().Head(); c; c = ApplyList::Next(c)) {
      if (c->TargetKind() == ApplyCondition::kZone)
        entries_.push_back({c->GetZone(), 0, c});
      else if (c->TargetKind() == ApplyCondition::kFace && c->Face())
        entries_.push_back({c->GetZone(), c->Face()->Face() + 1, c});
    }
    // The first record of a target in list order is the one that counts.
    std::stable_sort(entries_.begin(), entries_.end(), Before);
    built_ = true;
  }

  BoundaryIndex boundary_;
  bool built_ = false;
  std::vector<Entry> entries_;
};

void RequireModule(Needs needs) {
  const ModePointers& modes = Modes();
  switch (needs) {
    case kDynamic:
      if (!modes.dynamic || !modes.dynamic->On()) throw QJExcept("Not configured for dynamic calculation");
      break;
    case kThermalModule:
      if (!modes.thermal) throw QJExcept("Not configured for thermal calculation");
      break;
    case kFluidModule:
      if (!modes.fluid) throw QJExcept("Not configured for fluid flow calculation");
      break;
    case kNone:
      break;
  }
}

// The quantity keyword, from the lists of the class word or else from the
// three lists in turn. False (word left in place) when none matches.
bool ReadQuantity(ModelInterpreter& interp, Condition& c) {
  struct List {
    int targetClass;
    const char* words;
    const Quantity* table;
  };
  static const List kLists[] = {{kGpClass, kGpWords, kGpQuantities},
                                {kZoneClass, kZoneWords, kZoneQuantities},
                                {kFaceClass, kFaceWords, kFaceQuantities}};
  for (const List& list : kLists) {
    if (c.targetClass != kNoClass && c.targetClass != list.targetClass) continue;
    int word = 0;
    if (interp.MatchKeyword(list.words, word) != CommandType::kOk) continue;
    c.targetClass = list.targetClass;
    c.hasQuantity = true;
    c.quantity = list.table[word - 1];
    return true;
  }
  return false;
}

// The time base of a table: a named module, else the first that is on.
CalcModule* ReadTimeBase(ModelInterpreter& interp) {
  const ModePointers& modes = Modes();
  CalcModule* base = nullptr;
  int word = 0;
  if (interp.MatchKeyword(kTimeBaseWords, word) == CommandType::kOk) {
    switch (word) {
      case 2:
        base = modes.creep;
        break;
      case 3:
        base = modes.dynamic;
        break;
      case 4:
        base = modes.thermal;
        break;
      case 5:
      case 6:
        base = modes.fluid;
        break;
      default:
        break;
    }
  } else {
    CalcModule* const order[] = {modes.dynamic, modes.thermal, modes.fluid, modes.creep};
    for (CalcModule* m : order)
      if (m && m->On()) {
        base = m;
        break;
      }
  }
  const char* label = "Cycle number";
  if (base == modes.dynamic && base)
    label = "Dynamic time";
  else if (base == modes.creep && base)
    label = "Creep time";
  else if (base == modes.thermal && base)
    label = "Thermal time";
  else if (base == modes.fluid && base)
    label = "Fluid Time";
  interp << label << " will be used as the X-axis reference"
         << "\n";
  return base;
}

void ReadHistory(ModelInterpreter& interp, Condition& c) {
  if (c.quantity.code == kApplyConvection || c.quantity.code == kApplyLeakage) return;
  int word = 0;
  if (interp.MatchKeyword("table", word) == CommandType::kOk) {
    int32_t number = 0;
    int at = interp.TokenIndex();
    if (interp.CheckInteger(&number, &at) == CommandType::kOk) {
      interp.TokenIndex() = at;
      CheckTableNumber(number);
    } else {
      number = TableNumberOfName(interp.GetString());
    }
    c.table = static_cast<uint32_t>(number);
    c.timeBase = ReadTimeBase(interp);
    c.multiplierKind = kMultiplierTable;
    return;
  }
  ZoltSymbol* symbol = SymbolAtToken(interp);
  if (!symbol) throw QJExcept("ZOLT function not recognized");
  c.function = symbol;
  c.multiplierKind = kMultiplierFunction;
}

void ReadPlane(ModelInterpreter& interp, Condition& c) {
  if (!c.hasQuantity || (c.quantity.code != kApplyLocalVelocity && c.quantity.code != kApplyLocalAcceleration))
    throw QJExcept("plane keyword not compatible with this apply condition");
  Plane plane;
  while (interp.HasToken() && plane.Parse(interp) == CommandType::kOk) {
  }
  AxesRowsFromNormal(plane.Normal(), c.planeAxes);
  c.planeGiven = true;
  plane.List(interp, 1);
}

Condition ReadCondition(ModelInterpreter& interp) {
  Condition c;
  int word = 0;
  c.remove = interp.MatchKeyword("remove", word) == CommandType::kOk;
  if (c.remove && interp.MatchKeyword(kClassWords, word) == CommandType::kOk) c.targetClass = word;
  if (!ReadQuantity(interp, c) && !c.remove)
    interp.ThrowParamError(interp.HasToken() ? CommandType::kUnrecognized : CommandType::kMissing);
  if (!c.remove) {
    RequireModule(c.quantity.needs);
    if (c.quantity.values > 0) {
      if (interp.MatchKeyword("multiply add", word) == CommandType::kOk) {
        c.multiply = word == 1;
        c.add = word == 2;
      }
      if (c.quantity.values == 2) {
        c.second = interp.GetReal();
        c.value = interp.GetReal();
      } else {
        c.value = interp.GetReal();
      }
    }
  }
  while (interp.HasToken() && interp.MatchKeyword(kModifierWords, word) == CommandType::kOk) {
    switch (word) {
      case 1:
        interp.GetVector(c.gradient);
        break;
      case 2:
        ReadHistory(interp, c);
        break;
      case 3:
        ReadPlane(interp, c);
        break;
      default:
        c.interior = true;
        break;
    }
  }
  return c;
}

uint32_t ExclusionBit(Domain domain) {
  switch (domain) {
    case kThermal:
      return NodeBase::kNoThermalZone;
    case kFluid:
      return NodeBase::kNoFluidZone;
    default:
      return NodeBase::kNoMechanicalZone;
  }
}

bool ZonePasses(const Zone& zone, Domain domain) {
  switch (domain) {
    case kThermal:
      return zone.thermal && zone.thermal->ModelType() != 0;
    case kFluid:
      return zone.fluid && zone.fluid->ModelType() != 0;
    default:
      return !zone.IsNull();
  }
}

double Dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// The grid-points a condition acts on, in list order.
template <class Visit>
void ForEachTargetGp(const Range& range, const Condition& c, Lookups& lookups, Visit&& visit) {
  const uint32_t excluded = ExclusionBit(c.GetDomain());
  const bool everything = range.ElementCount() == 0;
  for (GridPoint* gp : GridPointList()) {
    if (gp->flags & excluded) continue;
    if (!everything && !range.IsInAt(gp->position, gp)) continue;
    if (lookups.Boundary().IsBoundary(gp) == c.interior) continue;
    visit(gp);
  }
}

// The zones a condition acts on, in list order, with their centroids when
// the range needed them (else null).
template <class Visit>
void ForEachTargetZone(const Range& range, const Condition& c, Visit&& visit) {
  const bool everything = range.ElementCount() == 0;
  const Domain domain = c.GetDomain();
  for (Zone* z : ZoneList()) {
    if (!ZonePasses(*z, domain)) continue;
    if (everything) {
      visit(z, nullptr);
      continue;
    }
    double centroid[3];
    z->Centroid(centroid);
    if (range.IsInAt(centroid, z)) visit(z, centroid);
  }
}

const double kNoGradient[3] = {0, 0, 0};

void SetItem(ApplyCondition& record, const Condition& c, double amount, const double gradient[3]) {
  const uint8_t code = c.Code();
  ApplyValue* item = record.FindValue(code, c.quantity.direction);
  if (!item) item = record.NewValue();
  item->Set(code, c.quantity.direction, c.multiplierKind, c.table, c.function, c.timeBase, amount, c.second, gradient,
            c.add, c.multiply);
}

int32_t SetOnGridPoints(const Range& range, const Condition& c, Lookups& lookups) {
  const uint8_t code = c.quantity.code;
  const bool velocity = code >= kApplyVelocity && code <= kApplyLocalAcceleration;
  const bool localAxes = code == kApplyLocalVelocity || code == kApplyLocalAcceleration;
  int32_t count = 0;
  ForEachTargetGp(range, c, lookups, [&](GridPoint* gp) {
    double axes[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    if (localAxes) {
      if (c.planeGiven) {
        for (int i = 0; i < 3; ++i)
          for (int j = 0; j < 3; ++j) axes[i][j] = c.planeAxes[i][j];
      } else {
        double n[3];
        lookups.Boundary().Normal(gp, n);
        AxesRowsFromNormal(n, axes);
      }
    }
    if (velocity) ApplyCondition::CheckVelocityConflict(*gp, code, c.quantity.direction, axes, c.planeGiven);
    if (code == kApplyPorePressure) {
      if (gp->flags & (apply_flags::kDischarge | apply_flags::kLeakage | apply_flags::kPointWell))
        throw QJExcept(kPpRefused);
      gp->flags |= NodeBase::kFixPorePressure;
    } else if (code == kApplyPointWell) {
      if (gp->flags & (apply_flags::kDischarge | apply_flags::kLeakage | NodeBase::kFixPorePressure))
        throw QJExcept(kPwellRefused);
      gp->flags |= apply_flags::kPointWell;
    }
    auto* record = static_cast<ApplyCondition*>(gp->apply);
    if (!record) record = ApplyCondition::Create(gp);
    ++count;
    if (velocity) {
      ApplyLocalBlock* block = record->Local() ? record->Local() : record->NewLocalBlock();
      block->Set(code, c.quantity.direction, axes, c.planeGiven);
    }
    const int d = c.quantity.direction - 1;
    double amount = c.value + Dot(c.gradient, gp->position);
    if (code == kApplyReaction) amount = -(gp->appliedForce[1][d] + gp->appliedForce[0][d] + gp->unbalancedForce[d]);
    SetItem(*record, c, amount, kNoGradient);
  });
  return count;
}

int32_t SetOnZones(const Range& range, const Condition& c, Lookups& lookups) {
  int32_t count = 0;
  const bool graded = c.gradient[0] != 0.0 || c.gradient[1] != 0.0 || c.gradient[2] != 0.0;
  ForEachTargetZone(range, c, [&](Zone* z, const double* centroid) {
    ++count;
    ApplyCondition* record = lookups.ZoneRecord(z);
    if (!record) record = ApplyCondition::Create(z);
    double amount = c.value;
    if (graded) {
      double own[3];
      if (!centroid) z->Centroid(own);
      amount += Dot(c.gradient, centroid ? centroid : own);
    }
    SetItem(*record, c, amount, kNoGradient);
  });
  return count;
}

// The faces of a thermal or fluid condition: the mode's choice, or the
// boundary faces of the zones with a material model of the mode.
std::vector<std::pair<Zone*, int>> ModeFaces(const Range& range, Domain domain) {
  std::vector<std::pair<Zone*, int>> faces;
  const int type = domain == kThermal ? CalcModule::kThermal : CalcModule::kFluid;
  const FaceSink sink = [](void* context, Zone* zone, int face) {
    static_cast<std::vector<std::pair<Zone*, int>>*>(context)->emplace_back(zone, face);
  };
  const ModePointers& modes = Modes();
  const bool selected = type == CalcModule::kThermal ? modes.thermal && modes.thermal->SelectFaces(range, sink, &faces)
                                                     : modes.fluid && modes.fluid->SelectFaces(range, sink, &faces);
  if (selected) {
    // A face named twice is set once.
    std::set<std::pair<Zone*, int>> seen;
    std::vector<std::pair<Zone*, int>> unique;
    for (const auto& f : faces)
      if (seen.insert(f).second) unique.push_back(f);
    return unique;
  }
  for (Zone* z : ZoneList()) {
    if (!ZonePasses(*z, domain)) continue;
    for (int f = 0; f < kZoneFaces; ++f) {
      if (z->FaceGpCount(f) < 3) continue;
      const Zone* n = z->Neighbour(f);
      if (n && ZonePasses(*n, domain)) continue;
      ZoneFace ref(z, f);
      double centroid[3];
      ref.Centroid(centroid);
      if (range.IsInAt(centroid, &ref)) faces.emplace_back(z, f);
    }
  }
  return faces;
}

// Discharge and leakage mark the face's grid-points, refusing the marks they
// cannot share.
void MarkFluidCorners(Zone& zone, int face, uint8_t code) {
  const uint32_t mark = code == kApplyDischarge ? apply_flags::kDischarge : apply_flags::kLeakage;
  const uint32_t refused = code == kApplyDischarge
                               ? apply_flags::kLeakage | apply_flags::kPointWell | NodeBase::kFixPorePressure
                               : apply_flags::kDischarge | apply_flags::kPointWell | NodeBase::kFixPorePressure;
  for (int k = 0; k < zone.FaceGpCount(face); ++k) {
    GridPoint* gp = zone.GetFaceGp(face, k);
    if (gp->flags & mark) continue;
    if (gp->flags & refused) throw QJExcept(code == kApplyDischarge ? kDischargeRefused : kLeakageRefused);
    gp->flags |= mark;
  }
}

int32_t SetOnFaces(ModelInterpreter& interp, const Range& range, const Condition& c, Lookups& lookups) {
  const uint8_t code = c.quantity.code;
  if (code == kApplyFreeFieldLink) {
    DynamicCalcModule* dynamic = Modes().dynamic;
    if (!dynamic || !dynamic->On()) throw QJExcept("Not configured for dynamic calculation");
    lookups.Forget();
    return dynamic->CreateFreeField(interp);
  }
  std::vector<std::pair<Zone*, int>> faces;
  if (c.GetDomain() == kMechanical)
    ForEachBoundaryFace(range, [&](Zone* z, int f) { faces.emplace_back(z, f); });
  else
    faces = ModeFaces(range, c.GetDomain());
  int32_t count = 0;
  for (auto [zone, face] : faces) {
    if (code == kApplyDischarge || code == kApplyLeakage) MarkFluidCorners(*zone, face, code);
    ApplyCondition* record = lookups.FaceRecord(zone, face);
    if (record && c.GetDomain() == kMechanical) record->CheckFaceStressConflict(c.Code());
    if (!record) record = ApplyCondition::Create(std::make_unique<ZoneFace>(zone, face));
    ++count;
    SetItem(*record, c, c.value, c.gradient);
    if (code == kApplyQuiet)
      for (int k = 0; k < zone->FaceGpCount(face); ++k) ApplyCondition::FixityToReaction(*zone->GetFaceGp(face, k));
  }
  return count;
}

// Removes the condition's quantity (and its multiplied form) or every value.
void RemoveFrom(ApplyCondition* record, const Condition& c) {
  if (!c.hasQuantity) {
    record->RemoveAll();
    return;
  }
  const uint8_t code = c.quantity.code;
  const uint8_t hist = ApplyHistoryCode(code);
  bool deleted = false;
  record->RemoveValue(code, c.quantity.direction, &deleted);
  if (hist != code && !deleted) record->RemoveValue(hist, c.quantity.direction);
}

void RemoveCondition(ModelInterpreter& interp, const Range& range, const Condition& c, Lookups& lookups,
                     int32_t counts[3], bool classes[3]) {
  ApplyQuietBatch batch;
  const int only = c.targetClass;
  classes[0] = only == kNoClass || only == kGpClass;
  classes[1] = only == kNoClass || only == kZoneClass;
  classes[2] = only == kNoClass || only == kFaceClass;
  if (classes[0]) {
    ForEachTargetGp(range, c, lookups, [&](GridPoint* gp) {
      auto* record = static_cast<ApplyCondition*>(gp->apply);
      if (!record) return;
      ++counts[0];
      RemoveFrom(record, c);
      // Every condition gone: the marks that conditions set go with them;
      // fixities and ties stay.
      if (!c.hasQuantity) gp->flags &= ~apply_flags::kOwned;
    });
  }
  if (classes[1]) {
    std::vector<ApplyCondition*> records;
    ForEachTargetZone(range, c, [&](Zone* z, const double*) {
      if (ApplyCondition* record = lookups.ZoneRecord(z)) records.push_back(record);
    });
    for (ApplyCondition* record : records) {
      ++counts[1];
      RemoveFrom(record, c);
    }
  }
  if (classes[2]) {
    std::vector<ApplyCondition*> records;
    const bool everything = range.ElementCount() == 0;
    for (ApplyCondition* record = GlobalApplyList().Head(); record; record = ApplyList::Next(record)) {
      if (record->TargetKind() != ApplyCondition::kFace || !record->Face()) continue;
      if (!everything && !range.IsIn(record->Face())) continue;
      records.push_back(record);
    }
    for (ApplyCondition* record : records) {
      ++counts[2];
      RemoveFrom(record, c);
    }
    if (!c.hasQuantity || c.quantity.code == kApplyFreeFieldLink)
      if (DynamicCalcModule* dynamic = Modes().dynamic) dynamic->RemoveFreeField(interp);
  }
  lookups.Forget();
}

void Report(ModelInterpreter& interp, const int32_t counts[3], const bool classes[3]) {
  static const char* const kLines[3] = {" updated %s grid-points", " updated %s zones", " updated %s faces"};
  for (int i = 0; i < 3; ++i)
    if (classes[i]) interp << MessageText(kLines[i], IntToString(counts[i])) << "\n";
}

}  // namespace

void ApplyCommand(ModelInterpreter& interp) {
  EnsureApplyLinks();
  Range range;
  range.Parse(interp);
  Lookups lookups;
  while (interp.HasToken()) {
    Condition c = ReadCondition(interp);
    int32_t counts[3] = {0, 0, 0};
    bool classes[3] = {false, false, false};
    if (c.remove) {
      RemoveCondition(interp, range, c, lookups, counts, classes);
    } else {
      classes[c.targetClass - 1] = true;
      switch (c.targetClass) {
        case kGpClass:
          counts[0] = SetOnGridPoints(range, c, lookups);
          break;
        case kZoneClass:
          counts[1] = SetOnZones(range, c, lookups);
          break;
        default:
          counts[2] = SetOnFaces(interp, range, c, lookups);
          break;
      }
    }
    Report(interp, counts, classes);
    lookups.Forget();
  }
}
