// GROUP (and REGION): gives the zones of a range a group and the group a
// colour; PRINT GROUP lists the groups with their use counts.
#include <iomanip>
#include <ios>

#include "base/color.h"
#include "base/message.h"
#include "base/range.h"
#include "base/stream.h"
#include "model/grid.h"
#include "model/grid_commands.h"
#include "model/model.h"
#include "model/model_interpreter.h"
#include "model/services.h"

namespace {
constexpr uint32_t kGroupsChanged = 0x1000000;

bool IsRemainder(const String& word) {
  String lower = word;
  lower.ToLower();
  return lower.str() == "remainder";
}
}  // namespace

void GroupCommand(ModelInterpreter& interp) {
  if (!interp.HasToken()) throw CommandType::MissingExcept(interp.TokenIndex());
  Range range;
  range.Parse(interp);
  String name = interp.GetString();
  const bool remainder = IsRemainder(name);
  if (remainder) name = interp.GetString();
  Color color;
  int code = color.Parse(interp);
  if (code != CommandType::kOk && code != CommandType::kMissing) interp.ThrowParamError(code);
  const bool colored = code == CommandType::kOk;

  Group* group = FindOrCreateGroup(name);
  if (colored && group) {
    group->SetColor(color);
    interp << MessageText(" Group assigned color %s", color.Name()) << "\n";
  }
  int32_t count = 0;
  for (Zone* z : ZoneList()) {
    if (remainder && z->GetGroup()) continue;
    if (!range.IsIn(z)) continue;
    z->SetGroup(group);
    ++count;
  }
  interp << MessageText(" Group name %s assigned to %s zones", name, IntToString(count)) << "\n";
  if (count > 0) NotifyAllViews(kGroupsChanged);
}

void PrintGroup(ModelInterpreter& interp) {
  for (Group* g : GroupList()) g->zoneCount = g->selCount = g->gpCount = 0;
  for (Zone* z : ZoneList())
    if (Group* g = z->GetGroup()) ++g->zoneCount;
  CurrentModel().Structures().CountGroupElements();
  for (GridPoint* gp : GridPointList())
    for (int s = 0; s < GridPoint::kGroupSlots; ++s)
      if (Group* g = gp->GroupSlot(s)) ++g->gpCount;

  PageGuard guard(interp);
  const std::ios::fmtflags flags = interp.flags();
  interp << "  Group                Zones SELs  Gps  Color\n  -------------------- ----- ---- ----- --------\n";
  interp.SetPageHeader(interp.LastText());
  interp.setf(std::ios::left, std::ios::adjustfield);
  for (Group* g : GroupList()) {
    interp << "  " << std::setw(20) << g->Name().str() << " " << std::setw(5) << g->zoneCount << " " << std::setw(4)
           << g->selCount << " " << std::setw(4) << g->gpCount;
    if (const Color* c = g->GetColor()) interp << " " << c->Name();
    interp << "\n";
  }
  interp.flush();
  interp.flags(flags);
}
