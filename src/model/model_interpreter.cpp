#include "model/model_interpreter.h"

#include "base/message.h"

namespace {
// The model's first words. "call", "print" and "new" stand first so that
// their abbreviations win ("c" is CALL, "p" PRINT, "n" NEW) and are handed
// on to the levels below.
const char* const kModelWords =
    "call print new step initial cycle history property fix free gp grid generate model group apply solve "
    "water delete config interface moo region attach gpattach table plot range zone sel body geom_test "
    "track impgrid expgrid pdelete chem movie";

enum ModelWord {
  kCall = 1, kPrint, kNew, kStep, kInitial, kCycle, kHistory, kProperty, kFix, kFree, kGp, kGrid,
  kGenerate, kModel, kGroup, kApply, kSolve, kWater, kDelete, kConfig, kInterface, kMoo, kRegion,
  kAttach, kGpattach, kTable, kPlot, kRange, kZone, kSel, kBody, kGeomTest, kTrack, kImpgrid,
  kExpgrid, kPdelete, kChem, kMovie
};

// A command whose subsystem is not part of this version yet.
[[noreturn]] void NotAvailable(const String& word) {
  String upper(word);
  upper.ToUpper();
  throw QJExcept(MessageText("%s is not available in this version", upper));
}
}  // namespace

int ModelInterpreter::Command() {
  TokenIndex() = 0;
  int word = 0;
  if (MatchKeyword(kModelWords, word) != kOk) return ZoltInterpreter::Execute();
  switch (word) {
    case kCall:
    case kPrint:
    case kNew:
      --TokenIndex();
      return ZoltInterpreter::Execute();
    case kMoo:
      // Interface integrity listing: no interfaces exist in this version.
      *this << "\n";
      return kDone;
    default: {
      String name;
      const char* p = kModelWords;
      for (int n = 1; *p; ++n) {
        const char* e = p;
        while (*e && *e != ' ') ++e;
        if (n == word) name = String(p, static_cast<int>(e - p));
        p = *e ? e + 1 : e;
      }
      NotAvailable(name);
    }
  }
}
