// The thermal calculation mode: heat conduction.
#pragma once

#include "model/calc_module.h"

class ThermalModule : public CalcModule {
 public:
  ThermalModule();
  ~ThermalModule() override;
};
