// The program's application object: its identity, NEW, banner and settings file.
#pragma once

#include "base/app.h"

class ModelInterpreter;

class ModelApp : public GuiApplication {
 public:
  explicit ModelApp(ModelInterpreter* interpreter);

  // Set-up: names, versions, product code, message categories.
  void RegisterHelpTopics() override { Identity(); }
  void Identity();
  // NEW of the whole model.
  void Reset() override { New(); }
  void New();
  void Banner() override;
  bool ReadIniFile() override { return IniFile(); }
  bool IniFile();

  ModelInterpreter* Interp() const { return interp_; }

 private:
  ModelInterpreter* interp_;
};
