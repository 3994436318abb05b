// The fluid-flow calculation mode.
#pragma once

#include "model/calc_module.h"

class FluidModule : public FluidCalcModule {
 public:
  FluidModule();
  ~FluidModule() override;
};
