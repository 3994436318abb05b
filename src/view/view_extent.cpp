#include "view/view_extent.h"

#include <algorithm>
#include <cmath>

#include "base/app.h"
#include "base/command.h"
#include "base/message.h"
#include "base/savestream.h"
#include "view/view_window.h"
#include "view/window_event.h"

void ViewExtent::SetExtent(double x0, double y0, double x1, double y1) {
  requested_ = {x0, y0, x1, y1};
  extentDefault_ = false;
  if (autoMoveIncrement_) {
    moveIncrement_ = 0.1 * std::max(x1 - x0, y1 - y0);
    autoMoveIncrement_ = false;
  }
  // Without a window there is nothing to widen the extent to.
  if (extentWindow_)
    extentWindow_->FitExtent();
  else
    visible_ = requested_;
}

void ViewExtent::ResetExtent() {
  requested_ = visible_ = ExtentRect();
  extentDefault_ = true;
  autoMoveIncrement_ = true;
  moveIncrement_ = 1.0;
  if (extentWindow_) extentWindow_->FitExtent();
}

void ViewExtent::SetMoveIncrement(double value) {
  moveIncrement_ = std::fabs(value);
  autoMoveIncrement_ = false;
}

int ViewExtent::OnKey(int32_t code) {
  const double i = moveIncrement_;
  const ExtentRect r = requested_;
  switch (code) {
    case key::kLeft:
      SetExtent(r.x0 + i, r.y0, r.x1 + i, r.y1);
      return 2;
    case key::kRight:
      SetExtent(r.x0 - i, r.y0, r.x1 - i, r.y1);
      return 2;
    case key::kUp:
      SetExtent(r.x0, r.y0 - i, r.x1, r.y1 - i);
      return 2;
    case key::kDown:
      SetExtent(r.x0, r.y0 + i, r.x1, r.y1 + i);
      return 2;
    case '+':
      moveIncrement_ *= 1.25;
      return 1;
    case '-':
      moveIncrement_ *= 0.8;
      return 1;
    default:
      return 0;
  }
}

int ViewExtent::ParseKeyword(CommandType& interp) {
  int word = 0;
  if (int code = interp.MatchKeyword(MessageText("size moveincrement ").c_str(), word)) return code;
  if (word == 1) {
    const double left = interp.GetReal(), right = interp.GetReal();
    const double bottom = interp.GetReal(), top = interp.GetReal();
    SetExtent(left, bottom, right, top);
  } else {
    SetMoveIncrement(interp.GetReal());
  }
  return CommandType::kOk;
}

void ViewExtent::List(std::ostream& os) const {
  const ExtentRect& r = requested_;
  const bool automatic = r.x0 == 0 && r.y0 == 0 && r.x1 == 0 && r.y1 == 0;
  auto line = [&](const char* label, double v) {
    os << label;
    if (automatic)
      os << "Auto";
    else
      os << v;
    os << "\n";
  };
  line("            Left: ", r.x0);
  line("           Right: ", r.x1);
  line("          Bottom: ", r.y0);
  line("             Top: ", r.y1);
  os << "  Move Increment: ";
  if (autoMoveIncrement_)
    os << "Auto";
  else
    os << moveIncrement_;
  os << "\n";
}

void ViewExtent::SaveExtent(SaveStream& stream) const {
  stream.WriteF64(visible_.x0);
  stream.WriteF64(visible_.y0);
  stream.WriteF64(visible_.x1);
  stream.WriteF64(visible_.y1);
  stream.WriteU8(extentDefault_);
  stream.WriteF64(moveIncrement_);
  stream.WriteU8(autoMoveIncrement_);
}

void ViewExtent::RestoreExtent(SaveStream& stream) {
  // Format versions before 133 hold floats; before 7 there is no automatic-increment byte.
  const int32_t format = CurrentRestoreVersions().format;
  const bool floats = format < 133;
  auto real = [&] { return floats ? double(stream.ReadF32()) : stream.ReadF64(); };
  ExtentRect r;
  r.x0 = real();
  r.y0 = real();
  r.x1 = real();
  r.y1 = real();
  const bool extentDefault = stream.ReadFlag();
  const double increment = real();
  const bool autoIncrement = format >= 7 ? stream.ReadFlag() : autoMoveIncrement_;
  requested_ = visible_ = r;
  extentDefault_ = extentDefault;
  moveIncrement_ = increment;
  autoMoveIncrement_ = autoIncrement;
  if (extentWindow_) extentWindow_->FitExtent();
}

void ViewExtent::CopyExtentFrom(const ViewExtent& o) {
  visible_ = o.visible_;
  requested_ = o.requested_;
  sx_ = o.sx_;
  sy_ = o.sy_;
  deviceHeight_ = o.deviceHeight_;
  lastX_ = o.lastX_;
  lastY_ = o.lastY_;
  extentDefault_ = o.extentDefault_;
  autoMoveIncrement_ = o.autoMoveIncrement_;
  moveIncrement_ = o.moveIncrement_;
  if (extentWindow_) extentWindow_->FitExtent();
}
