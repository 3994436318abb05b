// A device's font families and the conversion of a font request into a font
// (WinFont). The families are gathered once per list, with the sizes each
// offers; a request names a face, or a family kind and pitch from which a
// face is chosen.
#pragma once

#include <cstdint>
#include <vector>

#include "base/color.h"
#include "base/string.h"
#include "platform/raster_context.h"
#include "platform/stroke_font.h"

struct FontFamilyEntry {
  String faceName;
  int kind = 3;  // 1 serif, 2 sans serif, 3 any other
  uint8_t fixedPitch = 0;
  int typeKind = 0;  // 0 bitmap, 1 vector or device, 2 scalable
  std::vector<LogicalFont> sizes;
};

class FontList {
 public:
  // Gathers the families of the context's fonts and the sizes of each.
  void Enumerate(const RasterContext* context);
  // The size record chosen for the request, or none.
  const LogicalFont* Find(const FontDesc& request) const;
  // Forgets the families; the next look-up gathers them again.
  void Clear();

  bool IsEnumerated() const { return enumerated_; }
  void MarkEnumerated() { enumerated_ = true; }
  const std::vector<FontFamilyEntry>& Families() const { return families_; }
  // Grows whenever the families change.
  uint32_t Generation() const { return generation_; }
  // The largest height or width of a bitmap size that is at most `value`, or
  // 0: between two such values a look-up does not change its answer.
  int32_t LargestSizeStepAtMost(int32_t value) const;

 private:
  bool enumerated_ = false;
  uint32_t generation_ = 0;
  std::vector<FontFamilyEntry> families_;
};

// The font for a request: the named face when there is one, the system font
// for a width and height of 0, else a face found in the list; raises
// "Failure to find WinFont (h,w)" when no family fits even without face and
// fixed pitch. The answer is not valid when the face found cannot be made.
RasterFont WinFont(FontList& list, const RasterContext* context, const FontDesc& request);
