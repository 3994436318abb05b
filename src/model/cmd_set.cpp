// SET of the model level: the model's settings and the calculation modes'
// settings; other items go down to the scripting and general levels.
#include <cmath>

#include "base/command_table.h"
#include "base/message.h"
#include "model/calc_module.h"
#include "model/grid_point.h"
#include "model/model.h"
#include "model/model_interpreter.h"
#include "model/model_settings.h"
#include "model/services.h"

namespace {
// "(x,y,z)", each component in scientific notation.
String VectorText(const double v[3]) {
  return "(" + DoubleToString(v[0], 0, 0, 1) + "," + DoubleToString(v[1], 0, 0, 1) + "," +
         DoubleToString(v[2], 0, 0, 1) + ")";
}

void SetGravity(ModelInterpreter& interp) {
  double* g = Settings().gravity;
  double first = interp.GetReal();
  double y = 0.0;
  if (interp.CheckNumber(&y) != CommandType::kOk) {
    g[0] = 0.0;
    g[1] = 0.0;
    g[2] = -first;
    interp << MessageText("Gravity vector set to %s", VectorText(g)) << "\n";
    return;
  }
  g[0] = first;
  g[1] = y;
  g[2] = interp.GetReal();
}

// SET <mode>: the mode's settings, when the mode is configured.
void SetMode(ModelInterpreter& interp, CalcModule* module, const char* missing) {
  if (!module) throw QJExcept(missing);
  CalcModule::SetLoop(*module, interp);
}

// The substep limit: the integer part of a real. A value beyond 32 bits is a
// bad conversion rather than a wrapped limit.
int32_t SubstepValue(ModelInterpreter& interp) {
  const int at = interp.TokenIndex();
  double value = interp.GetReal();
  double whole = std::trunc(value);
  if (!(whole >= -2147483648.0 && whole <= 2147483647.0)) {
    int index = at;
    interp.ThrowParamError(CommandType::kConvert, &index);
  }
  return static_cast<int32_t>(whole);
}

void SetMechanical(ModelInterpreter& interp) {
  ModelSettings& s = Settings();
  for (;;) {
    bool on = false;
    while (interp.CheckBool(&on) == CommandType::kOk) s.mechanical = on;
    int word = 0;
    if (interp.MatchKeyword("step force ratio substep damp", word) != CommandType::kOk) return;
    switch (word) {
      case 1:
        s.stepLimit = interp.GetInt();
        break;
      case 2:
        s.forceLimit = interp.GetReal();
        break;
      case 3:
        s.ratioLimit = interp.GetReal();
        break;
      case 4: {
        s.substepLimit = SubstepValue(interp);
        int k = 0;
        s.solveSlave = interp.MatchKeyword("automatic slave", k) == CommandType::kOk;
        break;
      }
      default: {
        s.dampingType = interp.GetKeyword("local combined") == 1 ? kLocalDamping : kCombinedDamping;
        interp.CheckNumber(&s.dampingFactor);
        for (GridPoint* gp : GridPointList()) {
          gp->dampingKind = static_cast<uint32_t>(s.dampingType);
          gp->dampingCoefficient = s.dampingFactor;
        }
        break;
      }
    }
  }
}

void SetDisplay(ModelInterpreter& interp) {
  ModelSettings& s = Settings();
  int word = 0;
  if (interp.MatchKeyword("off history", word) == CommandType::kOk) {
    if (word == 1) {
      s.cycleDisplay = false;
      s.displayHistory = nullptr;
      s.displaySymbol = nullptr;
      return;
    }
    int32_t id = interp.GetInt();
    History* history = FindHistoryById(id);
    if (!history) throw QJExcept(MessageText("History %s not found", IntToString(id)));
    s.displayHistory = history;
    s.displaySymbol = nullptr;
    s.cycleDisplay = true;
    return;
  }
  ZoltSymbol* symbol = SymbolAtToken(interp);
  if (!symbol) interp.ThrowParamError(interp.HasToken() ? CommandType::kUnrecognized : CommandType::kMissing);
  s.displaySymbol = symbol;
  s.displayHistory = nullptr;
  s.cycleDisplay = true;
}

void SetChemistry(ModelInterpreter& interp) {
  ChemCalcModule& chem = CheckChemConfigured();
  if (chem.Set(interp) == CommandType::kOk) return;
  for (;;) {
    int word = 0;
    if (interp.MatchKeyword("unitherm sttable gibbsoptions", word) != CommandType::kOk) return;
    String text;
    bool given = interp.CheckString(&text) == CommandType::kOk;
    switch (word) {
      case 1:
        if (given && !chem.SetApplicationPath(&text)) throw QJExcept("Error finding unitherm location.");
        break;
      case 2:
        if (given && !chem.ReadResultFile(&text)) throw QJExcept("Error finding ST file.");
        break;
      default:
        chem.SetGibbsOptions(given ? &text : nullptr);
        break;
    }
  }
}

void SetTrack(ModelInterpreter& interp) {
  const CalcModule* fluid = Modes().fluid;
  if (!fluid) throw QJExcept("Not configured for fluid flow calculation.");
  if (!fluid->On()) throw QJExcept("Fluid flow must be turned on for particle tracking option.");
  Settings().tracking = interp.GetBool();
}

void SetHistRep(ModelInterpreter& interp) { Settings().historyInterval = interp.GetInt(); }

void SetLarge(ModelInterpreter&) {
  ModelSettings& s = Settings();
  if (!s.largeStrain) CurrentModel().Structures().ResetNodePositions();
  s.largeStrain = true;
}

void SetSmall(ModelInterpreter&) { Settings().largeStrain = false; }
void SetPinterval(ModelInterpreter& interp) { Settings().plotInterval = interp.GetInt(); }
void SetDynamic(ModelInterpreter& interp) {
  SetMode(interp, Modes().dynamic, "Not configured for dynamic calculation");
}
void SetCreep(ModelInterpreter& interp) { SetMode(interp, Modes().creep, "Not configured for creep calculation"); }
void SetThermal(ModelInterpreter& interp) {
  SetMode(interp, Modes().thermal, "Not configured for thermal calculation");
}
void SetRatio(ModelInterpreter& interp) { Settings().ratioType = interp.GetKeyword("average maximum local") - 1; }

// SET FLUID and its older name SET FLOW.
void SetFluid(ModelInterpreter& interp) {
  SetMode(interp, Modes().fluid, "Not configured for fluid flow calculation");
  Settings().porePressure = true;
}

void SetGeomRep(ModelInterpreter& interp) { Settings().geometryInterval = interp.GetInt(); }
void SetAnimation(ModelInterpreter& interp) { SetPlotAnimation(interp.GetBool()); }

void SetGeometry(ModelInterpreter& interp) {
  const double t = interp.GetReal();
  Settings().geometryRatio = t < 0.0 ? 0.0 : t;
}

// The model level's SET items; other items go down to the levels below.
CommandTable<ModelCommandHandler> g_setItems("model set", {{"gravity", &SetGravity},
                                                           {"hist_rep", &SetHistRep},
                                                           {"large", &SetLarge},
                                                           {"small", &SetSmall},
                                                           {"pinterval", &SetPinterval},
                                                           {"dynamic", &SetDynamic},
                                                           {"creep", &SetCreep},
                                                           {"thermal", &SetThermal},
                                                           {"mechanical", &SetMechanical},
                                                           {"ratio", &SetRatio},
                                                           {"fluid", &SetFluid},
                                                           {"geom_rep", &SetGeomRep},
                                                           {"display", &SetDisplay},
                                                           {"animation", &SetAnimation},
                                                           {"flow", &SetFluid},
                                                           {"geometry", &SetGeometry},
                                                           {"chem", &SetChemistry},
                                                           {"track", &SetTrack}});
}  // namespace

int ModelInterpreter::Set() {
  int word = 0;
  if (MatchKeyword(g_setItems.Keywords(), word) != kOk) return CommandType::Set();
  g_setItems.HandlerOf(word)(*this);
  return kOk;
}
