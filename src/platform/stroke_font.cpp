#include "platform/stroke_font.h"

#include <strings.h>

#include <cmath>
#include <cstring>

namespace {

constexpr int kDesignHeight = 32;
constexpr int kDesignAscent = 25;
constexpr int kDesignLeading = 4;
constexpr int kFixedAdvance = 20;  // every character of the fixed-pitch design
constexpr int kDefaultHeight = 16;

struct SizeRecord {
  int32_t height;
  int32_t width;
};

struct Face {
  const char* name;
  StrokeDesign design;
  uint8_t pitchAndFamily;
  uint32_t type;
  const SizeRecord* sizes;  // bitmap faces only
  int sizeCount;
};

using namespace font_bits;

constexpr SizeRecord kSansSerifSizes[] = {{13, 5}, {16, 7}, {20, 8}, {24, 10}, {29, 12}, {37, 16}};
constexpr SizeRecord kFixedSysSizes[] = {{15, 8}};
constexpr SizeRecord kSystemSize = {16, 7};

// In the order the enumeration reports them.
constexpr Face kFaces[] = {
    {"Arial", StrokeDesign::kSans, kVariablePitch | kSwissFamily, kTrueTypeFontType, nullptr, 0},
    {"Courier New", StrokeDesign::kFixed, kFixedPitch | kModernFamily, kTrueTypeFontType, nullptr, 0},
    {"FixedSys", StrokeDesign::kFixed, kFixedPitch | kModernFamily, kRasterFontType, kFixedSysSizes, 1},
    {"MS Sans Serif", StrokeDesign::kSans, kVariablePitch | kSwissFamily, kRasterFontType, kSansSerifSizes, 6},
    {"Times New Roman", StrokeDesign::kSerif, kVariablePitch | kRomanFamily, kTrueTypeFontType, nullptr, 0},
};
constexpr Face kSystemFace = {"System",        StrokeDesign::kSans, kVariablePitch | kSwissFamily,
                              kRasterFontType, &kSystemSize,        1};

uint32_t NextHandle() {
  static uint32_t serial = 0;
  if (++serial == 0) serial = 1;
  return serial;
}

int AverageUnits(StrokeDesign design) {
  if (design == StrokeDesign::kFixed) return kFixedAdvance;
  GlyphView x = Glyph(design, 'x');
  return x.right - x.left;
}

int32_t Saturate(double v) {
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483647 - 1;
  return int32_t(v);
}

int32_t Round(double v) { return Saturate(std::floor(v + 0.5)); }

// The font of a design at a cell height and average width (0: the design's
// own proportions).
RasterFont Realise(const Face& face, int32_t height, int32_t width, const LogicalFont& request) {
  RasterFont f;
  f.handle = NextHandle();
  f.faceName = face.name;
  f.design = face.design;
  f.fixedPitch = face.design == StrokeDesign::kFixed;
  f.bold = request.weight > 550;
  f.weight = f.bold ? 700 : 400;
  f.italic = request.italic != 0;
  f.height = height;
  f.scaleY = double(height) / kDesignHeight;
  int units = AverageUnits(face.design);
  f.scaleX = width > 0 ? double(width) / units : f.scaleY;
  f.averageWidth = width > 0 ? width : Round(units * f.scaleX);
  f.ascent = Round(double(height) * kDesignAscent / kDesignHeight);
  f.descent = height - f.ascent;
  f.internalLeading = Round(double(height) * kDesignLeading / kDesignHeight);
  return f;
}

// The cell height asked for: a negative height asks for the character height.
int32_t CellHeight(int32_t requested) {
  if (requested > 0) return requested;
  if (requested == 0) return kDefaultHeight;
  return Round(-double(requested) * kDesignHeight / (kDesignHeight - kDesignLeading));
}

RasterFont RealiseSize(const Face& face, int32_t requestedHeight, const LogicalFont& request) {
  const SizeRecord* best = nullptr;
  int32_t cell = CellHeight(requestedHeight);
  for (int i = 0; i < face.sizeCount; ++i) {
    const SizeRecord& s = face.sizes[i];
    if (requestedHeight == 0 ? s.height == kDefaultHeight : s.height <= cell)
      if (!best || s.height > best->height) best = &s;
  }
  if (!best) {
    best = &face.sizes[0];
    for (int i = 1; i < face.sizeCount; ++i)
      if (face.sizes[i].height < best->height) best = &face.sizes[i];
  }
  return Realise(face, best->height, best->width, request);
}

void FillRecord(const Face& face, int32_t height, int32_t width, LogicalFont& lf) {
  lf = LogicalFont{};
  lf.height = height;
  lf.width = width;
  lf.charSet = kAnsiCharSet;
  lf.pitchAndFamily = face.pitchAndFamily;
  lf.SetFaceName(face.name);
}

}  // namespace

void LogicalFont::SetFaceName(const char* name) {
  std::strncpy(faceName, name ? name : "", sizeof faceName - 1);
  faceName[sizeof faceName - 1] = 0;
}

void EnumerateFontFamilies(const char* face, const std::function<void(const LogicalFont&, uint32_t type)>& report) {
  LogicalFont lf;
  for (const Face& f : kFaces) {
    if (face && *face) {
      if (strcasecmp(face, f.name) != 0) continue;
      if (f.sizeCount == 0) {
        FillRecord(f, 0, 0, lf);
        report(lf, f.type);
      }
      for (int i = 0; i < f.sizeCount; ++i) {
        FillRecord(f, f.sizes[i].height, f.sizes[i].width, lf);
        report(lf, f.type);
      }
    } else {
      FillRecord(f, f.sizeCount ? f.sizes[0].height : 0, f.sizeCount ? f.sizes[0].width : 0, lf);
      report(lf, f.type);
    }
  }
}

bool CreateRasterFont(const LogicalFont& request, RasterFont& font) {
  for (const Face& f : kFaces) {
    if (strcasecmp(request.faceName, f.name) != 0) continue;
    if (f.sizeCount) {
      font = RealiseSize(f, request.height, request);
    } else {
      font = Realise(f, CellHeight(request.height), request.width > 0 ? request.width : 0, request);
    }
    return true;
  }
  return false;
}

RasterFont StockFont(bool fixedPitch) {
  LogicalFont plain;
  return fixedPitch ? RealiseSize(kFaces[2], 0, plain) : RealiseSize(kSystemFace, 0, plain);
}

GlyphView Glyph(StrokeDesign design, unsigned char c) {
  int index = c >= 32 && c <= 126 ? c - 32 : '?' - 32;
  bool serif = design == StrokeDesign::kSerif;
  const stroke_data::GlyphRecord& g = (serif ? stroke_data::kSerifGlyphs : stroke_data::kSansGlyphs)[index];
  GlyphView v;
  v.left = g.left;
  v.right = g.right;
  v.points = (serif ? stroke_data::kSerifPoints : stroke_data::kSansPoints) + 2 * g.first;
  v.count = g.count;
  return v;
}

int64_t GlyphAdvance(const RasterFont& font, unsigned char c) {
  int units = kFixedAdvance;
  if (font.design != StrokeDesign::kFixed) {
    GlyphView g = Glyph(font.design, c);
    units = g.right - g.left;
  }
  return int64_t(std::floor(units * font.scaleX + 0.5));
}
