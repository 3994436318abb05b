// The ordered plot items of a view, numbered from 1: drawing in order,
// the redraw decision, the PLOT sub-commands' addressing by number, the
// listing, copying another view's items, and the items' part of the view
// record (count, then per item its type id and record).
#pragma once

#include <memory>
#include <vector>

#include "plot/plot_item.h"

class ItemList : public PlotItemList {
 public:
  explicit ItemList(ViewPort& view) : view_(&view) {}

  int32_t Count() const override { return int32_t(items_.size()); }
  PlotItem* At(int32_t n) override { return Item(n); }
  PlotItemBase* Item(int32_t n) { return n >= 1 && n <= Count() ? items_[size_t(n - 1)].get() : nullptr; }
  bool AnyModelItem() const override;
  bool AnyOnPlane() const override;
  bool NeedsRedraw(int32_t mask) const override;
  void DrawAll(int32_t mask) override;
  void MarkAllForRedraw() override;
  void NotifyAll(int32_t value) override;
  bool OfferMenuEvent(const GuiEvent& event) override;
  void Clear() override { items_.clear(); }
  void Adopt(std::unique_ptr<PlotItem> item) override;
  void CopyFrom(PlotItemList& other, ViewPort& view) override;
  void Modify(CommandType& interp) override;
  void Move(int32_t from, int32_t before) override;
  void RemoveAt(int32_t n) override;
  void List(TextOStream& out) override;
  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream, ViewPort& view) override;
  void RemapPointers() override;

  // Appends an item the view owns from now on.
  PlotItemBase& Append(std::unique_ptr<PlotItemBase> item);
  // The item of the first type that takes the command's word, with its
  // keywords read, appended; null when no type takes the word.
  PlotItemBase* AddFromCommand(CommandType& interp);

 private:
  void Renumber();

  ViewPort* view_;
  std::vector<std::unique_ptr<PlotItemBase>> items_;
};

// Makes every view's list a plot-item list and registers the item types of
// this level.
void InstallPlotItems();
