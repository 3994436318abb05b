// The view's record in the save file.
#include "base/app.h"
#include "base/savestream.h"
#include "view/view_port.h"

void ViewPort::Save(SaveStream& s) const {
  Camera::Save(s);
  plane_.Save(s);
  id_.Save(s);
  items_->Save(s);
  s.WriteU8(surface_ ? 1 : 0);
  s.WriteU8(colour_);
  s.WriteU8(titleOn_);
  s.WriteU8(titleTop_);
  SaveString(s, viewTitle_);
  s.WriteU8(captionOn_);
  s.WriteU8(captionLeft_);
  s.WriteF64(captionSize_);
  background_.Write(s);
  foreground_.Write(s);
  s.WriteU8(autoRegenerate_);
  s.WriteU8(threeD_);
  for (double v : windowRect_) s.WriteF64(v);
}

void ViewPort::Restore(SaveStream& s) {
  const int32_t format = CurrentRestoreVersions().format;
  Camera::Restore(s);
  plane_.Restore(s);
  id_.Restore(s);
  items_->Restore(s, *this);
  s.ReadFlag();  // whether the view had a window: it opens anew when shown
  colour_ = s.ReadFlag();
  titleOn_ = s.ReadFlag();
  titleTop_ = s.ReadFlag();
  RestoreString(s, viewTitle_);
  captionOn_ = s.ReadFlag();
  captionLeft_ = s.ReadFlag();
  captionSize_ = format >= 133 ? s.ReadF64() : double(s.ReadF32());
  background_.Read(s);
  foreground_.Read(s);
  autoRegenerate_ = s.ReadFlag();
  threeD_ = format > 25 ? s.ReadFlag() != 0 : true;
  // The placement is read and dropped: a restored view opens where a new one would.
  for (int i = 0; i < 4; ++i) format >= 133 ? s.ReadF64() : s.ReadF32();
  for (double& v : windowRect_) v = 0.0;
}
