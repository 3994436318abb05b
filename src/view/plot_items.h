// What a view asks of its plot items. The plot-item subsystem, above the
// views, implements these classes and installs its item list at start-up;
// until it does, every view has an empty list that saves a count of 0 and
// restores nothing else.
#pragma once

#include <cstdint>
#include <memory>

#include "base/linklist.h"
#include "base/string.h"

class CanvasState;
class CommandType;
class SaveStream;
class TextOStream;
class ViewPort;
struct GuiEvent;

// One plot item of a view, as the view sees it.
class PlotItem : public LinkListNode {
 public:
  // How an item draws against its view's cutting plane.
  enum PlaneBits : int32_t { kOnPlane = 1, kInFront = 2, kBehind = 4 };

  // Reads the item's settings keywords from the current position on.
  virtual void ParseKeywords(CommandType& interp) = 0;
  // The item's settings dialog; true when confirmed.
  virtual bool EditDialog() { return false; }
  // The text of the item in menus and listings.
  virtual String Description() const = 0;
  virtual int32_t Number() const = 0;
  virtual bool Active() const = 0;
  virtual int32_t PlaneBits() const = 0;
  virtual CanvasState& State() = 0;
  virtual ViewPort* Owner() const = 0;
};

// The ordered list of a view's plot items, numbered from 1.
class PlotItemList {
 public:
  virtual ~PlotItemList() = default;

  virtual int32_t Count() const = 0;
  // Item n (from 1), or null.
  virtual PlotItem* At(int32_t n) = 0;
  // Whether any shown item draws in model space; whether any draws against
  // the cutting plane.
  virtual bool AnyModelItem() const = 0;
  virtual bool AnyOnPlane() const = 0;
  // Whether a change mask concerns the items: -1 and bit 0 always, bits 1
  // and 2 with a model item shown, bit 3 with an item on the plane.
  virtual bool NeedsRedraw(int32_t mask) const = 0;
  // Draws every shown item in list order.
  virtual void DrawAll(int32_t mask) = 0;
  virtual void MarkAllForRedraw() = 0;
  virtual void NotifyAll(int32_t value) = 0;
  virtual bool OfferMenuEvent(const GuiEvent& event) = 0;
  virtual void Clear() = 0;
  // Appends a new item of the view's own (the empty list drops it).
  virtual void Adopt(std::unique_ptr<PlotItem> item) = 0;
  // A copy of each item of the other list, owned by the view.
  virtual void CopyFrom(PlotItemList& other, ViewPort& view) = 0;
  // Item n reads its settings from the command.
  virtual void Modify(CommandType& interp) = 0;
  virtual void Move(int32_t from, int32_t before) = 0;
  virtual void RemoveAt(int32_t n) = 0;
  virtual void List(TextOStream& out) = 0;
  // The count, then per item its type code and record.
  virtual void Save(SaveStream& stream) const = 0;
  // The view owns the items made.
  virtual void Restore(SaveStream& stream, ViewPort& view) = 0;
  virtual void RemapPointers() = 0;
};

// A list without items: what a view has until the plot items are installed.
class EmptyPlotItemList : public PlotItemList {
 public:
  int32_t Count() const override { return 0; }
  PlotItem* At(int32_t) override { return nullptr; }
  bool AnyModelItem() const override { return false; }
  bool AnyOnPlane() const override { return false; }
  bool NeedsRedraw(int32_t mask) const override { return mask == -1 || (mask & 1) != 0; }
  void DrawAll(int32_t) override {}
  void MarkAllForRedraw() override {}
  void NotifyAll(int32_t) override {}
  bool OfferMenuEvent(const GuiEvent&) override { return false; }
  void Clear() override {}
  void Adopt(std::unique_ptr<PlotItem>) override {}
  void CopyFrom(PlotItemList&, ViewPort&) override {}
  void Modify(CommandType& interp) override;
  void Move(int32_t from, int32_t before) override;
  void RemoveAt(int32_t n) override;
  void List(TextOStream&) override {}
  void Save(SaveStream& stream) const override;
  // A count other than 0 is the read error.
  void Restore(SaveStream& stream, ViewPort& view) override;
  void RemapPointers() override {}
};

// Makes the item list of a new view.
using PlotItemListFactory = std::unique_ptr<PlotItemList> (*)(ViewPort& view);
// The plot items install their list; null goes back to the empty list.
void InstallPlotItemLists(PlotItemListFactory factory);
std::unique_ptr<PlotItemList> MakePlotItemList(ViewPort& view);

// One prototype per item type, kept in the registry by type id.
class PlotItemPrototype {
 public:
  virtual ~PlotItemPrototype() = default;
  // A new item from the command at *position (moved as far as it read), or null.
  virtual PlotItem* CreateFromCommand(CommandType& interp, int& position, ViewPort& view) = 0;
  // A new item for an Add-menu id, or null.
  virtual PlotItem* CreateFromMenu(int32_t id, ViewPort& view) = 0;
};

// The registry of prototypes by type id; empty entries are null. Ids 0 to
// 127 are valid from the start; registering a larger id grows the table.
void RegisterPlotItemPrototype(int32_t typeId, PlotItemPrototype* prototype);
PlotItemPrototype* PlotItemPrototypeAt(int32_t typeId);
int32_t PlotItemPrototypeCapacity();
