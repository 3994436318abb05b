// INITIAL: one keyword after another, each with its value, over the marked
// grid-points or zones of the command's range.
#include "mechanics/cmd_initial.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

#include "base/message.h"
#include "base/range.h"
#include "cmodels/constitutive_model.h"
#include "model/calc_module.h"
#include "model/grid.h"
#include "model/hyst_damping.h"
#include "model/model_interpreter.h"
#include "model/model_settings.h"
#include "model/services.h"
#include "model/zone_chem.h"

namespace {

const char* const kInitialWords =
    "x y z xvelocity yvelocity zvelocity xdisplacement ydisplacement zdisplacement sxx syy szz sxy syz szx sxz "
    "density pp temperature biot_modulus fmodulus zextra gpextra fdensity state damping xfob yfob zfob xsmall "
    "ysmall zsmall saturation ftens chem";

enum InitialWord {
  kX = 1,
  kY,
  kZ,
  kXVel,
  kYVel,
  kZVel,
  kXDisp,
  kYDisp,
  kZDisp,
  kSxx,
  kSyy,
  kSzz,
  kSxy,
  kSyz,
  kSzx,
  kSxz,
  kDensity,
  kPp,
  kTemperature,
  kBiot,
  kFmodulus,
  kZextra,
  kGpextra,
  kFdensity,
  kState,
  kDamping,
  kXfob,
  kYfob,
  kZfob,
  kXsmall,
  kYsmall,
  kZsmall,
  kSaturation,
  kFtens,
  kChem
};

// Selection marks of INITIAL in the flag words.
constexpr uint32_t kGpMark = 0x20000;
constexpr uint32_t kZoneMark = 0x80000;

// View change bits.
constexpr uint32_t kPositionsChanged = 0x4;
constexpr uint32_t kVelocitiesChanged = 0x10000000;
constexpr uint32_t kDisplacementsChanged = 0x20000000;
constexpr uint32_t kPorePressureChanged = 0x4000000;
constexpr uint32_t kTemperatureChanged = 0x20000;
constexpr uint32_t kExtrasChanged = 0x800000;
constexpr uint32_t kForcesChanged = 0x40000000;
constexpr uint32_t kDensityChanged = 0x2000000;
constexpr uint32_t kStateChanged = 0x10000;

constexpr double kTwoPi = 6.283185307179586;

// The value of a keyword: base, gradient and how it meets the present value.
struct Setting {
  bool multiply = false;
  bool add = false;
  double value = 0.0;
  double gradient[3] = {0, 0, 0};

  double At(const double p[3]) const { return value + gradient[0] * p[0] + gradient[1] * p[1] + gradient[2] * p[2]; }
  double Apply(double present, const double p[3]) const {
    const double v = At(p);
    if (multiply) return present * v;
    if (add) return present + v;
    return v;
  }
};

bool IsGridPointWord(int word) {
  return (word >= kX && word <= kZDisp) || word == kPp || word == kTemperature || word == kBiot || word == kFmodulus ||
         word == kGpextra || (word >= kXfob && word <= kFtens);
}

GpDynamicData& DynamicBlock(GridPoint& gp) {
  if (!gp.dynamicBlock && Modes().dynamic) Modes().dynamic->GridPointCreated(gp);
  if (!gp.dynamicBlock) gp.dynamicBlock = std::make_unique<GpDynamicData>();
  return *gp.dynamicBlock;
}

void RequireFluid() {
  if (!Modes().fluid) throw QJExcept("Not configured for fluid flow calculation");
}

void CheckRequirements(int word) {
  switch (word) {
    case kTemperature:
      if (!Modes().thermal) throw QJExcept("Not configured for thermal calculation");
      break;
    case kBiot:
    case kFmodulus: {
      RequireFluid();
      const bool on = Modes().fluid->BiotOn();
      if (word == kBiot && !on) throw QJExcept("Biot modulus fluid mode is off");
      if (word == kFmodulus && on) throw QJExcept("Biot modulus fluid mode is on");
      break;
    }
    case kFdensity:
    case kSaturation:
    case kFtens:
      RequireFluid();
      break;
    case kChem:
      if (!CheckChemConfigured().IsReady()) throw QJExcept("ST table not set.");
      break;
    default:
      break;
  }
}

// The present value of an extra variable: an integer or a real, else 0.
double ExtraValue(const ZoltValue& v) {
  if (v.TypeTag() == ZoltValue::kInteger || v.TypeTag() == ZoltValue::kFloat) return v.GetFloat();
  return 0.0;
}

// The field a grid-point keyword changes.
double& GridPointField(GridPoint& gp, int word) {
  switch (word) {
    case kX:
    case kY:
    case kZ:
      return gp.position[word - kX];
    case kXVel:
    case kYVel:
    case kZVel:
      return gp.velocity[word - kXVel];
    case kXDisp:
    case kYDisp:
    case kZDisp:
      return gp.displacement[word - kXDisp];
    case kPp:
      return gp.porePressure;
    case kTemperature:
      return ThermalBlock(gp).temperature;
    case kBiot:
      return FluidBlock(gp).modulus;
    case kFmodulus:
      return FluidBlock(gp).fluidModulus;
    case kXfob:
    case kYfob:
    case kZfob:
      return gp.unbalancedForce[word - kXfob];
    case kXsmall:
    case kYsmall:
    case kZsmall:
      return gp.smallDisplacement[word - kXsmall];
    case kSaturation:
      return FluidBlock(gp).saturation;
    default:
      return FluidBlock(gp).tensionLimit;
  }
}

uint32_t GridPointExclusion(int word) {
  switch (word) {
    case kTemperature:
      return NodeBase::kNoThermalZone;
    case kBiot:
    case kFmodulus:
    case kSaturation:
    case kFtens:
      return NodeBase::kNoFluidZone;
    default:
      return NodeBase::kNoMechanicalZone;
  }
}

uint32_t GridPointChange(int word) {
  if (word <= kZ) return kPositionsChanged;
  if (word <= kZVel) return kVelocitiesChanged;
  if (word <= kZDisp) return kDisplacementsChanged;
  switch (word) {
    case kPp:
      return kPorePressureChanged;
    case kTemperature:
      return kTemperatureChanged;
    case kGpextra:
      return kExtrasChanged;
    case kXfob:
    case kYfob:
    case kZfob:
      return kForcesChanged;
    default:
      return 0;
  }
}

int32_t ChangeGridPoints(int word, const Setting& s, uint32_t extraIndex) {
  const uint32_t excluded = GridPointExclusion(word);
  int32_t count = 0;
  for (GridPoint* gp : GridPointList()) {
    if (!(gp->flags & kGpMark) || (gp->flags & excluded)) continue;
    if (word == kGpextra) {
      ZoltValue& v = gp->extra.At(extraIndex);
      v.SetFloat(s.Apply(ExtraValue(v), gp->position));
    } else {
      // The position is read before a position keyword changes it.
      const double p[3] = {gp->position[0], gp->position[1], gp->position[2]};
      double& field = GridPointField(*gp, word);
      field = s.Apply(field, p);
    }
    ++count;
  }
  return count;
}

// The component of a stress keyword in the tetrahedron records (xx, yy, zz, xy, xz, yz).
int StressIndex(int word) {
  switch (word) {
    case kSxx:
      return 0;
    case kSyy:
      return 1;
    case kSzz:
      return 2;
    case kSxy:
      return 3;
    case kSyz:
      return 5;
    default:
      return 4;
  }
}

// The state word of a value: its integer part, kept to the 16 bits of the
// word. A gradient or factor can carry it beyond every integer; it then takes
// the nearest 32-bit integer, and a value that is no number gives 0.
uint16_t StateWord(double value) {
  if (std::isnan(value)) return 0;
  const double whole = std::clamp(value, -2147483648.0, 2147483647.0);
  return static_cast<uint16_t>(static_cast<int32_t>(whole));
}

bool ZonePasses(const Zone& zone, int word) {
  if (word == kFdensity) return zone.fluid && zone.fluid->ModelType() != 0;
  return !zone.IsNull();
}

int32_t ChangeZones(int word, const Setting& s, uint32_t extraIndex) {
  int32_t count = 0;
  FluidCalcModule* fluid = Modes().fluid;
  for (Zone* z : ZoneList()) {
    if (!(z->Flags() & kZoneMark) || !ZonePasses(*z, word)) continue;
    double c[3];
    z->Centroid(c);
    if (word >= kSxx && word <= kSxz) {
      const int index = StressIndex(word);
      for (int o = 0; o < 2; ++o) {
        ZoneTetra* block = z->Tetra(o);
        for (int k = 0; block && k < z->TetraPerOverlay(); ++k)
          block[k].stress[index] = s.Apply(block[k].stress[index], c);
      }
    } else if (word == kDensity) {
      z->SetDensity(s.Apply(z->Density(), c));
    } else if (word == kZextra) {
      ZoltValue& v = z->Extra().At(extraIndex);
      v.SetFloat(s.Apply(ExtraValue(v), c));
    } else if (word == kFdensity) {
      double* field = fluid ? fluid->ZoneFluidDensityField(*z) : nullptr;
      if (!field) continue;
      *field = s.Apply(*field, c);
    } else {  // state
      for (int o = 0; o < 2; ++o) {
        ZoneTetra* block = z->Tetra(o);
        for (int k = 0; block && k < z->TetraPerOverlay(); ++k) block[k].state = StateWord(s.Apply(block[k].state, c));
      }
    }
    ++count;
  }
  return count;
}

uint32_t ZoneChange(int word) {
  switch (word) {
    case kDensity:
      return kDensityChanged;
    case kZextra:
      return kExtrasChanged;
    case kState:
      return kStateChanged;
    default:
      return 0;
  }
}

void MarkGridPoints(const Range& range) {
  const bool everything = range.ElementCount() == 0;
  for (GridPoint* gp : GridPointList()) {
    if (everything || range.IsInAt(gp->position, gp))
      gp->flags |= kGpMark;
    else
      gp->flags &= ~kGpMark;
  }
}

void MarkZones(const Range& range) {
  const bool everything = range.ElementCount() == 0;
  for (Zone* z : ZoneList()) {
    double c[3];
    z->Centroid(c);
    if (everything || range.IsInAt(c, z)) {
      z->SetFlags(z->Flags() | kZoneMark);
      z->SetStoredVolume(z->Volume());
    } else {
      z->SetFlags(z->Flags() & ~kZoneMark);
    }
  }
}

// An optional "gradient" and its vector.
void ReadGradient(ModelInterpreter& interp, double gradient[3]) {
  int word = 0;
  if (interp.MatchKeyword("gradient", word) == CommandType::kOk) interp.GetVector(gradient);
}

// An optional number with an optional gradient; false when no number follows.
bool ReadOptionalValue(ModelInterpreter& interp, Setting& s) {
  if (!interp.HasToken() || interp.CheckNumber(&s.value) != CommandType::kOk) return false;
  ReadGradient(interp, s.gradient);
  return true;
}

// Hysteretic damping of the zones in the range whose models take it: a new
// state with the curve and the coefficients given (the rest keep the
// state's defaults); "off", and zones whose models do not take it, lose it.
void SetHysteretic(ModelInterpreter& interp, const Range& range) {
  static const int kCodes[] = {HystDamping::kDefault, HystDamping::kSig3, HystDamping::kSig4, HystDamping::kHardin, 0};
  const int code = kCodes[interp.GetKeyword("default sig3 sig4 hardin off") - 1];
  constexpr int kMaxCoefficients = 4;
  double given[kMaxCoefficients] = {0, 0, 0, 0};
  int count = 0;
  double v = 0.0;
  while (interp.HasToken() && interp.CheckNumber(&v) == CommandType::kOk) {
    if (count == kMaxCoefficients)
      throw QJExcept(FormatText("Max %1 coefficients allowed.", IntToString(kMaxCoefficients).c_str()));
    given[count++] = v;
  }
  const bool everything = range.ElementCount() == 0;
  for (Zone* z : ZoneList()) {
    double c[3];
    z->Centroid(c);
    if (!everything && !range.IsInAt(c, z)) continue;
    z->damping.reset();
    z->dampingOn = 0;
    if (code == 0 || !z->Model() || !z->Model()->SupportsHystDamp()) continue;
    z->damping = std::make_unique<HystDamping>();
    double p[kMaxCoefficients];
    for (int i = 0; i < kMaxCoefficients; ++i) p[i] = i < count ? given[i] : z->damping->Parameters()[i];
    z->damping->SetParameters(code, p);
    z->dampingOn = 1;
  }
}

}  // namespace

void InitialDamping(ModelInterpreter& interp, const Range& range) {
  int word = 0;
  bool dynamic = Modes().dynamic != nullptr;
  if (interp.MatchKeyword("mechanical dynamic", word) == CommandType::kOk) {
    dynamic = word == 2;
    if (dynamic && !Modes().dynamic) throw QJExcept("Not configured for dynamic calculation");
  }
  static const DampingKind kKinds[] = {kLocalDamping, kCombinedDamping, kRayleighDamping, kHystereticDamping};
  const int kind = interp.GetKeyword("local combined rayleigh hysteretic");
  const DampingKind code = kKinds[kind - 1];
  if (!dynamic && code == kRayleighDamping)
    throw QJExcept("Rayleigh damping not allowed in static mechanical calculation");
  if (!dynamic && code == kHystereticDamping)
    throw QJExcept("Hysteretic damping not allowed in static mechanical calculation");
  if (code == kHystereticDamping) {
    SetHysteretic(interp, range);
    return;
  }
  const bool everything = range.ElementCount() == 0;
  if (code == kRayleighDamping) {
    Setting fraction, frequency;
    const bool given = ReadOptionalValue(interp, fraction);
    int only = 0;
    if (given) {
      frequency.value = interp.GetReal();
      ReadGradient(interp, frequency.gradient);
      if (interp.MatchKeyword("mass stiffness", word) == CommandType::kOk) only = word;
    }
    for (GridPoint* gp : GridPointList()) {
      if (!everything && !range.IsInAt(gp->position, gp)) continue;
      GpDynamicData& block = DynamicBlock(*gp);
      block.dampingKind = kRayleighDamping;
      if (!given) continue;
      const double xi = fraction.At(gp->position);
      const double f = frequency.At(gp->position);
      block.rayleighAlpha = only == 2 ? 0.0 : kTwoPi * f * xi;
      block.rayleighBeta = only == 1 || f == 0.0 ? 0.0 : xi / (kTwoPi * f);
    }
    return;
  }
  Setting coefficient;
  const bool given = ReadOptionalValue(interp, coefficient);
  for (GridPoint* gp : GridPointList()) {
    if (!everything && !range.IsInAt(gp->position, gp)) continue;
    if (dynamic) {
      GpDynamicData& block = DynamicBlock(*gp);
      block.dampingKind = code;
      if (given) block.localDamping = coefficient.At(gp->position);
    } else {
      gp->dampingKind = static_cast<uint32_t>(code);
      if (given) gp->dampingCoefficient = coefficient.At(gp->position);
    }
  }
}

// INITIAL chem: "state" or "background" marks the chemistry records of the
// zones in the range for a new equilibrium (and clears the others' marks); a
// component name and an amount per volume puts a solid phase into the zones
// and shares an aqueous species among their particles.
void InitialChemistry(ModelInterpreter& interp, const Range& range) {
  ChemCalcModule& chem = CheckChemConfigured();
  const bool everything = range.ElementCount() == 0;
  auto inRange = [&](Zone* z) {
    double c[3];
    z->Centroid(c);
    return everything || range.IsInAt(c, z);
  };
  int mark = 0;
  if (interp.MatchKeyword("state background", mark) == CommandType::kOk) {
    int32_t count = 0;
    for (Zone* z : ZoneList()) {
      ZoneChem* record = ChemRecord(*z);
      if (!record) continue;
      const bool in = inRange(z);
      record->reequilibrate = in ? 1 : 0;
      count += in ? 1 : 0;
    }
    interp << count << " zones modified"
           << "\n";
    return;
  }
  const String name = interp.GetString();
  const int component = chem.FindComponent(name);
  if (component < 1) throw QJExcept("Chemical component not found in ST table.");
  const double amount = interp.GetReal();
  int32_t zones = 0, particles = 0;
  for (Zone* z : ZoneList()) {
    ZoneChem* record = ChemRecord(*z);
    if (!record || z->IsNull() || !inRange(z)) continue;
    const double total = amount * z->Volume();
    if (chem.IsPhase(component)) {
      record->SetComponent(component, total, false);
      ++zones;
    } else {
      particles += chem.ShareAmongParticles(*z, component, total);
    }
  }
  if (chem.IsPhase(component))
    interp << zones << " zones modified"
           << "\n";
  else
    interp << particles << " particles modified"
           << "\n";
}

void InitialCommand(ModelInterpreter& interp) {
  Range range;
  range.Parse(interp);
  bool gpMarked = false;
  uint32_t changes = 0;
  for (;;) {
    int word = 0;
    const int code = interp.MatchKeyword(kInitialWords, word);
    if (code == CommandType::kMissing) break;
    if (code != CommandType::kOk) interp.ThrowParamError(code);
    if (word == kDamping) {
      InitialDamping(interp, range);
      continue;
    }
    CheckRequirements(word);
    if (word == kChem) {
      InitialChemistry(interp, range);
      continue;
    }
    Setting s;
    int modifier = 0;
    s.multiply = interp.MatchKeyword("multiply", modifier) == CommandType::kOk;
    s.add = interp.MatchKeyword("add", modifier) == CommandType::kOk;
    uint32_t extraIndex = 0;
    if (word == kGpextra || word == kZextra) {
      const int64_t index = interp.GetInt();
      extraIndex = index >= 1 ? static_cast<uint32_t>(index - 1) : UINT32_MAX;  // out of range
    }
    s.value = word == kState ? interp.GetInt() : interp.GetReal();
    ReadGradient(interp, s.gradient);

    if (IsGridPointWord(word)) {
      if (!gpMarked) MarkGridPoints(range);
      gpMarked = true;
      if (word == kPp) Settings().porePressure = true;
      const int32_t count = ChangeGridPoints(word, s, extraIndex);
      if (word <= kZ) GridIndexesChanged();  // the nearest-grid-point index follows the positions
      changes |= GridPointChange(word);
      interp << count << " grid-points modified"
             << "\n";
    } else {
      MarkZones(range);
      const int32_t count = ChangeZones(word, s, extraIndex);
      changes |= ZoneChange(word);
      interp << count << " zones modified"
             << "\n";
    }
  }
  if (changes) NotifyAllViews(changes);
}
