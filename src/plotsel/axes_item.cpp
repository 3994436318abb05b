#include "plotsel/axes_item.h"

#include "base/app.h"
#include "base/command.h"
#include "base/savestream.h"
#include "base/stream.h"
#include "plotsel/install_plotsel.h"
#include "view/view_port.h"

AxesPlotItem::AxesPlotItem(ViewPort* owner) : PlotItemBase(owner, 1, 1) {
  SetKeywordFlags(kScale);
  scale_ = 0.1;
}

int AxesPlotItem::Parse(CommandType& interp) {
  const int code = PlotItemBase::Parse(interp);
  if (code == 0) return 0;
  int word = 0;
  if (interp.MatchKeyword("position fix", word) != 0) return code;
  if (word == 1) {
    double p[3];
    interp.GetVector(p);
    position_ = {p[0], p[1], p[2]};
    fixed_ = false;
  } else {
    double p[2];
    interp.GetVector2(p);
    fixedPosition_ = {p[0], p[1]};
    fixed_ = true;
  }
  return 0;
}

void AxesPlotItem::Copy(const PlotItemBase& other) {
  PlotItemBase::Copy(other);
  if (auto* o = dynamic_cast<const AxesPlotItem*>(&other)) {
    fixed_ = o->fixed_;
    position_ = o->position_;
    fixedPosition_ = o->fixedPosition_;
  }
}

void AxesPlotItem::Save(SaveStream& s) const {
  PlotItemBase::Save(s);
  s.WriteU8(fixed_);
  s.WriteF64(position_.x);
  s.WriteF64(position_.y);
  s.WriteF64(position_.z);
  s.WriteF64(fixedPosition_.x);
  s.WriteF64(fixedPosition_.y);
}

void AxesPlotItem::Restore(SaveStream& s) {
  PlotItemBase::Restore(s);
  fixed_ = s.ReadU8() != 0;
  const bool floats = CurrentRestoreVersions().format < 133;
  auto read = [&] { return floats ? double(s.ReadF32()) : s.ReadF64(); };
  position_.x = read();
  position_.y = read();
  position_.z = read();
  fixedPosition_.x = read();
  fixedPosition_.y = read();
}

void AxesPlotItem::List(TextOStream& out) {
  PlotItemBase::List(out);
  if (fixed_)
    out << "    Fixed at : " << DoubleToString(fixedPosition_.x, 2, 0, 0).str() << " "
        << DoubleToString(fixedPosition_.y, 2, 0, 0).str() << "\n";
  else
    out << "    Position : " << DoubleToString(position_.x, 4, 0, 1).str() << " "
        << DoubleToString(position_.y, 4, 0, 1).str() << " " << DoubleToString(position_.z, 4, 0, 1).str() << "\n";
}

void AxesPlotItem::Draw(int32_t changeMask) {
  DrawLegend(changeMask);
  ViewWindow* w = Window();
  if (!w) return;
  const bool threeD = owner_->ThreeD();
  auto fix3 = [](double v) { return DoubleToString(v, 3, 8, 0).str(); };
  if (fixed_) {
    LegendText("  Fixed", ForegroundIndex());
  } else if (position_.x != 0 || position_.y != 0 || position_.z != 0) {
    std::string pos = "(" + fix3(position_.x) + "," + fix3(position_.y);
    if (threeD) pos += "," + fix3(position_.z);
    LegendText(FormatText("  Pos: %1", (pos + ")").c_str()), ForegroundIndex());
  }
  state_.SetPen(LineStyle());
  state_.SetPenWidth(0);
  SetPen(GetColorIndex(0));
  const PixelSize size = w->Size();
  FontDesc font(size.width / 67, size.height / 40, 0, 0);
  font.faceName = "Arial";
  w->SetFont(font, &state_);
  const ExtentRect& visible = w->GetCamera()->Visible();
  const double width = visible.x1 - visible.x0, height = visible.y1 - visible.y0;
  double length = width * scale_;
  Vec3 origin = position_;
  if (!threeD) origin.z = 0;
  if (threeD && fixed_)
    origin = w->GetCamera()->Unproject({visible.x0 + fixedPosition_.x * width, visible.y0 + fixedPosition_.y * height});
  if (threeD && owner_->Perspective() && owner_->Distance() > 0) {
    Vec3 frame;
    w->ProjectWithDepth(origin, frame);
    length *= frame.z / owner_->Distance();
  }
  const Vec3 axis[3] = {{length, 0, 0}, {0, length, 0}, {0, 0, length}};
  auto along = [&](int k, double f) {
    return Vec3{origin.x + axis[k].x * f, origin.y + axis[k].y * f, origin.z + axis[k].z * f};
  };
  auto project = [&](const Vec3& p) {
    DVect2 v;
    if (threeD)
      w->Project(p, v);
    else
      v = {p.x, p.y};
    return v;
  };
  w->MoveTo(project(along(0, 1)), &state_);
  w->LineTo(project(origin), &state_);
  w->LineTo(project(along(1, 1)), &state_);
  if (threeD) {
    w->MoveTo(project(origin), &state_);
    w->LineTo(project(along(2, 1)), &state_);
  }
  state_.SetTextAlign(state_.VerticalAlign(), 2);
  static const char* const labels[] = {"X", "Y", "Z"};
  for (int k = 0; k < (threeD ? 3 : 2); ++k) w->TextAt(project(along(k, 1.2)), labels[k], &state_);
  state_.SetTextAlign(state_.VerticalAlign(), 0);
}

void InstallPlotselItems() { static PlotItemTypeOf<AxesPlotItem> axes(1, "axes", 4097); }
