#include "devices/font_list.h"

#include "base/except.h"

using namespace font_bits;

void FontList::Enumerate(const RasterContext*) {
  families_.clear();
  ++generation_;
  EnumerateFontFamilies(nullptr, [this](const LogicalFont& lf, uint32_t type) {
    uint8_t family = lf.pitchAndFamily & kFamilyMask;
    if (family == kScriptFamily || family == kDecorativeFamily || lf.pitchAndFamily <= 15) return;
    if (lf.charSet != kAnsiCharSet && lf.charSet != kOemCharSet) return;
    FontFamilyEntry e;
    e.faceName = lf.faceName;
    e.kind = family == kRomanFamily ? 1 : family == kSwissFamily ? 2 : 3;
    e.fixedPitch = (lf.pitchAndFamily & 3) == kFixedPitch || (lf.pitchAndFamily & kMonoFont) ? 1 : 0;
    e.typeKind = (type & kRasterFontType) ? 0 : (type & kTrueTypeFontType) ? 2 : 1;
    families_.push_back(std::move(e));
  });
  for (FontFamilyEntry& e : families_)
    EnumerateFontFamilies(e.faceName.c_str(), [&e](const LogicalFont& lf, uint32_t) { e.sizes.push_back(lf); });
}

const LogicalFont* FontList::Find(const FontDesc& request) const {
  const LogicalFont* chosen = nullptr;
  int32_t bestHeight = 0, bestWidth = 0;
  const uint8_t fixed = (request.style & FontDesc::kFixedPitch) ? 1 : 0;
  for (const FontFamilyEntry& e : families_) {
    if (request.kind != 0 && request.kind != e.kind) continue;
    if (fixed != e.fixedPitch) continue;
    if (e.typeKind == 2) {
      if (e.sizes.empty()) continue;
      chosen = &e.sizes.front();
      bestHeight = request.height;
      bestWidth = request.width;
      continue;
    }
    for (const LogicalFont& s : e.sizes) {
      if (s.height > request.height || s.width > request.height) continue;
      if (s.height > bestHeight || s.width > bestWidth) {
        chosen = &s;
        bestHeight = s.height;
        bestWidth = s.width;
      }
    }
  }
  return chosen;
}

void FontList::Clear() {
  families_.clear();
  enumerated_ = false;
  ++generation_;
}

int32_t FontList::LargestSizeStepAtMost(int32_t value) const {
  int32_t best = 0;
  for (const FontFamilyEntry& e : families_) {
    if (e.typeKind == 2) continue;
    for (const LogicalFont& s : e.sizes) {
      if (s.height <= value && s.height > best) best = s.height;
      if (s.width <= value && s.width > best) best = s.width;
    }
  }
  return best;
}

namespace {

void ApplyStyle(LogicalFont& lf, const FontDesc& request) {
  lf.escapement = 0;
  lf.orientation = 0;
  lf.weight = (request.style & FontDesc::kBold) ? 700 : 400;
  lf.italic = (request.style & FontDesc::kItalic) ? 1 : 0;
  lf.underline = 0;
  lf.strikeOut = 0;
  lf.charSet = kDefaultCharSet;
  lf.outPrecision = 4;
  lf.clipPrecision = 0;
  lf.quality = 0;
}

}  // namespace

RasterFont WinFont(FontList& list, const RasterContext* context, const FontDesc& request) {
  if (!list.IsEnumerated()) {
    list.Enumerate(context);
    list.MarkEnumerated();
  }
  RasterFont font;
  const bool fixed = (request.style & FontDesc::kFixedPitch) != 0;
  if (!request.faceName.IsEmpty()) {
    LogicalFont lf;
    lf.height = request.height;
    lf.width = request.width;
    ApplyStyle(lf, request);
    lf.pitchAndFamily = fixed ? kFixedPitch : kDefaultPitch;
    lf.SetFaceName(request.faceName.c_str());
    if (CreateRasterFont(lf, font)) return font;
  }
  if (request.width == 0 && request.height == 0) {
    return StockFont(fixed);
  }
  const LogicalFont* found = list.Find(request);
  if (!found) {
    FontDesc plain = request;
    plain.faceName = String();
    plain.style = static_cast<uint8_t>(plain.style & ~FontDesc::kFixedPitch);
    found = list.Find(plain);
  }
  if (!found)
    throw DeviceExcept("Failure to find WinFont (" + IntToString(request.height) + "," + IntToString(request.width) +
                       ")");
  LogicalFont lf = *found;
  lf.height = request.height;
  lf.width = request.width;
  ApplyStyle(lf, request);
  if (fixed) lf.pitchAndFamily = static_cast<uint8_t>((lf.pitchAndFamily & ~kVariablePitch) | kFixedPitch);
  if (!CreateRasterFont(lf, font)) font = RasterFont();
  return font;
}
