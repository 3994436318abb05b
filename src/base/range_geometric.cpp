// The geometric range elements: axis interval, sphere, cylinder, plane side
// and annulus.
#include "base/range_geometric.h"

#include <cmath>
#include <utility>

#include "base/app.h"
#include "base/command.h"
#include "base/message.h"
#include "base/savestream.h"

namespace {
// The element text followed by the words "not" and "any" of its flags.
String WithFlags(const String& text, const RangeElement& e) { return text + " " + e.RangeElement::CommandText(); }

void WriteVector(SaveStream& stream, const double v[3]) {
  for (int i = 0; i < 3; ++i) stream.WriteF64(v[i]);
}

void ReadVector(SaveStream& stream, double v[3]) {
  for (int i = 0; i < 3; ++i) v[i] = stream.ReadF64();
}

double Distance(const double a[3], const double b[3]) {
  double dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// "  Center = (x,y,z)" and the like, on a line of its own.
void PrintVectorLine(CommandType& interp, const char* label, const double v[3]) {
  interp << label;
  PrintPair(interp, v[0], v[1], v[2]);
  interp << "\n";
}

// Matches the kind's keyword at the token index.
bool MatchesKeyword(CommandType& interp, int* index, const char* keyword, int* word = nullptr) {
  int k = 0;
  if (interp.MatchKeyword(keyword, k, index) != CommandType::kOk) return false;
  if (word) *word = k;
  return true;
}
}  // namespace

// ---------------------------------------------------------------------------
// Axis interval

void AxisRangeElement::SetSingle(double v) {
  double t = 1e-6 * v > 1e-6 ? 1e-6 * v : 1e-6;
  lower_ = v - t;
  upper_ = v + t;
  single_ = 1;
}

void AxisRangeElement::SetInterval(double lower, double upper) {
  lower_ = lower;
  upper_ = upper;
  single_ = 0;
  if (upper_ < lower_) std::swap(lower_, upper_);
}

void AxisRangeElement::Save(SaveStream& stream) const {
  RangeElement::Save(stream);
  stream.WriteU8(axis_);
  stream.WriteF64(upper_);
  stream.WriteF64(lower_);
  stream.WriteU8(single_);
}

void AxisRangeElement::Restore(SaveStream& stream) {
  RangeElement::Restore(stream);
  uint8_t axis = stream.ReadU8();
  if (axis > 2) stream.ReadFailure();
  axis_ = axis;
  upper_ = stream.ReadF64();
  lower_ = stream.ReadF64();
  single_ = 0;
  if (CurrentRestoreVersions().format > 14) {
    single_ = stream.ReadFlag();
  }
}

int AxisRangeElement::ParseArgs(CommandType& interp, int* index) {
  if (RangeElement::ParseArgs(interp, index) == CommandType::kOk) return CommandType::kOk;
  double first = 0;
  if (int code = interp.CheckNumber(&first, index)) return code;
  double second = 0;
  if (interp.CheckNumber(&second, index) == CommandType::kOk)
    SetInterval(first, second);
  else
    SetSingle(first);
  return CommandType::kOk;
}

void AxisRangeElement::Print(CommandType& interp) const {
  RangeElement::Print(interp);
  if (single_)
    interp << " at " << (lower_ + upper_) / 2;
  else
    interp << MessageText(" From %s to %s", RangeNumberText(lower_), RangeNumberText(upper_));
  interp << "\n";
}

String AxisRangeElement::Name() const {
  switch (axis_) {
    case 0:
      return String("X");
    case 1:
      return String("Y");
    case 2:
      return String("Z");
    default:
      throw KWRExcept("Configuration file error");
  }
}

bool AxisRangeElement::IsIn(const double position[3], const LocatedObject*) const {
  double c = position[axis_ < 3 ? axis_ : 0];
  return lower_ <= c && c <= upper_;
}

std::unique_ptr<RangeElement> AxisRangeElement::CreateFromCommand(CommandType& interp, int* index) const {
  int word = 0;
  if (!MatchesKeyword(interp, index, "x y z ", &word)) return nullptr;
  return std::make_unique<AxisRangeElement>(word - 1);
}

std::unique_ptr<RangeElement> AxisRangeElement::Clone() const { return std::make_unique<AxisRangeElement>(*this); }

String AxisRangeElement::CommandText() const {
  static const char* const kWords[] = {"x", "y", "z"};
  String text(kWords[axis_ < 3 ? axis_ : 0]);
  text += " ";
  if (single_)
    text += RangeNumberText((lower_ + upper_) / 2);
  else
    text += RangeNumberText(lower_) + "," + RangeNumberText(upper_);
  return WithFlags(text, *this);
}

// ---------------------------------------------------------------------------
// Sphere

void SphereRangeElement::Save(SaveStream& stream) const {
  RangeElement::Save(stream);
  WriteVector(stream, centre_);
  stream.WriteF64(radius_);
}

void SphereRangeElement::Restore(SaveStream& stream) {
  RangeElement::Restore(stream);
  ReadVector(stream, centre_);
  radius_ = stream.ReadF64();
}

int SphereRangeElement::ParseArgs(CommandType& interp, int* index) {
  if (RangeElement::ParseArgs(interp, index) == CommandType::kOk) return CommandType::kOk;
  int word = 0;
  if (int code = interp.MatchKeyword("center radius ", word, index)) return code;
  if (word == 1)
    interp.GetVector(centre_, index);
  else
    radius_ = interp.GetReal(index);
  return CommandType::kOk;
}

void SphereRangeElement::Print(CommandType& interp) const {
  RangeElement::Print(interp);
  interp << "\n";
  PrintVectorLine(interp, "        Center = ", centre_);
  interp << "        Radius = " << radius_ << "\n";
}

bool SphereRangeElement::IsIn(const double position[3], const LocatedObject*) const {
  return Distance(position, centre_) <= radius_;
}

std::unique_ptr<RangeElement> SphereRangeElement::CreateFromCommand(CommandType& interp, int* index) const {
  if (!MatchesKeyword(interp, index, "sphere ")) return nullptr;
  return std::make_unique<SphereRangeElement>();
}

std::unique_ptr<RangeElement> SphereRangeElement::Clone() const { return std::make_unique<SphereRangeElement>(*this); }

String SphereRangeElement::CommandText() const {
  return WithFlags("sphere center=" + RangeVectorText(centre_) + " radius=" + RangeNumberText(radius_), *this);
}

// ---------------------------------------------------------------------------
// Cylinder

void CylinderRangeElement::Save(SaveStream& stream) const {
  RangeElement::Save(stream);
  WriteVector(stream, end1_);
  WriteVector(stream, end2_);
  stream.WriteF64(radius_);
}

void CylinderRangeElement::Restore(SaveStream& stream) {
  RangeElement::Restore(stream);
  ReadVector(stream, end1_);
  ReadVector(stream, end2_);
  radius_ = stream.ReadF64();
}

int CylinderRangeElement::ParseArgs(CommandType& interp, int* index) {
  if (RangeElement::ParseArgs(interp, index) == CommandType::kOk) return CommandType::kOk;
  int word = 0;
  if (int code = interp.MatchKeyword("end1 end2 radius ", word, index)) return code;
  if (word == 1)
    interp.GetVector(end1_, index);
  else if (word == 2)
    interp.GetVector(end2_, index);
  else
    radius_ = interp.GetReal(index);
  return CommandType::kOk;
}

void CylinderRangeElement::Print(CommandType& interp) const {
  RangeElement::Print(interp);
  interp << "\n";
  PrintVectorLine(interp, "        End1 = ", end1_);
  PrintVectorLine(interp, "        End2 = ", end2_);
  interp << "        Radius = " << radius_ << "\n";
}

// The axial position is compared unscaled (a . (p - end1) against |a|^2), so
// that a point on either end cap is inside without rounding in the way; the
// foot of the point on the axis is end1 + t a with t in [0, 1].
bool CylinderRangeElement::IsIn(const double position[3], const LocatedObject*) const {
  double a[3], d[3];
  for (int i = 0; i < 3; ++i) {
    a[i] = end2_[i] - end1_[i];
    d[i] = position[i] - end1_[i];
  }
  double aa = a[0] * a[0] + a[1] * a[1] + a[2] * a[2];
  double ad = a[0] * d[0] + a[1] * d[1] + a[2] * d[2];
  if (ad < 0 || ad > aa) return false;
  double t = aa != 0 ? ad / aa : 0;  // 0 at end1, 1 at end2
  double foot[3];
  for (int i = 0; i < 3; ++i) foot[i] = end1_[i] + t * a[i];
  return Distance(foot, position) <= radius_;
}

std::unique_ptr<RangeElement> CylinderRangeElement::CreateFromCommand(CommandType& interp, int* index) const {
  if (!MatchesKeyword(interp, index, "cylinder ")) return nullptr;
  return std::make_unique<CylinderRangeElement>();
}

std::unique_ptr<RangeElement> CylinderRangeElement::Clone() const {
  return std::make_unique<CylinderRangeElement>(*this);
}

String CylinderRangeElement::CommandText() const {
  return WithFlags("cylinder end1=" + RangeVectorText(end1_) + " end2=" + RangeVectorText(end2_) +
                       " radius=" + RangeNumberText(radius_),
                   *this);
}

// ---------------------------------------------------------------------------
// Plane

void PlaneRangeElement::Save(SaveStream& stream) const {
  RangeElement::Save(stream);
  plane_.SaveBlock(stream);
  stream.WriteI32(side_);
  stream.WriteF64(distance_);
}

void PlaneRangeElement::Restore(SaveStream& stream) {
  RangeElement::Restore(stream);
  plane_.RestoreBlock(stream);
  int32_t side = stream.ReadI32();
  if (side < kAbove || side > kDistance) stream.ReadFailure();
  side_ = side;
  distance_ = stream.ReadF64();
}

int PlaneRangeElement::ParseArgs(CommandType& interp, int* index) {
  if (RangeElement::ParseArgs(interp, index) == CommandType::kOk) return CommandType::kOk;
  if (plane_.Parse(interp, index) == CommandType::kOk) return CommandType::kOk;
  int word = 0;
  if (int code = interp.MatchKeyword("above below distance ", word, index)) return code;
  if (word == 1) {
    side_ = kAbove;
  } else if (word == 2) {
    side_ = kBelow;
  } else {
    distance_ = interp.GetReal(index);
    side_ = kDistance;
  }
  return CommandType::kOk;
}

void PlaneRangeElement::Print(CommandType& interp) const {
  RangeElement::Print(interp);
  interp << "\n";
  plane_.List(interp, 8);
  if (side_ == kAbove)
    interp << "        Above";
  else if (side_ == kBelow)
    interp << "        Below";
  else
    interp << "        Distance = " << distance_;
  interp << "\n";
}

bool PlaneRangeElement::IsIn(const double position[3], const LocatedObject*) const {
  double d = plane_.SignedDistance(position);
  if (side_ == kAbove) return d >= 0;
  if (side_ == kBelow) return d <= 0;
  return std::fabs(d) <= distance_;
}

std::unique_ptr<RangeElement> PlaneRangeElement::CreateFromCommand(CommandType& interp, int* index) const {
  if (!MatchesKeyword(interp, index, "plane ")) return nullptr;
  return std::make_unique<PlaneRangeElement>();
}

std::unique_ptr<RangeElement> PlaneRangeElement::Clone() const { return std::make_unique<PlaneRangeElement>(*this); }

String PlaneRangeElement::CommandText() const {
  String text = "plane normal=" + RangeVectorText(plane_.Normal()) + " origin=" + RangeVectorText(plane_.Origin());
  text += " ";
  if (side_ == kAbove)
    text += "above";
  else if (side_ == kBelow)
    text += "below";
  else
    text += "distance=" + RangeNumberText(distance_);
  return WithFlags(text, *this);
}

// ---------------------------------------------------------------------------
// Annulus

void AnnulusRangeElement::Save(SaveStream& stream) const {
  RangeElement::Save(stream);
  WriteVector(stream, centre_);
  stream.WriteF64(inner_);
  stream.WriteF64(outer_);
}

void AnnulusRangeElement::Restore(SaveStream& stream) {
  RangeElement::Restore(stream);
  ReadVector(stream, centre_);
  inner_ = stream.ReadF64();
  outer_ = stream.ReadF64();
}

int AnnulusRangeElement::ParseArgs(CommandType& interp, int* index) {
  if (RangeElement::ParseArgs(interp, index) == CommandType::kOk) return CommandType::kOk;
  int word = 0;
  if (int code = interp.MatchKeyword("center radius ", word, index)) return code;
  if (word == 1) {
    interp.GetVector(centre_, index);
  } else {
    inner_ = interp.GetReal(index);
    outer_ = interp.GetReal(index);
  }
  return CommandType::kOk;
}

void AnnulusRangeElement::Print(CommandType& interp) const {
  RangeElement::Print(interp);
  interp << "\n";
  PrintVectorLine(interp, "        Center = ", centre_);
  interp << MessageText("      Radius From %s To %s", RangeNumberText(inner_), RangeNumberText(outer_)) << "\n";
}

bool AnnulusRangeElement::IsIn(const double position[3], const LocatedObject*) const {
  double r = Distance(position, centre_);
  return inner_ <= r && r <= outer_;
}

std::unique_ptr<RangeElement> AnnulusRangeElement::CreateFromCommand(CommandType& interp, int* index) const {
  if (!MatchesKeyword(interp, index, "annulus ")) return nullptr;
  return std::make_unique<AnnulusRangeElement>();
}

std::unique_ptr<RangeElement> AnnulusRangeElement::Clone() const {
  return std::make_unique<AnnulusRangeElement>(*this);
}

String AnnulusRangeElement::CommandText() const {
  return WithFlags("annulus center=" + RangeVectorText(centre_) + " radius=" + RangeNumberText(inner_) + "," +
                       RangeNumberText(outer_),
                   *this);
}
