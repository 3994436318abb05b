// GP and ZONE: grid-points and zones made one at a time.
#include <cmath>

#include "base/message.h"
#include "model/grid.h"
#include "model/grid_commands.h"
#include "model/model_interpreter.h"

namespace {

const char* const kZoneTypeWords = "brick wedge pyramid dbrick tetra ";

// "(x,y,z)" in the stream's default notation.
String PositionText(const double p[3]) {
  return "(" + DoubleToString(p[0], 6, 0, 2) + "," + DoubleToString(p[1], 6, 0, 2) + "," +
         DoubleToString(p[2], 6, 0, 2) + ")";
}

// Three reals; a coordinate beyond the range of numbers is a bad conversion.
void ReadPosition(ModelInterpreter& interp, double p[3]) {
  int at = interp.TokenIndex();
  interp.GetVector(p);
  for (int i = 0; i < 3; ++i) {
    if (std::isfinite(p[i])) continue;
    int bad = at + i;
    interp.ThrowParamError(CommandType::kConvert, &bad);
  }
}

// An optional "id" and a positive integer; 0 when the word is not there.
uint32_t ReadOptionalId(ModelInterpreter& interp) {
  int word = 0;
  if (interp.MatchKeyword("id ", word) != CommandType::kOk) return 0;
  int at = interp.TokenIndex();
  int32_t id = interp.GetInt();
  if (id <= 0) interp.ThrowParamError(CommandType::kConvert, &at);
  return static_cast<uint32_t>(id);
}

// One corner of ZONE: "id" and a grid-point id, or a position whose nearest
// grid-point is taken.
GridPoint* ReadCorner(ModelInterpreter& interp) {
  int word = 0;
  if (interp.MatchKeyword("id ", word) == CommandType::kOk) {
    int32_t id = interp.GetInt();
    GridPoint* gp = id > 0 ? FindGridpoint(static_cast<uint32_t>(id)) : nullptr;
    if (!gp) throw QJExcept(MessageText("Gridpoint %s not found", IntToString(id)));
    return gp;
  }
  double p[3];
  ReadPosition(interp, p);
  GridPoint* gp = NearestGridpointAny(p);
  if (!gp) throw QJExcept(MessageText("Gp not found at location %s", PositionText(p)));
  return gp;
}

}  // namespace

void GpCommand(ModelInterpreter& interp) {
  uint32_t id = ReadOptionalId(interp);
  if (id && FindGridpoint(id)) throw QJExcept(MessageText("Gp with ID %s already exists", UIntToString(id)));
  double p[3];
  ReadPosition(interp, p);
  if (GridPoint* old = CoincidentGridpoint(p))
    throw QJExcept(
        MessageText("Gp %s already exists at location %s", UIntToString(old->id), PositionText(old->position)));
  CreateGridPoint(p, id);
}

void ZoneCommand(ModelInterpreter& interp) {
  uint32_t id = ReadOptionalId(interp);
  if (id && FindZone(id)) throw QJExcept(MessageText("Zone ID %s already exists", UIntToString(id)));
  const int type = interp.GetKeyword(kZoneTypeWords) - 1;
  GridPoint* gps[kZoneSlots] = {};
  for (int i = 0; i < ZoneGpCount(type); ++i) gps[i] = ReadCorner(interp);
  CreateZone(type, gps, id);
}
