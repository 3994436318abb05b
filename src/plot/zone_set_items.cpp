#include "plot/zone_set_items.h"

#include "base/command.h"
#include "base/savestream.h"
#include "model/grid.h"
#include "model/model_settings.h"
#include "model/zone.h"
#include "view/model_view.h"

ZoneSetPlotItem::ZoneSetPlotItem(ViewPort* owner, int32_t typeId, bool planeWords) : PlotItemBase(owner, typeId, 1) {
  SetKeywordFlags(kRange | kMagfac | (planeWords ? uint32_t(kPlane) : 0u));
  magfac_ = Settings().largeStrain ? 1.0 : 0.0;
}

int ZoneSetPlotItem::Parse(CommandType& interp) {
  const int code = PlotItemBase::Parse(interp);
  if (code == 0) return 0;
  int word = 0;
  if (interp.MatchKeyword("null", word) == 0) {
    nullOnly_ = interp.GetBool();
    return 0;
  }
  return code;
}

void ZoneSetPlotItem::Copy(const PlotItemBase& other) {
  PlotItemBase::Copy(other);
  if (auto* o = dynamic_cast<const ZoneSetPlotItem*>(&other)) nullOnly_ = o->nullOnly_;
}

void ZoneSetPlotItem::Save(SaveStream& s) const {
  PlotItemBase::Save(s);
  s.WriteU8(nullOnly_);
}

void ZoneSetPlotItem::Restore(SaveStream& s) {
  PlotItemBase::Restore(s);
  nullOnly_ = s.ReadU8() != 0;
}

bool ZoneSetPlotItem::Selected(const Zone& zone) const {
  return (zone.Flags() & kZoneInRangeMark) && zone.IsNull() == nullOnly_;
}

bool ZoneSetPlotItem::ShowsFace(const Zone& zone, int face) const {
  if (zone.FaceGpCount(face) < 3) return false;
  const Zone* across = zone.Neighbour(face);
  return !across || !Selected(*across);
}

void ZoneSetPlotItem::PrepareZones(int32_t changeMask) {
  DrawLegend(changeMask);
  const double rest = Settings().largeStrain ? 1.0 : 0.0;
  if (owner_ && owner_->Caption()) {
    if ((flags_ & kMagfac) && magfac_ != rest) LegendText("  Exaggerated Grid Distortion ", ForegroundIndex());
    if (nullOnly_) LegendText("  Null zones only", ForegroundIndex());
  }
  PushStatus("<< Marking Zones in Range >>");
  const bool everything = range_.ElementCount() == 0;
  for (Zone* z : ZoneList()) {
    owner_->PollKey();
    uint32_t flags = z->Flags() & ~(kZoneInRangeMark | kZoneDrawnMark);
    if (everything || range_.IsIn(z)) flags |= kZoneInRangeMark;
    z->SetFlags(flags);
  }
  PopStatus();
}

void ZoneSetPlotItem::SetUpPen() {
  state_.SetPen(LineStyle());
  state_.SetPenWidth(0);
  SetPen(GetColorIndex(0));
  LegendLine();
}

void ZoneSetPlotItem::DrawFace(ModelView& view, const Zone& zone, int face) {
  if (planeBits_) {
    view.DrawCutOutline(*this, zone, face, &state_, magfac_);
    return;
  }
  ViewWindow& w = *view.DrawingWindow();
  const int n = zone.FaceGpCount(face);
  DVect2 p;
  w.Project(ModelView::Displaced(*zone.GetFaceGp(face, n - 1), magfac_), p);
  w.MoveTo(p, &state_);
  for (int i = 0; i < n; ++i) {
    w.Project(ModelView::Displaced(*zone.GetFaceGp(face, i), magfac_), p);
    w.LineTo(p, &state_);
  }
}

// ---------------------------------------------------------------------------
// Grid

void GridPlotItem::Draw(int32_t changeMask) {
  auto* view = dynamic_cast<ModelView*>(owner_);
  if (!view || !view->DrawingWindow()) return;
  PrepareZones(changeMask);
  SetUpPen();
  ViewWindow& w = *view->DrawingWindow();
  DVect2 c[8];
  auto drawn = [](const Zone* z) { return z && (z->Flags() & kZoneDrawnMark); };
  auto segment = [&](int a, int b) {
    w.MoveTo(c[a], &state_);
    w.LineTo(c[b], &state_);
  };
  auto loop = [&](int a, int b, int d, int e) {
    w.MoveTo(c[a], &state_);
    w.LineTo(c[b], &state_);
    w.LineTo(c[d], &state_);
    w.LineTo(c[e], &state_);
    w.LineTo(c[a], &state_);
  };
  for (Zone* z : ZoneList()) {
    view->PollKey();
    if (!Selected(*z)) continue;
    z->SetFlags(z->Flags() | kZoneDrawnMark);
    if (planeBits_) {
      const int side = view->ClassifyByPlane(*z, magfac_);
      if (side == ModelView::kCut) {
        for (int f = 0; f < 6; ++f)
          if (z->FaceGpCount(f) >= 3) view->DrawCutOutline(*this, *z, f, &state_, magfac_);
        continue;
      }
      if (side == ModelView::kWhollyInFront && !(planeBits_ & kInFront)) continue;
      if (side == ModelView::kWhollyBehind && !(planeBits_ & kBehind)) continue;
    }
    for (int k = 0; k < 8; ++k) w.Project(ModelView::Displaced(*z->Gp(k), magfac_), c[k]);
    if (!drawn(z->Neighbour(0))) loop(0, 1, 4, 2);
    if (!drawn(z->Neighbour(1))) loop(3, 6, 7, 5);
    if (!drawn(z->Neighbour(2))) {
      segment(0, 3);
      segment(2, 5);
    }
    if (!drawn(z->Neighbour(3))) {
      segment(1, 6);
      segment(4, 7);
    }
  }
}

// ---------------------------------------------------------------------------
// Boundary and sketch

void BoundaryPlotItem::Draw(int32_t changeMask) {
  auto* view = dynamic_cast<ModelView*>(owner_);
  if (!view || !view->DrawingWindow()) return;
  PrepareZones(changeMask);
  SetUpPen();
  for (Zone* z : ZoneList()) {
    view->PollKey();
    if (!Selected(*z)) continue;
    for (int f = 0; f < 6; ++f)
      if (ShowsFace(*z, f)) DrawFace(*view, *z, f);
  }
}

void SketchPlotItem::Draw(int32_t changeMask) {
  auto* view = dynamic_cast<ModelView*>(owner_);
  if (!view || !view->DrawingWindow()) return;
  PrepareZones(changeMask);
  SetUpPen();
  const Vec3 eye = view->Eye();
  // The face normal at the drawn positions: the stored positions already
  // hold the displacement in large strain.
  const double factor = magfac_ - (Settings().largeStrain ? 1.0 : 0.0);
  for (Zone* z : ZoneList()) {
    view->PollKey();
    if (!Selected(*z)) continue;
    for (int f = 0; f < 6; ++f) {
      if (!ShowsFace(*z, f)) continue;
      double n[3];
      ZoneFace(z, f).Evaluate(n, factor);
      const Vec3 v = ModelView::Displaced(*z->GetFaceGp(f, 0), magfac_);
      const double d = (v.x - eye.x) * n[0] + (v.y - eye.y) * n[1] + (v.z - eye.z) * n[2];
      if (d <= 0) DrawFace(*view, *z, f);
    }
  }
}

void InstallZoneSetItems() {
  static PlotItemTypeOf<GridPlotItem> grid(20, "grid", 4116);
  static PlotItemTypeOf<BoundaryPlotItem> boundary(21, "boundary", 4117);
  static PlotItemTypeOf<SketchPlotItem> sketch(35, "sketch", 4118);
}
