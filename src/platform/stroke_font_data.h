// The stroke glyph tables behind the built-in fonts (see stroke_font_data.cpp).
#pragma once

#include <cstdint>

namespace stroke_data {

// The printable characters 32 (space) to 126.
constexpr int kGlyphCount = 95;

// One glyph: its left and right side bearings (the advance is right - left)
// and its points in the design's point table: `count` (x, y) pairs from pair
// number `first`, a pair (-128, -128) lifting the pen between strokes.
struct GlyphRecord {
  int8_t left;
  int8_t right;
  uint16_t first;
  uint16_t count;
};

extern const int8_t kSansPoints[];
extern const GlyphRecord kSansGlyphs[kGlyphCount];
extern const int8_t kSerifPoints[];
extern const GlyphRecord kSerifGlyphs[kGlyphCount];

}  // namespace stroke_data
