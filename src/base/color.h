// The small value types of all drawing: colours with their named constants
// and the automatic colour table, dash patterns, and font requests. They hold
// no resources and are copied by value.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "base/string.h"

class CommandType;
class SaveStream;

class Color {
 public:
  // White, flag 0, grey level 0.
  constexpr Color() = default;
  // Channels and grey level are clamped to [0, 1]; a channel becomes the byte
  // trunc(255 v). With computeGrey the grey level comes from the bytes.
  Color(double r, double g, double b, uint8_t flag = 0, double grey = 0.0, bool computeGrey = false);
  static constexpr Color FromBytes(uint8_t r, uint8_t g, uint8_t b, uint8_t flag, double grey) {
    Color c;
    c.r_ = r;
    c.g_ = g;
    c.b_ = b;
    c.flag_ = flag;
    c.grey_ = grey;
    return c;
  }

  void Set(double r, double g, double b, uint8_t flag, double grey);
  void SetRed(double v);
  void SetGreen(double v);
  void SetBlue(double v);
  void SetGray(double v);

  constexpr uint8_t Red() const { return r_; }
  constexpr uint8_t Green() const { return g_; }
  constexpr uint8_t Blue() const { return b_; }
  constexpr uint8_t Flag() const { return flag_; }
  constexpr double Gray() const { return grey_; }

  // Equal flags and channels within 2 of each other; the grey level does not count.
  bool operator==(const Color& other) const;
  bool operator!=(const Color& other) const { return !(*this == other); }

  // Darkens towards 15 % for lighting: t in [0, 1] scales by 0.15 + 0.85 t.
  void Shade(double t);
  Color Lighter() const;
  Color Darker() const;
  // Reads hue, saturation and brightness from the source's bytes.
  static Color FromHsb(const Color& source, bool computeGrey);

  // Save record: R, G, B and flag bytes, then the grey level (8 bytes; files
  // of format version below 133 hold a 4-byte float).
  void Write(SaveStream& stream) const;
  void Read(SaveStream& stream);

  // Reads a colour phrase (a colour keyword, "rgb r g b", "gray v" or
  // "hsb h s b") into the colour; answers the keyword matcher's code and
  // leaves the colour as it was when no colour word stands there.
  int Parse(CommandType& interp, int* index = nullptr);
  // A colour phrase read into white; a failure is the parameter error.
  static Color ParseOrDefault(CommandType& interp, int* index = nullptr);

  // The full name of a named colour, else "R... G... B... GS...".
  String Name() const;
  // The keyword of a named colour, else "rgb r g b".
  String KeywordName() const;

 private:
  uint8_t r_ = 255;
  uint8_t g_ = 255;
  uint8_t b_ = 255;
  uint8_t flag_ = 0;
  double grey_ = 0.0;
};

// The named colours.
namespace colors {
inline constexpr Color kBlack = Color::FromBytes(0, 0, 0, 0, 0.0);
inline constexpr Color kBlue = Color::FromBytes(0, 0, 255, 0, 0.2);
inline constexpr Color kGreen = Color::FromBytes(0, 255, 0, 0, 0.25);
inline constexpr Color kCyan = Color::FromBytes(0, 255, 255, 0, 0.3);
inline constexpr Color kRed = Color::FromBytes(255, 0, 0, 0, 0.4);
inline constexpr Color kMagenta = Color::FromBytes(255, 0, 255, 0, 0.45);
inline constexpr Color kOrange = Color::FromBytes(255, 127, 0, 0, 0.55);
inline constexpr Color kBrown = Color::FromBytes(145, 40, 40, 0, 0.5);
inline constexpr Color kLightGray = Color::FromBytes(191, 191, 191, 0, 0.75);
inline constexpr Color kDarkGray = Color::FromBytes(89, 89, 89, 0, 0.35);
inline constexpr Color kLightBlue = Color::FromBytes(127, 127, 255, 0, 0.6);
inline constexpr Color kLightGreen = Color::FromBytes(127, 255, 127, 0, 0.65);
inline constexpr Color kLightCyan = Color::FromBytes(127, 255, 255, 0, 0.7);
inline constexpr Color kLightRed = Color::FromBytes(255, 127, 127, 0, 0.8);
inline constexpr Color kLightMagenta = Color::FromBytes(255, 127, 255, 0, 0.85);
inline constexpr Color kLightOrange = Color::FromBytes(255, 216, 127, 0, 0.95);
inline constexpr Color kYellow = Color::FromBytes(255, 255, 0, 0, 0.9);
inline constexpr Color kWhite = Color::FromBytes(255, 255, 255, 0, 1.0);
// Nothing is drawn in this colour; callers recognise it by equality.
inline constexpr Color kNone = Color::FromBytes(255, 255, 255, 1, 0.0);
}  // namespace colors

// Entry (id AND 511) of the automatic colour table, built on first use.
const Color& AutoColor(int32_t id);

// A dash pattern: up to ten dash lengths; no lengths is a solid line.
class LineStyle {
 public:
  static constexpr int kMaxLengths = 10;
  constexpr LineStyle() = default;
  constexpr LineStyle(std::initializer_list<int32_t> lengths) {
    for (int32_t v : lengths) {
      if (count_ == kMaxLengths) break;
      lengths_[count_++] = v;
    }
  }

  int32_t Count() const { return count_; }
  int32_t Length(int i) const { return lengths_[i]; }
  // Equal counts and equal lengths in use.
  bool operator==(const LineStyle& other) const;
  bool operator!=(const LineStyle& other) const { return !(*this == other); }

 private:
  int32_t lengths_[kMaxLengths] = {};
  int32_t count_ = 0;
};

// The predefined line styles 0 (solid) to 6; numbers outside give the solid line.
constexpr int kPredefinedLineStyles = 7;
const LineStyle& PredefinedLineStyle(int number);

// A font request: a width and height of 0 ask for the system font.
struct FontDesc {
  FontDesc() = default;
  FontDesc(int32_t w, int32_t h, int32_t k, uint8_t s) : width(w), height(h), kind(k), style(s) {}

  enum Style : uint8_t { kBold = 1, kItalic = 2, kFixedPitch = 4 };

  int32_t width = 0;
  int32_t height = 0;
  int32_t kind = 0;  // passed to the device unchanged
  uint8_t style = 0;
  String faceName;  // empty: any face
};

// What a device reports for the font it realised.
struct FontInfo {
  int32_t style = 0;  // bit 0 bold, bit 1 italic, bit 3 a device font
  int32_t kind = 3;
  String faceName = "None";
  uint16_t ascent = 0;
  uint16_t descent = 0;
  uint16_t leading = 0;
  uint16_t averageWidth = 0;
  uint16_t lineHeight = 0;
  int32_t height = 0;
  int32_t averageCharWidth = 0;
  uint32_t nativeFont = 0;
};
