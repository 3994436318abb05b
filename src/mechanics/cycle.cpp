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
#include "mechanics/motion.h"
#include "mechanics/zone_pass.h"
#include "model/calc_module.h"
#include "model/grid_point.h"
#include "model/model_settings.h"
#include "model/services.h"
#include "model/zone.h"
#include "platform/pumps.h"
#include "model/model.h"

CyclePhases& Phases() {
  static CyclePhases phases;
  return phases;
}

CycleState& TheCycleState() { return CurrentModel().Part<CycleState>(); }

namespace {

// The source position the math-error trap names.
constexpr const char* kCycleSource = ".\\Cycle";

void Callback(int number) {
  if (auto call = Phases().zoltCall) call(number);
}

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

}  // namespace

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
  const ModelSettings& s = Settings();
  if (s.cycleDisplay && Phases().displayName) {
    std::string name = Phases().displayName().str();
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
  if (s.cycleDisplay && Phases().displayName) {
    DisplayValue value;
    if (Phases().displayValue) value = Phases().displayValue(interp);
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
  CycleState& state = TheCycleState();
  String last;
  try {
    for (uint32_t i = 0; i < count; ++i) {
      if (i > 0 && s.geometryInterval > 0 && i % static_cast<uint32_t>(s.geometryInterval) == 0 &&
          (state.geometryUpdate || s.largeStrain)) {
        if (!Prepare(true, interp, false)) return;
      }
      Step(interp);

      ++s.cycleCount;
      if (s.historyInterval > 0 && static_cast<uint32_t>(s.cycleCount) % static_cast<uint32_t>(s.historyInterval) == 0)
        if (auto sample = Phases().sampleHistories) sample(static_cast<uint32_t>(s.totalCycles));

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
      if (state.hardcopy)
        if (auto hardcopy = Phases().hardcopyCurrentView) hardcopy();

      // Keys are looked at once per step, never inside the passes.
      if (PollKeys(interp) == KeyAction::kStop) break;
      CheckMathError(nullptr, kCycleSource, 431);
    }
  } catch (const ESCInterrupt&) {
    interp << "\n" << "Ending at:   " << System::TimeStamp() << "\n";
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

void Cycle::BeginRun(CommandType&) {
  CheckMathError(nullptr, kCycleSource, 466);
  const ModelSettings& s = Settings();
  const ModePointers& modes = Modes();
  const CyclePhases& phases = Phases();
  CycleState& state = TheCycleState();
  state.geometryUpdate = false;
  ModuleList& modules = TheModules();
  for (Zone* zone : ZoneList()) {
    modules.ZoneCreated(*zone);
    if (!state.geometryUpdate && zone->Model() && zone->Model()->AlwaysUpdateGeom()) state.geometryUpdate = true;
  }
  if (s.tracking) {
    if (phases.buildGpZoneIndex) phases.buildGpZoneIndex();
    ResetMinimumEdgeLength();
  }
  if (modes.fluid || modes.thermal) {
    for (Zone* zone : ZoneList()) {
      zone->BuildTetra();
      zone->CheckTetraVolumes();
    }
  }
  if (s.tracking && ModuleOn(modes.fluid) && phases.particlePostStep) phases.particlePostStep();
  state.hardcopy = phases.refreshCurrentView ? phases.refreshCurrentView() : false;
}

bool Cycle::Prepare(bool reprepare, CommandType& interp, bool quiet) {
  const ModelSettings& s = Settings();
  const ModePointers& modes = Modes();
  const CyclePhases& phases = Phases();
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
  if (s.mechanical && (modes.fluid || modes.thermal)) CheckZoneTetraVolumes(interp);
  if (modes.fluid) {
    const bool any = phases.prepareFluidZones ? phases.prepareFluidZones() : false;
    if (modes.fluid->On() && !any) throw QJExcept("All zones have NULL fluid model");
    modes.fluid->Prepare();
  }
  if (s.mechanical) {
    if (!CheckModelBeforeCycle(reprepare, interp)) return false;
    if (phases.prepareApply) phases.prepareApply();
    if (s.tracking && s.largeStrain) ResetMinimumEdgeLength();
  }
  TheModules().PrepareCycle(interp);
  if (modes.fluid && phases.prepareFluidLinks) phases.prepareFluidLinks();
  if (modes.thermal && phases.prepareThermalLinks) phases.prepareThermalLinks();
  Callback(1);
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
  Settings().cycleReal = total;
  const CyclePhases& phases = Phases();
  if (phases.checkInterfaces) phases.checkInterfaces(reprepare, interp);
  if (phases.validateStructures)
    phases.validateStructures(interp, ModuleOn(Modes().dynamic), Settings().largeStrain);
  if (phases.checkAttach) phases.checkAttach();
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
  const CyclePhases& phases = Phases();
  CycleState& state = TheCycleState();

  s.cycleReals[1] = s.cycleReals[0];  // the previous unbalanced sum
  s.cycleReals[0] = 0.0;
  s.cycleReals[2] = 0.0;
  s.cycleReals[3] = 0.0;
  state.gpCount = 0;
  s.totalCycles = static_cast<int32_t>(static_cast<uint32_t>(s.totalCycles) + 1u);
  Callback(2);
  TheModules().NegotiateTimestep();
  Callback(0);
  TheModules().AdvanceTime();

  if (s.mechanical) {
    for (GridPoint* gp : GridPointList()) {
      gp->unbalancedForce[0] = 0.0;
      gp->unbalancedForce[1] = 0.0;
      gp->unbalancedForce[2] = 0.0;
      gp->forceSum = 0.0;
    }
    Callback(3);
    ZoneStressPass();
    if (phases.freeFieldStep) phases.freeFieldStep();
    if (modes.fluid) {
      if (phases.fluidMechanicalCoupling) phases.fluidMechanicalCoupling();
      if (phases.fluidBiotOn && phases.fluidBiotOn() && phases.fluidBiotUpdate) phases.fluidBiotUpdate();
    }
    if (phases.applyStep) phases.applyStep();
    if (phases.interfaceForces) phases.interfaceForces();
    if (phases.structureStepBegin) phases.structureStepBegin();
    if (phases.structureForces) phases.structureForces(s.timestep, interp);
    if (phases.attachForces) phases.attachForces();
    Callback(4);
    GridPointMotion();
    Callback(5);
    if (phases.interfaceMotion) phases.interfaceMotion();
    if (phases.attachMotion) phases.attachMotion();
    if (phases.structureMotion) phases.structureMotion(ModuleOn(modes.dynamic), s.timestep);
    if (modes.thermal && phases.thermalClearSums) phases.thermalClearSums();

    const double forces = s.cycleReals[2];
    switch (s.ratioType) {
      case 1:
        s.forceRatio = forces == 0.0 ? 1.0 : s.unbalancedForce / (forces / static_cast<double>(state.gpCount));
        break;
      case 2:
        s.forceRatio = s.cycleReals[3];
        break;
      default:
        s.forceRatio = forces == 0.0 ? 1.0 : s.cycleReals[0] / forces;
        break;
    }
    if (s.largeStrain && s.tracking && phases.particleStep) phases.particleStep(1);
    Callback(6);
  }
  if (ModuleOn(modes.thermal)) {
    Callback(7);
    if (phases.thermalStep) phases.thermalStep(interp);
    Callback(8);
  }
  if (ModuleOn(modes.fluid)) {
    Callback(9);
    if (phases.fluidStep) phases.fluidStep(interp);
    Callback(10);
    Callback(11);
    if (phases.fluidZonePressureTerms) phases.fluidZonePressureTerms();
    if (phases.fluidClearSums) phases.fluidClearSums();
    if (phases.fluidBiotOn && phases.fluidBiotOn() && phases.fluidBiotUpdate) phases.fluidBiotUpdate();
    Callback(12);
  }
  Callback(13);
  if (s.tracking && ModuleOn(modes.fluid) && phases.particleStep) phases.particleStep(0);
  if (ModuleOn(modes.chem) && phases.chemistryDue && phases.chemistryDue()) {
    Callback(17);
    if (phases.chemistryStep) phases.chemistryStep();
    Callback(18);
  }
}
