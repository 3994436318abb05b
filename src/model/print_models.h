// PRINT MODEL: the constitutive models that the model library makes
// available, with their property or state names, and the material models of
// the configured fluid and thermal modes.
#pragma once

#include "base/command.h"

// The material models of a coupled mode (fluid or thermal), as the listing
// shows them: one entry per model type, in table order.
class MaterialModelList {
 public:
  virtual ~MaterialModelList() = default;
  virtual int Count() const = 0;
  virtual String Name(int type) const = 0;
  // The blank-separated property keywords of the type.
  virtual String Keywords(int type) const = 0;
};

// The fluid and thermal modes install their lists while they are configured
// and remove them (null) when they are not; until then neither is listed.
void SetFluidModelList(const MaterialModelList* list);
void SetThermalModelList(const MaterialModelList* list);

// Called after the word "model"; reads the optional "properties", "states" or
// "list" (a word that is none of them stays for the next PRINT item).
int PrintModels(CommandType& interp);
