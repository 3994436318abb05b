#include "model/model_app.h"

#include "model/model_interpreter.h"

ModelApp::ModelApp(ModelInterpreter* interpreter) : GuiApplication(interpreter), interp_(interpreter) {}

void ModelApp::Identity() {
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

void ModelApp::New() { GuiApplication::Reset(); }

void ModelApp::Banner() {
  const String stars('*', 51);
  CommandType& out = *Interpreter();
  out << " \n \n" << stars << "\n"
      << "* All model specific information has been cleared *\n"
      << stars << "\n \n \n";
  out.flush();
}

bool ModelApp::IniFile() {
  if (GuiApplication::ReadIniFile()) return true;
  return PushSettingsFile("QJ.INI");
}
