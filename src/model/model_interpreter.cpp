#include "model/model_interpreter.h"


#include "base/keyword_table.h"
#include "base/message.h"
#include "base/range_named.h"
#include "model/calc_module.h"
#include "model/services.h"

namespace {
// The model's first words. "call", "print" and "new" stand first so that
// their abbreviations win ("c" is CALL, "p" PRINT, "n" NEW); they are handed
// on to the levels below.
const char* const kModelWords =
    "call print new step initial cycle history property fix free gp grid generate model group apply solve "
    "water delete config interface moo region attach gpattach table plot range zone sel body geom_test "
    "track impgrid expgrid pdelete chem movie";

enum ModelWord {
  kCall = 1, kPrint, kNew, kHistory = 7, kGenerate = 13, kConfig = 20, kMoo = 22, kTable = 26, kRange = 28, kTrack = 33
};

// View change codes sent after the commands that change what the views show.
constexpr uint32_t kGenerateChanged = 4;
constexpr uint32_t kHistoryChanged = 16;
constexpr uint32_t kTableChanged = 32;

KeywordHandlers<ModelCommandHandler>& Handlers() {
  static KeywordHandlers<ModelCommandHandler> handlers(kModelWords);
  return handlers;
}
}  // namespace

void InstallModelCommand(const char* keyword, ModelCommandHandler handler) { Handlers().Install(keyword, handler); }

int ModelInterpreter::Command() {
  TokenIndex() = 0;
  int word = 0;
  if (MatchKeyword(kModelWords, word) != kOk) return CommandType::Execute();
  switch (word) {
    case kCall:
    case kPrint:
    case kNew:
      --TokenIndex();
      return CommandType::Execute();
    case kConfig:
      ConfigCommand(*this);
      return kDone;
    case kRange:
      RangeCommand(*this);
      return kDone;
    case kMoo:
      // Interface integrity listing: one empty line, then the corrupted interfaces.
      *this << "\n";
      return kDone;
    case kTrack: {
      const CalcModule* fluid = Modes().fluid;
      if (!fluid || !fluid->On()) throw QJExcept("Fluid flow must be turned on for particle tracking.");
      break;
    }
    default:
      break;
  }
  if (ModelCommandHandler handler = Handlers().Find(word)) {
    handler(*this);
    if (word == kHistory) NotifyAllViews(kHistoryChanged);
    else if (word == kGenerate) NotifyAllViews(kGenerateChanged);
    else if (word == kTable) NotifyAllViews(kTableChanged);
    return kDone;
  }
  throw QJExcept(MessageText("%s is not available in this version", Handlers().UpperName(word)));
}
