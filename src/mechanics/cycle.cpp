// The calculation cycle: the run loop of STEP and CYCLE with its step table,
// the preparation before cycling and the fixed phase order of one step.
#include "mechanics/cycle.h"

#include <cfloat>
#include <cstdio>
#include <exception>

#include "base/command.h"
#include "base/except.h"
#include "base/numeric.h"
#include "base/system.h"
#include "cmodels/constitutive_model.h"
#include "mechanics/apply.h"
#include "mechanics/apply_condition.h"
#include "mechanics/attach_condition.h"
#include "mechanics/interface.h"
#include "mechanics/motion.h"
#include "mechanics/step_chunks.h"
#include "mechanics/zone_pass.h"
#include "model/calc_module.h"
#include "model/gp_zone_index.h"
#include "model/grid_point.h"
#include "model/model.h"
#include "model/model_settings.h"
#include "model/services.h"
#include "model/zone.h"
#include "platform/pumps.h"

CycleState& TheCycleState() { return CurrentModel().Part<CycleState>(); }

namespace {

// The source position the math-error trap names.
constexpr const char* kCycleSource = ".\\Cycle";

bool ModuleOn(const CalcModule* module) { return module && module->On(); }

// View change code of the step notification.
constexpr uint32_t kStepNotification = 0x7CA10010;

// What the key poll found.
enum class KeyAction { kNone, kStop };

KeyAction PollKeys(CommandType& interp) {
  if (interp.EscPressed()) throw ESCInterrupt();
  return interp.KeyPressed(' ') ? KeyAction::kStop : KeyAction::kNone;
}

void ResetMinimumEdgeLength() {
  MinimumEdgeLength() = DBL_MAX;
  for (Zone* zone : ZoneList()) zone->UpdateMinEdgeLen();
}

String FormatValue(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return String(text);
}

const StepParticipants& Participants() { return CurrentModel().Participants(); }

// How the zone pass and the law of motion hand the packed slots on in this
// step. The zone pass's force sums may wait in the slots for the law of
// motion where nothing between the two reads or adds grid-point forces: no
// free field, fluid coupling, interface contacts, attach ties or grid-points
// slaved to others (their masters read their forces), no script
// function before the law of motion, no apply condition whose multiplier is
// a script function. The law of motion may leave its velocities in the
// slots for the next zone pass where besides nothing else writes
// velocities until then: no script at all (no histories of functions,
// display column or halt function can run), no callbacks at any point, no
// dynamic mode.
// A command between steps always prepares the next run anew, which makes
// the zone pass fill the slots again.
struct SlotHandOff {
  bool sumsWait = false;
  bool keepVelocities = false;
};

SlotHandOff HandOffOfStep(bool callbackBeforeZones) {
  SlotHandOff h;
  const ModelSettings& s = Settings();
  const ModePointers& modes = Modes();
  if (callbackBeforeZones || s.freeField || modes.fluid || Interfaces().Head() || GlobalAttachList().Head()) return h;
  bool callback = false;
  Participants().ForEach([&](StepParticipant& p) { callback = callback || p.HasCallback(kCallbackBeforeMotion); });
  if (callback || AnyLinkedGridPoints()) return h;
  const bool script = CurrentModel().Script().HasSymbols();
  if (script && GlobalApplyList().Head()) return h;
  h.sumsWait = true;
  if (script || ModuleOn(modes.dynamic)) return h;
  Participants().ForEach([&](StepParticipant& p) {
    for (int point = 0; point < kCallbackCount && !callback; ++point) callback = p.HasCallback(point);
  });
  h.keepVelocities = !callback;
  return h;
}

}  // namespace

void Cycle::Callback(CallbackPoint point) {
  Participants().ForEach([point](StepParticipant& p) { p.Callback(point); });
}

// ---------------------------------------------------------------------------
// The step table

void Cycle::Header(String& header, String& dashes) {
  const ModePointers& modes = Modes();
  header = " step    of    total  max-unbal    ratio   ";
  dashes = "------ ------ ------- ---------- ----------";
  auto column = [&](bool shown, const char* title) {
    if (!shown) return;
    header += title;
    dashes += " ----------";
  };
  column(TheModules().AnyActive(), "  time-step");
  column(ModuleOn(modes.dynamic), "  dyn. time");
  column(ModuleOn(modes.creep), " creep time");
  column(ModuleOn(modes.thermal), " therm time");
  column(ModuleOn(modes.fluid), " fluid time");
  column(ModuleOn(modes.chem), " chem time");
  String display;
  if (Settings().cycleDisplay && CurrentModel().Script().DisplayName(&display)) {
    std::string name = display.str();
    name.resize(11, ' ');
    header += " ";
    header += name.c_str();
    dashes += " -----------";
  }
}

String Cycle::TableLine(uint32_t index, uint32_t count, CommandType& interp) {
  const ModelSettings& s = Settings();
  const ModePointers& modes = Modes();
  char text[128];
  std::snprintf(text, sizeof text, "%6u %6u %7u %10.3e %10.3e", index, count, static_cast<uint32_t>(s.totalCycles),
                s.unbalancedForce, s.forceRatio);
  String line(text);
  auto column = [&](bool shown, double value) {
    if (shown) line += FormatValue(" %10.3e", value);
  };
  column(TheModules().AnyActive(), s.timestep);
  if (ModuleOn(modes.dynamic)) column(true, modes.dynamic->Time());
  if (ModuleOn(modes.creep)) column(true, modes.creep->Time());
  if (ModuleOn(modes.thermal)) column(true, modes.thermal->Time());
  if (ModuleOn(modes.fluid)) column(true, modes.fluid->Time());
  if (ModuleOn(modes.chem)) column(true, modes.chem->Time());
  ScriptLink& script = CurrentModel().Script();
  String display;
  if (s.cycleDisplay && script.DisplayName(&display)) {
    const DisplayValue value = script.DisplayValueNow(interp);
    switch (value.kind) {
      case DisplayValue::kInteger:
        std::snprintf(text, sizeof text, " %10lld", static_cast<long long>(value.integer));
        line += text;
        break;
      case DisplayValue::kReal:
        line += FormatValue(" %10.3e", value.real);
        break;
      case DisplayValue::kText:
        std::snprintf(text, sizeof text, " %10.10s", value.text.c_str());
        line += text;
        break;
      default:
        line += " -----------";
        break;
    }
  }
  return line;
}

// ---------------------------------------------------------------------------
// The run

void Cycle::Run(uint32_t count, CommandType& interp) {
  interp << "Starting at: " << System::TimeStamp() << "\n";
  String header, dashes;
  Header(header, dashes);
  interp << header << "\n" << dashes << "\n";
  interp.flush();

  BeginRun(interp);
  if (!Prepare(false, interp, false)) return;

  ModelSettings& s = Settings();
  const CycleState& state = TheCycleState();
  const StepParticipants& participants = Participants();
  String last;
  try {
    for (uint32_t i = 0; i < count; ++i) {
      if (i > 0 && s.geometryInterval > 0 && i % static_cast<uint32_t>(s.geometryInterval) == 0 &&
          (state.geometryUpdate || s.largeStrain)) {
        if (!Prepare(true, interp, false)) return;
      }
      Step(interp);

      ++s.historySteps;
      if (s.historyInterval > 0 &&
          static_cast<uint32_t>(s.historySteps) % static_cast<uint32_t>(s.historyInterval) == 0) {
        const uint32_t step = static_cast<uint32_t>(s.totalCycles);
        participants.ForEach([step](StepParticipant& p) { p.Sample(step); });
      }

      last = TableLine(i + 1, count, interp) + "\r";
      interp.ConsoleStream::Write(last.c_str());

      const uint32_t total = static_cast<uint32_t>(s.totalCycles);
      if (s.plotInterval > 0 && total % static_cast<uint32_t>(s.plotInterval) == 0) {
        uint32_t code = kStepNotification;
        if (s.largeStrain) code += 0x4;
        if (ModuleOn(Modes().thermal)) code += 0x20000;
        if (ModuleOn(Modes().chem)) code += 0x40000;
        NotifyAllViews(code, "Step " + UIntToString(total) + "\nRatio " + FormatValue("%.6e", s.forceRatio));
      }
      participants.ForEach([](StepParticipant& p) { p.AfterStepShown(); });

      // Keys are looked at once per step, never inside the passes.
      if (PollKeys(interp) == KeyAction::kStop) break;
      CheckMathError(nullptr, kCycleSource, 431);
    }
  } catch (const ESCInterrupt&) {
    interp << "\n"
           << "Ending at:   " << System::TimeStamp() << "\n";
    interp.flush();
    throw;
  } catch (...) {
    // The error is reported below the last table line, not over it.
    if (!last.IsEmpty()) {
      interp.WriteLog(last.c_str());
      interp << "\n";
      interp.flush();
    }
    throw;
  }
  // The last table line stays on the screen; the log gets it once.
  interp.WriteLog(last.c_str());
  interp << "\n";
  interp.flush();
  interp << "Ending at:   " << System::TimeStamp() << "\n";
  interp.flush();
}

void Cycle::BeginRun(CommandType& interp) {
  CheckMathError(nullptr, kCycleSource, 466);
  const ModelSettings& s = Settings();
  const ModePointers& modes = Modes();
  CycleState& state = TheCycleState();
  state.geometryUpdate = false;
  ModuleList& modules = TheModules();
  for (Zone* zone : ZoneList()) {
    modules.ZoneCreated(*zone);
    if (!state.geometryUpdate && zone->Model() && zone->Model()->AlwaysUpdateGeom()) state.geometryUpdate = true;
  }
  if (s.tracking) {
    BuildGpZoneIndex();
    ResetMinimumEdgeLength();
  }
  if (modes.fluid || modes.thermal) {
    for (Zone* zone : ZoneList()) {
      zone->BuildTetra();
      zone->CheckTetraVolumes();
    }
  }
  Participants().ForEach([&interp](StepParticipant& p) { p.BeginRun(interp); });
}

bool Cycle::Prepare(bool reprepare, CommandType& interp, bool quiet) {
  const ModelSettings& s = Settings();
  const ModePointers& modes = Modes();
  if (!reprepare && !quiet) {
    interp.ConsoleStream::Write("Calculating geometric constants...\r");
    interp.flush();
  }
  // An error raised while that line is up is reported over a blank line,
  // not over the end of the line's text.
  struct BlankOnError {
    CommandType& interp;
    bool shown;
    int pending = std::uncaught_exceptions();
    ~BlankOnError() {
      if (!shown || std::uncaught_exceptions() == pending) return;
      try {
        interp.ConsoleStream::Write("                                  \r");
      } catch (...) {
      }
    }
  } blankOnError{interp, !reprepare && !quiet};
  Participants().ForEach([](StepParticipant& p) { p.BeforePrepare(); });
  StepPrepared();
  if (s.mechanical && (modes.fluid || modes.thermal)) CheckZoneTetraVolumes(interp);
  if (modes.fluid) {
    const bool any = modes.fluid->PrepareZones();
    if (modes.fluid->On() && !any) throw QJExcept("All zones have NULL fluid model");
    modes.fluid->Prepare();
  }
  if (s.mechanical) {
    if (!CheckModelBeforeCycle(reprepare, interp)) return false;
    PrepareApplyConditions();
    if (s.tracking && s.largeStrain) ResetMinimumEdgeLength();
  }
  TheModules().PrepareCycle(interp);
  if (modes.fluid) {
    modes.fluid->InvertGridPointVolumes();
    Participants().ForEach([](StepParticipant& p) { p.PrepareFluid(); });
    modes.fluid->InvertGridPointVolumes();
  }
  if (modes.thermal) Participants().ForEach([](StepParticipant& p) { p.PrepareThermal(); });
  Callback(kCallbackPrepared);
  if (!reprepare && !quiet) {
    interp.ConsoleStream::Write("Cycling...                        \r");
    interp.flush();
  }
  return true;
}

bool CheckModelBeforeCycle(bool reprepare, CommandType& interp) {
  for (GridPoint* gp : GridPointList()) {
    gp->mass = 0.0;
    gp->stiffness = 0.0;
    gp->areaSum = 0.0;
  }
  for (Zone* zone : ZoneList()) {
    YieldWhileCycling(false);
    if (!zone->CheckBeforeCycle(interp)) return false;
  }
  double total = 0.0;
  for (GridPoint* gp : GridPointList()) total += gp->areaSum;
  ModelSettings& s = Settings();
  s.areaTotal = total;
  const bool dynamic = ModuleOn(Modes().dynamic);
  Participants().ForEach([&](StepParticipant& p) { p.CheckBeforeCycle(interp, reprepare, dynamic, s.largeStrain); });
  return true;
}

bool CheckZoneTetraVolumes(CommandType&) {
  for (Zone* zone : ZoneList()) zone->CheckTetraVolumes();
  return true;
}

// ---------------------------------------------------------------------------
// One step

void Cycle::Step(CommandType& interp) {
  ModelSettings& s = Settings();
  const ModePointers& modes = Modes();
  const StepParticipants& participants = Participants();
  CycleState& state = TheCycleState();

  StepSums& sums = s.sums;
  sums.previousUnbalanced = sums.unbalanced;
  sums.unbalanced = 0.0;
  sums.forces = 0.0;
  sums.localRatio = 0.0;
  state.gpCount = 0;
  s.totalCycles = static_cast<int32_t>(static_cast<uint32_t>(s.totalCycles) + 1u);
  Callback(kCallbackStepStart);
  TheModules().NegotiateTimestep();
  Callback(kCallbackTimestep);
  TheModules().AdvanceTime();

  if (s.mechanical) {
    // The zone pass starts the force sums itself unless a callback before it
    // may add forces to them.
    bool callback = false;
    participants.ForEach([&](StepParticipant& p) { callback = callback || p.HasCallback(kCallbackBeforeZones); });
    if (callback)
      for (GridPoint* gp : GridPointList()) {
        gp->unbalancedForce[0] = 0.0;
        gp->unbalancedForce[1] = 0.0;
        gp->unbalancedForce[2] = 0.0;
        gp->forceSum = 0.0;
      }
    Callback(kCallbackBeforeZones);
    const SlotHandOff handOff = HandOffOfStep(callback);
    ZoneStressPass(!callback, handOff.sumsWait, handOff.keepVelocities);
    const double dt = s.timestep;
    try {
      participants.ForEach([](StepParticipant& p) { p.AfterZonePass(); });
      if (modes.fluid) {
        modes.fluid->MechanicalCoupling();
        if (modes.fluid->BiotOn()) modes.fluid->BiotUpdate();
      }
      ApplyConditionsStep();
      participants.ForEach([&](StepParticipant& p) { p.Forces(interp, dt); });
      participants.ForEach([](StepParticipant& p) { p.TieForces(); });
      Callback(kCallbackBeforeMotion);
    } catch (...) {
      HandBackStepSums();
      throw;
    }
    GridPointMotion();
    Callback(kCallbackAfterMotion);
    const bool dynamic = ModuleOn(modes.dynamic);
    participants.ForEach([&](StepParticipant& p) { p.Motion(dynamic, dt); });
    if (modes.thermal) modes.thermal->ClearHeatSums();

    switch (s.ratioType) {
      case 1:
        s.forceRatio =
            sums.forces == 0.0 ? 1.0 : s.unbalancedForce / (sums.forces / static_cast<double>(state.gpCount));
        break;
      case 2:
        s.forceRatio = sums.localRatio;
        break;
      default:
        s.forceRatio = sums.forces == 0.0 ? 1.0 : sums.unbalanced / sums.forces;
        break;
    }
    participants.ForEach([](StepParticipant& p) { p.AfterMechanical(); });
    Callback(kCallbackMechanicalDone);
  }
  if (ModuleOn(modes.thermal)) {
    Callback(kCallbackBeforeThermal);
    modes.thermal->Step(interp);
    Callback(kCallbackAfterThermal);
  }
  if (ModuleOn(modes.fluid)) {
    Callback(kCallbackBeforeFluid);
    modes.fluid->Step(interp);
    Callback(kCallbackAfterFluid);
    Callback(kCallbackAfterFluidStep);
    modes.fluid->ZonePressureTerms();
    modes.fluid->ClearFlowSums();
    if (modes.fluid->BiotOn()) modes.fluid->BiotUpdate();
    Callback(kCallbackFluidDone);
  }
  Callback(kCallbackModesDone);
  participants.ForEach([](StepParticipant& p) { p.AfterModes(); });
  if (ModuleOn(modes.chem) && modes.chem->StepDue()) {
    Callback(kCallbackBeforeChemistry);
    modes.chem->Step(interp);
    Callback(kCallbackAfterChemistry);
  }
}
