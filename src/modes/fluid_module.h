// The fluid-flow calculation mode.
#pragma once

#include "model/calc_module.h"

class FluidModule : public CalcModule {
 public:
  FluidModule();
  ~FluidModule() override;
};
