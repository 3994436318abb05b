// Update and clip regions: a list of rectangles shared by reference. Copies of
// a RegionRef share one Region until one of them changes it (copy on write);
// each reference carries its own offset, by which the rectangles are moved
// when seen through it. A reference without a region restricts nothing.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/raster.h"

class Region {
 public:
  explicit Region(const PixelRect& rect) : rects_{rect} {}
  const std::vector<PixelRect>& Rects() const { return rects_; }

 private:
  friend class RegionRef;
  std::vector<PixelRect> rects_;
  uint32_t refs_ = 1;
};

class RegionRef {
 public:
  RegionRef() = default;
  // A region of one rectangle.
  explicit RegionRef(const PixelRect& rect) : region_(new Region(rect)) {}
  RegionRef(const RegionRef& other);
  RegionRef& operator=(const RegionRef& other);
  ~RegionRef() { Release(); }

  const Region* Get() const { return region_; }
  int32_t OffsetX() const { return dx_; }
  int32_t OffsetY() const { return dy_; }
  void SetOffset(int32_t dx, int32_t dy) { dx_ = dx, dy_ = dy; }
  void MoveOffset(int32_t dx, int32_t dy) { dx_ += dx, dy_ += dy; }

  // Keeps of each rectangle what lies in `rect`; an empty reference becomes `rect`.
  void Intersect(const PixelRect& rect);
  // Removes `rect`; an empty reference starts as the plane (±1e9).
  void Subtract(const PixelRect& rect);
  // True only for a region that holds no rectangle.
  bool IsEmpty() const { return region_ && region_->rects_.empty(); }
  // True when this reference restricts nothing, or both show the same rectangles.
  bool operator==(const RegionRef& other) const;

 private:
  void Release();
  // A region of this reference's own, copied when it is shared.
  Region& Own(const PixelRect& initial);

  Region* region_ = nullptr;
  int32_t dx_ = 0;
  int32_t dy_ = 0;
};
