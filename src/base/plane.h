// The oriented plane of the commands: a point and a unit normal, or a point,
// a dip and a dip direction, kept in step together with the plane's offset
// along its normal. Range plane elements and the cutting plane of views keep one.
#pragma once

#include <cstdint>
#include <ostream>

class CommandType;
class SaveStream;

// Angle convention (right-handed, z up): the dip is the angle between the
// normal and +z; the dip direction is the azimuth of the normal's horizontal
// part measured from +y towards +x. Angles are in radians.
class Plane {
 public:
  Plane() = default;
  Plane(const Plane&) = default;
  // Copies every field as it stands; nothing is recomputed.
  Plane& operator=(const Plane&) = default;

  void SetOrigin(const double v[3]);
  // The normal becomes the unit vector of v (a zero vector stays zero).
  void SetNormal(const double v[3]);
  void SetDip(double radians) {
    dip_ = radians;
    normalGiven_ = 0;
    SetFromDip();
  }
  void SetDipDirection(double radians) {
    dipDirection_ = radians;
    normalGiven_ = 0;
    SetFromDip();
  }
  void SetMoveIncrement(double v) {
    moveIncrement_ = v;
    incrementDefault_ = 0;
  }
  // Normal and offset from the dip and dip direction.
  void SetFromDip();
  // Dip, dip direction and offset from the normal.
  void SetFromNormal();

  const double* Origin() const { return origin_; }
  const double* Normal() const { return normal_; }
  double Dip() const { return dip_; }
  double DipDirection() const { return dipDirection_; }
  double Offset() const { return offset_; }
  bool NormalGiven() const { return normalGiven_ != 0; }
  double MoveIncrement() const { return moveIncrement_; }
  bool IncrementDefault() const { return incrementDefault_ != 0; }

  // Signed distance of p from the plane: >= 0 above, <= 0 below.
  double SignedDistance(const double p[3]) const {
    return normal_[0] * p[0] + normal_[1] * p[1] + normal_[2] * p[2] - offset_;
  }

  // One keyword of "normal origin dip dd moveincr" with its values; 0 when a
  // keyword was taken, else the keyword match's code (the word is left).
  int Parse(CommandType& interp, int* index = nullptr);

  // The form a view keeps: origin, normal, increment flag, move increment.
  void Save(SaveStream& stream) const;
  void Restore(SaveStream& stream);
  // The whole 96-byte block, as the range plane element keeps it.
  void SaveBlock(SaveStream& stream) const;
  void RestoreBlock(SaveStream& stream);

  // Origin, normal, dip and dip direction (degrees), each line indented by
  // max(indent, 1) blanks.
  void List(std::ostream& os, int indent) const;

 private:
  double origin_[3] = {0, 0, 0};
  double normal_[3] = {0, 0, 1};
  double dip_ = 0;
  double dipDirection_ = 0;
  double offset_ = 0;
  uint8_t normalGiven_ = 0;
  double moveIncrement_ = 0;
  uint8_t incrementDefault_ = 1;
};

// Unit vector of (sin a sin b, sin a cos b, cos a).
void DipDirToNormal(double dip, double dipDirection, double out[3]);
// Dip and dip direction of a normal, each brought into [0, 2 pi).
void DipFromNormal(const double normal[3], double* dip, double* dipDirection);

// "(a,b)" and "(a,b,c)": the stream's width and format apply to the numbers
// only, not to the brackets or the commas.
void PrintPair(std::ostream& os, const double v[2]);
void PrintPair(std::ostream& os, double a, double b, double c);
