// Named ranges: a range phrase with "name" stores a copy of its range under
// that name, and later phrases use the name as an element. Also the RANGE
// command, PRINT RLIST, and the print range that the model listings test.
#pragma once

#include "base/range.h"

// A named range used as one element: it carries the named range's own
// AND/any logic. A named range that elements refer to cannot be deleted; when
// it is destroyed all the same (NEW), its elements lose their target and
// accept everything.
class NamedRangeElement : public RangeElement {
 public:
  static constexpr int32_t kKind = 1;
  explicit NamedRangeElement(Range* target = nullptr);
  NamedRangeElement(const NamedRangeElement& other);
  ~NamedRangeElement() override;

  Range* Target() const { return target_; }
  void SetTarget(Range* target);

  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;
  void RemapPointers() override;
  int ParseArgs(CommandType& interp, int* index) override;
  void Print(CommandType& interp) const override;
  String Name() const override;
  bool IsIn(const double position[3], const LocatedObject* subject) const override;
  std::unique_ptr<RangeElement> CreateFromCommand(CommandType& interp, int* index) const override;
  std::unique_ptr<RangeElement> Clone() const override;
  String CommandText() const override;

 private:
  Range* target_ = nullptr;
  // The target's position in the named-range list, from Restore to RemapPointers.
  int32_t savedIndex_ = 0;
  bool restored_ = false;
  // The chain of elements that refer to the same range.
  NamedRangeElement* prevUser_ = nullptr;
  NamedRangeElement* nextUser_ = nullptr;
};

// The named-range list, in order of definition; names compare as String does.
Range* FindNamedRange(const String& name);
int NamedRangeCount();
// The n-th named range, counted from 0; null outside the list.
Range* NamedRangeAt(int n);
// Defines or redefines a named range. A redefined range keeps its object and
// its place in the list, so elements that refer to it see the new elements.
void RegisterNamedRange(const Range& source, const String& name);
// False for an empty name, a name that no range has, or a range that other
// ranges still use; otherwise the range is deleted.
bool DeleteNamedRange(const String& name);
// Deletes every named range (NEW).
void ClearNamedRanges();

// The list's save section: count; per range its type code 0 and its record.
void SaveNamedRanges(SaveStream& stream);
void RestoreNamedRanges(SaveStream& stream);
// After every list of the model is restored: resolves the references between
// named ranges. A file whose named ranges refer to each other in a circle is
// corrupt: the list is emptied and the read error raised.
void RemapNamedRanges();
// The saved references of the last restore that named no range.
int32_t NamedRangeBadPointers();

// The range that the model-level PRINT fills and its listings test.
Range& PrintRange();

// PRINT RLIST: the elements of the named range given, else the list of names.
void PrintNamedRanges(CommandType& interp, int* index = nullptr);

// Handlers for the model interpreter: RANGE (after its first word) and
// PRINT RLIST (after "rlist"). Both answer 0.
int RangeCommand(CommandType& interp);
int PrintRangeList(CommandType& interp);
