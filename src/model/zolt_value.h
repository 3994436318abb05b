// The values of the user's extra variables that every zone and grid-point
// keeps (CONFIG zextra, gpextra): integers, reals and texts. The scripting
// level reads and writes them and adds its own kinds of values.
#pragma once

#include <cstdint>
#include <ostream>

#include "base/except.h"
#include "base/string.h"

class SaveStream;

TERRAX_DERIVED_EXCEPT(ZoltExcept, KWRExcept);

class ZoltValue {
 public:
  enum Tag : uint32_t { kInteger = 0, kFloat = 1, kString = 2 };

  ZoltValue() { payload_.i = 0; }
  ZoltValue(const ZoltValue& other) { *this = other; }
  ZoltValue& operator=(const ZoltValue& other);
  ~ZoltValue() { FreeString(); }

  uint32_t TypeTag() const { return tag_; }
  uint32_t KindWord() const { return kind_; }

  void SetInt(int32_t v);
  void SetFloat(double v);
  void SetString(const String& v);
  // An integer, or a real truncated toward zero; "Integer out of range"
  // outside the bounds, "Bad integer conversion" for a text.
  int32_t GetInt(int32_t minimum, int32_t maximum) const;
  double GetFloat() const;
  String GetString() const;

  // The value as listings show it: an integer in decimal, a real in the
  // stream's current format, a text as it is.
  void Write(std::ostream& os) const;

  // Kind word, owner word, type tag, then the payload by tag.
  void Save(SaveStream& stream) const;
  void Restore(SaveStream& stream);

 private:
  void FreeString();

  uint32_t kind_ = 0;
  uint32_t tag_ = kInteger;
  uint32_t owner_ = 0;
  union {
    int32_t i;
    double d;
    String* s;
  } payload_;
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
  void Restore(SaveStream& stream);

 private:
  uint32_t count_ = 0;
  ZoltValue* values_ = nullptr;
};
