// The twelve core fonts that PostScript plots are written with, and the
// character widths that text is measured by.
#pragma once

#include <cstdint>

constexpr int kPsFontCount = 12;
// Width tables cover the characters 32 to 126.
constexpr int kPsFirstChar = 32;
constexpr int kPsWidthCount = 95;

struct PsFont {
  const char* name;
  // Widths in hundredths of the font size: the average, and per character
  // (in thousandths, so a factor is width / 100); no table for Courier.
  double averageFactor;
  const uint16_t* widths;
};

// Index 0 to 3 Helvetica (plain, bold, oblique, bold oblique), 4 to 7 Times
// (roman, bold, italic, bold italic), 8 to 11 Courier in the same order.
const PsFont& PostScriptFont(int index);

extern const uint16_t kHelveticaWidths[kPsWidthCount];
extern const uint16_t kHelveticaBoldWidths[kPsWidthCount];
extern const uint16_t kTimesRomanWidths[kPsWidthCount];
extern const uint16_t kTimesBoldWidths[kPsWidthCount];
extern const uint16_t kTimesItalicWidths[kPsWidthCount];
extern const uint16_t kTimesBoldItalicWidths[kPsWidthCount];
