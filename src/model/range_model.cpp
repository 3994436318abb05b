#include "model/range_model.h"

#include <cmath>
#include <utility>

#include "base/command.h"
#include "base/linklist.h"
#include "base/message.h"
#include "base/plane.h"
#include "base/savestream.h"
#include "cmodels/constitutive_model.h"
#include "model/grid_point.h"
#include "model/group.h"
#include "model/zone.h"

namespace {

constexpr double kDegree = 0.017453292519943295;

bool MatchesKeyword(CommandType& interp, int* index, const char* keyword) {
  int k = 0;
  return interp.MatchKeyword(keyword, k, index) == CommandType::kOk;
}

// The subject's own answer; `otherwise` when the subject leaves it to the element.
bool AskOwner(const RangeElement& e, const double p[3], const LocatedObject* s, bool otherwise) {
  bool inside = otherwise;
  return s && s->RangeAnswer(e, p, &inside) ? inside : otherwise;
}

bool InZoneWhere(const double p[3], bool (*test)(const Zone&, const void*), const void* arg) {
  for (Zone* z : ZoneList())
    if (test(*z, arg) && z->ContainsPoint(p)) return true;
  return false;
}

const Zone* FaceZone(const LocatedObject* subject) { return static_cast<const ZoneFace*>(subject)->GetZone(); }

}  // namespace

// ---------------------------------------------------------------------------
// group

void GroupRangeElement::Save(SaveStream& s) const {
  RangeElement::Save(s);
  SavePointer(s, group_);
}

void GroupRangeElement::Restore(SaveStream& s) {
  RangeElement::Restore(s);
  RestorePointer(s, group_);
}

void GroupRangeElement::RemapPointers() { RemapPointer(GroupList(), group_); }

int GroupRangeElement::ParseArgs(CommandType& interp, int* index) {
  if (RangeElement::ParseArgs(interp, index) == CommandType::kOk) return CommandType::kOk;
  int& idx = index ? *index : interp.TokenIndex();
  String word;
  if (int code = interp.CheckString(&word, &idx)) return code;
  Group* g = FindGroup(word);
  if (!g) {
    --idx;
    return CommandType::kUnrecognized;
  }
  group_ = g;
  return CommandType::kOk;
}

void GroupRangeElement::Print(CommandType& interp) const {
  RangeElement::Print(interp);
  interp << "\n";
}

String GroupRangeElement::Name() const { return "Group " + (group_ ? group_->Name() : String()); }

bool GroupRangeElement::IsIn(const double p[3], const LocatedObject* subject) const {
  const int32_t kind = subject ? subject->LocatedKind() : 0;
  switch (kind) {
    case LocatedObject::kGridPoint:
      return group_ && static_cast<const GridPoint*>(subject)->InGroup(group_);
    case LocatedObject::kZoneFace: {
      const Zone* z = FaceZone(subject);
      return z && z->GetGroup() == group_;
    }
    case LocatedObject::kZone:
      return static_cast<const Zone*>(subject)->GetGroup() == group_;
    case LocatedObject::kSELNode:
    case LocatedObject::kSEL:
    case LocatedObject::kSELLink:
      return AskOwner(*this, p, subject, false);
    default:
      return InZoneWhere(
          p, [](const Zone& z, const void* g) { return z.GetGroup() == g; }, group_);
  }
}

std::unique_ptr<RangeElement> GroupRangeElement::CreateFromCommand(CommandType& interp, int* index) const {
  if (!MatchesKeyword(interp, index, "group region ")) return nullptr;
  return std::make_unique<GroupRangeElement>();
}

std::unique_ptr<RangeElement> GroupRangeElement::Clone() const { return std::make_unique<GroupRangeElement>(*this); }

String GroupRangeElement::CommandText() const {
  String text("group");
  if (group_) text += " '" + group_->Name() + "' ";
  String flags = RangeElement::CommandText();
  if (!group_ && !flags.IsEmpty()) text += " ";
  return text + flags;
}

// ---------------------------------------------------------------------------
// id, cid, selid

void IntervalRangeElement::Save(SaveStream& s) const {
  RangeElement::Save(s);
  s.WriteI32(low_);
  s.WriteI32(high_);
}

void IntervalRangeElement::Restore(SaveStream& s) {
  RangeElement::Restore(s);
  low_ = s.ReadI32();
  high_ = s.ReadI32();
}

int IntervalRangeElement::ParseArgs(CommandType& interp, int* index) {
  if (RangeElement::ParseArgs(interp, index) == CommandType::kOk) return CommandType::kOk;
  int& idx = index ? *index : interp.TokenIndex();
  if (int code = interp.CheckInt(&low_, &idx)) return code;
  if (interp.CheckInt(&high_, &idx) != CommandType::kOk) high_ = low_;
  if (low_ > high_) std::swap(low_, high_);
  return CommandType::kOk;
}

void IntervalRangeElement::Print(CommandType& interp) const {
  RangeElement::Print(interp);
  interp << " From " << low_ << " To " << high_ << "\n";
}

std::unique_ptr<RangeElement> IntervalRangeElement::CreateFromCommand(CommandType& interp, int* index) const {
  String keyword = String(Keyword()) + " ";
  if (!MatchesKeyword(interp, index, keyword.c_str())) return nullptr;
  return Clone();  // called on the prototype: its defaults
}

String IntervalRangeElement::CommandText() const {
  String text = String(Keyword()) + " " + IntToString(low_);
  if (high_ != low_) text += "," + IntToString(high_);
  return text + " " + RangeElement::CommandText();
}

bool IdRangeElement::IsIn(const double p[3], const LocatedObject* subject) const {
  switch (subject ? subject->LocatedKind() : 0) {
    case LocatedObject::kGridPoint:
      return Contains(static_cast<const GridPoint*>(subject)->id);
    case LocatedObject::kZoneFace: {
      const Zone* z = FaceZone(subject);
      return z && Contains(z->Id());
    }
    case LocatedObject::kZone:
      return Contains(static_cast<const Zone*>(subject)->Id());
    case LocatedObject::kGenerateTriangle:
    case LocatedObject::kInterface:
    case LocatedObject::kSELNode:
    case LocatedObject::kSEL:
    case LocatedObject::kSELLink:
      return AskOwner(*this, p, subject, true);
    default:
      return true;
  }
}

bool CidRangeElement::IsIn(const double p[3], const LocatedObject* subject) const {
  switch (subject ? subject->LocatedKind() : 0) {
    case LocatedObject::kInterfaceNode:
    case LocatedObject::kInterfaceElement:
    case LocatedObject::kSELNode:
    case LocatedObject::kSEL:
    case LocatedObject::kSELLink:
      return AskOwner(*this, p, subject, true);
    default:
      return true;
  }
}

bool SELIdRangeElement::IsIn(const double p[3], const LocatedObject* subject) const {
  switch (subject ? subject->LocatedKind() : 0) {
    case LocatedObject::kSELNode:
    case LocatedObject::kSEL:
    case LocatedObject::kSELLink:
      return AskOwner(*this, p, subject, true);
    default:
      return true;
  }
}

// ---------------------------------------------------------------------------
// seltype

namespace {
const char* const kSelTypeWords = "shellSEL beamSEL cableSEL pileSEL LinerSEL GeogridSEL ";
constexpr int32_t kSelTypeOfWord[] = {1, 2, 4, 3, 5, 6};
const char* const kSelTypeName[] = {"Shell", "Beam", "Pile", "Cable", "Liner", "Geogrid"};
const char* const kSelTypeKeyword[] = {"shellSEL", "beamSEL", "pileSEL", "cableSEL", "linerSEL", "geogridSEL"};

// Keywords compared without regard to case, whatever SET case_sensitivity says.
int MatchFolded(CommandType& interp, const char* list, int& word, int* index) {
  bool sensitive = IsCaseSensitive();
  SetCaseSensitive(false);
  int code = interp.MatchKeyword(list, word, index);
  SetCaseSensitive(sensitive);
  return code;
}
}  // namespace

void SELTypeRangeElement::Save(SaveStream& s) const {
  RangeElement::Save(s);
  s.WriteI32(type_);
}

void SELTypeRangeElement::Restore(SaveStream& s) {
  RangeElement::Restore(s);
  type_ = s.ReadI32();
}

int SELTypeRangeElement::ParseArgs(CommandType& interp, int* index) {
  int base = RangeElement::ParseArgs(interp, index);
  if (base == CommandType::kOk) return base;
  int word = 0;
  if (MatchFolded(interp, kSelTypeWords, word, index) != CommandType::kOk) return base;
  type_ = kSelTypeOfWord[word - 1];
  return CommandType::kOk;
}

void SELTypeRangeElement::Print(CommandType& interp) const {
  RangeElement::Print(interp);
  interp << "\n";
}

String SELTypeRangeElement::Name() const {
  return String("SELType ") + (type_ >= 1 && type_ <= 6 ? kSelTypeName[type_ - 1] : "Unknown");
}

bool SELTypeRangeElement::IsIn(const double p[3], const LocatedObject* subject) const {
  switch (subject ? subject->LocatedKind() : 0) {
    case LocatedObject::kZoneFace:
    case LocatedObject::kSELNode:
    case LocatedObject::kSEL:
    case LocatedObject::kSELLink:
      return AskOwner(*this, p, subject, false);
    default:
      return true;
  }
}

std::unique_ptr<RangeElement> SELTypeRangeElement::CreateFromCommand(CommandType& interp, int* index) const {
  if (!MatchesKeyword(interp, index, "seltype ")) return nullptr;
  return std::make_unique<SELTypeRangeElement>();
}

std::unique_ptr<RangeElement> SELTypeRangeElement::Clone() const {
  return std::make_unique<SELTypeRangeElement>(*this);
}

String SELTypeRangeElement::CommandText() const {
  String text("seltype ");
  if (type_ >= 1 && type_ <= 6) text += kSelTypeKeyword[type_ - 1];
  return text + " " + RangeElement::CommandText();
}

// ---------------------------------------------------------------------------
// direction

void DirectionRangeElement::Save(SaveStream& s) const {
  RangeElement::Save(s);
  for (double v : direction_) s.WriteF64(v);
  s.WriteF64(angle_);
}

void DirectionRangeElement::Restore(SaveStream& s) {
  RangeElement::Restore(s);
  for (double& v : direction_) v = s.ReadF64();
  angle_ = s.ReadF64();
}

int DirectionRangeElement::ParseArgs(CommandType& interp, int* index) {
  if (RangeElement::ParseArgs(interp, index) == CommandType::kOk) return CommandType::kOk;
  int& idx = index ? *index : interp.TokenIndex();
  if (MatchesKeyword(interp, &idx, "angle ")) {
    angle_ = interp.GetReal(&idx) * kDegree;
    return CommandType::kOk;
  }
  double v[3];
  if (int code = interp.CheckNumber(&v[0], &idx)) return code;
  v[1] = interp.GetReal(&idx);
  v[2] = interp.GetReal(&idx);
  double len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  for (int i = 0; i < 3; ++i) direction_[i] = len > 0.0 ? v[i] / len : 0.0;
  return CommandType::kOk;
}

void DirectionRangeElement::Print(CommandType& interp) const {
  RangeElement::Print(interp);
  interp << "\n    Normal: ";
  PrintPair(interp, direction_[0], direction_[1], direction_[2]);
  interp << "\n     Angle: " << angle_ / kDegree << "\n";
}

bool DirectionRangeElement::Accepts(const double n[3]) const {
  return direction_[0] * n[0] + direction_[1] * n[1] + direction_[2] * n[2] > std::cos(angle_);
}

bool DirectionRangeElement::IsIn(const double p[3], const LocatedObject* subject) const {
  switch (subject ? subject->LocatedKind() : 0) {
    case LocatedObject::kZoneFace: {
      const ZoneFace* face = static_cast<const ZoneFace*>(subject);
      if (!face->GetZone()) return false;
      double n[3];
      face->OutwardNormal(n);
      return Accepts(n);
    }
    case LocatedObject::kGenerateTriangle:
    case LocatedObject::kInterfaceElement:
      return AskOwner(*this, p, subject, true);
    default:
      return true;
  }
}

std::unique_ptr<RangeElement> DirectionRangeElement::CreateFromCommand(CommandType& interp, int* index) const {
  if (!MatchesKeyword(interp, index, "direction ")) return nullptr;
  return std::make_unique<DirectionRangeElement>();
}

std::unique_ptr<RangeElement> DirectionRangeElement::Clone() const {
  return std::make_unique<DirectionRangeElement>(*this);
}

String DirectionRangeElement::CommandText() const {
  return "direction " + RangeVectorText(direction_) + " angle " + DoubleToString(angle_ / kDegree, 0, 0, 1) + " " +
         RangeElement::CommandText();
}

// ---------------------------------------------------------------------------
// model

void ModelRangeElement::Save(SaveStream& s) const {
  RangeElement::Save(s);
  SaveString(s, name_);
}

void ModelRangeElement::Restore(SaveStream& s) {
  RangeElement::Restore(s);
  RestoreString(s, name_);
}

int ModelRangeElement::ParseArgs(CommandType& interp, int* index) {
  if (RangeElement::ParseArgs(interp, index) == CommandType::kOk) return CommandType::kOk;
  int& idx = index ? *index : interp.TokenIndex();
  String word;
  if (int code = interp.CheckString(&word, &idx)) return code;
  bool known = String("undefined").ComparePrefix(word.c_str()) == 0 || ConstitutiveModel::FindByMatch(word.c_str());
  if (!known) {
    --idx;
    return CommandType::kUnrecognized;
  }
  name_ = word;
  MarkModelGridPoints(name_);
  return CommandType::kOk;
}

void ModelRangeElement::Print(CommandType& interp) const {
  RangeElement::Print(interp);
  interp << "\n";
}

bool ModelRangeElement::IsIn(const double p[3], const LocatedObject* subject) const {
  switch (subject ? subject->LocatedKind() : 0) {
    case LocatedObject::kGridPoint:
      return false;
    case LocatedObject::kZoneFace: {
      const Zone* z = FaceZone(subject);
      return z && ZoneModelMatches(*z, name_);
    }
    case LocatedObject::kZone:
      return ZoneModelMatches(*static_cast<const Zone*>(subject), name_);
    default:
      return InZoneWhere(
          p, [](const Zone& z, const void* name) { return ZoneModelMatches(z, *static_cast<const String*>(name)); },
          &name_);
  }
}

std::unique_ptr<RangeElement> ModelRangeElement::CreateFromCommand(CommandType& interp, int* index) const {
  if (!MatchesKeyword(interp, index, "model ")) return nullptr;
  return std::make_unique<ModelRangeElement>();
}

std::unique_ptr<RangeElement> ModelRangeElement::Clone() const { return std::make_unique<ModelRangeElement>(*this); }

String ModelRangeElement::CommandText() const { return "model " + name_ + " " + RangeElement::CommandText(); }

// ---------------------------------------------------------------------------

void RegisterModelRangeElements() {
  RegisterRangeElement(std::make_unique<GroupRangeElement>());
  RegisterRangeElement(std::make_unique<IdRangeElement>());
  RegisterRangeElement(std::make_unique<CidRangeElement>());
  RegisterRangeElement(std::make_unique<SELTypeRangeElement>());
  RegisterRangeElement(std::make_unique<DirectionRangeElement>());
  RegisterRangeElement(std::make_unique<ModelRangeElement>());
  RegisterRangeElement(std::make_unique<SELIdRangeElement>());
}
