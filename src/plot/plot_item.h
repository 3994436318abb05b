// The plot-item base: what every layer of a view shares (owner, drawing
// state, scale, maximum, magnification factor, range, colours, alias,
// flags), the common keywords and listing, the colour, pen and legend
// services and the base part of the saved record; and the item types, one
// prototype per type id, through which items are made from command words,
// menu commands and saved type ids.
#pragma once

#include <cstdint>
#include <vector>

#include "base/color.h"
#include "base/except.h"
#include "base/matrix.h"
#include "base/range.h"
#include "base/string.h"
#include "devices/canvas.h"
#include "view/plot_items.h"
#include "view/view_port.h"

class ViewPort;
class ViewWindow;
struct GuiEvent;

// A colour of an item's list and its device colour (kNoColor: not matched).
struct ColorEntry {
  Color color;
  ColorRef index = kNoColor;
};

// The dash pattern and width class of a monochrome pen from a grey level:
// g = grey - 0.15 (0 when not positive), n = round(20 g) at most 17; the
// style is pattern n mod 6, the width class n div 6.
int PenStyleFromWidth(double grey, LineStyle& style);
// The six monochrome dash patterns.
const LineStyle& MonochromeStyle(int n);

class PlotItemBase : public PlotItem {
 public:
  // Which common keywords, listing lines and dialog controls a class offers.
  enum KeywordFlag : uint32_t {
    kScale = 1,
    kMaximum = 2,
    kRange = 4,
    kIds = 8,
    kPlane = 16,
    kAutoColors = 32,
    kMagfac = 64,
  };

  // A prototype: no owner, no colours.
  explicit PlotItemBase(int32_t typeId);
  // An instance of the view with its first colours: black, then red.
  PlotItemBase(ViewPort* owner, int32_t typeId, uint32_t colourCount);
  ~PlotItemBase() override;

  // --- the view's interface
  void ParseKeywords(CommandType& interp) override;
  String Description() const override { return DisplayName(); }
  int32_t Number() const override { return number_; }
  bool Active() const override { return active_; }
  int32_t PlaneBits() const override { return planeBits_; }
  CanvasState& State() override { return state_; }
  ViewPort* Owner() const override { return owner_; }

  // --- the item's own operations
  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;
  void RemapPointers() override { range_.RemapPointers(); }
  virtual bool ShowsIds() const { return showIds_; }
  virtual void SetShowIds(bool on) { showIds_ = on; }
  virtual bool UsesColorKeys() const { return false; }
  // The base draws the common legend lines.
  virtual void Draw(int32_t changeMask) { DrawLegend(changeMask); }
  virtual void Copy(const PlotItemBase& other);
  // 0 when a keyword was consumed; the word stays otherwise.
  virtual int Parse(CommandType& interp);
  virtual void List(TextOStream& out);
  virtual bool IsModelItem() const { return true; }
  virtual bool HeadingInItemColor() const { return true; }
  virtual bool IsAffectedBy(int32_t /*changeMask*/) const { return false; }
  virtual void Notify(int32_t /*value*/) {}
  virtual String DisplayName() const = 0;
  // A new default instance of the same type for the view (or none).
  virtual PlotItemBase* NewInstance(ViewPort* owner) const = 0;
  virtual bool OfferMenuEvent(const GuiEvent&) { return false; }

  // Resets the colour fill position and parses until nothing more is taken.
  void ParseAll(CommandType& interp);

  // --- colours, pens, legend
  uint32_t ColorCount() const { return uint32_t(colours_.size()); }
  uint32_t ColourLimit() const { return colourCount_; }
  Color GetColor(uint32_t i);
  void SetColor(uint32_t i, const Color& c);
  ColorRef GetColorIndex(uint32_t i);
  void ClearColors();
  // Colour mode: the pen takes the colour; monochrome: black with the dash
  // pattern and width of the colour's grey level.
  void SetPen(ColorRef colourIndex, bool useStyles = true);
  void LegendText(const String& text, ColorRef colourIndex = kNoColor, bool heading = false);
  // A legend entry with a line sample in the current pen.
  void LegendLine();
  void PushStatus(const char* text);
  void PopStatus();
  // Projects a model point; (0, 0) without a view window.
  DVect2 ToScreen(const Vec3& p) const;
  void MoveTo(const Vec3& p);
  void LineTo(const Vec3& p);
  // The view's caption colour.
  ColorRef ForegroundIndex() const;
  ViewWindow* Window() const;

  // --- fields
  int32_t TypeId() const { return int32_t(TypeCode()); }
  void SetNumber(int32_t n) { number_ = n; }
  void SetActive(bool on) { active_ = on; }
  bool FullRedraw() const { return fullRedraw_; }
  void SetFullRedraw(bool on) { fullRedraw_ = on; }
  double Scale() const { return scale_; }
  void SetScale(double s) { scale_ = s; }
  double Magfac() const { return magfac_; }
  void SetMagfac(double m) { magfac_ = m; }
  double Maximum() const { return maximum_; }
  bool AutoMaximum() const { return autoMaximum_; }
  const String& Alias() const { return alias_; }
  Range& ItemRange() { return range_; }
  const std::vector<ColorEntry>& Colours() const { return colours_; }
  uint32_t Flags() const { return flags_; }
  void SetOwner(ViewPort* owner) { owner_ = owner; }

 protected:
  // Legend lines common to every item: heading, plane, magnification.
  void DrawLegend(int32_t changeMask);
  void SetKeywordFlags(uint32_t flags) { flags_ = flags; }
  // Whether the view draws in colour on a colour device.
  bool ColourOutput() const;
  // The device's match of a colour; kNoColor without a device.
  ColorRef Match(const Color& c) const;

  ViewPort* owner_ = nullptr;
  CanvasState state_;
  double scale_ = 0.05;
  double maximum_ = 0.0;
  double magfac_ = 0.0;
  Range range_;
  bool showIds_ = false;
  bool autoMaximum_ = true;
  bool fullRedraw_ = true;
  uint8_t planeBits_ = 0;
  std::vector<ColorEntry> colours_;
  uint32_t fillPosition_ = 0;
  uint32_t colourCount_ = 0;
  int32_t number_ = 0;
  String alias_;
  bool active_ = true;
  std::vector<Color> keyColours_;
  std::vector<int32_t> keys_;
  std::vector<int32_t> entryKeys_;
  uint32_t flags_ = 0;
};

// The prototype of one item type: it registers itself under its type id
// (the first of an id wins), answers its keyword and its menu command, and
// makes default instances for restore and copy.
class PlotItemType : public PlotItemPrototype {
 public:
  PlotItemType(int32_t typeId, const char* keyword, int32_t menuId);
  PlotItem* CreateFromCommand(CommandType& interp, int& position, ViewPort& view) override;
  PlotItem* CreateFromMenu(int32_t id, ViewPort& view) override;
  virtual PlotItemBase* NewInstance(ViewPort* owner) const = 0;
  int32_t TypeId() const { return typeId_; }
  // Whether this object is the one registered under its id.
  bool Registered() const { return PlotItemPrototypeAt(typeId_) == this; }

 private:
  int32_t typeId_;
  const char* keyword_;
  int32_t menuId_;
};

// The type of a class T with a constructor T(ViewPort*).
template <class T>
class PlotItemTypeOf : public PlotItemType {
 public:
  using PlotItemType::PlotItemType;
  PlotItemBase* NewInstance(ViewPort* owner) const override { return new T(owner); }
};

// The new item of the first type, in ascending type id, that takes the word
// at the command's cursor; null when none does.
PlotItemBase* CreatePlotItem(CommandType& interp, ViewPort& view);
// A default instance of a saved type id; null when no type has the id.
PlotItemBase* NewPlotItemOfType(int32_t typeId, ViewPort* owner);
