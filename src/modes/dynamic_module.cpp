#include "modes/dynamic_module.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <memory>

#include "base/command.h"
#include "base/except.h"
#include "base/savestream.h"
#include "base/string.h"
#include "mechanics/apply_condition.h"
#include "model/grid_point.h"
#include "model/model.h"
#include "model/restore_fields.h"
#include "model/step_participant.h"
#include "model/zone.h"
#include "modes/free_field.h"

namespace {
constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
// Grid-points that take no part in the dynamic time step.
constexpr uint32_t kNoOwnStep =
    GridPoint::kNoMechanicalZone | GridPoint::kDeleteMark | GridPoint::kAttached | GridPoint::kSlaved;

String Sci(double v) { return DoubleToString(v, 6, 13, 1); }
const char* OnOff(bool on) { return on ? "On" : "Off"; }

[[noreturn]] void GridPointError(const char* text, const GridPoint& gp) {
  throw QJExcept(FormatText(text, UIntToString(gp.id).c_str()));
}
}  // namespace

DynamicModule::DynamicModule() = default;

DynamicModule::~DynamicModule() = default;

double DynamicModule::GetTimestep() { return critical_; }

bool DynamicModule::AcceptTimestep(double dt) {
  if (!(dt > 0.0)) return false;
  return !(dt > GetTimestep());
}

DynamicStepSettings DynamicModule::StepSettings() const {
  DynamicStepSettings s;
  s.multistepping = multistep_;
  s.viscosity = viscosity_;
  s.quadratic = quadratic_;
  s.linear = linear_;
  s.stiffnessDamping = stiffnessDamping_;
  return s;
}

void DynamicModule::GridPointCreated(GridPoint& gp) {
  if (gp.dynamicBlock) return;
  gp.dynamicBlock = std::make_unique<GpDynamicData>();
  GpDynamicData& d = *gp.dynamicBlock;
  d.dampingKind = dampingMode_;
  d.localDamping = localCoefficient_;
  d.rayleighAlpha = alpha_;
  d.rayleighBeta = beta_;
}

void DynamicModule::ZoneCreated(Zone& zone) {
  if (!zone.dynamicMultiplier) zone.dynamicMultiplier = std::make_unique<double>(0.0);
}

void DynamicModule::AddTetraMass(const ZoneTetra& tetra, GridPoint* const corner[4], Zone& zone, int overlays) {
  const double rho = zone.Density();
  if (!(rho > 0.0)) throw QJExcept("Density not defined");
  double m = tetra.volume * rho * 0.25;
  if (overlays >= 2) m *= 0.5;
  for (int i = 0; i < 4; ++i) corner[i]->mass += m;
}

double DynamicModule::MultistepFactor(double t, double T, int32_t m) {
  if (T <= 0.0) return 1.0;
  if (m / 2 < 1) return m;
  for (int32_t k = 1;; k *= 2) {
    if (2.0 * k * T >= t) return k;
    if (k * 2 > m / 2) return m;
  }
}

void DynamicModule::PrepareActive(CommandType&) {
  critical_ = DBL_MAX;
  // Without a stiffness part anywhere the zone pass need not look for one.
  stiffnessDamping_ = dampingMode_ == kRayleighDamping && beta_ != 0.0;
  for (GridPoint* gp : GridPointList()) {
    const GpDynamicData* d = gp->dynamicBlock.get();
    if (d && d->dampingKind == kRayleighDamping && d->rayleighBeta != 0.0) stiffnessDamping_ = true;
  }
  for (GridPoint* gp : GridPointList()) {
    if (gp->flags & kNoOwnStep) continue;
    if (!(gp->stiffness > 0.0)) GridPointError("Zero stiffness in grid-point %1", *gp);
    if (!(gp->mass > 0.0)) GridPointError("Zero mass in grid-point %1", *gp);
    GridPointCreated(*gp);
    GpDynamicData& d = *gp->dynamicBlock;
    double t = std::sqrt(gp->mass / gp->stiffness);
    if (d.dampingKind == kRayleighDamping) {
      const double lambda = d.rayleighBeta / (kPi * t);
      t *= std::sqrt(lambda * lambda + 1.0) - lambda;
    }
    critical_ = std::min(critical_, t);
    d.multiStep = multistep_ ? t : 0.0;
  }
  if (Timestep() != 0.0) critical_ = Timestep();
  if (multistep_) {
    for (GridPoint* gp : GridPointList()) {
      if (!gp->dynamicBlock) continue;
      // A slave that follows no grid-point with a multiplier keeps the
      // largest, which bounds no zone.
      if ((gp->flags & kNoOwnStep) == GridPoint::kAttached) gp->dynamicBlock->multiStep = maxMultiplier_;
      if (gp->flags & kNoOwnStep) continue;
      gp->dynamicBlock->multiStep = MultistepFactor(gp->dynamicBlock->multiStep, critical_, maxMultiplier_);
    }
    // The slaves of attach ties take their masters' multipliers, so that a
    // zone of a slave steps no faster than the grid it is tied to.
    CurrentModel().Participants().ForEach([](StepParticipant& p) { p.PrepareDynamic(); });
    constexpr uint32_t kNoMultiplier = kNoOwnStep & ~GridPoint::kAttached;
    for (Zone* zone : ZoneList()) {
      ZoneCreated(*zone);
      double m = maxMultiplier_;
      for (int i = 0; i < zone->GpCount(); ++i) {
        const GridPoint* gp = zone->Gp(i);
        if (gp && gp->dynamicBlock && !(gp->flags & kNoMultiplier)) m = std::min(m, gp->dynamicBlock->multiStep);
      }
      *zone->dynamicMultiplier = m;
    }
  }
  // Quiet and free-field dashpots are gathered anew from the face conditions.
  for (GridPoint* gp : GridPointList()) {
    if (gp->flags & GridPoint::kDeleteMark) continue;
    gp->flags &= ~(apply_flags::kQuietX * 7u);
    auto* record = static_cast<ApplyCondition*>(gp->apply);
    if (ApplyQuietBlock* q = record ? record->Quiet() : nullptr)
      for (int i = 0; i < 3; ++i) q->quiet[i] = q->ffA[i] = q->ffB[i] = 0.0;
  }
  ApplyList& applies = GlobalApplyList();
  for (ApplyCondition* c = applies.Head(); c; c = ApplyList::Next(c)) {
    if (c->TargetKind() != ApplyCondition::kFace) continue;
    for (ApplyValue* v = c->Values(); v; v = v->next)
      if (v->quantity == kApplyQuiet || v->quantity == kApplyFreeFieldLink)
        applies.DynamicCheck(*c, v->direction, v->quantity);
  }
}

int32_t DynamicModule::CreateFreeField(CommandType& interp) { return FreeField::Create(interp); }

void DynamicModule::RemoveFreeField(CommandType& interp) { FreeField::RemoveAll(interp); }

void DynamicModule::CopyDampingToGridPoints() {
  if (dampingMode_ == kRayleighDamping && beta_ != 0.0) stiffnessDamping_ = true;
  for (GridPoint* gp : GridPointList()) {
    GridPointCreated(*gp);
    GpDynamicData& d = *gp->dynamicBlock;
    d.dampingKind = dampingMode_;
    d.localDamping = localCoefficient_;
    d.rayleighAlpha = alpha_;
    d.rayleighBeta = beta_;
  }
}

int DynamicModule::Set(CommandType& interp) {
  int code = CalcModule::Set(interp);
  if (code != CommandType::kUnrecognized) return code;
  int word = 0;
  if (int c = interp.MatchKeyword("damp multistep", word)) return c;
  if (word == 2) {
    multistep_ = interp.GetBool();
    return CommandType::kOk;
  }
  int kind = 0;
  if (int c = interp.MatchKeyword("local combined rayleigh avisc", kind)) {
    interp.ThrowParamError(c);
  }
  switch (kind) {
    case 1:
      dampingMode_ = kLocalDamping;
      localCoefficient_ = interp.GetReal();
      break;
    case 2:
      dampingMode_ = kCombinedDamping;
      localCoefficient_ = interp.GetReal();
      break;
    case 3: {
      dampingMode_ = kRayleighDamping;
      const double xi = interp.GetReal();
      const double f = interp.GetReal();
      const double w = kTwoPi * f;
      alpha_ = xi * w;
      beta_ = f == 0.0 ? 0.0 : xi / w;
      int part = 0;
      if (interp.MatchKeyword("mass stiffness", part) == CommandType::kOk) {
        if (part == 1)
          beta_ = 0.0;
        else
          alpha_ = 0.0;
      }
      break;
    }
    default:
      viscosity_ = true;
      quadratic_ = interp.GetReal();
      linear_ = interp.GetReal();
      return CommandType::kOk;
  }
  CopyDampingToGridPoints();
  return CommandType::kOk;
}

void DynamicModule::Print(CommandType& interp) {
  static const char* const kTypes[] = {"Local ", "Rayleigh ", "Combined "};
  interp << "  Dynamic data ...\n";
  interp << "   Dynamic                    : " << OnOff(On()) << "\n";
  interp << "   Time step                  : " << Sci(GetTimestep()) << "\n";
  interp << "   Dynamic time               : " << Sci(Time()) << "\n";
  interp << "   Solve Age Limit            : " << Sci(AgeLimit()) << "\n";
  interp << "   Dynamic Damping type       : " << (dampingMode_ >= 0 && dampingMode_ <= 2 ? kTypes[dampingMode_] : "")
         << "\n";
  interp << "   Local damping constant     : " << Sci(localCoefficient_) << "\n";
  interp << "   Rayleigh damping constants\n";
  interp << "     Alpha (Mass damping)     : " << Sci(alpha_) << "\n";
  interp << "     Beta (Stiffness damping) : " << Sci(beta_) << "\n";
  interp << "   Multistepping              : " << OnOff(multistep_) << "\n";
  if (!multistep_) return;
  int32_t counts[5] = {0, 0, 0, 0, 0};
  for (const Zone* zone : ZoneList()) {
    if (!zone->dynamicMultiplier) continue;
    const double m = *zone->dynamicMultiplier;
    for (int k = 0; k < 5; ++k)
      if (m == static_cast<double>(1 << k)) ++counts[k];
  }
  interp << "   Time Step multipliers      : no. zones \n";
  static const char* const kRows[] = {
      "                            1 : ", "                            2 : ", "                            4 : ",
      "                            8 : ", "                           16 : "};
  int32_t total = 0;
  for (int k = 0; k < 5; ++k) {
    interp << kRows[k] << IntToString(counts[k]) << "\n";
    total += counts[k];
  }
  interp << "                         Total: " << IntToString(total) << "\n";
}

// After the common part: the damping mode, local coefficient, critical step,
// a word that tells whether the artificial viscosity follows (0 none, 1 it
// does), alpha, beta, the multistepping flag and the maximum multiplier; then,
// when the word is 1, the viscosity flag and its two coefficients.
void DynamicModule::Save(SaveStream& s) const {
  CalcModule::Save(s);
  s.WriteI32(dampingMode_);
  s.WriteF64(localCoefficient_);
  s.WriteF64(critical_);
  const bool withViscosity = viscosity_ || quadratic_ != 0.0 || linear_ != 0.0;
  s.WriteF64(withViscosity ? 1.0 : reserved_);
  s.WriteF64(alpha_);
  s.WriteF64(beta_);
  s.WriteU8(multistep_ ? 1 : 0);
  s.WriteI32(maxMultiplier_);
  if (withViscosity) {
    s.WriteU8(viscosity_ ? 1 : 0);
    s.WriteF64(quadratic_);
    s.WriteF64(linear_);
  }
}

void DynamicModule::Restore(SaveStream& s) {
  const int32_t version = FileVersion();
  if (version > 7) CalcModule::Restore(s);
  if (version >= 10) {
    dampingMode_ = s.ReadI32();
  } else {
    const uint8_t old = s.ReadU8();
    if (old < 1 || old > 3) s.ReadFailure();
    dampingMode_ = old - 1;
  }
  localCoefficient_ = s.ReadF64();
  critical_ = s.ReadF64();
  reserved_ = s.ReadF64();
  if (version < 10) {
    s.ReadF64();
    s.ReadF64();
  }
  alpha_ = s.ReadF64();
  beta_ = s.ReadF64();
  if (version < 10)
    for (int i = 0; i < 3; ++i) s.ReadF64();
  multistep_ = s.ReadFlag() != 0;
  maxMultiplier_ = s.ReadI32();
  if (maxMultiplier_ < 1) s.ReadFailure();
  viscosity_ = false;
  quadratic_ = linear_ = 0.0;
  if (reserved_ == 1.0) {
    viscosity_ = s.ReadFlag() != 0;
    quadratic_ = s.ReadF64();
    linear_ = s.ReadF64();
  }
  reserved_ = 0.0;
}
