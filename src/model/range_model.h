// The range elements that test what an object is: its group, id, component
// id, GENERATE volume, structural-element type, facing direction,
// constitutive model and structural-element id. Subjects that other
// subsystems own (GENERATE triangles, interfaces, structural elements) are
// tested through GridServices::rangeSubjectIsIn.
#pragma once

#include "base/range.h"

class Group;

class GroupRangeElement : public RangeElement {
 public:
  static constexpr int32_t kKind = 100;
  GroupRangeElement() : RangeElement(kKind) {}

  const Group* GetGroup() const { return group_; }
  void SetGroup(Group* group) { group_ = group; }

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
  Group* group_ = nullptr;
};

// An id interval: "id" (kind 101), "cid" (102) and "selid" (107).
class IntervalRangeElement : public RangeElement {
 public:
  explicit IntervalRangeElement(int32_t kind) : RangeElement(kind) {}

  int32_t Low() const { return low_; }
  int32_t High() const { return high_; }
  bool Contains(int64_t v) const { return low_ <= v && v <= high_; }

  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;
  int ParseArgs(CommandType& interp, int* index) override;
  void Print(CommandType& interp) const override;
  std::unique_ptr<RangeElement> CreateFromCommand(CommandType& interp, int* index) const override;
  String CommandText() const override;

 protected:
  virtual const char* Keyword() const = 0;

 private:
  int32_t low_ = 0;
  int32_t high_ = 0;
};

class IdRangeElement : public IntervalRangeElement {
 public:
  static constexpr int32_t kKind = 101;
  IdRangeElement() : IntervalRangeElement(kKind) {}
  String Name() const override { return String("ID"); }
  bool IsIn(const double position[3], const LocatedObject* subject) const override;
  std::unique_ptr<RangeElement> Clone() const override { return std::make_unique<IdRangeElement>(*this); }

 protected:
  const char* Keyword() const override { return "id"; }
};

class CidRangeElement : public IntervalRangeElement {
 public:
  static constexpr int32_t kKind = 102;
  CidRangeElement() : IntervalRangeElement(kKind) {}
  String Name() const override { return String("Component ID"); }
  bool IsIn(const double position[3], const LocatedObject* subject) const override;
  std::unique_ptr<RangeElement> Clone() const override { return std::make_unique<CidRangeElement>(*this); }

 protected:
  const char* Keyword() const override { return "cid"; }
};

class SELIdRangeElement : public IntervalRangeElement {
 public:
  static constexpr int32_t kKind = 107;
  SELIdRangeElement() : IntervalRangeElement(kKind) {}
  String Name() const override { return String("SEL_ID"); }
  bool IsIn(const double position[3], const LocatedObject* subject) const override;
  std::unique_ptr<RangeElement> Clone() const override { return std::make_unique<SELIdRangeElement>(*this); }

 protected:
  const char* Keyword() const override { return "selid"; }
};

class SELTypeRangeElement : public RangeElement {
 public:
  static constexpr int32_t kKind = 104;
  SELTypeRangeElement() : RangeElement(kKind) {}

  // 1 shell, 2 beam, 3 pile, 4 cable, 5 liner, 6 geogrid.
  int32_t Type() const { return type_; }

  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;
  int ParseArgs(CommandType& interp, int* index) override;
  void Print(CommandType& interp) const override;
  String Name() const override;
  bool IsIn(const double position[3], const LocatedObject* subject) const override;
  std::unique_ptr<RangeElement> CreateFromCommand(CommandType& interp, int* index) const override;
  std::unique_ptr<RangeElement> Clone() const override;
  String CommandText() const override;

 private:
  int32_t type_ = 0;
};

class DirectionRangeElement : public RangeElement {
 public:
  static constexpr int32_t kKind = 105;
  DirectionRangeElement() : RangeElement(kKind) {}

  const double* Direction() const { return direction_; }
  double Angle() const { return angle_; }  // radians
  // Inside when the unit normal lies strictly within the angle of the direction.
  bool Accepts(const double normal[3]) const;

  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;
  int ParseArgs(CommandType& interp, int* index) override;
  void Print(CommandType& interp) const override;
  String Name() const override { return String("Direction"); }
  bool IsIn(const double position[3], const LocatedObject* subject) const override;
  std::unique_ptr<RangeElement> CreateFromCommand(CommandType& interp, int* index) const override;
  std::unique_ptr<RangeElement> Clone() const override;
  String CommandText() const override;

 private:
  double direction_[3] = {1, 0, 0};
  double angle_ = 1.5707963267948966;
};

class ModelRangeElement : public RangeElement {
 public:
  static constexpr int32_t kKind = 106;
  ModelRangeElement() : RangeElement(kKind) {}

  const String& ModelName() const { return name_; }

  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;
  int ParseArgs(CommandType& interp, int* index) override;
  void Print(CommandType& interp) const override;
  String Name() const override { return "Model " + name_; }
  bool IsIn(const double position[3], const LocatedObject* subject) const override;
  std::unique_ptr<RangeElement> CreateFromCommand(CommandType& interp, int* index) const override;
  std::unique_ptr<RangeElement> Clone() const override;
  String CommandText() const override;

 private:
  String name_;
};

// Registers the eight kinds (100 to 107); done once at start-up, before any RESTORE.
void RegisterModelRangeElements();
