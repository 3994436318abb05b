// The built-in scalable fonts: three stroke designs (sans serif, serif and
// fixed pitch) offered under the faces "Arial" and "MS Sans Serif" (sans),
// "Times New Roman" (serif), "Courier New" and "FixedSys" (fixed pitch).
// "MS Sans Serif" and "FixedSys" behave as bitmap faces: they come in a few
// sizes only and keep their own width whatever width is asked for. The others
// scale to any height and width. Bold adds a second stroke beside each
// stroke, italic leans the glyphs.
//
// Font metrics: a design is 32 units high, 25 above the baseline and 7 below,
// 4 of them internal leading; the average width is the advance of "x".
#pragma once

#include <cstdint>
#include <functional>

#include "platform/stroke_font_data.h"

enum class StrokeDesign : uint8_t { kSans, kSerif, kFixed };

// A font request as the system takes it.
struct LogicalFont {
  int32_t height = 0;  // cell height; negative: character height; 0: a default
  int32_t width = 0;   // average character width; 0: the face's own proportions
  int32_t escapement = 0;
  int32_t orientation = 0;
  int32_t weight = 400;  // above 550 is bold
  uint8_t italic = 0;
  uint8_t underline = 0;
  uint8_t strikeOut = 0;
  uint8_t charSet = 0;
  uint8_t outPrecision = 0;
  uint8_t clipPrecision = 0;
  uint8_t quality = 0;
  uint8_t pitchAndFamily = 0;  // pitch in bits 0-1, mono-font bit 3, family in bits 4-7
  char faceName[32] = {};

  void SetFaceName(const char* name);
};

namespace font_bits {
// Pitch (low two bits of pitchAndFamily) and the mono-font bit.
constexpr uint8_t kDefaultPitch = 0;
constexpr uint8_t kFixedPitch = 1;
constexpr uint8_t kVariablePitch = 2;
constexpr uint8_t kMonoFont = 8;
// Families (high four bits).
constexpr uint8_t kFamilyMask = 0xF0;
constexpr uint8_t kRomanFamily = 0x10;
constexpr uint8_t kSwissFamily = 0x20;
constexpr uint8_t kModernFamily = 0x30;
constexpr uint8_t kScriptFamily = 0x40;
constexpr uint8_t kDecorativeFamily = 0x50;
// Character sets.
constexpr uint8_t kAnsiCharSet = 0;
constexpr uint8_t kDefaultCharSet = 1;
constexpr uint8_t kOemCharSet = 255;
// Font types reported by the enumeration.
constexpr uint32_t kRasterFontType = 1;
constexpr uint32_t kDeviceFontType = 2;
constexpr uint32_t kTrueTypeFontType = 4;
}  // namespace font_bits

// A realised font: a design at a size. A value; nothing is allocated.
struct RasterFont {
  uint32_t handle = 0;  // serial number of the realisation; 0: no font
  const char* faceName = "";
  StrokeDesign design = StrokeDesign::kSans;
  bool fixedPitch = false;
  bool bold = false;
  bool italic = false;
  int32_t weight = 400;
  int32_t height = 0;  // cell height in pixels
  int32_t ascent = 0;
  int32_t descent = 0;
  int32_t internalLeading = 0;
  int32_t externalLeading = 0;
  int32_t averageWidth = 0;
  double scaleX = 0;  // pixels per design unit
  double scaleY = 0;

  bool IsValid() const { return handle != 0; }
};

// Reports each family once (no face given) or each size of the named face:
// a scalable face reports one record, a bitmap face one per size.
void EnumerateFontFamilies(const char* face, const std::function<void(const LogicalFont&, uint32_t type)>& report);

// Realises the request on the named face; false when no face of that name
// exists (names compare without case). A bitmap face takes its largest size
// not higher than the request, else its smallest.
bool CreateRasterFont(const LogicalFont& request, RasterFont& font);

// The system font ("System", proportional) or the fixed system font.
RasterFont StockFont(bool fixedPitch);

// A glyph of a design: characters outside 32 .. 126 show "?".
struct GlyphView {
  int left = 0;
  int right = 0;
  const int8_t* points = nullptr;  // count (x, y) pairs
  int count = 0;
};
GlyphView Glyph(StrokeDesign design, unsigned char c);

// The advance of a character in whole pixels; a text is as wide as the sum
// of its characters' advances.
int64_t GlyphAdvance(const RasterFont& font, unsigned char c);
