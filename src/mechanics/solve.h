// SOLVE: runs the calculation until a limit is reached. The stepping loop
// drives the cycle's preparation and step in sweeps of a master stage and
// the slave stages of the mechanical, thermal and fluid processes; SOLVE FOS
// finds the factor of safety by strength reduction and SOLVE ELASTIC brings
// a Mohr-Coulomb model to an elastic equilibrium before it yields.
#pragma once

#include <cstdint>

#include "base/string.h"

class CommandType;
class ModelInterpreter;

// The processes SOLVE coordinates.
enum SolveProcess { kMechanicalProcess = 0, kThermalProcess = 1, kFluidProcess = 2 };

// One SOLVE command's limits and the state of its drivers.
struct SolveLimits {
  static constexpr double kNone = 1.7976931348623157e308;

  double clockLimit = kNone;  // clock ticks (1000 a second)
  double ageLimit = kNone;
  double ratioLimit = 0.0;  // 0: none
  double forceLimit = 0.0;  // 0: none
  uint32_t startClock = 0;  // clock ticks at the start of the stepping loop
  uint32_t startStep = 0;   // the step counter when the record was made
  uint32_t stepLimit = 0;   // 0: none

  bool fos = false;         // SOLVE FOS
  bool associated = false;  // associated flow in the factor-of-safety trials
  String failureFile = String("FoSmode.sav");
  // The strengths the factor-of-safety search reduces.
  bool cohesion = true;
  bool friction = true;
  bool tension = false;
  bool interfaces = false;
  bool elastic = false;  // SOLVE ELASTIC

  // Process roles, indexed by SolveProcess; the drivers may set them.
  bool master[3] = {false, false, false};
  bool slave[3] = {false, false, false};
  bool rolesGiven = false;
  uint32_t current = 0;                   // 0 masters, 1 mechanical, 2 thermal, 3 fluid slave
  uint32_t sweepSteps[4] = {0, 0, 0, 0};  // steps of the last sweep: masters, then each slave
  uint32_t stageSteps = 0;                // steps of the current stage
  uint32_t columns = 0;                   // the status table's columns (bits of the banner's choice)

  // The factor-of-safety search.
  uint32_t trials = 0;
  double lower = 0.0;
  double upper = 0.0;
  uint32_t stage = 0;  // 1 response time, 2 stable, 3 unstable, 4 bracketing
  uint32_t responseSteps = 0;
  double reduction = 0.0;  // 1 / factor; 0 gives the replacement value
  double replacement = 1e20;
  uint32_t trialStart = 0;
  int32_t savedStepLimit = 0;
  double factor = 0.0;
  bool fosMode = false;  // no banner, the search's own status line
  String scratch;
  // The ratio of the trial in progress, watched at every step: its least
  // value in each quarter of a response time, the last five quarters kept.
  struct RatioWatch {
    uint32_t quarter = 0;   // steps of a quarter; 0: nothing is watched
    uint32_t steps = 0;     // steps into the current quarter
    uint32_t quarters = 0;  // quarters completed
    double least = 0.0;     // of the current quarter
    double minima[5] = {};  // of the last five quarters, by quarter number modulo 5
    bool levelled = false;  // the ratio stopped falling: the trial fails
    bool settled = false;   // the ratio falls fast enough to reach the limit: the trial holds
  } watch;

  SolveLimits();
  // The command's words: "clock age ratio force step fos elastic zolthalt".
  void Parse(CommandType& interp);
  // The words after "fos": "associated file include exclude".
  void ParseFos(CommandType& interp);
};

class Solve {
 public:
  // SOLVE with its parameters.
  static void Command(ModelInterpreter& interp);
  // The stepping loop; false when a zone check stopped the preparation.
  static bool Run(SolveLimits& limits, ModelInterpreter& interp);
  static bool GlobalLimitReached(const SolveLimits& limits);
  static bool MechanicalLimitReached(const SolveLimits& limits);
  static void PrintBanner(SolveLimits& limits, CommandType& interp);
  static String StatusLine(const SolveLimits& limits, CommandType& interp);

  // SOLVE FOS.
  static void FactorOfSafety(SolveLimits& limits, ModelInterpreter& interp);
  static void ReduceStrength(const SolveLimits& limits);
  static bool TrialStable(SolveLimits& limits, ModelInterpreter& interp);
  // One step of a trial: the watch takes the step's ratio.
  static void WatchRatio(SolveLimits& limits);
  static void ScaleTetraNormalStress(double factor);
  static void PrintFosHeader(CommandType& interp);
  static String FosStatusLine(const SolveLimits& limits);

  // SOLVE ELASTIC.
  static void Elastic(SolveLimits& limits, ModelInterpreter& interp);
  // The strengths of every Mohr-Coulomb zone made effectively infinite
  // (true) or given back (false).
  static void ToggleElastic(bool elastic);
  static void PrintElasticHeader(CommandType& interp);
};

// The whole model written to a file, or read back from one, without the
// messages of SAVE and RESTORE; SOLVE's scratch and failure-mode files.
// An earlier file of the name is replaced only once the new one is whole.
void SaveModelFile(ModelInterpreter& interp, const String& name);
void RestoreModelFile(ModelInterpreter& interp, const String& name);

// A scratch file of SOLVE's own in the current folder under a name no other
// run takes, removed when the scratch file goes (unless kept).
class ScratchFile {
 public:
  explicit ScratchFile(const char* prefix);
  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  const String& Name() const { return name_; }
  // The file stays: it holds the only copy of the user's model.
  void Keep() { kept_ = true; }

 private:
  String name_;
  bool kept_ = false;
};

// The SOLVE handler among the model words.
void SolveCommand(ModelInterpreter& interp);
