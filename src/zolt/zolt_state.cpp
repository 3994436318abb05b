#include "zolt/zolt_state.h"

#include <vector>

#include "base/except.h"
#include "base/savestream.h"
#include "zolt/zolt_model_pointers.h"

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
bool IsCaseDispatch(const ZoltStatement& s) { return s.op == kOpJmp && s.t.KindWord() == ZoltValue::kCaseHighest; }

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
    // The entries and the default wait as saved indices.
    for (uint32_t i = 0; i < highest + 2; ++i) RestoreIndex(s);
    b.SetCaseTable(std::vector<LinkListNode*>(highest + 1), nullptr);
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
  RestorePointer(s, function);
  RestoreString(s, name);
}

void ZoltCallEntry::Save(SaveStream& s) const { s.WriteU32(IndexOf(head)); }

void ZoltCallEntry::Restore(SaveStream& s) { RestorePointer(s, head); }

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
  liveBlocks.clear();
  for (uint8_t& o : options) o = 0;
  modelPointers.clear();
  ++deletions;
}

namespace {
// A pointer into a block that lose_mem has freed is saved as the null
// pointer: its block has no save index to give.
void ForgetFreedBlock(const ZoltState& state, ZoltValue& v) {
  if (v.KindWord() == ZoltValue::kMemoryPointer) {
    if (!state.Live(v.Block())) v.SetPointer(nullptr, 0);
  } else if (!ZoltModelPointerLive(v)) {
    v.SetPointer(nullptr, 0);
  } else if (v.IsPlainKind() && v.TypeTag() == ZoltValue::kArray) {
    ZoltArray& array = *v.Array();
    for (uint32_t i = 0; i < array.Count(); ++i) ForgetFreedBlock(state, array.At(i));
  }
}
}  // namespace

void ZoltState::Save(SaveStream& s) {
  for (LinkListNode* n : statements) {
    auto* st = static_cast<ZoltStatement*>(n);
    for (ZoltValue* v : {&st->a, &st->b, &st->t}) ForgetFreedBlock(*this, *v);
  }
  for (LinkListNode* n : symbols.List()) ForgetFreedBlock(*this, static_cast<ZoltSymbol*>(n)->value);
  for (LinkListNode* n : blocks) {
    auto* block = static_cast<ZoltMemBlock*>(n);
    for (int32_t i = 0; i < block->Count(); ++i) ForgetFreedBlock(*this, block->Elements()[i]);
  }
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
// Checks that the restored statements can be run and edited safely, and
// resolves their saved indices: every statement lies between a HEAD and its
// .END, jumps and statement results stay inside their function, calls name
// a HEAD, and the operands of each operation are of the kinds its operation
// reads. Anything else is the stream's read error.
class StateLinks : public ZoltLinks {
 public:
  StateLinks(ZoltState& state, SaveStream& stream) : state_(state), stream_(stream) {
    for (LinkListNode* n : state.statements) statements_.push_back(static_cast<ZoltStatement*>(n));
  }

  void Run() {
    FindFunctions();
    for (size_t i = 0; i < statements_.size(); ++i) CheckKinds(*statements_[i]);
    for (at_ = 0; at_ < statements_.size(); ++at_) {
      ZoltStatement* st = statements_[at_];
      state_.statements.RemapNode(st, [&] { RemapStatement(*st); });
    }
    for (LinkListNode* n : state_.symbols.List()) {
      auto* sym = static_cast<ZoltSymbol*>(n);
      state_.symbols.List().RemapNode(sym, [&] {
        sym->value.RemapPointers(*this);
        sym->function = static_cast<ZoltStatement*>(Statement(PendingLinks::Take(), ZoltValue::kCallee));
      });
    }
    for (ZoltCallList& l : state_.calls)
      for (LinkListNode* n : l) {
        auto* e = static_cast<ZoltCallEntry*>(n);
        l.RemapNode(
            e, [&] { e->head = static_cast<ZoltStatement*>(Statement(PendingLinks::Take(), ZoltValue::kCallee)); });
      }
    for (LinkListNode* n : state_.blocks) {
      auto* block = static_cast<ZoltMemBlock*>(n);
      state_.blocks.RemapNode(block, [&] { block->RemapPointers(*this); });
    }
  }

  LinkListNode* Statement(uint32_t index, uint32_t kind) override {
    if (kind == ZoltValue::kHeadContinuation) return nullptr;  // a function is never running in a restored state
    if (index == 0) return nullptr;
    if (index > statements_.size()) Damaged();
    ZoltStatement* s = statements_[index - 1];
    switch (kind) {
      case ZoltValue::kEndHead:
        if (index != first_[at_]) Damaged();
        break;
      case ZoltValue::kCallee:
        if (s->op != kOpHead) Damaged();
        break;
      default:  // jump targets and statement results
        if (index < first_[at_] || index > last_[at_]) Damaged();
        break;
    }
    return s;
  }
  LinkListNode* Symbol(uint32_t index) override { return Get(state_.symbols.List(), index); }
  ZoltMemBlock* Block(uint32_t index) override { return static_cast<ZoltMemBlock*>(Get(state_.blocks, index)); }
  void Damaged() override {
    stream_.ReadFailure();
    throw KWRExcept("Error reading save file");  // not reached: the stream throws its own error
  }
  void ModelPointer(ZoltValue& value, uint32_t index) override { state_.modelPointers.emplace_back(&value, index); }

 private:
  LinkListNode* Get(const LinkListBase& list, uint32_t index) {
    if (index > list.Count()) Damaged();
    return list.GetByIndex(index);
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
        if (inside) Damaged();  // a function without its end
        inside = true;
        head = i;
      } else if (!inside) {
        Damaged();  // a statement outside every function
      }
      first_[i] = static_cast<uint32_t>(head + 1);
      if (op == kOpEnd) {
        inside = false;
        for (size_t j = head; j <= i; ++j) last_[j] = static_cast<uint32_t>(i + 1);
      }
    }
    if (inside) Damaged();
  }

  // An operand that the executor reads or writes as a value.
  void NeedValue(const ZoltValue& v) {
    if (!v.IsPlainKind() && v.KindWord() != ZoltValue::kMemoryPointer && !v.IsModelPointer()) Damaged();
  }

  void CheckKinds(const ZoltStatement& s) {
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
        if (s.a.KindWord() != ZoltValue::kEndHead) Damaged();
        break;
      case kOpHead:
        if (s.a.KindWord() != ZoltValue::kHeadSymbol || s.flags > static_cast<uint32_t>(kZoltSlots)) Damaged();
        break;
      case kOpJsr:
        if (s.a.KindWord() != ZoltValue::kCallee || s.t.KindWord() != ZoltValue::kCalleeSymbol) Damaged();
        break;
      case kOpJmp:
        if (s.t.KindWord() == ZoltValue::kCaseHighest) {
          if (s.t.Word() != kTestCase) Damaged();
          NeedValue(s.a);
        } else {
          const int32_t test = s.t.Word();
          const bool compares = test == kTestEqual || (test >= kTestGreater && test <= kTestLessEqual);
          if (s.t.KindWord() != ZoltValue::kJumpTarget || (!compares && test != kTestAlways)) Damaged();
          if (compares) {
            NeedValue(s.a);
            NeedValue(s.b);
          }
        }
        break;
      case kOpCommand:
        if (s.a.KindWord() != ZoltValue::kCommandLines) Damaged();
        break;
      default:
        break;  // runs as nothing
    }
  }

  void RemapStatement(ZoltStatement& s) {
    s.a.RemapPointers(*this);
    s.b.RemapPointers(*this);
    s.t.RemapPointers(*this);
    if (IsCaseDispatch(s)) {
      for (LinkListNode*& entry : s.b.Table()) entry = Statement(PendingLinks::Take(), ZoltValue::kJumpTarget);
      s.b.SetDefaultTarget(Statement(PendingLinks::Take(), ZoltValue::kJumpTarget));
      for (LinkListNode* entry : s.b.Table())
        if (!entry) Damaged();
      if (!s.b.DefaultTarget()) Damaged();
    }
    // What the operation needs is there.
    if ((s.op == kOpHead && !s.a.Node()) || (s.op == kOpJsr && !s.t.Node()) ||
        (s.op == kOpJmp && !IsCaseDispatch(s) && !s.t.Target()))
      Damaged();
  }

  ZoltState& state_;
  SaveStream& stream_;
  std::vector<ZoltStatement*> statements_;
  std::vector<uint32_t> first_, last_;
  size_t at_ = 0;
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
    StateLinks(*this, s).Run();
    symbols.Rebuild();
    for (LinkListNode* n : blocks) liveBlocks.insert(static_cast<ZoltMemBlock*>(n));
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

void ZoltState::RemapModelPointers(const std::function<bool(ZoltValue&, uint32_t)>& remap) {
  std::vector<std::pair<ZoltValue*, uint32_t>> pending;
  pending.swap(modelPointers);
  for (auto& [value, index] : pending)
    if (!remap(*value, index)) throw ZoltExcept("Error remapping user defined pointer parameter");
}
