// CONFIG: the calculation modes and the extra variables of zones and grid-points.
#include "base/memory.h"
#include "base/message.h"
#include "model/calc_module.h"
#include "model/grid_point.h"
#include "model/model_interpreter.h"
#include "model/model_settings.h"
#include "model/services.h"
#include "model/zone.h"

namespace {
const char* const kConfigWords = "dynamic creep thermal fluid gwflow zextra gpextra cppudm flow chem";

enum ConfigWord { kDynamic = 1, kCreep, kThermal, kFluid, kGwflow, kZextra, kGpextra, kCppudm, kFlow, kChem };

// Creates, registers and attaches the mode's module unless it exists; true
// when it was created.
bool ConfigureMode(uint8_t type) {
  if (ModeOf(type)) return false;
  CalcModule* module = TheModules().Add(CreateModule(type));
  AttachModuleToModel(*module);
  return true;
}

void ConfigureChemistry(ModelInterpreter& interp) {
  ModePointers& modes = Modes();
  if (!modes.fluid || !modes.thermal) {
    TheModules().Remove(modes.chem);
    throw QJExcept(
        "Terrax must first be configured for fluid and thermal modes\n"
        "in order for chemistry mode to function.");
  }
  if (!modes.chem) TheModules().Add(CreateModule(CalcModule::kChemistry));
  if (!modes.chem->Connect()) {
    TheModules().Remove(modes.chem);
    throw QJExcept("Error finding Gibbs chemistry application.");
  }
  AttachModuleToModel(*modes.chem);
  interp << MessageText("Gibbs chemistry available") << "\n";
}
// Every object's extra variables to the new count, or none at all: a count
// beyond what memory can give is refused before anything changes, and an
// allocation that fails part way puts the arrays back to the old count.
template <class List, class Extras>
void ResizeExtras(List&& list, int32_t oldCount, int32_t newCount, Extras extras) {
  if (newCount > oldCount)
    CheckMemoryRequest(static_cast<double>(list.Count()) * static_cast<double>(newCount - oldCount) *
                       static_cast<double>(sizeof(ZoltValue)));
  try {
    for (auto* object : list) extras(object).Resize(static_cast<uint32_t>(newCount));
  } catch (...) {
    for (auto* object : list) {
      try {
        extras(object).Resize(static_cast<uint32_t>(oldCount));
      } catch (...) {
      }
    }
    throw;
  }
}

}  // namespace

void ConfigCommand(ModelInterpreter& interp) {
  for (;;) {
    int word = 0;
    int code = interp.MatchKeyword(kConfigWords, word);
    if (code == CommandType::kMissing) return;
    interp.ThrowParamError(code);
    switch (word) {
      case kDynamic:
        if (ConfigureMode(CalcModule::kDynamic)) interp << MessageText("Dynamic Mode Available") << "\n";
        break;
      case kCreep:
        if (ConfigureMode(CalcModule::kCreep)) interp << MessageText("Creep Mode Available") << "\n";
        break;
      case kThermal:
        if (ConfigureMode(CalcModule::kThermal)) interp << MessageText("Thermal Mode Available") << "\n";
        break;
      case kFluid:
      case kGwflow:
      case kFlow:
        Settings().porePressure = true;
        if (ConfigureMode(CalcModule::kFluid)) interp << MessageText("Fluid Mode Available") << "\n";
        break;
      case kZextra:
      case kGpextra: {
        // A count sizes an array in every zone or grid-point: it cannot be negative.
        int32_t n = 0;
        if (int c = interp.CheckNonNegInt(&n)) interp.ThrowParamError(c);
        if (word == kZextra) {
          ResizeExtras(ZoneList(), Settings().zoneExtras, n, [](Zone* z) -> ZoltParamArray& { return z->Extra(); });
          Settings().zoneExtras = n;
          interp << MessageText("%s Extra variables in all zones", IntToString(n)) << "\n";
        } else {
          ResizeExtras(GridPointList(), Settings().gpExtras, n,
                       [](GridPoint* gp) -> ZoltParamArray& { return gp->extra; });
          Settings().gpExtras = n;
          interp << MessageText("%s Extra variables in all grid-points", IntToString(n)) << "\n";
        }
        break;
      }
      case kCppudm:
        Settings().cppudm = true;
        interp << MessageText("CPPUDM Mode Available") << "\n";
        break;
      case kChem:
        ConfigureChemistry(interp);
        break;
      default:
        break;
    }
  }
}
