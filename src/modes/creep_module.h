// The creep calculation mode.
#pragma once

#include "model/calc_module.h"

class CreepModule : public CreepCalcModule {
 public:
  CreepModule();
  ~CreepModule() override;
};
