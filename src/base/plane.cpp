#include "base/plane.h"

#include <cmath>

#include "base/app.h"
#include "base/command.h"
#include "base/savestream.h"

namespace {
constexpr double kDegree = 0.017453292519943295;  // pi / 180
constexpr double kTwoPi = 6.283185307179586;

// The unit vector of v; a zero vector stays zero.
void Unit(const double v[3], double out[3]) {
  double len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  for (int i = 0; i < 3; ++i) out[i] = len != 0 ? v[i] / len : v[i];
}

// Brings an angle into [0, 2 pi); a negative zero becomes zero.
double Wrap(double a) {
  if (!std::isfinite(a)) return 0;
  while (a < 0) a += kTwoPi;
  while (a >= kTwoPi) a -= kTwoPi;
  return a + 0.0;
}

void WriteZeros(SaveStream& stream, int count) {
  for (int i = 0; i < count; ++i) stream.WriteU8(0);
}
}  // namespace

void DipDirToNormal(double dip, double dipDirection, double out[3]) {
  double v[3] = {std::sin(dip) * std::sin(dipDirection), std::sin(dip) * std::cos(dipDirection), std::cos(dip)};
  Unit(v, out);
}

void DipFromNormal(const double normal[3], double* dip, double* dipDirection) {
  double u[3];
  Unit(normal, u);
  double h = std::sqrt(u[0] * u[0] + u[1] * u[1]);
  double dd = (u[0] == 0 && u[1] == 0) ? 0 : std::atan2(u[0], u[1]);
  double d = (h == 0 && u[2] == 0) ? 0 : std::atan2(h, u[2]);
  *dip = Wrap(d);
  *dipDirection = Wrap(dd);
}

void Plane::SetOrigin(const double v[3]) {
  for (int i = 0; i < 3; ++i) origin_[i] = v[i];
  SetFromNormal();
}

void Plane::SetNormal(const double v[3]) {
  Unit(v, normal_);
  normalGiven_ = 1;
  SetFromNormal();
}

void Plane::SetFromDip() {
  DipDirToNormal(dip_, dipDirection_, normal_);
  offset_ = normal_[0] * origin_[0] + normal_[1] * origin_[1] + normal_[2] * origin_[2];
}

void Plane::SetFromNormal() {
  DipFromNormal(normal_, &dip_, &dipDirection_);
  offset_ = normal_[0] * origin_[0] + normal_[1] * origin_[1] + normal_[2] * origin_[2];
}

int Plane::Parse(CommandType& interp, int* index) {
  int& idx = index ? *index : interp.TokenIndex();
  int word = 0;
  if (int code = interp.MatchKeyword("normal origin dip dd moveincr ", word, &idx)) return code;
  double v[3];
  switch (word) {
    case 1:
      interp.GetVector(v, &idx);
      SetNormal(v);
      break;
    case 2:
      interp.GetVector(v, &idx);
      SetOrigin(v);
      break;
    case 3:
      SetDip(interp.GetReal(&idx) * kDegree);
      break;
    case 4:
      SetDipDirection(interp.GetReal(&idx) * kDegree);
      break;
    default:
      SetMoveIncrement(interp.GetReal(&idx));
      break;
  }
  return CommandType::kOk;
}

void Plane::Save(SaveStream& stream) const {
  for (double v : origin_) stream.WriteF64(v);
  for (double v : normal_) stream.WriteF64(v);
  stream.WriteU8(incrementDefault_);
  stream.WriteF64(moveIncrement_);
}

void Plane::Restore(SaveStream& stream) {
  double o[3], n[3];
  for (double& v : o) v = stream.ReadF64();
  for (double& v : n) v = stream.ReadF64();
  uint8_t incrementDefault = 1;
  double moveIncrement = 0;
  if (CurrentRestoreVersions().format >= 134) {
    incrementDefault = stream.ReadFlag();
    moveIncrement = stream.ReadF64();
  }
  SetOrigin(o);
  // A saved normal is already a unit vector; normalising it again could move
  // its last bit, and a restored model must save as it was read.
  double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  if (std::fabs(len - 1) <= 1e-14) {
    for (int i = 0; i < 3; ++i) normal_[i] = n[i];
  } else {
    Unit(n, normal_);
  }
  normalGiven_ = 1;
  SetFromNormal();
  incrementDefault_ = incrementDefault;
  moveIncrement_ = moveIncrement;
}

void Plane::SaveBlock(SaveStream& stream) const {
  for (double v : origin_) stream.WriteF64(v);
  for (double v : normal_) stream.WriteF64(v);
  stream.WriteF64(dip_);
  stream.WriteF64(dipDirection_);
  stream.WriteF64(offset_);
  stream.WriteU8(normalGiven_);
  WriteZeros(stream, 7);
  stream.WriteF64(moveIncrement_);
  stream.WriteU8(incrementDefault_);
  WriteZeros(stream, 7);
}

void Plane::RestoreBlock(SaveStream& stream) {
  Plane p;
  for (double& v : p.origin_) v = stream.ReadF64();
  for (double& v : p.normal_) v = stream.ReadF64();
  p.dip_ = stream.ReadF64();
  p.dipDirection_ = stream.ReadF64();
  p.offset_ = stream.ReadF64();
  p.normalGiven_ = stream.ReadFlag();
  unsigned char pad[7];
  stream.Read(pad, 7);
  p.moveIncrement_ = stream.ReadF64();
  p.incrementDefault_ = stream.ReadFlag();
  stream.Read(pad, 7);
  *this = p;
}

void Plane::List(std::ostream& os, int indent) const {
  std::string lead(static_cast<size_t>(indent > 1 ? indent : 1), ' ');
  os << lead << "Origin: ";
  PrintPair(os, origin_[0], origin_[1], origin_[2]);
  os << "\n" << lead << "Normal: ";
  PrintPair(os, normal_[0], normal_[1], normal_[2]);
  os << "\n" << lead << "   Dip: " << dip_ / kDegree << "\n";
  os << lead << "Dip D.: " << dipDirection_ / kDegree << "\n";
}

void PrintPair(std::ostream& os, const double v[2]) {
  std::streamsize w = os.width(0);
  os << "(";
  os.width(w);
  os << v[0];
  os << ",";
  os.width(w);
  os << v[1];
  os << ")";
}

void PrintPair(std::ostream& os, double a, double b, double c) {
  std::streamsize w = os.width(0);
  os << "(";
  os.width(w);
  os << a;
  os << ",";
  os.width(w);
  os << b;
  os << ",";
  os.width(w);
  os << c;
  os << ")";
}
