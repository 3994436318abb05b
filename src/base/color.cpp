#include "base/color.h"

#include <array>
#include <cmath>

#include "base/app.h"
#include "base/command.h"
#include "base/message.h"
#include "base/savestream.h"

namespace {

double Clamp01(double v) {
  if (!(v > 0.0)) return 0.0;  // also a value that is not a number
  return v < 1.0 ? v : 1.0;
}

uint8_t ToByte(double v) { return static_cast<uint8_t>(Clamp01(v) * 255.0); }

double ComputedGrey(uint8_t r, uint8_t g, uint8_t b) {
  int level = static_cast<int>(0.3 * r + 0.59 * g + 0.11 * b);
  return (level < 255 ? level : 255) / 255.0;
}

bool Near(uint8_t a, uint8_t b) { return (a > b ? a - b : b - a) <= 2; }

// The named colours in the order that Name and KeywordName compare them.
struct Named {
  const Color* color;
  const char* keyword;
  const char* name;
};
constexpr Named kNamed[] = {
    {&colors::kBlack, "black", "Black"},
    {&colors::kBlue, "blue", "Blue"},
    {&colors::kGreen, "green", "Green"},
    {&colors::kCyan, "cyan", "Cyan"},
    {&colors::kRed, "red", "Red"},
    {&colors::kMagenta, "magenta", "Magenta"},
    {&colors::kBrown, "brown", "Brown"},
    {&colors::kOrange, "orange", "Orange"},
    {&colors::kLightGray, "lgray", "Light Gray"},
    {&colors::kDarkGray, "dgray", "Dark Gray"},
    {&colors::kLightBlue, "lblue", "Light Blue"},
    {&colors::kLightGreen, "lgreen", "Light Green"},
    {&colors::kLightCyan, "lcyan", "Light Cyan"},
    {&colors::kLightRed, "lred", "Light Red"},
    {&colors::kLightMagenta, "lmagenta", "Light Magenta"},
    {&colors::kYellow, "yellow", "Yellow"},
    {&colors::kLightOrange, "lorange", "Light Orange"},
    {&colors::kWhite, "white", "White"},
    {&colors::kNone, "none", "None"},
};

const Named* FindNamed(const Color& c) {
  for (const Named& n : kNamed)
    if (*n.color == c) return &n;
  return nullptr;
}

// The phrase keywords; the first 19 name the colours in this order.
const char* const kColorWords =
    "black blue green cyan red magenta orange brown lgray dgray lblue lgreen lcyan lred lmagenta lorange "
    "yellow white none rgb gray hsb ";
constexpr const Color* kByKeyword[] = {
    &colors::kBlack,       &colors::kBlue,       &colors::kGreen,     &colors::kCyan,      &colors::kRed,
    &colors::kMagenta,     &colors::kOrange,     &colors::kBrown,     &colors::kLightGray, &colors::kDarkGray,
    &colors::kLightBlue,   &colors::kLightGreen, &colors::kLightCyan, &colors::kLightRed,  &colors::kLightMagenta,
    &colors::kLightOrange, &colors::kYellow,     &colors::kWhite,     &colors::kNone,
};
constexpr int kRgbWord = 20;
constexpr int kGrayWord = 21;

String Fixed5(double v, int width) { return DoubleToString(v, 5, width, 0); }

}  // namespace

Color::Color(double r, double g, double b, uint8_t flag, double grey, bool computeGrey) {
  Set(r, g, b, flag, grey);
  if (computeGrey) grey_ = ComputedGrey(r_, g_, b_);
}

void Color::Set(double r, double g, double b, uint8_t flag, double grey) {
  r_ = ToByte(r);
  g_ = ToByte(g);
  b_ = ToByte(b);
  flag_ = flag;
  grey_ = Clamp01(grey);
}

void Color::SetRed(double v) { r_ = ToByte(v); }
void Color::SetGreen(double v) { g_ = ToByte(v); }
void Color::SetBlue(double v) { b_ = ToByte(v); }
void Color::SetGray(double v) { grey_ = Clamp01(v); }

bool Color::operator==(const Color& o) const {
  return flag_ == o.flag_ && Near(r_, o.r_) && Near(g_, o.g_) && Near(b_, o.b_);
}

void Color::Shade(double t) {
  double f = 0.15 + 0.85 * Clamp01(t);
  r_ = static_cast<uint8_t>(r_ * f);
  g_ = static_cast<uint8_t>(g_ * f);
  b_ = static_cast<uint8_t>(b_ * f);
  grey_ *= f;
}

Color Color::Lighter() const { return Color(r_ / 255.0 + 0.25, g_ / 255.0 + 0.25, b_ / 255.0 + 0.25, 0, grey_ + 0.25); }

Color Color::Darker() const { return Color(r_ / 255.0 - 0.25, g_ / 255.0 - 0.25, b_ / 255.0 - 0.25, 0, grey_ - 0.25); }

// The brightness is the middle of the channel range: top and bottom lie
// symmetrically around it and are cut off at 0 and 1.
Color Color::FromHsb(const Color& source, bool computeGrey) {
  double h = source.r_ / 255.0, s = source.g_ / 255.0, v = source.b_ / 255.0;
  Color out = source;
  double r = 0, g = 0, b = 0;
  double top = v * (1.0 + s);
  if (top > 0.0) {
    double bottom = 2.0 * v - top;
    int sector = static_cast<int>(6.0 * h);
    double f = 6.0 * h - sector;
    double delta = (top - bottom) * f;
    double up = bottom + delta, down = top - delta;
    // A hue of 1 is the full circle: red again.
    switch (sector % 6) {
      case 0:
        r = top;
        g = up;
        b = bottom;
        break;
      case 1:
        r = down;
        g = top;
        b = bottom;
        break;
      case 2:
        r = bottom;
        g = top;
        b = up;
        break;
      case 3:
        r = bottom;
        g = down;
        b = top;
        break;
      case 4:
        r = up;
        g = bottom;
        b = top;
        break;
      default:
        r = top;
        g = bottom;
        b = down;
        break;
    }
  }
  out.r_ = ToByte(r);
  out.g_ = ToByte(g);
  out.b_ = ToByte(b);
  if (computeGrey) out.grey_ = ComputedGrey(out.r_, out.g_, out.b_);
  return out;
}

void Color::Write(SaveStream& stream) const {
  stream.WriteU8(r_);
  stream.WriteU8(g_);
  stream.WriteU8(b_);
  stream.WriteU8(flag_);
  stream.WriteF64(grey_);
}

void Color::Read(SaveStream& stream) {
  r_ = stream.ReadU8();
  g_ = stream.ReadU8();
  b_ = stream.ReadU8();
  flag_ = stream.ReadU8();
  grey_ = CurrentRestoreVersions().format < 133 ? stream.ReadF32() : stream.ReadF64();
}

int Color::Parse(CommandType& interp, int* index) {
  int& idx = index ? *index : interp.TokenIndex();
  int word = 0;
  if (int code = interp.MatchKeyword(MessageText(kColorWords).c_str(), word, &idx)) return code;
  if (word < kRgbWord) {
    *this = *kByKeyword[word - 1];
  } else if (word == kRgbWord) {
    double r = interp.GetReal(&idx);
    double g = interp.GetReal(&idx);
    double b = interp.GetReal(&idx);
    *this = Color(r, g, b, 0, 0.0, true);
  } else if (word == kGrayWord) {
    double v = interp.GetReal(&idx);
    SetRed(v);
    SetGreen(v);
    SetBlue(v);
    SetGray(v);
  } else {
    double h = interp.GetReal(&idx);
    double s = interp.GetReal(&idx);
    double b = interp.GetReal(&idx);
    Color scratch;
    scratch.Set(h, s, b, 0, b);
    *this = FromHsb(scratch, true);
  }
  return CommandType::kOk;
}

Color Color::ParseOrDefault(CommandType& interp, int* index) {
  Color c;
  if (int code = c.Parse(interp, index)) interp.ThrowParamError(code, index);
  return c;
}

String Color::Name() const {
  if (const Named* n = FindNamed(*this)) return MessageText(n->name);
  return "R" + Fixed5(r_ / 255.0, 6) + " G" + Fixed5(g_ / 255.0, 6) + " B" + Fixed5(b_ / 255.0, 6) + " GS" +
         Fixed5(grey_, 6);
}

String Color::KeywordName() const {
  if (const Named* n = FindNamed(*this)) return MessageText(n->keyword);
  return "rgb " + Fixed5(r_ / 255.0, 5) + " " + Fixed5(g_ / 255.0, 5) + " " + Fixed5(b_ / 255.0, 5);
}

// ---------------------------------------------------------------------------
// The automatic colours

namespace {
constexpr int kAutoColors = 512;

// Hues in a coarse-to-fine order, so that neighbouring ids differ clearly:
// every 256th position first, then every 128th not yet taken, and so on.
std::array<Color, kAutoColors> BuildAutoColorTable() {
  std::array<double, kAutoColors> hue{};
  std::array<bool, kAutoColors> taken{};
  int k = 0;
  for (int step = 256; k<kAutoColors; step = step> 1 ? step / 2 : 1) {
    for (int p = 0; p < kAutoColors && k < kAutoColors; p += step) {
      if (taken[static_cast<size_t>(p)]) continue;
      taken[static_cast<size_t>(p)] = true;
      double h = p / 640.0 + 23.0 / 30.0;
      if (h > 1.0) h -= 1.0;
      hue[static_cast<size_t>(k++)] = h;
    }
  }
  hue[0] = 2.0 / 3.0;
  std::array<Color, kAutoColors> table;
  for (int i = 0; i < kAutoColors; ++i) {
    Color scratch;
    scratch.Set(hue[static_cast<size_t>(i)], 1.0 - 0.5 * (i & 1), 0.5, 1, 0.5);
    table[static_cast<size_t>(i)] = Color::FromHsb(scratch, true);
  }
  return table;
}
}  // namespace

const Color& AutoColor(int32_t id) {
  static const std::array<Color, kAutoColors> table = BuildAutoColorTable();
  return table[static_cast<size_t>(id & (kAutoColors - 1))];
}

// ---------------------------------------------------------------------------
// Line styles

bool LineStyle::operator==(const LineStyle& o) const {
  if (count_ != o.count_) return false;
  for (int i = 0; i < count_; ++i)
    if (lengths_[i] != o.lengths_[i]) return false;
  return true;
}

const LineStyle& PredefinedLineStyle(int number) {
  static constexpr LineStyle kStyles[kPredefinedLineStyles] = {
      LineStyle{},     LineStyle{10, 10}, LineStyle{2, 5}, LineStyle{24, 15}, LineStyle{2, 6, 20, 6, 2, 6},
      LineStyle{5, 5}, LineStyle{1, 1},
  };
  return kStyles[number >= 0 && number < kPredefinedLineStyles ? number : 0];
}
