// SOLVE: its limits, the stepping loop with its master and slave stages,
// the limits banner and the status line.
#include "mechanics/solve.h"

#include <algorithm>
#include <cstdio>
#include <exception>

#include "base/command.h"
#include "base/except.h"
#include "base/numeric.h"
#include "base/system.h"
#include "mechanics/cycle.h"
#include "model/calc_module.h"
#include "model/grid.h"
#include "model/model.h"
#include "model/model_interpreter.h"
#include "model/model_settings.h"
#include "model/services.h"
#include "model/zolt_value.h"

namespace {

// The source position the math-error trap names.
constexpr const char* kSolveSource = ".\\Solve";
constexpr int kSolveLine = 1276;

// View change codes of the step notification: master and slave stages.
constexpr uint32_t kMasterNotification = 0x7c210010;
constexpr uint32_t kSlaveNotification = 0xffffffff;

// Limits at or beyond these are not shown in the banner.
constexpr double kShownBelow = 1e19;
constexpr int32_t kStepShownBelow = 1000000000;
// The ratio limit of a SOLVE that has no limit of its own.
constexpr double kDefaultRatioLimit = 1e-5;

// The status table stops taking columns once its row is this wide.
constexpr size_t kRowWidth = 68;
// A status line covers at least the preparation's "Cycling..." line that it
// overwrites.
constexpr int kProgressWidth = 34;

// Columns of the status table, as bits of SolveLimits::columns.
enum Column : uint32_t {
  kSlaves = 1u << 0,
  kClock = 1u << 1,
  kMaxUnbalanced = 1u << 2,
  kMechRatio = 1u << 3,
  kThermRatio = 1u << 4,
  kFluidRatio = 1u << 5,
  kDynTime = 1u << 6,
  kCreepTime = 1u << 7,
  kCreepRatio = 1u << 8,
  kCreepUnbalanced = 1u << 9,
  kThermTime = 1u << 10,
  kFluidTime = 1u << 11,
  kTimeStep = 1u << 12,
  kUser = 1u << 13,
};

const char* const kProcessLabels[4] = {"Mast", "Mech", "Ther", "G.W."};

bool ModuleOn(const CalcModule* module) { return module && module->On(); }

uint32_t StepCounter() { return static_cast<uint32_t>(Settings().totalCycles); }

SolveModeSettings ModeSettings(int process) {
  const ModePointers& modes = Modes();
  if (process == kThermalProcess) return modes.thermal ? modes.thermal->SolveSettings() : SolveModeSettings();
  return modes.fluid ? modes.fluid->SolveSettings() : SolveModeSettings();
}

CalcModule* ModeModule(int process) {
  if (process == kThermalProcess) return Modes().thermal;
  return Modes().fluid;
}

void SetProcess(int process, bool on) {
  if (process == kMechanicalProcess) {
    Settings().mechanical = on;
  } else if (CalcModule* module = ModeModule(process)) {
    module->SetOn(on);
  }
}

bool HasRole(const SolveLimits& l, int process) { return l.master[process] || l.slave[process]; }
bool AnySlave(const SolveLimits& l) { return l.slave[0] || l.slave[1] || l.slave[2]; }

// A mode's age or ratio has reached its own limit.
bool ModeLimitReached(int process) {
  const CalcModule* module = ModeModule(process);
  if (!module) return false;
  const SolveModeSettings m = ModeSettings(process);
  return module->Time() > module->AgeLimit() || m.ratio < m.ratioLimit;
}

// Every process that has a role is switched on again when the loop ends,
// however it ends: an ESC in a slave stage must not leave the masters off.
class ProcessRestorer {
 public:
  explicit ProcessRestorer(const SolveLimits& limits) : limits_(limits) {}
  ~ProcessRestorer() { Restore(); }
  ProcessRestorer(const ProcessRestorer&) = delete;
  ProcessRestorer& operator=(const ProcessRestorer&) = delete;
  void Restore() const {
    for (int p = 0; p < 3; ++p)
      if (HasRole(limits_, p)) SetProcess(p, true);
  }

 private:
  const SolveLimits& limits_;
};

String Real(double value) { return DoubleToString(value, 6, 0, 2); }

String Formatted(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return String(text);
}

// A value of the user column, 11 characters and a blank.
String UserValue(CommandType& interp) {
  const DisplayValue value = CurrentModel().Script().DisplayValueNow(interp);
  char text[64];
  switch (value.kind) {
    case DisplayValue::kInteger:
      std::snprintf(text, sizeof text, "%11lld ", static_cast<long long>(value.integer));
      return String(text);
    case DisplayValue::kReal:
      return Formatted("%11.4e ", value.real);
    case DisplayValue::kText:
      std::snprintf(text, sizeof text, "%11.11s ", value.text.c_str());
      return String(text);
    default:
      return String("----------- ");
  }
}

// The steps of one kind of stage (masters, then each slave): the
// preparation before the first and, in large strain, at every geometry
// interval; the step; the status line; the views; the keys.
class StageStepper {
 public:
  StageStepper(SolveLimits& limits, ModelInterpreter& interp) : limits_(limits), interp_(interp) {}

  // One step of the stage kind (0 masters, 1 to 3 the slaves); false when
  // the preparation was stopped by a zone check.
  bool Step(uint32_t kind) {
    ModelSettings& s = Settings();
    uint32_t& count = steps_[kind];
    const bool geometry = s.largeStrain || (kind <= 1 && TheCycleState().geometryUpdate);
    const uint32_t interval = s.geometryInterval > 0 ? static_cast<uint32_t>(s.geometryInterval) : 0;
    if (!prepared_[kind] || (geometry && interval && count % interval == 0)) {
      if (!Cycle::Prepare(prepared_[kind], interp_, limits_.fosMode)) return false;
      prepared_[kind] = true;
    }
    Cycle::Step(interp_);
    if (limits_.fosMode) Solve::WatchRatio(limits_);
    ++count;
    ++limits_.stageSteps;

    last_ = limits_.fosMode ? Solve::FosStatusLine(limits_) : Solve::StatusLine(limits_, interp_);
    if (last_.Length() < kProgressWidth) last_.Resize(kProgressWidth, ' ');
    last_ += "\r";
    interp_.ConsoleStream::Write(last_.c_str());

    const uint32_t total = StepCounter();
    if (s.plotInterval > 0 && total % static_cast<uint32_t>(s.plotInterval) == 0) {
      uint32_t code = kSlaveNotification;
      if (kind == 0) {
        code = kMasterNotification;
        if (s.largeStrain) code += 0x4;
        if (ModuleOn(Modes().thermal)) code += 0x20000;
        if (ModuleOn(Modes().chem)) code += 0x40000;
      }
      NotifyAllViews(code, "Step " + UIntToString(total) + "\nRatio " + DoubleToString(s.forceRatio, 6, 0, 1));
    }
    if (interp_.EscPressed()) throw ESCInterrupt();
    return true;
  }

  const String& Last() const { return last_; }

 private:
  SolveLimits& limits_;
  ModelInterpreter& interp_;
  uint32_t steps_[4] = {0, 0, 0, 0};  // running step count of each kind of stage
  bool prepared_[4] = {false, false, false, false};
  String last_;
};

void AssignRoles(SolveLimits& l) {
  for (int p = 0; p < 3; ++p) l.master[p] = l.slave[p] = false;
  const ModelSettings& s = Settings();
  if (s.mechanical) (s.solveSlave ? l.slave : l.master)[kMechanicalProcess] = true;
  for (int p = kThermalProcess; p <= kFluidProcess; ++p) {
    if (!ModuleOn(ModeModule(p))) continue;
    (ModeSettings(p).slave ? l.slave : l.master)[p] = true;
  }
}

// The next sweep's master stage size: doubled while every slave stage takes
// a single step, within the masters' steps per stage.
uint32_t NextSweep(const SolveLimits& l, uint32_t sweep, bool anySlave, uint32_t largest) {
  const uint32_t s = anySlave ? largest : 100000000u;
  if (s != 1) return 1;
  uint64_t next = 2ull * sweep;
  if (l.master[kMechanicalProcess])
    next = std::min<uint64_t>(next, static_cast<uint64_t>(std::max(Settings().substepLimit, 0)));
  for (int p = kThermalProcess; p <= kFluidProcess; ++p)
    if (l.master[p]) next = std::min<uint64_t>(next, ModeSettings(p).substeps);
  return static_cast<uint32_t>(std::max<uint64_t>(next, 1));
}

}  // namespace

// ---------------------------------------------------------------------------
// The limits

SolveLimits::SolveLimits() : startStep(StepCounter()) {}

void SolveLimits::Parse(CommandType& interp) {
  ScriptLink& script = CurrentModel().Script();
  script.ClearHalt();
  // A negative limit or one that is no number could never be reached.
  auto limit = [&interp] {
    const int at = interp.TokenIndex();
    const double value = interp.GetReal();
    if (!(value >= 0.0)) throw CommandType::ConvertExcept(at, interp.Token(at));
    return value;
  };
  for (;;) {
    int word = 0;
    const int code = interp.MatchKeyword("clock age ratio force step fos elastic zolthalt", word);
    if (code == CommandType::kMissing) return;
    if (code != CommandType::kOk) interp.ThrowParamError(code);
    switch (word) {
      case 1:
        clockLimit = limit() * 60.0 * System::TicksPerSecond();
        break;
      case 2:
        ageLimit = limit();
        break;
      case 3:
        ratioLimit = limit();
        break;
      case 4:
        forceLimit = limit();
        break;
      case 5: {
        const int at = interp.TokenIndex();
        const int32_t steps = interp.GetInt();
        // A negative count is a typing error, not four billion steps.
        if (steps < 0) throw CommandType::ConvertExcept(at, interp.Token(at));
        stepLimit = static_cast<uint32_t>(steps);
        break;
      }
      case 6:
        fos = true;
        ParseFos(interp);
        break;
      case 7:
        elastic = true;
        break;
      default:
        script.SetHalt(interp);
        break;
    }
  }
}

void SolveLimits::ParseFos(CommandType& interp) {
  for (;;) {
    int word = 0;
    // A word that is none of these belongs to SOLVE itself.
    if (interp.MatchKeyword("associated file include exclude", word) != CommandType::kOk) return;
    switch (word) {
      case 1:
        associated = true;
        break;
      case 2:
        failureFile = interp.GetFileName("sav");
        break;
      default: {
        const bool on = word == 3;
        int which = 0;
        while (interp.MatchKeyword("friction cohesion tension interface", which) == CommandType::kOk) {
          switch (which) {
            case 1:
              friction = on;
              break;
            case 2:
              cohesion = on;
              break;
            case 3:
              tension = on;
              break;
            default:
              interfaces = on;
              break;
          }
        }
        break;
      }
    }
  }
}

// ---------------------------------------------------------------------------
// The limit checks

namespace {
// Whether the mechanical ratio has fallen below a limit. A step in which no
// grid-point carried any force at all and none moves (an empty or unloaded
// model) is settled: its ratio reads 1 for want of a force to compare with
// and would never fall. A grid-point that moves, such as one under an
// applied velocity, strains its zones and loads the grid in the next step.
bool RatioBelow(const ModelSettings& s, double limit) {
  if (s.forceRatio < limit) return true;
  if (!(limit > 0.0 && s.sums.forces == 0.0 && s.unbalancedForce == 0.0)) return false;
  for (const GridPoint* gp : GridPointList())
    if (gp->velocity[0] != 0.0 || gp->velocity[1] != 0.0 || gp->velocity[2] != 0.0) return false;
  return true;
}
}  // namespace

bool Solve::GlobalLimitReached(const SolveLimits& l) {
  const ModelSettings& s = Settings();
  const ModePointers& modes = Modes();
  const uint32_t steps = StepCounter() - l.startStep;
  if (l.watch.levelled || l.watch.settled) return true;
  if (static_cast<double>(System::Clock() - l.startClock) > l.clockLimit) return true;
  if (l.stepLimit != 0 && steps >= l.stepLimit) return true;
  if (s.mechanical) {
    if (ModuleOn(modes.dynamic) && modes.dynamic->Time() > l.ageLimit) return true;
    if (ModuleOn(modes.creep) && modes.creep->Time() > l.ageLimit) return true;
    if (static_cast<int64_t>(steps) >= static_cast<int64_t>(s.stepLimit)) return true;
    if (RatioBelow(s, l.ratioLimit)) return true;
    if (s.unbalancedForce < l.forceLimit) return true;
  }
  for (int p = kThermalProcess; p <= kFluidProcess; ++p) {
    const CalcModule* module = ModeModule(p);
    if (!ModuleOn(module)) continue;
    const SolveModeSettings m = ModeSettings(p);
    if (module->Time() > l.ageLimit) return true;
    if (steps >= m.stepLimit) return true;
    if (m.ratio < l.ratioLimit) return true;
  }
  return false;
}

bool Solve::MechanicalLimitReached(const SolveLimits& l) {
  const ModelSettings& s = Settings();
  const ModePointers& modes = Modes();
  const uint32_t steps = StepCounter() - l.startStep;
  if (s.unbalancedForce < s.forceLimit) return true;
  if (static_cast<int64_t>(steps) > static_cast<int64_t>(s.stepLimit)) return true;
  if (RatioBelow(s, s.ratioLimit)) return true;
  if (ModuleOn(modes.dynamic) && modes.dynamic->Time() > modes.dynamic->AgeLimit()) return true;
  if (ModuleOn(modes.creep) && modes.creep->Time() > modes.creep->AgeLimit()) return true;
  return false;
}

// ---------------------------------------------------------------------------
// The banner and the status table

void Solve::PrintBanner(SolveLimits& l, CommandType& interp) {
  const ModelSettings& s = Settings();
  const ModePointers& modes = Modes();
  interp << "Starting at: " << System::TimeStamp() << "\n";
  if (l.ageLimit < kShownBelow) interp << "Global Age Limit of " << Real(l.ageLimit) << "\n";
  if (l.clockLimit < kShownBelow)
    interp << "Clock Limit of " << Real(l.clockLimit / (60.0 * System::TicksPerSecond())) << " minutes"
           << "\n";
  if (l.ratioLimit != 0.0) interp << "Global Ratio Limit of " << Real(l.ratioLimit) << "\n";
  if (l.stepLimit != 0) interp << "Global Step Limit of " << UIntToString(l.stepLimit) << "\n";
  const bool mechanical = HasRole(l, kMechanicalProcess);
  if (mechanical) {
    if (l.forceLimit != 0.0) interp << "Global Maximum Unbalanced Force Limit of " << Real(l.forceLimit) << "\n";
    if (s.stepLimit < kStepShownBelow) interp << "Mechanical Total Step Limit of " << IntToString(s.stepLimit) << "\n";
    if (s.forceLimit != 0.0) interp << "Max. Unbalanced Force Limit of " << Real(s.forceLimit) << "\n";
    if (s.ratioLimit != 0.0) interp << "Force Ratio Limit of " << Real(s.ratioLimit) << "\n";
    if (ModuleOn(modes.dynamic) && modes.dynamic->AgeLimit() < kShownBelow)
      interp << "Dynamic Age Limit of " << Real(modes.dynamic->AgeLimit()) << "\n";
    if (ModuleOn(modes.creep)) interp << "Creep Age Limit of " << Real(modes.creep->AgeLimit()) << "\n";
  }
  const char* const kTitles[2][3] = {
      {"Thermal Total Step Limit of ", "Thermal Age Limit of ", "Thermal Ratio Limit of "},
      {"Fluid Flow Total Step Limit of ", "Fluid Flow Age Limit of ", "Fluid Flow Ratio Limit of "}};
  for (int p = kThermalProcess; p <= kFluidProcess; ++p) {
    if (!HasRole(l, p)) continue;
    const SolveModeSettings m = ModeSettings(p);
    const CalcModule* module = ModeModule(p);
    const char* const* titles = kTitles[p - 1];
    if (m.stepLimit < static_cast<uint32_t>(kStepShownBelow)) interp << titles[0] << UIntToString(m.stepLimit) << "\n";
    if (module && module->AgeLimit() < kShownBelow) interp << titles[1] << Real(module->AgeLimit()) << "\n";
    if (m.ratioLimit != 0.0) interp << titles[2] << Real(m.ratioLimit) << "\n";
  }

  // The two header rows: each column is padded to the width of its values.
  String header, dashes;
  l.columns = 0;
  auto column = [&](bool shown, uint32_t bit, const char* title, const char* dash) {
    if (!shown || header.Length() >= static_cast<int>(kRowWidth)) return;
    std::string text(title);
    const size_t width = std::string(dash).size();
    if (text.size() < width) text.resize(width, ' ');
    header += text.c_str();
    dashes += dash;
    l.columns |= bit;
  };
  column(true, 0, "step  ", "------- ");
  if (AnySlave(l)) {
    std::string title = "Mast ", dash = "---- ";
    const char* const names[3] = {"Mech ", "Ther ", "G.W. "};
    for (int p = 0; p < 3; ++p) {
      if (!l.slave[p]) continue;
      title += names[p];
      dash += "---- ";
    }
    title += "Curr Sub  ";
    dash += "---- ---- ";
    column(true, kSlaves, title.c_str(), dash.c_str());
  }
  const char* const kReal = "----------- ";
  column(l.clockLimit < kShownBelow, kClock, "Clock ", "----- ");
  const bool mechLimits =
      mechanical && (l.forceLimit != 0.0 || l.ratioLimit != 0.0 || s.forceLimit != 0.0 || s.ratioLimit != 0.0);
  column(mechLimits, kMaxUnbalanced, " max-unbal. ", kReal);
  column(mechLimits, kMechRatio, "Mech. Ratio ", kReal);
  column(HasRole(l, kThermalProcess), kThermRatio, "Therm Ratio ", kReal);
  column(HasRole(l, kFluidProcess), kFluidRatio, "Fluid Ratio ", kReal);
  column(ModuleOn(modes.dynamic), kDynTime, " Dyn. Time  ", kReal);
  column(ModuleOn(modes.creep), kCreepTime, "Creep Time  ", kReal);
  column(ModuleOn(modes.creep), kCreepRatio, "ratio  ", kReal);
  column(ModuleOn(modes.creep), kCreepUnbalanced, "max-unbal  ", kReal);
  column(HasRole(l, kThermalProcess), kThermTime, "Therm. Time ", kReal);
  column(HasRole(l, kFluidProcess), kFluidTime, "Fluid. Time ", kReal);
  column(TheModules().AnyActive(), kTimeStep, "Time Step   ", kReal);
  String display;
  if (s.cycleDisplay && CurrentModel().Script().DisplayName(&display)) {
    std::string name = display.str();
    name.resize(11, ' ');
    name += ' ';
    column(true, kUser, name.c_str(), kReal);
  }
  interp << header << "\n" << dashes << "\n";
  interp.flush();
}

String Solve::StatusLine(const SolveLimits& l, CommandType& interp) {
  const ModelSettings& s = Settings();
  const ModePointers& modes = Modes();
  char text[64];
  // The sweep in progress: the history sweep counter moves on at its end.
  std::snprintf(text, sizeof text, "%7u ", static_cast<uint32_t>(s.solveCount) + 1u);
  String line(text);
  if (l.columns & kSlaves) {
    std::snprintf(text, sizeof text, "%4u ", l.sweepSteps[0]);
    line += text;
    for (int p = 0; p < 3; ++p) {
      if (!l.slave[p]) continue;
      std::snprintf(text, sizeof text, "%4u ", l.sweepSteps[p + 1]);
      line += text;
    }
    std::snprintf(text, sizeof text, "%-4s %4u ", kProcessLabels[l.current < 4 ? l.current : 0], l.stageSteps);
    line += text;
  }
  if (l.columns & kClock)
    line +=
        Formatted("%5.2f ", static_cast<double>(System::Clock() - l.startClock) / (60.0 * System::TicksPerSecond()));
  auto real = [&](uint32_t bit, double value) {
    if (l.columns & bit) line += Formatted("%11.4e ", value);
  };
  real(kMaxUnbalanced, s.unbalancedForce);
  real(kMechRatio, s.forceRatio);
  real(kThermRatio, ModeSettings(kThermalProcess).ratio);
  real(kFluidRatio, ModeSettings(kFluidProcess).ratio);
  real(kDynTime, modes.dynamic ? modes.dynamic->Time() : 0.0);
  real(kCreepTime, modes.creep ? modes.creep->Time() : 0.0);
  real(kCreepRatio, s.forceRatio);
  real(kCreepUnbalanced, s.unbalancedForce);
  real(kThermTime, modes.thermal ? modes.thermal->Time() : 0.0);
  real(kFluidTime, modes.fluid ? modes.fluid->Time() : 0.0);
  real(kTimeStep, s.timestep);
  if (l.columns & kUser) line += UserValue(interp);
  return line;
}

// ---------------------------------------------------------------------------
// The stepping loop

bool Solve::Run(SolveLimits& l, ModelInterpreter& interp) {
  ModelSettings& s = Settings();
  const StepParticipants& participants = CurrentModel().Participants();
  if (!l.fosMode && !l.rolesGiven) AssignRoles(l);
  if (!l.master[0] && !l.master[1] && !l.master[2]) throw QJExcept("No master process active for solve");

  l.current = 0;
  l.stageSteps = 0;
  for (uint32_t& n : l.sweepSteps) n = 0;
  l.startClock = System::Clock();
  if (!l.fosMode) PrintBanner(l, interp);
  Cycle::BeginRun(interp);

  ProcessRestorer restorer(l);
  StageStepper stepper(l, interp);
  // An error or ESC that ends the run is reported below the last status
  // line, not over it (the factor of safety ends its own line).
  struct StatusLineEnd {
    const StageStepper& stepper;
    ModelInterpreter& interp;
    bool fos;
    int pending = std::uncaught_exceptions();
    ~StatusLineEnd() {
      if (fos || std::uncaught_exceptions() == pending || stepper.Last().IsEmpty()) return;
      try {
        interp.WriteLog(stepper.Last().c_str());
        interp << "\n";
      } catch (...) {
      }
    }
  } statusLineEnd{stepper, interp, l.fosMode};
  uint32_t sweep = 1;
  for (;;) {
    // The master stage.
    l.current = 0;
    for (int p = 0; p < 3; ++p)
      if (l.slave[p]) SetProcess(p, false);
    for (int p = 0; p < 3; ++p)
      if (l.master[p]) SetProcess(p, true);
    l.stageSteps = 0;
    while (l.stageSteps < sweep) {
      if (!stepper.Step(0)) return false;
      if (GlobalLimitReached(l)) break;
    }
    l.sweepSteps[0] = l.stageSteps;
    for (int p = 0; p < 3; ++p)
      if (l.master[p]) SetProcess(p, false);

    // The slave stages, each with its process alone.
    bool anySlave = false;
    uint32_t largest = 0;
    for (int p = 0; p < 3; ++p) {
      if (!l.slave[p]) continue;
      anySlave = true;
      l.current = static_cast<uint32_t>(p) + 1;
      SetProcess(p, true);
      l.stageSteps = 0;
      // Every slave stage is bounded by its process's steps per stage: a
      // thermal or fluid stage bounded by the total step limit alone would
      // never end in a transient run, which reaches no ratio limit. A mode's
      // stage also ends at the age asked of this SOLVE.
      const uint32_t limit =
          p == kMechanicalProcess ? static_cast<uint32_t>(std::max(s.substepLimit, 0)) : ModeSettings(p).substeps;
      while (l.stageSteps < limit) {
        if (!stepper.Step(l.current)) return false;
        if (p == kMechanicalProcess ? MechanicalLimitReached(l)
                                    : ModeLimitReached(p) || ModeModule(p)->Time() > l.ageLimit)
          break;
      }
      l.sweepSteps[p + 1] = l.stageSteps;
      largest = std::max(largest, l.stageSteps);
      SetProcess(p, false);
    }

    ++s.solveCount;
    if (s.historyInterval > 0 && static_cast<uint32_t>(s.solveCount) % static_cast<uint32_t>(s.historyInterval) == 0) {
      const uint32_t step = StepCounter();
      participants.ForEach([step](StepParticipant& p) { p.Sample(step); });
    }
    sweep = NextSweep(l, sweep, anySlave, largest);
    restorer.Restore();

    bool stop = GlobalLimitReached(l) || (l.master[kMechanicalProcess] && MechanicalLimitReached(l));
    for (int p = kThermalProcess; p <= kFluidProcess; ++p) stop = stop || (l.master[p] && ModeLimitReached(p));
    stop = stop || (ModuleOn(Modes().chem) && Modes().chem->Time() > Modes().chem->AgeLimit());
    if (!stop) {
      participants.ForEach([](StepParticipant& p) { p.AfterStepShown(); });
      stop = CurrentModel().Script().HaltValue(interp) != 0;
    }
    // The last sweep's arithmetic is checked too: a failed step never ends as a solution.
    CheckMathError(nullptr, kSolveSource, kSolveLine);
    if (stop) break;
  }

  restorer.Restore();
  interp.WriteLog(stepper.Last().c_str());
  if (!l.fosMode) {
    interp << "\n"
           << "Ending at:   " << System::TimeStamp() << "\n";
    interp.flush();
  }
  return true;
}

// ---------------------------------------------------------------------------
// The command

// No limit of any kind would end a run: none in the command, none among
// SET MECHANICAL's limits, no age or ratio limit of a mode.
bool NoLimitInForce(const SolveLimits& l) {
  if (l.clockLimit < kShownBelow || l.ageLimit < kShownBelow || l.ratioLimit != 0.0 || l.forceLimit != 0.0 ||
      l.stepLimit != 0)
    return false;
  const ModelSettings& s = Settings();
  if (s.forceLimit != 0.0 || s.ratioLimit != 0.0 || s.stepLimit < kStepShownBelow) return false;
  const ModePointers& modes = Modes();
  for (const CalcModule* module :
       {static_cast<const CalcModule*>(modes.dynamic), static_cast<const CalcModule*>(modes.creep),
        static_cast<const CalcModule*>(modes.thermal), static_cast<const CalcModule*>(modes.fluid)})
    if (ModuleOn(module) && module->AgeLimit() < kShownBelow) return false;
  for (int p = kThermalProcess; p <= kFluidProcess; ++p) {
    if (!ModuleOn(ModeModule(p))) continue;
    const SolveModeSettings m = ModeSettings(p);
    if (m.ratioLimit != 0.0 || m.stepLimit < static_cast<uint32_t>(kStepShownBelow)) return false;
  }
  return true;
}

void Solve::Command(ModelInterpreter& interp) {
  SolveLimits limits;
  if (interp.HasToken()) limits.Parse(interp);
  if (limits.fos) {
    FactorOfSafety(limits, interp);
  } else if (limits.elastic) {
    Elastic(limits, interp);
  } else {
    // With nothing to end it a run would go on to the step limit of a
    // thousand million: it runs to equilibrium instead.
    if (NoLimitInForce(limits)) limits.ratioLimit = kDefaultRatioLimit;
    Run(limits, interp);
  }
}

void SolveCommand(ModelInterpreter& interp) { Solve::Command(interp); }
