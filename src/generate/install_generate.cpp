#include "generate/install_generate.h"

#include <memory>

#include "base/range.h"
#include "generate/cmd_generate.h"
#include "generate/gen_geometry.h"
#include "generate/gen_zone.h"
#include "generate/range_volume.h"
#include "model/model_interpreter.h"
#include "model/model.h"

void InstallGenerate() {
  InstallModelCommand("generate", &GenerateCommand);
  InstallModelPrint("generate", &PrintGenerate);
  InstallModelCommand("grid", &GridCommand);
  CurrentModel().Sections().Install(
      "generate", [](SaveStream& stream) { ActiveGenGeometry()->Save(stream); },
      [](SaveStream& stream) { ActiveGenGeometry()->Restore(stream); }, [] { ActiveGenGeometry()->AfterRestore(); },
      &ResetGenGeometry);
  RegisterRangeElement(std::make_unique<VolumeRangeElement>());
  ActiveGenGeometry();  // the store exists from start-up
}
