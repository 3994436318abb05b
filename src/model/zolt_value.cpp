#include "model/zolt_value.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>
#include <utility>

#include "base/app.h"
#include "base/savestream.h"
#include "base/stream.h"

// ---------------------------------------------------------------------------
// Ownership and copying

void ZoltValue::Swap(ZoltValue& other) noexcept {
  std::swap(kind_, other.kind_);
  std::swap(tag_, other.tag_);
  std::swap(payload_, other.payload_);
  std::swap(aux_, other.aux_);
}

void ZoltValue::Free() {
  switch (kind_) {
    case kCaseTable:
      delete aux_.table;
      break;
    case kCommandLines:
      delete payload_.lines;
      break;
    default:
      if (tag_ == kString)
        delete payload_.s;
      else if (tag_ == kArray)
        delete payload_.a;
      break;
  }
  kind_ = kPlain;
  tag_ = kInteger;
  payload_.raw = 0;
  aux_.raw = 0;
}

void ZoltValue::AssignOwned(const ZoltValue& other) {
  // The copy is made before anything is freed: a failed allocation leaves
  // this value as it was.
  ZoltValue copy;
  copy.kind_ = other.kind_;
  copy.tag_ = other.tag_;
  copy.payload_ = other.payload_;
  copy.aux_ = other.aux_;
  if (other.OwnsHeap()) {
    // Cleared first, so that a failed copy frees nothing of the other's.
    copy.payload_.raw = 0;
    copy.aux_.raw = 0;
    if (other.kind_ == kCaseTable) {
      copy.payload_ = other.payload_;
      copy.aux_.table = new std::vector<LinkListNode*>(*other.aux_.table);
    } else if (other.kind_ == kCommandLines) {
      copy.payload_.lines = new std::vector<String>(*other.payload_.lines);
    } else if (other.tag_ == kString) {
      copy.payload_.s = new String(*other.payload_.s);
    } else {
      copy.payload_.a = new ZoltArray(*other.payload_.a);
    }
  }
  Swap(copy);
}

void ZoltValue::SetString(const String& v) {
  String* text = new String(v);
  if (OwnsHeap()) Free();
  kind_ = kPlain;
  tag_ = kString;
  payload_.raw = 0;
  payload_.s = text;
  aux_.raw = 0;
}

void ZoltValue::SetPointer(void* p, uint32_t kind) {
  if (OwnsHeap()) Free();
  kind_ = p ? kind : kPlain;
  tag_ = kPointer;
  payload_.raw = 0;
  payload_.p = p;
}

void ZoltValue::SetMemoryPointer(ZoltMemBlock* block, ZoltValue* element) {
  if (OwnsHeap()) Free();
  if (!block || !element) {
    kind_ = kPlain;
    block = nullptr;
    element = nullptr;
  } else {
    kind_ = kMemoryPointer;
  }
  tag_ = kPointer;
  payload_.raw = 0;
  payload_.p = element;
  aux_.block = block;
}

void ZoltValue::SetArray(std::unique_ptr<ZoltArray> array) {
  if (OwnsHeap()) Free();
  kind_ = kPlain;
  tag_ = kArray;
  payload_.raw = 0;
  payload_.a = array.release();
  aux_.raw = 0;
}

void ZoltValue::SetNodeTag(uint32_t tag, LinkListNode* node) {
  if (OwnsHeap()) Free();
  kind_ = kPlain;
  tag_ = tag;
  payload_.raw = 0;
  payload_.node = node;
  aux_.raw = 0;
}

void ZoltValue::SetWordTag(uint32_t tag, int32_t word) {
  if (OwnsHeap()) Free();
  kind_ = kPlain;
  tag_ = tag;
  payload_.raw = 0;
  payload_.i = word;
  aux_.raw = 0;
}

void ZoltValue::SetControl(uint32_t kind) {
  if (OwnsHeap()) Free();
  kind_ = kind;
  tag_ = kInteger;
  payload_.raw = 0;
  aux_.raw = 0;
  if (kind == kCaseTable)
    aux_.table = new std::vector<LinkListNode*>;
  else if (kind == kCommandLines)
    payload_.lines = new std::vector<String>;
}

void ZoltValue::SetNode(uint32_t kind, LinkListNode* node) {
  SetControl(kind);
  payload_.node = node;
}

void ZoltValue::SetJump(LinkListNode* target, int32_t test) {
  SetControl(kJumpTarget);
  payload_.i = test;
  aux_.node = target;
}

void ZoltValue::SetCaseTable(std::vector<LinkListNode*> table, LinkListNode* defaultTarget) {
  auto* owned = new std::vector<LinkListNode*>(std::move(table));
  if (OwnsHeap()) Free();
  kind_ = kCaseTable;
  tag_ = kInteger;
  payload_.raw = 0;
  payload_.node = defaultTarget;
  aux_.table = owned;
}

void ZoltValue::SetCaseHighest(uint32_t highest) {
  SetControl(kCaseHighest);
  tag_ = highest;
  payload_.i = 18;
}

void ZoltValue::SetCommandLines(std::vector<String> lines) {
  auto* owned = new std::vector<String>(std::move(lines));
  if (OwnsHeap()) Free();
  kind_ = kCommandLines;
  tag_ = kInteger;
  payload_.raw = 0;
  payload_.lines = owned;
  aux_.raw = 0;
}

// ---------------------------------------------------------------------------
// Conversions

int32_t ZoltValue::GetInt(int32_t minimum, int32_t maximum) const {
  double v;
  if (tag_ == kInteger)
    v = payload_.i;
  else if (tag_ == kFloat)
    v = std::trunc(payload_.d);
  else
    throw ZoltExcept("Bad integer conversion");
  // A real that is no number fails this test too.
  if (!(v >= minimum && v <= maximum)) throw ZoltExcept("Integer out of range");
  return static_cast<int32_t>(v);
}

double ZoltValue::GetFloat() const {
  if (tag_ == kInteger) return payload_.i;
  if (tag_ == kFloat) return payload_.d;
  throw ZoltExcept("Bad floating point conversion");
}

void* ZoltValue::GetPointer(uint32_t kind) const {
  if (tag_ != kPointer || (kind != 0 && kind != kind_)) throw ZoltExcept("Bad pointer conversion");
  return payload_.p;
}

String ZoltValue::GetString() const {
  switch (tag_) {
    case kInteger:
      return IntToString(payload_.i);
    case kFloat:
      return DoubleToString(payload_.d, 11, 16, 1);
    case kString:
      return *payload_.s;
    default:
      throw ZoltExcept("Bad string conversion");
  }
}

String ZoltValue::ShortText() const {
  switch (tag_) {
    case kInteger:
      return IntToString(payload_.i);
    case kFloat:
      return DoubleToString(payload_.d, 4, 12, 1);
    case kString:
      return *payload_.s;
    case kPointer:
      return String(std::to_string(reinterpret_cast<uintptr_t>(payload_.p)));
    default:
      return String();
  }
}

void ZoltValue::Write(std::ostream& os) const {
  switch (tag_) {
    case kInteger:
      os << payload_.i;
      break;
    case kFloat:
      os << payload_.d;
      break;
    case kString:
      os << *payload_.s;
      break;
    default:
      os << "Unknown";
      break;
  }
}

bool ZoltValue::IsData(bool arrayAllowed) const {
  if (kind_ == kMemoryPointer || IsModelPointer()) return tag_ == kPointer;
  if (kind_ != kPlain) return false;
  return tag_ <= kPointer || (arrayAllowed && tag_ == kArray);
}

bool ZoltArgIsNumeric(const ZoltValue& v) { return v.IsNumeric(); }

int32_t ZoltIntSign(int32_t a, int32_t b) {
  const uint32_t magnitude = a < 0 ? 0u - static_cast<uint32_t>(a) : static_cast<uint32_t>(a);
  return static_cast<int32_t>(b >= 0 ? magnitude : 0u - magnitude);
}

// ---------------------------------------------------------------------------
// Save, restore and remapping

namespace {
uint32_t IndexOf(const LinkListNode* node) { return node ? node->SaveIndex() : 0; }
}  // namespace

void ZoltValue::Save(SaveStream& s) const {
  s.WriteU32(kind_);
  // The owner word of the file is a memory address of no use to a later
  // run: it is written as 0 (the block is saved by index below), except for
  // interface node and element pointers, whose list is named by the id of
  // their interface.
  const bool owned = kind_ == kInterfaceNodePointer || kind_ == kInterfaceElementPointer;
  s.WriteU32(owned ? static_cast<uint32_t>(aux_.raw) : 0);
  switch (kind_) {
    case kPlain:
    case kJumpA:
    case kCaseSelector:
      s.WriteU32(tag_);
      switch (tag_) {
        case kInteger:
          s.WriteI32(payload_.i);
          break;
        case kFloat:
          s.WriteF64(payload_.d);
          break;
        case kString:
          SaveString(s, *payload_.s);
          break;
        case kArray:
          payload_.a->Save(s);
          break;
        case kResult:
        case kReference:
          s.WriteU32(IndexOf(payload_.node));
          break;
        case kIntrinsic:
        case kSlot:
          s.WriteI32(payload_.i);
          break;
        default:
          break;
      }
      break;
    case kEndHead:
    case kHeadContinuation:
    case kCallee:
    case kHeadSymbol:
    case kCalleeSymbol:
      s.WriteU32(tag_);
      s.WriteU32(IndexOf(payload_.node));
      break;
    case kEndB:
    case kEndT:
    case kHeadT:
    case kCallB:
    case kJumpB:
      s.WriteU32(tag_);
      s.WriteI32(payload_.i);
      break;
    case kJumpTarget:
      s.WriteU32(IndexOf(aux_.node));
      s.WriteI32(payload_.i);
      break;
    case kCaseHighest:
      s.WriteI32(payload_.i);
      s.WriteU32(tag_);
      break;
    case kCommandLines:
      for (const String& line : *payload_.lines) {
        s.WriteU8(1);
        SaveString(s, line);
      }
      s.WriteU8(0);
      break;
    case kCaseTable:
    case kCommandLast:
    case kCommandT:
      break;
    case kMemoryPointer: {
      const ZoltMemBlock* block = aux_.block;
      s.WriteU32(IndexOf(block));
      s.WriteU32(block ? static_cast<uint32_t>(Element() - block->Elements()) : 0);
      break;
    }
    default:
      // A model object: its list node's save index.
      s.WriteU32(IndexOf(payload_.node));
      break;
  }
}

void ZoltValue::Restore(SaveStream& s, uint32_t& held) {
  held = 0;
  Restore(s, false, &held);
}

void ZoltValue::Restore(SaveStream& s, bool links) { Restore(s, links, nullptr); }

void ZoltValue::Restore(SaveStream& s, bool links, uint32_t* held) {
  // A saved index waits beside the object being read; without anybody to
  // take it, a value that has one cannot be read.
  auto queue = [&s, links](uint32_t index) {
    if (!links) s.ReadFailure();
    QueueIndex(index);
  };
  ZoltValue v;
  v.kind_ = s.ReadU32();
  const uint32_t owner = CurrentRestoreVersions().format > 8 ? s.ReadU32() : 0;  // the owner word
  switch (v.kind_) {
    case kPlain:
    case kJumpA:
    case kCaseSelector:
      v.tag_ = s.ReadU32();
      switch (v.tag_) {
        case kInteger:
          v.payload_.i = s.ReadI32();
          break;
        case kFloat:
          v.payload_.d = s.ReadF64();
          break;
        case kString: {
          String text;
          RestoreString(s, text);
          v.payload_.s = new String(std::move(text));
          break;
        }
        case kPointer:
          break;  // a plain pointer comes back null
        case kArray:
          v.payload_.a = ZoltArray::Restore(s, links).release();
          break;
        case kResult:
        case kReference:
          queue(s.ReadU32());
          break;
        case kKeyword:
          break;
        case kIntrinsic:
          v.payload_.i = s.ReadI32();
          break;
        case kSlot:
          v.payload_.i = s.ReadI32();
          if (v.payload_.i < 0 || v.payload_.i >= kZoltSlots) s.ReadFailure();
          break;
        default:
          s.ReadFailure();  // no value has such a tag
      }
      break;
    case kEndHead:
    case kHeadContinuation:
    case kCallee:
    case kHeadSymbol:
    case kCalleeSymbol:
      v.tag_ = s.ReadU32();
      queue(s.ReadU32());
      break;
    case kEndB:
    case kEndT:
    case kHeadT:
    case kCallB:
    case kJumpB:
      v.tag_ = s.ReadU32();
      v.payload_.i = s.ReadI32();
      break;
    case kJumpTarget:
      queue(s.ReadU32());
      v.payload_.i = s.ReadI32();
      break;
    case kCaseHighest:
      v.payload_.i = s.ReadI32();
      v.tag_ = s.ReadU32();
      break;
    case kCommandLines: {
      std::vector<String> lines;
      while (s.ReadFlag()) {
        String line;
        RestoreString(s, line);
        lines.push_back(std::move(line));
      }
      v.payload_.lines = new std::vector<String>(std::move(lines));
      break;
    }
    case kCaseTable:
      v.aux_.table = new std::vector<LinkListNode*>;
      break;
    case kCommandLast:
    case kCommandT:
      break;
    case kMemoryPointer:
      v.tag_ = kPointer;
      queue(s.ReadU32());  // the block
      queue(s.ReadU32());  // the element in it
      break;
    default:
      v.tag_ = kPointer;
      if (v.kind_ == kInterfaceNodePointer || v.kind_ == kInterfaceElementPointer) v.aux_.raw = owner;
      if (held && v.IsModelPointer()) {
        *held = s.ReadU32();
        if (*held == 0) v.kind_ = kPlain;  // the null pointer
      } else {
        queue(s.ReadU32());
      }
      break;
  }
  Swap(v);
}

void ZoltValue::RemapPointers(ZoltLinks& links) {
  switch (kind_) {
    case kPlain:
    case kJumpA:
    case kCaseSelector:
      if (tag_ == kArray) {
        payload_.a->RemapPointers(links);
      } else if (tag_ == kResult || tag_ == kReference) {
        const uint32_t index = PendingLinks::Take();
        payload_.node = tag_ == kResult ? links.Statement(index, kind_) : links.Symbol(index);
        if (!payload_.node) links.Damaged();  // an operand that names nothing
      }
      break;
    case kEndHead:
    case kHeadContinuation:
    case kCallee:
      payload_.node = links.Statement(PendingLinks::Take(), kind_);
      break;
    case kHeadSymbol:
    case kCalleeSymbol:
      payload_.node = links.Symbol(PendingLinks::Take());
      break;
    case kJumpTarget:
      aux_.node = links.Statement(PendingLinks::Take(), kind_);
      break;
    case kMemoryPointer: {
      ZoltMemBlock* block = links.Block(PendingLinks::Take());
      const uint32_t element = PendingLinks::Take();
      // A block that was not saved: the pointer is null.
      if (!block)
        SetPointer(nullptr, 0);
      else if (element >= static_cast<uint32_t>(block->Count()))
        links.Damaged();
      else
        SetMemoryPointer(block, block->Elements() + element);
      break;
    }
    default:
      if (IsModelPointer()) {
        const uint32_t index = PendingLinks::Take();
        if (index == 0)
          SetPointer(nullptr, 0);
        else
          links.ModelPointer(*this, index);
      }
      break;
  }
}

// ---------------------------------------------------------------------------
// Arrays

ZoltArray::ZoltArray(const std::vector<int32_t>& sizes) : sizes_(sizes) {
  uint64_t count = 1;
  for (int32_t n : sizes_) {
    if (n < 1) throw ZoltExcept("Dimension should be positive integer");
    count *= static_cast<uint64_t>(n);
    if (count > static_cast<uint64_t>(INT32_MAX)) throw MemExcept();
  }
  count_ = static_cast<uint32_t>(count);
  try {
    elements_.reset(new ZoltValue[count_]);
  } catch (const std::bad_alloc&) {
    throw MemExcept();
  }
}

ZoltArray::ZoltArray(const ZoltArray& other) : ZoltArray(other.sizes_) {
  for (uint32_t i = 0; i < count_; ++i) elements_[i] = other.elements_[i];
}

uint32_t ZoltArray::LinearIndex(const int32_t* indices) const {
  uint32_t linear = 0;
  for (int d = Dimensions() - 1; d >= 0; --d)
    linear = linear * static_cast<uint32_t>(sizes_[static_cast<size_t>(d)]) + static_cast<uint32_t>(indices[d] - 1);
  return linear;
}

void ZoltArray::Save(SaveStream& s) const {
  s.WriteI32(Dimensions());
  for (int32_t n : sizes_) s.WriteI32(n);
  for (uint32_t i = 0; i < count_; ++i) elements_[i].Save(s);
}

std::unique_ptr<ZoltArray> ZoltArray::Restore(SaveStream& s, bool links) {
  const int32_t dims = s.ReadI32();
  if (dims < 1 || dims > kZoltSlots) s.ReadFailure();
  std::vector<int32_t> sizes(static_cast<size_t>(dims));
  uint64_t count = 1;
  for (int32_t& n : sizes) {
    n = s.ReadI32();
    if (n < 1) s.ReadFailure();
    count *= static_cast<uint64_t>(n);
    if (count > static_cast<uint64_t>(INT32_MAX)) s.ReadFailure();
  }
  s.CheckAvailable(count * 8);  // kind, tag and at least a word each
  auto array = std::make_unique<ZoltArray>(sizes);
  for (uint32_t i = 0; i < array->count_; ++i) {
    array->elements_[i].Restore(s, links);
    if (!array->elements_[i].IsData(false)) s.ReadFailure();
  }
  return array;
}

void ZoltArray::RemapPointers(ZoltLinks& links) {
  for (uint32_t i = 0; i < count_; ++i) elements_[i].RemapPointers(links);
}

// ---------------------------------------------------------------------------
// Memory blocks

ZoltMemBlock::ZoltMemBlock(int32_t count) : count_(count > 0 ? count : 0) {
  if (count_ == 0) return;
  try {
    values_.reset(new ZoltValue[static_cast<size_t>(count_)]);
  } catch (const std::bad_alloc&) {
    throw MemExcept();
  }
}

void ZoltMemBlock::Save(SaveStream& s) const {
  s.WriteI32(count_);
  for (int32_t i = 0; i < count_; ++i) values_[i].Save(s);
}

void ZoltMemBlock::Restore(SaveStream& s) {
  const int32_t count = s.ReadI32();
  if (count < 0) s.ReadFailure();
  s.CheckAvailable(static_cast<uint64_t>(count) * 8);
  ZoltMemBlock fresh(count);
  for (int32_t i = 0; i < count; ++i) {
    fresh.values_[i].Restore(s);
    if (!fresh.values_[i].IsData(false)) s.ReadFailure();
  }
  count_ = fresh.count_;
  values_ = std::move(fresh.values_);
}

void ZoltMemBlock::RemapPointers(ZoltLinks& links) {
  for (int32_t i = 0; i < count_; ++i) values_[i].RemapPointers(links);
}

// ---------------------------------------------------------------------------
// Parameter arrays

ZoltValue& ZoltParamArray::At(uint32_t index) {
  if (index >= count_) throw ZoltExcept("Parameter array index out of range");
  return values_[index];
}

const ZoltValue& ZoltParamArray::At(uint32_t index) const {
  if (index >= count_) throw ZoltExcept("Parameter array index out of range");
  return values_[index];
}

void ZoltParamArray::Resize(uint32_t count) {
  if (count == count_) return;
  // A count that memory cannot hold is the model's allocation error, and the
  // old values stay: it must not end the program.
  ZoltValue* block = nullptr;
  try {
    if (count) block = new ZoltValue[count];
  } catch (const std::bad_alloc&) {
    throw MemExcept();
  }
  for (uint32_t i = 0; i < std::min(count, count_); ++i) block[i] = values_[i];
  delete[] values_;
  values_ = block;
  count_ = count;
}

void ZoltParamArray::Save(SaveStream& s) const {
  s.WriteU32(count_);
  for (uint32_t i = 0; i < count_; ++i) values_[i].Save(s);
}

std::vector<std::pair<ZoltValue*, uint32_t>>& HeldZoltPointers() {
  static std::vector<std::pair<ZoltValue*, uint32_t>> held;
  return held;
}

void ZoltParamArray::Restore(SaveStream& s) {
  uint32_t count = s.ReadU32();
  s.CheckAvailable(uint64_t{count} * 12);  // kind, owner and tag at least
  delete[] values_;
  values_ = nullptr;
  count_ = 0;
  Resize(count);
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t held = 0;
    values_[i].Restore(s, held);
    if (!values_[i].IsData(false)) s.ReadFailure();
    if (held) HeldZoltPointers().emplace_back(&values_[i], held);
  }
}
