// Character widths of the PostScript core fonts for the characters 32 to 126, in
// thousandths of the font size, as published in the Adobe Font Metrics files of
// the URW++ base 35 fonts (Debian package fonts-urw-base35, version 20200910):
// NimbusSans-Regular.afm and NimbusSans-Bold.afm (metric-compatible with
// Helvetica and Helvetica-Bold), NimbusRoman-Regular.afm, NimbusRoman-Bold.afm,
// NimbusRoman-Italic.afm and NimbusRoman-BoldItalic.afm (Times-Roman, -Bold,
// -Italic, -BoldItalic). Codes follow the standard encoding of these fonts.
#include "devices/postscript_fonts.h"

const uint16_t kHelveticaWidths[kPsWidthCount] = {
    278, 278, 355, 556, 556, 889, 667, 222, 333, 333, 389, 584, 278, 333,  278, 278, 556, 556, 556,
    556, 556, 556, 556, 556, 556, 556, 278, 278, 584, 584, 584, 556, 1015, 667, 667, 722, 722, 667,
    611, 778, 722, 278, 500, 667, 556, 833, 722, 778, 667, 778, 722, 667,  611, 722, 667, 944, 667,
    667, 611, 278, 278, 278, 469, 556, 222, 556, 556, 500, 556, 556, 278,  556, 556, 222, 222, 500,
    222, 833, 556, 556, 556, 556, 333, 500, 278, 556, 500, 722, 500, 500,  500, 334, 260, 334, 584,
};

const uint16_t kHelveticaBoldWidths[kPsWidthCount] = {
    278, 333, 474, 556, 556, 889, 722, 278, 333, 333, 389, 584, 278, 333, 278, 278, 556, 556, 556,
    556, 556, 556, 556, 556, 556, 556, 333, 333, 584, 584, 584, 611, 975, 722, 722, 722, 722, 667,
    611, 778, 722, 278, 556, 722, 611, 833, 722, 778, 667, 778, 722, 667, 611, 722, 667, 944, 667,
    667, 611, 333, 278, 333, 584, 556, 278, 556, 611, 556, 611, 556, 333, 611, 611, 278, 278, 556,
    278, 889, 611, 611, 611, 611, 389, 556, 333, 611, 556, 778, 556, 556, 500, 389, 280, 389, 584,
};

const uint16_t kTimesRomanWidths[kPsWidthCount] = {
    250, 333, 408, 500, 500, 833, 778, 333, 333, 333, 500, 564, 250, 333, 250, 278, 500, 500, 500,
    500, 500, 500, 500, 500, 500, 500, 278, 278, 564, 564, 564, 444, 921, 722, 667, 667, 722, 611,
    556, 722, 722, 333, 389, 722, 611, 889, 722, 722, 556, 722, 667, 556, 611, 722, 722, 944, 722,
    722, 611, 333, 278, 333, 469, 500, 333, 444, 500, 444, 500, 444, 333, 500, 500, 278, 278, 500,
    278, 778, 500, 500, 500, 500, 333, 389, 278, 500, 500, 722, 500, 500, 444, 480, 200, 480, 541,
};

const uint16_t kTimesBoldWidths[kPsWidthCount] = {
    250, 333, 555, 500, 500, 1000, 833, 333, 333, 333, 500, 570, 250, 333, 250, 278, 500, 500,  500,
    500, 500, 500, 500, 500, 500,  500, 333, 333, 570, 570, 570, 500, 930, 722, 667, 722, 722,  667,
    611, 778, 778, 389, 500, 778,  667, 944, 722, 778, 611, 778, 722, 556, 667, 722, 722, 1000, 722,
    722, 667, 333, 278, 333, 581,  500, 333, 500, 556, 444, 556, 444, 333, 500, 556, 278, 333,  556,
    278, 833, 556, 500, 556, 556,  444, 389, 333, 556, 500, 722, 500, 500, 444, 394, 220, 394,  520,
};

const uint16_t kTimesItalicWidths[kPsWidthCount] = {
    250, 333, 420, 500, 500, 833, 778, 333, 333, 333, 500, 675, 250, 333, 250, 278, 500, 500, 500,
    500, 500, 500, 500, 500, 500, 500, 333, 333, 675, 675, 675, 500, 920, 611, 611, 667, 722, 611,
    611, 722, 722, 333, 444, 667, 556, 833, 667, 722, 611, 722, 611, 500, 556, 722, 611, 833, 611,
    556, 556, 389, 278, 389, 422, 500, 333, 500, 500, 444, 500, 444, 278, 500, 500, 278, 278, 444,
    278, 722, 500, 500, 500, 500, 389, 389, 278, 500, 444, 667, 444, 444, 389, 400, 275, 400, 541,
};

const uint16_t kTimesBoldItalicWidths[kPsWidthCount] = {
    250, 389, 555, 500, 500, 833, 778, 333, 333, 333, 500, 570, 250, 333, 250, 278, 500, 500, 500,
    500, 500, 500, 500, 500, 500, 500, 333, 333, 570, 570, 570, 500, 832, 667, 667, 667, 722, 667,
    667, 722, 778, 389, 500, 667, 611, 889, 722, 722, 611, 722, 667, 556, 611, 722, 667, 889, 667,
    611, 611, 333, 278, 333, 570, 500, 333, 500, 500, 444, 500, 444, 333, 500, 556, 278, 278, 500,
    278, 778, 556, 500, 500, 500, 389, 389, 278, 556, 444, 667, 500, 444, 389, 348, 220, 348, 570,
};

namespace {
// The oblique Helvetica faces have the widths of their upright forms.
const PsFont kFonts[kPsFontCount] = {
    {"Helvetica", 5.56, kHelveticaWidths},
    {"Helvetica-Bold", 5.56, kHelveticaBoldWidths},
    {"Helvetica-Oblique", 5.56, kHelveticaWidths},
    {"Helvetica-BoldOblique", 5.56, kHelveticaBoldWidths},
    {"Times-Roman", 5.0, kTimesRomanWidths},
    {"Times-Bold", 5.0, kTimesBoldWidths},
    {"Times-Italic", 5.0, kTimesItalicWidths},
    {"Times-BoldItalic", 5.0, kTimesBoldItalicWidths},
    {"Courier", 6.0, nullptr},
    {"Courier-Bold", 6.0, nullptr},
    {"Courier-Oblique", 6.0, nullptr},
    {"Courier-BoldOblique", 6.0, nullptr},
};
}  // namespace

const PsFont& PostScriptFont(int index) { return kFonts[index < 0 || index >= kPsFontCount ? 0 : index]; }
