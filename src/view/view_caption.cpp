// The view's own lines in its caption: the step, the time of drawing, the
// camera, the visible area of a plan view and the cutting plane.
#include "base/system.h"
#include "devices/canvas.h"
#include "view/caption_window.h"
#include "view/view_port.h"

namespace {

String Sci(double v, int precision, int width) { return DoubleToString(v, precision, width, 1); }
String Fixed(double v, int precision, int width) { return DoubleToString(v, precision, width, 0); }
String General(double v, int precision, int width) { return DoubleToString(v, precision, width, 2); }

using Format = String (*)(double, int, int);

// A heading and the three components of a vector, one line each.
void LeftVector(CaptionWindow& c, const char* heading, const Vec3& v, Format f, int p, int w, bool z = true) {
  c.WriteCaptionLine(heading);
  c.WriteCaptionLine(" X: " + f(v.x, p, w));
  c.WriteCaptionLine(" Y: " + f(v.y, p, w));
  if (z) c.WriteCaptionLine(" Z: " + f(v.z, p, w));
}

void RightVector(CaptionWindow& c, const char* heading, const Vec3& v, Format f, int p, int w, bool z = true) {
  c.WriteCaptionRight(heading);
  c.WriteCaptionRight(" X: " + f(v.x, p, w));
  c.WriteCaptionRight(" Y: " + f(v.y, p, w));
  if (z) c.WriteCaptionRight(" Z: " + f(v.z, p, w));
}

}  // namespace

void ViewPort::DrawCaption() {
  CaptionWindow* caption = Caption();
  if (!caption) return;
  CaptionWindow& c = *caption;
  const bool modelItems = Items().AnyModelItem();
  const bool planeItems = Items().AnyOnPlane();
  const bool camera = ThreeD() && modelItems;

  String first;
  const uint32_t step = CurrentStep();
  if (step != 0) first = "Step " + UIntToString(step);
  if (camera) {
    if (step == 0) first = "Settings:";
    first += "  ";
    first += GetMode() == kFirstPerson ? "First Person " : GetMode() == kModel ? "Model " : "Plane ";
    first += Perspective() ? "Perspective" : "Projection";
  }
  if (!first.IsEmpty()) c.WriteCaptionLine(first);
  c.WriteCaptionLine(System::TimeStamp());
  c.DrawCaptionRule();

  if (camera) {
    switch (GetMode()) {
      case kFirstPerson:
        LeftVector(c, "Eye Position:", Eye(), Sci, 3, 10);
        RightVector(c, "Eye Direction:", Direction(), Fixed, 3, 6);
        LeftVector(c, "Eye Vertical:", Vertical(), Fixed, 3, 6);
        break;
      case kModel:
        LeftVector(c, "Center:", Centre(), Sci, 3, 10);
        RightVector(c, "Rotation:", Angles() * (1.0 / kDegree), Fixed, 3, 7);
        c.WriteCaptionLine("Dist: " + Sci(Distance(), 3, 10));
        break;
      default:
        LeftVector(c, "Origin:", Centre(), Sci, 3, 10);
        RightVector(c, "Normal:", Normal(), Fixed, 3, 6);
        c.WriteCaptionLine("Dip: " + Fixed(Dip() / kDegree, 3, 7));
        c.WriteCaptionLine(" DD: " + Fixed(DipDirection() / kDegree, 3, 7));
        c.WriteCaptionRight("ZAng: " + Fixed(ZAngle() / kDegree, 3, 7));
        c.WriteCaptionRight("Dist: " + Sci(Distance(), 3, 10));
        break;
    }
    if (Perspective()) {
      c.WriteCaptionRight("Mag.: " + General(Magnification(), 3, 8));
      c.WriteCaptionRight("Ang.: " + Fixed(PerspectiveAngle() / kDegree, 3, 7));
    } else {
      c.WriteCaptionRight("Size: " + Sci(Size(), 3, 10));
    }
    PlotFileDevice* device = Surface() ? Surface()->Device() : nullptr;
    if (device && device->IsScreen()) {
      c.WriteCaptionLine("Increments:");
      c.WriteCaptionLine("  Move: " + Sci(MoveIncrement(), 3, 10));
      c.WriteCaptionLine("  Rot.: " + Fixed(RotationIncrement() / kDegree, 3, 8));
    }
    c.DrawCaptionRule();
  } else if (modelItems) {
    const ExtentRect& v = Visible();
    c.WriteCaptionLine("View Area:");
    c.WriteCaptionLine(" X: " + Sci(v.x0, 3, 10) + " <-> " + Sci(v.x1, 3, 10));
    c.WriteCaptionLine(" Y: " + Sci(v.y0, 3, 10) + " <-> " + Sci(v.y1, 3, 10));
    c.WriteCaptionLine("Increment: " + DoubleToString(MoveIncrement(), 6, 0, 1));
    c.DrawCaptionRule();
  }

  if (planeItems) {
    const Plane& p = CuttingPlane();
    const double* o = p.Origin();
    const double* n = p.Normal();
    LeftVector(c, "Plane Origin:", Vec3{o[0], o[1], o[2]}, Sci, 3, 10, ThreeD());
    if (p.NormalGiven()) {
      RightVector(c, "Plane Normal:", Vec3{n[0], n[1], n[2]}, Sci, 3, 5, ThreeD());
    } else {
      c.WriteCaptionRight("Plane Orientation:");
      c.WriteCaptionRight(" Dip: " + Fixed(p.Dip() / kDegree, 3, 7));
      if (ThreeD()) c.WriteCaptionRight("  DD: " + Fixed(p.DipDirection() / kDegree, 3, 7));
    }
    c.DrawCaptionRule();
  }
}
