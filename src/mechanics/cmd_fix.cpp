// FIX and FREE: keyword after keyword, each with an optional value, over the
// grid-points of the range.
#include "mechanics/cmd_fix.h"

#include <memory>

#include "base/range.h"
#include "mechanics/apply_condition.h"
#include "model/calc_module.h"
#include "model/grid.h"
#include "model/model_interpreter.h"
#include "model/services.h"

namespace {

const char* const kFixWords = "xvelocity yvelocity zvelocity temperature pp chem";
enum FixWord { kXVelocity = 1, kYVelocity, kZVelocity, kTemperature, kPorePressure, kChem };

constexpr uint32_t kVelocitiesChanged = 0x10000000;

// The change sums that the thermal and fluid steps take a fixed value's jump from.
double& TemperatureChangeSum(GpThermalData& block) { return block.temperatureIncrement; }
double& PressureChangeSum(GpFluidData& block) { return block.pressureIncrement; }

// FIX chem: the chemistry application's component table is needed, and it
// is loaded only when chemistry is configured.
void FixChemistry() {
  CheckChemConfigured();
  throw QJExcept("ST table not set.");
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
    FixChemistry();
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
