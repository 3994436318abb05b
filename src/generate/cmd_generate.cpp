// GENERATE: the sub-mode, the dispatch of its sub-commands, reference points
// and the volume tests.
#include "generate/cmd_generate.h"

#include <array>
#include <cstring>

#include "base/command_table.h"
#include "base/except.h"
#include "base/message.h"
#include "generate/gen_geometry.h"
#include "generate/gen_surface.h"
#include "generate/gen_zone.h"
#include "generate/grid_edit.h"
#include "model/model_interpreter.h"

namespace {

const char* const kTestWords = "vclo inv";

void EndSubMode(CommandType& interp) { interp.SetCommandPrefix(String(), String()); }

void Print(ModelInterpreter& interp) {
  if (const GenGeometry* store = ActiveGenGeometry()) store->Print(interp);
}

// The sub-commands of GENERATE.
CommandTable<GenerateSubCommand> g_generateWords("generate",
                                                 {
                                                     {"zone", &GenerateZoneCommand},
                                                     {"surface", [](ModelInterpreter& in) { SurfaceCommand(in); }},
                                                     {"point", [](ModelInterpreter& in) { GenPointCommand(in); }},
                                                     {"print", &Print},
                                                     {"test", [](ModelInterpreter& in) { GenTestCommand(in); }},
                                                     {"merge", &MergeCommand},
                                                     {"quit", [](ModelInterpreter& in) { EndSubMode(in); }},
                                                     {"stop", [](ModelInterpreter& in) { EndSubMode(in); }},
                                                     {"topograph"},
                                                     {"separate", &SeparateCommand},
                                                 });

}  // namespace

void InstallGenerateSubCommand(const char* keyword, GenerateSubCommand handler) {
  g_generateWords.Install(keyword, handler);
}

void GenerateCommand(ModelInterpreter& interp) {
  if (!interp.HasToken()) {
    // Alone it starts the sub-mode; in the sub-mode an empty line ends it.
    if (interp.CommandPrefix().IsEmpty())
      interp.SetCommandPrefix(String("generate"), String("   Gen>"));
    else
      EndSubMode(interp);
    return;
  }
  const int word = interp.GetKeyword(g_generateWords.Keywords());
  const GenerateSubCommand handler = g_generateWords.HandlerOf(word);
  if (!handler)
    throw QJExcept(MessageText("GENERATE %s is not available in this version", g_generateWords.UpperName(word)));
  handler(interp);
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
      interp << (GenVolume::Contains(v, p) ? " Inside " : "OutSide ") << "Volume " << v->Number() << "!"
             << "\n";
    }
  }
  interp.flush();
}

void PrintGenerate(ModelInterpreter& interp) {
  if (const GenGeometry* store = ActiveGenGeometry()) store->Print(interp);
}
