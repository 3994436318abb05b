#include "view/view_port.h"

#include <cmath>

#include "base/app.h"
#include "base/command.h"
#include "base/stream.h"
#include "base/system.h"
#include "devices/canvas.h"
#include "platform/terminal_device.h"
#include "view/caption_window.h"

int32_t& KeyPollInterval() {
  static int32_t interval = 500 * 1000;
  return interval;
}

ViewPort::ViewPort(uint32_t typeCode) : items_(MakePlotItemList(*this)) {
  SetTypeCode(typeCode);
  ResetSettings();
}

ViewPort::~ViewPort() {
  // The windows first: they belong to the camera part as well.
  interruptStream_ = nullptr;
  DeleteWindows();
}

void ViewPort::ResetSettings() {
  SetDefaults();
  ResetExtent();
  colour_ = true;
  captionOn_ = true;
  captionSize_ = 0.3;
  captionLeft_ = true;
  foreground_ = colors::kBlack;
  background_ = colors::kLightGray;
  busy_ = false;
  titleOn_ = true;
  titleTop_ = true;
  viewTitle_ = String();
}

void ViewPort::CopySettings(ViewPort& other, bool copyItems, bool copySettings) {
  if (copySettings) {
    CopyFrom(other);
    colour_ = other.colour_;
    captionOn_ = other.captionOn_;
    captionLeft_ = other.captionLeft_;
    titleOn_ = other.titleOn_;
    titleTop_ = other.titleTop_;
    titleLines_ = other.titleLines_;
    viewTitle_ = other.viewTitle_;
    captionSize_ = other.captionSize_;
    foreground_ = other.foreground_;
    background_ = other.background_;
    plane_ = other.plane_;
  }
  if (copyItems) items_->CopyFrom(*other.items_, *this);
}

void ViewPort::RemapPointers() { items_->RemapPointers(); }

int ViewPort::ClipCode(const Vec3& a, const Vec3& b, Vec3* crossing, double* t) const {
  const double pa[3] = {a.x, a.y, a.z}, pb[3] = {b.x, b.y, b.z};
  const double d1 = plane_.SignedDistance(pa), d2 = plane_.SignedDistance(pb);
  int code;
  if (d1 * d2 <= 0) {
    const double sum = std::fabs(d1) + std::fabs(d2);
    const double s = sum > 0 ? std::fabs(d1) / sum : 0.0;
    if (crossing) *crossing = a + (b - a) * s;
    if (t) *t = s;
    code = d1 < 0 ? 1 : d2 <= 0 ? 8 : 1;
  } else {
    code = d1 < 0 ? 2 : 4;
  }
  if (planeSide_ < 0) {
    switch (code) {
      case 1:
        return 8;
      case 2:
        return 4;
      case 4:
        return 2;
      case 8:
        return 1;
      default:
        break;
    }
  }
  return code;
}

void ViewPort::SetId(const ViewId& request) {
  if (request.HasNumber()) id_.SetNumber(request.Number());
  if (request.HasName()) id_.SetName(request.Name());
}

void ViewPort::SetCaptionSize(double fraction) {
  fraction = std::fmin(std::fmax(fraction, 0.05), 0.5);
  if (fraction == captionSize_) return;
  captionSize_ = fraction;
  if (!captionOn_) return;
  Arrange();
  Regenerate(3, String());
}

void ViewPort::SetWindowRect(double left, double top, double right, double bottom) {
  windowRect_[0] = left;
  windowRect_[1] = top;
  windowRect_[2] = right;
  windowRect_[3] = bottom;
}

void ViewPort::SetArrays(ZoltArray* const arrays[4], int32_t count) {
  for (int i = 0; i < 4; ++i) arrays_[i] = arrays[i];
  arrayCount_ = count;
}

void ViewPort::SetInteractive(bool on) { interactive_ = on; }

// ---------------------------------------------------------------------------
// Layout

std::unique_ptr<ViewWindow> ViewPort::MakeDrawingWindow() {
  if (threeD_) return std::make_unique<CameraViewWindow>(this, this);
  return std::make_unique<ExtentViewWindow>(this, this);
}

void ViewPort::DeleteWindows() {
  captionWindow_.reset();
  titleWindow_.reset();
  viewWindow_.reset();
}

void ViewPort::WindowClosing(ViewWindow*) {}

void ViewPort::Arrange() {
  if (!surface_) return;
  const PixelSize size = surface_->GetSize();
  const int32_t w = size.width, h = size.height;
  PixelRect free{0, 0, w - 1, h - 1};

  if (!viewWindow_) {
    viewWindow_ = MakeDrawingWindow();
    viewWindow_->AttachCanvas(surface_);
    items_->MarkAllForRedraw();
  }

  if (!captionOn_) {
    captionWindow_.reset();
  } else {
    if (!captionWindow_) {
      captionWindow_ = std::make_unique<CaptionWindow>(this);
      captionWindow_->AttachCanvas(surface_);
    }
    const int32_t width = int32_t((free.right - free.left) * captionSize_);
    PixelRect r = free;
    if (captionLeft_) {
      r.right = free.left + width;
      free.left += width;
    } else {
      r.left = free.right - width;
      free.right -= width;
    }
    captionWindow_->SetRect(r);
  }

  titleLines_ = (JobTitle().IsEmpty() ? 0 : 1) + (viewTitle_.IsEmpty() ? 0 : 1);
  if (!titleOn_ || titleLines_ == 0) {
    titleWindow_.reset();
  } else {
    if (!titleWindow_) {
      titleWindow_ = std::make_unique<ViewWindow>(this, nullptr);
      titleWindow_->AttachCanvas(surface_);
    }
    FontDesc request(w / 120, h / 35, 0, 0);
    request.faceName = "Arial";
    titleFont_ = titleWindow_->SetFont(request);
    const int32_t band = (titleLines_ * titleFont_.height * 3) >> 1;
    PixelRect r = free;
    if (titleTop_) {
      r.bottom = free.top + band;
      free.top += band;
    } else {
      r.top = free.bottom - band;
      free.bottom -= band;
    }
    titleWindow_->SetRect(r);
  }

  viewWindow_->SetRect(free);
  viewWindow_->State().SetBackColor(0xFFFFFF);
  viewWindow_->State().SetColor(0);
  SetInteractive(interactive_);
  InvalidateMatrix();
}

// ---------------------------------------------------------------------------
// Drawing

bool ViewPort::Regenerate(int32_t mask, const String& text) {
  if (!viewWindow_ || !items_->NeedsRedraw(mask)) return false;
  if (busy_) {
    redrawPending_ = true;
    return false;
  }
  bool interrupted = false;
  do {
    redrawPending_ = false;
    busy_ = true;
    interrupted = false;
    try {
      DrawPass(mask, text);
    } catch (const ViewKeyExcept&) {
      interrupted = !redrawPending_;
    } catch (const MemExcept&) {
      busy_ = false;
      throw;
    } catch (const ESCInterrupt&) {
      busy_ = false;
      throw;
    } catch (const KWRExcept& e) {
      // A failing item or device ends the pass; the picture stays as far
      // as it came, and the message is not lost.
      if (e.IsFatal()) {
        busy_ = false;
        throw;
      }
      if (interruptStream_) interruptStream_->ReportError(e);
    }
    busy_ = false;
  } while (redrawPending_);
  return interrupted;
}

void ViewPort::DrawPass(int32_t mask, const String& text) {
  ViewWindow& window = *viewWindow_;
  if (!threeD_) {
    window.FitExtent();
    planeSide_ = 1.0;
  } else {
    // The automatic values are fitted at the first picture with a model to fit.
    if (AutoCenter() || AutoDistance() || AutoSize() || (GetMode() == kFirstPerson && AutoPosition()))
      InvalidateMatrix();
    if (!MatrixValid()) Rebuild();
    const double* n = plane_.Normal();
    const Vec3& d = Direction();
    planeSide_ = d.x * n[0] + d.y * n[1] + d.z * n[2] >= 0 ? 1.0 : -1.0;
  }

  PlotFileDevice* device = surface_ ? surface_->Device() : nullptr;
  drawsInColour_ = colour_ && (!device || device->IsColor());
  if (device) {
    if (drawsInColour_) {
      if (autoBackground_ && device->IsScreen()) background_ = colors::kLightGray;
      foregroundIndex_ = device->ToColorRef(foreground_);
      backgroundIndex_ = device->ToColorRef(background_);
    } else {
      foregroundIndex_ = device->ToColorRef(colors::kBlack);
      backgroundIndex_ = device->ToColorRef(colors::kWhite);
    }
  }
  window.State().SetBackColor(backgroundIndex_);
  if (captionWindow_) captionWindow_->State().SetBackColor(backgroundIndex_);
  if (!surface_) return;

  auto frame = [&](ViewWindow& w) {
    w.State().SetPenWidth(1);
    w.State().SetPen(LineStyle());
    w.State().SetColor(foregroundIndex_);
    const PixelSize s = w.Size();
    w.DrawRect({0, 0, s.width, s.height});
  };
  window.Clear();
  frame(window);
  if (captionWindow_) {
    captionWindow_->Clear();
    frame(*captionWindow_);
    captionWindow_->NewPage();
  }
  if (titleWindow_) DrawTitles();
  items_->DrawAll(mask);
  frame(window);

  if (!text.IsEmpty() && captionWindow_) {
    const ColorRef yellow = captionWindow_->ColorIndex(colors::kYellow);
    const std::string& all = text.str();
    for (size_t start = 0; start <= all.size();) {
      size_t end = all.find('\n', start);
      if (end == std::string::npos) end = all.size();
      captionWindow_->WriteCaptionLine(String(all.substr(start, end - start)), yellow);
      start = end + 1;
    }
  }
}

void ViewPort::DrawTitles() {
  if (!titleWindow_) return;
  ViewWindow& w = *titleWindow_;
  w.State().SetBackColor(backgroundIndex_);
  w.State().SetColor(foregroundIndex_);
  w.Clear();
  w.State().SetPenWidth(1);
  w.State().SetPen(LineStyle());
  const PixelSize s = w.Size();
  w.DrawRect({0, 0, s.width, s.height});
  w.State().SetTextAlign(0, 0);
  const int32_t cw = titleFont_.averageCharWidth, ch = titleFont_.height;
  const int32_t x = cw / 2;
  int32_t y = ch / 4;
  if (!JobTitle().IsEmpty()) {
    w.DrawText({x, y}, "Job Title: " + JobTitle());
    y += ch * 3 / 2;
  }
  if (!viewTitle_.IsEmpty()) w.DrawText({x, y}, "View Title: " + viewTitle_);
}

void ViewPort::PollKey() {
  if (!interruptStream_ || !surface_) return;
  if (redrawPending_) throw ViewKeyExcept();
  // Ctrl-C is a flag: asking it costs nothing, so it is asked every time.
  if (TakeInterrupt()) throw ViewKeyExcept();
  const uint32_t interval = uint32_t(std::max(KeyPollInterval(), 0));
  if (interval != 0) {
    // The clock is read every 64th call; the keyboard once per interval,
    // counted from the last time it was asked.
    if ((++pollCalls_ & 63) != 1 && polled_) return;
    const uint32_t now = System::Clock();
    if (polled_ && now - lastPoll_ < interval) return;
    polled_ = true;
    lastPoll_ = now;
  }
  PlotFileDevice* device = surface_->Device();
  const bool pressed = device && device->IsScreen() ? interruptStream_->KeyPressed(0) : interruptStream_->EscPressed();
  if (pressed) throw ViewKeyExcept();
}

void ViewPort::Update(int32_t mask, const String& text) {
  if (!surface_ || !autoRegenerate_) return;
  SetInteractive(true);
  struct Leave {
    ViewPort* view;
    ~Leave() { view->SetInteractive(false); }
  } leave{this};
  for (;;) {
    if (!Regenerate(mask, text)) break;
    if (!interruptStream_) break;
    const int key = interruptStream_->WaitKey();
    if (key == key::kEscape) throw ESCInterrupt();
    mask = OnKey(key);
    if (mask == 0) break;
  }
}

double ViewPort::PlaneStep() const { return plane_.IncrementDefault() ? MoveIncrement() : plane_.MoveIncrement(); }

int ViewPort::OnKey(int32_t k) {
  constexpr int32_t kF3 = key::kVirtualKey | 0x72, kF9 = key::kVirtualKey | 0x78;
  constexpr int32_t kPageUp = key::kVirtualKey | 0x21, kPageDown = key::kVirtualKey | 0x22;
  if (k == kF3) return 0;  // printing from the window's menu: no window yet
  if (k == key::Ctrl('g')) {
    colour_ = !colour_;
    return 1;
  }
  if (k == '+' || k == '-') plane_.SetMoveIncrement(PlaneStep() * (k == '+' ? 1.25 : 0.8));
  if (k == kPageUp || k == kPageDown) {
    if (!items_->AnyOnPlane()) return 0;
    const double step = k == kPageUp ? PlaneStep() : -PlaneStep();
    const double* n = plane_.Normal();
    const double* o = plane_.Origin();
    const double moved[3] = {o[0] + step * n[0], o[1] + step * n[1], o[2] + step * n[2]};
    plane_.SetOrigin(moved);
    plane_.SetFromNormal();
    return kPlaneMoved;
  }
  if (k == kF9) return 1;
  // The item keys run an item's dialog in the view's window, which a view
  // on an output surface does not have.
  if ((k >= (key::kVirtualKey | key::kCtrlKey | 0x30) && k <= (key::kVirtualKey | key::kCtrlKey | 0x39)) ||
      (k >= (key::kVirtualKey | key::kCtrlKey | 0x70) && k <= (key::kVirtualKey | key::kCtrlKey | 0x79)))
    return 0;
  return threeD_ ? Camera::OnKey(k) : ViewExtent::OnKey(k);
}

void ViewPort::Close() {
  DeleteWindows();
  Canvas* surface = surface_;
  surface_ = nullptr;
  interruptStream_ = nullptr;
  if (surface) surface->EndOutput();
}

void ViewPort::OpenAndWait(ConsoleStream& stream) { interruptStream_ = &stream; }
