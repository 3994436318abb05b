// Range, the range-phrase parser and the registry of element kinds.
#include "base/range.h"

#include "base/command.h"
#include "base/message.h"
#include "base/range_geometric.h"
#include "base/range_named.h"
#include "base/savestream.h"
#include "base/stream.h"

// ---------------------------------------------------------------------------
// The registry of element kinds

namespace {
// Kind codes are small numbers; a slot array indexed by kind keeps the order.
constexpr int32_t kMaxKind = 1 << 16;

class RangePrototypes {
 public:
  // The base kinds, one prototype each. The model subsystem registers its
  // kinds (100 and up) at start-up.
  RangePrototypes() {
    slots_.resize(128);
    Register(std::make_unique<NamedRangeElement>());
    Register(std::make_unique<AxisRangeElement>(0));
    Register(std::make_unique<SphereRangeElement>());
    Register(std::make_unique<CylinderRangeElement>());
    Register(std::make_unique<PlaneRangeElement>());
    Register(std::make_unique<AnnulusRangeElement>());
  }

  bool Register(std::unique_ptr<RangeElement> prototype) {
    if (!prototype) return false;
    int32_t kind = prototype->Kind();
    if (kind < 0 || kind >= kMaxKind) return false;
    size_t capacity = slots_.empty() ? 1 : slots_.size();
    while (capacity <= static_cast<size_t>(kind)) capacity *= 2;
    if (capacity > slots_.size()) slots_.resize(capacity);
    auto& slot = slots_[static_cast<size_t>(kind)];
    if (slot) return false;  // the first prototype of a kind wins
    slot = std::move(prototype);
    return true;
  }

  const RangeElement* Find(int32_t kind) const {
    if (kind < 0 || static_cast<size_t>(kind) >= slots_.size()) return nullptr;
    return slots_[static_cast<size_t>(kind)].get();
  }

  int32_t Capacity() const { return static_cast<int32_t>(slots_.size()); }

 private:
  std::vector<std::unique_ptr<RangeElement>> slots_;
};

RangePrototypes& Prototypes() {
  static RangePrototypes prototypes;
  return prototypes;
}
}  // namespace

bool RegisterRangeElement(std::unique_ptr<RangeElement> prototype) {
  return Prototypes().Register(std::move(prototype));
}

const RangeElement* RangePrototype(int32_t kind) { return Prototypes().Find(kind); }

int32_t RangePrototypeCapacity() { return Prototypes().Capacity(); }

std::unique_ptr<RangeElement> CreateRangeElementOfKind(int32_t kind) {
  const RangeElement* prototype = RangePrototype(kind);
  return prototype ? prototype->Clone() : nullptr;
}

// The kinds are asked in kind order, so that of two keywords with a common
// leading part the lower kind's wins ("s" is "sphere"); a word that no kind
// takes may be the name of a named range.
std::unique_ptr<RangeElement> CreateRangeElement(CommandType& interp, int* index) {
  int& idx = index ? *index : interp.TokenIndex();
  RangePrototypes& prototypes = Prototypes();
  for (int32_t kind = 0; kind < prototypes.Capacity(); ++kind) {
    const RangeElement* prototype = prototypes.Find(kind);
    if (!prototype) continue;
    if (auto e = prototype->CreateFromCommand(interp, &idx)) return e;
  }
  String word;
  if (interp.CheckString(&word, &idx) != CommandType::kOk) return nullptr;
  if (Range* named = FindNamedRange(word)) return std::make_unique<NamedRangeElement>(named);
  --idx;
  return nullptr;
}

String RangeNumberText(double v) { return DoubleToString(v, 0, 0, 1); }

String RangeVectorText(const double v[3]) {
  return "(" + RangeNumberText(v[0]) + "," + RangeNumberText(v[1]) + "," + RangeNumberText(v[2]) + ")";
}

// ---------------------------------------------------------------------------
// RangeElement

void RangeElement::Save(SaveStream& stream) const {
  stream.WriteU8(not_);
  stream.WriteU8(any_);
}

void RangeElement::Restore(SaveStream& stream) {
  not_ = stream.ReadFlag();
  any_ = stream.ReadFlag();
}

int RangeElement::ParseArgs(CommandType& interp, int* index) {
  int word = 0;
  if (int code = interp.MatchKeyword("not any ", word, index)) return code;
  if (word == 1)
    not_ = 1;
  else
    any_ = 1;
  return CommandType::kOk;
}

void RangeElement::Print(CommandType& interp) const {
  interp << "      ";
  if (not_) interp << "Not ";
  if (any_) interp << "Any ";
  interp << Name();
}

String RangeElement::CommandText() const {
  if (not_ && any_) return String("not any");
  if (not_) return String("not");
  if (any_) return String("any");
  return String();
}

// ---------------------------------------------------------------------------
// Range

Range::Range(const Range& other) : name_(other.name_) {
  elements_.reserve(other.elements_.size());
  for (const auto& e : other.elements_) elements_.push_back(e->Clone());
}

Range& Range::operator=(const Range& other) {
  if (this == &other) return *this;
  std::vector<std::unique_ptr<RangeElement>> copies;
  copies.reserve(other.elements_.size());
  for (const auto& e : other.elements_) copies.push_back(e->Clone());
  elements_ = std::move(copies);
  name_ = other.name_;
  return *this;
}

Range::~Range() {
  elements_.clear();
  while (firstUser_) firstUser_->SetTarget(nullptr);
}

void Range::Clear() { elements_.clear(); }

void Range::Append(std::unique_ptr<RangeElement> element) {
  if (element) elements_.push_back(std::move(element));
}

RangeElement* Range::ElementAt(int n) const {
  if (n < 0 || n >= ElementCount()) return nullptr;
  return elements_[static_cast<size_t>(n)].get();
}

void Range::Parse(CommandType& interp) {
  Clear();
  int at = interp.FindToken("range");
  if (at < 0) return;
  int idx = at + 1;
  interp.SetTokenLimit(32000);
  int code = ParsePhrase(interp, &idx);
  // Everything from "range" on belongs to the phrase: the handler sees only
  // the tokens before it.
  interp.SetTokenLimit(at);
  if (code != CommandType::kOk) interp.ThrowParamError(code, &idx);
}

// Grammar: phrase = { "name" word | element { element-word } }.
// The elements are built aside and taken over at the end, so that a failing
// phrase leaves the range empty and defines no named range.
int Range::ParsePhrase(CommandType& interp, int* index) {
  int& idx = index ? *index : interp.TokenIndex();
  Clear();
  std::vector<std::unique_ptr<RangeElement>> parsed;
  String name;
  for (;;) {
    int word = 0;
    if (interp.MatchKeyword("name ", word, &idx) == CommandType::kOk) {
      name = interp.GetString(&idx);
      continue;
    }
    std::unique_ptr<RangeElement> e = CreateRangeElement(interp, &idx);
    if (!e) break;
    while (e->ParseArgs(interp, &idx) == CommandType::kOk) {
    }
    parsed.push_back(std::move(e));
  }
  elements_ = std::move(parsed);
  if (interp.HasToken(&idx)) return CommandType::kUnrecognized;
  if (!name.IsEmpty()) {
    if (UsesName(name)) throw RangeExcept(MessageText("Recursive use of names in range"));
    RegisterNamedRange(*this, name);
  }
  return CommandType::kOk;
}

bool Range::IsIn(const LocatedObject* subject) const {
  if (elements_.empty() || !subject) return true;
  double position[3];
  subject->GetPosition(position);
  return IsInAt(position, subject);
}

// Without "any" elements the elements are ANDed; once one element is marked
// "any", only the "any" elements can make the subject inside.
bool Range::IsInAt(const double position[3], const LocatedObject* subject) const {
  bool result = true;
  for (const auto& e : elements_) {
    bool r = e->IsIn(position, subject);
    if (e->Not()) r = !r;
    if (r && e->Any()) return true;
    if (!r) result = false;
  }
  return result;
}

String Range::CommandText() const {
  String text("range ");
  if (!name_.IsEmpty()) text += "name '" + name_ + "' ";
  for (const auto& e : elements_) {
    text += e->CommandText();
    text += " ";
  }
  return text;
}

void Range::PrintElements(CommandType& interp) const {
  PageGuard guard(interp);
  for (const auto& e : elements_) e->Print(interp);
}

namespace {
// Depth-first through the named ranges that the elements refer to; every
// range is visited once, however often it is shared.
template <class Test>
bool Walk(const Range* range, std::vector<const Range*>& seen, const Test& test) {
  for (int i = 0; i < range->ElementCount(); ++i) {
    const RangeElement* e = range->ElementAt(i);
    if (e->Kind() != NamedRangeElement::kKind) continue;
    const Range* target = static_cast<const NamedRangeElement*>(e)->Target();
    if (!target) continue;
    bool visited = false;
    for (const Range* s : seen) visited = visited || s == target;
    if (visited) continue;
    if (test(target)) return true;
    seen.push_back(target);
    if (Walk(target, seen, test)) return true;
  }
  return false;
}
}  // namespace

bool Range::UsesName(const String& name) const {
  if (name.IsEmpty()) return false;
  std::vector<const Range*> seen;
  return Walk(this, seen, [&name](const Range* r) { return r->Name() == name; });
}

bool Range::Reaches(const Range* target) const {
  std::vector<const Range*> seen;
  return Walk(this, seen, [target](const Range* r) { return r == target; });
}

void Range::Save(SaveStream& stream) const {
  SaveString(stream, name_);
  stream.WriteI32(ElementCount());
  for (const auto& e : elements_) {
    stream.WriteI32(e->Kind());
    e->Save(stream);
  }
}

// Every kind and count is checked: an unknown kind or a count beyond the
// bytes left is the stream's read error.
void Range::Restore(SaveStream& stream) {
  Clear();
  pending_.Clear();
  String name;
  RestoreString(stream, name);
  int32_t count = stream.ReadI32();
  if (count < 0) stream.ReadFailure();
  stream.CheckAvailable(static_cast<uint64_t>(count) * 6);  // kind and two flags at least
  std::vector<std::unique_ptr<RangeElement>> restored;
  restored.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    std::unique_ptr<RangeElement> e = CreateRangeElementOfKind(stream.ReadI32());
    if (!e) stream.ReadFailure();
    pending_.Restore([&] { e->Restore(stream); });
    restored.push_back(std::move(e));
  }
  elements_ = std::move(restored);
  name_ = name;
}

void Range::RemapPointers() {
  for (size_t k = 0; k < elements_.size(); ++k) pending_.Remap(k, [&] { elements_[k]->RemapPointers(); });
  pending_.Clear();
}
