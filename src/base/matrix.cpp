#include "base/matrix.h"

#include <cassert>
#include <cmath>
#include <cstring>
#include <new>
#include <typeinfo>

#include "base/message.h"
#include "base/savestream.h"
#include "base/stream.h"

namespace {
// Values for a shape; a count past what 32 bits address is an allocation failure.
std::unique_ptr<double[]> NewValues(int64_t count) {
  if (count > INT32_MAX) throw MemExcept();
  std::unique_ptr<double[]> v(new (std::nothrow) double[static_cast<size_t>(count)]());
  if (!v) throw MemExcept();
  return v;
}

int64_t GeneralCount(int rows, int cols) { return static_cast<int64_t>(rows) * cols; }
int64_t TriangleCount(int n) { return static_cast<int64_t>(n) * (n + 1) / 2; }
}  // namespace

// ---------------------------------------------------------------------------
// Mat

Mat::Mat(int rows, int cols) : rows_(rows), cols_(cols), count_(0) {
  if (rows < 1 || cols < 1) throw NegMatExcept();
  values_ = NewValues(GeneralCount(rows, cols));
  count_ = rows * cols;
}

Mat::Mat(int rows, int cols, int count) : rows_(rows), cols_(cols), count_(count) { values_ = NewValues(count); }

Mat::Mat(const Mat& other) : Mat(other.rows_, other.cols_) {
  for (int i = 1; i <= rows_; ++i)
    for (int j = 1; j <= cols_; ++j) (*this)(i, j) = other(i, j);
}

Mat::Mat(Mat&& other) : rows_(other.rows_), cols_(other.cols_), count_(0) {
  if (typeid(other) == typeid(Mat)) {
    TakeStorage(other);
  } else {
    values_ = NewValues(GeneralCount(rows_, cols_));
    count_ = rows_ * cols_;
    for (int i = 1; i <= rows_; ++i)
      for (int j = 1; j <= cols_; ++j) (*this)(i, j) = other(i, j);
  }
}

Mat::Mat(const Mat& other, StorageTag)
    : values_(NewValues(other.count_)), rows_(other.rows_), cols_(other.cols_), count_(other.count_) {
  std::memcpy(values_.get(), other.values_.get(), sizeof(double) * static_cast<size_t>(count_));
}

Mat::Mat(Mat&& other, StorageTag) noexcept : rows_(other.rows_), cols_(other.cols_), count_(other.count_) {
  TakeStorage(other);
}

void Mat::TakeStorage(Mat& other) noexcept {
  values_ = std::move(other.values_);
  count_ = other.count_;
  // The matrix left behind keeps a 1 x 1 shape without values; it may only be destroyed.
  other.rows_ = other.cols_ = 1;
  other.count_ = 0;
}

Mat::~Mat() = default;

void Mat::Describe(std::ostream& os) const {
  os << MessageText("General Matrix of size %s by %s", IntToString(rows_), IntToString(cols_)) << "\n";
  for (int i = 1; i <= rows_; ++i)
    for (int j = 1; j <= cols_; ++j) os << " (" << i << "," << j << "): " << (*this)(i, j) << "\n";
}

bool Mat::Symmetric() const {
  int n = rows_ < cols_ ? rows_ : cols_;
  double tol = 1e-14 * MaxAbs();
  for (int i = 1; i <= n; ++i) {
    for (int j = i + 1; j <= n; ++j) {
      double a = (*this)(i, j), b = (*this)(j, i);
      if (a == 0.0 && b == 0.0) continue;
      if (std::fabs(a - b) > tol) return false;
    }
  }
  return true;
}

void Mat::AddTo(const Mat& source, int r, int c, int p, int q) {
  assert(p >= 1 && q >= 1 && p + blockRows_ - 1 <= rows_ && q + blockCols_ - 1 <= cols_);
  assert(r >= 1 && c >= 1 && r + blockRows_ - 1 <= source.rows_ && c + blockCols_ - 1 <= source.cols_);
  for (int di = 0; di < blockRows_; ++di)
    for (int dj = 0; dj < blockCols_; ++dj) (*this)(p + di, q + dj) += source(r + di, c + dj);
}

void Mat::AddBlockTo(const Mat& source, int i, int j, int k, int l) {
  AddTo(source, (i - 1) * blockRows_ + 1, (j - 1) * blockCols_ + 1, (k - 1) * blockRows_ + 1, (l - 1) * blockCols_ + 1);
}

void Mat::Assign(const Mat& other) {
  for (int k = 0; k < count_; ++k) values_[static_cast<size_t>(k)] = 0.0;
  int n = rows_ < other.rows_ ? rows_ : other.rows_;
  int m = cols_ < other.cols_ ? cols_ : other.cols_;
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= m; ++j) (*this)(i, j) = other(i, j);
}

Mat Mat::Add(const Mat& a, const Mat& b) {
  if (a.rows_ != b.rows_ || a.cols_ != b.cols_) throw MatExcept("Matrix addition requires same size matrices");
  Mat r(a.rows_, a.cols_);
  for (int i = 1; i <= a.rows_; ++i)
    for (int j = 1; j <= a.cols_; ++j) r(i, j) = a(i, j) + b(i, j);
  return r;
}

Mat Mat::Subtract(const Mat& a, const Mat& b) {
  if (a.rows_ != b.rows_ || a.cols_ != b.cols_) throw MatExcept("Matrix subtraction requires same size matrices");
  Mat r(a.rows_, a.cols_);
  for (int i = 1; i <= a.rows_; ++i)
    for (int j = 1; j <= a.cols_; ++j) r(i, j) = a(i, j) - b(i, j);
  return r;
}

Mat Mat::Multiply(const Mat& a, const Mat& b) {
  if (a.cols_ != b.rows_)
    throw MatExcept(MessageText("Cannot multiply a %s matrix with a %s matrix", a.SizeText(), b.SizeText()));
  Mat r(a.rows_, b.cols_);
  for (int i = 1; i <= a.rows_; ++i) {
    for (int j = 1; j <= b.cols_; ++j) {
      double s = 0.0;
      for (int k = 1; k <= a.cols_; ++k) s += a(i, k) * b(k, j);
      r(i, j) = s;
    }
  }
  return r;
}

Mat Mat::Scale(double factor) const {
  Mat r(rows_, cols_);
  for (int i = 1; i <= rows_; ++i)
    for (int j = 1; j <= cols_; ++j) r(i, j) = (*this)(i, j) * factor;
  return r;
}

Mat Mat::Transpose() const {
  Mat r(cols_, rows_);
  for (int i = 1; i <= rows_; ++i)
    for (int j = 1; j <= cols_; ++j) r(j, i) = (*this)(i, j);
  return r;
}

void Mat::Identity() {
  for (int i = 1; i <= rows_; ++i)
    for (int j = 1; j <= cols_; ++j) (*this)(i, j) = i == j ? 1.0 : 0.0;
}

double Mat::MaxAbs() const {
  double m = 0.0;
  for (int k = 0; k < count_; ++k) {
    double a = std::fabs(values_[static_cast<size_t>(k)]);
    if (a > m) m = a;
  }
  return m;
}

void Mat::Save(SaveStream& stream) const {
  stream.WriteI32(rows_);
  stream.WriteI32(cols_);
  stream.WriteI32(count_);
  for (int k = 0; k < count_; ++k) stream.WriteF64(values_[static_cast<size_t>(k)]);
}

void Mat::Restore(SaveStream& stream) {
  int32_t rows = stream.ReadI32();
  int32_t cols = stream.ReadI32();
  int32_t count = stream.ReadI32();
  if (!AcceptsShape(rows, cols, count)) stream.ReadFailure();
  stream.CheckAvailable(static_cast<uint64_t>(count) * 8);
  std::unique_ptr<double[]> values = NewValues(count);
  for (int k = 0; k < count; ++k) values[static_cast<size_t>(k)] = stream.ReadF64();
  values_ = std::move(values);
  rows_ = rows;
  cols_ = cols;
  count_ = count;
  blockRows_ = blockCols_ = 1;
}

bool Mat::AcceptsShape(int rows, int cols, int count) const {
  return rows >= 1 && cols >= 1 && GeneralCount(rows, cols) == count;
}

String Mat::SizeText() const { return "(" + IntToString(rows_) + " x " + IntToString(cols_) + ")"; }

// ---------------------------------------------------------------------------
// SymMat

namespace {
int CheckedTriangle(int n) {
  if (n < 1) throw NegMatExcept();
  int64_t count = TriangleCount(n);
  if (count > INT32_MAX) throw MemExcept();
  return static_cast<int>(count);
}

int SquareSide(const Mat& source) {
  if (source.Rows() != source.Cols() || !source.Symmetric())
    throw MatExcept("Cannot convert general matrix (Mat) to (SymMat)");
  return source.Rows();
}
}  // namespace

SymMat::SymMat(int n) : Mat(n, n, CheckedTriangle(n)) {}

SymMat::SymMat(const Mat& source) : SymMat(SquareSide(source)) {
  int n = Rows();
  for (int i = 1; i <= n; ++i)
    for (int j = i; j <= n; ++j) (*this)(i, j) = source(i, j);
}

void SymMat::Describe(std::ostream& os) const {
  os << MessageText("This is a symmetric, square matrix of size %s", IntToString(Rows())) << "\n";
}

void SymMat::AddTo(const Mat& source, int r, int c, int p, int q) {
  int b = BlockRows();
  assert(p >= 1 && q >= 1 && p + b - 1 <= Rows() && q + b - 1 <= Cols());
  assert(r >= 1 && c >= 1 && r + b - 1 <= source.Rows() && c + b - 1 <= source.Cols());
  for (int di = 0; di < b; ++di)
    for (int dj = 0; dj < b; ++dj)
      if (p + di <= q + dj) (*this)(p + di, q + dj) += source(r + di, c + dj);
}

void SymMat::AddBlockTo(const SymMat& source, int i, int j) {
  int b = BlockRows();
  int from = (i - 1) * b;
  int to = (j - 1) * b;
  assert(from >= 0 && to >= 0 && from + b <= source.Count() && to + b <= Count());
  for (int k = 0; k < b; ++k) Values()[to + k] += source.Values()[from + k];
}

bool SymMat::AcceptsShape(int rows, int cols, int count) const {
  return rows >= 1 && rows == cols && TriangleCount(rows) == count;
}

// ---------------------------------------------------------------------------
// Vec

namespace {
int ColumnRows(const Mat& source) {
  if (source.Cols() != 1) throw MatExcept("Cannot convert general matrix (Mat) to (Vec)");
  return source.Rows();
}
}  // namespace

Vec::Vec(const Mat& source) : Mat(ColumnRows(source), 1) {
  for (int i = 1; i <= Rows(); ++i) (*this)(i) = source(i, 1);
}

void Vec::Describe(std::ostream& os) const {
  os << MessageText("General Vector of size %s", IntToString(Rows())) << "\n";
}

bool Vec::Symmetric() const { throw MatExcept("Vector object cannot perform Symmetric(...)"); }

bool Vec::AcceptsShape(int rows, int cols, int count) const { return rows >= 1 && cols == 1 && count == rows; }

Mat& ScratchMat12x12() {
  static Mat m(12, 12);
  return m;
}

Mat& ScratchMat6x12() {
  static Mat m(6, 12);
  return m;
}

// ---------------------------------------------------------------------------
// Vec3 and DVect2

double Vec3::Length() const { return std::sqrt(x * x + y * y + z * z); }

Vec3 MinVect3(const Vec3& a, const Vec3& b) {
  return {a.x < b.x ? a.x : b.x, a.y < b.y ? a.y : b.y, a.z < b.z ? a.z : b.z};
}

Vec3 MaxVect3(const Vec3& a, const Vec3& b) {
  return {a.x > b.x ? a.x : b.x, a.y > b.y ? a.y : b.y, a.z > b.z ? a.z : b.z};
}

Vec3 WeightedSum4(const double w[4], const Vec3 p[4]) {
  Vec3 r;
  for (int k = 0; k < 4; ++k) r += p[k] * w[k];
  return r;
}

String FormatVector3(const Vec3& v) {
  return "(" + DoubleToString(v.x, 0, 0, 1) + "," + DoubleToString(v.y, 0, 0, 1) + "," + DoubleToString(v.z, 0, 0, 1) +
         ")";
}

DVect2 DVect2Unit(const DVect2& v) {
  double len = std::sqrt(v.x * v.x + v.y * v.y);
  if (len == 0.0) return v;
  return {v.x / len, v.y / len};
}
