#include "mechanics/interface_model.h"

#include <string>

#include <cmath>

#include "base/command.h"
#include "base/savestream.h"
#include "mechanics/interface_node.h"
#include "model/model_settings.h"
#include "model/restore_fields.h"
#include "model/services.h"

namespace {

constexpr double kDegree = 0.017453292519943295;
constexpr double kRadian = 57.29577951308232;

const char* const kPropertyWords =
    "kn nstiffness normalstiffness ks sstiffness shearstiffness cohesion friction tension dilation sbratio bslip";
// The property of each word of the list.
constexpr int kPropertyOfWord[] = {0, 0, 0, 1, 1, 1, 2, 3, 4, 5, 6, 7};

const char* const kPropertyNames[] = {
    "Normal Stiffness",          "Shear Stiffness",       "Cohesion", "Friction", "Tension", "Dilation",
    "Shear bond strength ratio", "Bonded-slip allow-flag"};

// Files of these program versions keep no state word or type code in the record.
bool HasStateWord(int32_t version) { return version > 233 && (version < 300 || version > 302); }

String Scientific(double v) { return DoubleToString(v, 0, 0, 1); }

void Zero(double v[3]) { v[0] = v[1] = v[2] = 0.0; }

}  // namespace

void InterfaceModelBase::Save(SaveStream& s) const {
  s.WriteU32(state_);
  s.WriteI32(typeCode_);
}

void InterfaceModelBase::Restore(SaveStream& s) {
  state_ = s.ReadU32();
  typeCode_ = s.ReadI32();
}

std::unique_ptr<InterfaceModelBase> InterfaceModel::Clone(const InterfaceModelBase* other) const {
  auto copy = std::make_unique<InterfaceModel>();
  const auto* mate = other && other->TypeCode() == typeCode_ ? dynamic_cast<const InterfaceModel*>(other) : nullptr;
  if (!mate) {
    copy->kn = kn;
    copy->ks = ks;
    copy->cohesion = cohesion;
    copy->friction = friction;
    copy->tension = tension;
    copy->dilation = dilation;
    copy->sbratio = sbratio;
    copy->bslip = bslip;
    copy->state_ = state_;
    return copy;
  }
  copy->kn = (kn + mate->kn) * 0.5;
  copy->ks = (ks + mate->ks) * 0.5;
  copy->cohesion = (cohesion + mate->cohesion) * 0.5;
  copy->friction = (friction + mate->friction) * 0.5;
  copy->tension = (tension + mate->tension) * 0.5;
  copy->dilation = (dilation + mate->dilation) * 0.5;
  copy->sbratio = (sbratio + mate->sbratio) * 0.5;
  copy->bslip = mate->bslip;
  copy->state_ = mate->state_;
  return copy;
}

double InterfaceModel::StiffnessMagnitude() const { return std::sqrt(kn * kn + ks * ks); }

void InterfaceModel::Slip(double trial[3], double magnitude, double strength, double* dilationStress) {
  state_ |= kSlipNow;
  for (int i = 0; i < 3; ++i) owner_->shearStress[i] = strength * trial[i] / magnitude;
  // Without shear stiffness or dilation the slip adds no normal stress (and
  // the quotient must not turn into inf x 0).
  if (ks != 0.0 && dilation != 0.0) *dilationStress += (magnitude - strength) / ks * dilation * kn;
}

bool InterfaceModel::ForceDisplacement(double un, const double vs[3], bool effective) {
  InterfaceNode& node = *owner_;
  const double dt = Settings().timestep;
  double& added = node.stressAddition;
  const double sigma = kn * un + added;
  const double sigmaE = effective ? sigma - node.PorePressure() : sigma;
  if (!(state_ & kInContact) && sigmaE < 0.0) {
    node.normalStress = 0.0;
    Zero(node.shearStress);
    return false;
  }
  double trial[3];
  for (int i = 0; i < 3; ++i) trial[i] = node.shearStress[i] + ks * vs[i] * dt;
  const double magnitude = std::sqrt(trial[0] * trial[0] + trial[1] * trial[1] + trial[2] * trial[2]);
  double strength = std::abs(sigmaE) * friction + cohesion;
  if (strength < 0.0) strength = 0.0;
  if (state_ & kSlipNow) state_ = (state_ & ~kSlipNow) | kSlipPast;

  auto hold = [&] {
    for (int i = 0; i < 3; ++i) node.shearStress[i] = trial[i];
  };
  auto inContact = [&] {
    node.normalStress = sigma;
    state_ |= kInContact;
    return true;
  };
  if (tension <= 0.0) {
    if (sigmaE >= 0.0) {
      if (magnitude <= strength)
        hold();
      else
        Slip(trial, magnitude, strength, &added);
      return inContact();
    }
    Zero(node.shearStress);
  } else if (sigmaE < -tension) {
    tension = 0.0;  // the bond fails in tension
    Zero(node.shearStress);
  } else if (magnitude <= sbratio * tension) {
    if (bslip && magnitude > strength)
      Slip(trial, magnitude, strength, &added);
    else
      hold();
    return inContact();
  } else {
    tension = 0.0;  // the bond fails in shear
    if (sigmaE >= 0.0) {
      hold();
      return inContact();
    }
    Zero(node.shearStress);
  }
  if (sigma >= 0.0) return inContact();
  node.normalStress = 0.0;
  added = 0.0;
  state_ &= ~kInContact;
  return false;
}

String InterfaceModel::PropertyText(int index) const {
  return String(index >= 0 && index < 8 ? kPropertyNames[index] : "Unknown");
}

int InterfaceModel::PropertyIndex(CommandType& interp) const {
  int word = 0;
  if (interp.MatchKeyword(kPropertyWords, word) != CommandType::kOk) return -1;
  return kPropertyOfWord[word - 1];
}

int InterfaceModel::PropertyOfWord(const String& word) const {
  const std::string words = kPropertyWords;
  size_t start = 0;
  for (int k = 0; start < words.size(); ++k) {
    size_t end = words.find(' ', start);
    if (end == std::string::npos) end = words.size();
    if (word == String(words.substr(start, end - start).c_str())) return kPropertyOfWord[k];
    start = end + 1;
  }
  return -1;
}

void InterfaceModel::SetProperty(int index, const String& text) {
  if (index == kBondSlip) {
    if (text.Length() >= 2 && String(text.Mid(0, 2)) == "on")
      bslip = 1;
    else if (text.Length() >= 3 && String(text.Mid(0, 3)) == "off")
      bslip = 0;
    return;
  }
  const double v = text.ToDouble();
  switch (index) {
    case kNormalStiffness:
      kn = v;
      break;
    case kShearStiffness:
      ks = v;
      break;
    case kCohesion:
      cohesion = v;
      break;
    case kFriction:
      friction = std::tan(v * kDegree);
      break;
    case kTension:
      tension = std::abs(v);
      break;
    case kDilation:
      dilation = std::tan(v * kDegree);
      break;
    case kBondRatio:
      sbratio = std::abs(v);
      break;
    default:
      break;
  }
}

String InterfaceModel::GetPropertyText(int index) const {
  switch (index) {
    case kNormalStiffness:
      return Scientific(kn);
    case kShearStiffness:
      return Scientific(ks);
    case kCohesion:
      return Scientific(cohesion);
    case kFriction:
      return Scientific(std::atan(friction) * kRadian);
    case kTension:
      return Scientific(tension);
    case kDilation:
      return Scientific(std::atan(dilation) * kRadian);
    case kBondRatio:
      return Scientific(sbratio);
    case kBondSlip:
      return String(bslip ? "On" : "Off");
    default:
      return String();
  }
}

String InterfaceModel::StateText() const {
  const bool now = (state_ & kSlipNow) != 0;
  const bool past = (state_ & kSlipPast) != 0;
  String text;
  if (now && past)
    text = "Shear failure now and in past.";
  else if (now)
    text = "Shear failure now.";
  else if (past)
    text = "Shear failure in past.";
  if (!text.IsEmpty()) text += " ";
  text += (state_ & kInContact) ? "In contact." : "Not in contact.";
  return text;
}

void InterfaceModel::Save(SaveStream& s) const {
  InterfaceModelBase::Save(s);
  for (double v : {kn, ks, cohesion, friction, tension, dilation, sbratio}) s.WriteF64(v);
  s.WriteU8(bslip);
}

void InterfaceModel::Restore(SaveStream& s) {
  const int32_t version = FileVersion();
  if (HasStateWord(version)) InterfaceModelBase::Restore(s);
  for (double* v : {&kn, &ks, &cohesion, &friction, &tension, &dilation}) *v = s.ReadF64();
  if (version > 151) {
    sbratio = s.ReadF64();
    bslip = s.ReadU8();
  } else {
    sbratio = 100.0;
    bslip = 0;
  }
}
