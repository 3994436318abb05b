// The intrinsics on zones (codes 2000-2117) and on grid-points (codes
// 3000-3056), and the zone and grid-point pointers they hand out.
#include <cmath>
#include <string>
#include <unordered_map>

#include "base/message.h"
#include "cmodels/constitutive_model.h"
#include "cmodels/stensor.h"
#include "model/calc_module.h"
#include "model/grid.h"
#include "model/grid_point.h"
#include "model/model_settings.h"
#include "model/zone.h"
#include "model/zone_models.h"
#include "zolt/zolt_error.h"
#include "zolt/zolt_intrinsics.h"
#include "zolt/zolt_model_pointers.h"
#include "zolt/zolt_state.h"

// ---------------------------------------------------------------------------
// Pointers

namespace {
// The id map of one list, rebuilt at most once per change of the removal count.
template <class T>
class IdMap {
 public:
  T* Find(uint32_t id, const ModelList<T>& list) {
    if (!built_ || stamp_ != ListRemovalCount()) {
      map_.clear();
      for (T* object : list) map_[IdOf(object)] = object;
      stamp_ = ListRemovalCount();
      built_ = true;
      listed_ = list.Count();
    }
    auto it = map_.find(id);
    if (it != map_.end()) return it->second;
    // Appended since the map was built: the map is brought up to date.
    if (list.Count() != listed_) {
      built_ = false;
      return Find(id, list);
    }
    return nullptr;
  }

 private:
  static uint32_t IdOf(const Zone* z) { return z->Id(); }
  static uint32_t IdOf(const GridPoint* g) { return g->id; }
  std::unordered_map<uint32_t, T*> map_;
  uint32_t stamp_ = 0;
  uint32_t listed_ = 0;
  bool built_ = false;
};
IdMap<Zone> g_zoneIds;
IdMap<GridPoint> g_gpIds;

uint64_t OwnerWord(uint32_t id) { return (uint64_t{ListRemovalCount()} << 32) | id; }

template <class T>
T* Live(const ZoltValue& v, uint32_t kind, IdMap<T>& ids, const ModelList<T>& list) {
  if (v.TypeTag() == ZoltValue::kPointer && v.KindWord() == kind) {
    const uint64_t word = v.OwnerWord();
    if (word == 0 || static_cast<uint32_t>(word >> 32) == ListRemovalCount())
      return static_cast<T*>(static_cast<LinkListNode*>(v.Pointer()));
  }
  if (v.TypeTag() == ZoltValue::kPointer && !v.Pointer()) return nullptr;
  // The node is not taken for an object until it is known to be one.
  auto* node = static_cast<LinkListNode*>(v.GetPointer(kind));
  const uint64_t word = v.OwnerWord();
  // A pointer made without its id (by an older path) is taken as it is.
  if (word == 0 || static_cast<uint32_t>(word >> 32) == ListRemovalCount()) return static_cast<T*>(node);
  T* listed = ids.Find(static_cast<uint32_t>(word), list);
  return listed && static_cast<LinkListNode*>(listed) == node ? listed : nullptr;
}
}  // namespace

void ZoltSetZone(ZoltValue& v, Zone* z) {
  v.SetPointer(static_cast<LinkListNode*>(z), ZoltValue::kZonePointer);
  v.SetOwnerWord(z ? OwnerWord(z->Id()) : 0);
}
void ZoltSetGridPoint(ZoltValue& v, GridPoint* g) {
  v.SetPointer(static_cast<LinkListNode*>(g), ZoltValue::kGridPointPointer);
  v.SetOwnerWord(g ? OwnerWord(g->id) : 0);
}
Zone* ZoltLiveZone(const ZoltValue& v) { return Live(v, ZoltValue::kZonePointer, g_zoneIds, ZoneList()); }
GridPoint* ZoltLiveGridPoint(const ZoltValue& v) {
  return Live(v, ZoltValue::kGridPointPointer, g_gpIds, GridPointList());
}
bool ZoltModelPointerLive(const ZoltValue& v) {
  if (v.TypeTag() != ZoltValue::kPointer || !v.Pointer()) return true;
  if (v.KindWord() == ZoltValue::kZonePointer) return ZoltLiveZone(v) != nullptr;
  if (v.KindWord() == ZoltValue::kGridPointPointer) return ZoltLiveGridPoint(v) != nullptr;
  return true;
}

namespace {
// ---------------------------------------------------------------------------
// Shared helpers

[[noreturn]] void Fail(const char* text) { throw ZoltExcept(String(text)); }
int32_t Integer(const ZoltValue& v) { return v.GetInt(kZoltIntMin, kZoltIntMax); }

// The array an "a" argument refers to, one-dimensional with at least `count` elements.
ZoltArray& ArrayArgument(const ZoltValue& v, uint32_t count) {
  ZoltArray* array = nullptr;
  if (v.TypeTag() == ZoltValue::kReference && v.Node()) {
    ZoltSymbol* s = static_cast<ZoltSymbol*>(v.Node());
    if (s->value.TypeTag() == ZoltValue::kArray) array = s->value.Array();
  } else if (v.TypeTag() == ZoltValue::kArray) {
    array = v.Array();
  }
  if (!array) Fail("Illegal argument to function expecting an array");
  if (array->Dimensions() != 1) Fail("Array argument of incorrect dimension");
  if (array->Count() < count) Fail("Array argument to function is not long enough");
  return *array;
}
void FillArray(const ZoltValue& v, const double* values, uint32_t count) {
  ZoltArray& a = ArrayArgument(v, count);
  for (uint32_t i = 0; i < count; ++i) a.At(i).SetFloat(values[i]);
}

ZoltValue& Extra(ZoltParamArray& extra, const ZoltValue& index) {
  const int32_t i = Integer(index);
  if (i < 1) return extra.At(extra.Count());  // "Parameter array index out of range"
  return extra.At(static_cast<uint32_t>(i - 1));
}

bool DynamicMultistepping() {
  const DynamicCalcModule* d = Modes().dynamic;
  return d && d->On() && d->StepSettings().multistepping;
}

// ---------------------------------------------------------------------------
// Zones

constexpr int kZoneBase = 2000;
constexpr int kZoneCount = 118;
const char* const kRetired = "@@@";

struct ZoneEntry {
  const char* name;
  uint8_t arguments;
  uint8_t readOnly;
};
// Indexed by code - 2000.
ZoneEntry g_zoneTable[kZoneCount];

void Z(int code, const char* name, int arguments, bool assignable) {
  g_zoneTable[code - kZoneBase] = {name, static_cast<uint8_t>(arguments), static_cast<uint8_t>(assignable ? 0 : 1)};
}
bool BuildZoneTable() {
  for (ZoneEntry& e : g_zoneTable) e = {kRetired, 1, 1};
  Z(2000, "z_next", 1, false);
  Z(2001, "z_gp", 2, false);
  Z(2002, "z_id", 1, false);
  Z(2004, "z_density", 1, true);
  Z(2005, "z_join", 2, false);
  Z(2007, "z_sxx", 1, true);
  Z(2009, "z_syy", 1, true);
  Z(2011, "z_szz", 1, true);
  Z(2013, "z_sxy", 1, true);
  Z(2015, "z_syz", 1, true);
  Z(2017, "z_sxz", 1, true);
  Z(2019, "z_volume", 1, false);
  Z(2021, "z_model", 1, true);
  Z(2022, "z_prop", 2, true);
  Z(2041, "z_sig1", 1, false);
  Z(2043, "z_sig2", 1, false);
  Z(2045, "z_sig3", 1, false);
  Z(2047, "z_xcen", 1, false);
  Z(2049, "z_ycen", 1, false);
  Z(2051, "z_zcen", 1, false);
  Z(2053, "z_state", 2, true);
  Z(2054, "z_extra", 2, true);
  Z(2055, "z_region", 1, true);
  Z(2056, "z_group", 1, true);
  Z(2059, "z_pp", 1, false);
  Z(2060, "z_qx", 1, false);
  Z(2061, "z_qy", 1, false);
  Z(2062, "z_qz", 1, false);
  Z(2063, "z_code", 1, false);
  Z(2064, "z_facesize", 2, false);
  Z(2065, "z_facegp", 3, false);
  Z(2066, "z_numgp", 1, false);
  Z(2068, "z_ssr", 1, false);
  Z(2070, "z_ssi", 1, false);
  Z(2072, "z_vsr", 1, false);
  Z(2074, "z_vsi", 1, false);
  Z(2076, "z_fsr", 2, false);
  Z(2078, "z_fsi", 2, false);
  Z(2088, "z_copy", 2, false);
  Z(2089, "z_statesave", 1, false);
  Z(2090, "z_staterest", 1, false);
  Z(2091, "z_ortho", 1, false);
  Z(2092, "z_aspect", 1, false);
  Z(2093, "z_planarity", 1, false);
  Z(2094, "z_pstress", 3, false);
  Z(2095, "z_sonplane", 3, false);
  Z(2096, "z_chCMoles", 2, true);
  Z(2097, "z_chCConc", 2, true);
  Z(2098, "z_dynmul", 1, false);
  Z(2099, "z_chMix", 1, true);
  Z(2100, "z_chEMoles", 2, false);
  Z(2101, "z_chNumPart", 1, false);
  Z(2102, "z_chMinNumPart", 1, true);
  Z(2103, "z_chNumPartIn", 1, false);
  Z(2104, "z_chNumPartOut", 1, false);
  Z(2105, "z_temp", 1, false);
  Z(2106, "z_chTTrigger", 1, true);
  Z(2107, "z_chPTrigger", 1, true);
  Z(2108, "z_chCTrigger", 2, true);
  Z(2109, "z_flx", 1, false);
  Z(2110, "z_fly", 1, false);
  Z(2111, "z_flz", 1, false);
  Z(2112, "z_inimodel", 1, false);
  Z(2113, "z_thmodel", 1, false);
  Z(2114, "z_flmodel", 1, false);
  Z(2115, "z_frr", 2, false);
  Z(2116, "z_fri", 2, false);
  Z(2117, "z_facenorm", 3, false);
  return true;
}
const bool g_zoneTableBuilt = BuildZoneTable();

const char* ZoneLetters(int code) {
  switch (code) {
    case 2076:
    case 2078:
    case 2115:
    case 2116:
      return "va";
    case 2094:
    case 2095:
    case 2117:
      return "vaa";
    default:
      return "";
  }
}

Zone& ZoneArg(const ZoltIntrinsicCall& c) {
  Zone* z = ZoltLiveZone(c.arguments[0]);
  if (!z) Fail("Null pointer as first argument to zone intrinsic");
  return *z;
}
// Corners of a face of the zone's type; 0 for a face the type lacks.
int FaceSize(const Zone& z, int face) {
  const int n = z.FaceGpCount(face);
  return n >= 3 ? n : 0;
}
int FaceArg(const ZoltValue& v) {
  const int32_t f = Integer(v);
  if (f < 1 || f > kZoneFaces) Fail("Face index out of range");
  return f - 1;
}

// One component of the zone's average stress (0 xx, 1 yy, 2 zz, 3 xy, 4 yz,
// 5 xz): the volume-weighted mean over the mechanical tetrahedra, reading
// only the volume and that stress of each (a loop over many zones is bound
// by memory).
double StressComponent(const Zone& z, int component) {
  static constexpr int kRecord[6] = {0, 1, 2, 3, 5, 4};
  const int k = kRecord[component];
  const int per = z.TetraPerOverlay();
  double total = 0.0, sum = 0.0;
  for (int o = 0; o < 2; ++o)
    if (const ZoneTetra* block = z.Tetra(o))
      for (int t = 0; t < per; ++t) {
        total += block[t].volume;
        sum += block[t].volume * block[t].stress[k];
      }
  return total != 0.0 ? sum / total : 0.0;
}

// The zone's named property; "density" is the density.
double ZoneProperty(const Zone& z, const String& name) {
  if (name == "density") return z.Density();
  double value = 0.0;
  if (!z.GetNamedProperty(name.c_str(), &value))
    throw ZoltExcept(MessageText("Property '%s' not found in zone %s", name, String(std::to_string(z.Id()))));
  return value;
}

// The property keywords of the zone's thermal or fluid model; "Undefined"
// without one.
String ModelKeywords(const ZoneRecord* record, const ZoneMaterialModels* models) {
  return record && models && record->ModelType() != 0 ? models->Keywords(record->ModelType()) : String("Undefined");
}

void RunModelOnce(Zone& z) {
  ConstitutiveModel* model = z.Model();
  if (!model || model->IsNull()) return;
  ModelState state;
  const int overlays = z.OverlayCount();
  state.tetCount = static_cast<uint8_t>(overlays * z.TetraPerOverlay());
  state.overlayCount = static_cast<uint8_t>(overlays);
  state.zoneVolume = z.StoredVolume();
  z.AverageStress(state.stress, true);
  state.density = z.Density();
  state.timeStep = Settings().timestep;
  state.largeStrain = Settings().largeStrain ? 1 : 0;
  state.porePressure = z.AveragePorePressure();
  if (const char* message = model->Initialize(3, state)) throw KWRExcept(message);
}

void SonPlane(const Zone& z, const ZoltIntrinsicCall& c) {
  ZoltArray& in = ArrayArgument(c.arguments[1], 3);
  double n[3];
  for (uint32_t i = 0; i < 3; ++i) n[i] = in.At(i).GetFloat();
  const double nn = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
  if (nn < 1e-5) Fail("Zero length normal specified.");
  const double len = std::sqrt(nn);
  for (double& x : n) x /= len;
  double s[6];
  z.AverageStress(s, false);  // xx, yy, zz, xy, xz, yz
  const double t[3] = {s[0] * n[0] + s[3] * n[1] + s[4] * n[2], s[3] * n[0] + s[1] * n[1] + s[5] * n[2],
                       s[4] * n[0] + s[5] * n[1] + s[2] * n[2]};
  const double sn = t[0] * n[0] + t[1] * n[1] + t[2] * n[2];
  double shear[3] = {t[0] - sn * n[0], t[1] - sn * n[1], t[2] - sn * n[2]};
  const double tau = std::sqrt(shear[0] * shear[0] + shear[1] * shear[1] + shear[2] * shear[2]);
  if (tau > 0.0)
    for (double& x : shear) x /= tau;
  const double out[5] = {sn, tau, shear[0], shear[1], shear[2]};
  FillArray(c.arguments[2], out, 5);
}

void PStress(const Zone& z, const ZoltIntrinsicCall& c) {
  double s[6];
  z.AverageStress(s, false);
  double values[3];
  Axes axes;
  STensor(s).Prin(values, &axes);
  ArrayArgument(c.arguments[1], 3);
  ArrayArgument(c.arguments[2], 9);
  FillArray(c.arguments[1], values, 3);
  double cosines[9];
  for (int i = 0; i < 3; ++i) {
    cosines[3 * i] = axes[i].x;
    cosines[3 * i + 1] = axes[i].y;
    cosines[3 * i + 2] = axes[i].z;
  }
  FillArray(c.arguments[2], cosines, 9);
}

void FaceNorm(const Zone& z, ZoltIntrinsicCall& c) {
  ZoltArray& ids = ArrayArgument(c.arguments[1], 3);
  ArrayArgument(c.arguments[2], 3);
  uint32_t id[3];
  for (uint32_t i = 0; i < 3; ++i) id[i] = static_cast<uint32_t>(Integer(ids.At(i)));
  double normal[3] = {0, 0, 0};
  double area = 0.0;
  const int face = z.FindFace(id[0], id[1], id[2]);
  if (face >= 0) z.FaceNormalArea(face, normal, &area);
  FillArray(c.arguments[2], normal, 3);
  c.value.SetFloat(area);
}

void ZoneEvaluate(ZoltIntrinsicCall& c) {
  const int code = c.code;
  if (g_zoneTable[code - kZoneBase].name == kRetired || code == 2099 || (code >= 2106 && code <= 2108))
    throw ZoltExcept(MessageText("Obsolete ZOLT zone variable used: ID=%s", String(std::to_string(code - kZoneBase))));
  Zone& z = ZoneArg(c);
  const ZoltValue& a1 = c.arguments[1];
  switch (code) {
    case 2000:
      return ZoltSetZone(c.value, ModelList<Zone>::Next(&z));
    case 2001: {
      const int32_t i = Integer(a1);
      if (i < 1 || i > z.GpCount()) Fail("Gp index out of range");
      return ZoltSetGridPoint(c.value, z.Gp(i - 1));
    }
    case 2002:
      return c.value.SetInt(static_cast<int32_t>(z.Id()));
    case 2004:
      return c.value.SetFloat(z.Density());
    case 2005:
      return ZoltSetZone(c.value, z.Neighbour(FaceArg(a1)));
    case 2007:
    case 2009:
    case 2011:
    case 2013:
    case 2015:
    case 2017:
      return c.value.SetFloat(StressComponent(z, (code - 2007) / 2));
    case 2019:
      return c.value.SetFloat(z.Volume());
    case 2021:
      return c.value.SetString(z.Model() ? String(z.Model()->Name()) : String("Undefined"));
    case 2022:
      return c.value.SetFloat(ZoneProperty(z, a1.GetString()));
    case 2041:
    case 2043:
    case 2045: {
      double s[6], p[3];
      STensor::PrinValues(z.AverageStress(s, false), p);
      return c.value.SetFloat(p[(code - 2041) / 2]);
    }
    case 2047:
    case 2049:
    case 2051: {
      double p[3];
      z.Centroid(p);
      return c.value.SetFloat(p[(code - 2047) / 2]);
    }
    case 2053: {
      const int32_t selector = Integer(a1);
      if (selector < 0 || selector > 1) Fail(" Index of z_state function out of range");
      return c.value.SetInt(z.GetState(nullptr, selector == 1));
    }
    case 2054:
      c.value = Extra(z.Extra(), a1);
      return;
    case 2055:
    case 2056:
      return c.value.SetString(z.GetGroup() ? z.GroupName() : String("None"));
    case 2059:
      return c.value.SetFloat(z.AveragePorePressure());
    case 2063:
      return c.value.SetInt(z.Type());
    case 2064:
      return c.value.SetInt(FaceSize(z, FaceArg(a1)));
    case 2065: {
      const int face = FaceArg(a1);
      const int32_t j = Integer(c.arguments[2]);
      if (j < 1 || j > FaceSize(z, face)) Fail("Face vertex index out of range");
      return ZoltSetGridPoint(c.value, z.GetFaceGp(face, j - 1));
    }
    case 2066:
      return c.value.SetInt(z.GpCount());
    case 2068:
    case 2070:
    case 2072:
    case 2074:
      return c.value.SetFloat(z.StrainMeasure((code - 2068) / 2 + 1, nullptr));
    case 2076:
    case 2078:
    case 2115:
    case 2116: {
      const int measure = code == 2076 ? 5 : code == 2078 ? 6 : code == 2115 ? 7 : 8;
      ArrayArgument(a1, 6);
      double t[6];
      z.StrainMeasure(measure, t);
      FillArray(a1, t, 6);
      return;
    }
    case 2088: {
      Zone* to = ZoltLiveZone(a1);
      if (!to) throw KWRExcept("Null zone pointer as second argument to z_copy");
      to->CopyFrom(z);
      return;
    }
    case 2089:
    case 2090:
      return c.value.SetInt(ZoltZoneState(z, code == 2089));
    case 2091:
      return c.value.SetFloat(z.Orthogonality());
    case 2092:
      return c.value.SetFloat(z.AspectRatio());
    case 2093:
      return c.value.SetFloat(ZoneFacePlanarity(z));
    case 2094:
      return PStress(z, c);
    case 2095:
      return SonPlane(z, c);
    case 2096:
    case 2097: {
      const int32_t i = Integer(a1);
      double moles = z.chemistry && Modes().chem ? Modes().chem->ZoneComponentMoles(z, i) : 0.0;
      if (code == 2097) {
        const double v = z.Volume();
        if (v > 0.0) moles /= v;
      }
      return c.value.SetFloat(moles);
    }
    case 2098:
      c.value.SetFloat(0.0);
      if (!DynamicMultistepping()) Fail("ZOLT zone variable requires dynamic multistepping.");
      return c.value.SetFloat(z.dynamicMultiplier ? *z.dynamicMultiplier : 0.0);
    case 2100:
      Integer(a1);
      return c.value.SetFloat(0.0);
    case 2101:
      return c.value.SetInt(static_cast<int32_t>(z.particles.size()));
    case 2102:
    case 2103:
    case 2104:
      return c.value.SetInt(0);
    case 2105:
      return c.value.SetFloat(Modes().thermal ? Modes().thermal->ZoneTemperature(z) : 0.0);
    case 2060:
    case 2061:
    case 2062:
    case 2109:
    case 2110:
    case 2111:
      return c.value.SetFloat(0.0);
    case 2112:
      RunModelOnce(z);
      return;
    case 2113:
      return c.value.SetString(ModelKeywords(z.thermal.get(), ThermalZoneModels()));
    case 2114:
      return c.value.SetString(ModelKeywords(z.fluid.get(), FluidZoneModels()));
    case 2117:
      return FaceNorm(z, c);
    default:
      return;
  }
}

void ZoneAssign(ZoltIntrinsicCall& c) {
  const int code = c.code;
  if (g_zoneTable[code - kZoneBase].readOnly) Fail("Obsolete ZOLT zone variable used");
  Zone& z = ZoneArg(c);
  const ZoltValue& a1 = c.arguments[1];
  switch (code) {
    case 2004:
      return z.SetDensity(c.value.GetFloat());
    case 2007:
    case 2009:
    case 2011:
    case 2013:
    case 2015:
    case 2017:
      return z.SetStress(c.value.GetFloat(), (code - 2007) / 2);
    case 2021:
      return z.SetModelByName(c.value.GetString());
    case 2022: {
      const String name = a1.GetString();
      const double value = c.value.GetFloat();
      if (name == "density") return z.SetDensity(value);
      if (!z.SetProperty(name.c_str(), value))
        throw ZoltExcept(MessageText("Property '%s' not found in zone %s", name, String(std::to_string(z.Id()))));
      return;
    }
    case 2053:
      Integer(a1);
      return z.SetTetraState(static_cast<uint16_t>(Integer(c.value)));
    case 2054:
      Extra(z.Extra(), a1) = c.value;
      return;
    case 2055:
    case 2056:
      return z.SetGroupByName(c.value.GetString());
    case 2097:
      if (!z.chemistry) throw QJExcept("NULL chem zone 00F");
      return;
    default:
      // Chemistry settings without a chemistry record change nothing.
      return;
  }
}

class ZoneSet : public ZoltIntrinsicSet {
 public:
  bool Call(ZoltInterpreter&, ZoltIntrinsicCall& c) override {
    const int i = c.code - kZoneBase;
    switch (c.mode) {
      case ZoltIntrinsicCall::kFind: {
        static std::unordered_map<std::string, int> index;
        static ZoltIntrinsicEntry entries[kZoneCount];
        if (index.empty())
          for (int k = 0; k < kZoneCount; ++k)
            entries[k] = {g_zoneTable[k].name, g_zoneTable[k].arguments, g_zoneTable[k].readOnly, nullptr};
        const int k = c.name ? FindZoltIntrinsicName(entries, kZoneCount, c.name, index) : -1;
        if (k < 0 || g_zoneTable[k].name == kRetired) {
          c.code = -1;
          return false;
        }
        c.code = k + kZoneBase;
        c.readOnly = g_zoneTable[k].readOnly;
        return true;
      }
      case ZoltIntrinsicCall::kDescribe:
        if (i < 0 || i >= kZoneCount) return false;
        c.argumentCount = g_zoneTable[i].arguments;
        c.readOnly = g_zoneTable[i].readOnly;
        c.argumentLetters = String(ZoneLetters(c.code));
        return true;
      case ZoltIntrinsicCall::kAssign:
        if (i < 0 || i >= kZoneCount) return false;
        ZoneAssign(c);
        return true;
      case ZoltIntrinsicCall::kEvaluate:
        if (i < 0 || i >= kZoneCount) return false;
        c.value.SetInt(0);
        ZoneEvaluate(c);
        return true;
      default:
        return false;
    }
  }
};

// ---------------------------------------------------------------------------
// Grid-points

constexpr int kGpBase = 3000;
const ZoltIntrinsicEntry kGpTable[] = {
    {"gp_next", 1, 1, nullptr},      {"gp_id", 1, 1, nullptr},      {"gp_mass", 1, 0, nullptr},
    {"@@@", 1, 1, nullptr},          {"gp_xpos", 1, 0, nullptr},    {"@@@", 1, 1, nullptr},
    {"gp_ypos", 1, 0, nullptr},      {"@@@", 1, 1, nullptr},        {"gp_zpos", 1, 0, nullptr},
    {"@@@", 1, 1, nullptr},          {"gp_xvel", 1, 0, nullptr},    {"@@@", 1, 1, nullptr},
    {"gp_yvel", 1, 0, nullptr},      {"@@@", 1, 1, nullptr},        {"gp_zvel", 1, 0, nullptr},
    {"@@@", 1, 1, nullptr},          {"gp_xdisp", 1, 0, nullptr},   {"@@@", 1, 1, nullptr},
    {"gp_ydisp", 1, 0, nullptr},     {"@@@", 1, 1, nullptr},        {"gp_zdisp", 1, 0, nullptr},
    {"@@@", 1, 1, nullptr},          {"gp_xfunbal", 1, 1, nullptr}, {"@@@", 1, 1, nullptr},
    {"gp_yfunbal", 1, 1, nullptr},   {"@@@", 1, 1, nullptr},        {"gp_zfunbal", 1, 1, nullptr},
    {"@@@", 1, 1, nullptr},          {"gp_xfapp", 1, 1, nullptr},   {"@@@", 1, 1, nullptr},
    {"gp_yfapp", 1, 1, nullptr},     {"@@@", 1, 1, nullptr},        {"gp_zfapp", 1, 1, nullptr},
    {"gp_extra", 2, 0, nullptr},     {"gp_temp", 1, 0, nullptr},    {"gp_pp", 1, 0, nullptr},
    {"gp_copy", 2, 1, nullptr},      {"gp_flow", 1, 0, nullptr},    {"gp_statesave", 1, 1, nullptr},
    {"gp_staterest", 1, 1, nullptr}, {"gp_fmod", 1, 0, nullptr},    {"gp_finvol", 1, 1, nullptr},
    {"gp_sat", 1, 0, nullptr},       {"gp_ftens", 1, 0, nullptr},   {"gp_xload", 1, 0, nullptr},
    {"gp_yload", 1, 0, nullptr},     {"gp_zload", 1, 0, nullptr},   {"gp_xfix", 1, 0, nullptr},
    {"gp_yfix", 1, 0, nullptr},      {"gp_zfix", 1, 0, nullptr},    {"gp_locsmall", 1, 0, nullptr},
    {"gp_region", 2, 1, nullptr},    {"gp_group", 2, 1, nullptr},   {"gp_psource", 1, 0, nullptr},
    {"gp_biotmod", 1, 0, nullptr},   {"gp_tfix", 1, 0, nullptr},    {"gp_dynmul", 1, 1, nullptr},
};
constexpr int kGpCount = static_cast<int>(sizeof kGpTable / sizeof kGpTable[0]);
static_assert(kGpCount == 57, "the grid-point intrinsics are codes 3000 to 3056");

GridPoint& GpArg(const ZoltIntrinsicCall& c) {
  GridPoint* g = ZoltLiveGridPoint(c.arguments[0]);
  if (!g) Fail("Null pointer as first argument to gridpoint intrinsic");
  return *g;
}
GpThermalData& Thermal(GridPoint& g) {
  if (!Modes().thermal) throw QJExcept("Not configured for thermal calculation");
  if (!g.thermal) g.thermal = std::make_unique<GpThermalData>();
  return *g.thermal;
}
// The fluid record, or null without fluid configuration or record.
GpFluidData* Fluid(GridPoint& g) { return Modes().fluid ? g.fluid.get() : nullptr; }
uint32_t FixBit(int code) { return code == 3047 ? NodeBase::kFixX : code == 3048 ? NodeBase::kFixY : NodeBase::kFixZ; }

void GpEvaluate(ZoltIntrinsicCall& c) {
  const int code = c.code;
  if (String(kGpTable[code - kGpBase].name) == kRetired) Fail("Obsolete ZOLT gridpoint variable used");
  GridPoint& g = GpArg(c);
  const ZoltValue& a1 = c.arguments[1];
  switch (code) {
    case 3000:
      return ZoltSetGridPoint(c.value, ModelList<GridPoint>::Next(&g));
    case 3001:
      return c.value.SetInt(static_cast<int32_t>(g.id));
    case 3002:
      return c.value.SetFloat(g.mass);
    case 3004:
    case 3006:
    case 3008:
      return c.value.SetFloat(g.position[(code - 3004) / 2]);
    case 3010:
    case 3012:
    case 3014:
      return c.value.SetFloat(g.velocity[(code - 3010) / 2]);
    case 3016:
    case 3018:
    case 3020:
      return c.value.SetFloat(g.displacement[(code - 3016) / 2]);
    case 3022:
    case 3024:
    case 3026:
      return c.value.SetFloat(g.unbalancedForce[(code - 3022) / 2]);
    case 3028:
    case 3030:
    case 3032: {
      const int k = (code - 3028) / 2;
      return c.value.SetFloat(g.appliedForce[0][k] + g.appliedForce[1][k]);
    }
    case 3033:
      c.value = Extra(g.extra, a1);
      return;
    case 3034:
      return c.value.SetFloat(Thermal(g).temperature);
    case 3035:
      return c.value.SetFloat(g.porePressure);
    case 3036: {
      GridPoint* to = ZoltLiveGridPoint(a1);
      if (!to) throw KWRExcept("Null gridpoint pointer as second argument to gp_copy");
      if (to != &g) to->CopyState(g);
      return;
    }
    case 3037:
      return c.value.SetFloat(Fluid(g) ? Fluid(g)->flow : 0.0);
    case 3038:
    case 3039:
      return c.value.SetInt(ZoltGridPointState(g, code == 3038));
    case 3040:
      return c.value.SetFloat(Fluid(g) ? Fluid(g)->fluidModulus : 0.0);
    case 3041:
      return c.value.SetFloat(Fluid(g) ? Fluid(g)->inverseVolume : 0.0);
    case 3042:
      return c.value.SetFloat(Fluid(g) ? Fluid(g)->saturation : 0.0);
    case 3043:
      return c.value.SetFloat(Fluid(g) ? Fluid(g)->tensionLimit : 0.0);
    case 3044:
    case 3045:
    case 3046:
      return c.value.SetFloat(g.load[code - 3044]);
    case 3047:
    case 3048:
    case 3049:
      return c.value.SetInt((g.flags & FixBit(code)) ? 1 : 0);
    case 3050:
      return c.value.SetInt((g.flags & NodeBase::kLocalSmallStrain) ? 1 : 0);
    case 3051:
    case 3052: {
      const int32_t i = Integer(a1);
      if (i == 0) return c.value.SetInt(g.GroupSlotCount());
      return c.value.SetString(i > 0 ? g.GroupName(i - 1) : String());
    }
    case 3053:
      return c.value.SetFloat(Thermal(g).heatSource);
    case 3054:
      return c.value.SetFloat(Fluid(g) && Modes().fluid->BiotOn() ? Fluid(g)->modulus : 0.0);
    case 3055:
      Thermal(g);
      return c.value.SetInt((g.flags & NodeBase::kFixTemperature) ? 1 : 0);
    case 3056:
      c.value.SetFloat(0.0);
      if (!DynamicMultistepping()) Fail("ZOLT gridpoint variable requires dynamic multistepping.");
      return c.value.SetFloat(g.dynamicBlock ? g.dynamicBlock->multiStep : 0.0);
    default:
      return;
  }
}

void GpAssign(ZoltIntrinsicCall& c) {
  const int code = c.code;
  if (kGpTable[code - kGpBase].readOnly) Fail("Obsolete ZOLT gridpoint variable used");
  GridPoint& g = GpArg(c);
  const ZoltValue& v = c.value;
  switch (code) {
    case 3002:
      g.mass = v.GetFloat();
      return;
    case 3004:
    case 3006:
    case 3008:
      g.position[(code - 3004) / 2] = v.GetFloat();
      GridPointsMoved();  // the nearest grid-point and zone look-ups follow
      return;
    case 3010:
    case 3012:
    case 3014:
      g.velocity[(code - 3010) / 2] = v.GetFloat();
      return;
    case 3016:
    case 3018:
    case 3020:
      g.displacement[(code - 3016) / 2] = v.GetFloat();
      return;
    case 3033:
      Extra(g.extra, c.arguments[1]) = v;
      return;
    case 3034:
      Thermal(g).temperature = v.GetFloat();
      return;
    case 3035:
      g.porePressure = v.GetFloat();
      return;
    case 3037:
      if (GpFluidData* f = Fluid(g)) f->flow = v.GetFloat();
      return;
    case 3040:
      if (GpFluidData* f = Fluid(g)) f->fluidModulus = v.GetFloat();
      return;
    case 3042:
      if (GpFluidData* f = Fluid(g)) f->saturation = v.GetFloat();
      return;
    case 3043:
      if (GpFluidData* f = Fluid(g)) f->tensionLimit = v.GetFloat();
      return;
    case 3044:
    case 3045:
    case 3046:
      g.load[code - 3044] = v.GetFloat();
      return;
    case 3047:
    case 3048:
    case 3049:
    case 3050: {
      const uint32_t bit = code == 3050 ? NodeBase::kLocalSmallStrain : FixBit(code);
      if (Integer(v) != 0)
        g.flags |= bit;
      else
        g.flags &= ~bit;
      return;
    }
    case 3053:
      Thermal(g).heatSource = v.GetFloat();
      return;
    case 3054:
      if (GpFluidData* f = Fluid(g))
        if (Modes().fluid->BiotOn()) f->modulus = v.GetFloat();
      return;
    case 3055: {
      GpThermalData& t = Thermal(g);
      const double value = v.GetFloat();
      g.flags |= NodeBase::kFixTemperature;
      t.temperatureIncrement += value - t.temperature;
      t.temperature = value;
      return;
    }
    default:
      return;
  }
}

class GridPointSet : public ZoltIntrinsicSet {
 public:
  bool Call(ZoltInterpreter&, ZoltIntrinsicCall& c) override {
    const int i = c.code - kGpBase;
    switch (c.mode) {
      case ZoltIntrinsicCall::kFind: {
        static std::unordered_map<std::string, int> index;
        const int k = c.name ? FindZoltIntrinsicName(kGpTable, kGpCount, c.name, index) : -1;
        if (k < 0 || String(kGpTable[k].name) == kRetired) {
          c.code = -1;
          return false;
        }
        c.code = k + kGpBase;
        c.readOnly = kGpTable[k].readOnly;
        return true;
      }
      case ZoltIntrinsicCall::kDescribe:
        if (i < 0 || i >= kGpCount) return false;
        c.argumentCount = kGpTable[i].arguments;
        c.readOnly = kGpTable[i].readOnly;
        c.argumentLetters = String();
        return true;
      case ZoltIntrinsicCall::kAssign:
        if (i < 0 || i >= kGpCount) return false;
        GpAssign(c);
        return true;
      case ZoltIntrinsicCall::kEvaluate:
        if (i < 0 || i >= kGpCount) return false;
        c.value.SetInt(0);
        GpEvaluate(c);
        return true;
      default:
        return false;
    }
  }
};
}  // namespace

ZoltIntrinsicSet& ZoltZoneIntrinsics() {
  static ZoneSet set;
  return set;
}
ZoltIntrinsicSet& ZoltGridPointIntrinsics() {
  static GridPointSet set;
  return set;
}

void InstallZoltZoneIntrinsics() {
  SetZoltIntrinsicSet(2, &ZoltZoneIntrinsics());
  SetZoltIntrinsicSet(3, &ZoltGridPointIntrinsics());
}
