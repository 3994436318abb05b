// The camera of a view: it turns model points into view points (and a
// depth), holds the view's 2-D extent (its base), fits itself to the model,
// and answers the keys and keywords that move, turn and zoom the picture.
//
// Three modes describe one eye: first person (eye, direction and vertical
// given directly), model (a centre, three rotation angles and an eye
// distance) and plane (a centre, a plane normal or dip and dip direction, a
// z-angle and an eye distance). Angles are held in radians and typed and
// listed in degrees. The frame is cached in a matrix that every setter
// invalidates; the next projection rebuilds it.
#pragma once

#include <cfloat>
#include <cstdint>
#include <ostream>

#include "base/matrix.h"
#include "view/camera_math.h"
#include "view/view_extent.h"

class CameraViewWindow;
class CommandType;
class SaveStream;

// A box of model coordinates. The empty box has its minimum above its
// maximum; a box is usable when its minimum x is below 1e19.
struct ModelBox {
  Vec3 min{DBL_MAX, DBL_MAX, DBL_MAX};
  Vec3 max{-DBL_MAX, -DBL_MAX, -DBL_MAX};
  bool Usable() const { return min.x < 1e19; }
  Vec3 Centre() const { return (min + max) * 0.5; }
};

class Camera : public ViewExtent {
 public:
  enum Mode : int32_t { kFirstPerson = 0, kModel = 1, kPlane = 2 };

  Camera() { SetDefaults(); }
  ~Camera() override;

  // The camera keys: 0 not handled, 1 handled without a redraw, 2 redraw.
  int OnKey(int32_t key) override;
  // One camera keyword with its values: 0 when it was taken, else the
  // keyword match's code (the word is left for another parser).
  int ParseKeyword(CommandType& interp) override;
  // Sets the automatic values that are still on from the model box; each is
  // fitted once, and only from a usable box.
  virtual void AutoFit();
  // What the view shows; the base camera shows nothing (the empty box).
  virtual ModelBox ModelBounds() { return ModelBox(); }

  void SetDefaults();

  // The view point of a model point. In perspective a point at or behind the
  // eye goes 1e20 times outward; otherwise the point is scaled by d / depth,
  // and so is *scale when given.
  void Project(const Vec3& p, DVect2& out, double* scale = nullptr) {
    if (!matrixValid_) Rebuild();
    const double vx = p.x - eye_.x, vy = p.y - eye_.y, vz = p.z - eye_.z;
    const Vec3* r = matrix_.row;
    const double x = r[0].x * vx + r[0].y * vy + r[0].z * vz;
    const double y = r[2].x * vx + r[2].y * vy + r[2].z * vz;
    if (!perspective_) {
      out = {x, y};
      return;
    }
    const double depth = r[1].x * vx + r[1].y * vy + r[1].z * vz;
    if (depth <= 0) {
      out = {x * 1e20, y * 1e20};
      return;
    }
    const double f = distance_ / depth;
    out = {x * f, y * f};
    if (scale) *scale *= f;
  }
  // The same, with the depth as the third component.
  void ProjectWithDepth(const Vec3& p, Vec3& out, double* scale = nullptr) {
    if (!matrixValid_) Rebuild();
    const Vec3 v = p - eye_;
    const Vec3* r = matrix_.row;
    double x = Vec3::Dot(r[0], v), y = Vec3::Dot(r[2], v);
    const double depth = Vec3::Dot(r[1], v);
    if (perspective_) {
      if (depth <= 0) {
        x *= 1e20;
        y *= 1e20;
      } else {
        const double f = distance_ / depth;
        x *= f;
        y *= f;
        if (scale) *scale *= f;
      }
    }
    out = {x, y, depth};
  }
  // (x, depth, y) of a model point in the camera's frame.
  Vec3 ToViewFrame(const Vec3& p);
  // The model point eye + transpose(matrix) v of a view-frame vector.
  Vec3 FromViewFrame(const Vec3& v);
  // The model point of a view point on the plane through the centre at right
  // angles to the direction.
  Vec3 Unproject(const DVect2& p);

  // Moves by a view-frame vector (right, depth, up): the eye in first
  // person, else the centre the other way.
  void Move(const Vec3& v);
  // Turns by the angle steps (a, b, c): the model angles in model mode, the
  // camera about its own axes in first person, the plane view in plane mode.
  void Rotate(const Vec3& steps);
  void Magnify(double factor);
  // Automatic fitting on again and the mode's orientation back to its default.
  void ResetView();
  // Takes the settings of the new mode from the present eye, then switches.
  void SetMode(int32_t mode);
  // Eye, direction and vertical from the model or plane settings (nothing in
  // first person, or while the centre or distance is automatic).
  void DeriveFromMode();
  // Fits, derives the eye, builds the matrix and sets the extent of the window.
  void Rebuild();
  // The eye distance at which the box, seen along the direction from the
  // centre, fills the perspective window with a tenth to spare.
  double FitDistance(const ModelBox& box, const Vec3& direction, const Vec3& centre) const;
  // Turns the camera about its eye to look along the direction, in any mode.
  void LookAlong(const Vec3& direction);

  void SetPosition(const Vec3& eye);
  void SetCenter(const Vec3& centre);
  void SetRotation(const Vec3& angles);
  void SetDirection(const Vec3& direction);
  void SetVertical(const Vec3& vertical);
  // The unit normal; dip and dip direction follow from it.
  void SetNormal(const Vec3& normal);
  // The normal follows from dip and dip direction (radians).
  void SetDip(double dip);
  void SetDipDirection(double dipDirection);
  void SetZAngle(double angle);
  // A value sets the distance and ends its automatic fit.
  void SetDistance(double distance);
  void SetSize(double size);
  void SetPerspective(bool on);
  void SetPerspectiveAngle(double angle);
  void SetMagnification(double value);
  void SetRotationIncrement(double angle);
  void SetAutoPosition(bool on);
  void SetAutoCenter(bool on);
  void SetAutoDistance(bool on);
  void SetAutoSize(bool on);

  // Every setting, the matrix and the extent part; not the windows.
  void CopyFrom(const Camera& other);

  // The camera record followed by its extent record.
  void Save(SaveStream& stream) const;
  void Restore(SaveStream& stream);
  // The camera lines of the view listing.
  void List(std::ostream& os) const;

  int32_t GetMode() const { return mode_; }
  const Vec3& Eye() const { return eye_; }
  const Vec3& Direction() const { return direction_; }
  const Vec3& Vertical() const { return vertical_; }
  const Vec3& Centre() const { return centre_; }
  const Vec3& Angles() const { return angles_; }
  double Distance() const { return distance_; }
  const Vec3& Normal() const { return normal_; }
  double Dip() const { return dip_; }
  double DipDirection() const { return dipDirection_; }
  bool NormalGiven() const { return normalGiven_; }
  double ZAngle() const { return zAngle_; }
  const ViewMatrix& Matrix() const { return matrix_; }
  bool MatrixValid() const { return matrixValid_; }
  void InvalidateMatrix() { matrixValid_ = false; }
  double RotationIncrement() const { return rotationIncrement_; }
  double Magnification() const { return magnification_; }
  double PerspectiveAngle() const { return angle_; }
  double Size() const { return size_; }
  bool Perspective() const { return perspective_; }
  bool AutoPosition() const { return autoPosition_; }
  bool AutoCenter() const { return autoCentre_; }
  bool AutoDistance() const { return autoDistance_; }
  bool AutoSize() const { return autoSize_; }

  CameraViewWindow* CameraWindow() const { return cameraWindow_; }
  void SetCameraWindow(CameraViewWindow* window) { cameraWindow_ = window; }

 private:
  // The frame of the present eye: [direction x vertical; direction; vertical].
  ViewMatrix EyeFrame() const;
  // The frame of the plane settings.
  ViewMatrix PlaneFrame() const;
  void EnsureMatrix() {
    if (!matrixValid_) Rebuild();
  }
  // Model settings from the present mode's; from first person only without
  // an automatic position unless `force`.
  void DeriveModelMode(bool force);
  void DerivePlaneMode(bool force);
  // Asks the view shown in the camera's window to redraw.
  void RequestRedraw();
  // Reads the record into this (fresh) camera, in the file's format.
  void ReadRecord(SaveStream& stream);

  CameraViewWindow* cameraWindow_ = nullptr;
  int32_t mode_ = kModel;
  Vec3 eye_;
  Vec3 direction_;
  Vec3 vertical_;
  bool autoPosition_ = true;
  Vec3 centre_;
  Vec3 angles_;
  double distance_ = 1.0;
  bool autoCentre_ = true;
  bool autoDistance_ = true;
  Vec3 normal_;
  double dip_ = 0.0;
  double dipDirection_ = 0.0;
  bool normalGiven_ = true;
  double zAngle_ = 0.0;
  ViewMatrix matrix_;
  bool matrixValid_ = false;
  double rotationIncrement_ = 0.0;
  double magnification_ = 1.0;
  double angle_ = 0.0;
  double size_ = 10.0;
  bool autoSize_ = true;
  bool perspective_ = true;
};
