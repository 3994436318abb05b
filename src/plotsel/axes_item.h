// The axes item: a triad labelled X, Y and Z at a model position, or fixed
// at a place of the view's window whatever the camera does.
#pragma once

#include "plot/plot_item.h"

class AxesPlotItem : public PlotItemBase {
 public:
  explicit AxesPlotItem(ViewPort* owner);
  String DisplayName() const override { return "Axes"; }
  PlotItemBase* NewInstance(ViewPort* owner) const override { return new AxesPlotItem(owner); }
  int Parse(CommandType& interp) override;
  void Copy(const PlotItemBase& other) override;
  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;
  void List(TextOStream& out) override;
  void Draw(int32_t changeMask) override;

  bool Fixed() const { return fixed_; }
  const Vec3& Position() const { return position_; }
  const DVect2& FixedPosition() const { return fixedPosition_; }

 private:
  bool fixed_ = false;
  Vec3 position_;
  DVect2 fixedPosition_{0.25, 0.25};
};
