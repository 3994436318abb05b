// What the plot-item tests share: the grid and GENERATE installed behind a
// model interpreter, the plot items installed, a model view whose items are
// made from command words through the type registry, and a recording device
// that logs what the items draw.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/stream.h"
#include "devices/output_devices.h"
#include "devices/plot_file_fixture.h"
#include "devices/test_devices.h"
#include "generate/gen_geometry.h"
#include "generate/install_generate.h"
#include "model/grid.h"
#include "model/grid_commands.h"
#include "model/model_interpreter.h"
#include "model/model_settings.h"
#include "plot/plot_item_list.h"
#include "plotsel/install_plotsel.h"
#include "support/interp_fixture.h"
#include "view/model_view.h"
#include "view/view_harness.h"

class PlotItemTest : public PlotFileTest {
 protected:
  FakeDevice modelConsole;
  MacroTable modelMacros;
  ModelInterpreter model{&modelMacros, &modelConsole};
  RecordingDevice recorder;
  std::unique_ptr<TestSurface> surface;
  std::unique_ptr<ModelView> view;

  void SetUp() override {
    PlotFileTest::SetUp();
    InstallGrid();
    InstallGenerate();
    InstallPlotItems();
    InstallPlotselItems();
    ClearGrid();
    ResetGenGeometry();
    Settings().largeStrain = false;
    Settings().fosKnown = false;
    view = std::make_unique<ModelView>();
  }
  void TearDown() override {
    view.reset();
    ClearGrid();
    ResetGenGeometry();
    Settings().largeStrain = false;
    Settings().fosKnown = false;
    Line("set plot windows");
    interp.TokenIndex() = 2;
    TheOutputDevices().SetPlot(interp);
    PlotFileTest::TearDown();
  }
  // Runs model commands; what they printed.
  std::string Model(std::initializer_list<const char*> lines) {
    RunLines(model, modelConsole, lines);
    std::string out = modelConsole.output;
    modelConsole.output.clear();
    return out;
  }
  ItemList& Items() { return static_cast<ItemList&>(view->Items()); }
  // An item from the words, through the registry, appended to the view.
  PlotItemBase& Add(const char* words) {
    PlotItemBase* item = Items().AddFromCommand(Line(words));
    EXPECT_NE(item, nullptr) << words;
    return *item;
  }
  // The view drawn onto the recording device; its log.
  std::string Record(bool caption = true) {
    if (!surface) surface = std::make_unique<TestSurface>(&recorder);
    view->SetSurface(surface.get());
    view->SetCaptionOn(caption);
    view->Arrange();
    recorder.log.clear();
    view->Regenerate(-1, String());
    return recorder.Take();
  }
  // Draws one item alone after a regeneration has fitted the view.
  std::string DrawAlone(PlotItemBase& item) {
    Record(false);
    item.Draw(-1);
    return recorder.Take();
  }
  std::string Listing(PlotItemBase& item) {
    StringOStream out;
    item.List(out);
    out.flush();
    return out.str();
  }
  void Hardcopy(const char* device) {
    Line((std::string("set plot ") + device).c_str());
    interp.TokenIndex() = 2;
    TheOutputDevices().SetPlot(interp);
    Line("plot hardcopy");
    interp.TokenIndex() = 2;
    view->Hardcopy(interp);
  }
};

inline size_t CountOf(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}
