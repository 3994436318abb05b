// The scripting level's state: the compiled statements of every function in
// one list, the symbols (variables and functions) in name order, the fifty
// zoltcall lists and the memory blocks, with their save section.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/linklist.h"
#include "base/string.h"
#include "model/zolt_value.h"

class SaveStream;
class ZoltSymbol;

// Operation codes of a compiled statement.
enum ZoltOp : uint32_t {
  kOpNoop = 0,
  kOpExp = 1,
  kOpDiv = 2,
  kOpMul = 3,
  kOpSub = 4,
  kOpAdd = 5,
  kOpNeg = 6,  // never compiled; runs as nothing
  kOpMov = 7,
  kOpEnd = 8,
  kOpHead = 9,
  kOpJsr = 10,
  kOpJmp = 11,
  kOpCommand = 12
};

// Test codes of a jump (operand T's payload): jump when the test holds.
enum ZoltTest : int32_t {
  kTestEqual = 8,
  kTestGreater = 12,
  kTestLess = 13,
  kTestNotEqual = 14,
  kTestGreaterEqual = 15,
  kTestLessEqual = 16,
  kTestAlways = 17,
  kTestCase = 18
};

// One compiled statement: an operation, three operands and a flag word (a
// .MOV of a whole array as an argument: 1; a HEAD: the argument slots the
// function's own calls fill).
class ZoltStatement : public LinkListNode {
 public:
  explicit ZoltStatement(uint32_t op = kOpNoop);
  ~ZoltStatement() override;
  ZoltStatement(const ZoltStatement&) = delete;
  ZoltStatement& operator=(const ZoltStatement&) = delete;

  ZoltStatement* Next() const { return static_cast<ZoltStatement*>(NextNode()); }
  ZoltStatement* Previous() const { return static_cast<ZoltStatement*>(PreviousNode()); }

  // The HEAD's symbol; the .JSR's callee symbol.
  ZoltSymbol* HeadSymbol() const;
  ZoltSymbol* CalleeSymbol() const;
  ZoltStatement* Callee() const { return static_cast<ZoltStatement*>(a.Node()); }
  ZoltStatement* JumpTarget() const { return static_cast<ZoltStatement*>(t.Target()); }
  int32_t Test() const { return t.Word(); }

  // The operation code, the flag word, the three operands; a case dispatch
  // then its table's entries and its default target as save indices.
  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;

  uint32_t op;
  uint32_t flags = 0;
  ZoltValue a, b, t;
  // A HEAD: the function is running (as a callee, or started from the top).
  bool running = false;
  // A jump leads here.
  bool jumpTarget = false;

  // The symbols named by operands A and B and by a call's callee are
  // counted in each symbol's references once the statement is complete;
  // the count goes when the statement goes.
  void CountReferences();

 private:
  void ForEachReference(void (*visit)(ZoltSymbol&)) const;
  bool counted_ = false;
};

// A named variable or function.
class ZoltSymbol : public LinkListNode {
 public:
  ZoltSymbol();
  explicit ZoltSymbol(const String& name);

  // The value, the HEAD of the function (save index), the name.
  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;

  bool IsArray() const { return value.TypeTag() == ZoltValue::kArray; }

  ZoltValue value;
  String name;
  ZoltStatement* function = nullptr;
  // Statements that name the symbol (not saved): a definition needs to look
  // beyond its own statements only when others name it.
  uint32_t references = 0;
};

// A function registered under a zoltcall number.
class ZoltCallEntry : public LinkListNode {
 public:
  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;

  ZoltStatement* head = nullptr;
};

class ZoltStatementList : public LinkListBase {
 public:
  LinkListNode* Create(uint32_t) override { return new ZoltStatement; }
  ZoltStatement* FirstStatement() const { return static_cast<ZoltStatement*>(First()); }
  ZoltStatement* LastStatement() const { return static_cast<ZoltStatement*>(Last()); }
};

class ZoltSymbolList : public LinkListBase {
 public:
  LinkListNode* Create(uint32_t) override { return new ZoltSymbol; }
};

class ZoltCallList : public LinkListBase {
 public:
  LinkListNode* Create(uint32_t) override { return new ZoltCallEntry; }
};

class ZoltMemBlockList : public LinkListBase {
 public:
  LinkListNode* Create(uint32_t) override { return new ZoltMemBlock; }
};

// Symbols in ascending name order under the program's comparison (case
// folded unless SET case_sensitivity is on), with an index beside the list
// that finds a name without walking it. The index follows the switch.
class ZoltSymbolTable {
 public:
  // The symbol of that name, or null.
  ZoltSymbol* Find(const String& name);
  // The symbol of that name, made (integer 0, no function) and put in its
  // place when missing.
  ZoltSymbol* FindOrCreate(const String& name);
  void Clear();
  // After the list was restored.
  void Rebuild();

  ZoltSymbolList& List() { return list_; }
  const ZoltSymbolList& List() const { return list_; }

 private:
  struct NameLess {
    bool operator()(const String& a, const String& b) const { return a.CompareString(b) < 0; }
  };
  void Follow();

  ZoltSymbolList list_;
  std::map<String, ZoltSymbol*, NameLess> index_;
  bool caseSensitive_ = false;
};

constexpr int kZoltCallLists = 50;

struct ZoltState {
  ZoltState() = default;
  // The statements go before the symbols they count references in.
  ~ZoltState() { Clear(); }
  ZoltState(const ZoltState&) = delete;
  ZoltState& operator=(const ZoltState&) = delete;

  ZoltStatementList statements;
  ZoltSymbolTable symbols;
  ZoltCallList calls[kZoltCallLists];
  ZoltMemBlockList blocks;
  // The blocks alive: a pointer into a freed block is refused, never read.
  std::unordered_set<const ZoltMemBlock*> liveBlocks;
  bool Live(const ZoltMemBlock* block) const { return liveBlocks.count(block) != 0; }
  // The third holds the run-time check switch of SET zoltcall check.
  uint8_t options[4] = {0, 0, 0, 0};
  // Counts the functions deleted (not saved): a zoltcall run that outlives
  // a deletion checks the functions it has still to run.
  uint32_t deletions = 0;

  // Empties every list and the options.
  void Clear();
  // The lists in order (statements, symbols, zoltcalls, memory blocks),
  // then the option bytes.
  void Save(SaveStream& stream);
  // Reads the same and turns the saved statement, symbol and block indices
  // into objects. A state that cannot have been saved (an index past its
  // list, a statement whose operands its operation cannot have, a function
  // without its end, a jump out of its function) is the stream's read error;
  // the state is then empty.
  void Restore(SaveStream& stream);
  // The pointers of the model's kinds, once the model is restored: `remap`
  // sets each value's object from its saved index, false when it cannot;
  // "Error remapping user defined pointer parameter" then.
  void RemapModelPointers(const std::function<bool(ZoltValue&, uint32_t)>& remap);

  // Pointers of the model's kinds read by the last restore, with their saved
  // indices, until the model is restored.
  std::vector<std::pair<ZoltValue*, uint32_t>> modelPointers;
};
