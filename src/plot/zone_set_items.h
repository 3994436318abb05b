// The grid, boundary and sketch items: the zone grid drawn as lines. Their
// shared base chooses the zones (the item's range and the null-zones
// filter), writes the legend lines and marks the zones the drawers read.
#pragma once

#include "plot/plot_item.h"

class ModelView;
class Zone;

// Zone marks of one drawing pass: in the item's range, and drawn.
constexpr uint32_t kZoneInRangeMark = 0x80000;
constexpr uint32_t kZoneDrawnMark = 0x40000000;

class ZoneSetPlotItem : public PlotItemBase {
 public:
  ZoneSetPlotItem(ViewPort* owner, int32_t typeId, bool planeWords);

  int Parse(CommandType& interp) override;
  void Copy(const PlotItemBase& other) override;
  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;

  bool NullOnly() const { return nullOnly_; }
  // Whether a zone takes part: the null filter and the in-range mark.
  bool Selected(const Zone& zone) const;
  // Whether a face is drawn: it exists and no selected zone lies across it.
  bool ShowsFace(const Zone& zone, int face) const;

 protected:
  // Legend lines and the one marking pass over the zones.
  void PrepareZones(int32_t changeMask);
  // Solid pen of colour 0 and its legend sample.
  void SetUpPen();
  // The outline of a face at the drawn positions.
  void DrawFace(ModelView& view, const Zone& zone, int face);

  bool nullOnly_ = false;
};

class GridPlotItem : public ZoneSetPlotItem {
 public:
  explicit GridPlotItem(ViewPort* owner) : ZoneSetPlotItem(owner, 20, true) {}
  String DisplayName() const override { return "Grid"; }
  PlotItemBase* NewInstance(ViewPort* owner) const override { return new GridPlotItem(owner); }
  void Draw(int32_t changeMask) override;
};

class BoundaryPlotItem : public ZoneSetPlotItem {
 public:
  explicit BoundaryPlotItem(ViewPort* owner) : ZoneSetPlotItem(owner, 21, true) {}
  String DisplayName() const override { return "Boundary"; }
  PlotItemBase* NewInstance(ViewPort* owner) const override { return new BoundaryPlotItem(owner); }
  void Draw(int32_t changeMask) override;
};

class SketchPlotItem : public ZoneSetPlotItem {
 public:
  explicit SketchPlotItem(ViewPort* owner) : ZoneSetPlotItem(owner, 35, false) {}
  String DisplayName() const override { return "Sketch"; }
  PlotItemBase* NewInstance(ViewPort* owner) const override { return new SketchPlotItem(owner); }
  void Draw(int32_t changeMask) override;
};

void InstallZoneSetItems();
