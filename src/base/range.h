// Ranges: the part of the model that a command acts on. A range is a list of
// range elements, each a test of its own (an interval in x, a sphere, a named
// range, ...); a command's range phrase, from the word "range" to the end of
// the command, fills it. Element kinds are prototypes registered by kind code;
// the model subsystem adds its own kinds through the same registry.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/except.h"
#include "base/linklist.h"
#include "base/string.h"

class CommandType;
class NamedRangeElement;
class SaveStream;

// Whatever a range can test: it tells its position, and its kind code tells
// the model elements what it is.
class LocatedObject {
 public:
  enum Kind : int32_t {
    kGridPoint = 10,
    kZoneFace = 11,
    kZone = 12,
    kGenerateTriangle = 13,
    kInterfaceNode = 14,
    kInterfaceElement = 15,
    kInterface = 16,
    kSELNode = 17,
    kSEL = 18,
    kSELLink = 19,
  };

  explicit LocatedObject(int32_t kind) : locatedKind_(kind) {}
  virtual ~LocatedObject() = default;
  // Writes the subject's position (three doubles).
  virtual void GetPosition(double position[3]) const = 0;
  // A subject of a subsystem above the grid (interfaces, structural
  // elements) may decide a model range element's test itself: true when it
  // decided, with the answer in `inside`.
  virtual bool RangeAnswer(const class RangeElement&, const double /*position*/[3], bool* /*inside*/) const {
    return false;
  }
  int32_t LocatedKind() const { return locatedKind_; }

 protected:
  LocatedObject(const LocatedObject&) = default;
  LocatedObject& operator=(const LocatedObject&) = default;

 private:
  int32_t locatedKind_;
};

// The base of all element kinds. The kind code is also the type code of the
// element's save record. An element parses its own words, tests a position
// (and, for the model kinds, the subject itself), lists itself, writes itself
// back as phrase text, clones, saves and restores itself.
class RangeElement {
 public:
  explicit RangeElement(int32_t kind) : kind_(kind) {}
  virtual ~RangeElement() = default;

  int32_t Kind() const { return kind_; }
  bool Not() const { return not_ != 0; }
  bool Any() const { return any_ != 0; }
  void SetNot(bool on) { not_ = on ? 1 : 0; }
  void SetAny(bool on) { any_ = on ? 1 : 0; }

  // The flags; kinds extend both.
  virtual void Save(SaveStream& stream) const;
  virtual void Restore(SaveStream& stream);
  // Turns saved list indices back into pointers after every list is restored.
  virtual void RemapPointers() {}
  // Consumes one word or parameter group of the element at the token index:
  // 0 when something was consumed, else the interpreter's check code. The
  // base takes "not" and "any"; every kind calls it first.
  virtual int ParseArgs(CommandType& interp, int* index);
  // The element's listing line(s); the base writes the start of the line.
  virtual void Print(CommandType& interp) const;
  virtual String Name() const = 0;
  // The element's own test, before "not". Called once per object in loops
  // over the model: no allocation, no strings.
  virtual bool IsIn(const double position[3], const LocatedObject* subject) const = 0;
  // Called on the kind's prototype: a new element with default parameters when
  // the word at the index is the kind's keyword (consumed), else null.
  virtual std::unique_ptr<RangeElement> CreateFromCommand(CommandType& interp, int* index) const = 0;
  // A deep copy, flags included.
  virtual std::unique_ptr<RangeElement> Clone() const = 0;
  // The element as phrase text; the base gives the words "not", "any".
  virtual String CommandText() const;

 protected:
  RangeElement(const RangeElement&) = default;
  RangeElement& operator=(const RangeElement&) = delete;

 private:
  int32_t kind_;
  uint8_t not_ = 0;
  uint8_t any_ = 0;
};

class Range {
 public:
  TERRAX_DERIVED_EXCEPT(RangeExcept, KWRExcept);

  Range() = default;
  // Copies clone every element in order and copy the name.
  Range(const Range& other);
  Range& operator=(const Range& other);
  // Elements that still refer to this range (named-range elements) lose their
  // target and accept everything from then on.
  ~Range();

  // Deletes all elements; the name stays.
  void Clear();
  // Reads the range phrase of the current command, wherever the word "range"
  // stands; the handler then sees only the tokens before it. An absent phrase
  // leaves the range empty.
  void Parse(CommandType& interp);
  // Parses a phrase from the token index (null: the command's current token):
  // 0 when the phrase used every token left, 3 when a word stopped it.
  int ParsePhrase(CommandType& interp, int* index = nullptr);

  // Whether the subject is inside: an empty range contains everything, a null
  // subject is inside. Asks the subject for its position once.
  bool IsIn(const LocatedObject* subject) const;
  // The same test at a position already known.
  bool IsInAt(const double position[3], const LocatedObject* subject) const;

  String CommandText() const;
  int ElementCount() const { return static_cast<int>(elements_.size()); }
  RangeElement* ElementAt(int n) const;
  void Append(std::unique_ptr<RangeElement> element);
  // Every element's listing, inside one listing of the console.
  void PrintElements(CommandType& interp) const;
  // Whether the elements lead, through named ranges, to a range of that name.
  bool UsesName(const String& name) const;
  // Whether the elements lead, through named ranges, to that very range.
  bool Reaches(const Range* target) const;
  // Whether some element (of any range) still refers to this range.
  bool InUse() const { return firstUser_ != nullptr; }

  const String& Name() const { return name_; }
  void SetName(const String& name) { name_ = name; }

  // Name, then the element list (count; per element its kind and record).
  void Save(SaveStream& stream) const;
  void Restore(SaveStream& stream);
  void RemapPointers();

 private:
  friend class NamedRangeElement;

  std::vector<std::unique_ptr<RangeElement>> elements_;
  PendingLinks pending_;  // the restored elements' saved indices until remapped
  String name_;
  // The named-range elements that refer to this range, chained through them.
  NamedRangeElement* firstUser_ = nullptr;
};

// The registry of element kinds: one prototype per kind code, kept in kind
// order; the first prototype of a kind wins. The base kinds are in place from
// the first use on; the model subsystem registers its kinds at start-up.
bool RegisterRangeElement(std::unique_ptr<RangeElement> prototype);
const RangeElement* RangePrototype(int32_t kind);
// One past the highest kind slot of the registry.
int32_t RangePrototypeCapacity();
// The element whose keyword stands at the token index (kinds in order), or a
// named-range element for the name of a named range; null otherwise, with the
// word left in place.
std::unique_ptr<RangeElement> CreateRangeElement(CommandType& interp, int* index);
// A new element of the kind with default parameters; null for a kind without
// a prototype.
std::unique_ptr<RangeElement> CreateRangeElementOfKind(int32_t kind);

// Phrase text of numbers and vectors: scientific notation, default precision.
String RangeNumberText(double v);
String RangeVectorText(const double v[3]);
