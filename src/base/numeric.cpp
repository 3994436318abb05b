#include "base/numeric.h"

#include <cassert>
#include <cfenv>
#include <cmath>

#include "base/except.h"

// ---------------------------------------------------------------------------
// Jacobi eigen-solution

namespace {
inline void Rotate(double a[3][3], int i, int j, int k, int l, double s, double tau) {
  double g = a[i][j];
  double h = a[k][l];
  a[i][j] = g - s * (h + g * tau);
  a[k][l] = h + s * (g - h * tau);
}
}  // namespace

void jacobs(const double tensor[6], double values[3], double vectors[9]) {
  double a[3][3] = {
      {tensor[0], tensor[3], tensor[4]}, {tensor[3], tensor[1], tensor[5]}, {tensor[4], tensor[5], tensor[2]}};
  double v[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  double d[3] = {a[0][0], a[1][1], a[2][2]};
  double b[3] = {d[0], d[1], d[2]};
  double z[3] = {0, 0, 0};
  bool converged = false;
  for (int sweep = 1; sweep <= 50; ++sweep) {
    double sm = std::fabs(a[0][1]) + std::fabs(a[0][2]) + std::fabs(a[1][2]);
    double scale = std::fabs(a[0][0]) + std::fabs(a[1][1]) + std::fabs(a[2][2]);
    if (scale < 1e-14) scale = 1.0;
    if (sm < 1e-14 * scale) {
      converged = true;
      break;
    }
    double threshold = sweep < 4 ? 0.2 * sm / 9.0 : 0.0;
    for (int p = 0; p < 2; ++p) {
      for (int q = p + 1; q < 3; ++q) {
        double g = 100.0 * std::fabs(a[p][q]);
        if (sweep > 4 && std::fabs(d[p]) + g == std::fabs(d[p]) && std::fabs(d[q]) + g == std::fabs(d[q])) {
          a[p][q] = 0.0;
          continue;
        }
        if (std::fabs(a[p][q]) <= threshold) continue;
        double h = d[q] - d[p];
        double t;
        if (std::fabs(h) + g == std::fabs(h)) {
          t = a[p][q] / h;
        } else {
          double theta = 0.5 * h / a[p][q];
          t = 1.0 / (std::fabs(theta) + std::sqrt(1.0 + theta * theta));
          if (theta < 0.0) t = -t;
        }
        double c = 1.0 / std::sqrt(1.0 + t * t);
        double s = t * c;
        double tau = s / (1.0 + c);
        h = t * a[p][q];
        z[p] -= h;
        z[q] += h;
        d[p] -= h;
        d[q] += h;
        a[p][q] = 0.0;
        for (int j = 0; j < p; ++j) Rotate(a, j, p, j, q, s, tau);
        for (int j = p + 1; j < q; ++j) Rotate(a, p, j, j, q, s, tau);
        for (int j = q + 1; j < 3; ++j) Rotate(a, p, j, q, j, s, tau);
        for (int j = 0; j < 3; ++j) Rotate(v, j, p, j, q, s, tau);
      }
    }
    for (int k = 0; k < 3; ++k) {
      b[k] += z[k];
      d[k] = b[k];
      z[k] = 0.0;
    }
  }
  if (!converged) throw QJExcept("Too many iterations in routine jacobs");
  // Ascending order, the directions swapped along with the values.
  for (int i = 0; i < 2; ++i) {
    int m = i;
    for (int j = i + 1; j < 3; ++j)
      if (d[j] < d[m]) m = j;
    if (m != i) {
      double t = d[i];
      d[i] = d[m];
      d[m] = t;
      for (int r = 0; r < 3; ++r) {
        t = v[r][i];
        v[r][i] = v[r][m];
        v[r][m] = t;
      }
    }
  }
  for (int k = 0; k < 3; ++k) {
    values[k] = d[k];
    for (int r = 0; r < 3; ++r) vectors[3 * k + r] = v[r][k];
  }
}

// ---------------------------------------------------------------------------
// Stress transformations

namespace {
// The 6 x 6 strain transformation for the rows of R, order xx, yy, zz, xy, yz, zx.
void StrainTransform(const double R[3][3], double T[6][6]) {
  static const int kPair[3][2] = {{0, 1}, {1, 2}, {2, 0}};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) T[i][j] = R[i][j] * R[i][j];
    for (int k = 0; k < 3; ++k) T[i][3 + k] = R[i][kPair[k][0]] * R[i][kPair[k][1]];
  }
  for (int k = 0; k < 3; ++k) {
    int a = kPair[k][0], b = kPair[k][1];
    for (int j = 0; j < 3; ++j) T[3 + k][j] = 2.0 * R[a][j] * R[b][j];
    for (int l = 0; l < 3; ++l) {
      int c = kPair[l][0], d = kPair[l][1];
      T[3 + k][3 + l] = R[a][c] * R[b][d] + R[a][d] * R[b][c];
    }
  }
}

void ReadRotation(const Mat& m, double R[3][3]) {
  assert(m.Rows() == 3 && m.Cols() == 3);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) R[i][j] = m(i + 1, j + 1);
}
}  // namespace

void StressTransformMatrix(const Mat& R, Mat& T) {
  assert(T.Rows() == 6 && T.Cols() == 6);
  double r[3][3], t[6][6];
  ReadRotation(R, r);
  StrainTransform(r, t);
  for (int i = 0; i < 6; ++i)
    for (int j = 0; j < 6; ++j) T(i + 1, j + 1) = t[i][j];
}

void TransformStress(double out[6], const double stress[6], const Mat& axes) {
  double r[3][3], m[6][6];
  ReadRotation(axes, r);
  StrainTransform(r, m);
  // Strain form to stress form: halve the shear rows under the normal columns,
  // double the normal rows under the shear columns.
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      m[3 + i][j] *= 0.5;
      m[i][3 + j] *= 2.0;
    }
  }
  // Internal order swaps xz and yz.
  const double s[6] = {stress[0], stress[1], stress[2], stress[3], stress[5], stress[4]};
  double res[6];
  for (int i = 0; i < 6; ++i) {
    double sum = 0.0;
    for (int j = 0; j < 6; ++j) sum += m[i][j] * s[j];
    res[i] = sum;
  }
  out[0] = res[0];
  out[1] = res[1];
  out[2] = res[2];
  out[3] = res[3];
  out[4] = res[5];
  out[5] = res[4];
}

void PlaneStressTransform(const Mat& R, Mat& T) {
  assert(R.Rows() == 2 && R.Cols() == 2 && T.Rows() == 3 && T.Cols() == 3);
  double r11 = R(1, 1), r12 = R(1, 2), r21 = R(2, 1), r22 = R(2, 2);
  T(1, 1) = r11 * r11;
  T(1, 2) = r12 * r12;
  T(1, 3) = 2.0 * r11 * r12;
  T(2, 1) = r21 * r21;
  T(2, 2) = r22 * r22;
  T(2, 3) = 2.0 * r21 * r22;
  T(3, 1) = r11 * r21;
  T(3, 2) = r12 * r22;
  T(3, 3) = r11 * r22 + r12 * r21;
}

// ---------------------------------------------------------------------------
// Geometry

namespace {
Vec3 Unit(const Vec3& v) {
  double len = v.Length();
  return len == 0.0 ? v : v * (1.0 / len);
}
}  // namespace

void AxesFromNormal(const Vec3& n, Vec3 axes[3]) {
  const double tol = 1e-6;
  Vec3 a, b;
  bool bigX = std::fabs(n.x) >= tol, bigY = std::fabs(n.y) >= tol;
  if (!bigX && !bigY) {
    a = n.z <= 0.0 ? Vec3{0, -1, 0} : Vec3{0, 1, 0};
    b = {1, 0, 0};
  } else {
    if (bigX && bigY) {
      double t = n.y / n.x;
      a.x = std::sqrt(1.0 / (1.0 / (t * t) + 1.0));
      a.y = -a.x / t;
    } else if (bigX) {
      a = {0, 1, 0};
    } else {
      a = {1, 0, 0};
    }
    b = {a.y * n.z, -a.x * n.z, a.x * n.y - a.y * n.x};
    if (b.z < 0.0) {
      a = a * -1.0;
      b = b * -1.0;
    }
  }
  double n2 = Vec3::Dot(n, n);
  if (std::fabs(n2 - 1.0) <= tol) {
    axes[0] = b;
    axes[1] = a;
    axes[2] = n;
  } else {
    axes[0] = Unit(b);
    axes[1] = Unit(a);
    axes[2] = Unit(n);
  }
}

double TetVolume6(const double p[12]) {
  Vec3 p0{p[0], p[1], p[2]};
  Vec3 a = Vec3{p[3], p[4], p[5]} - p0;
  Vec3 b = Vec3{p[6], p[7], p[8]} - p0;
  Vec3 c = Vec3{p[9], p[10], p[11]} - p0;
  return Vec3::Dot(a, Vec3::Cross(b, c));
}

bool PointsCoincide(const Vec3& p, const Vec3& q, double length) { return (p - q).Length() <= 1e-14 * length; }

double CopySign(double a, double b) { return b < 0.0 ? -std::fabs(a) : std::fabs(a); }

// ---------------------------------------------------------------------------
// Math errors

void CheckMathError(const char* message, const char* file, int line) {
  if (message) throw QJExcept(message);
  int flags = std::fetestexcept(FE_OVERFLOW | FE_DIVBYZERO | FE_INVALID);
  std::feclearexcept(FE_ALL_EXCEPT);
  if (!flags) return;
  String text("Math error:");
  if (flags & FE_OVERFLOW) text += "\noverflow";
  if (flags & FE_DIVBYZERO) text += "\nzero divide";
  if (flags & FE_INVALID) text += "\ninvalid";
  text += FormatText("\nFile:  %1\nLine:  %2", file ? file : "", IntToString(line).c_str());
  throw QJExcept(text);
}

void ClearMathErrors() { std::feclearexcept(FE_ALL_EXCEPT); }

void MathLibraryError(int kind, const char* function, double a1, double a2) {
  static const char* const kKinds[] = {"Domain",    "Singularity",     "Overflow",
                                       "Underflow", "Total Sig. Loss", "Partial Sig. Loss"};
  String text("Math error: ");
  text += kind >= 1 && kind <= 6 ? kKinds[kind - 1] : "Unknown";
  text += " in ";
  text += function ? function : "";
  text += "(" + DoubleToString(a1, 0, 0, 1) + "," + DoubleToString(a2, 0, 0, 1) + ")";
  CheckMathError(text.c_str(), nullptr, 0);
  throw QJExcept(text);  // not reached: a message is always raised
}
