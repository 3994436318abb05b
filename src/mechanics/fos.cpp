// SOLVE FOS: the factor of safety by strength reduction. The model is saved
// to a scratch file; every trial restores it, divides the strengths of the
// Mohr-Coulomb zones by a trial factor and steps until the model either
// settles or keeps moving. Halving and doubling bracket the factor, and
// bisection narrows the bracket to half a per cent.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/command.h"
#include "base/except.h"
#include "base/system.h"
#include "cmodels/constitutive_model.h"
#include "cmodels/mohr_model.h"
#include "mechanics/solve.h"
#include "model/model.h"
#include "model/model_interpreter.h"
#include "model/model_settings.h"
#include "model/zone.h"

namespace {

constexpr double kDegree = 0.017453292519943295;
constexpr int kStageTrials = 5;     // trials of the initial stable and unstable states
constexpr int kBracketTrials = 50;  // bisections
constexpr int kResponseRuns = 6;    // runs of one trial
// How far the ratio, carried on at its present rate, must miss the limit at
// the end of a trial for the trial to fail early, or pass below it to hold.
constexpr double kMissBy = 2.0;
constexpr double kPassBy = 0.1;
// A ratio this many times above the limit is far from it: carried on at the
// rate of its last half response time, it fails early when it would miss
// the limit by this much.
constexpr double kFarAbove = 10.0;
constexpr double kFarMissBy = 5.0;

const char* const kStageTexts[5] = {
    "",
    "         Response time estimate...              ",
    "         Initial stable state...                ",
    "         Initial unstable state...              ",
    "            Bracketing...                       ",
};

// A zone check stopped the preparation: it has said why, and the search ends.
struct PreparationStopped {};

uint32_t StepCounter() { return static_cast<uint32_t>(Settings().totalCycles); }

void RunOrStop(SolveLimits& l, ModelInterpreter& interp) {
  if (!Solve::Run(l, interp)) throw PreparationStopped();
}

String Bound(double value) { return DoubleToString(value, 3, 0, 2); }

bool IsMohrCoulomb(const Zone& zone) {
  const ConstitutiveModel* model = zone.Model();
  return model && model->Type() == ConstitutiveModel::kMohrType;
}

void PrintInclusion(CommandType& interp, const char* name, bool included) {
  interp << " **** " << name << (included ? " included" : " excluded") << " in FOS calculation "
         << "\n";
}

// One trial at the factor: the saved model, its strengths reduced, stepped.
bool Trial(SolveLimits& l, ModelInterpreter& interp, double factor) {
  RestoreModelFile(interp, l.scratch);
  l.reduction = 1.0 / factor;
  Solve::ReduceStrength(l);
  l.factor = factor;
  Settings().fos = factor;
  return Solve::TrialStable(l, interp);
}

// The end of a search: the failure mode written, the model of the start back
// in place and the scratch file gone. A factor of 0 reports none.
void Finish(SolveLimits& l, ModelInterpreter& interp, double factor, bool failureMode) {
  ModelSettings& s = Settings();
  if (factor > 0.0) interp << "*** Factor of Safety is: " << DoubleToString(factor, 2, 0, 0) << "\n";
  if (failureMode) interp << " *** To see failure mode restore " << l.failureFile << "\n";
  s.stepLimit = l.savedStepLimit;
  RestoreModelFile(interp, l.scratch);
  s.fosKnown = factor > 0.0;
  s.fos = factor > 0.0 ? factor : 0.0;
  interp << "FoS Ending at:   " << System::TimeStamp() << "\n";
  interp.flush();
}

// Stages 1 to 4 and the result.
void Search(SolveLimits& l, ModelInterpreter& interp) {
  ModelSettings& s = Settings();

  // The strengths of the response-time estimate: cohesion (and the
  // interfaces when asked for) out of reach, the rest as given.
  l.reduction = 0.0;
  l.replacement = 1e20;
  l.trialStart = StepCounter();
  const bool cohesion = l.cohesion, friction = l.friction, tension = l.tension;
  l.cohesion = true;
  l.friction = false;
  l.tension = false;
  Solve::ReduceStrength(l);
  l.cohesion = cohesion;
  l.friction = friction;
  l.tension = tension;
  PrintInclusion(interp, "Cohesion", l.cohesion);
  PrintInclusion(interp, "Friction", l.friction);
  PrintInclusion(interp, "Tension", l.tension);
  PrintInclusion(interp, "Interface", l.interfaces);
  if (l.associated)
    interp << " **** Associated flow in FOS calculation "
           << "\n";

  // Stage 1: how many steps the model takes to answer a disturbance.
  Solve::ScaleTetraNormalStress(2.0);
  l.stage = 1;
  l.lower = l.upper = 0.0;
  l.trials = 0;
  l.factor = SolveLimits::kNone;
  s.fos = SolveLimits::kNone;
  Solve::PrintFosHeader(interp);
  RunOrStop(l, interp);
  l.responseSteps = std::max(StepCounter() - l.startStep, 1u);

  // Stage 2: a stable state, halving from 1.
  l.stage = 2;
  double factor = 1.0;
  for (int i = 0; i < kStageTrials; ++i) {
    if (Trial(l, interp, factor)) {
      l.lower = factor;
      break;
    }
    if (i + 1 < kStageTrials) factor /= 2.0;
  }
  if (l.lower == 0.0) {
    // Without a stable trial there is nothing to bracket: a factor of 0
    // would divide every strength by zero.
    interp << "\n"
           << "*** FOS not found: no trial is stable, down to a factor of " << Bound(factor) << " "
           << "\n";
    SaveModelFile(interp, l.failureFile);  // the last trial, which failed
    Finish(l, interp, 0.0, true);
    return;
  }

  // Stage 3: an unstable state, doubling.
  l.stage = 3;
  factor = 2.0 * l.lower;
  for (int i = 0; i < kStageTrials; ++i) {
    if (!Trial(l, interp, factor)) {
      l.upper = factor;
      SaveModelFile(interp, l.failureFile);
      break;
    }
    if (i + 1 < kStageTrials) factor *= 2.0;
  }
  if (l.upper == 0.0) {
    // A bracket without an upper bound would bisect towards 0.
    interp << "\n"
           << "*** FOS not found: every trial is stable, up to a factor of " << Bound(factor) << " "
           << "\n";
    Finish(l, interp, 0.0, false);
    return;
  }

  // Stage 4: bisection.
  l.stage = 4;
  factor = (l.upper + l.lower) / 2.0;
  bool converged = false;
  for (int i = 0; i < kBracketTrials; ++i) {
    if (Trial(l, interp, factor)) {
      l.lower = factor;
    } else {
      l.upper = factor;
      SaveModelFile(interp, l.failureFile);
    }
    factor = (l.upper + l.lower) / 2.0;
    if (std::fabs(l.lower - l.upper) < 0.005 * factor) {
      converged = true;
      break;
    }
  }
  interp << "\n";
  if (!converged)
    interp << "*** FOS does not converge: exceeded bracketing limit of 50 iterations "
           << "\n";
  Finish(l, interp, (l.upper + l.lower) / 2.0, true);
}

}  // namespace

void Solve::FactorOfSafety(SolveLimits& l, ModelInterpreter& interp) {
  ModelSettings& s = Settings();
  const bool knownBefore = s.fosKnown;
  const double fosBefore = s.fos;
  s.fosKnown = true;
  ScratchFile scratch(".terrax-fos-");
  l.scratch = scratch.Name();
  if (l.failureFile.IsEmpty()) l.failureFile = "FoSmode.sav";
  if (l.ratioLimit == 0.0) l.ratioLimit = 1e-5;
  l.savedStepLimit = s.stepLimit;
  for (const Zone* zone : ZoneList()) {
    const ConstitutiveModel* model = zone->Model();
    if (!model || (model->Type() != ConstitutiveModel::kMohrType && !model->IsNull()))
      interp << "*** Only Mohr-Coulomb model is allowed "
             << "\n";
  }

  try {
    SaveModelFile(interp, l.scratch);
  } catch (...) {
    s.fosKnown = knownBefore;
    throw;
  }
  for (int p = 0; p < 3; ++p) l.master[p] = l.slave[p] = false;
  l.master[kMechanicalProcess] = true;
  l.rolesGiven = true;
  l.fosMode = true;

  // Whatever stops the search, the model is never left with reduced
  // strengths: the model of the start comes back from the scratch file.
  auto recover = [&] {
    try {
      RestoreModelFile(interp, l.scratch);
    } catch (...) {
      // The scratch file holds the only copy of the user's model: it stays.
      scratch.Keep();
      interp << "*** The model of the start is kept in " << l.scratch << "\n";
    }
    s.fosKnown = knownBefore;
    s.fos = fosBefore;
  };
  try {
    Search(l, interp);
  } catch (const PreparationStopped&) {
    recover();
  } catch (...) {
    interp << "\n";
    recover();
    throw;
  }
}

void Solve::ReduceStrength(const SolveLimits& l) {
  const double r = l.reduction, v = l.replacement;
  for (Zone* zone : ZoneList()) {
    if (!IsMohrCoulomb(*zone)) continue;
    ConstitutiveModel* m = zone->Model();
    if (l.cohesion)
      m->SetPropertyByIndex(MohrModel::kCohesion, r == 0.0 ? v : m->GetPropertyByIndex(MohrModel::kCohesion) * r);
    if (l.friction) {
      double phi = v;
      if (r != 0.0) {
        phi = std::atan(r * std::tan(m->GetPropertyByIndex(MohrModel::kFriction) * kDegree)) / kDegree;
        phi = std::min(phi, 10.0 / kDegree);
      }
      m->SetPropertyByIndex(MohrModel::kFriction, phi);
      if (l.associated) m->SetPropertyByIndex(MohrModel::kDilation, phi);
    }
    if (l.tension)
      m->SetPropertyByIndex(MohrModel::kTension, r == 0.0 ? v : m->GetPropertyByIndex(MohrModel::kTension) * r);
  }
  if (l.interfaces)
    CurrentModel().Participants().ForEach([&](StepParticipant& p) { p.ReduceStrengths(r, v, l.associated); });
}

// A trial is judged on the ratio: stable as soon as it falls below the
// limit, unstable once it has fallen by less than a tenth over one response
// time. Besides comparing the runs' last ratios, the watch compares the least
// ratio of each quarter of a response time with that of the quarter one
// response time earlier: a trial that keeps moving is recognised a quarter
// after its ratio levels off, not at the end of a later run, and a ratio that
// wavers about its level no longer escapes the comparison of two single
// values for up to six runs. From the fifth quarter on, the watch also
// carries the ratio's fall over the last response time on to the end of
// the six runs: a trial plainly short of the limit fails, and one plainly
// below it holds, without running out its steps. A ratio ten times above
// the limit is judged from the third quarter on, at the rate of its last half
// response time.
bool Solve::TrialStable(SolveLimits& l, ModelInterpreter& interp) {
  ModelSettings& s = Settings();
  const uint32_t response = l.responseSteps;
  l.watch = SolveLimits::RatioWatch();
  l.watch.quarter = std::max(response / 4, 1u);
  struct EndWatch {
    SolveLimits& l;
    ~EndWatch() { l.watch = SolveLimits::RatioWatch(); }
  } endWatch{l};
  double previous = 0.0;
  for (int run = 0; run < kResponseRuns; ++run) {
    // Each run may take the response time, counted from its own start.
    l.trialStart = StepCounter();
    l.startStep = l.trialStart;
    ++l.trials;
    s.stepLimit = static_cast<int32_t>(std::min<uint32_t>(response, 2147483647u));
    RunOrStop(l, interp);
    if (interp.EscPressed()) throw ESCInterrupt();
    if (l.watch.levelled) return false;
    if (l.watch.settled) return true;
    const uint32_t n = StepCounter() - l.trialStart;
    if (n < response) return true;
    const double q = n ? s.forceRatio / n : 0.0;
    // Nothing left out of balance: settled, whatever the ratio says of a
    // model without forces.
    if (q == 0.0 || s.unbalancedForce == 0.0) return true;
    if (std::fabs((q - previous) / q) < 0.1) return false;
    previous = q;
  }
  return false;
}

void Solve::WatchRatio(SolveLimits& l) {
  SolveLimits::RatioWatch& w = l.watch;
  if (w.quarter == 0 || w.levelled || w.settled) return;
  const double ratio = Settings().forceRatio;
  if (w.steps == 0 || ratio < w.least) w.least = ratio;
  if (++w.steps < w.quarter) return;
  // A quarter is complete.
  const uint32_t k = w.quarters++;
  w.minima[k % 5] = w.least;
  w.steps = 0;
  // A ratio below the limit ends the run as stable.
  if (!(w.least >= l.ratioLimit)) return;
  // The rule of the runs, one response time back.
  if (k >= 4 && w.least > 0.9 * w.minima[(k - 4) % 5]) w.levelled = true;
  const int left = 4 * kResponseRuns - static_cast<int>(k) - 1;
  // A ratio ten times above the limit fails plainly from the third quarter
  // on: its fall over the last half response time, carried on to the end of
  // the trial's steps, would leave it more than five times above the limit.
  if (k >= 2 && w.least >= kFarAbove * l.ratioLimit) {
    const double rate = std::sqrt(w.least / w.minima[(k - 2) % 5]);
    if (!(rate < 1.0) || w.least * std::pow(rate, std::max(left, 0)) > kFarMissBy * l.ratioLimit) w.levelled = true;
  }
  if (w.levelled || k < 4) return;
  // The rate of the last response time carried on to the end of the trial's
  // steps (six response times): the ratio's fall slows as a trial goes on,
  // so a trial that would miss the limit by twice at this rate fails now.
  // One that would pass ten times below it, after at least seven quarters,
  // holds now, unless its fall is slowing (the last half response time fell
  // less than the half before it): a slowing fall may level off above the
  // limit, and a trial held too soon gives a factor of safety too high.
  const double rate = std::pow(w.least / w.minima[(k - 4) % 5], 0.25);
  const double mid = w.minima[(k - 2) % 5];
  const bool slowing = w.least / mid > mid / w.minima[(k - 4) % 5];
  if (left <= 0) return;
  const double expected = w.least * std::pow(rate, left);
  if (!(rate < 1.0) || expected > kMissBy * l.ratioLimit)
    w.levelled = true;
  else if (k >= 6 && !slowing && expected < kPassBy * l.ratioLimit)
    w.settled = true;
}

void Solve::ScaleTetraNormalStress(double factor) {
  for (Zone* zone : ZoneList()) {
    for (int o = 0; o < 2; ++o) {
      ZoneTetra* block = zone->Tetra(o);
      if (!block) continue;
      for (int k = 0; k < zone->TetraPerOverlay(); ++k)
        for (int i = 0; i < 3; ++i) block[k].stress[i] *= factor;
    }
  }
}

void Solve::PrintFosHeader(CommandType& interp) {
  interp << "FoS Starting at: " << System::TimeStamp() << "\n";
  interp << " Steps "
         << " "
         << " Stages "
         << " "
         << " Operation "
         << " "
         << " Bracket "
         << "\n";
  interp << "-------"
         << " "
         << "--------"
         << " "
         << "-----------"
         << " "
         << "---------"
         << "\n";
  interp.flush();
}

String Solve::FosStatusLine(const SolveLimits& l) {
  const ModelSettings& s = Settings();
  const uint32_t steps = StepCounter() - l.trialStart;
  const double limit = s.stepLimit > 0 ? static_cast<double>(s.stepLimit) : 0.0;
  const uint32_t percent = limit > 0.0 ? static_cast<uint32_t>(std::min(100.0 * steps / limit, 4e9)) : 0u;
  char text[64];
  // Short enough for one row of an 80-column window, or the carriage return
  // would not take the line back to its start.
  std::snprintf(text, sizeof text, "%6u%4u%%%3u", steps, percent, l.trials);
  String line(text);
  line += kStageTexts[l.stage <= 4 ? l.stage : 0];
  line += "[ " + Bound(l.lower) + " " + Bound(l.upper) + " ]";
  return line;
}
