// A harness for views: a plot item and item list that honour what a view
// asks of its items, installed in place of the plot items, and surfaces on
// a raster that answer as a file device or as the screen.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "base/command.h"
#include "base/savestream.h"
#include "devices/canvas.h"
#include "devices/test_devices.h"
#include "view/caption_window.h"
#include "view/plot_items.h"
#include "view/view_port.h"

// A model item: it polls the keyboard, fills a triangle of model points,
// writes its legend, and then does what the test asks.
class TestItem : public PlotItem {
 public:
  static constexpr uint32_t kType = 7;

  explicit TestItem(ViewPort* owner = nullptr) : owner_(owner) {}

  std::function<void(TestItem&)> onDraw;
  int draws = 0;
  int32_t planeBits = 0;
  int32_t number = 1;
  bool active = true;
  bool fill = true;

  void Draw() {
    ++draws;
    owner_->PollKey();
    if (ViewWindow* w = owner_->DrawingWindow(); w && fill) {
      const Vec3 triangle[] = {{-1, 0, -1}, {1, 0, -1}, {0, 0, 1}};
      state_.SetColor(0x0000FF);
      w->FillPolygon(triangle, 3, &state_);
    }
    if (CaptionWindow* c = owner_->Caption()) c->WriteCaptionLine("Test item legend");
    if (onDraw) onDraw(*this);
  }

  void ParseKeywords(CommandType&) override {}
  String Description() const override { return "Test item"; }
  int32_t Number() const override { return number; }
  bool Active() const override { return active; }
  int32_t PlaneBits() const override { return planeBits; }
  CanvasState& State() override { return state_; }
  ViewPort* Owner() const override { return owner_; }
  void SetOwner(ViewPort* owner) { owner_ = owner; }
  void Save(SaveStream& s) const override {
    s.WriteI32(number);
    s.WriteI32(planeBits);
  }
  void Restore(SaveStream& s) override {
    number = s.ReadI32();
    planeBits = s.ReadI32();
  }

 private:
  ViewPort* owner_;
  CanvasState state_;
};

class TestItemList : public PlotItemList {
 public:
  explicit TestItemList(ViewPort& view) : view_(view) {}

  std::vector<std::unique_ptr<TestItem>> items;
  int drawAllCalls = 0;
  int notified = 0;

  TestItem& Add() {
    items.push_back(std::make_unique<TestItem>(&view_));
    items.back()->number = int32_t(items.size());
    return *items.back();
  }

  int32_t Count() const override { return int32_t(items.size()); }
  PlotItem* At(int32_t n) override { return n >= 1 && n <= Count() ? items[n - 1].get() : nullptr; }
  bool AnyModelItem() const override { return !items.empty(); }
  bool AnyOnPlane() const override {
    for (const auto& i : items)
      if (i->planeBits) return true;
    return false;
  }
  bool NeedsRedraw(int32_t mask) const override {
    return mask == -1 || (mask & 1) || ((mask & 6) && AnyModelItem()) || ((mask & 8) && AnyOnPlane());
  }
  void DrawAll(int32_t) override {
    ++drawAllCalls;
    for (auto& i : items)
      if (i->active) i->Draw();
  }
  void MarkAllForRedraw() override {}
  void NotifyAll(int32_t) override { ++notified; }
  bool OfferMenuEvent(const GuiEvent&) override { return false; }
  void Clear() override { items.clear(); }
  void Adopt(std::unique_ptr<PlotItem> item) override {
    auto* test = dynamic_cast<TestItem*>(item.get());
    if (!test) return;
    item.release();
    items.emplace_back(test);
    test->number = Count();
  }
  void CopyFrom(PlotItemList& other, ViewPort& view) override {
    for (auto& i : static_cast<TestItemList&>(other).items) {
      auto copy = std::make_unique<TestItem>(&view);
      copy->number = i->number;
      copy->planeBits = i->planeBits;
      items.push_back(std::move(copy));
    }
  }
  void Modify(CommandType&) override {}
  void Move(int32_t, int32_t) override {}
  void RemoveAt(int32_t) override {}
  void List(TextOStream&) override {}
  void Save(SaveStream& s) const override {
    s.WriteU32(uint32_t(items.size()));
    for (const auto& i : items) {
      s.WriteU32(TestItem::kType);
      i->Save(s);
    }
  }
  void Restore(SaveStream& s, ViewPort& view) override {
    items.clear();
    const uint32_t count = s.ReadU32();
    s.CheckAvailable(uint64_t(count) * 12);
    for (uint32_t k = 0; k < count; ++k) {
      if (s.ReadU32() != TestItem::kType) s.ReadFailure();
      items.push_back(std::make_unique<TestItem>(&view));
      items.back()->Restore(s);
    }
  }
  void RemapPointers() override {}

 private:
  ViewPort& view_;
};

inline std::unique_ptr<PlotItemList> MakeTestItems(ViewPort& view) { return std::make_unique<TestItemList>(view); }

inline TestItemList& ItemsOf(ViewPort& view) { return static_cast<TestItemList&>(view.Items()); }

// The test items for the views made while it lives.
struct TestItemsInstalled {
  TestItemsInstalled() { InstallPlotItemLists(MakeTestItems); }
  ~TestItemsInstalled() { InstallPlotItemLists(nullptr); }
};

// A raster device that answers as the screen.
class ScreenTestDevice : public RasterTestDevice {
 public:
  using RasterTestDevice::RasterTestDevice;
  bool IsScreen() override { return true; }
};

// A canvas whose output begins and ends without a file.
class TestSurface : public Canvas {
 public:
  explicit TestSurface(PlotFileDevice* device) : Canvas(device) {}
  int ends = 0;
  void EndOutput() override { ++ends; }
};
