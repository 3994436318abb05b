#include "generate/install_generate.h"

#include <memory>

#include "base/range.h"
#include "generate/cmd_generate.h"
#include "generate/gen_geometry.h"
#include "generate/gen_zone.h"
#include "generate/range_volume.h"
#include "model/model_interpreter.h"
#include "model/services.h"

void InstallGenerate() {
  InstallModelCommand("generate", &GenerateCommand);
  InstallModelPrint("generate", &PrintGenerate);
  InstallGenerateSubCommand("zone", &GenerateZoneCommand);
  InstallModelCommand("grid", &GridCommand);
  Services().resetGenGeometry = &ResetGenGeometry;
  SaveSectionHooks& section = Services().generateSection;
  section.save = [](SaveStream& stream) { ActiveGenGeometry()->Save(stream); };
  section.restore = [](SaveStream& stream) { ActiveGenGeometry()->Restore(stream); };
  section.remap = [] { ActiveGenGeometry()->AfterRestore(); };
  RegisterRangeElement(std::make_unique<VolumeRangeElement>());
  ActiveGenGeometry();  // the store exists from start-up
}
