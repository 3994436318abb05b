#include "plot/plot_item_list.h"

#include "base/command.h"
#include "base/savestream.h"
#include "base/stream.h"
#include "plot/fos_item.h"
#include "plot/zone_set_items.h"
#include "view/view_port.h"

bool ItemList::AnyModelItem() const {
  for (const auto& item : items_)
    if (item->IsModelItem()) return true;
  return false;
}

bool ItemList::AnyOnPlane() const {
  for (const auto& item : items_)
    if (item->PlaneBits() != 0) return true;
  return false;
}

bool ItemList::NeedsRedraw(int32_t mask) const {
  if (mask == -1 || (mask & 1)) return true;
  if ((mask & 6) && AnyModelItem()) return true;
  if ((mask & 8) && AnyOnPlane()) return true;
  for (const auto& item : items_)
    if (item->IsAffectedBy(mask)) return true;
  return false;
}

void ItemList::DrawAll(int32_t mask) {
  for (const auto& item : items_) {
    if (!item->Active()) continue;
    item->Draw(item->FullRedraw() ? -1 : mask);
    item->SetFullRedraw(false);
  }
}

void ItemList::MarkAllForRedraw() {
  for (const auto& item : items_) item->SetFullRedraw(true);
}

void ItemList::NotifyAll(int32_t value) {
  for (const auto& item : items_) item->Notify(value);
}

bool ItemList::OfferMenuEvent(const GuiEvent& event) {
  for (auto it = items_.rbegin(); it != items_.rend(); ++it)
    if ((*it)->OfferMenuEvent(event)) return true;
  return false;
}

void ItemList::CopyFrom(PlotItemList& other, ViewPort& view) {
  auto* source = dynamic_cast<ItemList*>(&other);
  items_.clear();
  view_ = &view;
  if (!source) return;
  for (const auto& item : source->items_) {
    std::unique_ptr<PlotItemBase> copy(item->NewInstance(&view));
    copy->Copy(*item);
    items_.push_back(std::move(copy));
  }
}

void ItemList::Modify(CommandType& interp) {
  int at = interp.TokenIndex();
  const int32_t n = interp.GetInt(&at);
  PlotItemBase* item = Item(n);
  if (!item) throw ViewExcept(FormatText("PlotItem %1 not found", std::to_string(n).c_str()));
  interp.TokenIndex() = at;
  item->ParseKeywords(interp);
  if (interp.HasToken()) interp.ThrowParamError(CommandType::kUnrecognized);
}

void ItemList::Move(int32_t n, int32_t before) {
  if (n < 1 || before < 0 || n > Count()) throw ViewExcept("Invalid plotitem id number");
  Renumber();
  std::unique_ptr<PlotItemBase> item = std::move(items_[size_t(n - 1)]);
  items_.erase(items_.begin() + (n - 1));
  auto at = items_.begin();
  while (at != items_.end() && (*at)->Number() < before) ++at;
  items_.insert(at, std::move(item));
  Renumber();
}

void ItemList::RemoveAt(int32_t n) {
  if (n < 1 || n > Count()) throw ViewExcept("Invalid plotitem id number");
  items_.erase(items_.begin() + (n - 1));
  Renumber();
}

void ItemList::List(TextOStream& out) {
  out << " Number  Name\n ------  --------------------\n";
  for (const auto& item : items_) {
    std::string number = std::to_string(item->Number());
    if (number.size() < 7) number.insert(0, 7 - number.size(), ' ');
    out << number << "  " << item->DisplayName().str() << "\n";
  }
}

void ItemList::Save(SaveStream& s) const {
  s.WriteU32(uint32_t(items_.size()));
  for (const auto& item : items_) {
    s.WriteU32(uint32_t(item->TypeId()));
    item->Save(s);
  }
}

void ItemList::Restore(SaveStream& s, ViewPort& view) {
  items_.clear();
  view_ = &view;
  const uint32_t count = s.ReadU32();
  s.CheckAvailable(uint64_t(count) * 4);
  for (uint32_t k = 0; k < count; ++k) {
    const uint32_t type = s.ReadU32();
    std::unique_ptr<PlotItemBase> item(type <= 0x7FFFFFFF ? NewPlotItemOfType(int32_t(type), &view) : nullptr);
    if (!item) s.ReadFailure();
    item->Restore(s);
    items_.push_back(std::move(item));
  }
}

void ItemList::RemapPointers() {
  for (const auto& item : items_) item->RemapPointers();
}

void ItemList::Adopt(std::unique_ptr<PlotItem> item) {
  auto* base = dynamic_cast<PlotItemBase*>(item.get());
  if (!base) return;
  item.release();
  Append(std::unique_ptr<PlotItemBase>(base));
}

PlotItemBase& ItemList::Append(std::unique_ptr<PlotItemBase> item) {
  item->SetOwner(view_);
  items_.push_back(std::move(item));
  items_.back()->SetNumber(Count());
  return *items_.back();
}

PlotItemBase* ItemList::AddFromCommand(CommandType& interp) {
  std::unique_ptr<PlotItemBase> item(CreatePlotItem(interp, *view_));
  if (!item) return nullptr;
  item->ParseKeywords(interp);
  if (interp.HasToken()) interp.ThrowParamError(CommandType::kUnrecognized);
  return &Append(std::move(item));
}

void ItemList::Renumber() {
  int32_t n = 0;
  for (const auto& item : items_) item->SetNumber(++n);
}

namespace {

std::unique_ptr<PlotItemList> MakeItemList(ViewPort& view) { return std::make_unique<ItemList>(view); }

}  // namespace

void InstallPlotItems() {
  InstallPlotItemLists(MakeItemList);
  InstallZoneSetItems();
  InstallFosItem();
}
