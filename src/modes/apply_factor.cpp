#include "modes/apply_factor.h"

#include "mechanics/apply_condition.h"
#include "model/calc_module.h"
#include "model/model.h"
#include "model/model_settings.h"

double ModeApplyFactor(CalcModule& module, const ApplyValue& value, int phase) {
  if (phase != 1 && phase != 2) return 1.0;
  ScriptLink& script = CurrentModel().Script();
  if (value.multiplierKind == kMultiplierTable) {
    double x = static_cast<double>(static_cast<uint32_t>(Settings().totalCycles));
    if (value.timeBase && value.timeBase->On()) x = value.timeBase->Time();
    const int32_t table = static_cast<int32_t>(value.table);
    if (phase == 1) return script.TableValue(table, x);
    return (script.TableValue(table, x + Settings().timestep) - script.TableValue(table, x)) * 0.5;
  }
  if (value.multiplierKind == kMultiplierFunction && value.function) {
    if (phase == 1) return script.SymbolValue(value.function);
    const double t = module.Time();
    const double before = script.SymbolValue(value.function);
    module.SetTime(t + Settings().timestep);
    double after = 0.0;
    try {
      after = script.SymbolValue(value.function);
    } catch (...) {
      module.SetTime(t);
      throw;
    }
    module.SetTime(t);
    return (after - before) * 0.5;
  }
  return 1.0;
}

bool AnyApplyQuantity(uint8_t quantity) {
  for (ApplyCondition* c = GlobalApplyList().Head(); c; c = ApplyList::Next(c))
    for (const ApplyValue* item = c->Values(); item; item = item->next)
      if (item->quantity == quantity) return true;
  return false;
}
