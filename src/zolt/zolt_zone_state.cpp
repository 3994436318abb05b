// The state of one zone or grid-point as records of values in the open ZOLT
// file (z_statesave, z_staterest, gp_statesave, gp_staterest), and the
// zone and grid-point pointers that extra variables hold across SAVE and
// RESTORE.
//
// A read trusts nothing in the file: every record is read and checked
// against the tables of the program first, and the object changes only once
// the whole state has been read.
#include <memory>
#include <vector>

#include "cmodels/constitutive_model.h"
#include "model/calc_module.h"
#include "model/grid_point.h"
#include "model/group.h"
#include "model/zone.h"
#include "model/zone_models.h"
#include "zolt/zolt_error.h"
#include "zolt/zolt_intrinsics.h"
#include "zolt/zolt_model_pointers.h"

namespace {
// One record of values written to or read from the file.
class Record {
 public:
  explicit Record(int32_t count) {
    array_.SetArray(std::make_unique<ZoltArray>(std::vector<int32_t>{count > 0 ? count : 1}));
    count_ = count;
  }
  ZoltValue& operator[](int32_t i) { return array_.Array()->At(static_cast<uint32_t>(i)); }
  int32_t Read() { return Io(2); }
  int32_t Write() { return count_ > 0 ? Io(3) : 0; }
  int32_t Int(int32_t i) { return (*this)[i].GetInt(kZoltIntMin, kZoltIntMax); }
  double Real(int32_t i) { return (*this)[i].GetFloat(); }
  String Text(int32_t i) { return (*this)[i].GetString(); }

 private:
  int32_t Io(int mode) {
    ZoltValue args[2];
    args[0] = array_;
    args[1].SetInt(count_);
    const int32_t rc = ZoltFileIo(mode, args);
    if (mode == 2) array_ = args[0];
    return rc;
  }
  ZoltValue array_;
  int32_t count_ = 0;
};

[[noreturn]] void ReadError() { throw QJExcept("Model read error in ZoltIO"); }
int32_t Flag(int32_t v) {
  if (v != 0 && v != 1) ReadError();
  return v;
}
Group* GroupNamed(const String& name) { return name.IsEmpty() ? nullptr : FindOrCreateGroup(name); }

// ---------------------------------------------------------------------------
// Zones

// The thermal or fluid model of a zone as a state carries it: the type, the
// property values in keyword order and the record's own values.
struct ModeModel {
  int32_t type = 0;
  std::vector<double> properties;
  double values[2] = {0.0, 0.0};
};

int32_t KeywordCount(const ZoneMaterialModels& models, int type) {
  String keywords = models.Keywords(type);
  int32_t n = 0;
  while (!keywords.NextToken(" ").IsEmpty()) ++n;
  return n;
}

// The table of the mode when the zone has a record the state can carry.
ZoneMaterialModels* Carried(const std::unique_ptr<ZoneRecord>& record, ZoneMaterialModels* models) {
  return record ? models : nullptr;
}

// The head (type, property count, then the record's own values) and the
// properties.
int32_t WriteModeModel(const ZoneMaterialModels& models, const Zone& z) {
  const int type = models.ZoneModel(z);
  const int32_t m = KeywordCount(models, type);
  const int32_t own = models.ZoneStateValueCount();
  Record head(2 + own);
  head[0].SetInt(type);
  head[1].SetInt(m);
  double values[2];
  models.ZoneStateValues(z, values);
  for (int32_t i = 0; i < own; ++i) head[2 + i].SetFloat(values[i]);
  if (int32_t rc = head.Write()) return rc;
  Record properties(m);
  for (int32_t k = 0; k < m; ++k) properties[k].SetFloat(models.ZoneProperty(z, k));
  return properties.Write();
}

// The type must be one of the table's and the property count that type's.
int32_t ReadModeModel(const ZoneMaterialModels* models, ModeModel& out) {
  if (!models) ReadError();  // the mode is not configured here
  const int32_t own = models->ZoneStateValueCount();
  Record head(2 + own);
  if (int32_t rc = head.Read()) return rc;
  out.type = head.Int(0);
  if (out.type < 0 || out.type >= models->Count()) ReadError();
  const int32_t m = head.Int(1);
  if (m != KeywordCount(*models, out.type)) ReadError();
  for (int32_t i = 0; i < own; ++i) out.values[i] = head.Real(2 + i);
  if (m == 0) return 0;
  Record properties(m);
  if (int32_t rc = properties.Read()) return rc;
  for (int32_t k = 0; k < m; ++k) out.properties.push_back(properties.Real(k));
  return 0;
}

void TakeModeModel(ZoneMaterialModels& models, Zone& z, const ModeModel& model) {
  models.SetZoneModel(z, model.type);
  for (size_t k = 0; k < model.properties.size(); ++k)
    models.SetZoneProperty(z, static_cast<int>(k), model.properties[k]);
  models.SetZoneStateValues(z, model.values);
}

int32_t WriteZone(Zone& z) {
  const ConstitutiveModel* model = z.Model();
  const int per = z.TetraPerOverlay();
  Record head(10);
  head[0].SetFloat(z.Density());
  head[1].SetString(z.GetGroup() ? z.GetGroup()->Name() : String());
  head[2].SetInt(z.Type());
  head[3].SetInt(z.Tetra(0) ? per : 0);
  head[4].SetInt(z.Tetra(1) ? per : 0);
  head[5].SetInt(model ? 1 : 0);
  head[6].SetInt(model ? model->NumberOfProperties() : 0);
  const ZoneMaterialModels* thermal = Carried(z.thermal, ThermalZoneModels());
  const ZoneMaterialModels* fluid = Carried(z.fluid, FluidZoneModels());
  head[7].SetInt(thermal ? 1 : 0);
  head[8].SetInt(fluid ? 1 : 0);
  head[9].SetInt(z.dynamicMultiplier ? 1 : 0);
  if (int32_t rc = head.Write()) return rc;
  if (model) {
    const int n = model->NumberOfProperties();
    Record m(n + 2);
    m[0].SetInt(static_cast<int32_t>(model->Type()));
    m[1].SetInt(n);
    for (int k = 0; k < n; ++k) m[k + 2].SetFloat(model->GetPropertyByIndex(k + 1));
    if (int32_t rc = m.Write()) return rc;
  }
  for (int o = 0; o < 2; ++o) {
    const ZoneTetra* block = z.Tetra(o);
    for (int k = 0; block && k < per; ++k) {
      Record t(7);
      for (int i = 0; i < 6; ++i) t[i].SetFloat(block[k].stress[i]);
      t[6].SetInt(block[k].state);
      if (int32_t rc = t.Write()) return rc;
    }
  }
  if (thermal)
    if (int32_t rc = WriteModeModel(*thermal, z)) return rc;
  if (fluid)
    if (int32_t rc = WriteModeModel(*fluid, z)) return rc;
  if (z.dynamicMultiplier) {
    Record d(1);
    d[0].SetFloat(*z.dynamicMultiplier);
    if (int32_t rc = d.Write()) return rc;
  }
  return 0;
}

int32_t ReadZone(Zone& z) {
  Record head(10);
  if (int32_t rc = head.Read()) return rc;
  const double density = head.Real(0);
  const String group = head.Text(1);
  if (head.Int(2) != z.Type()) throw QJExcept("Zone type mismatch in ZoltIO");
  const int per = z.TetraPerOverlay();
  const int32_t count[2] = {head.Int(3), head.Int(4)};
  for (int32_t n : count)
    if (n != 0 && n != per) ReadError();
  const bool hasModel = Flag(head.Int(5)) != 0;
  const int32_t properties = head.Int(6);
  const bool hasThermal = Flag(head.Int(7)) != 0;
  const bool hasFluid = Flag(head.Int(8)) != 0;
  const bool hasDynamic = Flag(head.Int(9)) != 0;

  std::unique_ptr<ConstitutiveModel> model;
  if (hasModel) {
    if (properties < 0 || properties > 10000) ReadError();
    Record m(properties + 2);
    if (int32_t rc = m.Read()) return rc;
    const ConstitutiveModel* prototype = ConstitutiveModel::FindByType(static_cast<uint32_t>(m.Int(0)));
    if (!prototype || m.Int(1) != properties || prototype->NumberOfProperties() != properties) ReadError();
    model = prototype->Clone();
    if (!model) throw QJExcept("Memory allocation error.");
    for (int k = 0; k < properties; ++k) model->SetPropertyByIndex(k + 1, m.Real(k + 2));
  } else if (properties != 0) {
    ReadError();
  }
  if ((count[0] || count[1]) && (!model || model->IsNull())) ReadError();
  ZoneTetra tetra[2][kMaxOverlayTetra];
  for (int o = 0; o < 2; ++o)
    for (int k = 0; k < count[o]; ++k) {
      Record t(7);
      if (int32_t rc = t.Read()) return rc;
      for (int i = 0; i < 6; ++i) tetra[o][k].stress[i] = t.Real(i);
      const int32_t state = t.Int(6);
      if (state < 0 || state > 0xFFFF) ReadError();
      tetra[o][k].state = static_cast<uint16_t>(state);
    }
  ModeModel thermal, fluid;
  if (hasThermal)
    if (int32_t rc = ReadModeModel(ThermalZoneModels(), thermal)) return rc;
  if (hasFluid)
    if (int32_t rc = ReadModeModel(FluidZoneModels(), fluid)) return rc;
  double multiplier = 0.0;
  if (hasDynamic) {
    Record d(1);
    if (int32_t rc = d.Read()) return rc;
    multiplier = d.Real(0);
  }

  // Everything was read: the zone takes it.
  z.SetDensity(density);
  z.SetGroupPointer(GroupNamed(group));
  z.SetModel(std::move(model));
  z.UseOverlays(count[0] != 0, count[1] != 0);
  for (int o = 0; o < 2; ++o) {
    ZoneTetra* block = z.Tetra(o);
    for (int k = 0; block && k < per; ++k) {
      for (int i = 0; i < 6; ++i) block[k].stress[i] = tetra[o][k].stress[i];
      block[k].state = tetra[o][k].state;
    }
  }
  if (hasThermal) TakeModeModel(*ThermalZoneModels(), z, thermal);
  if (hasFluid) TakeModeModel(*FluidZoneModels(), z, fluid);
  if (hasDynamic) {
    if (!z.dynamicMultiplier) z.dynamicMultiplier = std::make_unique<double>(0.0);
    *z.dynamicMultiplier = multiplier;
  }
  z.FreeTetra();
  return 0;
}

// ---------------------------------------------------------------------------
// Grid-points

constexpr int32_t kGpHead = 42;
constexpr int32_t kDynamicValues = 8;
constexpr int32_t kThermalValues = 6;  // temperature, heat flow, capacity, increment, source, the sub-block flag
constexpr int32_t kFluidValues = 8;    // seven values, the sub-block flag
constexpr int32_t kSubBlock = 3;

void PutVector(Record& r, int32_t at, const double* v, int n) {
  for (int i = 0; i < n; ++i) r[at + i].SetFloat(v[i]);
}
void GetVector(Record& r, int32_t at, double* v, int n) {
  for (int i = 0; i < n; ++i) v[i] = r.Real(at + i);
}

int32_t WriteGp(GridPoint& g) {
  Record head(kGpHead);
  PutVector(head, 0, g.velocity, 3);
  PutVector(head, 3, g.displacement, 3);
  PutVector(head, 6, g.smallDisplacement, 3);
  head[9].SetInt(static_cast<int32_t>(g.dampingKind));
  head[10].SetFloat(g.dampingCoefficient);
  head[11].SetFloat(0.0);
  head[12].SetFloat(0.0);
  head[13].SetInt(g.dynamicBlock ? 1 : 0);
  head[14].SetFloat(g.porePressure);
  head[15].SetInt(g.thermal ? 1 : 0);
  head[16].SetInt(g.fluid ? 1 : 0);
  head[17].SetInt(GridPoint::kGroupSlots);
  for (int i = 0; i < GridPoint::kGroupSlots; ++i) {
    Group* group = g.GroupSlot(i);
    head[18 + i].SetString(group ? group->Name() : String());
    head[30 + i].SetInt(group ? g.GroupSlotUses(i) : 0);
  }
  if (int32_t rc = head.Write()) return rc;
  if (const GpDynamicData* d = g.dynamicBlock.get()) {
    Record r(kDynamicValues);
    PutVector(r, 0, d->acceleration, 3);
    r[3].SetFloat(d->multiStep);
    r[4].SetInt(d->dampingKind);
    r[5].SetFloat(d->localDamping);
    r[6].SetFloat(d->rayleighAlpha);
    r[7].SetFloat(d->rayleighBeta);
    if (int32_t rc = r.Write()) return rc;
  }
  auto writeSub = [](const std::unique_ptr<std::array<double, 3>>& extra) -> int32_t {
    if (!extra) return 0;
    Record r(kSubBlock);
    PutVector(r, 0, extra->data(), 3);
    return r.Write();
  };
  if (const GpThermalData* t = g.thermal.get()) {
    Record r(kThermalValues);
    r[0].SetFloat(t->temperature);
    r[1].SetFloat(t->heatFlow);
    r[2].SetFloat(t->inverseCapacity);
    r[3].SetFloat(t->temperatureIncrement);
    r[4].SetFloat(t->heatSource);
    r[5].SetInt(t->implicitTerms ? 1 : 0);
    if (int32_t rc = r.Write()) return rc;
    // The implicit terms: estimate, weight, implicit flow.
    if (const ImplicitTerms* i = t->implicitTerms.get()) {
      std::unique_ptr<std::array<double, 3>> terms(new std::array<double, 3>{i->estimate, i->weight, i->implicitFlow});
      if (int32_t rc = writeSub(terms)) return rc;
    }
  }
  if (const GpFluidData* f = g.fluid.get()) {
    Record r(kFluidValues);
    r[0].SetFloat(f->flow);
    r[1].SetFloat(f->inverseVolume);
    r[2].SetFloat(f->modulus);
    r[3].SetFloat(f->fluidModulus);
    r[4].SetFloat(f->saturation);
    r[5].SetFloat(f->tensionLimit);
    r[6].SetFloat(f->poreVolume);
    r[7].SetInt(0);  // the fluid block has no sub-block
    if (int32_t rc = r.Write()) return rc;
  }
  return 0;
}

int32_t ReadGp(GridPoint& g) {
  Record head(kGpHead);
  if (int32_t rc = head.Read()) return rc;
  double velocity[3], displacement[3], small[3];
  GetVector(head, 0, velocity, 3);
  GetVector(head, 3, displacement, 3);
  GetVector(head, 6, small, 3);
  const int32_t damping = head.Int(9);
  if (damping != kLocalDamping && damping != kCombinedDamping) ReadError();
  const double coefficient = head.Real(10);
  head.Real(11);
  head.Real(12);
  const bool hasDynamic = Flag(head.Int(13)) != 0;
  const double pp = head.Real(14);
  const bool hasThermal = Flag(head.Int(15)) != 0;
  const bool hasFluid = Flag(head.Int(16)) != 0;
  if (head.Int(17) != GridPoint::kGroupSlots) ReadError();
  String names[GridPoint::kGroupSlots];
  int32_t uses[GridPoint::kGroupSlots];
  for (int i = 0; i < GridPoint::kGroupSlots; ++i) {
    names[i] = head.Text(18 + i);
    uses[i] = head.Int(30 + i);
    if (uses[i] < 0 || (names[i].IsEmpty() && uses[i] != 0)) ReadError();
  }
  // Blocks of modes that are not configured cannot be taken.
  if ((hasDynamic && !Modes().dynamic) || (hasThermal && !Modes().thermal) || (hasFluid && !Modes().fluid)) ReadError();

  std::unique_ptr<GpDynamicData> dynamic;
  if (hasDynamic) {
    Record r(kDynamicValues);
    if (int32_t rc = r.Read()) return rc;
    dynamic = std::make_unique<GpDynamicData>();
    if (g.dynamicBlock) *dynamic = *g.dynamicBlock;
    GetVector(r, 0, dynamic->acceleration, 3);
    dynamic->multiStep = r.Real(3);
    dynamic->dampingKind = r.Int(4);
    dynamic->localDamping = r.Real(5);
    dynamic->rayleighAlpha = r.Real(6);
    dynamic->rayleighBeta = r.Real(7);
  }
  auto readSub = [](bool present, std::unique_ptr<std::array<double, 3>>& extra) -> int32_t {
    if (!present) return 0;
    Record r(kSubBlock);
    if (int32_t rc = r.Read()) return rc;
    extra = std::make_unique<std::array<double, 3>>();
    GetVector(r, 0, extra->data(), 3);
    return 0;
  };
  std::unique_ptr<GpThermalData> thermal;
  if (hasThermal) {
    Record r(kThermalValues);
    if (int32_t rc = r.Read()) return rc;
    thermal = std::make_unique<GpThermalData>();
    thermal->temperature = r.Real(0);
    thermal->heatFlow = r.Real(1);
    thermal->inverseCapacity = r.Real(2);
    thermal->temperatureIncrement = r.Real(3);
    thermal->heatSource = r.Real(4);
    std::unique_ptr<std::array<double, 3>> terms;
    if (int32_t rc = readSub(Flag(r.Int(5)) != 0, terms)) return rc;
    if (terms) thermal->implicitTerms.reset(new ImplicitTerms{(*terms)[0], (*terms)[1], (*terms)[2]});
  }
  std::unique_ptr<GpFluidData> fluid;
  if (hasFluid) {
    Record r(kFluidValues);
    if (int32_t rc = r.Read()) return rc;
    fluid = std::make_unique<GpFluidData>();
    fluid->flow = r.Real(0);
    fluid->inverseVolume = r.Real(1);
    fluid->modulus = r.Real(2);
    fluid->fluidModulus = r.Real(3);
    fluid->saturation = r.Real(4);
    fluid->tensionLimit = r.Real(5);
    fluid->poreVolume = r.Real(6);
    // A sub-block written by another program is read past; ours has none.
    std::unique_ptr<std::array<double, 3>> unused;
    if (int32_t rc = readSub(Flag(r.Int(7)) != 0, unused)) return rc;
  }

  // Everything was read: the grid-point takes it.
  for (int i = 0; i < 3; ++i) {
    g.velocity[i] = velocity[i];
    g.displacement[i] = displacement[i];
    g.smallDisplacement[i] = small[i];
  }
  g.dampingKind = static_cast<uint32_t>(damping);
  g.dampingCoefficient = coefficient;
  g.porePressure = pp;
  if (dynamic) g.dynamicBlock = std::move(dynamic);
  if (thermal) g.thermal = std::move(thermal);
  if (fluid) g.fluid = std::move(fluid);
  g.ClearGroups();
  for (int i = 0; i < GridPoint::kGroupSlots; ++i)
    for (int32_t n = 0; n < uses[i]; ++n) g.ChangeGroup(GroupNamed(names[i]), nullptr, true);
  return 0;
}

template <class F>
void ForEachExtra(F&& f) {
  for (Zone* z : ZoneList()) {
    ZoltParamArray& extra = z->Extra();
    for (uint32_t i = 0; i < extra.Count(); ++i) f(extra.At(i));
  }
  for (GridPoint* g : GridPointList())
    for (uint32_t i = 0; i < g->extra.Count(); ++i) f(g->extra.At(i));
}
}  // namespace

int32_t ZoltZoneState(Zone& zone, bool write) { return write ? WriteZone(zone) : ReadZone(zone); }
int32_t ZoltGridPointState(GridPoint& gp, bool write) { return write ? WriteGp(gp) : ReadGp(gp); }

void ZoltForgetDeadExtraPointers() {
  ForEachExtra([](ZoltValue& v) {
    if (!ZoltModelPointerLive(v)) v.SetPointer(nullptr, 0);
  });
}

void ZoltRemapExtraPointers() {
  std::vector<std::pair<ZoltValue*, uint32_t>> held;
  held.swap(HeldZoltPointers());
  for (auto& [value, index] : held)
    if (!RemapZoltModelPointer(*value, index)) {
      value->SetPointer(nullptr, 0);
      CountBadPointer();
    }
}
