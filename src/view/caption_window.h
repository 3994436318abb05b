// The caption strip beside a view's drawing: the program's name as a title,
// two text columns with their own line cursors for the view's legend and the
// items' legends, a stack of up to ten status lines, and the customer lines
// at its foot. Lines that would fall below its foot are not drawn, and the
// cursor still moves, so nothing after them is drawn either.
#pragma once

#include <cstdint>

#include "base/color.h"
#include "base/string.h"
#include "view/view_window.h"

class ViewPort;

class CaptionWindow : public ViewWindow {
 public:
  static constexpr int kMaxStatus = 10;

  explicit CaptionWindow(ViewPort* view);
  ~CaptionWindow() override;

  // Starts the caption of a drawing: title, fonts, cursors, footer, then the
  // view's own lines.
  void NewPage();
  // A line in the left column. A colour of kNoColor is the view's
  // foreground; a heading takes the heading font and a little more room;
  // erasing draws the line in the background colour.
  void WriteCaptionLine(const String& text, ColorRef color = kNoColor, bool heading = false, bool erase = false);
  // A line in the right column.
  void WriteCaptionRight(const String& text, ColorRef color = kNoColor);
  // Ends a block: both cursors go below the lower one, and a rule is drawn.
  void DrawCaptionRule(ColorRef color = kNoColor, int penWidth = 0);
  // "   Linestyle" and a sample line in the style.
  void LineStyleLegend(const LineStyle& style, int penWidth, ColorRef color);
  // A filled box of the colour (its grey off colour) and the text.
  void ColorBoxLegend(const String& text, ColorRef color, const Color& value);
  // Status lines, on the screen only.
  void PushStatus(const String& text, ColorRef color = kNoColor);
  void PopStatus();

  // The device colour of a colour, or kNoColor without a device.
  ColorRef ColorIndex(const Color& color);

  int32_t LineHeight() const { return lineHeight_; }
  int32_t LeftY() const { return leftY_; }
  int32_t RightY() const { return rightY_; }
  int32_t LeftX() const { return leftX_; }
  int32_t RightX() const { return rightX_; }
  int32_t Bottom() const { return bottom_; }
  int StatusCount() const { return statusCount_; }
  const FontDesc& TextFont() const { return textFont_; }
  const FontDesc& CaptionFont() const { return captionFont_; }

  // The border drag: the pointer at the inner edge resizes the caption.
  int32_t DefaultHandling(const GuiEvent& event) override;
  bool Dragging() const { return dragging_; }

 private:
  // The colour of a line: the foreground for kNoColor and in grey scale.
  ColorRef LineColor(ColorRef color) const;
  void Realise(const FontDesc& request);
  bool InEdgeZone(int32_t x) const;
  void DrawDragLine();

  ViewPort* port_;
  FontDesc textFont_;
  FontDesc captionFont_;
  FontDesc realisedDesc_;
  bool realised_ = false;
  FontInfo realisedFont_;
  int32_t lineHeight_ = 0;
  int32_t leftX_ = 0;
  int32_t rightX_ = 0;
  int32_t top_ = 0;
  int32_t leftY_ = 0;
  int32_t rightY_ = 0;
  int32_t bottom_ = 1000000000;
  int statusCount_ = 0;
  int32_t statusY_[kMaxStatus] = {};
  String statusText_[kMaxStatus];
  bool dragging_ = false;
  PixelPoint dragPoint_;
  CanvasState dragState_;
};
