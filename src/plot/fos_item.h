// The factor-of-safety item: the factor found by the last SOLVE FOS, in the
// view's legend.
#pragma once

#include "plot/plot_item.h"

class FosPlotItem : public PlotItemBase {
 public:
  explicit FosPlotItem(ViewPort* owner) : PlotItemBase(owner, 56, 1) {}
  String DisplayName() const override;
  PlotItemBase* NewInstance(ViewPort* owner) const override { return new FosPlotItem(owner); }
  void Draw(int32_t changeMask) override;
  void List(TextOStream& out) override;
};

void InstallFosItem();
