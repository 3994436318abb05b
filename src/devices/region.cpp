#include "devices/region.h"

#include <algorithm>

namespace {

PixelRect Moved(const PixelRect& r, int32_t dx, int32_t dy) {
  return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

}  // namespace

RegionRef::RegionRef(const RegionRef& other) : region_(other.region_), dx_(other.dx_), dy_(other.dy_) {
  if (region_) ++region_->refs_;
}

RegionRef& RegionRef::operator=(const RegionRef& other) {
  if (other.region_) ++other.region_->refs_;
  Release();
  region_ = other.region_;
  dx_ = other.dx_;
  dy_ = other.dy_;
  return *this;
}

void RegionRef::Release() {
  if (region_ && --region_->refs_ == 0) delete region_;
  region_ = nullptr;
}

Region& RegionRef::Own(const PixelRect& initial) {
  if (!region_) {
    region_ = new Region(initial);
  } else if (region_->refs_ > 1) {
    Region* copy = new Region(*region_);
    copy->refs_ = 1;
    --region_->refs_;
    region_ = copy;
  }
  return *region_;
}

void RegionRef::Intersect(const PixelRect& rect) {
  PixelRect r = Moved(rect, -dx_, -dy_);
  if (!region_) {
    region_ = new Region(r);
    return;
  }
  std::vector<PixelRect>& list = Own(r).rects_;
  size_t keep = 0;
  for (PixelRect p : list) {
    p.left = std::max(p.left, r.left);
    p.top = std::max(p.top, r.top);
    p.right = std::min(p.right, r.right);
    p.bottom = std::min(p.bottom, r.bottom);
    if (!p.IsEmpty()) list[keep++] = p;
  }
  list.resize(keep);
}

void RegionRef::Subtract(const PixelRect& rect) {
  constexpr int32_t kFar = 1000000000;
  PixelRect r = Moved(rect, -dx_, -dy_);
  std::vector<PixelRect>& list = Own({-kFar, -kFar, kFar, kFar}).rects_;
  size_t count = list.size();
  for (size_t i = 0; i < count;) {
    PixelRect p = list[i];
    if (!(p.left < r.right && r.left < p.right && p.top < r.bottom && r.top < p.bottom)) {
      ++i;
      continue;
    }
    list.erase(list.begin() + ptrdiff_t(i));
    --count;
    int32_t left = std::max(p.left, r.left), right = std::min(p.right, r.right);
    const PixelRect pieces[4] = {{p.left, p.top, r.left, p.bottom},
                                 {r.right, p.top, p.right, p.bottom},
                                 {left, p.top, right, r.top},
                                 {left, r.bottom, right, p.bottom}};
    for (const PixelRect& piece : pieces)
      if (!piece.IsEmpty()) list.push_back(piece);
  }
}

bool RegionRef::operator==(const RegionRef& other) const {
  if (!region_) return true;
  if (!other.region_) return false;
  if (region_ == other.region_ && dx_ == other.dx_ && dy_ == other.dy_) return true;
  const std::vector<PixelRect>&a = region_->rects_, &b = other.region_->rects_;
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Moved(a[i], dx_, dy_) != Moved(b[i], other.dx_, other.dy_)) return false;
  return true;
}
