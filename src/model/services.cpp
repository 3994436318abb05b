#include "model/services.h"

#include "base/linklist.h"
#include "base/message.h"
#include "model/calc_module.h"
#include "model/model.h"
#include "model/zolt_value.h"

void ScriptLink::SetHalt(CommandType&) { throw ZoltExcept("Zolt-function name expected but not found"); }

double ScriptLink::TableValue(int32_t number, double) {
  throw QJExcept(MessageText("Table %s not found", IntToString(number)));
}

void NotifyAllViews(uint32_t code, const String& text) { CurrentModel().Views().NotifyAll(code, text); }

void UpdateAllViews() { CurrentModel().Views().ForEachView(0); }

bool PlotAnimation() { return CurrentModel().Views().Animation(); }

void SetPlotAnimation(bool on) { CurrentModel().Views().SetAnimation(on); }

History* FindHistoryById(int32_t id) { return CurrentModel().Script().FindHistory(id); }

History* HistoryByIndex(uint32_t index) { return index ? CurrentModel().Script().HistoryByIndex(index) : nullptr; }

uint32_t HistoryIndex(const History* history) { return history ? CurrentModel().Script().HistoryIndex(history) : 0; }

ZoltSymbol* SymbolAtToken(CommandType& interp) { return CurrentModel().Script().SymbolAtToken(interp); }

ZoltSymbol* SymbolByIndex(uint32_t index) { return index ? CurrentModel().Script().SymbolByIndex(index) : nullptr; }

uint32_t SymbolIndex(const ZoltSymbol* symbol) { return symbol ? CurrentModel().Script().SymbolIndex(symbol) : 0; }

ZoltSymbol* SymbolOfSavedIndex(uint32_t index) {
  if (index == 0) return nullptr;
  ZoltSymbol* symbol = SymbolByIndex(index);
  if (!symbol) CountBadPointer();
  return symbol;
}

CalcModule* TimeBaseOfSavedCode(uint32_t word) {
  switch (word & 0xFF) {
    case CalcModule::kCreep:
    case CalcModule::kDynamic:
    case CalcModule::kThermal:
    case CalcModule::kFluid:
      return ModeOf(static_cast<uint8_t>(word & 0xFF));
    default:
      return nullptr;
  }
}
