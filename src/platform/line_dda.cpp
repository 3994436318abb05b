#include "platform/line_dda.h"

namespace {

using Wide = __int128;

Wide FloorDiv(Wide a, Wide b) {  // b > 0
  Wide q = a / b;
  if (a % b != 0 && a < 0) --q;
  return q;
}
Wide CeilDiv(Wide a, Wide b) { return -FloorDiv(-a, b); }

int64_t Abs(int64_t v) { return v < 0 ? -v : v; }

// The step numbers i with start + s·i in [low, high).
void AxisRange(int64_t start, int s, int64_t low, int64_t high, Wide& lo, Wide& hi) {
  if (s > 0) {
    lo = Wide(low) - start;
    hi = Wide(high) - 1 - start;
  } else {
    lo = Wide(start) - (Wide(high) - 1);
    hi = Wide(start) - low;
  }
}

}  // namespace

DigitalLine::DigitalLine(int64_t x0, int64_t y0, int64_t x1, int64_t y1) : x0_(x0), y0_(y0) {
  int64_t dx = x1 - x0, dy = y1 - y0;
  xMajor_ = Abs(dx) >= Abs(dy);
  int64_t dMajor = xMajor_ ? dx : dy, dMinor = xMajor_ ? dy : dx;
  major_ = Abs(dMajor);
  minor_ = Abs(dMinor);
  sMajor_ = dMajor < 0 ? -1 : 1;
  sMinor_ = dMinor < 0 ? -1 : 1;
}

void DigitalLine::PixelAt(int64_t i, int64_t& x, int64_t& y) const {
  int64_t a0 = xMajor_ ? x0_ : y0_, b0 = xMajor_ ? y0_ : x0_;
  int64_t q = major_ == 0 ? 0 : int64_t(FloorDiv(Wide(2) * i * minor_ + major_, Wide(2) * major_));
  int64_t a = a0 + sMajor_ * i, b = b0 + sMinor_ * q;
  x = xMajor_ ? a : b;
  y = xMajor_ ? b : a;
}

bool DigitalLine::Within(const PixelBox& box, int64_t& first, int64_t& last) const {
  if (box.IsEmpty()) return false;
  int64_t a0 = xMajor_ ? x0_ : y0_, b0 = xMajor_ ? y0_ : x0_;
  Wide lo, hi;
  AxisRange(a0, sMajor_, xMajor_ ? box.left : box.top, xMajor_ ? box.right : box.bottom, lo, hi);
  if (lo < 0) lo = 0;
  if (hi > major_) hi = major_;
  // The shorter coordinate b0 + s·q(i), q(i) = floor((2 i minor + major) / (2 major)), grows with i.
  Wide qlo, qhi;
  AxisRange(b0, sMinor_, xMajor_ ? box.top : box.left, xMajor_ ? box.bottom : box.right, qlo, qhi);
  if (qlo > qhi) return false;
  if (minor_ == 0) {
    if (qlo > 0 || qhi < 0) return false;
  } else {
    Wide M = major_, m = minor_;
    Wide iLo = CeilDiv(2 * M * qlo - M, 2 * m);            // q(i) >= qlo
    Wide iHi = CeilDiv(2 * M * (qhi + 1) - M, 2 * m) - 1;  // q(i) <= qhi
    if (iLo > lo) lo = iLo;
    if (iHi < hi) hi = iHi;
  }
  if (lo > hi) return false;
  first = int64_t(lo);
  last = int64_t(hi) + 1;
  return true;
}

DigitalLine::Walker::Walker(const DigitalLine& line, int64_t first) : line_(line) {
  int64_t a0 = line.xMajor_ ? line.x0_ : line.y0_, b0 = line.xMajor_ ? line.y0_ : line.x0_;
  a_ = a0 + line.sMajor_ * first;
  twoMinor_ = 2 * line.minor_;
  if (line.major_ == 0) {
    b_ = b0;
    rest_ = 0;
    twoMajor_ = 1;
    return;
  }
  twoMajor_ = 2 * line.major_;
  if (first == 0) {
    b_ = b0;
    rest_ = line.major_;
    return;
  }
  Wide num = Wide(2) * first * line.minor_ + line.major_;
  b_ = b0 + line.sMinor_ * int64_t(num / twoMajor_);
  rest_ = int64_t(num % twoMajor_);
}
