// The model summary of PRINT INFORMATION: the general settings, the model's
// settings, grid-point and zone statistics gathered in one pass over each
// list, and the material models in use.
#include "model/summary.h"

#include <cfloat>
#include <cmath>
#include <iomanip>
#include <vector>

#include "base/stream.h"
#include "cmodels/constitutive_model.h"
#include "cmodels/stensor.h"
#include "model/calc_module.h"
#include "model/grid.h"
#include "model/model_interpreter.h"
#include "model/model_settings.h"
#include "model/print_support.h"
#include "model/services.h"
#include "model/zone_models.h"

using namespace listing;

namespace {
constexpr int kWidth = 13;
const char* const kRule = "-------------------------------------";

const char* RatioTypeText(int32_t type) {
  switch (type) {
    case 0:
      return "Average";
    case 1:
      return "Maximum";
    case 2:
      return "Local";
    default:
      return "";
  }
}

void SettingsPart(ModelInterpreter& interp) {
  const ModelSettings& s = Settings();
  interp << "              Gravity : ";
  WriteVector(interp, s.gravity, kWidth);
  interp << "\n";
  interp << "     History Interval : " << std::setw(kWidth) << s.historyInterval << "\n";
  interp << "        Plot Interval : " << std::setw(kWidth) << s.plotInterval << "\n";
  interp << "       Plot Animation : " << OnOffText(PlotAnimation()) << "\n";
  interp << "           Ratio Type : " << RatioTypeText(s.ratioType) << "\n";
  interp << "         Total Cycles : " << std::setw(kWidth) << s.totalCycles << "\n";
  interp << "        Cycle Display : " << OnOffText(s.cycleDisplay) << "\n";
  if (!s.cycleDisplay) return;
  const SummaryNames& names = SummaryNameHooks();
  if (s.displayHistory) {
    String name = names.historyName ? names.historyName(s.displayHistory) : String();
    interp << "              History : " << name << "\n";
  } else if (s.displaySymbol) {
    String name = names.symbolName ? names.symbolName(s.displaySymbol) : String();
    interp << "               Symbol : " << name << "\n";
  }
}

void GridPointPart(ModelInterpreter& interp) {
  interp << "... Gathering Gridpoint Information...\r";
  interp.flush();
  double low[3] = {DBL_MAX, DBL_MAX, DBL_MAX};
  double high[3] = {-DBL_MAX, -DBL_MAX, -DBL_MAX};
  double displacement = -DBL_MAX;
  for (const GridPoint* gp : GridPointList()) {
    for (int i = 0; i < 3; ++i) {
      low[i] = std::min(low[i], gp->position[i]);
      high[i] = std::max(high[i], gp->position[i]);
    }
    const double* d = gp->displacement;
    displacement = std::max(displacement, std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]));
  }
  interp << "                                      \r";
  const uint32_t count = GridPointList().Count();
  interp << "        Number of Gps : " << std::setw(kWidth) << count << "\n";
  interp << "    Gp ExtraVariables : " << std::setw(kWidth) << Settings().gpExtras << "\n";
  if (count == 0) return;
  interp << "       Maximum Extent : ";
  WriteVector(interp, high, kWidth);
  interp << "\n";
  interp << "       Minimum Extent : ";
  WriteVector(interp, low, kWidth);
  interp << "\n";
  interp << " Maximum Displacement : " << std::setw(kWidth) << displacement << "\n";
}

// The names of a mode's models that zones use, one slot per model type.
class ModeNames {
 public:
  explicit ModeNames(const ZoneMaterialModels* models) : models_(models) {
    if (models_) names_.resize(static_cast<size_t>(std::max(models_->Count(), 0)));
  }
  void Take(const Zone& zone) {
    if (!models_) return;
    const int type = models_->ZoneModel(zone);
    if (type >= 0 && type < static_cast<int>(names_.size()))
      names_[static_cast<size_t>(type)] = models_->ZoneModelName(zone);
  }
  void Write(ModelInterpreter& interp, const char* title) const {
    interp << title << "\n";
    for (const String& name : names_)
      if (!name.IsEmpty()) interp << "    " << name << "\n";
  }

 private:
  const ZoneMaterialModels* models_;
  std::vector<String> names_;
};

void ZonePart(ModelInterpreter& interp) {
  uint32_t highest = 0;
  for (const Zone* z : ZoneList())
    if (z->Model()) highest = std::max(highest, z->Model()->Type());
  std::vector<bool> present(highest + 1, false);
  const ModePointers& modes = Modes();
  ModeNames fluid(modes.fluid ? FluidZoneModels() : nullptr);
  ModeNames thermal(modes.thermal ? ThermalZoneModels() : nullptr);

  interp << "... Gathering Zone Information...\r";
  interp.flush();
  double minVolume = DBL_MAX, maxVolume = -DBL_MAX;
  double minStress = DBL_MAX, maxStress = -DBL_MAX;
  bool modelSeen = false;
  for (const Zone* z : ZoneList()) {
    const double volume = z->Volume();
    minVolume = std::min(minVolume, volume);
    maxVolume = std::max(maxVolume, volume);
    const ConstitutiveModel* model = z->Model();
    if (!model || model->IsNull()) continue;
    present[model->Type()] = true;
    fluid.Take(*z);
    thermal.Take(*z);
    double s[6], p[3];
    STensor::PrinValues(z->AverageStress(s, false), p);
    for (double v : {p[0], p[2]}) {
      maxStress = std::max(maxStress, v);
      minStress = std::min(minStress, v);
    }
    modelSeen = true;
  }
  interp << "                                 \r";
  const uint32_t count = ZoneList().Count();
  interp << "      Number of Zones : " << std::setw(kWidth) << count << "\n";
  interp << "  Zone Extra Variables : " << std::setw(kWidth) << Settings().zoneExtras << "\n";
  if (count > 0) {
    interp << "  Maximum Zone Volume : " << std::setw(kWidth) << maxVolume << "\n";
    interp << "  Minimum Zone Volume : " << std::setw(kWidth) << minVolume << "\n";
    if (modelSeen) {
      interp << "  Maximum Zone Stress : " << std::setw(kWidth) << maxStress << "\n";
      interp << "  Minimum Zone Stress : " << std::setw(kWidth) << minStress << "\n";
    }
  }
  interp << kRule << "\n";
  interp << " Mechanical Material Models Present :"
         << "\n";
  for (uint32_t type = 0; type < present.size(); ++type) {
    if (!present[type]) continue;
    if (const ConstitutiveModel* prototype = ConstitutiveModel::FindByType(type))
      interp << "    " << prototype->Name() << "\n";
  }
  if (modes.fluid) fluid.Write(interp, " Fluid Models Present :");
  if (modes.thermal) thermal.Write(interp, " Thermal Models Present :");
}
}  // namespace

SummaryNames& SummaryNameHooks() {
  static SummaryNames names;
  return names;
}

int ModelInterpreter::ListSettings() {
  PageGuard guard(*this);
  FormatKeeper keeper(*this);
  CommandType::ListSettings();
  *this << "--------------------------------------------"
        << "\n";
  ScientificPrecision(*this, 5);
  SettingsPart(*this);
  *this << kRule << "\n";
  GridPointPart(*this);
  *this << kRule << "\n";
  ZonePart(*this);
  flush();
  return 0;
}
