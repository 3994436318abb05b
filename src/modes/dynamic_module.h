// The dynamic calculation mode.
#pragma once

#include "model/calc_module.h"

class DynamicModule : public DynamicCalcModule {
 public:
  DynamicModule();
  ~DynamicModule() override;
};
