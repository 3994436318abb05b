// A view port: one named view of the model. It holds its plot items, its
// camera (a 3-D camera, or the 2-D extent of a plan view), a cutting plane,
// caption and title settings and two colours. On an output surface (a canvas
// of a file device, later a window) it lays out its windows (the drawing,
// the caption strip, the title band), and regenerates: frame, caption,
// titles, items, frame again. A key pressed while the items draw interrupts
// the drawing; a regeneration asked for while one runs makes it draw once
// more instead of nesting.
#pragma once

#include <cstdint>
#include <memory>

#include "base/color.h"
#include "base/except.h"
#include "base/linklist.h"
#include "base/plane.h"
#include "base/string.h"
#include "view/camera.h"
#include "view/plot_items.h"
#include "view/view_id.h"
#include "view/view_window.h"

class CaptionWindow;
class Canvas;
class CommandType;
class ConsoleStream;
class SaveStream;
class TextOStream;
class ZoltArray;

// Errors of views and of their plot items.
TERRAX_DERIVED_EXCEPT(ViewExcept, KWRExcept);
// A view identity that names no view.
TERRAX_DERIVED_EXCEPT(ViewNotFoundExcept, ViewExcept);

// A key pressed while a view draws: the drawing stops.
class ViewKeyExcept : public KWRExcept {
 public:
  ViewKeyExcept() : KWRExcept("") {}
};

// How often a drawing view asks the keyboard, in milliseconds (0: always).
int32_t& KeyPollInterval();

class ViewPort : public LinkListNode, public Camera, public ViewHost {
 public:
  // Change masks.
  static constexpr int32_t kAll = -1;
  static constexpr int32_t kRedraw = 1;
  static constexpr int32_t kReset = 2;
  static constexpr int32_t kPlaneMoved = 8;

  explicit ViewPort(uint32_t typeCode = 0);
  ~ViewPort() override;
  ViewPort(const ViewPort&) = delete;
  ViewPort& operator=(const ViewPort&) = delete;

  // The view record (camera, plane, id, items, flags, colours).
  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;
  void RemapPointers() override;

  // Back to the defaults of a new view; items, plane, regeneration, the
  // 3-D flag and the automatic background stay.
  virtual void ResetSettings();
  // Lays the windows out on the surface.
  virtual void Arrange();
  // Draws the view; true when a key interrupted it.
  bool Regenerate(int32_t mask, const String& text) override;
  // Redraws after a change, when the view is shown and regenerates by itself.
  void Update(int32_t mask, const String& text) override;
  // Deletes the windows and ends the output of the surface.
  virtual void Close();
  // One page on the current hardcopy device.
  virtual void Hardcopy(CommandType& interp);
  // The movie hooks of the current movie type; nothing without one.
  virtual void MovieBegin(CommandType& interp);
  virtual void MovieEnd();
  virtual void MovieSnap();
  virtual uint32_t MovieQuery();
  // Settings of another view; its items as copies.
  virtual void CopySettings(ViewPort& other, bool copyItems, bool copySettings);
  // Called between drawing steps: throws ViewKeyExcept when a key (on the
  // screen) or ESC (elsewhere) was pressed, or when the drawing is stale.
  void PollKey();
  // The view's own caption lines.
  virtual void DrawCaption();
  // The title lines.
  virtual void DrawTitles();
  // The calculation step shown in the caption; 0 for a plain view.
  virtual uint32_t CurrentStep() { return 0; }
  // Shows the view; without a user interface it only keeps the stream.
  virtual void OpenAndWait(ConsoleStream& stream);

  // Keys of the view, then of the camera: a change mask.
  int OnKey(int32_t key) override;
  // One settings phrase: the view's own keywords, then the camera's. 0 when
  // a phrase was read, 2 at the end of the line, 3 for a word neither knows.
  int ParseKeyword(CommandType& interp) override;
  // The settings as "plot set" lines that ParseKeyword reads back.
  virtual void ExportSettings(TextOStream& out);
  // The item sub-commands (add set modify clear reset subtract move): 0 when
  // one ran, else the keyword match's code with nothing done.
  int EditItems(CommandType& interp);
  // New items from the rest of the line, appended in order; a word that no
  // item type takes is the parameter error and nothing is added.
  bool AddItems(CommandType& interp);
  // Item n (the next integer) reads its settings from the rest of the line.
  void ModifyItem(CommandType& interp);
  void ClearItems() { items_->Clear(); }
  // The view's listing: identity, camera, settings, cutting plane.
  virtual void List(TextOStream& out);

  // The cutting plane's code of a segment (1 crossing from behind, 8 from in
  // front, 2 wholly in front, 4 wholly behind), seen from the eye's side.
  int ClipCode(const Vec3& a, const Vec3& b, Vec3* crossing = nullptr, double* t = nullptr) const;

  void SetId(const ViewId& request);
  const ViewId& Id() const { return id_; }
  // A fraction in [0.05, 0.5]; a change re-arranges and redraws.
  void SetCaptionSize(double fraction);
  void SetWindowRect(double left, double top, double right, double bottom);
  // The four scripting arrays that an extracting drawing fills, and their length.
  void SetArrays(ZoltArray* const arrays[4], int32_t count);
  ZoltArray* const* Arrays() const { return arrays_; }
  int32_t ArrayCount() const { return arrayCount_; }
  void SetInteractive(bool on);
  // The item list's listing, and a notification for every item.
  void ListItems(TextOStream& out) { items_->List(out); }
  void NotifyItems(int32_t value) { items_->NotifyAll(value); }

  // Where the view draws (an output canvas), or none.
  Canvas* Surface() const { return surface_; }
  void SetSurface(Canvas* surface) { surface_ = surface; }
  ViewWindow* DrawingWindow() const { return viewWindow_.get(); }
  CaptionWindow* Caption() const { return captionWindow_.get(); }
  ViewWindow* TitleWindow() const { return titleWindow_.get(); }
  PlotItemList& Items() { return *items_; }
  // The plot items give way to another list (for tests and the plot items).
  void SetItems(std::unique_ptr<PlotItemList> items) { items_ = std::move(items); }

  Plane& CuttingPlane() { return plane_; }
  const Plane& CuttingPlane() const { return plane_; }
  double PlaneSide() const { return planeSide_; }
  bool ThreeD() const { return threeD_; }
  void SetThreeD(bool on) { threeD_ = on; }
  bool Colour() const { return colour_; }
  void SetColour(bool on) { colour_ = on; }
  bool DrawsInColour() const { return drawsInColour_; }
  bool CaptionOn() const { return captionOn_; }
  void SetCaptionOn(bool on) { captionOn_ = on; }
  bool CaptionLeft() const { return captionLeft_; }
  void SetCaptionLeft(bool on) { captionLeft_ = on; }
  double CaptionSize() const { return captionSize_; }
  bool TitleOn() const { return titleOn_; }
  void SetTitleOn(bool on) { titleOn_ = on; }
  bool TitleTop() const { return titleTop_; }
  void SetTitleTop(bool on) { titleTop_ = on; }
  int TitleLines() const { return titleLines_; }
  const String& ViewTitle() const { return viewTitle_; }
  void SetViewTitle(const String& title) { viewTitle_ = title; }
  bool AutoRegenerate() const { return autoRegenerate_; }
  void SetAutoRegenerate(bool on) { autoRegenerate_ = on; }
  bool AutoBackground() const { return autoBackground_; }
  void SetAutoBackground(bool on) { autoBackground_ = on; }
  const Color& Background() const { return background_; }
  void SetBackground(const Color& c) { background_ = c; }
  const Color& Foreground() const { return foreground_; }
  void SetForeground(const Color& c) { foreground_ = c; }
  ColorRef ForegroundIndex() const { return foregroundIndex_; }
  ColorRef BackgroundIndex() const { return backgroundIndex_; }
  const double* WindowRect() const { return windowRect_; }
  bool Busy() const { return busy_; }
  bool RedrawPending() const { return redrawPending_; }
  bool Interactive() const { return interactive_; }
  ConsoleStream* InterruptStream() const { return interruptStream_; }
  void SetInterruptStream(ConsoleStream* stream) { interruptStream_ = stream; }
  bool Extracting() const { return extracting_; }
  void SetExtracting(bool on) { extracting_ = on; }

 protected:
  // The drawing window of a new arrangement: a camera window in 3-D, an
  // extent window in 2-D.
  virtual std::unique_ptr<ViewWindow> MakeDrawingWindow();
  // One pass of the regeneration; ViewKeyExcept passes through.
  void DrawPass(int32_t mask, const String& text);
  void WindowClosing(ViewWindow* window) override;
  // Draws on a surface between its begin and end of output; the message of
  // an interruption goes to the stream.
  void OutputTo(Canvas* surface, CommandType& interp, const char* interrupted);

 private:
  void DeleteWindows();
  // The step of the Page keys: the plane's own, or the camera's move
  // increment while the plane's is automatic.
  double PlaneStep() const;

  double windowRect_[4] = {0, 0, 0, 0};
  bool redrawPending_ = false;
  Canvas* surface_ = nullptr;
  bool busy_ = false;
  bool colour_ = true;
  bool captionOn_ = true;
  bool captionLeft_ = true;
  bool titleOn_ = true;
  bool titleTop_ = true;
  bool autoRegenerate_ = true;
  bool threeD_ = true;
  bool interactive_ = false;
  int titleLines_ = 0;
  String viewTitle_;
  double captionSize_ = 0.3;
  double planeSide_ = 1.0;
  bool autoBackground_ = true;
  bool drawsInColour_ = true;
  Color background_ = colors::kLightGray;
  Color foreground_ = colors::kBlack;
  ColorRef backgroundIndex_ = 0xFFFFFF;
  ColorRef foregroundIndex_ = 0;
  // Declared before the windows: the windows go first.
  std::unique_ptr<PlotItemList> items_;
  std::unique_ptr<ViewWindow> viewWindow_;
  std::unique_ptr<ViewWindow> titleWindow_;
  std::unique_ptr<CaptionWindow> captionWindow_;
  ViewId id_;
  Plane plane_;
  ConsoleStream* interruptStream_ = nullptr;
  ZoltArray* arrays_[4] = {nullptr, nullptr, nullptr, nullptr};
  int32_t arrayCount_ = 0;
  bool extracting_ = false;
  FontInfo titleFont_;
  // When the keyboard was last asked, and calls since the clock was read.
  bool polled_ = false;
  uint32_t lastPoll_ = 0;
  uint32_t pollCalls_ = 0;
};
