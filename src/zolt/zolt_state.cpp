#include "zolt/zolt_state.h"

#include <vector>

#include "base/except.h"
#include "base/savestream.h"

// ---------------------------------------------------------------------------
// Statements, symbols and zoltcall entries

ZoltStatement::ZoltStatement(uint32_t code) : op(code) {}

ZoltStatement::~ZoltStatement() {
  if (counted_) ForEachReference([](ZoltSymbol& s) { --s.references; });
}

void ZoltStatement::ForEachReference(void (*visit)(ZoltSymbol&)) const {
  for (const ZoltValue* v : {&a, &b})
    if (v->IsPlainKind() && v->TypeTag() == ZoltValue::kReference) visit(*static_cast<ZoltSymbol*>(v->Node()));
  if (op == kOpJsr && t.KindWord() == ZoltValue::kCalleeSymbol) visit(*static_cast<ZoltSymbol*>(t.Node()));
}

void ZoltStatement::CountReferences() {
  if (counted_) return;
  counted_ = true;
  ForEachReference([](ZoltSymbol& s) { ++s.references; });
}

ZoltSymbol* ZoltStatement::HeadSymbol() const { return static_cast<ZoltSymbol*>(a.Node()); }
ZoltSymbol* ZoltStatement::CalleeSymbol() const { return static_cast<ZoltSymbol*>(t.Node()); }

namespace {
bool IsCaseDispatch(const ZoltStatement& s) {
  return s.op == kOpJmp && s.t.KindWord() == ZoltValue::kCaseHighest;
}

uint32_t IndexOf(const LinkListNode* node) { return node ? node->SaveIndex() : 0; }
}  // namespace

void ZoltStatement::Save(SaveStream& s) const {
  s.WriteU32(op);
  s.WriteU32(flags);
  a.Save(s);
  b.Save(s);
  t.Save(s);
  if (IsCaseDispatch(*this)) {
    for (LinkListNode* entry : b.Table()) s.WriteU32(IndexOf(entry));
    s.WriteU32(IndexOf(b.DefaultTarget()));
  }
}

void ZoltStatement::Restore(SaveStream& s) {
  op = s.ReadU32();
  flags = s.ReadU32();
  a.Restore(s);
  b.Restore(s);
  t.Restore(s);
  if (IsCaseDispatch(*this)) {
    const uint32_t highest = t.TypeTag();
    if (highest > 255 || b.KindWord() != ZoltValue::kCaseTable) s.ReadFailure();
    s.CheckAvailable((uint64_t{highest} + 2) * 4);
    std::vector<LinkListNode*> table(highest + 1);
    for (LinkListNode*& entry : table) entry = reinterpret_cast<LinkListNode*>(uintptr_t{s.ReadU32()});
    auto* byDefault = reinterpret_cast<LinkListNode*>(uintptr_t{s.ReadU32()});
    b.SetCaseTable(std::move(table), byDefault);
  }
}

ZoltSymbol::ZoltSymbol() { SetTypeCode(1); }
ZoltSymbol::ZoltSymbol(const String& n) : name(n) { SetTypeCode(1); }

void ZoltSymbol::Save(SaveStream& s) const {
  value.Save(s);
  s.WriteU32(IndexOf(function));
  SaveString(s, name);
}

void ZoltSymbol::Restore(SaveStream& s) {
  value.Restore(s);
  if (!value.IsData(true)) s.ReadFailure();
  function = reinterpret_cast<ZoltStatement*>(uintptr_t{s.ReadU32()});
  RestoreString(s, name);
}

void ZoltCallEntry::Save(SaveStream& s) const { s.WriteU32(IndexOf(head)); }

void ZoltCallEntry::Restore(SaveStream& s) { head = reinterpret_cast<ZoltStatement*>(uintptr_t{s.ReadU32()}); }

// ---------------------------------------------------------------------------
// The symbol table

void ZoltSymbolTable::Follow() {
  if (caseSensitive_ != IsCaseSensitive()) Rebuild();
}

void ZoltSymbolTable::Rebuild() {
  caseSensitive_ = IsCaseSensitive();
  index_.clear();
  // Under one spelling the first symbol in list order answers.
  for (LinkListNode* n : list_) {
    auto* s = static_cast<ZoltSymbol*>(n);
    index_.emplace(s->name, s);
  }
}

ZoltSymbol* ZoltSymbolTable::Find(const String& name) {
  Follow();
  auto it = index_.find(name);
  return it == index_.end() ? nullptr : it->second;
}

ZoltSymbol* ZoltSymbolTable::FindOrCreate(const String& name) {
  Follow();
  auto it = index_.lower_bound(name);
  if (it != index_.end() && !NameLess()(name, it->first)) return it->second;
  auto symbol = std::make_unique<ZoltSymbol>(name);
  ZoltSymbol* s = symbol.get();
  index_.emplace_hint(it, name, s);
  list_.InsertBefore(it == index_.end() ? nullptr : it->second, symbol.release());
  return s;
}

void ZoltSymbolTable::Clear() {
  index_.clear();
  list_.Clear();
  caseSensitive_ = IsCaseSensitive();
}

// ---------------------------------------------------------------------------
// The state and its save section

void ZoltState::Clear() {
  statements.Clear();
  symbols.Clear();
  for (ZoltCallList& l : calls) l.Clear();
  blocks.Clear();
  for (uint8_t& o : options) o = 0;
}

void ZoltState::Save(SaveStream& s) {
  statements.Number();
  symbols.List().Number();
  blocks.Number();
  statements.Save(s);
  symbols.List().Save(s);
  for (ZoltCallList& l : calls) l.Save(s);
  blocks.Save(s);
  for (uint8_t o : options) s.WriteU8(o);
}

namespace {
uint32_t Raw(const LinkListNode* field) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(field)); }

// Checks, on the saved indices, that the restored statements can be run and
// edited safely: every statement lies between a HEAD and its .END, jumps and
// statement results stay inside their function, calls name a HEAD, and the
// operands of each operation are of the kinds its operation reads.
class StateCheck {
 public:
  StateCheck(ZoltState& state, SaveStream& stream) : state_(state), stream_(stream) {
    symbolCount_ = state.symbols.List().Count();
    for (LinkListNode* n : state.statements) statements_.push_back(static_cast<ZoltStatement*>(n));
  }

  void Run() {
    FindFunctions();
    for (size_t i = 0; i < statements_.size(); ++i) CheckStatement(*statements_[i], i);
    for (LinkListNode* n : state_.symbols.List()) {
      const auto* s = static_cast<const ZoltSymbol*>(n);
      if (!IsHeadOrNone(Raw(s->function))) Fail();
    }
    for (const ZoltCallList& l : state_.calls)
      for (LinkListNode* n : l)
        if (!IsHeadOrNone(Raw(static_cast<const ZoltCallEntry*>(n)->head))) Fail();
  }

 private:
  [[noreturn]] void Fail() {
    stream_.ReadFailure();
    throw KWRExcept("Error reading save file");  // not reached: the stream throws its own error
  }

  // Function ranges: first_[i] and last_[i] are the 1-based indices of the
  // HEAD and the .END around statement i.
  void FindFunctions() {
    const size_t n = statements_.size();
    first_.assign(n, 0);
    last_.assign(n, 0);
    size_t head = 0;
    bool inside = false;
    for (size_t i = 0; i < n; ++i) {
      const uint32_t op = statements_[i]->op;
      if (op == kOpHead) {
        if (inside) Fail();  // a function without its end
        inside = true;
        head = i;
      } else if (!inside) {
        Fail();  // a statement outside every function
      }
      first_[i] = static_cast<uint32_t>(head + 1);
      if (op == kOpEnd) {
        inside = false;
        for (size_t j = head; j <= i; ++j) last_[j] = static_cast<uint32_t>(i + 1);
      }
    }
    if (inside) Fail();
  }

  bool InFunction(uint32_t index, size_t at) const { return index >= first_[at] && index <= last_[at]; }
  bool IsHeadOrNone(uint32_t index) const {
    return index == 0 || (index <= statements_.size() && statements_[index - 1]->op == kOpHead);
  }
  bool IsSymbol(uint32_t index) const { return index >= 1 && index <= symbolCount_; }

  // An operand whose tag tells what it holds: references must name a symbol,
  // statement results a statement of the same function.
  void CheckPlain(const ZoltValue& v, size_t at) {
    if (!v.IsPlainKind()) return;
    if (v.TypeTag() == ZoltValue::kReference && !IsSymbol(Raw(v.Node()))) Fail();
    if (v.TypeTag() == ZoltValue::kResult && !InFunction(Raw(v.Node()), at)) Fail();
  }
  // An operand that the executor reads or writes as a value.
  void NeedValue(const ZoltValue& v) {
    if (!v.IsPlainKind() && v.KindWord() != ZoltValue::kMemoryPointer && !v.IsModelPointer()) Fail();
  }

  void CheckStatement(ZoltStatement& s, size_t at) {
    CheckPlain(s.a, at);
    CheckPlain(s.b, at);
    CheckPlain(s.t, at);
    switch (s.op) {
      case kOpExp:
      case kOpDiv:
      case kOpMul:
      case kOpSub:
      case kOpAdd:
        NeedValue(s.a);
        NeedValue(s.b);
        NeedValue(s.t);
        break;
      case kOpMov:
        NeedValue(s.a);
        NeedValue(s.t);
        break;
      case kOpEnd:
        if (s.a.KindWord() != ZoltValue::kEndHead || Raw(s.a.Node()) != first_[at]) Fail();
        break;
      case kOpHead:
        if (s.a.KindWord() != ZoltValue::kHeadSymbol || !IsSymbol(Raw(s.a.Node()))) Fail();
        if (s.flags > static_cast<uint32_t>(kZoltSlots)) Fail();
        break;
      case kOpJsr:
        if (s.a.KindWord() != ZoltValue::kCallee || !IsHeadOrNone(Raw(s.a.Node()))) Fail();
        if (s.t.KindWord() != ZoltValue::kCalleeSymbol || !IsSymbol(Raw(s.t.Node()))) Fail();
        break;
      case kOpJmp:
        CheckJump(s, at);
        break;
      case kOpCommand:
        if (s.a.KindWord() != ZoltValue::kCommandLines) Fail();
        break;
      default:
        break;  // runs as nothing
    }
  }

  void CheckJump(const ZoltStatement& s, size_t at) {
    if (s.t.KindWord() == ZoltValue::kCaseHighest) {
      if (s.t.Word() != kTestCase) Fail();
      NeedValue(s.a);
      for (LinkListNode* entry : s.b.Table())
        if (!InFunction(Raw(entry), at)) Fail();
      if (!InFunction(Raw(s.b.DefaultTarget()), at)) Fail();
      return;
    }
    if (s.t.KindWord() != ZoltValue::kJumpTarget) Fail();
    const int32_t test = s.t.Word();
    const bool compares = test == kTestEqual || (test >= kTestGreater && test <= kTestLessEqual);
    if (!compares && test != kTestAlways) Fail();
    if (!InFunction(Raw(s.t.Target()), at)) Fail();
    if (compares) {
      NeedValue(s.a);
      NeedValue(s.b);
    }
  }

  ZoltState& state_;
  SaveStream& stream_;
  uint32_t symbolCount_ = 0;
  std::vector<ZoltStatement*> statements_;
  std::vector<uint32_t> first_, last_;
};

// Resolves the saved indices against the restored lists; the checks above
// have made sure that each names an object.
class StateLinks : public ZoltLinks {
 public:
  StateLinks(ZoltState& state, SaveStream& stream) : state_(state), stream_(stream) {}
  LinkListNode* Statement(uint32_t index) override { return Get(state_.statements, index); }
  LinkListNode* Symbol(uint32_t index) override { return Get(state_.symbols.List(), index); }
  ZoltMemBlock* Block(uint32_t index) override { return static_cast<ZoltMemBlock*>(Get(state_.blocks, index)); }
  void Damaged() override {
    stream_.ReadFailure();
    throw KWRExcept("Error reading save file");  // not reached
  }
  // Model pointers wait for the model.
  bool ModelPointer(ZoltValue&) override { return true; }

 private:
  LinkListNode* Get(const LinkListBase& list, uint32_t index) {
    if (index == 0) return nullptr;
    if (index > list.Count()) stream_.ReadFailure();
    return list.GetByIndex(index);
  }

  ZoltState& state_;
  SaveStream& stream_;
};
}  // namespace

void ZoltState::Restore(SaveStream& s) {
  Clear();
  try {
    statements.Restore(s);
    symbols.List().Restore(s);
    for (ZoltCallList& l : calls) l.Restore(s);
    blocks.Restore(s);
    for (uint8_t& o : options) o = s.ReadU8();

    StateCheck(*this, s).Run();
    StateLinks links(*this, s);
    for (LinkListNode* n : statements) {
      auto* st = static_cast<ZoltStatement*>(n);
      // A function is never running in a restored state.
      if (st->op == kOpHead) st->b.SetControl(ZoltValue::kHeadContinuation);
      st->a.RemapPointers(links);
      st->b.RemapPointers(links);
      st->t.RemapPointers(links);
      if (IsCaseDispatch(*st)) {
        for (LinkListNode*& entry : st->b.Table()) entry = links.Statement(Raw(entry));
        st->b.SetDefaultTarget(links.Statement(Raw(st->b.DefaultTarget())));
      }
    }
    for (LinkListNode* n : symbols.List()) {
      auto* sym = static_cast<ZoltSymbol*>(n);
      sym->value.RemapPointers(links);
      sym->function = static_cast<ZoltStatement*>(links.Statement(Raw(sym->function)));
    }
    for (ZoltCallList& l : calls)
      for (LinkListNode* n : l) {
        auto* e = static_cast<ZoltCallEntry*>(n);
        e->head = static_cast<ZoltStatement*>(links.Statement(Raw(e->head)));
      }
    for (LinkListNode* n : blocks) static_cast<ZoltMemBlock*>(n)->RemapPointers(links);
    symbols.Rebuild();
    for (LinkListNode* n : statements) {
      auto* st = static_cast<ZoltStatement*>(n);
      st->CountReferences();
      if (st->op != kOpJmp) continue;
      if (IsCaseDispatch(*st)) {
        for (LinkListNode* entry : st->b.Table()) static_cast<ZoltStatement*>(entry)->jumpTarget = true;
        static_cast<ZoltStatement*>(st->b.DefaultTarget())->jumpTarget = true;
      } else {
        st->JumpTarget()->jumpTarget = true;
      }
    }
  } catch (...) {
    Clear();
    throw;
  }
}

void ZoltState::RemapModelPointers(ZoltLinks& links) {
  for (LinkListNode* n : statements) {
    auto* st = static_cast<ZoltStatement*>(n);
    st->a.RemapModelPointers(links);
    st->b.RemapModelPointers(links);
    st->t.RemapModelPointers(links);
  }
  for (LinkListNode* n : symbols.List()) static_cast<ZoltSymbol*>(n)->value.RemapModelPointers(links);
  for (LinkListNode* n : blocks) static_cast<ZoltMemBlock*>(n)->RemapModelPointers(links);
}
