#include "base/matrix.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "base/except.h"
#include "base/savestream.h"
#include "support/memory_stream.h"

namespace {

template <class F>
std::string ErrorOf(F f) {
  try {
    f();
  } catch (const KWRExcept& e) {
    return e.Text();
  }
  return "";
}

Mat Filled(int rows, int cols) {
  Mat m(rows, cols);
  for (int i = 1; i <= rows; ++i)
    for (int j = 1; j <= cols; ++j) m(i, j) = 10 * i + j;
  return m;
}

TEST(MatrixTest, DimensionsBelowOneAreRefused) {
  const char* text = "Matrix dimension specified as negative";
  EXPECT_EQ(ErrorOf([] { Mat m(0, 3); }), text);
  EXPECT_EQ(ErrorOf([] { Mat m(3, -1); }), text);
  EXPECT_EQ(ErrorOf([] { SymMat m(0); }), text);
  EXPECT_EQ(ErrorOf([] { Vec v(0); }), text);
  EXPECT_THROW(Mat(0, 1), NegMatExcept);
  EXPECT_THROW(Mat(0, 1), MatExcept);
  // A shape that no 32-bit count can hold is an allocation failure, not a crash.
  EXPECT_THROW(Mat(100000, 100000), MemExcept);
}

TEST(MatrixTest, SymmetricIndexUsesTheUpperTriangle) {
  SymMat s(4);
  EXPECT_EQ(s.Count(), 10);
  EXPECT_EQ(s.Index(1, 1), 0);
  EXPECT_EQ(s.Index(1, 4), 3);
  EXPECT_EQ(s.Index(2, 2), 4);
  EXPECT_EQ(s.Index(4, 4), 9);
  std::vector<bool> seen(10, false);
  for (int i = 1; i <= 4; ++i)
    for (int j = 1; j <= 4; ++j) {
      EXPECT_EQ(s.Index(i, j), s.Index(j, i));
      if (i <= j) seen[static_cast<size_t>(s.Index(i, j))] = true;
    }
  for (bool b : seen) EXPECT_TRUE(b);
  s(3, 1) = 7.0;
  EXPECT_EQ(s(1, 3), 7.0);
}

TEST(MatrixTest, SymmetryTestUsesARelativeTolerance) {
  Mat m(3, 3);
  EXPECT_TRUE(m.Symmetric());
  m(1, 2) = 1.0;
  m(2, 1) = 1.0 + 1e-15;
  EXPECT_TRUE(m.Symmetric());
  m(2, 1) = 1.1;
  EXPECT_FALSE(m.Symmetric());
  EXPECT_TRUE(SymMat(3).Symmetric());
  EXPECT_EQ(ErrorOf([] { Vec(3).Symmetric(); }), "Vector object cannot perform Symmetric(...)");
}

TEST(MatrixTest, ProductsOfAnyClasses) {
  EXPECT_EQ(ErrorOf([] { Mat::Multiply(Mat(3, 4), Mat(3, 4)); }),
            "Cannot multiply a (3 x 4) matrix with a (3 x 4) matrix");
  SymMat s(2);
  s(1, 1) = 1;
  s(1, 2) = 2;
  s(2, 2) = 3;
  Vec v(2);
  v(1) = 1;
  v(2) = -1;
  Mat p = Mat::Multiply(s, v);  // [[1 2] [2 3]] (1, -1)
  ASSERT_EQ(p.Rows(), 2);
  ASSERT_EQ(p.Cols(), 1);
  EXPECT_EQ(p(1, 1), -1.0);
  EXPECT_EQ(p(2, 1), -1.0);
  Mat a = Filled(2, 3);
  Mat at = a.Transpose();
  Mat q = Mat::Multiply(a, at);
  EXPECT_EQ(q(1, 2), 11 * 21 + 12 * 22 + 13 * 23);
  EXPECT_TRUE(q.Symmetric());
}

TEST(MatrixTest, SumsNeedEqualShapes) {
  Mat a = Filled(2, 2), b = Filled(2, 2);
  EXPECT_EQ(Mat::Add(a, b)(2, 1), 42.0);
  EXPECT_EQ(Mat::Subtract(a, b).MaxAbs(), 0.0);
  EXPECT_EQ(a.Scale(-2.0)(1, 2), -24.0);
  EXPECT_EQ(a.Scale(-2.0).MaxAbs(), 44.0);
  EXPECT_EQ(ErrorOf([&] { Mat::Add(a, Filled(2, 3)); }), "Matrix addition requires same size matrices");
  EXPECT_EQ(ErrorOf([&] { Mat::Subtract(a, Filled(3, 2)); }), "Matrix subtraction requires same size matrices");
  Mat i(3, 3);
  i.Identity();
  EXPECT_EQ(i(2, 2), 1.0);
  EXPECT_EQ(i(2, 3), 0.0);
}

TEST(MatrixTest, Conversions) {
  EXPECT_EQ(ErrorOf([] { SymMat s{Mat(2, 3)}; }), "Cannot convert general matrix (Mat) to (SymMat)");
  Mat lopsided(2, 2);
  lopsided(1, 2) = 1.0;
  EXPECT_EQ(ErrorOf([&] { SymMat s{lopsided}; }), "Cannot convert general matrix (Mat) to (SymMat)");
  lopsided(2, 1) = 1.0;
  SymMat s{lopsided};
  EXPECT_EQ(s(2, 1), 1.0);
  Vec v{Filled(3, 1)};
  EXPECT_EQ(v(3), 31.0);
  EXPECT_EQ(ErrorOf([] { Vec w{Mat(3, 2)}; }), "Cannot convert general matrix (Mat) to (Vec)");
  // A general copy of a symmetric matrix holds every entry, not the packed triangle.
  SymMat t(3);
  for (int i = 1; i <= 3; ++i)
    for (int j = i; j <= 3; ++j) t(i, j) = 10 * i + j;
  Mat g(t);
  EXPECT_EQ(g.Count(), 9);
  EXPECT_EQ(g(3, 1), 13.0);
  EXPECT_EQ(g(3, 3), 33.0);
  Mat moved(std::move(t));
  EXPECT_EQ(moved.Count(), 9);
  EXPECT_EQ(moved(2, 1), 12.0);
}

TEST(MatrixTest, AssignCopiesTheCommonEntries) {
  Mat big = Filled(3, 3);
  big.Assign(Filled(2, 2));
  EXPECT_EQ(big(2, 2), 22.0);
  EXPECT_EQ(big(3, 1), 0.0);
  EXPECT_EQ(big(1, 3), 0.0);
  EXPECT_EQ(big(3, 3), 0.0);
  Mat small(2, 2);
  small.Assign(Filled(3, 3));
  EXPECT_EQ(small(2, 1), 21.0);
}

TEST(MatrixTest, BlocksAreAddedByBlockNumber) {
  Mat target(6, 6);
  target.SetBlockSize(3, 3);
  Mat source = Filled(6, 6);
  target.AddBlockTo(source, 1, 2, 2, 1);
  for (int i = 1; i <= 6; ++i)
    for (int j = 1; j <= 6; ++j) {
      double expected = (i >= 4 && j <= 3) ? source(i - 3, j + 3) : 0.0;
      EXPECT_EQ(target(i, j), expected) << i << "," << j;
    }
  // The symmetric target only takes entries on or above its diagonal.
  SymMat sym(2);
  sym.SetBlockSize(2, 2);
  Mat ones(2, 2);
  for (int i = 1; i <= 2; ++i)
    for (int j = 1; j <= 2; ++j) ones(i, j) = 1.0;
  sym.AddTo(ones, 1, 1, 1, 1);
  EXPECT_EQ(sym(1, 1), 1.0);
  EXPECT_EQ(sym(1, 2), 1.0);
  EXPECT_EQ(sym(2, 2), 1.0);
  SymMat packed(2);
  packed.SetBlockSize(1, 1);
  packed.AddBlockTo(sym, 2, 3);  // stored value 1 of the source onto stored value 2
  EXPECT_EQ(packed(2, 2), 1.0);
  EXPECT_EQ(packed(1, 1), 0.0);
}

TEST(MatrixTest, SaveAndRestore) {
  Mat m = Filled(2, 2);
  m.SetBlockSize(2, 2);
  MemoryStream stream;
  m.Save(stream);
  ASSERT_EQ(stream.bytes.size(), 12u + 32u);
  EXPECT_EQ(stream.bytes[0], 2);
  EXPECT_EQ(stream.bytes[4], 2);
  EXPECT_EQ(stream.bytes[8], 4);
  Mat r(1, 1);
  r.Restore(stream);
  EXPECT_EQ(r.Rows(), 2);
  EXPECT_EQ(r.Cols(), 2);
  EXPECT_EQ(r(2, 1), 21.0);
  EXPECT_EQ(r.BlockRows(), 1);
  EXPECT_EQ(r.BlockCols(), 1);

  SymMat s(3);
  s(1, 3) = 5.0;
  MemoryStream sstream;
  s.Save(sstream);
  SymMat t(1);
  t.Restore(sstream);
  EXPECT_EQ(t.Rows(), 3);
  EXPECT_EQ(t(3, 1), 5.0);
}

TEST(MatrixTest, CorruptRecordsLeaveTheMatrixAlone) {
  struct Case {
    int32_t rows, cols, count;
  };
  const Case cases[] = {{2, 2, 3}, {0, 2, 0}, {-1, 2, -2}, {40000, 40000, 1600000000}};
  for (const Case& c : cases) {
    MemoryStream stream;
    stream.WriteI32(c.rows);
    stream.WriteI32(c.cols);
    stream.WriteI32(c.count);
    stream.WriteF64(1.0);
    Mat m = Filled(1, 2);
    EXPECT_THROW(m.Restore(stream), KWRExcept) << c.rows;
    EXPECT_EQ(m.Rows(), 1);
    EXPECT_EQ(m(1, 2), 12.0);
  }
  // A symmetric matrix refuses a general shape, a vector more than one column.
  MemoryStream general;
  Filled(2, 2).Save(general);
  SymMat s(2);
  EXPECT_THROW(s.Restore(general), KWRExcept);
  general.pos = 0;
  Vec v(2);
  EXPECT_THROW(v.Restore(general), KWRExcept);
}

TEST(MatrixTest, Describe) {
  std::ostringstream os;
  Filled(1, 2).Describe(os);
  EXPECT_EQ(os.str(), "General Matrix of size 1 by 2\n (1,1): 11\n (1,2): 12\n");
  os.str("");
  SymMat(3).Describe(os);
  EXPECT_EQ(os.str(), "This is a symmetric, square matrix of size 3\n");
  os.str("");
  Vec(4).Describe(os);
  EXPECT_EQ(os.str(), "General Vector of size 4\n");
}

TEST(MatrixTest, ScratchMatricesHaveTheirShapes) {
  EXPECT_EQ(ScratchMat12x12().Rows(), 12);
  EXPECT_EQ(ScratchMat12x12().Cols(), 12);
  EXPECT_EQ(ScratchMat6x12().Rows(), 6);
  EXPECT_EQ(ScratchMat6x12().Cols(), 12);
}

TEST(Vec3Test, Functions) {
  Vec3 a{1, 0, 0}, b{0, 1, 0};
  Vec3 c = Vec3::Cross(a, b);
  EXPECT_TRUE(Vec3::IsEqual(c, Vec3{0, 0, 1}));
  EXPECT_DOUBLE_EQ((Vec3{3, 4, 12}).Length(), 13.0);
  Vec3 d{5, 6, 7};
  EXPECT_EQ(d.Component(0), 5.0);
  EXPECT_EQ(d.Component(1), 6.0);
  EXPECT_EQ(d.Component(2), 7.0);
  EXPECT_EQ(d.Component(9), 5.0);
  EXPECT_TRUE(Vec3::IsEqual(DVect3Divide(Vec3{2, 4, 8}, 2.0), Vec3{1, 2, 4}));
  EXPECT_TRUE(Vec3::IsEqual(MinVect3(Vec3{1, 5, -1}, Vec3{2, 3, 0}), Vec3{1, 3, -1}));
  EXPECT_TRUE(Vec3::IsEqual(MaxVect3(Vec3{1, 5, -1}, Vec3{2, 3, 0}), Vec3{2, 5, 0}));
  const double w[4] = {0.25, 0.25, 0.25, 0.25};
  const Vec3 p[4] = {{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}};
  EXPECT_TRUE(Vec3::IsEqual(WeightedSum4(w, p), Vec3{2, 2, 0}));
  DVect2 u = DVect2Unit({3, 4});
  EXPECT_DOUBLE_EQ(u.x, 0.6);
  EXPECT_DOUBLE_EQ(u.y, 0.8);
  DVect2 z = DVect2Unit({0, 0});
  EXPECT_EQ(z.x, 0.0);
  EXPECT_EQ(z.y, 0.0);
  EXPECT_EQ(FormatVector3(Vec3{1, 0, -2}).str(), "(1.000000e+00,0.000000e+00,-2.000000e+00)");
}

}  // namespace
