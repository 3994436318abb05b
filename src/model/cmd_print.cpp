// PRINT of the model level: the model's own listings, the calculation modes'
// settings and the listings of the subsystems that own the data; other words
// go down to the scripting and general levels.
#include <cstring>
#include <ios>
#include <iomanip>

#include "base/keyword_table.h"
#include "base/message.h"
#include "base/range.h"
#include "base/range_named.h"
#include "base/stream.h"
#include "model/calc_module.h"
#include "model/print_models.h"
#include "model/model_interpreter.h"
#include "model/model_settings.h"

namespace {
// The first entry only keeps the real keywords numbered from 2.
const char* const kPrintWords =
    "@@@@@@@@@@@ zone gp tetra group apply cable water range dynamic creep interface mechanical thermal "
    "region struct attach fluid generate history rlist table model sel flow fos track chem";

enum PrintWord {
  kPlaceholder = 1, kZone, kGp, kTetra, kGroup, kApply, kCable, kWater, kRange, kDynamic, kCreep, kInterface,
  kMechanical, kThermal, kRegion, kStruct, kAttach, kFluid, kGenerate, kHistory, kRlist, kTable, kModel, kSel,
  kFlow, kFos, kTrack, kChem
};

KeywordHandlers<ModelPrintHandler>& PrintHandlers() {
  static KeywordHandlers<ModelPrintHandler> handlers(kPrintWords);
  return handlers;
}

// Runs the handler installed for a listing, or reports that it is missing.
void RunListing(ModelInterpreter& interp, int word) {
  if (ModelPrintHandler handler = PrintHandlers().Find(word)) {
    handler(interp);
    return;
  }
  throw QJExcept(MessageText("PRINT %s is not available in this version", PrintHandlers().UpperName(word)));
}

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
  if (s.fosKnown) interp << " Factor of Safety is : " << DoubleToString(s.fos, 2, 1, 0) << "\n";
  else interp << "*** FoS not available " << "\n";
}
}  // namespace

void InstallModelPrint(const char* keyword, ModelPrintHandler handler) { PrintHandlers().Install(keyword, handler); }

int ModelInterpreter::Print() {
  const bool ranged = TakeRangePhrase(*this);
  int word = 0;
  int code = MatchKeyword(kPrintWords, word);
  if (code == kMissing) {
    if (ranged) ++TokenIndex();
    return CommandType::Print();
  }
  if (code != kOk) return CommandType::Print();
  ModePointers& modes = Modes();
  switch (word) {
    case kPlaceholder:
    case kCable:
    case kStruct:
    case kRange:
      break;
    case kDynamic: PrintMode(*this, modes.dynamic, "Dynamic mode not available"); break;
    case kCreep: PrintMode(*this, modes.creep, "Creep mode not available"); break;
    case kThermal: PrintMode(*this, modes.thermal, "Thermal mode not available"); break;
    case kFluid:
    case kFlow:
      PrintMode(*this, modes.fluid, "Fluid flow mode not available");
      break;
    case kMechanical: PrintMechanical(*this); break;
    case kFos: PrintFos(*this); break;
    case kRegion: RunListing(*this, kGroup); break;
    case kRlist: PrintRangeList(*this); break;
    case kModel: PrintModels(*this); break;
    default: RunListing(*this, word); break;
  }
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
  interp << "  Static Damping Type         : "
         << (s.dampingType == 0 ? "Local" : s.dampingType == 2 ? "Combined" : "") << "\n";
  interp << std::fixed << std::setprecision(3);
  interp << "  Local Damping Factor        : " << s.dampingFactor << "\n";
  interp << "  Geometry Update             : " << s.geometryInterval << "\n";
  interp << std::scientific << std::setprecision(5);
  interp << "  Out of balance force        : " << std::setw(13) << s.unbalancedForce << "\n";
  interp << "  Mechanical force ratio      : " << std::setw(13) << s.forceRatio << "\n";
  interp.flush();
}
