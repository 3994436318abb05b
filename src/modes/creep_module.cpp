#include "modes/creep_module.h"

#include <algorithm>

#include "base/command.h"
#include "base/savestream.h"
#include "base/string.h"
#include "model/model_settings.h"
#include "model/restore_fields.h"

CreepModule::CreepModule() = default;

CreepModule::~CreepModule() = default;

double CreepModule::GetTimestep() {
  // A fixed creep time step is used unchanged every step.
  if (!automatic_ && Timestep() != 0.0) {
    current_ = Timestep();
    return current_;
  }
  if (++counter_ < latency_) return current_;
  // Counted from 0 again, so that the step changes on every latency-th call.
  counter_ = 0;
  const ModelSettings& s = Settings();
  current_ = s.timestep;
  // A time step given with SET creep dt is a one-time starting cap here.
  if (Timestep() != 0.0) {
    current_ = std::min(current_, Timestep());
    SetTimestep(0.0);
  }
  const double measure = forceMeasure_ ? s.unbalancedForce : s.forceRatio;
  if (measure < lfob_) current_ *= lmul_;
  if (measure > ufob_) current_ *= umul_;
  current_ = std::max(current_, minDt_);
  current_ = std::min(current_, maxDt_);
  return current_;
}

bool CreepModule::AcceptTimestep(double dt) { return !(dt < current_); }

int CreepModule::Set(CommandType& interp) {
  int word = 0;
  if (interp.MatchKeyword("dt maxdt mindt lfob ufob lmul umul latency lbound ubound fob", word) != CommandType::kOk) {
    return CalcModule::Set(interp);
  }
  switch (word) {
    case 1: {
      int auto_word = 0;
      if (interp.MatchKeyword("automatic", auto_word) == CommandType::kOk) {
        automatic_ = interp.GetBool();
      } else {
        double dt = interp.GetReal();
        SetTimestep(dt);
        current_ = dt;
      }
      break;
    }
    case 2:
      maxDt_ = interp.GetReal();
      break;
    case 3:
      minDt_ = interp.GetReal();
      if (!(minDt_ < maxDt_)) maxDt_ = minDt_;
      break;
    case 4:
    case 9:
      lfob_ = interp.GetReal();
      break;
    case 5:
    case 10:
      ufob_ = interp.GetReal();
      break;
    case 6:
      lmul_ = interp.GetReal();
      break;
    case 7:
      umul_ = interp.GetReal();
      break;
    case 8:
      latency_ = interp.GetInt();
      break;
    default:
      forceMeasure_ = interp.GetBool();
      break;
  }
  return CommandType::kOk;
}

namespace {
String Sci(double v) { return DoubleToString(v, 6, 13, 1); }
const char* OnOff(bool on) { return on ? "On" : "Off"; }
}  // namespace

void CreepModule::Print(CommandType& interp) {
  const double dt = Timestep() != 0.0 ? Timestep() : Settings().timestep;
  interp << "  Creep data ..."
         << "\n";
  interp << "   Creep                : " << OnOff(On()) << "\n";
  interp << "   Creep time step      : " << Sci(dt) << "\n";
  interp << "   Creep time           : " << Sci(Time()) << "\n";
  interp << "   Creep auto time step : " << OnOff(automatic_) << "\n";
  interp << "   Creep min. time step : " << Sci(minDt_) << "\n";
  interp << "   Creep max. time step : " << Sci(maxDt_) << "\n";
  interp << "   Creep time step lmul : " << Sci(lmul_) << "\n";
  interp << "   Creep time step umul : " << Sci(umul_) << "\n";
  interp << "   Creep lbound         : " << Sci(lfob_) << "\n";
  interp << "   Creep ubound         : " << Sci(ufob_) << "\n";
  interp << "   Creep time step lat. : " << IntToString(latency_) << "\n";
}

void CreepModule::Save(SaveStream& s) const {
  CalcModule::Save(s);
  s.WriteU8(automatic_ ? 1 : 0);
  s.WriteI32(latency_);
  s.WriteI32(counter_);
  for (double v : {minDt_, maxDt_, lmul_, umul_, lfob_, ufob_, current_}) s.WriteF64(v);
  s.WriteU8(forceMeasure_ ? 1 : 0);
}

void CreepModule::Restore(SaveStream& s) {
  const int32_t version = FileVersion();
  if (version > 7) CalcModule::Restore(s);
  automatic_ = s.ReadFlag() != 0;
  latency_ = s.ReadI32();
  counter_ = s.ReadI32();
  for (double* v : {&minDt_, &maxDt_, &lmul_, &umul_, &lfob_, &ufob_, &current_}) *v = s.ReadF64();
  forceMeasure_ = version >= 150 ? s.ReadFlag() != 0 : false;
}
