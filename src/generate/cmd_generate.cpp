// GENERATE: the sub-mode, the dispatch of its sub-commands, reference points
// and the volume tests.
#include "generate/cmd_generate.h"

#include <array>
#include <cstring>

#include "base/except.h"
#include "base/message.h"
#include "base/keyword_table.h"
#include "generate/gen_geometry.h"
#include "generate/gen_surface.h"
#include "model/model_interpreter.h"

namespace {
// The sub-commands, numbered from 1 in this order.
const char* const kGenerateWords = "zone surface point print test merge quit stop topograph separate";
enum GenerateWord { kZone = 1, kSurface, kPoint, kPrint, kTest, kMerge, kQuit, kStop, kTopograph, kSeparate };

const char* const kTestWords = "vclo inv";

KeywordHandlers<GenerateSubCommand>& SubCommands() {
  static KeywordHandlers<GenerateSubCommand> handlers(kGenerateWords);
  return handlers;
}

void EndSubMode(CommandType& interp) { interp.SetCommandPrefix(String(), String()); }

// Runs an installed sub-command, or reports that it is not there.
void RunInstalled(ModelInterpreter& interp, int word) {
  if (GenerateSubCommand handler = SubCommands().Find(word)) {
    handler(interp);
    return;
  }
  throw QJExcept(MessageText("GENERATE %s is not available in this version", SubCommands().UpperName(word)));
}
}  // namespace

void InstallGenerateSubCommand(const char* keyword, GenerateSubCommand handler) {
  SubCommands().Install(keyword, handler);
}

void GenerateCommand(ModelInterpreter& interp) {
  if (!interp.HasToken()) {
    // Alone it starts the sub-mode; in the sub-mode an empty line ends it.
    if (interp.CommandPrefix().IsEmpty()) interp.SetCommandPrefix(String("generate"), String("   Gen>"));
    else EndSubMode(interp);
    return;
  }
  const int word = interp.GetKeyword(kGenerateWords);
  switch (word) {
    case kSurface: SurfaceCommand(interp); break;
    case kPoint: GenPointCommand(interp); break;
    case kPrint:
      if (const GenGeometry* store = ActiveGenGeometry()) store->Print(interp);
      break;
    case kTest: GenTestCommand(interp); break;
    case kQuit:
    case kStop: EndSubMode(interp); break;
    default: RunInstalled(interp, word); break;
  }
}

void GenPointCommand(CommandType& interp) {
  GenGeometry* store = ActiveGenGeometry();
  if (!store) return;
  bool hasId = false;
  int32_t id = 0;
  int word = 0;
  if (interp.MatchKeyword("id", word) == CommandType::kOk) {
    id = interp.GetInt();
    hasId = true;
  }
  double v[3];
  interp.GetVector(v);
  store->PlacePoint(Vec3{v[0], v[1], v[2]}, hasId, id);
}

void GenTestCommand(CommandType& interp) {
  const int word = interp.GetKeyword(kTestWords);
  double p[3];
  interp.GetVector(p);
  const GenGeometry* store = ActiveGenGeometry();
  if (!store) return;
  for (const GenVolume* v : store->Volumes()) {
    if (word == 1) {
      GenTriangle* nearest = nullptr;
      const Vec3 q = v->Closest(Vec3{p[0], p[1], p[2]}, &nearest);
      interp << " Volume " << v->Number() << " Closest is " << GenVectorText(q, 5, 0, 1) << " Surface "
             << (nearest ? nearest->Id() : 0) << "\n";
    } else {
      interp << (GenVolume::Contains(v, p) ? " Inside " : "OutSide ") << "Volume " << v->Number() << "!" << "\n";
    }
  }
  interp.flush();
}

void PrintGenerate(ModelInterpreter& interp) {
  if (const GenGeometry* store = ActiveGenGeometry()) store->Print(interp);
}
