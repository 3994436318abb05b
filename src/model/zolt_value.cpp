#include "model/zolt_value.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "base/savestream.h"
#include "base/stream.h"

void ZoltValue::FreeString() {
  if (tag_ == kString) delete payload_.s;
  tag_ = kInteger;
  payload_.i = 0;
}

ZoltValue& ZoltValue::operator=(const ZoltValue& other) {
  if (this == &other) return *this;
  FreeString();
  kind_ = other.kind_;
  owner_ = other.owner_;
  if (other.tag_ == kString) payload_.s = new String(*other.payload_.s);
  else payload_ = other.payload_;
  tag_ = other.tag_;
  return *this;
}

void ZoltValue::SetInt(int32_t v) {
  FreeString();
  kind_ = owner_ = 0;
  payload_.i = v;
}

void ZoltValue::SetFloat(double v) {
  FreeString();
  kind_ = owner_ = 0;
  tag_ = kFloat;
  payload_.d = v;
}

void ZoltValue::SetString(const String& v) {
  String* copy = new String(v);
  FreeString();
  kind_ = owner_ = 0;
  tag_ = kString;
  payload_.s = copy;
}

int32_t ZoltValue::GetInt(int32_t minimum, int32_t maximum) const {
  double v;
  if (tag_ == kInteger) v = payload_.i;
  else if (tag_ == kFloat) v = std::trunc(payload_.d);
  else throw ZoltExcept("Bad integer conversion");
  if (!(v >= minimum && v <= maximum)) throw ZoltExcept("Integer out of range");
  return static_cast<int32_t>(v);
}

double ZoltValue::GetFloat() const {
  if (tag_ == kInteger) return payload_.i;
  if (tag_ == kFloat) return payload_.d;
  throw ZoltExcept("Bad floating point conversion");
}

String ZoltValue::GetString() const {
  switch (tag_) {
    case kInteger: return IntToString(payload_.i);
    case kFloat: return DoubleToString(payload_.d, 11, 16, 1);
    case kString: return *payload_.s;
    default: throw ZoltExcept("Bad string conversion");
  }
}

void ZoltValue::Write(std::ostream& os) const {
  switch (tag_) {
    case kInteger: os << payload_.i; break;
    case kFloat: os << payload_.d; break;
    case kString: os << *payload_.s; break;
    default: os << "Unknown"; break;
  }
}

void ZoltValue::Save(SaveStream& s) const {
  s.WriteU32(kind_);
  s.WriteU32(owner_);
  s.WriteU32(tag_);
  switch (tag_) {
    case kInteger: s.WriteI32(payload_.i); break;
    case kFloat: s.WriteF64(payload_.d); break;
    case kString: SaveString(s, *payload_.s); break;
    default: break;
  }
}

void ZoltValue::Restore(SaveStream& s) {
  FreeString();
  uint32_t kind = s.ReadU32();
  uint32_t owner = s.ReadU32();
  uint32_t tag = s.ReadU32();
  switch (tag) {
    case kInteger: payload_.i = s.ReadI32(); break;
    case kFloat: payload_.d = s.ReadF64(); break;
    case kString: {
      String text;
      RestoreString(s, text);
      payload_.s = new String(text);
      break;
    }
    default: s.ReadFailure();  // only the scripting level knows other values
  }
  kind_ = kind;
  owner_ = owner;
  tag_ = tag;
}

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

void ZoltParamArray::Restore(SaveStream& s) {
  uint32_t count = s.ReadU32();
  s.CheckAvailable(uint64_t{count} * 16);  // kind, owner, tag and a payload at least
  delete[] values_;
  values_ = nullptr;
  count_ = 0;
  Resize(count);
  for (uint32_t i = 0; i < count; ++i) values_[i].Restore(s);
}
