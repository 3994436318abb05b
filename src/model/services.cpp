#include "model/services.h"

#include "base/linklist.h"
#include "model/calc_module.h"

ModelServices& Services() {
  static ModelServices services;
  return services;
}

namespace {
// The animation flag while no view code keeps its own.
bool g_plotAnimation = false;
}  // namespace

void RunClear(void (*clear)()) {
  if (clear) clear();
}

void NotifyAllViews(uint32_t code, const String& text) {
  if (auto notify = Services().notifyAll) notify(code, text);
}

void UpdateAllViews() {
  if (auto each = Services().forEachView) each(0);
}

bool PlotAnimation() {
  if (auto get = Services().plotAnimation) return get();
  return g_plotAnimation;
}

void SetPlotAnimation(bool on) {
  if (auto set = Services().setPlotAnimation) set(on);
  else g_plotAnimation = on;
}

History* FindHistoryById(int32_t id) {
  auto find = Services().findHistory;
  return find ? find(id) : nullptr;
}

History* HistoryByIndex(uint32_t index) {
  auto find = Services().historyByIndex;
  return find && index ? find(index) : nullptr;
}

uint32_t HistoryIndex(const History* history) {
  auto index = Services().historyIndex;
  return index && history ? index(history) : 0;
}

ZoltSymbol* SymbolAtToken(CommandType& interp) {
  auto get = Services().getSymbol;
  return get ? get(interp) : nullptr;
}

ZoltSymbol* SymbolByIndex(uint32_t index) {
  auto find = Services().symbolByIndex;
  return find && index ? find(index) : nullptr;
}

uint32_t SymbolIndex(const ZoltSymbol* symbol) {
  auto index = Services().symbolIndex;
  return index && symbol ? index(symbol) : 0;
}

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
