// PRINT APPLY: one row per applied value of the records in the print range,
// values as stored (before any multiplier), in list order and chain order.
#include "mechanics/print_apply.h"

#include <iomanip>
#include <ios>
#include <string>
#include <vector>

#include "base/plane.h"
#include "base/range.h"
#include "base/range_named.h"
#include "base/stream.h"
#include "mechanics/apply_condition.h"
#include "model/grid.h"
#include "model/model.h"
#include "model/model_interpreter.h"

namespace {

// A text padded with blanks or cut to exactly n characters.
std::string Fit(const std::string& text, size_t n) {
  std::string s = text;
  s.resize(n, ' ');
  return s;
}

// The label of a value's quantity and direction (11 characters).
std::string Label(const ApplyValue& v) {
  static const char* const kForce[] = {"x-force", "y-force", "z-force"};
  static const char* const kReaction[] = {"x-reaction", "y-reaction", "z-reaction"};
  static const char* const kVelocity[] = {"x-vel.", "y-vel.", "z-vel."};
  static const char* const kLocalVelocity[] = {"dip-vel.", "strike-vel.", "normal-vel."};
  static const char* const kAcceleration[] = {"x-acc.", "y-acc.", "z-acc."};
  static const char* const kLocalAcceleration[] = {"dip-acc.", "strike-acc.", "normal-acc."};
  static const char* const kBody[] = {"x-body for.", "y-body for.", "z-body for."};
  static const char* const kStress[] = {"sxx", "syy", "szz", "sxy", "syz", "szx"};
  static const char* const kLocalStress[] = {"dip-stress", "strike-str.", "n-stress"};
  static const char* const kQuiet[] = {"d-quiet", "s-quiet", "n-quiet"};
  const int d = v.direction >= 1 ? v.direction - 1 : 0;
  const int d3 = d < 3 ? d : 2;
  const char* text = "";
  switch (v.quantity) {
    case kApplyForce:
    case kApplyForceHist:
      text = kForce[d3];
      break;
    case kApplyReaction:
      text = kReaction[d3];
      break;
    case kApplyVelocity:
      text = kVelocity[d3];
      break;
    case kApplyLocalVelocity:
      text = kLocalVelocity[d3];
      break;
    case kApplyAcceleration:
      text = kAcceleration[d3];
      break;
    case kApplyLocalAcceleration:
      text = kLocalAcceleration[d3];
      break;
    case kApplyPointSource:
    case kApplyPointSourceHist:
      text = "psource";
      break;
    case kApplyPointWell:
    case kApplyPointWellHist:
      text = "pwell";
      break;
    case kApplyPorePressure:
    case kApplyPorePressureHist:
      text = "ppressure";
      break;
    case kApplyBodyForce:
    case kApplyBodyForceHist:
      text = kBody[d3];
      break;
    case kApplyVolumeSource:
    case kApplyVolumeSourceHist:
      text = "vsource";
      break;
    case kApplyVolumeWell:
    case kApplyVolumeWellHist:
      text = "vwell";
      break;
    case kApplyStress:
    case kApplyStressHist:
      text = kStress[d < 6 ? d : 5];
      break;
    case kApplyLocalStress:
    case kApplyLocalStressHist:
      text = kLocalStress[d3];
      break;
    case kApplyQuiet:
      text = kQuiet[d3];
      break;
    case kApplyFlux:
    case kApplyFluxHist:
      text = "flux";
      break;
    case kApplyConvection:
      text = "convection";
      break;
    case kApplyDischarge:
    case kApplyDischargeHist:
      text = "discharge";
      break;
    case kApplyLeakage:
      text = "leakage";
      break;
    case kApplyFreeFieldLink:
      text = "Free Field";
      break;
    default:
      break;
  }
  return Fit(text, 11);
}

// Blank for a constant, the table or the function otherwise (10 characters).
std::string HistoryText(const ApplyValue& v) {
  if (v.multiplierKind == kMultiplierTable) return Fit("Table " + std::to_string(v.table), 10);
  if (v.multiplierKind == kMultiplierFunction) {
    const String name = v.function ? CurrentModel().Script().SymbolName(v.function) : String();
    return Fit(name.IsEmpty() ? std::string("Unknown") : name.str(), 10);
  }
  return Fit("", 10);
}

std::string DirectionField(const ApplyLocalBlock* block) {
  std::string field = "...";
  for (int i = 0; block && i < 3; ++i)
    if (block->mask & (1u << i)) field[static_cast<size_t>(i)] = "XYZ"[i];
  return field;
}

std::string AxesField(const ApplyLocalBlock* block) {
  if (!block || !block->local) return "Global";
  return block->planeGiven ? "USER  " : "LOCAL ";
}

void Heading(ModelInterpreter& interp, const char* title, const char* header) {
  interp << title << "\n";
  interp.flush();
  interp << header;
  interp.SetPageHeader(interp.LastText());
}

void Vector(ModelInterpreter& interp, const double v[3], int width) {
  interp << "(" << std::setw(width) << v[0] << "," << std::setw(width) << v[1] << "," << std::setw(width) << v[2]
         << ")";
}

bool InRange(const Range& range, const LocatedObject* subject) {
  return range.ElementCount() == 0 || range.IsIn(subject);
}

void Scientific(ModelInterpreter& interp, int precision) {
  interp.setf(std::ios::scientific, std::ios::floatfield);
  interp.precision(precision);
}

void GridPointSection(ModelInterpreter& interp, const Range& range) {
  Heading(interp, "  Gridpoint Apply Conditions ...",
          "   ID      Type        Hist        Value    Fix  Axes\n"
          " ------ ----------- ---------- ------------ --- ------\n");
  std::vector<const ApplyCondition*> listed;
  for (const ApplyCondition* c = GlobalApplyList().Head(); c; c = ApplyList::Next(c)) {
    if (c->TargetKind() != ApplyCondition::kGridPoint || !c->Gp() || !InRange(range, c->Gp())) continue;
    listed.push_back(c);
    for (const ApplyValue* v = c->Values(); v; v = v->next) {
      Scientific(interp, 4);
      interp << " " << std::setw(6) << c->Gp()->id << " " << Label(*v) << " " << HistoryText(*v) << " " << std::setw(12)
             << v->value << " " << DirectionField(c->Local()) << " " << AxesField(c->Local()) << "\n";
      interp.flush();
    }
  }
  bool localHeading = false;
  for (const ApplyCondition* c : listed) {
    const ApplyLocalBlock* block = c->Local();
    if (!block || !block->local) continue;
    if (!localHeading) {
      Heading(interp, "  Gridpoint Local Axes ...",
              "   ID            Dip                   Strike                 Normal\n"
              " ------  ------ ------ ------   ------ ------ ------   ------ ------ ------\n");
      localHeading = true;
    }
    interp.setf(std::ios::fixed, std::ios::floatfield);
    interp.precision(3);
    interp << " " << std::setw(6) << c->Gp()->id;
    for (const auto& axis : block->axes) {
      interp << " ";
      Vector(interp, axis, 6);
    }
    interp << "\n";
    interp.flush();
  }
  interp << "  Gridpoint FF/Quiet ..."
         << "\n";
  interp.flush();
  for (const ApplyCondition* c : listed) {
    const ApplyQuietBlock* quiet = c->Quiet();
    if (!quiet || !quiet->gpA || !quiet->gpB) continue;
    Scientific(interp, 3);
    interp << "  FF gp " << std::setw(6) << c->Gp()->id << ": gpA " << quiet->gpA->id << "  factor ";
    Vector(interp, quiet->ffA, 11);
    interp << "\n                gpB " << quiet->gpB->id << "  factor ";
    Vector(interp, quiet->ffB, 11);
    interp << "\n                quiet       factor ";
    Vector(interp, quiet->quiet, 11);
    interp << "\n";
    interp.flush();
  }
}

void ZoneSection(ModelInterpreter& interp, const Range& range) {
  Heading(interp, "  Zone Apply Conditions ...",
          "   ID      Type        Hist       Value\n"
          " ------ ----------- ---------- -----------\n");
  for (const ApplyCondition* c = GlobalApplyList().Head(); c; c = ApplyList::Next(c)) {
    if (c->TargetKind() != ApplyCondition::kZone || !c->GetZone() || !InRange(range, c->GetZone())) continue;
    for (const ApplyValue* v = c->Values(); v; v = v->next) {
      Scientific(interp, 4);
      interp << " " << std::setw(6) << c->GetZone()->Id() << " " << Label(*v) << " " << HistoryText(*v) << " "
             << std::setw(11) << v->value << "\n";
      interp.flush();
    }
  }
}

void FaceSection(ModelInterpreter& interp, const Range& range) {
  Heading(interp, " Zone Face Apply Conditions ...",
          "   ID   Face    Type        Hist        Value\n"
          " ------ ---- ----------- ---------- -------------\n");
  for (const ApplyCondition* c = GlobalApplyList().Head(); c; c = ApplyList::Next(c)) {
    if (c->TargetKind() != ApplyCondition::kFace || !c->GetZone() || !InRange(range, c->Face())) continue;
    for (const ApplyValue* v = c->Values(); v; v = v->next) {
      Scientific(interp, 4);
      interp << " " << std::setw(6) << c->GetZone()->Id() << " " << std::setw(4) << c->Face()->Face() << " "
             << Label(*v) << " " << HistoryText(*v) << " " << std::setw(13) << v->value << "\n";
      interp.flush();
    }
    const ApplyQuietBlock* quiet = c->Quiet();
    if (quiet && quiet->ffFace && quiet->ffFace->GetZone()) {
      interp << " FF zone " << quiet->ffFace->GetZone()->Id() << "               FF face " << quiet->ffFace->Face()
             << "\n";
      interp.flush();
    }
  }
}

void FaceText(ModelInterpreter& interp, const ZoneFace& face) {
  interp << (face.GetZone() ? face.GetZone()->Id() : 0u) << "," << face.Face();
}

// The quiet and free-field data of the face records, last record first.
void PrintFreeFieldQuiet(ModelInterpreter& interp) {
  for (LinkListNode* n = GlobalApplyList().Last(); n; n = n->PreviousNode()) {
    const auto* c = static_cast<const ApplyCondition*>(n);
    const ApplyQuietBlock* quiet = c->Quiet();
    if (c->TargetKind() != ApplyCondition::kFace || !quiet || !c->Face()) continue;
    interp << "Free Field Quiet"
           << "\n";
    if (quiet->ffFace) {
      interp << "  FFFace = ";
      FaceText(interp, *quiet->ffFace);
      interp << "\n";
    }
    interp << "  To     = ";
    FaceText(interp, *c->Face());
    interp << "\n  fvQuiet = ";
    PrintPair(interp, quiet->quiet[0], quiet->quiet[1], quiet->quiet[2]);
    interp << "\n  gpA = ";
    if (quiet->gpA)
      interp << quiet->gpA->id;
    else
      interp << "NULL";
    interp << "\n  gpB = ";
    if (quiet->gpB)
      interp << quiet->gpB->id;
    else
      interp << "NULL";
    interp << "\n  fvQFFgpA = ";
    PrintPair(interp, quiet->ffA[0], quiet->ffA[1], quiet->ffA[2]);
    interp << "\n  fvQFFgpB = ";
    PrintPair(interp, quiet->ffB[0], quiet->ffB[1], quiet->ffB[2]);
    interp << "\n";
    for (const ApplyValue* v = c->Values(); v; v = v->next) {
      if (v->quantity != kApplyFreeFieldLink) continue;
      interp << "Extension DOF " << static_cast<int>(v->direction) << "\n";
      interp << "  Value = " << v->value << "\n";
    }
    interp.flush();
  }
}

}  // namespace

void PrintApply(ModelInterpreter& interp) {
  EnsureApplyLinks();
  PageGuard guard(interp);
  FormatKeeper keeper(interp);
  int word = 0;
  if (interp.MatchKeyword("freefield", word) == CommandType::kOk) {
    PrintFreeFieldQuiet(interp);
    return;
  }
  interp.setf(std::ios::right, std::ios::adjustfield);
  bool kinds[4] = {false, false, false, false};
  for (const ApplyCondition* c = GlobalApplyList().Head(); c; c = ApplyList::Next(c))
    if (c->TargetKind() >= 1 && c->TargetKind() <= 3) kinds[c->TargetKind()] = true;
  const Range& range = PrintRange();
  if (kinds[ApplyCondition::kGridPoint]) GridPointSection(interp, range);
  if (kinds[ApplyCondition::kZone]) ZoneSection(interp, range);
  if (kinds[ApplyCondition::kFace]) FaceSection(interp, range);
}
