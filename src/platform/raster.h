// The picture memory that every drawing ends in: a 24-bit RGB raster, and the
// integer point and rectangle types of pixel coordinates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Colour values of the drawing layer hold red in the low byte, then green,
// then blue (0x00BBGGRR).
inline constexpr uint32_t PackColor(uint8_t r, uint8_t g, uint8_t b) {
  return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16;
}
inline constexpr uint8_t RedOf(uint32_t c) { return uint8_t(c); }
inline constexpr uint8_t GreenOf(uint32_t c) { return uint8_t(c >> 8); }
inline constexpr uint8_t BlueOf(uint32_t c) { return uint8_t(c >> 16); }

// x to the right, y down.
struct PixelPoint {
  int32_t x = 0;
  int32_t y = 0;
  bool operator==(const PixelPoint&) const = default;
};

// Right and bottom lie one past the last column and row that a filled
// rectangle covers.
struct PixelRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  bool operator==(const PixelRect&) const = default;
  bool IsEmpty() const { return left >= right || top >= bottom; }
};

struct PixelSize {
  int32_t width = 0;
  int32_t height = 0;
  bool operator==(const PixelSize&) const = default;
};

// Rows of width × 3 bytes (red, green, blue), top row first.
class Raster {
 public:
  Raster() = default;
  // A white raster; negative sizes count as 0.
  Raster(int width, int height, uint32_t fill = 0xFFFFFF) { Resize(width, height, fill); }

  void Resize(int width, int height, uint32_t fill = 0xFFFFFF);
  void Fill(uint32_t color);

  int Width() const { return width_; }
  int Height() const { return height_; }
  size_t Stride() const { return size_t(width_) * 3; }
  uint8_t* Row(int y) { return bytes_.data() + size_t(y) * Stride(); }
  const uint8_t* Row(int y) const { return bytes_.data() + size_t(y) * Stride(); }

  // The colour at a pixel inside the raster.
  uint32_t Pixel(int x, int y) const {
    const uint8_t* p = Row(y) + size_t(x) * 3;
    return PackColor(p[0], p[1], p[2]);
  }
  void SetPixel(int x, int y, uint32_t color) {
    uint8_t* p = Row(y) + size_t(x) * 3;
    p[0] = RedOf(color);
    p[1] = GreenOf(color);
    p[2] = BlueOf(color);
  }

  bool operator==(const Raster& other) const = default;

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<uint8_t> bytes_;
};
