#include "model/model_interpreter.h"

#include <cstring>

#include "base/command_table.h"
#include "base/message.h"
#include "base/range_named.h"
#include "model/calc_module.h"
#include "model/grid_commands.h"
#include "model/services.h"
#include "model/zone_models.h"

namespace {

// Marks "call", "print" and "new": the word is read again by the levels below.
void HandDown(ModelInterpreter&) {}

void Config(ModelInterpreter& interp) { ConfigCommand(interp); }

void RangeWord(ModelInterpreter& interp) { RangeCommand(interp); }

// The interface integrity listing: one empty line (the interfaces add the
// corrupted ones when they install their own).
void Moo(ModelInterpreter& interp) { interp << "\n"; }

// The model's first words. "call", "print" and "new" stand first so that
// their abbreviations win ("c" is CALL, "p" PRINT, "n" NEW).
CommandTable<ModelCommandHandler> g_modelWords("model", {
                                                            {"call", &HandDown},
                                                            {"print", &HandDown},
                                                            {"new", &HandDown},
                                                            {"step"},
                                                            {"initial"},
                                                            {"cycle"},
                                                            {"history"},
                                                            {"property", &PropertyCommand},
                                                            {"fix"},
                                                            {"free"},
                                                            {"gp", &GpCommand},
                                                            {"grid"},
                                                            {"generate"},
                                                            {"model", &ModelCommand},
                                                            {"group", &GroupCommand},
                                                            {"apply"},
                                                            {"solve"},
                                                            {"water"},
                                                            {"delete"},
                                                            {"config", &Config},
                                                            {"interface"},
                                                            {"moo", &Moo},
                                                            {"region", &GroupCommand},
                                                            {"attach"},
                                                            {"gpattach"},
                                                            {"table"},
                                                            {"plot"},
                                                            {"range", &RangeWord},
                                                            {"zone", &ZoneCommand},
                                                            {"sel", kNotAvailable},
                                                            {"body"},
                                                            {"geom_test", &GeomTestCommand},
                                                            {"track"},
                                                            {"impgrid"},
                                                            {"expgrid"},
                                                            {"pdelete"},
                                                            {"chem"},
                                                            {"movie"},
                                                        });

// The words after which the views are told what changed.
struct ViewChange {
  const char* word;
  uint32_t code;
};
constexpr ViewChange kViewChanges[] = {{"history", 16}, {"generate", 4}, {"table", 32}};

}  // namespace

void InstallModelCommand(const char* keyword, ModelCommandHandler handler) { g_modelWords.Install(keyword, handler); }

int ModelInterpreter::Command() {
  TokenIndex() = 0;
  int number = 0;
  if (MatchKeyword(g_modelWords.Keywords(), number) != kOk) return CommandType::Execute();
  const char* word = g_modelWords.Word(number);
  const ModelCommandHandler handler = g_modelWords.HandlerOf(number);
  if (handler == &HandDown) {
    --TokenIndex();
    return CommandType::Execute();
  }
  if (std::strcmp(word, "track") == 0) {
    const CalcModule* fluid = Modes().fluid;
    if (!fluid || !fluid->On()) throw QJExcept("Fluid flow must be turned on for particle tracking.");
  }
  if (!handler) throw QJExcept(MessageText("%s is not available in this version", g_modelWords.UpperName(number)));
  handler(*this);
  for (const ViewChange& change : kViewChanges)
    if (std::strcmp(word, change.word) == 0) NotifyAllViews(change.code);
  return kDone;
}
