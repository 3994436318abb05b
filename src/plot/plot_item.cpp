#include "plot/plot_item.h"

#include <algorithm>
#include <cmath>

#include "base/app.h"
#include "base/command.h"
#include "base/savestream.h"
#include "base/stream.h"
#include "view/caption_window.h"
#include "view/view_port.h"

namespace {

// The automatic colour sequence; black is not in it.
const Color kAutoSequence[] = {colors::kBlue,     colors::kGreen,        colors::kCyan,       colors::kRed,
                               colors::kMagenta,  colors::kBrown,        colors::kOrange,     colors::kLightGray,
                               colors::kDarkGray, colors::kLightBlue,    colors::kLightGreen, colors::kLightCyan,
                               colors::kLightRed, colors::kLightMagenta, colors::kYellow,     colors::kLightOrange,
                               colors::kWhite};

bool IsNone(const Color& c) { return c.Flag() != 0; }

Color GreyOf(const Color& c) {
  const double g = c.Gray();
  return Color(g, g, g, c.Flag(), g);
}

// A colour of the files written before doubles: channels and grey as floats, then the flag.
Color ReadOldColor(SaveStream& s) {
  const double r = s.ReadF32(), g = s.ReadF32(), b = s.ReadF32(), grey = s.ReadF32();
  const uint8_t flag = s.ReadU8();
  return Color(r, g, b, flag, grey);
}

}  // namespace

const LineStyle& MonochromeStyle(int n) {
  static const LineStyle styles[6] = {LineStyle(), {10, 10}, {2, 5}, {24, 15}, {2, 6, 20, 6, 2, 6}, {5, 5}};
  return styles[n >= 0 && n < 6 ? n : 0];
}

int PenStyleFromWidth(double grey, LineStyle& style) {
  double g = grey - 0.15;
  if (!(g > 0)) g = 0;
  int n = int(std::floor(g * 20 + 0.5));
  n = std::min(n, 17);
  style = MonochromeStyle(n % 6);
  return n / 6;
}

// ---------------------------------------------------------------------------
// Construction

PlotItemBase::PlotItemBase(int32_t typeId) { SetTypeCode(uint32_t(typeId)); }

PlotItemBase::PlotItemBase(ViewPort* owner, int32_t typeId, uint32_t colourCount)
    : owner_(owner), colourCount_(colourCount) {
  SetTypeCode(uint32_t(typeId));
  if (colourCount >= 1) colours_.push_back({colors::kBlack, kNoColor});
  if (colourCount > 1) colours_.push_back({colors::kRed, kNoColor});
}

PlotItemBase::~PlotItemBase() = default;

ViewWindow* PlotItemBase::Window() const { return owner_ ? owner_->DrawingWindow() : nullptr; }

ColorRef PlotItemBase::ForegroundIndex() const { return owner_ ? owner_->ForegroundIndex() : kNoColor; }

bool PlotItemBase::ColourOutput() const { return owner_ && owner_->DrawsInColour(); }

ColorRef PlotItemBase::Match(const Color& c) const {
  PlotFileDevice* device = owner_ && owner_->Surface() ? owner_->Surface()->Device() : nullptr;
  return device ? device->ToColorRef(c) : kNoColor;
}

// ---------------------------------------------------------------------------
// Keywords

void PlotItemBase::ParseAll(CommandType& interp) {
  fillPosition_ = 0;
  if ((flags_ & kRange) && interp.FindToken("range") >= 0) range_.Parse(interp);
  while (interp.HasToken() && Parse(interp) == 0) {
  }
}

// The words after the item's settings are left for the caller: the next
// item of an ADD line, or the leftover check of a modification.
void PlotItemBase::ParseKeywords(CommandType& interp) { ParseAll(interp); }

int PlotItemBase::Parse(CommandType& interp) {
  Color c;
  const int code = c.Parse(interp);
  if (code == 0) {
    if (UsesColorKeys()) return 0;
    if (IsNone(c)) {
      if (colours_.size() > fillPosition_) colours_.resize(fillPosition_);
      return 0;
    }
    if (colourCount_ != 0 && fillPosition_ >= colourCount_)
      throw ViewExcept(FormatText("Maximum number of colors for plotitem %1 exceeded", DisplayName().c_str()));
    if (fillPosition_ < colours_.size())
      colours_[fillPosition_] = {c, kNoColor};
    else
      colours_.push_back({c, kNoColor});
    ++fillPosition_;
    return 0;
  }
  int word = 0;
  if (interp.MatchKeyword("active", word) == 0) {
    active_ = interp.GetBool();
    fullRedraw_ = true;
    return 0;
  }
  if (interp.MatchKeyword("alias", word) == 0) {
    alias_ = interp.GetString();
    return 0;
  }
  if ((flags_ & kScale) && interp.MatchKeyword("scale", word) == 0) {
    scale_ = interp.GetReal();
    return 0;
  }
  if ((flags_ & kMagfac) && interp.MatchKeyword("magfac", word) == 0) {
    magfac_ = interp.GetReal();
    return 0;
  }
  if ((flags_ & kMaximum) && interp.MatchKeyword("maximum", word) == 0) {
    if (interp.MatchKeyword("automatic", word) == 0) {
      autoMaximum_ = true;
      maximum_ = 0.0;
    } else {
      maximum_ = interp.GetReal();
      autoMaximum_ = false;
    }
    return 0;
  }
  if ((flags_ & kIds) && interp.MatchKeyword("id", word) == 0) {
    SetShowIds(interp.GetBool());
    return 0;
  }
  if ((flags_ & kPlane) && interp.MatchKeyword("plane front behind", word) == 0) {
    static const uint8_t bits[] = {0, kOnPlane, kInFront, kBehind};
    planeBits_ ^= bits[word];
    return 0;
  }
  return code == 0 ? 3 : code;
}

// ---------------------------------------------------------------------------
// Listing

void PlotItemBase::List(TextOStream& out) {
  const std::string heading = " Plot Item " + std::to_string(number_) + " - " + DisplayName().str();
  out << heading << "\n" << std::string(heading.size() - 1, '-') << "\n";
  out << "       Active : " << (active_ ? "On" : "Off") << "\n";
  out << "        Alias : " << alias_.str() << "\n";
  for (size_t i = 0; i < colours_.size(); ++i)
    out << "        Color : " << i + 1 << " - " << colours_[i].color.Name().str() << "\n";
  auto sci = [](double v) { return DoubleToString(v, 4, 0, 1).str(); };
  if (flags_ & kScale) out << "        Scale : " << sci(scale_) << "\n";
  if (flags_ & kMagfac) out << "       magfac : " << sci(magfac_) << "\n";
  if (flags_ & kMaximum) out << "      Maximum : " << (autoMaximum_ ? std::string("Auto") : sci(maximum_)) << "\n";
  if (flags_ & kIds) out << "           ID : " << (showIds_ ? "On" : "Off") << "\n";
  if (flags_ & kPlane) {
    out << "        Plane : ";
    if (planeBits_ & kOnPlane) out << " On";
    if (planeBits_ & kBehind) out << " Behind";
    if (planeBits_ & kInFront) out << " Front";
    out << "\n";
  }
  if (flags_ & kRange) {
    out << "   Range Used : \n";
    if (range_.ElementCount() > 0) out << "      " << range_.CommandText().str() << "\n";
  }
}

// ---------------------------------------------------------------------------
// Colours and pens

Color PlotItemBase::GetColor(uint32_t i) {
  const uint32_t n = uint32_t(colours_.size());
  if (!(flags_ & kAutoColors)) {
    if (n == 0) return colors::kNone;
    return colours_[i < n ? i : i % n].color;
  }
  const uint32_t j = n >= 16 ? i : i % 16;
  if (j < n && !IsNone(colours_[j].color)) return colours_[j].color;
  const Color background = owner_ ? owner_->Background() : colors::kWhite;
  for (const Color& candidate : kAutoSequence) {
    if (candidate == background) continue;
    bool taken = false;
    for (const ColorEntry& e : colours_) taken = taken || e.color == candidate;
    if (taken) continue;
    while (colours_.size() <= j) colours_.push_back({colors::kNone, kNoColor});
    colours_[j] = {candidate, Window() ? Match(candidate) : kNoColor};
    return candidate;
  }
  if (j < n) return colors::kNone;
  return n ? colours_[j % n].color : colors::kNone;
}

void PlotItemBase::SetColor(uint32_t i, const Color& c) {
  if (i >= colourCount_) return;
  while (colours_.size() < i) colours_.push_back({colors::kNone, kNoColor});
  if (i < colours_.size())
    colours_[i] = {c, kNoColor};
  else
    colours_.push_back({c, kNoColor});
  if (IsNone(c)) colours_.resize(i);
}

ColorRef PlotItemBase::GetColorIndex(uint32_t i) {
  const uint32_t n = uint32_t(colours_.size());
  if (flags_ & kAutoColors) {
    if (i < n && colours_[i].index != kNoColor) return colours_[i].index;
    const Color c = GetColor(i);
    return IsNone(c) ? kNoColor : Match(c);
  }
  if (n == 0) return kNoColor;
  return colours_[i < n ? i : i % n].index;
}

void PlotItemBase::ClearColors() {
  colours_.clear();
  entryKeys_.clear();
}

void PlotItemBase::SetPen(ColorRef colourIndex, bool useStyles) {
  if (ColourOutput() || !useStyles) {
    state_.SetColor(colourIndex);
    return;
  }
  PlotFileDevice* device = owner_ && owner_->Surface() ? owner_->Surface()->Device() : nullptr;
  const Color c = device && colourIndex != kNoColor ? device->ToColor(colourIndex) : colors::kBlack;
  const double grey = (c.Red() + c.Green() + c.Blue()) / (3.0 * 255.0);
  LineStyle style;
  const int width = PenStyleFromWidth(grey, style);
  state_.SetPen(style);
  state_.SetPenWidth(width);
  state_.SetColor(Match(colors::kBlack));
}

// ---------------------------------------------------------------------------
// Legend, status, drawing through the view

void PlotItemBase::LegendText(const String& text, ColorRef colourIndex, bool heading) {
  CaptionWindow* caption = owner_ ? owner_->Caption() : nullptr;
  if (!caption) return;
  if (colourIndex == kNoColor) colourIndex = GetColorIndex(0);
  caption->WriteCaptionLine(text, colourIndex, heading);
}

void PlotItemBase::LegendLine() {
  if (CaptionWindow* caption = owner_ ? owner_->Caption() : nullptr)
    caption->LineStyleLegend(state_.Pen(), state_.PenWidth(), state_.Color());
}

void PlotItemBase::PushStatus(const char* text) {
  if (CaptionWindow* caption = owner_ ? owner_->Caption() : nullptr) caption->PushStatus(String(text));
}

void PlotItemBase::PopStatus() {
  if (CaptionWindow* caption = owner_ ? owner_->Caption() : nullptr) caption->PopStatus();
}

DVect2 PlotItemBase::ToScreen(const Vec3& p) const {
  DVect2 out;
  if (ViewWindow* w = Window()) w->Project(p, out);
  return out;
}

void PlotItemBase::MoveTo(const Vec3& p) {
  if (ViewWindow* w = Window()) {
    DVect2 v;
    w->Project(p, v);
    w->MoveTo(v, &state_);
  }
}

void PlotItemBase::LineTo(const Vec3& p) {
  if (ViewWindow* w = Window()) {
    DVect2 v;
    w->Project(p, v);
    w->LineTo(v, &state_);
  }
}

void PlotItemBase::DrawLegend(int32_t) {
  if (!Window()) return;
  owner_->PollKey();
  state_.SetBackColor(owner_->BackgroundIndex());
  state_.SetColor(owner_->ForegroundIndex());
  const bool colour = ColourOutput();
  for (ColorEntry& e : colours_) e.index = Match(colour ? e.color : GreyOf(e.color));
  if (owner_->Caption()) {
    ColorRef heading = owner_->ForegroundIndex();
    if (HeadingInItemColor() && !colours_.empty() && colours_[0].index != kNoColor &&
        colours_[0].index != owner_->BackgroundIndex())
      heading = colours_[0].index;
    LegendText(alias_.IsEmpty() ? DisplayName() : alias_, heading, true);
    if ((flags_ & kPlane) && planeBits_) {
      std::string line = "  Plane:";
      if (planeBits_ & kOnPlane) line += " on";
      if (planeBits_ & kBehind) line += " behind";
      if (planeBits_ & kInFront) line += " front";
      LegendText(String(line), ForegroundIndex());
    }
    if (flags_ & kMagfac)
      LegendText(FormatText("  Magfac = %1", DoubleToString(magfac_, 3, 11, 1).c_str()), ForegroundIndex());
  }
  state_.SetPenWidth(0);
  state_.SetPen(LineStyle());
}

// ---------------------------------------------------------------------------
// Save, restore, copy

void PlotItemBase::Save(SaveStream& s) const {
  s.WriteF64(scale_);
  s.WriteF64(magfac_);
  s.WriteF64(maximum_);
  s.WriteU8(autoMaximum_);
  range_.Save(s);
  s.WriteU8(showIds_);
  s.WriteU8(planeBits_);
  s.WriteU32(colourCount_);
  s.WriteI32(number_);
  SaveString(s, alias_);
  s.WriteU32(uint32_t(colours_.size()));
  for (const ColorEntry& e : colours_) {
    e.color.Write(s);
    s.WriteU32(e.index);
  }
  s.WriteU8(active_);
  if (UsesColorKeys() && !entryKeys_.empty() &&
      (colours_.size() != entryKeys_.size() || keyColours_.size() != keys_.size()))
    throw ViewExcept("Color lists out of sync.");
  s.WriteU32(uint32_t(entryKeys_.size()));
  for (int32_t k : entryKeys_) s.WriteI32(k);
  s.WriteU32(uint32_t(keys_.size()));
  for (size_t i = 0; i < keys_.size(); ++i) {
    s.WriteI32(keys_[i]);
    keyColours_[i].Write(s);
  }
}

void PlotItemBase::Restore(SaveStream& s) {
  const int32_t v = CurrentRestoreVersions().format;
  if (v < 133) {
    scale_ = s.ReadF32();
    magfac_ = 0.0;
    if (v > 97) magfac_ = s.ReadF32();
    maximum_ = s.ReadF32();
  } else {
    scale_ = s.ReadF64();
    magfac_ = s.ReadF64();
    maximum_ = s.ReadF64();
  }
  autoMaximum_ = s.ReadU8() != 0;
  range_.Restore(s);
  showIds_ = s.ReadU8() != 0;
  planeBits_ = s.ReadU8();
  colourCount_ = s.ReadU32();
  number_ = s.ReadI32();
  RestoreString(s, alias_);
  const uint32_t n = s.ReadU32();
  s.CheckAvailable(uint64_t(n) * (v < 133 ? 21 : 16));
  colours_.clear();
  for (uint32_t i = 0; i < n; ++i) {
    ColorEntry e;
    if (v >= 133) {
      e.color.Read(s);
      e.index = s.ReadU32();
    } else {
      const double r = s.ReadF32(), g = s.ReadF32(), b = s.ReadF32(), grey = s.ReadF32();
      const uint8_t flag = s.ReadU8();
      e.color = Color(r, g, b, flag, grey);
      e.index = s.ReadU32();
    }
    colours_.push_back(e);
  }
  if (v > 11) active_ = s.ReadU8() != 0;
  if (v >= 132) {
    entryKeys_.clear();
    keys_.clear();
    keyColours_.clear();
    const uint32_t m = s.ReadU32();
    s.CheckAvailable(uint64_t(m) * 4);
    for (uint32_t i = 0; i < m; ++i) entryKeys_.push_back(s.ReadI32());
    const uint32_t k = s.ReadU32();
    s.CheckAvailable(uint64_t(k) * (v >= 133 ? 16 : 21));
    keys_.resize(k);
    keyColours_.assign(k, colors::kWhite);
    for (uint32_t i = 0; i < k; ++i) {
      keys_[i] = s.ReadI32();
      if (v >= 133)
        keyColours_[i].Read(s);
      else
        keyColours_[i] = ReadOldColor(s);
    }
  }
  fullRedraw_ = true;
}

void PlotItemBase::Copy(const PlotItemBase& other) {
  const uint32_t keep = kIds | kAutoColors;
  scale_ = other.scale_;
  magfac_ = other.magfac_;
  maximum_ = other.maximum_;
  autoMaximum_ = other.autoMaximum_;
  range_ = other.range_;
  showIds_ = other.showIds_;
  planeBits_ = other.planeBits_;
  flags_ = (flags_ & keep) | (other.flags_ & ~keep);
  colours_ = other.colours_;
  colourCount_ = other.colourCount_;
  number_ = other.number_;
  alias_ = other.alias_;
  active_ = other.active_;
  keyColours_ = other.keyColours_;
  keys_ = other.keys_;
  entryKeys_ = other.entryKeys_;
  fullRedraw_ = true;
}

// ---------------------------------------------------------------------------
// Types

PlotItemType::PlotItemType(int32_t typeId, const char* keyword, int32_t menuId)
    : typeId_(typeId), keyword_(keyword), menuId_(menuId) {
  if (!PlotItemPrototypeAt(typeId)) RegisterPlotItemPrototype(typeId, this);
}

PlotItem* PlotItemType::CreateFromCommand(CommandType& interp, int& position, ViewPort& view) {
  int word = 0;
  if (interp.MatchKeyword(keyword_, word, &position) != 0) return nullptr;
  return NewInstance(&view);
}

PlotItem* PlotItemType::CreateFromMenu(int32_t id, ViewPort& view) {
  return menuId_ != 0 && id == menuId_ ? NewInstance(&view) : nullptr;
}

PlotItemBase* CreatePlotItem(CommandType& interp, ViewPort& view) {
  const int32_t capacity = PlotItemPrototypeCapacity();
  for (int32_t id = 0; id < capacity; ++id) {
    PlotItemPrototype* prototype = PlotItemPrototypeAt(id);
    if (!prototype) continue;
    int position = interp.TokenIndex();
    if (PlotItem* item = prototype->CreateFromCommand(interp, position, view)) {
      interp.TokenIndex() = position;
      return dynamic_cast<PlotItemBase*>(item);
    }
  }
  return nullptr;
}

PlotItemBase* NewPlotItemOfType(int32_t typeId, ViewPort* owner) {
  auto* type = dynamic_cast<PlotItemType*>(PlotItemPrototypeAt(typeId));
  return type ? type->NewInstance(owner) : nullptr;
}
