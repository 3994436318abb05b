// The intrinsics on the model as a whole (codes 1000-1050) and the remapping
// of restored zone and grid-point pointers.
#include <cmath>
#include <limits>

#include "base/command.h"
#include "base/message.h"
#include "base/range.h"
#include "base/range_named.h"
#include "model/calc_module.h"
#include "model/grid.h"
#include "model/model.h"
#include "zolt/zolt_error.h"
#include "zolt/zolt_interpreter.h"
#include "zolt/zolt_intrinsics.h"
#include "zolt/zolt_model_pointers.h"

namespace {
using Handler = void (*)(ZoltInterpreter& zolt, ZoltIntrinsicCall& call);

const ZoltValue& Arg(const ZoltIntrinsicCall& c, int i) { return c.arguments[i]; }
int32_t Integer(const ZoltValue& v) { return v.GetInt(kZoltIntMin, kZoltIntMax); }

void ZonePointer(ZoltValue& v, Zone* z) { ZoltSetZone(v, z); }
void GpPointer(ZoltValue& v, GridPoint* g) { ZoltSetGridPoint(v, g); }

void Position(const ZoltIntrinsicCall& c, double p[3]) {
  for (int i = 0; i < 3; ++i) p[i] = Arg(c, i).GetFloat();
}

void ZoneHead(ZoltInterpreter&, ZoltIntrinsicCall& c) { ZonePointer(c.value, CurrentModel().Zones().Head()); }
void GpHead(ZoltInterpreter&, ZoltIntrinsicCall& c) { GpPointer(c.value, CurrentModel().GridPoints().Head()); }
void MemSize(ZoltInterpreter&, ZoltIntrinsicCall& c) { c.value.SetInt(0); }
template <bool All>
void GpNear(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  double p[3];
  Position(c, p);
  // Through the grid's spatial index of grid-points.
  GpPointer(c.value, NearestGridpointAny(p));
}
template <bool All>
void ZNear(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  double p[3];
  Position(c, p);
  // Through the grid's index of zone centroids.
  ZonePointer(c.value, All ? NearestZoneAny(p) : NearestZone(p));
}
void Step(ZoltInterpreter&, ZoltIntrinsicCall& c) { c.value.SetInt(Settings().totalCycles); }
void NZone(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  c.value.SetInt(static_cast<int32_t>(CurrentModel().Zones().Count()));
}
void NGp(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  c.value.SetInt(static_cast<int32_t>(CurrentModel().GridPoints().Count()));
}
template <int Axis>
void Grav(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  c.value.SetFloat(Settings().gravity[Axis]);
}
void Unbal(ZoltInterpreter&, ZoltIntrinsicCall& c) { c.value.SetFloat(Settings().unbalancedForce); }
void Large(ZoltInterpreter&, ZoltIntrinsicCall& c) { c.value.SetInt(Settings().largeStrain ? 1 : 0); }

template <uint8_t Type>
void ModuleTime(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  const CalcModule* m = ModeOf(Type);
  c.value.SetFloat(m ? m->Time() : 0.0);
}
template <uint8_t Type>
void ModuleStep(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  CalcModule* m = ModeOf(Type);
  c.value.SetFloat(m ? m->GetTimestep() : 0.0);
}
void MechRatio(ZoltInterpreter&, ZoltIntrinsicCall& c) { c.value.SetFloat(Settings().forceRatio); }
void NoRatio(ZoltInterpreter&, ZoltIntrinsicCall& c) { c.value.SetFloat(0.0); }
void Timestep(ZoltInterpreter&, ZoltIntrinsicCall& c) { c.value.SetFloat(Settings().timestep); }

void InRange(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  const String name = Arg(c, 0).GetString();
  const Range* range = FindNamedRange(name);
  if (!range) throw ZoltExcept(MessageText("Range %s not found", name));
  const ZoltValue& p = Arg(c, 1);
  const LocatedObject* subject = nullptr;
  if (p.TypeTag() == ZoltValue::kPointer && p.Pointer()) {
    auto* node = static_cast<LinkListNode*>(p.Pointer());
    if (p.KindWord() == ZoltValue::kZonePointer)
      subject = static_cast<Zone*>(node);
    else if (p.KindWord() == ZoltValue::kGridPointPointer)
      subject = static_cast<GridPoint*>(node);
  }
  c.value.SetInt(range->IsIn(subject) ? 1 : 0);
}
void GenRatio(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  const double r = Arg(c, 0).GetFloat();
  const int32_t m = Integer(Arg(c, 1)), n = Integer(Arg(c, 2));
  double top = 0.0, bottom = 0.0;
  if (r == 1.0) {
    top = m;
    bottom = n;
  } else {
    top = std::pow(r, m) - 1.0;
    bottom = std::pow(r, n) - 1.0;
  }
  if (bottom == 0.0) ZoltError(kErrDivideByZero);
  c.value.SetFloat(top / bottom);
}
void FindGp(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  const int32_t id = Integer(Arg(c, 0));
  for (GridPoint* g : CurrentModel().GridPoints())
    if (static_cast<int64_t>(g->id) == id) return GpPointer(c.value, g);
  c.value.SetPointer(nullptr, 0);
}
void FindZone(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  const int32_t id = Integer(Arg(c, 0));
  for (Zone* z : CurrentModel().Zones())
    if (static_cast<int64_t>(z->Id()) == id) return ZonePointer(c.value, z);
  c.value.SetPointer(nullptr, 0);
}
void Fos(ZoltInterpreter&, ZoltIntrinsicCall& c) { c.value.SetFloat(0.0); }
void MClick(ZoltInterpreter&, ZoltIntrinsicCall& c) { c.value.SetFloat(std::numeric_limits<double>::max()); }
template <bool Left>
void Shift(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  const int32_t a = Integer(Arg(c, 0));
  const int b = static_cast<int>(static_cast<uint32_t>(Integer(Arg(c, 1))) % 32u);
  c.value.SetInt(Left ? static_cast<int32_t>(static_cast<uint32_t>(a) << b) : (a >> b));
}
// The chemistry module, raised as the script's own error when there is none.
ChemCalcModule& Chem() {
  if (!Modes().chem) throw ZoltExcept(MessageText("Not configured for chemistry calculations."));
  return *Modes().chem;
}
void Chemistry(ZoltInterpreter&, ZoltIntrinsicCall&) { Chem(); }
void ChCompNum(ZoltInterpreter&, ZoltIntrinsicCall& c) { c.value.SetInt(Chem().FindComponent(Arg(c, 0).GetString())); }
void ChkConfig(ZoltInterpreter&, ZoltIntrinsicCall& c) {
  const String word = Arg(c, 0).GetString();
  if (word == String("mech")) {
    c.value.SetInt(Settings().mechanical ? 2 : 1);
    return;
  }
  static const struct {
    const char* name;
    uint8_t type;
  } kModes[] = {{"fluid", CalcModule::kFluid},
                {"thermal", CalcModule::kThermal},
                {"dynamic", CalcModule::kDynamic},
                {"creep", CalcModule::kCreep},
                {"chem", CalcModule::kChemistry}};
  for (const auto& mode : kModes)
    if (word == String(mode.name)) {
      const CalcModule* m = ModeOf(mode.type);
      c.value.SetInt(!m ? 0 : m->On() ? 2 : 1);
      return;
    }
}
void DoUpdate(ZoltInterpreter& zolt, ZoltIntrinsicCall&) {
  if (CommandType* interp = zolt.Interp()) TheModules().PrepareCycle(*interp);
}

struct Entry {
  ZoltIntrinsicEntry entry;
  Handler evaluate;
};
const Entry kModel[] = {
    {{"zone_head", 0, 1, nullptr}, &ZoneHead},
    {{"gp_head", 0, 1, nullptr}, &GpHead},
    {{"memsize", 0, 1, nullptr}, &MemSize},
    {{"memfree", 0, 1, nullptr}, &MemSize},
    {{"gp_near", 3, 1, nullptr}, &GpNear<false>},
    {{"step", 0, 1, nullptr}, &Step},
    {{"nzone", 0, 1, nullptr}, &NZone},
    {{"ngp", 0, 1, nullptr}, &NGp},
    {{"xgrav", 0, 0, nullptr}, &Grav<0>},
    {{"ygrav", 0, 0, nullptr}, &Grav<1>},
    {{"zgrav", 0, 0, nullptr}, &Grav<2>},
    {{"unbal", 0, 1, nullptr}, &Unbal},
    {{"large", 0, 0, nullptr}, &Large},
    {{"z_near", 3, 1, nullptr}, &ZNear<false>},
    {{"dytime", 0, 0, nullptr}, &ModuleTime<CalcModule::kDynamic>},
    {{"crtime", 0, 0, nullptr}, &ModuleTime<CalcModule::kCreep>},
    {{"thtime", 0, 0, nullptr}, &ModuleTime<CalcModule::kThermal>},
    {{"dydt", 0, 0, nullptr}, &ModuleStep<CalcModule::kDynamic>},
    {{"crdt", 0, 0, nullptr}, &ModuleStep<CalcModule::kCreep>},
    {{"thdt", 0, 0, nullptr}, &ModuleStep<CalcModule::kThermal>},
    {{"mech_ratio", 0, 1, nullptr}, &MechRatio},
    {{"fltime", 0, 0, nullptr}, &ModuleTime<CalcModule::kFluid>},
    {{"fldt", 0, 0, nullptr}, &ModuleStep<CalcModule::kFluid>},
    {{"therm_ratio", 0, 1, nullptr}, &NoRatio},
    {{"fluid_ratio", 0, 1, nullptr}, &NoRatio},
    {{"timestep", 0, 1, nullptr}, &Timestep},
    {{"inrange", 2, 1, nullptr}, &InRange},
    {{"gen_ratio", 3, 1, nullptr}, &GenRatio},
    {{"find_gp", 1, 1, nullptr}, &FindGp},
    {{"find_zone", 1, 1, nullptr}, &FindZone},
    {{"fos_f", 0, 1, nullptr}, &Fos},
    {{"mclickx", 0, 1, nullptr}, &MClick},
    {{"mclicky", 0, 1, nullptr}, &MClick},
    {{"mclickz", 0, 1, nullptr}, &MClick},
    {{"z_nearall", 3, 1, nullptr}, &ZNear<true>},
    {{"gp_nearall", 3, 1, nullptr}, &GpNear<true>},
    {{"lshift", 2, 1, nullptr}, &Shift<true>},
    {{"rshift", 2, 1, nullptr}, &Shift<false>},
    {{"ch_numComponents", 0, 1, nullptr}, &Chemistry},
    {{"ch_numElements", 0, 1, nullptr}, &Chemistry},
    {{"ch_compName", 1, 1, nullptr}, &Chemistry},
    {{"ch_getSTtable", 1, 1, "a"}, &Chemistry},
    {{"ch_elemName", 1, 1, nullptr}, &Chemistry},
    {{"chk_config", 1, 1, nullptr}, &ChkConfig},
    {{"ch_track", 4, 1, nullptr}, &Chemistry},
    {{"ch_initrack", 3, 1, nullptr}, &Chemistry},
    {{"ch_compNum", 1, 1, nullptr}, &ChCompNum},
    {{"ch_compType", 1, 1, nullptr}, &Chemistry},
    {{"ch_numAqueous", 0, 1, nullptr}, &Chemistry},
    {{"ch_numSolids", 0, 1, nullptr}, &Chemistry},
    {{"do_update", 0, 1, nullptr}, &DoUpdate},
};
constexpr int kCount = static_cast<int>(sizeof kModel / sizeof kModel[0]);
static_assert(kCount == 51, "the model-wide intrinsics are codes 1000 to 1050");
constexpr int kBase = 1000;

CalcModule& ConfiguredModule(uint8_t type, const char* message) {
  CalcModule* m = ModeOf(type);
  if (!m) throw ZoltExcept(MessageText(message));
  return *m;
}

void Assign(ZoltIntrinsicCall& c) {
  const int i = c.code - kBase;
  switch (i) {
    case 8:
    case 9:
    case 10:
      Settings().gravity[i - 8] = c.value.GetFloat();
      return;
    case 12: {
      const bool on = Integer(c.value) != 0;
      if (on && !Settings().largeStrain) CurrentModel().Structures().ResetNodePositions();
      Settings().largeStrain = on;
      return;
    }
    default:
      break;
  }
  static const struct {
    int index;
    uint8_t type;
    bool time;
    const char* message;
  } kModules[] = {
      {14, CalcModule::kDynamic, true, "Not configured for dynamic calculation"},
      {15, CalcModule::kCreep, true, "Not configured for creep calculation"},
      {16, CalcModule::kThermal, true, "Not configured for thermal calculation"},
      {21, CalcModule::kFluid, true, "Not configured for fluid calculation"},
      {17, CalcModule::kDynamic, false, "Not configured for dynamic calculation"},
      {18, CalcModule::kCreep, false, "Not configured for creep calculation"},
      {19, CalcModule::kThermal, false, "Not configured for thermal calculation"},
      {22, CalcModule::kFluid, false, "Not configured for fluid calculation"},
  };
  for (const auto& m : kModules)
    if (m.index == i) {
      CalcModule& module = ConfiguredModule(m.type, m.message);
      if (m.time)
        module.SetTime(c.value.GetFloat());
      else
        module.SetTimestep(c.value.GetFloat());
      return;
    }
}

class ModelSet : public ZoltIntrinsicSet {
 public:
  bool Call(ZoltInterpreter& zolt, ZoltIntrinsicCall& c) override {
    const int i = c.code - kBase;
    switch (c.mode) {
      case ZoltIntrinsicCall::kFind: {
        static std::unordered_map<std::string, int> index;
        static ZoltIntrinsicEntry entries[kCount];
        if (index.empty())
          for (int k = 0; k < kCount; ++k) entries[k] = kModel[k].entry;
        const int k = c.name ? FindZoltIntrinsicName(entries, kCount, c.name, index) : -1;
        if (k < 0) {
          c.code = -1;
          return false;
        }
        c.code = k + kBase;
        c.readOnly = kModel[k].entry.readOnly;
        return true;
      }
      case ZoltIntrinsicCall::kDescribe:
        if (i < 0 || i >= kCount) return false;
        c.argumentCount = kModel[i].entry.arguments;
        c.readOnly = kModel[i].entry.readOnly;
        c.argumentLetters = kModel[i].entry.letters ? String(kModel[i].entry.letters) : String();
        return true;
      case ZoltIntrinsicCall::kAssign:
        if (i < 0 || i >= kCount) return false;
        Assign(c);
        return true;
      case ZoltIntrinsicCall::kEvaluate:
        if (i < 0 || i >= kCount) return false;
        c.value.SetInt(0);
        kModel[i].evaluate(zolt, c);
        return true;
      default:
        return false;
    }
  }
};
}  // namespace

ZoltIntrinsicSet& ZoltModelIntrinsics() {
  static ModelSet set;
  return set;
}

bool RemapZoltModelPointer(ZoltValue& value, uint32_t index) {
  switch (value.KindWord()) {
    case ZoltValue::kZonePointer:
    case ZoltValue::kGridPointPointer: {
      const LinkListBase& list = value.KindWord() == ZoltValue::kZonePointer
                                     ? static_cast<const LinkListBase&>(CurrentModel().Zones())
                                     : static_cast<const LinkListBase&>(CurrentModel().GridPoints());
      if (index == 0 || index > list.Count()) return false;
      LinkListNode* node = list.GetByIndex(index);
      if (!node) return false;
      if (value.KindWord() == ZoltValue::kZonePointer)
        ZoltSetZone(value, static_cast<Zone*>(node));
      else
        ZoltSetGridPoint(value, static_cast<GridPoint*>(node));
      return true;
    }
    default:
      return ZoltRemapOwnerPointer(value, index);
  }
}
