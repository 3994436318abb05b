#include "plot/fos_item.h"

#include "base/stream.h"
#include "model/model_settings.h"

namespace {

String FosText() { return DoubleToString(Settings().fos, 2, 3, 0); }

}  // namespace

String FosPlotItem::DisplayName() const { return Settings().fosKnown ? " FoS " : " "; }

void FosPlotItem::Draw(int32_t changeMask) {
  DrawLegend(changeMask);
  if (Settings().fosKnown)
    LegendText(String(" FoS value is : ") + FosText());
  else
    LegendText("*** FoS value not available ");
}

void FosPlotItem::List(TextOStream& out) {
  PlotItemBase::List(out);
  if (Settings().fosKnown)
    out << "FoS value is : " << FosText().str() << "\n";
  else
    out << "*** FoS value not available \n";
}

namespace {

// The menu offers the item only once a factor of safety is known.
class FosType : public PlotItemTypeOf<FosPlotItem> {
 public:
  using PlotItemTypeOf::PlotItemTypeOf;
  PlotItem* CreateFromMenu(int32_t id, ViewPort& view) override {
    return Settings().fosKnown ? PlotItemTypeOf::CreateFromMenu(id, view) : nullptr;
  }
};

}  // namespace

void InstallFosItem() { static FosType fos(56, "fos", 4651); }
