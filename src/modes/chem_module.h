// The chemistry calculation mode and its link to the external chemistry
// application.
#pragma once

#include "model/calc_module.h"

class ChemModule : public ChemCalcModule {
 public:
  ChemModule();
  ~ChemModule() override;

  // The external chemistry application cannot be started on this system:
  // the connection and everything that needs it fail.
  bool Connect() override { return false; }
  bool SetApplicationPath(const String*) override { return false; }
  bool ReadResultFile(const String*) override { return false; }
  void SetGibbsOptions(const String* text) override { options_ = text ? *text : String(); }

  const String& GibbsOptions() const { return options_; }

 private:
  String options_;
};
