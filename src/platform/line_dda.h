// The line digitiser: which pixels make up the line between two points.
// Every pen line and the dash generator of the devices use it, so that a line
// and its dashes cover the same pixels. Coordinates are 64-bit and the
// arithmetic that may exceed 64 bits is done in 128 bits, so that points far
// outside any surface (a perspective view clamps them at 2e9) give exact
// pixels and can be clipped before a single pixel is visited.
#pragma once

#include <cstdint>

// A box of pixel positions; right and bottom lie outside it.
struct PixelBox {
  int64_t left = 0;
  int64_t top = 0;
  int64_t right = 0;
  int64_t bottom = 0;
  bool IsEmpty() const { return left >= right || top >= bottom; }
};

// The digital line from (x0, y0) to (x1, y1). It has Steps() + 1 pixels,
// numbered 0 (the start) to Steps() (the end point): the coordinate of the
// longer direction moves by one each step and the other is rounded to the
// nearest (halves away from the start).
class DigitalLine {
 public:
  DigitalLine(int64_t x0, int64_t y0, int64_t x1, int64_t y1);

  int64_t Steps() const { return major_; }
  // Whether x is the longer direction, and the directions of both (+1 or -1).
  bool XMajor() const { return xMajor_; }
  int MajorSign() const { return sMajor_; }
  int MinorSign() const { return sMinor_; }
  void PixelAt(int64_t i, int64_t& x, int64_t& y) const;
  // The numbers [first, last) of the pixels of 0 .. Steps() that lie in the
  // box: false when there are none. A digital line meets a box in one run.
  bool Within(const PixelBox& box, int64_t& first, int64_t& last) const;

  // The walk from pixel `first`: step() moves to the next pixel; X() and Y()
  // are the current pixel; MinorMoved() tells whether the last step moved the
  // shorter direction too.
  class Walker;

 private:
  friend class Walker;
  int64_t x0_, y0_;
  int64_t major_, minor_;  // the longer and the shorter extent
  int sMajor_, sMinor_;    // their directions (+1 or -1)
  bool xMajor_;
};

class DigitalLine::Walker {
 public:
  Walker(const DigitalLine& line, int64_t first);
  int64_t X() const { return line_.xMajor_ ? a_ : b_; }
  int64_t Y() const { return line_.xMajor_ ? b_ : a_; }
  // Moves to the next pixel; true when the shorter direction moved.
  bool Step() {
    a_ += line_.sMajor_;
    rest_ += twoMinor_;
    if (rest_ >= twoMajor_) {
      rest_ -= twoMajor_;
      b_ += line_.sMinor_;
      return true;
    }
    return false;
  }

 private:
  const DigitalLine& line_;
  int64_t a_, b_;  // the longer and the shorter coordinate
  int64_t rest_, twoMinor_, twoMajor_;
};

// Calls step(x, y) for the pixels [first, last) of the line in order.
template <class Step>
void LineDDARange(const DigitalLine& line, int64_t first, int64_t last, Step&& step) {
  if (first >= last) return;
  DigitalLine::Walker w(line, first);
  for (int64_t i = first;;) {
    step(w.X(), w.Y());
    if (++i == last) break;
    w.Step();
  }
}

// Calls step(x, y) for every pixel of the line from (x0, y0) to (x1, y1)
// except the end point, in order from the start.
template <class Step>
void LineDDA(int64_t x0, int64_t y0, int64_t x1, int64_t y1, Step&& step) {
  DigitalLine line(x0, y0, x1, y1);
  LineDDARange(line, 0, line.Steps(), step);
}
