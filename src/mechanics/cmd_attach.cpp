// ATTACH and PRINT ATTACH: single ties typed by the user, the deletion of
// ties in a range, the options of the automatic face search, and the
// listing of the ties.
#include "mechanics/cmd_attach.h"

#include <cmath>
#include <iomanip>
#include <ios>
#include <memory>

#include "base/except.h"
#include "base/message.h"
#include "base/range.h"
#include "base/range_named.h"
#include "base/stream.h"
#include "mechanics/attach_condition.h"
#include "model/grid.h"
#include "model/model_interpreter.h"

namespace {

const char* const kAttachWords = "gp face delete";
enum AttachWord { kGpWord = 1, kFaceWord, kDeleteWord };
const char* const kMasterWords = "gp edge face";
enum MasterWord { kMasterGp = 1, kMasterEdge, kMasterFace };

// An optional keyword at the current place: true (and taken) when the next
// token abbreviates it; other tokens stay for what follows.
bool Optional(ModelInterpreter& interp, const char* word) {
  int n = 0;
  return interp.HasToken() && interp.MatchKeyword(word, n) == CommandType::kOk;
}

// Words left over after the last optional keyword are not understood.
void EndOfCommand(ModelInterpreter& interp) {
  if (interp.HasToken()) interp.ThrowParamError(CommandType::kUnrecognized);
}

GridPoint* ReadGridPoint(ModelInterpreter& interp) {
  const int32_t id = interp.GetInt();
  GridPoint* gp = id > 0 ? FindGridpoint(static_cast<uint32_t>(id)) : nullptr;
  if (!gp) throw QJExcept(MessageText("Gp %s does not exist", IntToString(id)));
  return gp;
}

// The face's weights as typed, each divided by their sum. A three-cornered
// face has no fourth corner to weigh.
FaceWeights ReadFaceWeights(ModelInterpreter& interp, const ZoneFace& face) {
  FaceWeights w;
  double sum = 0.0;
  for (double& value : w.weight) {
    value = interp.GetReal();
    sum += value;
  }
  if (face.GpCount() == 3 && w.weight[3] != 0.0)
    throw AttachExcept(MessageText("Face %s,%s has three corners: its fourth weight must be 0",
                                   UIntToString(face.GetZone()->Id()), IntToString(face.Face())));
  if (sum == 0.0) throw AttachExcept("Attach weights sum to zero");
  for (double& value : w.weight) value /= sum;
  return w;
}

// ATTACH gp id (gp | edge | face) ...: one tie. A tie that would make its
// slave depend on itself is dropped without a word.
void SingleTie(ModelInterpreter& interp) {
  GridPoint* slave = ReadGridPoint(interp);
  const int kind = interp.GetKeyword(kMasterWords);
  GridPoint* master = nullptr;
  GridPoint* a = nullptr;
  GridPoint* b = nullptr;
  double edgeWeight = -1.0;
  std::unique_ptr<ZoneFace> face;
  bool weighted = false;
  FaceWeights faceWeights;
  switch (kind) {
    case kMasterGp:
      master = ReadGridPoint(interp);
      break;
    case kMasterEdge:
      a = ReadGridPoint(interp);
      b = ReadGridPoint(interp);
      if (Optional(interp, "weight")) edgeWeight = interp.GetReal();
      break;
    default: {
      const int32_t zoneId = interp.GetInt();
      const int32_t number = interp.GetInt();
      if (number < 0 || number >= kZoneFaces) throw AttachExcept("Illegal face number");
      Zone* zone = zoneId > 0 ? FindZone(static_cast<uint32_t>(zoneId)) : nullptr;
      if (!zone) throw AttachExcept(MessageText("Zone %s does not exist", IntToString(zoneId)));
      // A face slot that collapses to an edge or a point is no face to tie to.
      if (zone->FaceGpCount(number) < 3) throw AttachExcept("Illegal face number");
      face = std::make_unique<ZoneFace>(zone, number);
      if (Optional(interp, "weight")) {
        faceWeights = ReadFaceWeights(interp, *face);
        weighted = true;
      }
      break;
    }
  }
  const bool snap = Optional(interp, "snap");
  EndOfCommand(interp);

  std::unique_ptr<AttachCondition> tie;
  if (kind == kMasterGp)
    tie = std::make_unique<AttachGp>(slave, master, snap);
  else if (kind == kMasterEdge)
    tie = std::make_unique<AttachEdge>(slave, a, b, edgeWeight, snap);
  else
    tie = std::make_unique<AttachFace>(slave, *face, weighted ? &faceWeights : nullptr, snap);
  if (tie->DependsOn(slave)) return;
  AttachCondition* made = tie.release();
  GlobalAttachList().Add(made);
  if (snap) made->UpdatePosition();

  FormatKeeper keeper(interp);
  interp.unsetf(std::ios::floatfield);
  interp.precision(6);
  interp << "Gp " << slave->id;
  if (kind == kMasterGp) {
    interp << " slaved to Gp " << master->id << "\n";
  } else if (kind == kMasterEdge) {
    interp << " slaved to edge " << a->id << " to " << b->id << "\n";
    interp << "  Weight is " << static_cast<AttachEdge*>(made)->Weight() << "\n";
  } else {
    const double* w = static_cast<AttachFace*>(made)->Weights().weight;
    interp << " slaved to face " << face->GetZone()->Id() << "," << face->Face() << "\n";
    interp << "  Weight is " << w[0] << "," << w[1] << "," << w[2] << "," << w[3] << "\n";
  }
  if (snap)
    interp << "   Snap is active"
           << "\n";
  interp.flush();
}

// ATTACH face [global] [tolerance t] [nosnap] [angtol a]: the options in
// that order, then the search.
void FaceSearch(ModelInterpreter& interp, const Range& range) {
  AttachSearchOptions options;
  if (Optional(interp, "global")) options.global = true;
  if (Optional(interp, "tolerance")) options.tolerance = interp.GetReal();
  if (Optional(interp, "nosnap")) options.snap = false;
  if (Optional(interp, "angtol")) options.angleTolerance = std::fabs(interp.GetReal());
  EndOfCommand(interp);
  AttachFaceSearch(interp, range, options);
}

void DeleteTies(ModelInterpreter& interp, const Range& range) {
  EndOfCommand(interp);
  const uint32_t n = GlobalAttachList().DeleteInRange(range);
  interp << "Deleted attach condition from " << n << " grid-points"
         << "\n";
  interp.flush();
}

}  // namespace

void AttachCommand(ModelInterpreter& interp) {
  Range range;
  range.Parse(interp);
  switch (interp.GetKeyword(kAttachWords)) {
    case kGpWord:
      SingleTie(interp);
      break;
    case kFaceWord:
      FaceSearch(interp, range);
      break;
    default:
      DeleteTies(interp, range);
      break;
  }
}

// The active ties whose slave lies in the print range, in list order.
void PrintAttach(ModelInterpreter& interp) {
  PageGuard guard(interp);
  FormatKeeper keeper(interp);
  interp.setf(std::ios::right, std::ios::adjustfield);
  interp.unsetf(std::ios::floatfield);
  const char* const header = "  Gp   Snp Type Info....\n------ --- ---- ----------\n";
  interp << header;
  interp.flush();
  interp.SetPageHeader(String(header));
  const Range& range = PrintRange();
  for (const AttachCondition* tie = GlobalAttachList().Head(); tie; tie = AttachList::Next(tie)) {
    if (tie->IsInactive() || !range.IsIn(tie->Slave())) continue;
    tie->PrintLine(interp);
    interp.flush();
  }
}
