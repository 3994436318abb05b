#include "view/plot_items.h"

#include <vector>

#include "base/command.h"
#include "base/except.h"
#include "base/savestream.h"

void EmptyPlotItemList::Modify(CommandType& interp) {
  int at = interp.TokenIndex();
  interp.GetInt(&at);
  throw KWRExcept(FormatText("PlotItem %1 not found", interp.Token(at - 1).c_str()));
}

void EmptyPlotItemList::Move(int32_t, int32_t) { throw KWRExcept("Invalid plotitem id number"); }

void EmptyPlotItemList::RemoveAt(int32_t) { throw KWRExcept("Invalid plotitem id number"); }

void EmptyPlotItemList::Save(SaveStream& stream) const { stream.WriteU32(0); }

void EmptyPlotItemList::Restore(SaveStream& stream, ViewPort&) {
  if (stream.ReadU32() != 0) stream.ReadFailure();
}

namespace {

PlotItemListFactory& Factory() {
  static PlotItemListFactory factory = nullptr;
  return factory;
}

std::vector<PlotItemPrototype*>& Prototypes() {
  // Capacity doubles from 1 until it passes the largest valid id, 100.
  static std::vector<PlotItemPrototype*> table(128, nullptr);
  return table;
}

}  // namespace

void InstallPlotItemLists(PlotItemListFactory factory) { Factory() = factory; }

std::unique_ptr<PlotItemList> MakePlotItemList(ViewPort& view) {
  if (Factory()) return Factory()(view);
  return std::make_unique<EmptyPlotItemList>();
}

void RegisterPlotItemPrototype(int32_t typeId, PlotItemPrototype* prototype) {
  if (typeId < 0) throw KWRExcept("Invalid plot item type");
  // An id beyond the table doubles it until the id fits.
  size_t capacity = Prototypes().size();
  while (capacity <= size_t(typeId)) capacity *= 2;
  Prototypes().resize(capacity, nullptr);
  Prototypes()[typeId] = prototype;
}

PlotItemPrototype* PlotItemPrototypeAt(int32_t typeId) {
  if (typeId < 0 || typeId >= PlotItemPrototypeCapacity()) return nullptr;
  return Prototypes()[typeId];
}

int32_t PlotItemPrototypeCapacity() { return static_cast<int32_t>(Prototypes().size()); }
