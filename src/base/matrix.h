// Small dense matrices of doubles with 1-based indices (general, symmetric,
// column vector) and the three-component vector used by geometry everywhere.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <utility>

#include "base/except.h"
#include "base/string.h"

class SaveStream;

// Errors of the matrix classes.
TERRAX_DERIVED_EXCEPT(MatExcept, KWRExcept);

// A dimension below 1.
class NegMatExcept : public MatExcept {
 public:
  NegMatExcept() : MatExcept("Matrix dimension specified as negative") {}
};

// A general matrix, stored row by row. Block sizes (1 x 1 unless a caller
// sets them) drive the block-wise assembly of element matrices.
class Mat {
 public:
  Mat(int rows, int cols);
  // A general matrix with the entries of any matrix; the block sizes are 1 x 1.
  Mat(const Mat& other);
  Mat(Mat&& other);
  Mat& operator=(const Mat&) = delete;
  Mat& operator=(Mat&&) = delete;
  virtual ~Mat();

  int Rows() const { return rows_; }
  int Cols() const { return cols_; }
  int Count() const { return count_; }
  int BlockRows() const { return blockRows_; }
  int BlockCols() const { return blockCols_; }
  virtual void SetBlockSize(int rows, int cols) {
    blockRows_ = rows;
    blockCols_ = cols;
  }
  const double* Values() const { return values_.get(); }
  double* Values() { return values_.get(); }

  // Entry (i, j), both counted from 1; not range-checked.
  double& operator()(int i, int j) { return values_[static_cast<size_t>(Index(i, j))]; }
  double operator()(int i, int j) const { return values_[static_cast<size_t>(Index(i, j))]; }

  // The class's one-line description followed, for a general matrix, by its entries.
  virtual void Describe(std::ostream& os) const;
  // Whether the entries mirror across the diagonal within 1e-14 of the largest entry.
  virtual bool Symmetric() const;
  // Adds the block of the size of this matrix's blocks, taken from the source
  // at (r, c), onto this matrix at (p, q).
  virtual void AddTo(const Mat& source, int r, int c, int p, int q);
  // Position of entry (i, j) in the stored values.
  virtual int Index(int i, int j) const { return (i - 1) * cols_ + (j - 1); }

  // Adds block (i, j) of the source onto block (k, l) of this matrix.
  void AddBlockTo(const Mat& source, int i, int j, int k, int l);

  // Clears this matrix, then copies the entries both matrices have; the shape stays.
  void Assign(const Mat& other);
  static Mat Add(const Mat& a, const Mat& b);
  static Mat Subtract(const Mat& a, const Mat& b);
  static Mat Multiply(const Mat& a, const Mat& b);
  Mat Scale(double factor) const;
  Mat Transpose() const;
  void Identity();
  double MaxAbs() const;

  // Rows, columns and count (4 bytes each), then the values in storage order.
  void Save(SaveStream& stream) const;
  // Reads what Save wrote; the block sizes become 1 x 1. A record whose sizes
  // do not fit this class is a read error and leaves the matrix as it was.
  void Restore(SaveStream& stream);

  // Size as the messages write it: "(r x c)".
  String SizeText() const;

 protected:
  // Builds the shape; `count` values, all 0.
  Mat(int rows, int cols, int count);
  // Copies or takes over the stored values as they are (same class on both sides).
  enum StorageTag { kStorage };
  Mat(const Mat& other, StorageTag);
  Mat(Mat&& other, StorageTag) noexcept;
  // Whether a restored shape suits this class.
  virtual bool AcceptsShape(int rows, int cols, int count) const;

 private:
  void TakeStorage(Mat& other) noexcept;

  std::unique_ptr<double[]> values_;
  int rows_;
  int cols_;
  int count_;
  int blockRows_ = 1;
  int blockCols_ = 1;
};

// A symmetric square matrix; only the upper triangle is stored, row by row.
class SymMat : public Mat {
 public:
  explicit SymMat(int n);
  // The source must be square and symmetric.
  explicit SymMat(const Mat& source);
  SymMat(const SymMat& other) : Mat(other, kStorage) {}
  SymMat(SymMat&& other) noexcept : Mat(std::move(other), kStorage) {}

  void Describe(std::ostream& os) const override;
  bool Symmetric() const override { return true; }
  void AddTo(const Mat& source, int r, int c, int p, int q) override;
  int Index(int i, int j) const override {
    int a = i < j ? i : j;
    int b = i < j ? j : i;
    return Rows() * (a - 1) - (a - 1) * a / 2 + b - 1;
  }
  // One block size serves both directions.
  void SetBlockSize(int rows, int) override { Mat::SetBlockSize(rows, rows); }

  // Adds block-rows stored values of the source, from stored position
  // (i - 1) x block rows, onto this matrix's values from (j - 1) x block rows.
  void AddBlockTo(const SymMat& source, int i, int j);
  using Mat::AddBlockTo;

 protected:
  bool AcceptsShape(int rows, int cols, int count) const override;
};

// A column vector.
class Vec : public Mat {
 public:
  explicit Vec(int n) : Mat(n, 1) {}
  // The source must have one column.
  explicit Vec(const Mat& source);
  Vec(const Vec& other) : Mat(other, kStorage) {}
  Vec(Vec&& other) noexcept : Mat(std::move(other), kStorage) {}

  double& operator()(int i) { return Values()[i - 1]; }
  double operator()(int i) const { return Values()[i - 1]; }
  using Mat::operator();

  void Describe(std::ostream& os) const override;
  bool Symmetric() const override;

 protected:
  bool AcceptsShape(int rows, int cols, int count) const override;
};

// Work space of the structural-element code: 12 x 12 and 6 x 12, reused by every caller.
Mat& ScratchMat12x12();
Mat& ScratchMat6x12();

// A vector of three doubles.
struct Vec3 {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;

  static Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
  }
  static double Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
  static Vec3 Add(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
  static Vec3 Sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
  // Exact comparison of all three components.
  static bool IsEqual(const Vec3& a, const Vec3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
  double Length() const;
  // 1 is y, 2 is z, any other index x.
  double& Component(int i) { return i == 1 ? y : i == 2 ? z : x; }
  double Component(int i) const { return i == 1 ? y : i == 2 ? z : x; }

  Vec3 operator+(const Vec3& b) const { return Add(*this, b); }
  Vec3 operator-(const Vec3& b) const { return Sub(*this, b); }
  Vec3 operator*(double s) const { return {x * s, y * s, z * s}; }
  Vec3& operator+=(const Vec3& b) {
    x += b.x;
    y += b.y;
    z += b.z;
    return *this;
  }
};
using DVect3 = Vec3;

// Each component multiplied by 1/s.
inline Vec3 DVect3Divide(const Vec3& v, double s) {
  double f = 1.0 / s;
  return {v.x * f, v.y * f, v.z * f};
}
// Componentwise minimum and maximum (bounding boxes).
Vec3 MinVect3(const Vec3& a, const Vec3& b);
Vec3 MaxVect3(const Vec3& a, const Vec3& b);
// w0 p0 + w1 p1 + w2 p2 + w3 p3: a point of a four-cornered face from its corner weights.
Vec3 WeightedSum4(const double w[4], const Vec3 p[4]);
// "(x,y,z)", each component in scientific notation.
String FormatVector3(const Vec3& v);

// A vector of two doubles.
struct DVect2 {
  double x = 0.0;
  double y = 0.0;
};
// The unit vector; a vector of length 0 comes back unchanged.
DVect2 DVect2Unit(const DVect2& v);
