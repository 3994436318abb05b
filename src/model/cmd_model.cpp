// MODEL: gives the zones of a range a mechanical model of the model library,
// or a thermal or fluid material model of a configured mode; MODEL LOAD adds
// a model library.
#include <cstring>
#include <memory>

#include "base/range.h"
#include "cmodels/constitutive_model.h"
#include "model/calc_module.h"
#include "model/grid.h"
#include "model/model_interpreter.h"
#include "model/model_settings.h"
#include "model/services.h"
#include "model/zone_models.h"

namespace {
// View change codes: zones got other models; some of them became null or
// stopped being null.
constexpr uint32_t kModelChanged = 0x80000000u;
constexpr uint32_t kNullnessChanged = 0x80000004u;

// Library texts longer than this are warnings; shorter ones are errors.
constexpr size_t kWarningLength = 40;

// MODEL LOAD: the configuration is checked before the file name is read.
void LoadModelLibrary(ModelInterpreter& interp) {
  if (!Settings().cppudm) throw KWRExcept("Not configured for CPPUDM ");
  String file = interp.GetFileName("dll");
  const char* text = ConstitutiveModel::Load(file.c_str());
  if (!text) {
    interp << "+++ Constitutive model in file " << file << " loaded"
           << "\n";
    return;
  }
  if (std::strlen(text) > kWarningLength) {
    interp << "+++ Warning: " << text << "\n";
    return;
  }
  throw KWRExcept(text);
}

// The first library model, in library order, whose name the word abbreviates.
const ConstitutiveModel* MatchMechanicalModel(ModelInterpreter& interp) {
  for (int i = 0; i < ConstitutiveModel::NumberAvailable(); ++i) {
    const ConstitutiveModel* prototype = ConstitutiveModel::FindByIndex(i);
    if (!prototype) continue;
    int k = 0;
    if (interp.MatchKeyword(prototype->Name(), k) == CommandType::kOk) return prototype;
  }
  return nullptr;
}

// The first type of a mode's table whose name the word abbreviates; -1 for none.
int MatchModeModel(ModelInterpreter& interp, const ZoneMaterialModels* models) {
  // A name given in full is that model, even when it also begins a longer name.
  String token = interp.HasToken() ? interp.Token() : String();
  token.ToLower();
  for (int type = 0; models && type < models->Count(); ++type) {
    String name = models->Name(type);
    name.ToLower();
    int k = 0;
    if (!name.IsEmpty() && token == name && interp.MatchKeyword(models->Name(type).c_str(), k) == CommandType::kOk)
      return type;
  }
  for (int type = 0; models && type < models->Count(); ++type) {
    String name = models->Name(type);
    if (name.IsEmpty()) continue;
    int k = 0;
    if (interp.MatchKeyword(name.c_str(), k) == CommandType::kOk) return type;
  }
  return -1;
}

void AssignMechanical(ModelInterpreter& interp, const ConstitutiveModel& prototype, const Range& range) {
  bool nullnessChanged = prototype.IsNull();
  int32_t overlay = 2;
  int k = 0;
  if (interp.MatchKeyword("overlay", k) == CommandType::kOk) {
    overlay = interp.GetInt();
    if (overlay < -1 || overlay > 2) throw QJExcept("Bad overlay code");
  }
  // The grid-points without a mechanical zone are found in the same walk:
  // each zone unmarks its corners once its model is set. A failure part way
  // marks them again over the whole grid.
  constexpr uint32_t kMark = NodeBase::kNoMechanicalZone;
  MarkAllGridPoints(kMark);
  try {
    ForEachZoneFetchingAhead(true, [&](Zone& zone) {
      Zone* z = &zone;
      if (range.IsIn(z)) {
        if (z->IsNull() && !prototype.IsNull()) nullnessChanged = true;
        std::unique_ptr<ConstitutiveModel> clone = prototype.Clone();
        if (!clone) throw QJExcept("Memory allocation error.");
        z->SetModel(std::move(clone));
        if (!z->Overlay(overlay)) interp << "*** Warning!  Zone " << UIntToString(z->Id()) << " has illegal geometry\n";
      }
      UnmarkCorners(*z, kMark);
    });
  } catch (...) {
    MarkNullGridPoints(kMark);
    throw;
  }
  ClearStateOfMarked(kMark);
  NotifyAllViews(nullnessChanged ? kNullnessChanged : kModelChanged);
}

// Every zone gets the mode's record; those in range get the model.
void AssignModeModel(CalcModule& module, ZoneMaterialModels& models, int type, uint32_t mark, const Range& range) {
  for (Zone* z : ZoneList()) module.ZoneCreated(*z);
  for (Zone* z : ZoneList())
    if (range.IsIn(z)) models.SetZoneModel(*z, type);
  MarkNullGridPoints(mark);
  NotifyAllViews(kModelChanged);
}
}  // namespace

void ModelCommand(ModelInterpreter& interp) {
  Range range;
  range.Parse(interp);
  if (!interp.HasToken()) throw CommandType::MissingExcept(interp.TokenIndex());
  int k = 0;
  if (interp.MatchKeyword("load", k) == CommandType::kOk) {
    LoadModelLibrary(interp);
    return;
  }
  // One model name after another, each applied to the whole range; zones
  // given a model by an earlier name keep it when a later one fails.
  while (interp.HasToken()) {
    if (const ConstitutiveModel* prototype = MatchMechanicalModel(interp)) {
      AssignMechanical(interp, *prototype, range);
      continue;
    }
    ZoneMaterialModels* thermal = ThermalZoneModels();
    if (int type = MatchModeModel(interp, thermal); type >= 0) {
      AssignModeModel(*Modes().thermal, *thermal, type, NodeBase::kNoThermalZone, range);
      continue;
    }
    ZoneMaterialModels* fluid = FluidZoneModels();
    if (int type = MatchModeModel(interp, fluid); type >= 0) {
      AssignModeModel(*Modes().fluid, *fluid, type, NodeBase::kNoFluidZone, range);
      continue;
    }
    if (CommandType::IsHelp(interp.Token())) interp.ThrowParamError(CommandType::kUnrecognized);
    throw QJExcept("This model name does not exist");
  }
}
