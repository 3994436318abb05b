// The rotation arithmetic of cameras: the view matrix from three angles and
// back, and the frame of a view that looks at a plane.
#pragma once

#include "base/matrix.h"

// A camera's frame: its rows are the right-hand axis, the viewing direction
// and the vertical, all in model coordinates.
struct ViewMatrix {
  Vec3 row[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};

  // Model vector to view frame (right, depth, up).
  Vec3 Apply(const Vec3& v) const { return {Vec3::Dot(row[0], v), Vec3::Dot(row[1], v), Vec3::Dot(row[2], v)}; }
  // View frame back to a model vector (the transpose, the inverse of an orthonormal frame).
  Vec3 ApplyTransposed(const Vec3& v) const { return row[0] * v.x + row[1] * v.y + row[2] * v.z; }
};

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2 * kPi;
constexpr double kDegree = kPi / 180;

// The unit vector of v; a zero vector comes back unchanged.
Vec3 UnitVector(const Vec3& v);

// An angle brought into [0, 2 pi).
double NormalizeAngle(double a);

// The view matrix of the angles (a, b, c), each normalised first: the
// transpose of Cz(c) By(b) Ax(a). With all angles 0 the camera looks along +y
// with +z up.
ViewMatrix RotationMatrix(const Vec3& angles);

// The angles (a, b, c) of a view matrix, each in [0, 2 pi); the inverse of
// RotationMatrix away from b = +-90 degrees.
Vec3 MatrixToAngles(const ViewMatrix& m);

// The vertical of a view looking against the normal n, turned by zAngle
// about it from the projection of global z (global y when n is nearly vertical).
Vec3 PlaneVertical(const Vec3& normal, double zAngle);

// The plane normal (minus the viewing direction) and z-angle of a view matrix.
void MatrixToPlane(const ViewMatrix& m, Vec3* normal, double* zAngle);
