#include "model/model_app.h"

#include "base/range.h"
#include "base/range_named.h"

#include "model/calc_module.h"
#include "model/gp_zone_index.h"
#include "model/grid.h"
#include "model/hyst_damping.h"
#include "model/model.h"
#include "model/model_interpreter.h"
#include "model/model_settings.h"
#include "model/services.h"

ModelApp::ModelApp(ModelInterpreter* interpreter) : GuiApplication(interpreter), interp_(interpreter) {}

namespace {
// QUIT, STOP and every other way out: the attach ties go and the recycled
// damping records are freed. The zone-type tables are constant data.
void ReleaseAtExit(void*) {
  CurrentModel().Sections().Clear("attach");
  HystDamping::FreePool();
}
}  // namespace

void ModelApp::Identity() {
  AddExitHook(&ReleaseAtExit, nullptr);
  interp_->TheModel().Script().SetHistoryDefaultCallback(&UpdateAllViews);
  ProgramIdentity& id = ::Identity();
  id.versionNumber = 3.0f;
  id.updateNumber = 261;
  id.betaNumber = 261;
  id.releaseNumber = 261;
  id.programVersion = 316;
  id.formatVersion = 134;
  id.identityWord = 0;
  id.releaseKind = 0;
  id.productCode = 29572024;
  id.upperName = "TERRAX";
  id.prompt = "Terrax>";
  id.lowerName = "terrax";
  GuiApplication::RegisterHelpTopics();
}

// Every part of the model back to a fresh start, in a fixed order.
void ModelApp::New() {
  const SaveSections& sections = interp_->TheModel().Sections();
  interp_->ClearMacros();
  if (interp_->Macros()) interp_->Macros()->Clear();
  sections.Clear("apply");
  sections.Clear("interfaces");
  sections.Clear("attach");
  ClearGpZoneIndex();
  ClearGrid();
  sections.Clear("structures");
  PrintRange().Clear();
  ClearNamedRanges();
  sections.Clear("generate");  // the GENERATE geometry and the body
  sections.Clear("histories");
  sections.Clear("views");
  sections.Clear("tables");
  sections.Clear("water");
  TheModules().Clear();
  sections.Clear("particles");  // particles, their id counter, the chemistry link flag
  ClearZoneFaceList(ZoneFaceListHead());
  HystDamping::FreePool();
  Settings().Reset();
  GuiApplication::Reset();
}

void ModelApp::Banner() {
  const String stars('*', 51);
  CommandType& out = *Interpreter();
  out << " \n \n"
      << stars << "\n"
      << "* All model specific information has been cleared *\n"
      << stars << "\n \n \n";
  out.flush();
}

bool ModelApp::IniFile() {
  if (GuiApplication::ReadIniFile()) return true;
  return PushSettingsFile("QJ.INI");
}
