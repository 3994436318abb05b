#include "view/camera_math.h"

#include <algorithm>
#include <cmath>

namespace {

using Mat3 = double[3][3];

void Multiply(const Mat3 a, const Mat3 b, Mat3 out) {
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) out[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
}

double Clamp1(double v) { return std::clamp(v, -1.0, 1.0); }

// The angle of MatrixToAngles as the rest of the program expects it: a
// negative angle raised by whole turns, then its magnitude.
double PositiveAngle(double a) {
  while (a < -1e-6) a += kTwoPi;
  return std::fabs(a);
}

// The component of the reference axis at right angles to n, as a unit vector.
Vec3 PlaneReference(const Vec3& n) {
  const Vec3 axis = std::fabs(n.z) > 0.999999 ? Vec3{0, 1, 0} : Vec3{0, 0, 1};
  return UnitVector(axis - n * Vec3::Dot(axis, n));
}

}  // namespace

Vec3 UnitVector(const Vec3& v) {
  const double length = v.Length();
  return length != 0 ? v * (1.0 / length) : v;
}

double NormalizeAngle(double a) {
  if (a < 0) return std::fmod(a, kTwoPi) + kTwoPi;
  if (a >= kTwoPi) return std::fmod(a, kTwoPi);
  return a;
}

ViewMatrix RotationMatrix(const Vec3& angles) {
  const double a = NormalizeAngle(angles.x), b = NormalizeAngle(angles.y), c = NormalizeAngle(angles.z);
  const double ca = std::cos(a), sa = std::sin(a), cb = std::cos(b), sb = std::sin(b);
  const double cc = std::cos(c), sc = std::sin(c);
  const Mat3 ax = {{1, 0, 0}, {0, ca, sa}, {0, -sa, ca}};
  const Mat3 by = {{cb, 0, -sb}, {0, 1, 0}, {sb, 0, cb}};
  const Mat3 cz = {{cc, sc, 0}, {-sc, cc, 0}, {0, 0, 1}};
  Mat3 byAx, t;
  Multiply(by, ax, byAx);
  Multiply(cz, byAx, t);
  ViewMatrix m;
  for (int i = 0; i < 3; ++i) m.row[i] = {t[0][i], t[1][i], t[2][i]};
  return m;
}

Vec3 MatrixToAngles(const ViewMatrix& m) {
  // T = Cz By Ax is the transpose of the view matrix: T[i][j] = row j, component i.
  const double t20 = m.row[0].z, t21 = m.row[1].z, t22 = m.row[2].z, t10 = m.row[0].y, t00 = m.row[0].x;
  double b = std::asin(Clamp1(t20));
  double cb = std::cos(b);
  if (cb == 0) {
    b += b > 0 ? -1e-6 : 1e-6;
    cb = std::cos(b);
  }
  const double a = std::atan2(-t21 / cb, t22 / cb);
  const double c = std::atan2(-t10 / cb, t00 / cb);
  return {PositiveAngle(a), PositiveAngle(b), PositiveAngle(c)};
}

Vec3 PlaneVertical(const Vec3& normal, double zAngle) {
  const Vec3 u = PlaneReference(normal);
  const Vec3 w = Vec3::Cross(normal, u);
  return u * std::cos(zAngle) + w * std::sin(zAngle);
}

void MatrixToPlane(const ViewMatrix& m, Vec3* normal, double* zAngle) {
  const Vec3 n = m.row[1] * -1.0;
  const Vec3 u = PlaneReference(n);
  const Vec3 w = Vec3::Cross(n, u);
  double t = std::acos(Clamp1(Vec3::Dot(u, m.row[2])));
  if (std::asin(Clamp1(Vec3::Dot(w, m.row[2]))) < -1e-6) t = kTwoPi - t;
  *normal = n;
  *zAngle = t;
}
