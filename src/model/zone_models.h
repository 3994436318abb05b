// Zones and their material models: the thermal and fluid material models of
// the coupled modes as the zone commands reach them, the grid-point marks of
// the zones without a model of a kind, the property-name match, and the
// commands and listings built on them (MODEL, PROPERTY, PRINT TETRA, PRINT CHEM).
#pragma once

#include <cstdint>

#include "base/string.h"
#include "model/print_models.h"

class ModelInterpreter;
class Zone;

// The material models of a coupled mode (thermal or fluid) with the zone
// records that hold them. Type 0 is the mode's null model. A zone's record
// is made by the mode's zone-created operation; the operations below answer
// for a zone without one as for type 0 with no properties.
class ZoneMaterialModels : public MaterialModelList {
 public:
  // The model type of the zone's record.
  virtual int ZoneModel(const Zone& zone) const = 0;
  // Gives the zone's record the type, with every property of the type at 0.
  virtual void SetZoneModel(Zone& zone, int type) = 0;
  // The name of the zone's model with its first letter in upper case.
  virtual String ZoneModelName(const Zone& zone) const = 0;
  // A property of the zone's model by its 0-based position in the keywords.
  virtual double ZoneProperty(const Zone& zone, int slot) const = 0;
  virtual void SetZoneProperty(Zone& zone, int slot, double value) = 0;
  // The fluid density of the zone's record (fluid mode only).
  virtual double ZoneFluidDensity(const Zone&) const { return 0.0; }
  // The two values of the zone's record that a zone's state in a scripting
  // file carries besides its model (fluid mode: the pressure-cut sum and the
  // fluid density; none for the thermal mode).
  virtual int ZoneStateValueCount() const { return 0; }
  virtual void ZoneStateValues(const Zone&, double out[2]) const { out[0] = out[1] = 0.0; }
  virtual void SetZoneStateValues(Zone&, const double[2]) {}
};

// The thermal and fluid modes install their tables while they are configured
// and remove them (null) when they are not; a table also serves PRINT MODEL.
void SetThermalZoneModels(ZoneMaterialModels* models);
void SetFluidZoneModels(ZoneMaterialModels* models);
// The table of a configured mode; null while the mode is not configured or
// has installed none.
ZoneMaterialModels* ThermalZoneModels();
ZoneMaterialModels* FluidZoneModels();

// The 1-based position of a property in the keywords of a type; 0 when the
// type has none of that name.
int ModePropertyIndex(const MaterialModelList& models, int type, const String& name);
// A named property of the zone's model of a mode, through the mode's table;
// false when the zone's model of that mode has no such property.
bool ModeProperty(const ZoneMaterialModels* models, const Zone& zone, const char* name, double* value);
// The first property of the mode's models, in type order, of which the text
// is a leading part; its full name goes to `full` when one is given.
bool MatchModeProperty(const MaterialModelList* models, const String& text, String* full = nullptr);

// Sets the bit (NodeBase::kNoMechanicalZone, kNoThermalZone or kNoFluidZone)
// on every grid-point, clears it on the grid-points of the zones that have a
// model of that kind, and clears the state of that kind on the grid-points
// left marked.
void MarkNullGridPoints(uint32_t bit);
// The same in three steps, for a walk that changes the zones' models and
// unmarks each zone's corners once the zone is done: mark every grid-point;
// unmark the corners of a zone that has a model of that kind; clear the
// state of the grid-points left marked.
void MarkAllGridPoints(uint32_t bit);
void UnmarkCorners(const Zone& zone, uint32_t bit);
void ClearStateOfMarked(uint32_t bit);

// The first property of the library's models, in library order, of which the
// text is a leading part; its full name goes to `full` when one is given.
bool MatchMechanicalPropertyName(const String& text, String* full = nullptr);
// The same, then among the thermal and the fluid models of configured modes.
bool MatchPropertyName(const String& text, String* full = nullptr);

// MODEL and PROPERTY, after their first word.
void ModelCommand(ModelInterpreter& interp);
void PropertyCommand(ModelInterpreter& interp);
// PRINT TETRA and PRINT CHEM, after their first word.
void PrintTetra(ModelInterpreter& interp);
void PrintChem(ModelInterpreter& interp);
