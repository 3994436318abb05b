// PROPERTY: sets a named property of the zones of a range (a property of
// their mechanical, thermal or fluid model, or the zone density), constant,
// varying linearly in space, or scattered by a random deviation.
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "base/numeric.h"
#include "base/random.h"
#include "base/range.h"
#include "cmodels/constitutive_model.h"
#include "model/calc_module.h"
#include "model/grid.h"
#include "model/model_interpreter.h"
#include "model/services.h"
#include "model/zone_models.h"

namespace {
constexpr uint32_t kPropertiesChanged = 0x2000000u;

const char* const kOptionWords = "gradient gauss_dev uniform_dev";
enum Option { kGradient = 1, kGaussDev, kUniformDev };

// One property group: a name, a value and its options.
struct PropertyGroup {
  String name;  // the full property name
  bool density = false;
  double value = 0.0;
  bool gradient = false;
  bool gauss = false;
  bool uniform = false;
  double slope[3] = {0.0, 0.0, 0.0};
  double deviation = 0.0;  // the last deviation given serves both distributions
};

// The index of the group's property in each mechanical model type, looked up
// at the first zone of that type.
class IndexCache {
 public:
  IndexCache() {
    uint32_t highest = 0;
    for (int i = 0; i < ConstitutiveModel::NumberAvailable(); ++i)
      if (const ConstitutiveModel* m = ConstitutiveModel::FindByIndex(i)) highest = std::max(highest, m->Type());
    index_.assign(highest + 1, kNotLooked);
  }
  void Reset() { std::fill(index_.begin(), index_.end(), kNotLooked); }
  int Index(const ConstitutiveModel& model, const String& name) {
    if (model.Type() >= index_.size()) return model.GetPropertyIndex(name.c_str());
    int& slot = index_[model.Type()];
    if (slot == kNotLooked) slot = model.GetPropertyIndex(name.c_str());
    return slot;
  }

 private:
  static constexpr int kNotLooked = -1;
  std::vector<int> index_;
};

// "?" in place of a property name: the property names of the models in use
// are the choices.
[[noreturn]] void OfferPropertyNames(ModelInterpreter& interp) {
  String choices;
  auto addKeywords = [&choices](const String& keywords) {
    choices += keywords;
    choices += " ";
  };
  std::set<uint32_t> mechanical;
  std::set<int> fluid, thermal;
  const ZoneMaterialModels* fluidModels = FluidZoneModels();
  const ZoneMaterialModels* thermalModels = ThermalZoneModels();
  for (const Zone* z : ZoneList()) {
    if (const ConstitutiveModel* m = z->Model(); m && mechanical.insert(m->Type()).second) {
      const char* const* names = m->Properties();
      for (int k = 0; names && names[k]; ++k) addKeywords(names[k]);
    }
    if (fluidModels && fluid.insert(fluidModels->ZoneModel(*z)).second)
      addKeywords(fluidModels->Keywords(fluidModels->ZoneModel(*z)));
    if (thermalModels && thermal.insert(thermalModels->ZoneModel(*z)).second)
      addKeywords(thermalModels->Keywords(thermalModels->ZoneModel(*z)));
  }
  // Before any zone has a model: the properties of every model there is.
  if (mechanical.empty()) {
    std::set<std::string> seen;
    for (int i = 1; i <= ConstitutiveModel::NumberAvailable(); ++i) {
      const ConstitutiveModel* m = ConstitutiveModel::FindByIndex(i);
      const char* const* names = m ? m->Properties() : nullptr;
      for (int k = 0; names && names[k]; ++k)
        if (seen.insert(names[k]).second) addKeywords(names[k]);
    }
  }
  int k = 0;
  interp.MatchKeyword(choices.c_str(), k);
  throw CommandType::UnrecognizedExcept(interp.TokenIndex(), interp.Token());
}

PropertyGroup ReadGroup(ModelInterpreter& interp) {
  if (CommandType::IsHelp(interp.Token())) OfferPropertyNames(interp);
  PropertyGroup group;
  int at = interp.TokenIndex();
  String word = interp.GetString();
  if (!MatchPropertyName(word, &group.name)) {
    int k = 0;
    if (interp.MatchKeyword("density", k, &at) != CommandType::kOk)
      throw QJExcept("Property bad, or does not correspond to model");
    group.density = true;
  }
  group.value = interp.GetReal();
  for (int option = 0; interp.MatchKeyword(kOptionWords, option) == CommandType::kOk;) {
    switch (option) {
      case kGradient:
        interp.GetVector(group.slope);
        group.gradient = true;
        break;
      case kGaussDev:
        group.deviation = interp.GetReal();
        group.gauss = true;
        break;
      default:
        group.deviation = interp.GetReal();
        group.uniform = true;
        break;
    }
  }
  return group;
}

// The value of one zone: the constant, the gradient over the zone centroid,
// then the zone's own random numbers.
double ZoneValue(const Zone& zone, const PropertyGroup& group) {
  double value = group.value;
  if (group.gradient) {
    double c[3];
    zone.Centroid(c);
    value += group.slope[0] * c[0] + group.slope[1] * c[1] + group.slope[2] * c[2];
  }
  if (group.gauss) value += group.deviation * RandomGauss();
  if (group.uniform) value += group.deviation * (2.0 * RandomUniform() - 1.0);
  return value;
}

// A mode's model of the zone takes the value when it has the property.
bool StoreModeProperty(CalcModule* module, ZoneMaterialModels* models, Zone& zone, const String& name, double value) {
  if (!module) return false;
  module->ZoneCreated(zone);
  if (!models) return false;
  int index = ModePropertyIndex(*models, models->ZoneModel(zone), name);
  if (index == 0) return false;
  models->SetZoneProperty(zone, index - 1, value);
  return true;
}

// The density, else the mechanical model's property, else the thermal or the
// fluid model's: false when the zone has no such property.
bool StoreValue(Zone& zone, const PropertyGroup& group, double value, IndexCache& cache) {
  if (group.density) {
    zone.SetDensity(value);
    return true;
  }
  if (ConstitutiveModel* model = zone.Model(); model && !model->IsNull()) {
    if (int index = cache.Index(*model, group.name)) {
      model->SetPropertyByIndex(index, value);
      return true;
    }
  }
  const ModePointers& modes = Modes();
  return StoreModeProperty(modes.thermal, ThermalZoneModels(), zone, group.name, value) ||
         StoreModeProperty(modes.fluid, FluidZoneModels(), zone, group.name, value);
}
}  // namespace

void PropertyCommand(ModelInterpreter& interp) {
  Range range;
  range.Parse(interp);
  if (!interp.HasToken()) throw CommandType::MissingExcept(interp.TokenIndex());
  IndexCache cache;
  while (interp.HasToken()) {
    cache.Reset();
    const PropertyGroup group = ReadGroup(interp);
    bool found = false;
    for (Zone* z : ZoneList()) {
      if (!range.IsIn(z)) continue;
      if (StoreValue(*z, group, ZoneValue(*z, group), cache)) found = true;
    }
    if (!found)
      interp << "*** Warning - Property not available to any zone in range"
             << "\n";
  }
  // A value that overflowed leaves no pending math error behind the command.
  ClearMathErrors();
  NotifyAllViews(kPropertiesChanged);
}
