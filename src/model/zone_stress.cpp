// Zone stresses and strains: stress components by the callers' numbering,
// the strain measures over the mechanical tetrahedra, and named properties
// set through the zone's models.
#include <cmath>

#include "base/except.h"
#include "base/message.h"
#include "cmodels/constitutive_model.h"
#include "model/calc_module.h"
#include "model/grid_point.h"
#include "model/zone.h"
#include "model/zone_models.h"

namespace {
// The tetrahedra keep xx, yy, zz, xy, xz, yz; callers number yz 4 and xz 5.
constexpr int kRecordComponent[6] = {0, 1, 2, 3, 5, 4};

bool IsComponent(int component) { return component >= 0 && component < 6; }
}  // namespace

void Zone::SetStress(double value, int component) {
  if (!IsComponent(component)) throw QJExcept("Internal error in Zone::SetStress");
  const int i = kRecordComponent[component];
  for (ZoneTetra* block : mech_)
    for (int k = 0; block && k < TetraPerOverlay(); ++k) block[k].stress[i] = value;
}

double Zone::GetStress(int component) const {
  if (!IsComponent(component)) return 0.0;
  double s[6];
  AverageStress(s, false);
  return s[kRecordComponent[component]];
}

// The gradient of the grid-points' velocities or displacements on each
// mechanical tetrahedron, G_ij = sum over the corners of v_i n_j / 3V with
// the inward face vectors n, averaged over the tetrahedra of both overlays
// by volume.
double Zone::StrainMeasure(int code, double tensor[6]) const {
  const bool writesTensor = code >= kStrainRateTensor && code <= kRotation;
  if (writesTensor && tensor)
    for (int i = 0; i < 6; ++i) tensor[i] = 0.0;
  if (code < kShearStrainRate || code > kRotation || IsNull()) return 0.0;

  const bool velocities = code % 2 == 1;
  double sum[3][3] = {};
  double total = 0.0;
  for (int o = 0; o < 2; ++o) {
    const ZoneTetra* block = mech_[o];
    if (!block) continue;
    const TetraDef* defs = OverlayDefinitions(type_, o);
    for (int k = 0; k < TetraPerOverlay(); ++k) {
      const ZoneTetra& t = block[k];
      // A flat or inverted tetrahedron has no gradient: never an infinite strain.
      if (!(t.volume > 0.0)) throw QJExcept(MessageText("Illegal geometry in zone %s", UIntToString(id_)));
      for (int c = 0; c < 4; ++c) {
        const GridPoint* gp = gp_[defs[k].gp[c]];
        const double* v = velocities ? gp->velocity : gp->displacement;
        for (int i = 0; i < 3; ++i)
          for (int j = 0; j < 3; ++j) sum[i][j] += v[i] * t.area[c][j];
      }
      total += t.volume;
    }
  }
  if (total <= 0.0) return 0.0;
  // Each tetrahedron adds V G = (sum v n) / 3.
  double g[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) g[i][j] = sum[i][j] / (3.0 * total);

  if (code >= kRotationRate) {
    if (tensor) {
      tensor[3] = 0.5 * (g[0][1] - g[1][0]);
      tensor[4] = 0.5 * (g[1][2] - g[2][1]);
      tensor[5] = 0.5 * (g[0][2] - g[2][0]);
    }
    return 0.0;
  }
  const double e[6] = {
      g[0][0], g[1][1], g[2][2], 0.5 * (g[0][1] + g[1][0]), 0.5 * (g[1][2] + g[2][1]), 0.5 * (g[0][2] + g[2][0])};
  if (writesTensor) {
    if (tensor)
      for (int i = 0; i < 6; ++i) tensor[i] = e[i];
    return 0.0;
  }
  const double trace = e[0] + e[1] + e[2];
  if (code == kVolumetricStrainRate || code == kVolumetricStrain) return trace;
  const double mean = trace / 3.0;
  const double sxx = e[0] - mean, syy = e[1] - mean, szz = e[2] - mean;
  return std::sqrt(std::fabs(sxx * syy + syy * szz + szz * sxx - e[3] * e[3] - e[4] * e[4] - e[5] * e[5]));
}

bool Zone::SetProperty(const char* name, double value) {
  if (model_ && model_->SetPropertyValue(name, value)) return true;
  const ModePointers& modes = Modes();
  struct ModeModels {
    CalcModule* module;
    ZoneMaterialModels* models;
  };
  for (const ModeModels& mode :
       {ModeModels{modes.thermal, ThermalZoneModels()}, ModeModels{modes.fluid, FluidZoneModels()}}) {
    if (!mode.module) continue;
    mode.module->ZoneCreated(*this);
    if (!mode.models) continue;
    if (int index = ModePropertyIndex(*mode.models, mode.models->ZoneModel(*this), String(name))) {
      mode.models->SetZoneProperty(*this, index - 1, value);
      return true;
    }
  }
  return false;
}
