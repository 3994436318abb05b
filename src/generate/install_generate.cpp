#include "generate/install_generate.h"

#include <memory>

#include "base/range.h"
#include "generate/body/body.h"
#include "generate/cmd_generate.h"
#include "generate/gen_geometry.h"
#include "generate/gen_zone.h"
#include "generate/grid_edit.h"
#include "generate/grid_file.h"
#include "generate/range_volume.h"
#include "generate/topograph.h"
#include "generate/water_table.h"
#include "model/model.h"
#include "model/model_interpreter.h"

void InstallGenerate() {
  InstallModelCommand("generate", &GenerateCommand);
  InstallModelPrint("generate", &PrintGenerate);
  InstallGenerateSubCommand("topograph", &TopographCommand);
  InstallModelCommand("grid", &GridCommand);
  InstallModelCommand("body", [](ModelInterpreter& in) { BodyCommand(in); });
  CurrentModel().Sections().Install(
      "generate", [](SaveStream& stream) { ActiveGenGeometry()->Save(stream); },
      [](SaveStream& stream) { ActiveGenGeometry()->Restore(stream); }, [] { ActiveGenGeometry()->AfterRestore(); },
      [] {
        ResetGenGeometry();
        ResetBody();
      });
  InstallModelCommand("water", &WaterCommand);
  InstallModelPrint("water", &PrintWater);
  InstallModelCommand("impgrid", &ImportGrid);
  InstallModelCommand("expgrid", &ExportGrid);
  InstallModelCommand("delete", &DeleteCommand);
  InstallModelCommand("pdelete", &PDeleteCommand);
  CurrentModel().Sections().Install(
      "water", [](SaveStream& stream) { TheWaterTable().Save(stream); },
      [](SaveStream& stream) { TheWaterTable().Restore(stream); }, nullptr, [] { TheWaterTable().Clear(); });
  RegisterRangeElement(std::make_unique<VolumeRangeElement>());
  ActiveGenGeometry();  // the store exists from start-up
}
