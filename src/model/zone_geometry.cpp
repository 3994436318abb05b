// Zone geometry on the overlay tetrahedra: the tetrahedron's geometric
// constants, the per-zone check before cycling, volume, average stress,
// point containment, model assignment by name and copying one zone onto another.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <ios>

#include "base/except.h"
#include "base/savestream.h"
#include "cmodels/constitutive_model.h"
#include "model/calc_module.h"
#include "model/grid_point.h"
#include "model/model_settings.h"
#include "model/restore_fields.h"
#include "model/zone.h"
#include "model/zone_models.h"

namespace {

void Sub(const double a[3], const double b[3], double out[3]) {
  out[0] = a[0] - b[0];
  out[1] = a[1] - b[1];
  out[2] = a[2] - b[2];
}

void Cross(const double u[3], const double v[3], double out[3]) {
  out[0] = u[1] * v[2] - u[2] * v[1];
  out[1] = u[2] * v[0] - u[0] * v[2];
  out[2] = u[0] * v[1] - u[1] * v[0];
}

double Dot(const double u[3], const double v[3]) { return u[0] * v[0] + u[1] * v[1] + u[2] * v[2]; }

// -0.5 (u x v): an inward area vector.
void HalfCrossNegated(const double u[3], const double v[3], double out[3]) {
  Cross(u, v, out);
  for (int i = 0; i < 3; ++i) out[i] *= -0.5;
}

double L1(const double v[3]) { return std::fabs(v[0]) + std::fabs(v[1]) + std::fabs(v[2]); }

// u . (v x w)
double TripleOf(const double u[3], const double v[3], const double w[3]) {
  double c[3];
  Cross(v, w, c);
  return Dot(u, c);
}

}  // namespace

// ---------------------------------------------------------------------------
// ZoneTetra

const double* ZoneTetra::ComputeGeometry(const GridPoint& a, const GridPoint& b, const GridPoint& c,
                                         const GridPoint& d) {
  const ModelSettings& s = Settings();
  const double h = s.largeStrain ? s.timestep * 0.5 : 0.0;
  const GridPoint* corner[4] = {&a, &b, &c, &d};
  double p[4][3];
  for (int k = 0; k < 4; ++k)
    for (int i = 0; i < 3; ++i) p[k][i] = corner[k]->position[i] - h * corner[k]->velocity[i];
  double e21[3], e32[3], e03[3], e10[3];
  Sub(p[2], p[1], e21);
  Sub(p[3], p[2], e32);
  Sub(p[0], p[3], e03);
  Sub(p[1], p[0], e10);
  HalfCrossNegated(e21, e32, area[0]);
  HalfCrossNegated(e03, e32, area[1]);
  HalfCrossNegated(e03, e10, area[2]);
  HalfCrossNegated(e21, e10, area[3]);
  volume = -Dot(e10, area[0]) / 3.0;
  return area[0];
}

void ZoneTetra::AddNodalStiffness(GridPoint& a, GridPoint& b, GridPoint& c, GridPoint& d, double modulus,
                                  int overlays) const {
  double f = 0.75 * modulus / volume;
  if (overlays >= 2) f *= 0.5;
  GridPoint* corner[4] = {&a, &b, &c, &d};
  for (int k = 0; k < 4; ++k) {
    const double* n = area[k];
    corner[k]->areaSum += L1(n);
    corner[k]->stiffness += f * std::max({n[0] * n[0], n[1] * n[1], n[2] * n[2]});
  }
}

void ZoneTetra::Save(SaveStream& s) const {
  s.WriteU8(static_cast<uint8_t>(state));
  s.WriteU8(static_cast<uint8_t>(state >> 8));
  s.WriteF64(volume);
  s.WriteF64s(&area[0][0], 12);
  s.WriteF64s(stress, 6);
}

void ZoneTetra::Restore(SaveStream& s) {
  uint16_t lo = s.ReadU8();
  uint16_t hi = s.ReadU8();
  state = static_cast<uint16_t>(lo | hi << 8);
  const bool floats = FileVersion() < 310;
  volume = ReadReal(s, floats);
  for (auto& v : area)
    for (double& x : v) x = ReadReal(s, floats);
  for (double& x : stress) x = s.ReadF64();
}

// ---------------------------------------------------------------------------
// Zone geometry

double TetraDefVolume(const TetraDef& def, const Zone& zone) {
  const double* a = zone.Gp(def.gp[0])->position;
  double u[3], v[3], w[3];
  Sub(zone.Gp(def.gp[1])->position, a, u);
  Sub(zone.Gp(def.gp[2])->position, a, v);
  Sub(zone.Gp(def.gp[3])->position, a, w);
  double c[3];
  Cross(u, v, c);
  return Dot(c, w) / 6.0;
}

bool TetraContainsPoint(const TetraDef& def, const Zone& zone, const double p[3]) {
  double d[4][3];
  double scale = L1(p);
  for (int k = 0; k < 4; ++k) {
    Sub(zone.Gp(def.gp[k])->position, p, d[k]);
    scale = std::max(scale, L1(d[k]));
  }
  const double tol = -1e-14 * scale;
  return TripleOf(d[3], d[1], d[2]) >= tol && TripleOf(d[2], d[0], d[3]) >= tol && TripleOf(d[3], d[0], d[1]) >= tol &&
         TripleOf(d[2], d[1], d[0]) >= tol;
}

double Zone::Volume() const {
  double sum = 0.0;
  for (int o = 0; o < 2; ++o) {
    const TetraDef* defs = OverlayDefinitions(Type(), o);
    for (int k = 0; k < TetraPerOverlay(); ++k) sum += TetraDefVolume(defs[k], *this);
  }
  return 0.5 * sum;
}

const double* Zone::AverageStress(double out[6], bool addPorePressure) const {
  double total = 0.0;
  for (int i = 0; i < 6; ++i) out[i] = 0.0;
  for (int o = 0; o < 2; ++o) {
    const ZoneTetra* block = Tetra(o);
    for (int k = 0; block && k < TetraPerOverlay(); ++k) {
      total += block[k].volume;
      for (int i = 0; i < 6; ++i) out[i] += block[k].volume * block[k].stress[i];
    }
  }
  if (total != 0.0)
    for (int i = 0; i < 6; ++i) out[i] /= total;
  if (addPorePressure) {
    double pp = AveragePorePressure();
    for (int i = 0; i < 3; ++i) out[i] += pp;
  }
  return out;
}

bool Zone::ContainsPoint(const double p[3]) const {
  double min[3], max[3];
  BoundingBox(min, max);
  double r = 0.0;
  for (int i = 0; i < 3; ++i) r = std::max({r, std::fabs(min[i]), std::fabs(max[i])});
  const double tol = 1e-14 * r;
  for (int i = 0; i < 3; ++i)
    if (p[i] < min[i] - tol || p[i] > max[i] + tol) return false;
  const TetraDef* defs = OverlayDefinitions(Type(), 0);
  for (int k = 0; k < TetraPerOverlay(); ++k)
    if (TetraContainsPoint(defs[k], *this, p)) return true;
  return false;
}

bool Zone::CheckBeforeCycle(std::ostream& stream) {
  if (!Model()) throw QJExcept(FormatText("Zone %1 has an undefined material model", UIntToString(Id()).c_str()));
  if (Model()->IsNull()) return true;

  const int overlays = OverlayCount();
  const int per = TetraPerOverlay();
  const ModelSettings& settings = Settings();
  const ModePointers& modes = Modes();

  ModelState state;
  state.tetCount = static_cast<uint8_t>(overlays * per);
  state.overlayCount = static_cast<uint8_t>(overlays);
  state.state = 0;
  state.tetVolume = 0.0;
  state.zoneVolume = StoredVolume();
  AverageStress(state.stress, true);
  state.density = Density();
  state.temperature = modes.thermal ? modes.thermal->ZoneTemperature(*this) : 0.0;
  state.timeStep = settings.timestep;
  state.porosity = modes.fluid ? modes.fluid->ZonePorosity(*this) : 0.0;
  state.largeStrain = settings.largeStrain ? 1 : 0;
  state.thermal = modes.thermal && modes.thermal->On() ? 1 : 0;
  state.creep = modes.creep && modes.creep->On() ? 1 : 0;
  state.fluid = modes.fluid && modes.fluid->On() ? 1 : 0;
  state.stiffnessDamping = 0;
  state.porePressure = AveragePorePressure();
  if (const char* message = Model()->Initialize(3, state)) throw KWRExcept(message);

  double modulus = Model()->StiffnessModulus();
  if (modes.fluid) modulus += modes.fluid->FluidStiffness(*this);

  const bool dynamic = modes.dynamic && modes.dynamic->On();
  double volume = 0.0;
  double smallest = DBL_MAX;
  for (int o = 0; o < 2; ++o) {
    ZoneTetra* block = Tetra(o);
    if (!block) continue;
    const TetraDef* defs = OverlayDefinitions(Type(), o);
    for (int k = 0; k < per; ++k) {
      GridPoint* corner[4] = {Gp(defs[k].gp[0]), Gp(defs[k].gp[1]), Gp(defs[k].gp[2]), Gp(defs[k].gp[3])};
      ZoneTetra& t = block[k];
      t.ComputeGeometry(*corner[0], *corner[1], *corner[2], *corner[3]);
      if (t.volume <= 0.0) {
        SetStoredVolume(volume);
        throw QJExcept(FormatText("Illegal geometry in zone %1", UIntToString(Id()).c_str()));
      }
      smallest = std::min(smallest, t.volume);
      volume += t.volume;
      t.AddNodalStiffness(*corner[0], *corner[1], *corner[2], *corner[3], modulus, overlays);
      if (dynamic) modes.dynamic->AddTetraMass(t, corner, *this, overlays);
    }
  }
  if (overlays == 2) volume *= 0.5;
  SetStoredVolume(volume);
  const double ratio = volume > 0.0 ? smallest / volume : 0.0;
  if (ratio < settings.geometryRatio) {
    std::ios::fmtflags flags = stream.flags();
    std::streamsize precision = stream.precision();
    stream.flags(std::ios::fmtflags());
    stream.precision(6);
    stream << "\n"
           << "*** Zone " << Id() << " volume ratio " << ratio << " is below set ratio of " << settings.geometryRatio
           << "\n"
           << " *** Cycling will be stopped "
           << "\n";
    stream.flags(flags);
    stream.precision(precision);
    return false;
  }
  return true;
}

void Zone::SetModelByName(const String& name) {
  const ConstitutiveModel* prototype = ConstitutiveModel::FindByMatch(name.c_str());
  if (!prototype) throw QJExcept("Unrecognized material model name - " + name);
  if (Model() && Model()->Type() == prototype->Type()) return;
  std::unique_ptr<ConstitutiveModel> clone = prototype->Clone();
  if (!clone) throw QJExcept("Memory allocation error.");
  SetModel(std::move(clone));
  if (!Overlay(2)) throw QJExcept(FormatText("Illegal geometry in zone %1", UIntToString(Id()).c_str()));
  // A zone with material makes its grid-points mechanical; a zone that became
  // null may leave some without a mechanical zone, which only the walk of
  // MODEL over every zone can tell.
  if (IsNull()) {
    MarkNullGridPoints(NodeBase::kNoMechanicalZone);
    return;
  }
  for (int i = 0; i < GpCount(); ++i) Gp(i)->flags &= ~NodeBase::kNoMechanicalZone;
}

void Zone::CopyFrom(const Zone& source) {
  if (&source == this) return;
  SetDensity(source.Density());
  SetGroupPointer(source.GetGroup());
  SetModel(nullptr);
  if (const ConstitutiveModel* m = source.Model()) {
    std::unique_ptr<ConstitutiveModel> clone = m->Clone();
    if (!clone) throw QJExcept("Memory allocation error.");
    clone->Copy(*m);
    SetModel(std::move(clone));
  }
  Overlay(source.OverlayCount());
  const bool sameLayout = Type() == source.Type() && (Tetra(0) != nullptr) == (source.Tetra(0) != nullptr) &&
                          (Tetra(1) != nullptr) == (source.Tetra(1) != nullptr);
  const int per = TetraPerOverlay();
  if (sameLayout) {
    for (int o = 0; o < 2; ++o) {
      ZoneTetra* to = Tetra(o);
      const ZoneTetra* from = source.Tetra(o);
      for (int k = 0; to && from && k < per; ++k)
        for (int i = 0; i < 6; ++i) to[k].stress[i] = from[k].stress[i];
    }
  } else {
    double average[6];
    source.AverageStress(average, false);
    for (int o = 0; o < 2; ++o) {
      ZoneTetra* to = Tetra(o);
      for (int k = 0; to && k < per; ++k)
        for (int i = 0; i < 6; ++i) to[k].stress[i] = average[i];
    }
  }
  if (source.thermal) thermal = source.thermal->Clone();
  if (source.fluid) fluid = source.fluid->Clone();
  if (source.dynamicMultiplier) {
    if (!dynamicMultiplier) dynamicMultiplier = std::make_unique<double>(0.0);
    *dynamicMultiplier = *source.dynamicMultiplier;
  }
}

bool Zone::GetProperty(const char* name, double* value) const {
  if (const ConstitutiveModel* m = Model()) {
    if (int index = m->GetPropertyIndex(name)) {
      *value = m->GetPropertyByIndex(index);
      return true;
    }
  }
  if (Modes().thermal && ModeProperty(ThermalZoneModels(), *this, name, value)) return true;
  if (Modes().fluid) return ModeProperty(FluidZoneModels(), *this, name, value);
  return false;
}
