#include "devices/plot_file_device.h"

#include "devices/canvas.h"

PlotFileDevice::~PlotFileDevice() {
  if (current_) {
    current_->attached_ = false;
    current_->modeWord_ = 1;
    current_ = nullptr;
  }
  if (target_) {
    target_->attached_ = false;
    target_ = nullptr;
  }
  while (CanvasState* s = states_) {
    Unlink(s);
    s->device_ = nullptr;
    s->modeWord_ = 1;
  }
}

String PlotFileDevice::FileFilter() { return "Output file,*.plt"; }
int PlotFileDevice::ReservedQuery() { return 0; }
void PlotFileDevice::SetDeviceWord2(int32_t) {}
int PlotFileDevice::GetStep() { return 0; }
bool PlotFileDevice::SettingsDialog(String&) { return false; }

void PlotFileDevice::Link(CanvasState* s) {
  s->prev_ = nullptr;
  s->next_ = states_;
  if (states_) states_->prev_ = s;
  states_ = s;
}

void PlotFileDevice::Unlink(CanvasState* s) {
  if (s->prev_)
    s->prev_->next_ = s->next_;
  else if (states_ == s)
    states_ = s->next_;
  if (s->next_) s->next_->prev_ = s->prev_;
  s->next_ = s->prev_ = nullptr;
}

void PlotFileDevice::SelectState(CanvasState* s) {
  if (current_) current_->attached_ = false;
  current_ = s;
  if (!s) return;
  if (s->device_ != this) {
    if (PlotFileDevice* old = s->device_) {
      if (old->current_ == s) old->current_ = nullptr;
      old->Unlink(s);
    }
    s->device_ = this;
    Link(s);
  }
  s->attached_ = true;
  SetColor(s->color_);
  SetBackColor(s->backColor_);
  SetPenWidth(s->penWidth_);
  SetLineStyle(s->style_);
  s->font_ = SelectFont(s->fontRequest_);
  SetTextAlign(s->vAlign_, s->hAlign_);
  SetDrawMode(s->drawMode_);
  MoveTo(s->point_);
}

void PlotFileDevice::SetTarget(CanvasTarget* t) {
  if (target_) target_->attached_ = false;
  target_ = t;
  if (!t) {
    SetViewRect(nullptr);
    SetWindow(nullptr);
    SetClipRect(nullptr);
    SetRegion(RegionRef());
    SetBackBuffer(false);
    return;
  }
  if (t->device_ && t->device_ != this && t->device_->target_ == t) t->device_->target_ = nullptr;
  t->attached_ = true;
  t->device_ = this;
  SetWindow(t->window_);
  SetClipRect(t->ClipRect());
  PixelRect view;
  if (const PixelRect* clip = t->ClipRect()) {
    view = *clip;
  } else {
    PixelSize size = GetSize();
    view = {0, 0, size.width, size.height};
  }
  SetViewRect(&view);
  SetRegion(t->region_);
  SetBackBuffer(t->backBuffer_);
}
