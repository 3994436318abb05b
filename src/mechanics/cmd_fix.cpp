// FIX and FREE: keyword after keyword, each with an optional value, over the
// grid-points of the range.
#include "mechanics/cmd_fix.h"

#include <memory>
#include <vector>

#include "base/range.h"
#include "mechanics/apply_condition.h"
#include "model/calc_module.h"
#include "model/grid.h"
#include "model/model_interpreter.h"
#include "model/services.h"
#include "model/zone_chem.h"

namespace {

const char* const kFixWords = "xvelocity yvelocity zvelocity temperature pp chem";
enum FixWord { kXVelocity = 1, kYVelocity, kZVelocity, kTemperature, kPorePressure, kChem };

constexpr uint32_t kVelocitiesChanged = 0x10000000;

// The change sums that the thermal and fluid steps take a fixed value's jump from.
double& TemperatureChangeSum(GpThermalData& block) { return block.temperatureIncrement; }
double& PressureChangeSum(GpFluidData& block) { return block.pressureIncrement; }

constexpr uint32_t kChemistryChanged = 0x40000;

// FIX chem [names]: the particles of every zone in the range keep the
// zone's present aqueous amounts (each an equal share), all of them or the
// named ones; zones without particles lose their fixed amounts.
void FixChemistry(ModelInterpreter& interp, const Range& range) {
  ChemCalcModule& chem = CheckChemConfigured();
  if (!chem.IsReady()) throw QJExcept("ST table not set.");
  std::vector<int> named;
  while (interp.HasToken()) {
    const int component = chem.FindComponent(interp.GetString());
    if (component < 1) throw QJExcept("Chemical component not found in ST table.");
    if (chem.IsPhase(component)) throw QJExcept("Only aqueous components can be fixed.");
    named.push_back(component);
  }
  const bool everything = range.ElementCount() == 0;
  bool changed = false;
  for (Zone* z : ZoneList()) {
    ZoneChem* record = ChemRecord(*z);
    if (!record) throw QJExcept("NULL chem zone 00D");
    double c[3];
    z->Centroid(c);
    if (!everything && !range.IsInAt(c, z)) continue;
    changed = true;
    if (z->particles.empty()) {
      record->ClearSecond();
      continue;
    }
    const double n = static_cast<double>(z->particles.size());
    if (named.empty()) {
      record->ClearSecond();
      for (int k = chem.PhaseCount() + 1; k <= chem.ComponentCount(); ++k)
        record->FixComponent(k, chem.ComponentValue(k, *z) / n);
    } else {
      for (int k : named) record->FixComponent(k, chem.ComponentValue(k, *z) / n);
    }
  }
  if (changed) NotifyAllViews(kChemistryChanged);
}

uint32_t FixityBit(int word) {
  switch (word) {
    case kXVelocity:
      return NodeBase::kFixX;
    case kYVelocity:
      return NodeBase::kFixY;
    case kZVelocity:
      return NodeBase::kFixZ;
    case kTemperature:
      return NodeBase::kFixTemperature;
    default:
      return NodeBase::kFixPorePressure;
  }
}

uint32_t ExclusionBit(int word) {
  switch (word) {
    case kTemperature:
      return NodeBase::kNoThermalZone;
    case kPorePressure:
      return NodeBase::kNoFluidZone;
    default:
      return NodeBase::kNoMechanicalZone;
  }
}

}  // namespace

void FixFreeCommand(ModelInterpreter& interp, bool fix) {
  EnsureApplyLinks();
  Range range;
  range.Parse(interp);
  int word = 0;
  int code = interp.MatchKeyword(kFixWords, word);
  if (code == CommandType::kMissing) return;
  if (code != CommandType::kOk) interp.ThrowParamError(code);
  if (word == kChem) {
    FixChemistry(interp, range);
    return;
  }
  const bool everything = range.ElementCount() == 0;
  static const double kGlobalAxes[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  bool velocitiesChanged = false;
  for (;;) {
    if (word != kChem) {  // chem after another keyword changes nothing
      double value = 0.0;
      const bool given = interp.HasToken() && interp.CheckNumber(&value) == CommandType::kOk;
      if (fix && given && word == kTemperature && !Modes().thermal)
        throw QJExcept("Not configured for thermal calculation");
      if (fix && given && word == kPorePressure && !Modes().fluid)
        throw QJExcept("Not configured for fluid flow calculation");
      const uint32_t bit = FixityBit(word);
      const uint32_t excluded = ExclusionBit(word);
      for (GridPoint* gp : GridPointList()) {
        if (gp->flags & excluded) continue;
        if (!everything && !range.IsInAt(gp->position, gp)) continue;
        if (word <= kZVelocity) {
          if (fix && gp->apply) ApplyCondition::CheckVelocityConflict(*gp, kApplyFixCheck, word, kGlobalAxes, false);
          if (given) {
            gp->velocity[word - 1] = value;
            velocitiesChanged = true;
          }
        } else if (fix && given && word == kTemperature) {
          GpThermalData& block = ThermalBlock(*gp);
          TemperatureChangeSum(block) += value - block.temperature;
          block.temperature = value;
        } else if (fix && given && word == kPorePressure) {
          GpFluidData& block = FluidBlock(*gp);
          PressureChangeSum(block) += value - gp->porePressure;
          gp->porePressure = value;
        }
        if (fix)
          gp->flags |= bit;
        else
          gp->flags &= ~bit;
      }
    }
    code = interp.MatchKeyword(kFixWords, word);
    if (code == CommandType::kMissing) break;
    if (code != CommandType::kOk) interp.ThrowParamError(code);
  }
  if (velocitiesChanged) NotifyAllViews(kVelocitiesChanged);
}
