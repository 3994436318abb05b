#include "view/model_view.h"

#include <cmath>

#include "base/app.h"
#include "base/command.h"
#include "base/savestream.h"
#include "base/stream.h"
#include "generate/gen_geometry.h"
#include "model/grid_point.h"
#include "model/model_settings.h"
#include "model/zone.h"
#include "platform/terminal_device.h"
#include "view/caption_window.h"

namespace {

Vec3 Normalised(const Vec3& v) {
  const double length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  return length > 0 ? v * (1.0 / length) : v;
}

void Widen(ModelBox& box, const Vec3& p) {
  box.min = {std::fmin(box.min.x, p.x), std::fmin(box.min.y, p.y), std::fmin(box.min.z, p.z)};
  box.max = {std::fmax(box.max.x, p.x), std::fmax(box.max.y, p.y), std::fmax(box.max.z, p.z)};
}

}  // namespace

ModelView::ModelView(uint32_t typeCode) : ViewPort(typeCode) { SetLight({-1, 3, -2}); }

void ModelView::SetLight(const Vec3& light) {
  lightView_ = Normalised(light);
  lightValid_ = false;
}

void ModelView::UpdateLight() {
  const Vec3 l = FromViewFrame(lightView_) - FromViewFrame({0, 0, 0});
  light_ = Normalised(l) * -1.0;
  lightValid_ = true;
}

uint32_t ModelView::CurrentStep() { return uint32_t(Settings().totalCycles); }

bool ModelView::Regenerate(int32_t mask, const String& text) {
  lightValid_ = false;
  return ViewPort::Regenerate(mask, text);
}

void ModelView::CopySettings(ViewPort& other, bool copyItems, bool copySettings) {
  ViewPort::CopySettings(other, copyItems, copySettings);
  if (auto* model = dynamic_cast<ModelView*>(&other); model && copySettings) SetLight(model->lightView_);
}

int ModelView::OnKey(int32_t key) {
  constexpr int32_t kF4 = key::kVirtualKey | 0x73, kF5 = key::kVirtualKey | 0x74;
  if (key != kF4 && key != kF5) return ViewPort::OnKey(key);
  if (CaptionWindow* caption = Caption())
    caption->WriteCaptionLine(key == kF4 ? "<< SOLVE >>" : "<< STEP >>", caption->ColorIndex(colors::kYellow), true,
                              false);
  QueueCommandLine(key == kF4 ? "solve" : "step 1000000");
  return 0;
}

int ModelView::ParseKeyword(CommandType& interp) {
  const int code = ViewPort::ParseKeyword(interp);
  if (code != CommandType::kUnrecognized) return code;
  int word = 0;
  if (const int light = interp.MatchKeyword("light ", word)) return light;
  double v[3];
  interp.GetVector(v);
  SetLight({v[0], v[1], v[2]});
  Regenerate(kReset, String());
  return CommandType::kOk;
}

void ModelView::List(TextOStream& out) {
  ViewPort::List(out);
  const std::ios::fmtflags flags = out.flags();
  out.setf(std::ios::scientific, std::ios::floatfield);
  out << "   Light Vector : ";
  PrintPair(out, lightView_.x, lightView_.y, lightView_.z);
  out << "\n";
  out.flags(flags);
}

ModelBox ModelView::ModelBounds() {
  ModelBox box;
  for (GridPoint* gp : GridPointList()) Widen(box, {gp->position[0], gp->position[1], gp->position[2]});
  if (GenGeometry* geometry = ActiveGenGeometry()) {
    for (GenTriangle* t : geometry->Triangles()) {
      Widen(box, t->BoxMin());
      Widen(box, t->BoxMax());
    }
  }
  return box;
}

// ---------------------------------------------------------------------------
// The cutting plane

Vec3 ModelView::Displaced(const GridPoint& gp, double factor) {
  const double* p = gp.position;
  const double* d = gp.displacement;
  // With large strain the stored position already holds the displacement.
  const double base = Settings().largeStrain ? 1.0 : 0.0;
  const double f = factor - base;
  return {p[0] + d[0] * f, p[1] + d[1] * f, p[2] + d[2] * f};
}

int ModelView::Classify(const Vec3* points, int count) {
  const double* n = CuttingPlane().Normal();
  const double c = CuttingPlane().Offset(), k = PlaneSide();
  auto side = [&](const Vec3& q) { return (n[0] * q.x + n[1] * q.y + n[2] * q.z - c) * k; };
  Vec3 centre{0, 0, 0};
  for (int i = 0; i < count; ++i) centre = centre + points[i];
  centre = centre * (1.0 / count);
  const double length = std::sqrt(centre.x * centre.x + centre.y * centre.y + centre.z * centre.z);
  if (std::fabs(side(centre)) < 1e-14 * length) return kCut;
  bool front = false, behind = false;
  for (int i = 0; i < count; ++i) (side(points[i]) >= 0 ? behind : front) = true;
  if (front && behind) return kCut;
  return behind ? kWhollyBehind : kWhollyInFront;
}

int ModelView::ClassifyByPlane(const Zone& zone, double factor) {
  Vec3 points[8];
  const int count = zone.GpCount();
  for (int i = 0; i < count; ++i) points[i] = Displaced(*zone.Gp(i), factor);
  return Classify(points, count);
}

int ModelView::ClassifyByPlane(const Zone& zone, int face, double factor) {
  Vec3 points[4];
  const int count = zone.FaceGpCount(face);
  if (count <= 0) return kCut;
  for (int i = 0; i < count; ++i) points[i] = Displaced(*zone.GetFaceGp(face, i), factor);
  return Classify(points, count);
}

bool ModelView::IntersectPlane(const GridPoint& a, const GridPoint& b, double valueA, double valueB, double& value,
                               Vec3& point, double factor) {
  double t = 0;
  const int code = ClipCode(Displaced(a, factor), Displaced(b, factor), &point, &t);
  if (code == 2 || code == 4) return false;
  value = valueA + (valueB - valueA) * t;
  return true;
}

void ModelView::DrawCutOutline(PlotItem& item, const Zone& zone, int face, CanvasState* state, double factor) {
  ViewWindow* window = DrawingWindow();
  const int count = zone.FaceGpCount(face);
  if (!window || count <= 0) return;
  const int32_t bits = item.PlaneBits();
  const bool front = bits & PlotItem::kInFront, behind = bits & PlotItem::kBehind;
  DVect2 crossings[4];
  int kept = 0;
  for (int i = 0; i < count; ++i) {
    const Vec3 a = Displaced(*zone.GetFaceGp(face, i), factor);
    const Vec3 b = Displaced(*zone.GetFaceGp(face, (i + 1) % count), factor);
    Vec3 cross;
    const int code = ClipCode(a, b, &cross);
    DVect2 pa, pb, pc;
    window->Project(a, pa);
    window->Project(b, pb);
    switch (code) {
      case 2:
        if (front) window->DrawSegment(pa, pb, state);
        break;
      case 4:
        if (behind) window->DrawSegment(pa, pb, state);
        break;
      case 1:
      case 8: {
        window->Project(cross, pc);
        // Code 1: a is in front and b behind; code 8 the other way round.
        const bool aInFront = code == 1;
        if (aInFront ? front : behind) window->DrawSegment(pa, pc, state);
        if (aInFront ? behind : front) window->DrawSegment(pc, pb, state);
        crossings[kept++] = pc;
        break;
      }
      default:
        break;
    }
  }
  if ((bits & PlotItem::kOnPlane) && kept > 0) {
    window->MoveTo(crossings[0], state);
    for (int i = 1; i < kept; ++i) window->LineTo(crossings[i], state);
  }
}

// ---------------------------------------------------------------------------
// The record: the view's, then the light.

void ModelView::Save(SaveStream& s) const {
  ViewPort::Save(s);
  s.WriteF64(lightView_.x);
  s.WriteF64(lightView_.y);
  s.WriteF64(lightView_.z);
}

void ModelView::Restore(SaveStream& s) {
  ViewPort::Restore(s);
  const int32_t program = CurrentRestoreVersions().program;
  if (program < 3) s.ReadU8();
  Vec3 light;
  if (program < 310) {
    light.x = s.ReadF32();
    light.y = s.ReadF32();
    light.z = s.ReadF32();
  } else {
    light.x = s.ReadF64();
    light.y = s.ReadF64();
    light.z = s.ReadF64();
  }
  lightView_ = light;
  lightValid_ = false;
}
