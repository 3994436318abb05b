// The glue between zones and their material models: the tables of the
// coupled modes, the grid-point marks of zones without a model, the
// property-name match shared by PROPERTY and PRINT ZONE, and the start-up
// step that installs the commands built on them.
#include "model/zone_models.h"

#include "cmodels/constitutive_model.h"
#include "model/calc_module.h"
#include "model/grid.h"
#include "model/model_interpreter.h"

namespace {
ZoneMaterialModels* g_thermalModels = nullptr;
ZoneMaterialModels* g_fluidModels = nullptr;

bool HasModelOfKind(const Zone& zone, uint32_t bit) {
  switch (bit) {
    case NodeBase::kNoMechanicalZone:
      return !zone.IsNull();
    case NodeBase::kNoThermalZone: {
      const ZoneMaterialModels* m = ThermalZoneModels();
      return m && m->ZoneModel(zone) != 0;
    }
    case NodeBase::kNoFluidZone: {
      const ZoneMaterialModels* m = FluidZoneModels();
      return m && m->ZoneModel(zone) != 0;
    }
    default:
      return true;
  }
}

void ClearVector(double v[3]) { v[0] = v[1] = v[2] = 0.0; }

// The state of each kind whose mark the grid-point carries.
void ClearMarkedState(GridPoint& gp) {
  if (gp.flags & NodeBase::kNoMechanicalZone) {
    gp.mass = 0.0;
    gp.stiffness = 0.0;
    gp.areaSum = 0.0;
    ClearVector(gp.velocity);
    ClearVector(gp.displacement);
    ClearVector(gp.smallDisplacement);
    ClearVector(gp.unbalancedForce);
    ClearVector(gp.appliedForce[0]);
    ClearVector(gp.appliedForce[1]);
  }
  if ((gp.flags & NodeBase::kNoThermalZone) && gp.thermal) {
    gp.thermal->temperature = 0.0;
    gp.thermal->heatFlow = gp.thermal->inverseCapacity = gp.thermal->temperatureIncrement = 0.0;
    if (ImplicitTerms* t = gp.thermal->implicitTerms.get()) *t = ImplicitTerms();
  }
  if (gp.flags & NodeBase::kNoFluidZone) {
    gp.porePressure = 0.0;
    if (GpFluidData* f = gp.fluid.get()) {
      f->modulus = f->fluidModulus = f->saturation = f->tensionLimit = 0.0;
      f->flow = 0.0;
    }
  }
}

}  // namespace

bool ModeProperty(const ZoneMaterialModels* models, const Zone& zone, const char* name, double* value) {
  if (!models) return false;
  const int index = ModePropertyIndex(*models, models->ZoneModel(zone), String(name));
  if (index == 0) return false;
  *value = models->ZoneProperty(zone, index - 1);
  return true;
}

void SetThermalZoneModels(ZoneMaterialModels* models) {
  g_thermalModels = models;
  SetThermalModelList(models);
}

void SetFluidZoneModels(ZoneMaterialModels* models) {
  g_fluidModels = models;
  SetFluidModelList(models);
}

ZoneMaterialModels* ThermalZoneModels() { return Modes().thermal ? g_thermalModels : nullptr; }
ZoneMaterialModels* FluidZoneModels() { return Modes().fluid ? g_fluidModels : nullptr; }

int ModePropertyIndex(const MaterialModelList& models, int type, const String& name) {
  String keywords = models.Keywords(type);
  for (int position = 1;; ++position) {
    String word = keywords.NextToken(" ");
    if (word.IsEmpty()) return 0;
    if (word == name) return position;
  }
}

bool MatchModeProperty(const MaterialModelList* models, const String& text, String* full) {
  if (!models || text.IsEmpty()) return false;
  for (int type = 0; type < models->Count(); ++type) {
    String keywords = models->Keywords(type);
    for (;;) {
      String word = keywords.NextToken(" ");
      if (word.IsEmpty()) break;
      if (word.ComparePrefix(text.c_str()) != 0) continue;
      if (full) *full = word;
      return true;
    }
  }
  return false;
}

void MarkAllGridPoints(uint32_t bit) {
  for (GridPoint* gp : GridPointList()) gp->flags |= bit;
}

void UnmarkCorners(const Zone& zone, uint32_t bit) {
  if (!HasModelOfKind(zone, bit)) return;
  for (int i = 0; i < zone.GpCount(); ++i)
    if (GridPoint* gp = zone.Gp(i)) gp->flags &= ~bit;
}

void ClearStateOfMarked(uint32_t bit) {
  for (GridPoint* gp : GridPointList())
    if (gp->flags & bit) ClearMarkedState(*gp);
}

void MarkNullGridPoints(uint32_t bit) {
  MarkAllGridPoints(bit);
  ForEachZoneFetchingAhead(false, [bit](Zone& z) { UnmarkCorners(z, bit); });
  ClearStateOfMarked(bit);
}

bool MatchMechanicalPropertyName(const String& text, String* full) {
  if (text.IsEmpty()) return false;
  for (int i = 0; i < ConstitutiveModel::NumberAvailable(); ++i) {
    const ConstitutiveModel* model = ConstitutiveModel::FindByIndex(i);
    const char* const* names = model ? model->Properties() : nullptr;
    for (int k = 0; names && names[k]; ++k) {
      if (String(names[k]).ComparePrefix(text.c_str()) != 0) continue;
      if (full) *full = names[k];
      return true;
    }
  }
  return false;
}

bool MatchPropertyName(const String& text, String* full) {
  return MatchMechanicalPropertyName(text, full) || MatchModeProperty(ThermalZoneModels(), text, full) ||
         MatchModeProperty(FluidZoneModels(), text, full);
}
