// The range elements that test only a position: intervals along an axis,
// sphere, cylinder, plane side and annulus (a spherical shell).
#pragma once

#include "base/plane.h"
#include "base/range.h"

// "x", "y" or "z" followed by lower and upper bounds, or by one value that
// stands for a small interval around it.
class AxisRangeElement : public RangeElement {
 public:
  static constexpr int32_t kKind = 2;
  explicit AxisRangeElement(int axis = 0) : RangeElement(kKind), axis_(static_cast<uint8_t>(axis)) {}

  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;
  int ParseArgs(CommandType& interp, int* index) override;
  void Print(CommandType& interp) const override;
  String Name() const override;
  bool IsIn(const double position[3], const LocatedObject* subject) const override;
  std::unique_ptr<RangeElement> CreateFromCommand(CommandType& interp, int* index) const override;
  std::unique_ptr<RangeElement> Clone() const override;
  String CommandText() const override;

  int Axis() const { return axis_; }
  double Lower() const { return lower_; }
  double Upper() const { return upper_; }
  bool Single() const { return single_ != 0; }
  // The interval given as one value v: v plus and minus 1e-6, or 1e-6 times v
  // when that is more.
  void SetSingle(double v);
  void SetInterval(double lower, double upper);

 private:
  uint8_t axis_;
  double upper_ = 0;
  double lower_ = 0;
  uint8_t single_ = 0;
};

class SphereRangeElement : public RangeElement {
 public:
  static constexpr int32_t kKind = 3;
  SphereRangeElement() : RangeElement(kKind) {}

  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;
  int ParseArgs(CommandType& interp, int* index) override;
  void Print(CommandType& interp) const override;
  String Name() const override { return String("Sphere"); }
  bool IsIn(const double position[3], const LocatedObject* subject) const override;
  std::unique_ptr<RangeElement> CreateFromCommand(CommandType& interp, int* index) const override;
  std::unique_ptr<RangeElement> Clone() const override;
  String CommandText() const override;

 private:
  double centre_[3] = {0, 0, 0};
  double radius_ = 0;
};

// Inside when within the radius of the segment from end1 to end2; the end
// caps and the mantle count as inside.
class CylinderRangeElement : public RangeElement {
 public:
  static constexpr int32_t kKind = 4;
  CylinderRangeElement() : RangeElement(kKind) {}

  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;
  int ParseArgs(CommandType& interp, int* index) override;
  void Print(CommandType& interp) const override;
  String Name() const override { return String("Cylinder"); }
  bool IsIn(const double position[3], const LocatedObject* subject) const override;
  std::unique_ptr<RangeElement> CreateFromCommand(CommandType& interp, int* index) const override;
  std::unique_ptr<RangeElement> Clone() const override;
  String CommandText() const override;

 private:
  double end1_[3] = {0, 0, 0};
  double end2_[3] = {0, 0, 0};
  double radius_ = 0;
};

// One side of a plane, or a band around it. Points on the plane are both
// above and below.
class PlaneRangeElement : public RangeElement {
 public:
  static constexpr int32_t kKind = 5;
  enum Side : int32_t { kAbove = 0, kBelow = 1, kDistance = 2 };
  PlaneRangeElement() : RangeElement(kKind) {}

  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;
  int ParseArgs(CommandType& interp, int* index) override;
  void Print(CommandType& interp) const override;
  String Name() const override { return String("Plane"); }
  bool IsIn(const double position[3], const LocatedObject* subject) const override;
  std::unique_ptr<RangeElement> CreateFromCommand(CommandType& interp, int* index) const override;
  std::unique_ptr<RangeElement> Clone() const override;
  String CommandText() const override;

  const Plane& GetPlane() const { return plane_; }
  int32_t GetSide() const { return side_; }

 private:
  int32_t side_ = kAbove;
  double distance_ = 0;
  Plane plane_;
};

// A spherical shell: inside when the distance from the centre lies between
// the two radii (both included).
class AnnulusRangeElement : public RangeElement {
 public:
  static constexpr int32_t kKind = 6;
  AnnulusRangeElement() : RangeElement(kKind) {}

  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;
  int ParseArgs(CommandType& interp, int* index) override;
  void Print(CommandType& interp) const override;
  String Name() const override { return String("Annulus"); }
  bool IsIn(const double position[3], const LocatedObject* subject) const override;
  std::unique_ptr<RangeElement> CreateFromCommand(CommandType& interp, int* index) const override;
  std::unique_ptr<RangeElement> Clone() const override;
  String CommandText() const override;

 private:
  double centre_[3] = {0, 0, 0};
  double inner_ = 0;
  double outer_ = 0;
};
