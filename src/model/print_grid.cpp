// PRINT GP: one row per grid-point of the list that the print range accepts.
#include <iomanip>
#include <ios>

#include "base/message.h"
#include "base/range_named.h"
#include "base/stream.h"
#include "model/calc_module.h"
#include "model/grid.h"
#include "model/grid_commands.h"
#include "model/grid_services.h"
#include "model/model_interpreter.h"
#include "model/print_support.h"

namespace {

using namespace listing;

const char* const kGpWords =
    "position velocity displacement force information pp temp small extra biot_modulus fmodulus damping "
    "acceleration dynamic saturation ftens";

enum GpWord {
  kPosition = 1,
  kVelocity,
  kDisplacement,
  kForce,
  kInformation,
  kPp,
  kTemp,
  kSmall,
  kExtra,
  kBiot,
  kFmodulus,
  kDamping,
  kAcceleration,
  kDynamic,
  kSaturation,
  kFtens
};

const char* const kVectorHeader[] = {
    "   id          X             Y             Z\n ------  ------------- ------------- -------------\n",
    "   id        X-Vel         Y-Vel         Z-Vel\n ------  ------------- ------------- -------------\n",
    "   id        X-Dis         Y-Dis         Z-Dis\n ------  ------------- ------------- -------------\n",
    "   id        X-For         Y-For         Z-For\n ------  ------------- ------------- -------------\n",
};
const char* const kVectorTitle[] = {"Gridpoint Position ...", "Gridpoint Velocity ...", "Gridpoint Displacement ...",
                                    "Gridpoint Force ..."};

CalcModule* RequireMode(CalcModule* module, const char* missing) {
  if (!module) throw QJExcept(missing);
  return module;
}

const char* DynamicDampingText(int32_t kind) {
  return kind == kRayleighDamping ? "Rayleigh" : kind == kCombinedDamping ? "Combined" : "Local";
}

// The fixity letters, in local axes when the apply condition uses them.
void InformationRow(ModelInterpreter& interp, const GridPoint& gp) {
  bool local = false;
  uint8_t applied = 0;
  bool hasVelocity = false;
  if (gp.apply) {
    if (auto velocity = GridHooks().applyVelocity) hasVelocity = velocity(gp.apply, &local, &applied);
  }
  const char* axes = local ? "DSN" : "XYZ";
  char fix[6] = "-----";
  for (int i = 0; i < 3; ++i)
    if (gp.flags & (1u << i)) fix[i] = axes[i];
  if (gp.flags & NodeBase::kFixTemperature) fix[3] = 'T';
  if (gp.flags & NodeBase::kFixPorePressure) fix[4] = 'P';
  char vel[4] = "---";
  for (int i = 0; hasVelocity && i < 3; ++i)
    if (applied & (1u << i)) vel[i] = axes[i];
  ScientificPrecision(interp, 4);
  interp << std::setw(12) << gp.mass << " " << std::setw(12) << gp.stiffness << " " << fix << "    " << vel << "   "
         << (gp.attach ? "Yes" : "No");
}

}  // namespace

void PrintGp(ModelInterpreter& interp) {
  PageGuard guard(interp);
  FormatKeeper keeper(interp);
  int word = 0;
  int code = interp.MatchKeyword(kGpWords, word);
  if (code == CommandType::kMissing)
    word = kInformation;
  else if (code != CommandType::kOk)
    interp.ThrowParamError(code);
  interp.setf(std::ios::right, std::ios::adjustfield);
  interp.setf(std::ios::scientific, std::ios::floatfield);

  const ModePointers& modes = Modes();
  CalcModule* hook = nullptr;  // the mode whose grid-point block a row reads
  int32_t extra = 0;
  switch (word) {
    case kPosition:
    case kVelocity:
    case kDisplacement:
    case kForce:
      interp.precision(4);
      Heading(interp, kVectorTitle[word - 1], kVectorHeader[word - 1]);
      break;
    case kInformation:
      Heading(interp, "Gridpoint Information ...",
              "   id       Mass      Stiffness   Fix   Ap. Vel. Attach\n"
              " ------ ------------ ------------ -----    ---   ------\n");
      break;
    case kPp:
      interp.precision(4);
      Heading(interp, "Gridpoint Pore Pressure ...", "   id        PP\n ------ -------------\n");
      break;
    case kTemp:
      hook = RequireMode(modes.thermal, "Thermal mode not available");
      interp.precision(5);
      Heading(interp, "Gridpoint Temperature ...", "   id         T\n ------ -------------\n");
      break;
    case kSmall:
      interp.precision(4);
      Heading(interp, "Gridpoint Small Displacement Accumulation ...",
              "   id       X-Small        Y-Small      Z-Small\n ------  ------------- ------------- -------------\n");
      break;
    case kExtra:
      extra = interp.GetInt();
      Heading(interp, "Gp Extra Variable " + IntToString(extra), "   id   Extra Variable\n ------ --------------\n");
      break;
    case kBiot:
    case kFmodulus: {
      hook = RequireMode(modes.fluid, "Not configured for fluid flow calculation");
      const bool on = modes.fluid->BiotOn();
      if (word == kBiot && !on) throw QJExcept("Biot modulus fluid mode is off");
      if (word == kFmodulus && on) throw QJExcept("Biot modulus fluid mode is on");
      interp.precision(5);
      if (word == kBiot)
        Heading(interp, "Gp Biot Modulus", "   ID   Biot Modulus\n ------ -------------\n");
      else
        Heading(interp, "Gp Fluid Modulus", "   ID   Fluid Modulus\n ------ -------------\n");
      break;
    }
    case kDamping:
      hook = modes.dynamic;
      Heading(interp, "Gridpoint damping settings ...",
              "   ID   Damping   Value   R. Alpha    R. Beta   \n ------ -------- ------- ----------- ----------- \n");
      break;
    case kAcceleration:
      hook = RequireMode(modes.dynamic, "Not configured for dynamic calculation");
      interp.precision(4);
      Heading(interp, "Gridpoint acceleration vectors ... ",
              "   ID       X-Acc         Y-Acc         Z-Acc\n ------ ------------- ------------- -------------\n");
      break;
    case kDynamic:
      hook = RequireMode(modes.dynamic, "Not configured for dynamic calculation");
      Heading(interp, "Gridpoint dynamic parameters ... ",
              "   ID   Damping   Local   R. Alpha     R. Beta   Multi\n"
              " ------ -------- ------- ----------- ----------- -----\n");
      break;
    case kSaturation:
    case kFtens:
      hook = RequireMode(modes.fluid, "Not configured for fluid flow calculation");
      interp.precision(5);
      if (word == kSaturation)
        Heading(interp, "Gp Saturation", "   ID   Saturation  \n ------ -------------\n");
      else
        Heading(interp, "Gp Ftens", "   ID   Ftens       \n ------ -------------\n");
      break;
    default:
      break;
  }

  const Range& range = PrintRange();
  const GpDynamicData noDynamic;
  const GpThermalData noThermal;
  const GpFluidData noFluid;
  for (GridPoint* gp : GridPointList()) {
    if (gp->flags & NodeBase::kNoMechanicalZone) continue;
    if (!range.IsIn(gp)) continue;
    if (hook) hook->GridPointCreated(*gp);
    const GpDynamicData& dyn = gp->dynamicBlock ? *gp->dynamicBlock : noDynamic;
    const GpThermalData& th = gp->thermal ? *gp->thermal : noThermal;
    const GpFluidData& fl = gp->fluid ? *gp->fluid : noFluid;
    RowStart(interp, gp->id);
    switch (word) {
      case kPosition:
        WriteVector(interp, gp->position, 13);
        break;
      case kVelocity:
        WriteVector(interp, gp->velocity, 13);
        break;
      case kDisplacement:
        WriteVector(interp, gp->displacement, 13);
        break;
      case kForce: {
        double f[3];
        for (int i = 0; i < 3; ++i) f[i] = gp->unbalancedForce[i] + gp->appliedForce[0][i] + gp->appliedForce[1][i];
        WriteVector(interp, f, 13);
        break;
      }
      case kInformation:
        InformationRow(interp, *gp);
        break;
      case kPp:
        interp << std::setw(13) << gp->porePressure;
        if (gp->flags & NodeBase::kFixPorePressure)
          interp << "  "
                 << "Fixed";
        break;
      case kTemp:
        interp << std::setw(13) << th.temperature;
        if (gp->flags & NodeBase::kFixTemperature)
          interp << "  "
                 << "Fixed";
        break;
      case kSmall:
        WriteVector(interp, gp->smallDisplacement, 13);
        break;
      case kExtra:
        gp->extra.At(static_cast<uint32_t>(extra) - 1u).Write(interp);
        break;
      case kBiot:
        interp << std::setw(13) << fl.modulus;
        break;
      case kFmodulus:
        interp << std::setw(13) << fl.fluidModulus;
        break;
      case kDamping:
        if (modes.dynamic) {
          interp << std::setw(8) << DynamicDampingText(dyn.dampingKind) << " ";
          if (dyn.dampingKind == kRayleighDamping) {
            ScientificPrecision(interp, 4);
            interp << std::setw(19) << dyn.rayleighAlpha << " " << std::setw(11) << dyn.rayleighBeta << " ";
          } else {
            Fixed(interp, 4);
            interp << std::setw(7) << dyn.localDamping << " ";
          }
        } else {
          interp << std::setw(8) << (gp->dampingKind == kCombinedDamping ? "Combined" : "Local") << " ";
          Fixed(interp, 4);
          interp << std::setw(7) << gp->dampingCoefficient;
        }
        break;
      case kAcceleration:
        WriteVector(interp, dyn.acceleration, 13);
        break;
      case kDynamic:
        interp << std::setw(8) << DynamicDampingText(dyn.dampingKind) << " ";
        Fixed(interp, 4);
        interp << std::setw(7) << dyn.localDamping << " ";
        ScientificPrecision(interp, 4);
        interp << std::setw(11) << dyn.rayleighAlpha << " " << std::setw(11) << dyn.rayleighBeta << " ";
        Fixed(interp, 1);
        interp << std::setw(5) << dyn.multiStep;
        break;
      case kSaturation:
        interp << std::setw(13) << fl.saturation;
        break;
      case kFtens:
        interp << std::setw(13) << fl.tensionLimit;
        break;
      default:
        break;
    }
    RowEnd(interp);
  }
}
