// Named ranges, the named-range element, PRINT RLIST and the RANGE command.
#include "base/range_named.h"

#include <unordered_map>
#include <utility>

#include "base/command.h"
#include "base/message.h"
#include "base/savestream.h"
#include "base/stream.h"

namespace {
std::vector<std::unique_ptr<Range>>& NamedList() {
  static std::vector<std::unique_ptr<Range>> list;
  return list;
}

int32_t& BadPointers() {
  static int32_t count = 0;
  return count;
}

// The 1-based position of a named range in the list, 0 for none.
int32_t NamedRangeIndex(const Range* range) {
  const auto& list = NamedList();
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i].get() == range) return static_cast<int32_t>(i + 1);
  return 0;
}

// The named range of a saved position: 0 gives none; a position beyond the
// list gives none and counts as an invalid reference.
Range* NamedRangeByIndex(int32_t index) {
  if (index == 0) return nullptr;
  const auto& list = NamedList();
  if (index < 0 || static_cast<size_t>(index) > list.size()) {
    ++BadPointers();
    return nullptr;
  }
  return list[static_cast<size_t>(index) - 1].get();
}

// Whether the named ranges refer to each other in a circle (a corrupt file:
// phrases never build one). Iterative, so that a long chain cannot exhaust the stack.
bool NamedRangesCircular() {
  const auto& list = NamedList();
  std::unordered_map<const Range*, size_t> position;
  for (size_t i = 0; i < list.size(); ++i) position[list[i].get()] = i;
  std::vector<uint8_t> state(list.size(), 0);  // 0 not seen, 1 on the path, 2 done
  std::vector<std::pair<size_t, int>> path;
  for (size_t start = 0; start < list.size(); ++start) {
    if (state[start]) continue;
    state[start] = 1;
    path.emplace_back(start, 0);
    while (!path.empty()) {
      auto& [node, next] = path.back();
      const Range* range = list[node].get();
      if (next >= range->ElementCount()) {
        state[node] = 2;
        path.pop_back();
        continue;
      }
      const RangeElement* e = range->ElementAt(next++);
      if (e->Kind() != NamedRangeElement::kKind) continue;
      const Range* target = static_cast<const NamedRangeElement*>(e)->Target();
      auto found = target ? position.find(target) : position.end();
      if (found == position.end()) continue;
      if (state[found->second] == 1) return true;
      if (state[found->second] == 0) {
        state[found->second] = 1;
        path.emplace_back(found->second, 0);
      }
    }
  }
  return false;
}
}  // namespace

// ---------------------------------------------------------------------------
// The named-range element

NamedRangeElement::NamedRangeElement(Range* target) : RangeElement(kKind) { SetTarget(target); }

NamedRangeElement::NamedRangeElement(const NamedRangeElement& other)
    : RangeElement(other), savedIndex_(other.savedIndex_), restored_(other.restored_) {
  SetTarget(other.target_);
}

NamedRangeElement::~NamedRangeElement() { SetTarget(nullptr); }

void NamedRangeElement::SetTarget(Range* target) {
  if (target == target_) return;
  if (target_) {
    if (prevUser_)
      prevUser_->nextUser_ = nextUser_;
    else
      target_->firstUser_ = nextUser_;
    if (nextUser_) nextUser_->prevUser_ = prevUser_;
    prevUser_ = nextUser_ = nullptr;
  }
  target_ = target;
  if (target_) {
    nextUser_ = target_->firstUser_;
    if (nextUser_) nextUser_->prevUser_ = this;
    target_->firstUser_ = this;
  }
}

void NamedRangeElement::Save(SaveStream& stream) const {
  RangeElement::Save(stream);
  stream.WriteI32(NamedRangeIndex(target_));
}

void NamedRangeElement::Restore(SaveStream& stream) {
  RangeElement::Restore(stream);
  SetTarget(nullptr);
  savedIndex_ = stream.ReadI32();
  restored_ = true;
}

void NamedRangeElement::RemapPointers() {
  if (!restored_) return;
  restored_ = false;
  SetTarget(NamedRangeByIndex(savedIndex_));
  savedIndex_ = 0;
}

int NamedRangeElement::ParseArgs(CommandType& interp, int* index) { return RangeElement::ParseArgs(interp, index); }

void NamedRangeElement::Print(CommandType& interp) const {
  RangeElement::Print(interp);
  interp << " (Named Range)\n";
}

String NamedRangeElement::Name() const { return target_ ? target_->Name() : String("Named Range"); }

bool NamedRangeElement::IsIn(const double position[3], const LocatedObject* subject) const {
  return target_ ? target_->IsInAt(position, subject) : true;
}

std::unique_ptr<RangeElement> NamedRangeElement::CreateFromCommand(CommandType&, int*) const { return nullptr; }

std::unique_ptr<RangeElement> NamedRangeElement::Clone() const { return std::make_unique<NamedRangeElement>(*this); }

String NamedRangeElement::CommandText() const {
  if (!target_) return RangeElement::CommandText();
  return target_->Name() + " " + RangeElement::CommandText();
}

// ---------------------------------------------------------------------------
// The named-range list

Range* FindNamedRange(const String& name) {
  for (const auto& r : NamedList())
    if (r->Name() == name) return r.get();
  return nullptr;
}

int NamedRangeCount() { return static_cast<int>(NamedList().size()); }

Range* NamedRangeAt(int n) {
  if (n < 0 || n >= NamedRangeCount()) return nullptr;
  return NamedList()[static_cast<size_t>(n)].get();
}

void RegisterNamedRange(const Range& source, const String& name) {
  if (name.IsEmpty()) return;
  if (Range* existing = FindNamedRange(name)) {
    if (source.Reaches(existing)) throw Range::RangeExcept(MessageText("Recursive use of names in range"));
    *existing = source;
    existing->SetName(name);
    return;
  }
  auto copy = std::make_unique<Range>(source);
  copy->SetName(name);
  NamedList().push_back(std::move(copy));
}

bool DeleteNamedRange(const String& name) {
  if (name.IsEmpty()) return false;
  auto& list = NamedList();
  for (auto it = list.begin(); it != list.end(); ++it) {
    if ((*it)->Name() != name) continue;
    if ((*it)->InUse()) return false;
    list.erase(it);
    return true;
  }
  return false;
}

void ClearNamedRanges() {
  auto& list = NamedList();
  for (auto& r : list) r->Clear();  // the references between named ranges go first
  list.clear();                     // then any other range still referring loses its target
}

void SaveNamedRanges(SaveStream& stream) {
  const auto& list = NamedList();
  stream.WriteI32(static_cast<int32_t>(list.size()));
  for (const auto& r : list) {
    stream.WriteI32(0);
    r->Save(stream);
  }
}

void RestoreNamedRanges(SaveStream& stream) {
  ClearNamedRanges();
  BadPointers() = 0;
  int32_t count = stream.ReadI32();
  if (count < 0) stream.ReadFailure();
  stream.CheckAvailable(static_cast<uint64_t>(count) * 12);  // type code, name length, element count
  std::vector<std::unique_ptr<Range>> restored;
  restored.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    if (stream.ReadI32() != 0) stream.ReadFailure();
    auto r = std::make_unique<Range>();
    r->Restore(stream);
    if (r->Name().IsEmpty()) stream.ReadFailure();
    restored.push_back(std::move(r));
  }
  NamedList() = std::move(restored);
}

void RemapNamedRanges() {
  for (const auto& r : NamedList()) r->RemapPointers();
  if (NamedRangesCircular()) {
    ClearNamedRanges();
    throw KWRExcept("Error reading save file");
  }
}

int32_t NamedRangeBadPointers() { return BadPointers(); }

Range& PrintRange() {
  static Range range;
  return range;
}

// ---------------------------------------------------------------------------
// PRINT RLIST and RANGE

void PrintNamedRanges(CommandType& interp, int* index) {
  String word;
  if (interp.CheckString(&word, index) == CommandType::kOk) {
    if (const Range* r = FindNamedRange(word)) {
      interp << MessageText("Contents of Range %s ...", r->Name()) << "\n";
      r->PrintElements(interp);
      return;
    }
  }
  PageGuard guard(interp);
  interp << MessageText(" List of Named Ranges\n --------------------\n");
  for (const auto& r : NamedList()) interp << "  " << r->Name() << "\n";
}

// The phrase goes into a range that is thrown away: the command's only
// lasting effect is the named range its phrase may define.
int RangeCommand(CommandType& interp) {
  Range phrase;
  int code = phrase.ParsePhrase(interp);
  if (code != CommandType::kOk && code != CommandType::kMissing) interp.ThrowParamError(code);
  return CommandType::kDone;
}

int PrintRangeList(CommandType& interp) {
  PrintNamedRanges(interp);
  return CommandType::kDone;
}
