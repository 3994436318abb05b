// The scripting language's run-time value, as the language itself and the
// model exchange it: the extra variables of zones and grid-points (CONFIG
// zextra, gpextra), the variables and arrays of the scripting level and the
// operands of its compiled statements all hold ZoltValues.
//
// A value is a type tag, a kind word and an 8-byte payload, with one more
// word beside them. Plain values (kind 0) hold an integer, a real, a text, a
// pointer or an array. Inside compiled code the tag may also name a symbol,
// the result of another statement, a keyword, an intrinsic or an argument
// slot, and the kind word of a control statement's operand says which words
// hold statement or symbol pointers, so that save, restore and remapping
// know them.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <utility>
#include <vector>

#include "base/except.h"
#include "base/linklist.h"
#include "base/string.h"

class SaveStream;
class ZoltArray;
class ZoltMemBlock;
class ZoltValue;

TERRAX_DERIVED_EXCEPT(ZoltExcept, KWRExcept);

class ZoltExeExcept : public ZoltExcept {
 public:
  ZoltExeExcept() : ZoltExcept("Zolt execution error") {}
  explicit ZoltExeExcept(const String& text) : ZoltExcept(text) {}
};

class ZoltArgExcept : public ZoltExcept {
 public:
  ZoltArgExcept() : ZoltExcept("Invalid argument type") {}
  explicit ZoltArgExcept(const String& text) : ZoltExcept(text) {}
};

// The bounds every reader of a value as a plain integer passes.
constexpr int32_t kZoltIntMin = -2000000000;
constexpr int32_t kZoltIntMax = 2000000000;
// The scripting level's argument slots; no array has more dimensions.
constexpr int kZoltSlots = 30;

// Turns the saved indices of a restored value back into objects. The
// scripting level answers for its statements, symbols and memory blocks and
// checks that each index can stand where it was read; one that cannot is
// its read error. Pointers of the model's kinds (zones, grid-points, ...)
// are the model's to remap once the model is restored.
class ZoltLinks {
 public:
  virtual ~ZoltLinks() = default;
  // The statement of a saved index (0: none), held by a value of the kind
  // given (a plain kind for a statement result).
  virtual LinkListNode* Statement(uint32_t index, uint32_t kind) = 0;
  virtual LinkListNode* Symbol(uint32_t index) = 0;
  virtual ZoltMemBlock* Block(uint32_t index) = 0;
  // A saved value that no saved state can hold: the read error.
  [[noreturn]] virtual void Damaged() = 0;
  // A pointer of a model kind (19, 20 or from 22 on) with its saved index.
  virtual void ModelPointer(ZoltValue& value, uint32_t index) = 0;
};

class ZoltValue {
 public:
  enum Tag : uint32_t {
    kInteger = 0,
    kFloat = 1,
    kString = 2,
    kPointer = 3,
    kArray = 4,
    kResult = 6,
    kReference = 7,
    kKeyword = 8,
    kIntrinsic = 9,
    kSlot = 11
  };
  // An operator token of the compiler, with its code in the payload. (Tokens
  // are never saved; a tag of its own keeps it apart from the arrays that
  // values own.)
  static constexpr uint32_t kOperator = 12;

  // Kind words. 0 plain; 10 and 13 plain operands of a jump; 1 to 18 the
  // control operands of the compiled statements; 21 a pointer into a memory
  // block; 100 on the model's objects.
  enum Kind : uint32_t {
    kPlain = 0,
    kEndHead = 1,  // .END A: the function's HEAD
    kEndB = 2,
    kEndT = 3,
    kHeadSymbol = 4,        // HEAD A: the function's symbol; tag word 1 marks WHILE_STEPPING
    kHeadContinuation = 5,  // HEAD B
    kHeadT = 6,
    kCallee = 7,  // .JSR A: the callee's HEAD once resolved
    kCallB = 8,
    kCalleeSymbol = 9,  // .JSR T: the callee's symbol
    kJumpA = 10,
    kJumpB = 11,
    kJumpTarget = 12,  // .JMP T: the target and the test code
    kCaseSelector = 13,
    kCaseTable = 14,     // case dispatch B: the jump table and the default target
    kCaseHighest = 15,   // case dispatch T: the highest case number and the test code 18
    kCommandLines = 16,  // COMMAND A: the lines of the block
    kCommandLast = 17,
    kCommandT = 18,
    kMemoryPointer = 21,
    kZonePointer = 100,
    kGridPointPointer = 101,
    kInterfacePointer = 102,
    kInterfaceNodePointer = 103,
    kInterfaceElementPointer = 104,
    kSelNodePointer = 105,
    kSelPointer = 106,
    kSelLinkPointer = 107
  };

  ZoltValue() {
    payload_.raw = 0;
    aux_.raw = 0;
  }
  ZoltValue(const ZoltValue& other) : ZoltValue() { *this = other; }
  ZoltValue(ZoltValue&& other) noexcept : ZoltValue() { Swap(other); }
  // Integers, reals and pointers copy as words; what a value owns (a text,
  // an array, a jump table, command lines) is copied deeply.
  ZoltValue& operator=(const ZoltValue& other) {
    if (this != &other) {
      if (OwnsHeap() || other.OwnsHeap()) {
        AssignOwned(other);
      } else {
        kind_ = other.kind_;
        tag_ = other.tag_;
        payload_ = other.payload_;
        aux_ = other.aux_;
      }
    }
    return *this;
  }
  ZoltValue& operator=(ZoltValue&& other) noexcept {
    Swap(other);
    return *this;
  }
  ~ZoltValue() {
    if (OwnsHeap()) Free();
  }
  void Swap(ZoltValue& other) noexcept;

  uint32_t TypeTag() const { return tag_; }
  uint32_t KindWord() const { return kind_; }
  // Kinds whose tag tells what the payload is: plain values and the plain
  // operands of jumps.
  bool IsPlainKind() const { return kind_ == kPlain || kind_ == kJumpA || kind_ == kCaseSelector; }
  bool IsNumeric() const { return tag_ == kInteger || tag_ == kFloat; }

  // Setters free what the value owned and clear the kind word and the
  // owner word; a pointer keeps the owner word.
  void SetInt(int32_t v) {
    if (OwnsHeap()) Free();
    kind_ = kPlain;
    tag_ = kInteger;
    payload_.raw = 0;
    payload_.i = v;
    aux_.raw = 0;
  }
  void SetFloat(double v) {
    if (OwnsHeap()) Free();
    kind_ = kPlain;
    tag_ = kFloat;
    payload_.d = v;
    aux_.raw = 0;
  }
  void SetString(const String& v);
  void SetText(const char* text) { SetString(String(text)); }
  // Kind 0 for a null pointer whatever the kind given. A pointer of one of
  // the model's kinds points at its object's list node: the save writes the
  // node's save index.
  void SetPointer(void* p, uint32_t kind);
  // A pointer into a memory block (kind 21).
  void SetMemoryPointer(ZoltMemBlock* block, ZoltValue* element);
  // Takes the array over.
  void SetArray(std::unique_ptr<ZoltArray> array);
  // Compiled-code values: the result of a statement, a symbol, a keyword or
  // operator code, an intrinsic code, an argument slot.
  void SetResult(LinkListNode* statement) { SetNodeTag(kResult, statement); }
  void SetReference(LinkListNode* symbol) { SetNodeTag(kReference, symbol); }
  void SetWordTag(uint32_t tag, int32_t word);
  // A control operand: the kind alone, its words empty.
  void SetControl(uint32_t kind);
  // Control operands that hold a statement or symbol (kinds 1, 4, 5, 7, 9).
  void SetNode(uint32_t kind, LinkListNode* node);
  // Jump operand T (kind 12).
  void SetJump(LinkListNode* target, int32_t test);
  // Case dispatch operands: B (kind 14) takes the table over; T (kind 15).
  void SetCaseTable(std::vector<LinkListNode*> table, LinkListNode* defaultTarget);
  void SetCaseHighest(uint32_t highest);
  // COMMAND operand A (kind 16).
  void SetCommandLines(std::vector<String> lines);
  // The type-tag word of a control operand used as data (the WHILE_STEPPING mark).
  void SetTagWord(uint32_t word) { tag_ = word; }
  // A plain value as the plain operand of a jump (kinds 0, 10 and 13 are alike).
  void SetPlainKind(uint32_t kind) {
    if (IsPlainKind() && (kind == kPlain || kind == kJumpA || kind == kCaseSelector)) kind_ = kind;
  }

  // Raw access by tag and kind; the caller knows which applies.
  int32_t Int() const { return payload_.i; }
  double Float() const { return payload_.d; }
  const String& Str() const { return *payload_.s; }
  void* Pointer() const { return payload_.p; }
  ZoltArray* Array() const { return payload_.a; }
  LinkListNode* Node() const { return payload_.node; }
  int32_t Word() const { return payload_.i; }
  LinkListNode* Target() const { return aux_.node; }
  void SetTarget(LinkListNode* target) { aux_.node = target; }
  std::vector<LinkListNode*>& Table() const { return *aux_.table; }
  LinkListNode* DefaultTarget() const { return payload_.node; }
  void SetDefaultTarget(LinkListNode* target) { payload_.node = target; }
  const std::vector<String>& Lines() const { return *payload_.lines; }
  std::vector<String>& Lines() { return *payload_.lines; }
  ZoltMemBlock* Block() const { return aux_.block; }
  ZoltValue* Element() const { return static_cast<ZoltValue*>(payload_.p); }

  // An integer, or a real truncated toward zero; "Integer out of range"
  // outside the bounds (a real that is no number too), "Bad integer
  // conversion" for any other type.
  int32_t GetInt(int32_t minimum, int32_t maximum) const;
  double GetFloat() const;
  // Tag 3 only, and of the kind asked for unless that is 0.
  void* GetPointer(uint32_t kind) const;
  // An integer in decimal, a real in scientific notation (precision 11,
  // width 16), a text as it is; "Bad string conversion" otherwise.
  String GetString() const;
  // The value for listings: an integer in decimal, a real in scientific
  // notation (precision 4, width 12), a text as it is, a pointer as its
  // address in decimal; other types an empty text.
  String ShortText() const;

  // The value as listings show it: an integer in decimal, a real in the
  // stream's current format, a text as it is.
  void Write(std::ostream& os) const;

  // The kind word, the owner word, then by kind the type tag and the payload
  // (statement, symbol and block pointers as their save indices).
  void Save(SaveStream& stream) const;
  // Reads the same. A pointer stays null and its saved index waits beside
  // the object being read (PendingLinks) until RemapPointers takes it; with
  // `links` false there is nobody to take it, and a value that has one is
  // the stream's read error, as is a tag, kind or count that no saved value
  // can have.
  void Restore(SaveStream& stream, bool links = true);
  // The same for a value held outside the scripting level: a pointer to a
  // model object keeps its saved index in `held` (0 for none) and stays null
  // until its holder remaps it.
  void Restore(SaveStream& stream, uint32_t& held);
  // Takes the saved indices in the order Restore read them.
  void RemapPointers(ZoltLinks& links);
  // A pointer of a kind the scripting level does not know itself.
  bool IsModelPointer() const { return kind_ == 19 || kind_ == 20 || kind_ > kMemoryPointer; }
  // Sets a model pointer's object once the model is restored.
  void SetModelObject(LinkListNode* object) { payload_.node = object; }
  // The owner word of a model pointer, free for the pointer's owner: the
  // interface intrinsics keep the interface id of a node or element pointer
  // in its low half (saved with the pointer) and the object's serial in its
  // high half.
  uint64_t OwnerWord() const { return aux_.raw; }
  void SetOwnerWord(uint64_t word) { aux_.raw = word; }
  // Whether this can be the value of a variable or of an array element: a
  // plain integer, real, text, pointer (or array) and not a compiled-code form.
  bool IsData(bool arrayAllowed) const;

 private:
  bool OwnsHeap() const {
    switch (kind_) {
      case kPlain:
      case kJumpA:
      case kCaseSelector:
        return tag_ == kString || tag_ == kArray;
      case kCaseTable:
      case kCommandLines:
        return true;
      default:
        return false;
    }
  }
  void Free();
  void AssignOwned(const ZoltValue& other);
  void Restore(SaveStream& stream, bool links, uint32_t* held);
  void SetNodeTag(uint32_t tag, LinkListNode* node);

  uint32_t kind_ = kPlain;
  uint32_t tag_ = kInteger;
  union {
    int32_t i;
    double d;
    String* s;
    void* p;
    ZoltArray* a;
    LinkListNode* node;
    std::vector<String>* lines;
    uint64_t raw;
  } payload_;
  // The owner word: the memory block of a memory pointer; the target of a
  // jump; the table of a case dispatch.
  union {
    ZoltMemBlock* block;
    LinkListNode* node;
    std::vector<LinkListNode*>* table;
    uint64_t raw;
  } aux_;
};

// The pointers of restored extra variables with their saved indices; the
// scripting level empties it before a restore and remaps them after.
std::vector<std::pair<ZoltValue*, uint32_t>>& HeldZoltPointers();

bool ZoltArgIsNumeric(const ZoltValue& v);
// |a| when b >= 0, else -|a| (wrapping for the lowest integer).
int32_t ZoltIntSign(int32_t a, int32_t b);

// An array's descriptor and elements, the first index varying fastest.
class ZoltArray {
 public:
  // Each size at least 1, at most 30 of them, and a product that memory can
  // hold: otherwise the model's allocation error.
  explicit ZoltArray(const std::vector<int32_t>& sizes);
  ZoltArray(const ZoltArray& other);
  ZoltArray& operator=(const ZoltArray&) = delete;

  int Dimensions() const { return static_cast<int>(sizes_.size()); }
  int32_t Size(int dimension) const { return sizes_[static_cast<size_t>(dimension)]; }
  const std::vector<int32_t>& Sizes() const { return sizes_; }
  uint32_t Count() const { return count_; }
  ZoltValue& At(uint32_t linear) { return elements_[linear]; }
  const ZoltValue& At(uint32_t linear) const { return elements_[linear]; }
  // The linear index of 1-based indices, each within its size.
  uint32_t LinearIndex(const int32_t* indices) const;

  void Save(SaveStream& stream) const;
  // Dimensions, sizes and elements; "read error" for a count that is not
  // positive, a size below 1, more than 30 dimensions, a product past 32 bits
  // or the bytes left, or an element that is no plain value.
  static std::unique_ptr<ZoltArray> Restore(SaveStream& stream, bool links);
  void RemapPointers(ZoltLinks& links);

 private:
  std::vector<int32_t> sizes_;
  uint32_t count_ = 0;
  std::unique_ptr<ZoltValue[]> elements_;
};

// A block of values made by the scripting level's get_mem; memory pointers
// (kind 21) point at its elements.
class ZoltMemBlock : public LinkListNode {
 public:
  explicit ZoltMemBlock(int32_t count = 0);
  int32_t Count() const { return count_; }
  ZoltValue* Elements() const { return values_.get(); }

  // The count, then each element.
  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;
  void RemapPointers(ZoltLinks& links);

 private:
  int32_t count_ = 0;
  std::unique_ptr<ZoltValue[]> values_;
};

// A counted array of values; zones and grid-points hold one each, sized by
// the configured number of extra variables.
class ZoltParamArray {
 public:
  explicit ZoltParamArray(uint32_t count = 0) { Resize(count); }
  ~ZoltParamArray() { delete[] values_; }
  ZoltParamArray(const ZoltParamArray&) = delete;
  ZoltParamArray& operator=(const ZoltParamArray&) = delete;

  uint32_t Count() const { return count_; }
  // Zero-based; "Parameter array index out of range" at or past the count.
  ZoltValue& At(uint32_t index);
  const ZoltValue& At(uint32_t index) const;
  // Keeps the first min(old, new) values; new entries are integer 0.
  void Resize(uint32_t count);

  void Save(SaveStream& stream) const;
  // Numbers, texts and pointers. A value that is no plain value is the
  // stream's read error, and so is a pointer into a memory block. Pointers
  // to model objects wait in HeldZoltPointers until the scripting level
  // remaps them after RESTORE.
  void Restore(SaveStream& stream);

 private:
  uint32_t count_ = 0;
  ZoltValue* values_ = nullptr;
};
