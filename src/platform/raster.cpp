#include "platform/raster.h"

void Raster::Resize(int width, int height, uint32_t fill) {
  width_ = width > 0 ? width : 0;
  height_ = height > 0 ? height : 0;
  bytes_.assign(Stride() * size_t(height_), 0);
  Fill(fill);
}

void Raster::Fill(uint32_t color) {
  if (bytes_.empty()) return;
  uint8_t* row = bytes_.data();
  for (int x = 0; x < width_; ++x) {
    row[3 * x] = RedOf(color);
    row[3 * x + 1] = GreenOf(color);
    row[3 * x + 2] = BlueOf(color);
  }
  for (int y = 1; y < height_; ++y) std::copy(row, row + Stride(), Row(y));
}
