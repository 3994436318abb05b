// The camera's save record. It is written in the present format; files of
// format version below 133 hold floats, and below 7 a shorter record.
#include "base/app.h"
#include "base/savestream.h"
#include "view/camera.h"

namespace {

void WriteVector(SaveStream& s, const Vec3& v) {
  s.WriteF64(v.x);
  s.WriteF64(v.y);
  s.WriteF64(v.z);
}

// Reads the reals of one record, as doubles or as the floats of older files.
struct RealReader {
  SaveStream& stream;
  bool floats;
  double Real() { return floats ? double(stream.ReadF32()) : stream.ReadF64(); }
  Vec3 Vector() {
    const double x = Real(), y = Real(), z = Real();
    return {x, y, z};
  }
};

}  // namespace

void Camera::Save(SaveStream& s) const {
  s.WriteI32(mode_);
  WriteVector(s, eye_);
  WriteVector(s, direction_);
  WriteVector(s, vertical_);
  s.WriteU8(autoPosition_);
  WriteVector(s, centre_);
  WriteVector(s, angles_);
  s.WriteF64(distance_);
  s.WriteU8(autoCentre_);
  s.WriteU8(autoDistance_);
  WriteVector(s, normal_);
  s.WriteF64(dip_);
  s.WriteF64(dipDirection_);
  s.WriteF64(zAngle_);
  s.WriteF64(rotationIncrement_);
  s.WriteF64(magnification_);
  s.WriteF64(angle_);
  s.WriteF64(size_);
  s.WriteU8(perspective_);
  s.WriteU8(autoSize_);
  SaveExtent(s);
}

void Camera::Restore(SaveStream& stream) {
  // Read into a fresh camera first: a record that fails half-way changes
  // nothing, and what an old record lacks keeps its default.
  Camera record;
  record.ReadRecord(stream);
  CopyFrom(record);
  SetRotation(angles_);
}

void Camera::ReadRecord(SaveStream& s) {
  const int32_t format = CurrentRestoreVersions().format;
  RealReader in{s, format < 133};
  if (format < 7) {
    eye_ = in.Vector();
    direction_ = in.Vector();
    vertical_ = in.Vector();
    centre_ = in.Vector();
    distance_ = in.Real();
    angle_ = in.Real();
    size_ = in.Real();
    mode_ = s.ReadU8() ? kFirstPerson : kModel;
    autoCentre_ = s.ReadFlag();
    autoPosition_ = s.ReadFlag();
  } else {
    const int32_t mode = s.ReadI32();
    if (mode < kFirstPerson || mode > kPlane) s.ReadFailure();
    mode_ = mode;
    eye_ = in.Vector();
    direction_ = in.Vector();
    vertical_ = in.Vector();
    autoPosition_ = s.ReadFlag();
    centre_ = in.Vector();
    angles_ = in.Vector();
    distance_ = in.Real();
    autoCentre_ = s.ReadFlag();
    autoDistance_ = s.ReadFlag();
    normal_ = in.Vector();
    dip_ = in.Real();
    dipDirection_ = in.Real();
    zAngle_ = in.Real();
    rotationIncrement_ = in.Real();
    magnification_ = in.Real();
    angle_ = in.Real();
    size_ = in.Real();
  }
  perspective_ = s.ReadFlag();
  autoSize_ = s.ReadFlag();
  RestoreExtent(s);
}
