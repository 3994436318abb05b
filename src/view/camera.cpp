#include "view/camera.h"

#include <algorithm>
#include <cmath>

#include "base/plane.h"
#include "view/view_window.h"

namespace {

// Set by moving, magnifying and turning in model mode: the next model-mode
// rebuild, of whichever camera comes first, keeps the present matrix.
bool keepMatrix = false;

// A usable half-angle tangent: the perspective angle lies strictly between 0 and 180 degrees.
bool UsableTangent(double t) { return t > 0 && std::isfinite(t); }

}  // namespace

Camera::~Camera() {
  if (ExtentWindow()) ExtentWindow()->DetachCamera();
  if (cameraWindow_) cameraWindow_->DetachCamera();
}

void Camera::SetDefaults() {
  mode_ = kModel;
  eye_ = {0, -10, 0};
  autoPosition_ = true;
  direction_ = {0, 1, 0};
  vertical_ = {0, 0, 1};
  centre_ = {0, 0, 0};
  autoCentre_ = true;
  angles_ = {0, 0, 0};
  distance_ = 1.0;
  autoDistance_ = true;
  normal_ = {0, -1, 0};
  dip_ = 90 * kDegree;
  dipDirection_ = 180 * kDegree;
  normalGiven_ = true;
  zAngle_ = 0;
  matrix_ = ViewMatrix();
  matrixValid_ = false;
  rotationIncrement_ = 10 * kDegree;
  magnification_ = 1.0;
  angle_ = 22.5 * kDegree;
  size_ = 10.0;
  autoSize_ = true;
  perspective_ = true;
}

// ---------------------------------------------------------------------------
// Setters: each leaves the matrix to be rebuilt.

void Camera::SetPosition(const Vec3& eye) {
  eye_ = eye;
  autoPosition_ = false;
  matrixValid_ = false;
}

void Camera::SetCenter(const Vec3& centre) {
  centre_ = centre;
  autoCentre_ = false;
  matrixValid_ = false;
}

void Camera::SetRotation(const Vec3& angles) {
  angles_ = angles;
  // A matrix kept for the next model-mode rebuild is always the frame of the angles.
  matrix_ = RotationMatrix(angles_);
  matrixValid_ = false;
}

void Camera::SetDirection(const Vec3& direction) {
  direction_ = UnitVector(direction);
  matrixValid_ = false;
}

void Camera::SetVertical(const Vec3& vertical) {
  vertical_ = UnitVector(vertical);
  matrixValid_ = false;
}

void Camera::SetNormal(const Vec3& normal) {
  normal_ = UnitVector(normal);
  normalGiven_ = true;
  const double n[3] = {normal_.x, normal_.y, normal_.z};
  DipFromNormal(n, &dip_, &dipDirection_);
  matrixValid_ = false;
}

void Camera::SetDip(double dip) {
  dip_ = dip;
  normalGiven_ = false;
  double n[3];
  DipDirToNormal(dip_, dipDirection_, n);
  normal_ = {n[0], n[1], n[2]};
  matrixValid_ = false;
}

void Camera::SetDipDirection(double dipDirection) {
  dipDirection_ = dipDirection;
  normalGiven_ = false;
  double n[3];
  DipDirToNormal(dip_, dipDirection_, n);
  normal_ = {n[0], n[1], n[2]};
  matrixValid_ = false;
}

void Camera::SetZAngle(double angle) {
  zAngle_ = angle;
  matrixValid_ = false;
}

void Camera::SetDistance(double distance) {
  distance_ = distance;
  autoDistance_ = false;
  matrixValid_ = false;
}

void Camera::SetSize(double size) {
  size_ = size;
  autoSize_ = false;
  matrixValid_ = false;
}

void Camera::SetPerspective(bool on) {
  perspective_ = on;
  matrixValid_ = false;
}

void Camera::SetPerspectiveAngle(double angle) {
  angle_ = angle;
  matrixValid_ = false;
}

void Camera::SetMagnification(double value) {
  magnification_ = value;
  matrixValid_ = false;
}

void Camera::SetRotationIncrement(double angle) { rotationIncrement_ = angle; }

void Camera::SetAutoPosition(bool on) {
  autoPosition_ = on;
  matrixValid_ = false;
}

void Camera::SetAutoCenter(bool on) {
  autoCentre_ = on;
  matrixValid_ = false;
}

void Camera::SetAutoDistance(bool on) {
  autoDistance_ = on;
  matrixValid_ = false;
}

void Camera::SetAutoSize(bool on) {
  autoSize_ = on;
  matrixValid_ = false;
}

// ---------------------------------------------------------------------------
// Frames and projection

ViewMatrix Camera::EyeFrame() const {
  ViewMatrix m;
  m.row[0] = Vec3::Cross(direction_, vertical_);
  m.row[1] = direction_;
  m.row[2] = vertical_;
  return m;
}

ViewMatrix Camera::PlaneFrame() const {
  ViewMatrix m;
  m.row[1] = normal_ * -1.0;
  m.row[2] = PlaneVertical(normal_, zAngle_);
  m.row[0] = Vec3::Cross(m.row[1], m.row[2]);
  return m;
}

Vec3 Camera::ToViewFrame(const Vec3& p) {
  EnsureMatrix();
  const Vec3 v = matrix_.Apply(p - eye_);
  return {v.x, v.y, v.z};
}

Vec3 Camera::FromViewFrame(const Vec3& v) {
  EnsureMatrix();
  return eye_ + matrix_.ApplyTransposed(v);
}

Vec3 Camera::Unproject(const DVect2& p) { return FromViewFrame({p.x, distance_, p.y}); }

void Camera::Rebuild() {
  AutoFit();
  DeriveFromMode();
  matrix_.row[1] = direction_;
  matrix_.row[2] = vertical_;
  matrix_.row[0] = Vec3::Cross(direction_, vertical_);
  double s;
  if (perspective_) {
    s = 2 * distance_ * std::tan(angle_ / 2);
    if (s == 0) s = 1.0;
    if (magnification_ != 0) s /= magnification_;
  } else {
    s = size_;
  }
  matrixValid_ = true;
  SetExtent(-s / 2, -s / 2, s / 2, s / 2);
}

void Camera::DeriveFromMode() {
  if (mode_ == kFirstPerson || autoCentre_ || autoDistance_) return;
  if (mode_ == kModel) {
    if (!keepMatrix) matrix_ = RotationMatrix(angles_);
    keepMatrix = false;
    direction_ = UnitVector(matrix_.row[1]);
    vertical_ = UnitVector(matrix_.row[2]);
  } else {
    direction_ = normal_ * -1.0;
    vertical_ = PlaneVertical(normal_, zAngle_);
  }
  eye_ = centre_ - direction_ * distance_;
}

// ---------------------------------------------------------------------------
// Automatic fitting

double Camera::FitDistance(const ModelBox& box, const Vec3& direction, const Vec3& centre) const {
  const Vec3 right = UnitVector(Vec3::Cross(direction, vertical_));
  const Vec3 up = UnitVector(Vec3::Cross(right, direction));
  double lo[3] = {DBL_MAX, DBL_MAX, DBL_MAX}, hi[3] = {-DBL_MAX, -DBL_MAX, -DBL_MAX};
  for (int corner = 0; corner < 8; ++corner) {
    const Vec3 p{corner & 1 ? box.max.x : box.min.x, corner & 2 ? box.max.y : box.min.y,
                 corner & 4 ? box.max.z : box.min.z};
    const Vec3 v = p - centre;
    const double frame[3] = {Vec3::Dot(v, right), Vec3::Dot(v, direction), Vec3::Dot(v, up)};
    for (int i = 0; i < 3; ++i) {
      lo[i] = std::min(lo[i], frame[i]);
      hi[i] = std::max(hi[i], frame[i]);
    }
  }
  const double r = std::max(hi[0] - lo[0], hi[2] - lo[2]);
  return (1.1 * r / 2) / std::tan(angle_ / 2) - lo[1];
}

void Camera::AutoFit() {
  const double t = std::tan(angle_ / 2);
  if (mode_ == kFirstPerson) {
    if (!autoPosition_ && !(autoSize_ && !perspective_)) return;
    const ModelBox box = ModelBounds();
    if (!box.Usable() || !UsableTangent(t)) return;
    const Vec3 centre = box.Centre();
    if (autoDistance_) {
      distance_ = FitDistance(box, direction_, centre);
      autoDistance_ = false;
    }
    if (autoPosition_) SetPosition(centre - direction_ * distance_);
    if (autoSize_) {
      size_ = 2 * t * distance_;
      autoSize_ = false;
    }
    matrixValid_ = false;
    return;
  }
  if (!autoCentre_ && !autoDistance_ && !autoSize_) return;
  const ModelBox box = ModelBounds();
  if (!box.Usable() || !UsableTangent(t)) return;
  if (autoCentre_) SetCenter(box.Centre());
  if (autoDistance_ || autoSize_) {
    const Vec3 direction = mode_ == kModel ? RotationMatrix(angles_).row[1] : normal_ * -1.0;
    const double fitted = FitDistance(box, direction, centre_);
    if (autoDistance_) {
      distance_ = fitted;
      autoDistance_ = false;
    }
    if (autoSize_) {
      size_ = 2 * t * fitted;
      autoSize_ = false;
    }
  }
  matrixValid_ = false;
}

// ---------------------------------------------------------------------------
// Modes

void Camera::DeriveModelMode(bool force) {
  if (mode_ == kFirstPerson) {
    if (autoPosition_ && !force) return;
    angles_ = MatrixToAngles(EyeFrame());
    centre_ = eye_ + direction_ * distance_;
  } else if (mode_ == kPlane) {
    if (autoCentre_ || autoDistance_) return;
    angles_ = MatrixToAngles(PlaneFrame());
  } else {
    return;
  }
  // The kept matrix must be the frame of the new angles, not one left from before.
  matrix_ = RotationMatrix(angles_);
}

void Camera::DerivePlaneMode(bool force) {
  Vec3 normal;
  double zAngle;
  if (mode_ == kModel) {
    MatrixToPlane(RotationMatrix(angles_), &normal, &zAngle);
  } else if (mode_ == kFirstPerson) {
    if (autoPosition_ && !force) return;
    centre_ = eye_ + direction_ * distance_;
    MatrixToPlane(EyeFrame(), &normal, &zAngle);
  } else {
    return;
  }
  SetNormal(normal);
  zAngle_ = zAngle;
}

void Camera::SetMode(int32_t mode) {
  switch (mode) {
    case kFirstPerson:
      DeriveFromMode();
      break;
    case kModel:
      DeriveModelMode(false);
      break;
    case kPlane:
      DerivePlaneMode(false);
      break;
    default:
      return;
  }
  mode_ = mode;
  matrixValid_ = false;
}

void Camera::LookAlong(const Vec3& direction) {
  const int32_t mode = mode_;
  DeriveFromMode();
  mode_ = kFirstPerson;
  SetDirection(direction);
  // Up stays as near the old vertical as the new direction allows, so that
  // the point looked at comes to the middle of the picture.
  const Vec3 up = vertical_ - direction_ * Vec3::Dot(vertical_, direction_);
  if (up.Length() > 1e-12) SetVertical(up);
  // The picture is taken from the present eye, so the way back to the
  // camera's mode starts from it even while the position is automatic.
  if (mode == kModel)
    DeriveModelMode(true);
  else if (mode == kPlane)
    DerivePlaneMode(true);
  mode_ = mode;
  matrixValid_ = false;
}

// ---------------------------------------------------------------------------
// Moving, turning, zooming

void Camera::Move(const Vec3& v) {
  EnsureMatrix();
  const Vec3 w = matrix_.ApplyTransposed(v);
  if (mode_ == kFirstPerson) {
    eye_ += w;
    autoPosition_ = false;
  } else {
    centre_ = centre_ - w;
    autoCentre_ = false;
    keepMatrix = true;
  }
  matrixValid_ = false;
}

void Camera::Rotate(const Vec3& steps) {
  auto normalized = [](const Vec3& a) { return Vec3{NormalizeAngle(a.x), NormalizeAngle(a.y), NormalizeAngle(a.z)}; };
  if (mode_ == kModel) {
    angles_ = normalized(angles_ + steps);
    matrix_ = RotationMatrix(angles_);
    keepMatrix = true;
  } else if (mode_ == kFirstPerson) {
    // Into the camera's frame, turned as the model angles turn the model
    // frame, and back: the turn is about the camera's own axes.
    EnsureMatrix();
    const ViewMatrix turn = RotationMatrix(steps);
    auto turned = [&](const Vec3& v) { return matrix_.ApplyTransposed(turn.ApplyTransposed(matrix_.Apply(v))); };
    const Vec3 direction = turned(direction_), vertical = turned(vertical_);
    direction_ = UnitVector(direction);
    vertical_ = UnitVector(vertical);
  } else {
    // The plane view turns by the steps from where it looks now.
    angles_ = normalized(MatrixToAngles(PlaneFrame()) + steps);
    Vec3 normal;
    double zAngle;
    MatrixToPlane(RotationMatrix(angles_), &normal, &zAngle);
    SetNormal(normal);
    zAngle_ = zAngle;
  }
  matrixValid_ = false;
}

void Camera::Magnify(double factor) {
  magnification_ *= factor;
  size_ /= factor;
  keepMatrix = true;
  matrixValid_ = false;
}

void Camera::ResetView() {
  magnification_ = 1.0;
  autoSize_ = true;
  autoDistance_ = true;
  normalGiven_ = true;
  if (mode_ == kFirstPerson) {
    autoPosition_ = true;
    direction_ = {0, 1, 0};
    vertical_ = {0, 0, 1};
  } else if (mode_ == kModel) {
    autoCentre_ = true;
    SetRotation({0, 0, 0});
  } else {
    autoCentre_ = true;
    SetNormal({0, -1, 0});
    zAngle_ = 0;
  }
  matrixValid_ = false;
}

void Camera::CopyFrom(const Camera& o) {
  mode_ = o.mode_;
  eye_ = o.eye_;
  direction_ = o.direction_;
  vertical_ = o.vertical_;
  autoPosition_ = o.autoPosition_;
  centre_ = o.centre_;
  angles_ = o.angles_;
  distance_ = o.distance_;
  autoCentre_ = o.autoCentre_;
  autoDistance_ = o.autoDistance_;
  normal_ = o.normal_;
  dip_ = o.dip_;
  dipDirection_ = o.dipDirection_;
  normalGiven_ = o.normalGiven_;
  zAngle_ = o.zAngle_;
  matrix_ = o.matrix_;
  matrixValid_ = o.matrixValid_;
  rotationIncrement_ = o.rotationIncrement_;
  magnification_ = o.magnification_;
  angle_ = o.angle_;
  size_ = o.size_;
  autoSize_ = o.autoSize_;
  perspective_ = o.perspective_;
  CopyExtentFrom(o);
}

void Camera::RequestRedraw() {
  if (cameraWindow_ && cameraWindow_->View()) cameraWindow_->View()->Update(2, String());
}
