// PRINT of the model level: the model's own listings, the calculation modes'
// settings and the listings of the subsystems that own the data; other words
// go down to the scripting and general levels.
#include <cstring>
#include <iomanip>
#include <ios>

#include "base/command_table.h"
#include "base/message.h"
#include "base/range.h"
#include "base/range_named.h"
#include "base/stream.h"
#include "model/calc_module.h"
#include "model/grid_commands.h"
#include "model/model_interpreter.h"
#include "model/model_settings.h"
#include "model/print_models.h"
#include "model/zone_models.h"

namespace {

// The range phrase of PRINT: from the first word that abbreviates "range" to
// the end of the command. It replaces the print range, and the listings see
// only the words before it. True when the command carries one.
bool TakeRangePhrase(ModelInterpreter& interp) {
  if (interp.FindToken("range") < 0) return false;
  PrintRange().Parse(interp);
  return true;
}

void PrintMode(ModelInterpreter& interp, CalcModule* module, const char* missing) {
  if (!module) throw QJExcept(missing);
  module->Print(interp);
}

void PrintFos(ModelInterpreter& interp) {
  const ModelSettings& s = Settings();
  if (s.fosKnown)
    interp << " Factor of Safety is : " << DoubleToString(s.fos, 2, 1, 0) << "\n";
  else
    interp << "*** FoS not available "
           << "\n";
}

void Nothing(ModelInterpreter&) {}
void Region(ModelInterpreter& in);
void Dynamic(ModelInterpreter& in) { PrintMode(in, Modes().dynamic, "Dynamic mode not available"); }
void Creep(ModelInterpreter& in) { PrintMode(in, Modes().creep, "Creep mode not available"); }
void Thermal(ModelInterpreter& in) { PrintMode(in, Modes().thermal, "Thermal mode not available"); }
void Fluid(ModelInterpreter& in) { PrintMode(in, Modes().fluid, "Fluid flow mode not available"); }

// The listings of PRINT at the model level.
CommandTable<ModelPrintHandler> g_printWords("model print",
                                             {
                                                 {"zone", &PrintZone},
                                                 {"gp", &PrintGp},
                                                 {"tetra", &PrintTetra},
                                                 {"group", &PrintGroup},
                                                 {"apply"},
                                                 {"cable", &Nothing},
                                                 {"water"},
                                                 {"range", &Nothing},
                                                 {"dynamic", &Dynamic},
                                                 {"creep", &Creep},
                                                 {"interface"},
                                                 {"mechanical", &PrintMechanical},
                                                 {"thermal", &Thermal},
                                                 {"region", &Region},
                                                 {"struct", &Nothing},
                                                 {"attach"},
                                                 {"fluid", &Fluid},
                                                 {"generate"},
                                                 {"history"},
                                                 {"rlist", [](ModelInterpreter& in) { PrintRangeList(in); }},
                                                 {"table"},
                                                 {"model", [](ModelInterpreter& in) { PrintModels(in); }},
                                                 {"sel", kNotAvailable},
                                                 {"flow", &Fluid},
                                                 {"fos", &PrintFos},
                                                 {"track"},
                                                 {"chem", &PrintChem},
                                             });

// REGION lists as GROUP does.
void Region(ModelInterpreter& in) { g_printWords.HandlerOf("group")(in); }

}  // namespace

void InstallModelPrint(const char* keyword, ModelPrintHandler handler) { g_printWords.Install(keyword, handler); }

int ModelInterpreter::Print() {
  const bool ranged = TakeRangePhrase(*this);
  int word = 0;
  int code = MatchKeyword(g_printWords.Keywords(), word);
  if (code == kMissing) {
    if (ranged) ++TokenIndex();
    return CommandType::Print();
  }
  if (code != kOk) return CommandType::Print();
  const ModelPrintHandler handler = g_printWords.HandlerOf(word);
  if (!handler) throw QJExcept(MessageText("PRINT %s is not available in this version", g_printWords.UpperName(word)));
  handler(*this);
  return kOk;
}

// The settings and the current state of the mechanical calculation.
void PrintMechanical(ModelInterpreter& interp) {
  const ModelSettings& s = Settings();
  PageGuard guard(interp);
  FormatKeeper keeper(interp);
  interp << MessageText("Mechanical Model Information") << "\n";
  interp.SetPageHeader(interp.LastText());
  interp << "  Mechanical Calculation      : " << OnOffText(s.mechanical) << "\n";
  interp << "  Large Strain Mode           : " << OnOffText(s.largeStrain) << "\n";
  interp << "  SOLVE Slave                 : " << OnOffText(s.solveSlave) << "\n";
  interp << "  Step SOLVE limit            : " << s.stepLimit << "\n";
  interp << std::scientific << std::setprecision(5);
  interp << "  FOB SOLVE limit             : " << std::setw(13) << s.forceLimit << "\n";
  interp << "  Ratio SOLVE limit           : " << std::setw(13) << s.ratioLimit << "\n";
  interp << "  Substep SOLVE limit         : " << s.substepLimit << "\n";
  const char* damping = s.dampingType == kLocalDamping ? "Local" : "";
  if (s.dampingType == kCombinedDamping) damping = "Combined";
  interp << "  Static Damping Type         : " << damping << "\n";
  interp << std::fixed << std::setprecision(3);
  interp << "  Local Damping Factor        : " << s.dampingFactor << "\n";
  interp << "  Geometry Update             : " << s.geometryInterval << "\n";
  interp << std::scientific << std::setprecision(5);
  interp << "  Out of balance force        : " << std::setw(13) << s.unbalancedForce << "\n";
  interp << "  Mechanical force ratio      : " << std::setw(13) << s.forceRatio << "\n";
  interp.flush();
}
