// PLOT SET: the view's settings phrases, and PLOT EXPORT, which writes the
// settings back as the same phrases.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "base/command.h"
#include "base/stream.h"
#include "view/camera_math.h"
#include "view/view_port.h"

namespace {

// The view's own keywords, tried before the camera's: a one-letter word
// goes to the view when one of these begins with it.
constexpr const char* kViewWords = "color caption foreground background plane wait window title rotation ";
enum ViewWord {
  kColorWord = 1,
  kCaptionWord,
  kForegroundWord,
  kBackgroundWord,
  kPlaneWord,
  kWaitWord,
  kWindowWord,
  kTitleWord,
  kRotationWord
};

std::string Fixed(double v, int digits, int width) {
  char text[64];
  std::snprintf(text, sizeof text, "%*.*f", width, digits, v);
  return text;
}

std::string Sci(double v, int digits, int width) {
  char text[64];
  std::snprintf(text, sizeof text, "%*.*e", width, digits, v);
  return text;
}

std::string Vector(const Vec3& v, std::string (*format)(double, int, int), int digits, int width) {
  return "(" + format(v.x, digits, width) + "," + format(v.y, digits, width) + "," + format(v.z, digits, width) + ")";
}

Vec3 FromArray(const double* v) { return {v[0], v[1], v[2]}; }

}  // namespace

int ViewPort::ParseKeyword(CommandType& interp) {
  int word = 0;
  const int code = interp.MatchKeyword(kViewWords, word);
  if (code == CommandType::kMissing) return code;
  if (code != CommandType::kOk) return Camera::ParseKeyword(interp);
  const String none;
  switch (word) {
    case kColorWord:
      colour_ = interp.GetBool();
      Regenerate(kRedraw, none);
      break;
    case kCaptionWord: {
      bool on = false;
      if (interp.CheckBool(&on) == CommandType::kOk) {
        captionOn_ = on;
      } else {
        switch (interp.GetKeyword("left right size ")) {
          case 1:
            captionLeft_ = true;
            break;
          case 2:
            captionLeft_ = false;
            break;
          default:
            captionSize_ = std::max(std::min(interp.GetReal() / 100.0, 0.5), 0.05);
            break;
        }
      }
      if (viewWindow_) Arrange();
      Regenerate(kRedraw, none);
      break;
    }
    case kForegroundWord:
      foreground_ = Color::ParseOrDefault(interp);
      Regenerate(kRedraw, none);
      break;
    case kBackgroundWord: {
      int automatic = 0;
      if (interp.MatchKeyword("automatic ", automatic) == CommandType::kOk) {
        autoBackground_ = true;
      } else {
        background_ = Color::ParseOrDefault(interp);
        autoBackground_ = false;
      }
      Regenerate(kRedraw, none);
      break;
    }
    case kPlaneWord:
      while (plane_.Parse(interp) == CommandType::kOk) {
      }
      Regenerate(kPlaneMoved, none);
      break;
    case kWaitWord: {
      const float seconds = float(interp.GetReal());
      KeyPollInterval() = int32_t(double(seconds) * 1000.0);
      break;
    }
    case kWindowWord: {
      double x = windowRect_[0], y = windowRect_[1];
      double w = windowRect_[2] - windowRect_[0], h = windowRect_[3] - windowRect_[1];
      int part = 0;
      while (interp.MatchKeyword("size position ", part) == CommandType::kOk) {
        double v[2];
        interp.GetVector2(v);
        if (part == 1) {
          w = v[0];
          h = v[1];
        } else {
          x = v[0];
          y = v[1];
        }
      }
      x = std::min(std::max(x, 0.0), 0.9);
      y = std::min(std::max(y, 0.0), 0.9);
      const double x1 = std::min(std::max(x + w, 0.1), 1.0);
      const double y1 = std::min(std::max(y + h, 0.1), 1.0);
      SetWindowRect(x, y, x1, y1);
      break;
    }
    case kTitleWord: {
      bool on = false;
      if (interp.CheckBool(&on) == CommandType::kOk) {
        titleOn_ = on;
      } else {
        switch (interp.GetKeyword("bottom top text ")) {
          case 1:
            titleTop_ = false;
            break;
          case 2:
            titleTop_ = true;
            break;
          default:
            if (interp.HasToken()) {
              viewTitle_ = interp.GetString();
            } else {
              bool ended = false;
              viewTitle_ = interp.ReadLine("View Title:", ended);
            }
            break;
        }
      }
      if (viewWindow_) Arrange();
      Regenerate(kRedraw, none);
      break;
    }
    case kRotationWord: {
      int plane = 0;
      if (interp.MatchKeyword("plane ", plane) != CommandType::kOk) {
        // The camera's own rotation with its three angles.
        --interp.TokenIndex();
        return Camera::ParseKeyword(interp);
      }
      if (GetMode() != kModel) throw DeviceExcept("Viewport is not in model mode");
      // The angles follow from the plane alone; an automatic eye distance
      // stays automatic.
      const bool autoDistance = AutoDistance();
      if (autoDistance) SetDistance(Distance());
      SetMode(kPlane);
      SetCenter(FromArray(plane_.Origin()));
      SetAutoCenter(false);
      SetNormal(FromArray(plane_.Normal()));
      SetZAngle(0.0);
      SetMode(kModel);
      if (autoDistance) SetAutoDistance(true);
      InvalidateMatrix();
      break;
    }
    default:
      break;
  }
  return CommandType::kOk;
}

void ViewPort::ExportSettings(TextOStream& out) {
  auto line = [&out](const std::string& text) {
    out << "plot set " << text << "\n";
    out.flush();
  };
  auto onOff = [](bool on) { return std::string(on ? "On" : "Off"); };
  line("color " + onOff(colour_));
  line("caption " + onOff(captionOn_));
  if (captionOn_) {
    line(std::string("caption ") + (captionLeft_ ? "left" : "right"));
    line("caption size " + std::to_string(int(captionSize_ * 100.0)));
  }
  line("title " + onOff(titleOn_));
  if (titleOn_) line(std::string("title ") + (titleTop_ ? "top" : "bottom"));
  line("foreground " + foreground_.KeywordName().str());
  line("background " + background_.KeywordName().str());
  const double* r = windowRect_;
  line("window position (" + Fixed(r[0], 2, 4) + "," + Fixed(r[1], 2, 4) + ") size(" + Fixed(r[2] - r[0], 2, 4) + "," +
       Fixed(r[3] - r[1], 2, 4) + ")");
  line("plane normal " + Vector(FromArray(plane_.Normal()), Fixed, 3, 5));
  line("plane origin " + Vector(FromArray(plane_.Origin()), Sci, 4, 10));
  switch (GetMode()) {
    case kFirstPerson:
      line("mode firstperson");
      line("position " + Vector(Eye(), Sci, 4, 10));
      line("direction " + Vector(Direction(), Fixed, 3, 5));
      line("vertical " + Vector(Vertical(), Fixed, 3, 5));
      break;
    case kModel:
      line("mode model");
      line("center " + Vector(Centre(), Sci, 4, 10));
      line("rotation " + Vector(Angles() * (1.0 / kDegree), Fixed, 2, 5));
      line("distance " + Sci(Distance(), 4, 10));
      break;
    default:
      line("mode plane");
      line("origin " + Vector(Centre(), Sci, 4, 10));
      line("normal " + Vector(Normal(), Fixed, 3, 5));
      line("distance " + Sci(Distance(), 4, 10));
      break;
  }
  line("angle " + Fixed(PerspectiveAngle() / kDegree, 2, 5));
  line("magnification " + Sci(Magnification(), 2, 10));
}
