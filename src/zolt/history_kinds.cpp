// The model's history kinds and the HISTORY command that makes them.
#include <cmath>
#include <fstream>
#include <iomanip>
#include <sstream>

#include "base/app.h"
#include "base/command.h"
#include "base/message.h"
#include "base/savestream.h"
#include "cmodels/stensor.h"
#include "mechanics/interface.h"
#include "mechanics/interface_node.h"
#include "model/calc_module.h"
#include "model/grid.h"
#include "model/grid_point.h"
#include "model/model.h"
#include "model/model_settings.h"
#include "model/zone.h"
#include "zolt/history.h"
#include "zolt/table.h"
#include "zolt/zolt_state.h"

namespace {

constexpr const char* kGpWords =
    "xdisplacement ydisplacement zdisplacement xvelocity yvelocity zvelocity xforce yforce zforce displacement "
    "velocity force xacceleration yacceleration zacceleration temperature xposition yposition zposition ppressure ";
constexpr const char* kGpTitles[] = {"X-Displacement", "Y-Displacement",    "Z-Displacement", "X-Velocity",
                                     "Y-Velocity",     "Z-Velocity",        "X-Force",        "Y-Force",
                                     "Z-Force",        "Displacement Mag.", "Velocity Mag.",  "Force Mag.",
                                     "X-Acceleration", "Y-Acceleration",    "Z-Acceleration", "Temperature",
                                     "X-Position",     "Y-Position",        "Z-Position",     "Pore Pressure "};
constexpr const char* kZoneWords = "sxx syy szz sxy syz sxz smin smid smax ppressure ssr ssi vsr vsi ";
constexpr const char* kZoneTitles[] = {"SXX Stress",
                                       "SYY Stress",
                                       "SZZ Stress",
                                       "SXY Stress",
                                       "SYZ Stress",
                                       "SXZ Stress",
                                       "Minimum Prin. Stress",
                                       "Middle Prin. Stress",
                                       "Maximum Prin. Stress",
                                       "Pore Pressure",
                                       "Shear Strain Rate",
                                       "Shear Strain Inc.",
                                       "Volumetric Strain Rate",
                                       "Volumetric Strain Inc."};

double Length(const double v[3]) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

String PositionText(const double p[3]) {
  std::ostringstream os;
  os << std::scientific << std::setprecision(4) << "(" << p[0] << "," << p[1] << "," << p[2] << ")";
  return String(os.str());
}

// The kinds that hold a grid-point or a zone. Liveness is asked of the
// grid's lists only when objects are deleted (UpdateActive).
class GpHistory : public History {
 public:
  GridPoint* gp = nullptr;
  uint32_t code = 0;
  uint32_t gpIndex = 0;
  uint32_t TypeCode() const override { return kGp; }
  double Measure() override {
    if (!gp) return 0.0;
    switch (code) {
      case 1:
      case 2:
      case 3:
        return gp->displacement[code - 1];
      case 4:
      case 5:
      case 6:
        return gp->velocity[code - 4];
      case 7:
      case 8:
      case 9:
        return gp->unbalancedForce[code - 7];
      case 10:
        return Length(gp->displacement);
      case 11:
        return Length(gp->velocity);
      case 12:
        return Length(gp->unbalancedForce);
      case 13:
      case 14:
      case 15:
        return gp->dynamicBlock ? gp->dynamicBlock->acceleration[code - 13] : 0.0;
      case 16:
        return gp->thermal ? gp->thermal->temperature : 0.0;
      case 17:
      case 18:
      case 19:
        return gp->position[code - 17];
      case 20:
        return gp->porePressure;
      default:
        return 0.0;
    }
  }
  bool GetPosition(double p[3]) const override {
    if (!gp) return false;
    gp->GetPosition(p);
    return true;
  }
  bool IsValid() override { return gp != nullptr; }
  void Forget(const void* object) override {
    if (object == gp) gp = nullptr;
  }
  void Save(SaveStream& s) const override {
    History::Save(s);
    s.WriteU32(gp ? gp->SaveIndex() : 0);
    s.WriteU32(code);
  }
  void Restore(SaveStream& s) override {
    History::Restore(s);
    gpIndex = s.ReadU32();
    code = s.ReadU32();
  }
  void RemapPointers() override { gp = GetGridPointByIndex(gpIndex); }
};

class ZoneHistory : public History {
 public:
  Zone* zone = nullptr;
  uint32_t code = 0;
  uint32_t zoneIndex = 0;
  uint32_t TypeCode() const override { return kZone; }
  double Measure() override {
    if (!zone) return 0.0;
    if (code >= 1 && code <= 9) {
      double s[6];
      zone->AverageStress(s, false);
      if (code <= 6) return s[code - 1];
      const double t[6] = {s[0], s[1], s[2], s[3], s[5], s[4]};
      double v[3];
      STensor::PrinValues(t, v);
      return v[code - 7];
    }
    if (code == 10) return zone->AveragePorePressure();
    if (code >= 11 && code <= 14) {
      double tensor[6];
      return zone->StrainMeasure(static_cast<int>(code - 10), tensor);
    }
    return 0.0;
  }
  bool GetPosition(double p[3]) const override {
    if (!zone) return false;
    zone->Centroid(p);
    return true;
  }
  bool IsValid() override { return zone != nullptr; }
  void Forget(const void* object) override {
    if (object == zone) zone = nullptr;
  }
  void Save(SaveStream& s) const override {
    History::Save(s);
    s.WriteU32(zone ? zone->SaveIndex() : 0);
    s.WriteU32(code);
  }
  void Restore(SaveStream& s) override {
    History::Restore(s);
    zoneIndex = s.ReadU32();
    code = s.ReadU32();
  }
  void RemapPointers() override { zone = GetZoneByIndex(zoneIndex); }
};

class GlobalHistory : public History {
 public:
  explicit GlobalHistory(uint32_t code) : code_(code) {
    static const char* const kTitles[] = {"Max. Unbalanced Force", "Dynamic Time", "Time Step",       "Creep Time",
                                          "Thermal Time",          "Fluid Time",   "Mechanical Ratio"};
    name = kTitles[code - kUnbal];
  }
  uint32_t TypeCode() const override { return code_; }
  double Measure() override {
    const ModelSettings& s = Settings();
    auto timeOf = [](const CalcModule* m) { return m ? m->Time() : 0.0; };
    switch (code_) {
      case kUnbal:
        return s.unbalancedForce;
      case kDt:
        return s.timestep;
      case kRatio:
        return s.forceRatio;
      case kDytime:
        return timeOf(Modes().dynamic);
      case kCrtime:
        return timeOf(Modes().creep);
      case kThtime:
        return timeOf(Modes().thermal);
      case kFltime:
        return timeOf(Modes().fluid);
      default:
        return 0.0;
    }
  }

 private:
  uint32_t code_;
};

class ZoltHistory : public History {
 public:
  ZoltSymbol* symbol = nullptr;
  uint32_t symbolIndex = 0;
  uint32_t TypeCode() const override { return kZolt; }
  double Measure() override { return symbol ? CurrentModel().Script().SymbolValue(symbol) : 0.0; }
  void Save(SaveStream& s) const override {
    History::Save(s);
    s.WriteU32(CurrentModel().Script().SymbolIndex(symbol));
  }
  void Restore(SaveStream& s) override {
    History::Restore(s);
    symbolIndex = s.ReadU32();
  }
  void RemapPointers() override { symbol = CurrentModel().Script().SymbolByIndex(symbolIndex); }
};

bool ReadObjectById(CommandType& interp, int32_t* id, double p[3]);

constexpr const char* kInterfaceWords = "nstress sstress sdisplacement penetration ndisplacement ";
constexpr const char* kInterfaceTitles[] = {"Normal Stress", "Shear Stress", "Shear Displacement", "Penetration",
                                            "Normal Displacement"};

class InterfaceHistory : public History {
 public:
  InterfaceNode* node = nullptr;
  Interface* iface = nullptr;
  uint32_t code = 0;
  uint32_t nodeIndex = 0;
  uint32_t ifaceIndex = 0;
  uint32_t TypeCode() const override { return kInterface; }
  double Measure() override {
    if (!node) return 0.0;
    switch (code) {
      case 1:
        return node->normalStress;
      case 2:
        return Length(node->shearStress);
      case 3:
        return Length(node->shearDisplacement);
      case 4:
      case 5:
        return node->DistanceToTarget();
      default:
        return 0.0;
    }
  }
  bool GetPosition(double p[3]) const override {
    if (!node) return false;
    node->GetPosition(p);
    return true;
  }
  bool IsValid() override { return node != nullptr; }
  void Forget(const void* object) override {
    if (object == node || object == iface) node = nullptr, iface = nullptr;
  }
  void Save(SaveStream& s) const override {
    History::Save(s);
    s.WriteU32(code);
    // The interfaces write their lists after the histories: the indices are
    // the list positions, counted here.
    uint32_t nodeAt = 0, ifaceAt = 0;
    if (node) {
      for (const LinkListNode* n : Interfaces()) {
        ++ifaceAt;
        if (n == iface) break;
      }
      for (const LinkListNode* n : iface->Nodes()) {
        ++nodeAt;
        if (n == node) break;
      }
    }
    s.WriteU32(nodeAt);
    s.WriteU32(ifaceAt);
  }
  void Restore(SaveStream& s) override {
    History::Restore(s);
    code = s.ReadU32();
    nodeIndex = s.ReadU32();
    ifaceIndex = s.ReadU32();
  }
  // The saved indices are list positions (see Save).
  void RemapPointers() override {
    iface = nullptr;
    node = nullptr;
    uint32_t at = 0;
    for (LinkListNode* n : Interfaces())
      if (++at == ifaceIndex) iface = static_cast<Interface*>(n);
    at = 0;
    if (iface)
      for (LinkListNode* n : iface->Nodes())
        if (++at == nodeIndex) node = static_cast<InterfaceNode*>(n);
    if (!node) iface = nullptr;
  }
};

void AddInterface(CommandType& interp) {
  const int32_t number = interp.GetInt();
  Interface* iface = number > 0 ? Interfaces().Find(static_cast<uint32_t>(number)) : nullptr;
  if (!iface) throw QJExcept(MessageText("Interface %s not found", IntToString(number)));
  const uint32_t code = static_cast<uint32_t>(interp.GetKeyword(kInterfaceWords));
  iface->UpdateNodePositions();
  int32_t id = 0;
  double p[3];
  InterfaceNode* node = ReadObjectById(interp, &id, p) ? (id > 0 ? iface->FindNode(static_cast<uint32_t>(id)) : nullptr)
                                                       : iface->FindNearestNode(p);
  if (!node) throw QJExcept("Interface node not found");
  auto h = std::make_unique<InterfaceHistory>();
  h->iface = iface;
  h->node = node;
  h->code = code;
  h->name = String(std::string(kInterfaceTitles[code - 1]) + " Int " + UIntToString(iface->Id()).str() + " Node " +
                   UIntToString(node->id).str());
  Histories().Add(std::move(h));
}

void RequireMode(const CalcModule* module, const char* what) {
  if (!module) throw QJExcept(MessageText("Not configured for %s calculation", what));
}

// "id" and a number, or a position.
bool ReadObjectById(CommandType& interp, int32_t* id, double p[3]) {
  int word = 0;
  const int at = interp.TokenIndex();
  if (interp.MatchKeyword("id", word) == CommandType::kOk) {
    *id = interp.GetInt();
    return true;
  }
  interp.TokenIndex() = at;
  interp.GetVector(p);
  return false;
}

void Announce(CommandType& interp, const History& h, const double p[3]) {
  interp << h.name << " " << PositionText(p) << "\n";
  interp.flush();
}

void AddGp(CommandType& interp) {
  const uint32_t code = static_cast<uint32_t>(interp.GetKeyword(kGpWords));
  int32_t id = 0;
  double p[3];
  GridPoint* gp = nullptr;
  if (ReadObjectById(interp, &id, p)) {
    gp = id > 0 ? FindGridpoint(static_cast<uint32_t>(id)) : nullptr;
  } else {
    const uint32_t mask = code == 16 ? 0x2000 : code == 20 ? 0x8000 : 0x10;
    gp = NearestGridpoint(p, mask);
  }
  if (!gp) throw QJExcept("Gridpoint not found");
  auto h = std::make_unique<GpHistory>();
  h->gp = gp;
  h->code = code;
  h->name = String(std::string(kGpTitles[code - 1]) + " Gp " + UIntToString(gp->id).str());
  double at[3];
  gp->GetPosition(at);
  Announce(interp, *h, at);
  Histories().Add(std::move(h));
}

Zone* FindZoneByIdOrPosition(CommandType& interp) {
  int32_t id = 0;
  double p[3];
  Zone* zone =
      ReadObjectById(interp, &id, p) ? (id > 0 ? FindZone(static_cast<uint32_t>(id)) : nullptr) : NearestZone(p);
  if (!zone) throw QJExcept("Zone not found");
  return zone;
}

void AddZone(CommandType& interp) {
  const uint32_t code = static_cast<uint32_t>(interp.GetKeyword(kZoneWords));
  Zone* zone = FindZoneByIdOrPosition(interp);
  auto h = std::make_unique<ZoneHistory>();
  h->zone = zone;
  h->code = code;
  h->name = String(std::string(kZoneTitles[code - 1]) + " Zone " + UIntToString(zone->Id()).str());
  double at[3];
  zone->Centroid(at);
  Announce(interp, *h, at);
  Histories().Add(std::move(h));
}

// A chemical component's amount per volume in a zone.
class ChemHistory : public History {
 public:
  Zone* zone = nullptr;
  String component;
  uint32_t zoneIndex = 0;
  uint32_t TypeCode() const override { return kChem; }
  double Measure() override {
    if (!zone) return 0.0;
    ChemCalcModule& chem = CheckChemConfigured();
    const int index = chem.FindComponent(component);
    const double volume = zone->Volume();
    if (index < 1 || !(volume > 0.0)) return 0.0;
    return chem.ZoneComponentMoles(*zone, index) / volume;
  }
  bool GetPosition(double p[3]) const override {
    if (!zone) return false;
    zone->Centroid(p);
    return true;
  }
  bool IsValid() override { return zone != nullptr; }
  void Forget(const void* object) override {
    if (object == zone) zone = nullptr;
  }
  void Save(SaveStream& s) const override {
    History::Save(s);
    s.WriteU32(zone ? zone->SaveIndex() : 0);
    SaveString(s, component);
  }
  void Restore(SaveStream& s) override {
    if (CurrentRestoreVersions().program < 305) throw QJExcept("Unable to restore chemistry history.");
    History::Restore(s);
    zoneIndex = s.ReadU32();
    RestoreString(s, component);
  }
  void RemapPointers() override { zone = GetZoneByIndex(zoneIndex); }
};

void AddChem(CommandType& interp) {
  ChemCalcModule& chem = CheckChemConfigured();
  const String component = interp.GetString();
  if (chem.FindComponent(component) < 1)
    throw QJExcept(MessageText("Could not match '%s' to a chemical component in ST table.", component));
  Zone* zone = FindZoneByIdOrPosition(interp);
  auto h = std::make_unique<ChemHistory>();
  h->zone = zone;
  h->component = component;
  h->name = String(component.str() + " Zone " + UIntToString(zone->Id()).str());
  double at[3];
  zone->Centroid(at);
  Announce(interp, *h, at);
  Histories().Add(std::move(h));
}

// HISTORY write: a selection into a file or a table.
void WriteClause(CommandType& interp) {
  HistoryModule& module = Histories();
  HistorySelection sel;
  const int r = sel.Parse(interp, module);
  int word = 0;
  if (r != 0 && r != CommandType::kUnrecognized) interp.ThrowParamError(r);
  const int kind = interp.GetKeyword("file table ");
  (void)word;
  if (kind == 1) {
    const String name = interp.GetFileName("his");
    std::ofstream os(name.c_str());
    if (!os) throw KWRExcept(MessageText("Unable to open file %s", name));
    module.WriteTable(os, sel);
    if (!os) throw KWRExcept(MessageText("Error writing file %s", name));
    return;
  }
  int32_t number = 0;
  int at = interp.TokenIndex();
  Table* table = nullptr;
  if (interp.CheckInteger(&number, &at) == CommandType::kOk && number >= 0) {
    interp.TokenIndex() = at;
    table = &Tables().GetOrCreateById(static_cast<uint32_t>(number));
  } else {
    table = &Tables().GetOrCreateByName(interp.GetString());
  }
  if (sel.entries.size() > 1) throw QJExcept("Only one history may be written to a table at a time");
  if (sel.entries.empty()) return;
  for (bool more = module.FirstSample(sel); more; more = module.NextSample(sel))
    if (sel.xHasValue && sel.entries[0].hasValue) table->Append(sel.x, sel.entries[0].value);
}

}  // namespace

int HistoryModule::Command(CommandType& interp) {
  int word = 0;
  const int at = interp.TokenIndex();
  int r = interp.MatchKeyword("dump print range write delete reset purge limits id ", word);
  if (r != CommandType::kOk) {
    interp.TokenIndex() = at;
    return r;
  }
  switch (word - 1) {
    case 0: {
      HistorySelection sel;
      sel.ParseToEnd(interp, *this);
      DumpTable(interp, sel);
      break;
    }
    case 1:
      PrintList(interp);
      break;
    case 2:
    case 7:
      PrintLimits(interp);
      break;
    case 3:
      WriteClause(interp);
      break;
    case 4:
    case 5:
      Clear();
      Settings().displayHistory = nullptr;
      break;
    case 6:
      Purge();
      break;
    default:
      presetId = static_cast<uint32_t>(interp.GetInt());
      break;
  }
  return 0;
}

void HistoryModule::RunCommand(CommandType& interp) {
  for (;;) {
    const int r = Command(interp);
    if (r == CommandType::kMissing) return;
    if (r != 0) interp.ThrowParamError(r);
  }
}

int ModelHistoryModule::Command(CommandType& interp) {
  int word = 0;
  const int at = interp.TokenIndex();
  const int r =
      interp.MatchKeyword("gp zone sel unbal nstep dytime dt crtime thtime interface ratio fltime write chem ", word);
  if (r == CommandType::kOk) {
    switch (word - 1) {
      case 0:
        AddGp(interp);
        break;
      case 1:
        AddZone(interp);
        break;
      case 2:
        throw QJExcept("HISTORY SEL is not available in this version");
      case 3:
        Add(std::make_unique<GlobalHistory>(History::kUnbal));
        break;
      case 4: {
        int32_t n = 0;
        int index = interp.TokenIndex();
        const int c = interp.CheckInteger(&n, &index);
        if (c == CommandType::kOk && n < 1) interp.ThrowParamError(CommandType::kConvert);
        Settings().historyInterval = interp.GetInt();
        break;
      }
      case 5:
        RequireMode(Modes().dynamic, "dynamic");
        Add(std::make_unique<GlobalHistory>(History::kDytime));
        break;
      case 6:
        Add(std::make_unique<GlobalHistory>(History::kDt));
        break;
      case 7:
        RequireMode(Modes().creep, "creep");
        Add(std::make_unique<GlobalHistory>(History::kCrtime));
        break;
      case 8:
        RequireMode(Modes().thermal, "thermal");
        Add(std::make_unique<GlobalHistory>(History::kThtime));
        break;
      case 9:
        AddInterface(interp);
        break;
      case 10:
        Add(std::make_unique<GlobalHistory>(History::kRatio));
        break;
      case 11:
        RequireMode(Modes().fluid, "fluid flow");
        Add(std::make_unique<GlobalHistory>(History::kFltime));
        break;
      case 12:
        WriteClause(interp);
        break;
      default:
        AddChem(interp);
        break;
    }
    return 0;
  }
  interp.TokenIndex() = at;
  const int base = HistoryModule::Command(interp);
  if (base == 0 || base == CommandType::kMissing) return base;
  interp.TokenIndex() = at;
  if (ZoltSymbol* symbol = CurrentModel().Script().SymbolAtToken(interp)) {
    auto h = std::make_unique<ZoltHistory>();
    h->symbol = symbol;
    h->name = String(symbol->name.str() + (symbol->function ? " (ZOLT function)" : " (ZOLT symbol)"));
    Add(std::move(h));
    return 0;
  }
  interp.TokenIndex() = at;
  return base;
}

std::unique_ptr<History> ModelHistoryModule::Create(uint32_t code) {
  switch (code) {
    case History::kGp:
      return std::make_unique<GpHistory>();
    case History::kZone:
      return std::make_unique<ZoneHistory>();
    case History::kInterface:
      return std::make_unique<InterfaceHistory>();
    case History::kChem:
      return std::make_unique<ChemHistory>();
    case History::kZolt:
      return std::make_unique<ZoltHistory>();
    case History::kUnbal:
    case History::kDytime:
    case History::kDt:
    case History::kCrtime:
    case History::kThtime:
    case History::kFltime:
    case History::kRatio:
      return std::make_unique<GlobalHistory>(code);
    default:
      return nullptr;
  }
}

ModelHistoryModule& Histories() {
  static ModelHistoryModule module;
  return module;
}
