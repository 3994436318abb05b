// The user's side of the camera: its keywords, its keys and its listing.
#include <cmath>

#include "base/command.h"
#include "base/except.h"
#include "base/message.h"
#include "base/plane.h"
#include "view/camera.h"
#include "view/window_event.h"

namespace {

const char* const kCameraWords =
    "perspective angle size position direction vertical center rotation distance mode magnification normal dip dd "
    "origin zangle moveincrement rotincrement eyedistance ";
enum CameraWord {
  kPerspective = 1,
  kAngle,
  kSize,
  kPosition,
  kDirection,
  kVertical,
  kCenter,
  kRotation,
  kDistance,
  kModeWord,
  kMagnification,
  kNormal,
  kDip,
  kDipDirection,
  kOrigin,
  kZAngle,
  kMoveIncrement,
  kRotIncrement,
  kEyeDistance,
};

// True (and the word taken) when the next word is "automatic" or a leading part of it.
bool Automatic(CommandType& interp) {
  int word = 0;
  return interp.MatchKeyword(MessageText("automatic ").c_str(), word) == CommandType::kOk;
}

// A real that must lie strictly inside (low, high); anything else is a conversion error.
double RealInside(CommandType& interp, double low, double high) {
  int at = interp.TokenIndex();
  const double v = interp.GetReal();
  if (!(v > low && v < high)) interp.ThrowParamError(CommandType::kConvert, &at);
  return v;
}

Vec3 ReadVector(CommandType& interp) {
  double v[3];
  interp.GetVector(v);
  return {v[0], v[1], v[2]};
}

[[noreturn]] void WrongMode(const char* text) { throw DeviceExcept(MessageText(text)); }

}  // namespace

int Camera::ParseKeyword(CommandType& interp) {
  int word = 0;
  if (int code = interp.MatchKeyword(MessageText(kCameraWords).c_str(), word)) return code;
  // The mode is checked before any value is read.
  switch (word) {
    case kPosition:
    case kDirection:
    case kVertical:
      if (mode_ != kFirstPerson) WrongMode("Viewport is not in first person mode");
      break;
    case kCenter:
    case kOrigin:
    case kDistance:
    case kEyeDistance:
      if (mode_ == kFirstPerson) WrongMode("Viewport is in first person mode");
      break;
    case kRotation:
      if (mode_ != kModel) WrongMode("Viewport is not in model mode");
      break;
    case kNormal:
    case kDip:
    case kDipDirection:
    case kZAngle:
      if (mode_ != kPlane) WrongMode("Viewport is not in plane mode");
      break;
    default:
      break;
  }
  bool redraw = true;
  switch (word) {
    case kPerspective:
      SetPerspective(interp.GetBool());
      break;
    case kAngle:
      // A perspective of 0 or 180 degrees or more has no window.
      SetPerspectiveAngle(RealInside(interp, 0, 180) * kDegree);
      redraw = perspective_;
      break;
    case kSize:
      if (Automatic(interp))
        SetAutoSize(true);
      else
        SetSize(RealInside(interp, 0, HUGE_VAL));
      redraw = !perspective_;
      break;
    case kPosition:
      if (Automatic(interp))
        SetAutoPosition(true);
      else
        SetPosition(ReadVector(interp));
      break;
    case kDirection:
      SetDirection(ReadVector(interp));
      break;
    case kVertical:
      SetVertical(ReadVector(interp));
      break;
    case kCenter:
    case kOrigin:
      if (Automatic(interp))
        SetAutoCenter(true);
      else
        SetCenter(ReadVector(interp));
      break;
    case kRotation:
      SetRotation(ReadVector(interp) * kDegree);
      break;
    case kDistance:
    case kEyeDistance:
      if (Automatic(interp)) {
        SetAutoDistance(true);
      } else {
        SetDistance(std::fabs(interp.GetReal()));
        redraw = false;
      }
      break;
    case kModeWord:
      SetMode(interp.GetKeyword(MessageText("firstperson model plane ").c_str()) - 1);
      break;
    case kMagnification:
      SetMagnification(std::fabs(interp.GetReal()));
      redraw = perspective_;
      break;
    case kNormal:
      SetNormal(ReadVector(interp));
      break;
    case kDip:
      SetDip(interp.GetReal() * kDegree);
      break;
    case kDipDirection:
      SetDipDirection(interp.GetReal() * kDegree);
      break;
    case kZAngle:
      SetZAngle(interp.GetReal() * kDegree);
      break;
    case kMoveIncrement:
      SetMoveIncrement(interp.GetReal());
      break;
    case kRotIncrement:
      SetRotationIncrement(std::fabs(interp.GetReal()) * kDegree);
      break;
    default:
      break;
  }
  if (redraw) RequestRedraw();
  return CommandType::kOk;
}

int Camera::OnKey(int32_t code) {
  const double r = rotationIncrement_;
  // A magnification of 0 stands for none, as in the rebuild.
  const double m = magnification_ != 0 ? MoveIncrement() / magnification_ : MoveIncrement();
  switch (code) {
    case 'x':
      Rotate({r, 0, 0});
      return 2;
    case 'X':
      Rotate({-r, 0, 0});
      return 2;
    case 'y':
      Rotate({0, r, 0});
      return 2;
    case 'Y':
      Rotate({0, -r, 0});
      return 2;
    case 'z':
      Rotate({0, 0, r});
      return 2;
    case 'Z':
      Rotate({0, 0, -r});
      return 2;
    case key::kRight:
      Move({m, 0, 0});
      return 2;
    case key::kLeft:
      Move({-m, 0, 0});
      return 2;
    case key::kUp:
      Move({0, 0, m});
      return 2;
    case key::kDown:
      Move({0, 0, -m});
      return 2;
    case key::kHome:
      Move({0, m, 0});
      return 2;
    case key::kEnd:
      Move({0, -m, 0});
      return 2;
    case 'm':
      Magnify(1.25);
      return 2;
    case 'M':
      Magnify(0.8);
      return 2;
    case key::kInsert:
      SetDistance(distance_ * 0.9);
      return 2;
    case key::kDelete:
      SetDistance(distance_ * 1.1);
      return 2;
    case '\\':
    case '|':
      SetMode(mode_ == kModel ? kFirstPerson : mode_ == kFirstPerson ? kPlane : kModel);
      return 2;
    case key::Ctrl('R'):
      ResetView();
      return 2;
    case '+':
      rotationIncrement_ *= 2;
      return ViewExtent::OnKey(code);
    case '-':
      rotationIncrement_ /= 2;
      return ViewExtent::OnKey(code);
    default:
      return ViewExtent::OnKey(code);
  }
}

void Camera::List(std::ostream& os) const {
  auto vector = [&os](const char* label, const Vec3& v) {
    os << label;
    PrintPair(os, v.x, v.y, v.z);
    os << "\n";
  };
  auto vectorOrAuto = [&](const char* label, const Vec3& v, bool automatic) {
    if (automatic)
      os << label << "Auto\n";
    else
      vector(label, v);
  };
  auto number = [&os](const char* label, double v) { os << label << v << "\n"; };
  auto numberOrAuto = [&](const char* label, double v, bool automatic) {
    if (automatic)
      os << label << "Auto\n";
    else
      number(label, v);
  };
  static const char* const kModeNames[] = {"First Person", "Model", "Plane"};
  os << "       View Mode: " << kModeNames[mode_ >= 0 && mode_ <= 2 ? mode_ : 1] << "\n";
  if (mode_ == kFirstPerson) {
    vector("   Eye Direction: ", direction_);
    vector("    Eye Vertical: ", vertical_);
    vectorOrAuto("    Eye Position: ", eye_, autoPosition_);
  } else if (mode_ == kModel) {
    vectorOrAuto("    Model Center: ", centre_, autoCentre_);
    vector("        Rotation: ", angles_ * (1 / kDegree));
    numberOrAuto("    Eye Distance: ", distance_, autoDistance_);
  } else {
    vector("          Normal: ", normal_);
    number("             Dip: ", dip_ / kDegree);
    number("   Dip Direction: ", dipDirection_ / kDegree);
    vectorOrAuto("          Origin: ", centre_, autoCentre_);
    numberOrAuto("    Eye Distance: ", distance_, autoDistance_);
  }
  os << "     Perspective: " << (perspective_ ? "On" : "Off") << "\n";
  if (perspective_) {
    number("   Viewing Angle: ", angle_ / kDegree);
    number("   Magnification: ", magnification_);
  } else {
    numberOrAuto("       View Size: ", size_, autoSize_);
  }
  number("   Rotation Inc.: ", rotationIncrement_ / kDegree);
}
