// Numerical routines shared by the mechanical, structural-element and plot
// code, and the check that turns floating-point errors into model errors.
#pragma once

#include "base/matrix.h"

// Symmetric-tensor components are six doubles in the order xx, yy, zz, xy, xz, yz.

// Principal values and directions of a symmetric 3 x 3 tensor by cyclic Jacobi
// rotations: the values in ascending order, the directions as three triples
// (x, y, z), the k-th belonging to the k-th value. Raises QJExcept "Too many
// iterations in routine jacobs" (outputs untouched) when 50 sweeps do not converge.
void jacobs(const double tensor[6], double values[3], double vectors[9]);

// The stress in the frame whose axes are the rows of the 3 x 3 matrix R:
// R s R^T, in the component order above.
void TransformStress(double out[6], const double stress[6], const Mat& axes);

// The 6 x 6 matrix that takes strain components with engineering shear, in the
// order xx, yy, zz, xy, yz, zx, to the frame of the rows of the 3 x 3 matrix R.
void StressTransformMatrix(const Mat& R, Mat& T);

// The 3 x 3 transformation of in-plane (xx, yy, xy) components for the 2 x 2 rotation R.
void PlaneStressTransform(const Mat& R, Mat& T);

// Three axes whose third is the normal: the second is horizontal and
// perpendicular to it, the first completes the set and never points downward.
// Unit length unless the normal already has length 1 within 1e-6.
void AxesFromNormal(const Vec3& normal, Vec3 axes[3]);

// Six times the signed volume of the tetrahedron p0..p3 (12 doubles).
double TetVolume6(const double p[12]);

// |p - q| <= 1e-14 x length.
bool PointsCoincide(const Vec3& p, const Vec3& q, double length);

// |a| when b >= 0 or b is not a number, -|a| when b < 0.
double CopySign(double a, double b);

// With a message: raises it as QJExcept. Otherwise reads and clears the
// floating-point status flags and raises "Math error:" naming overflow, zero
// divide and invalid operation, with the source file and line, when any is set.
void CheckMathError(const char* message, const char* file, int line);
#define TERRAX_CHECK_MATH() CheckMathError(nullptr, __FILE__, __LINE__)

// Clears the floating-point status flags (after every command).
void ClearMathErrors();

// A failure reported by the math library: kind 1 "Domain", 2 "Singularity",
// 3 "Overflow", 4 "Underflow", 5 "Total Sig. Loss", 6 "Partial Sig. Loss",
// raised as QJExcept "Math error: <kind> in <function>(<a1>,<a2>)".
[[noreturn]] void MathLibraryError(int kind, const char* function, double a1, double a2);
