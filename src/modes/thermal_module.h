// The thermal calculation mode: heat conduction.
#pragma once

#include "model/calc_module.h"

class ThermalModule : public ThermalCalcModule {
 public:
  ThermalModule();
  ~ThermalModule() override;
};
