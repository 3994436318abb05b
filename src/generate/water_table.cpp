#include "generate/water_table.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <ios>

#include "base/except.h"
#include "base/range.h"
#include "base/savestream.h"
#include "base/stream.h"
#include "model/grid_point.h"
#include "model/model.h"
#include "model/model_settings.h"
#include "model/print_support.h"

namespace {

double Dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void Cross(const double a[3], const double b[3], double out[3]) {
  out[0] = a[1] * b[2] - a[2] * b[1];
  out[1] = a[2] * b[0] - a[0] * b[2];
  out[2] = a[0] * b[1] - a[1] * b[0];
}

void Minus(const double a[3], const double b[3], double out[3]) {
  for (int i = 0; i < 3; ++i) out[i] = a[i] - b[i];
}

// One triangle turned to point along gravity, ready for the grid-points.
struct Prepared {
  const WaterFace* face;
  double n[3];    // unit normal along gravity
  double s;       // n . unit gravity
  double box[4];  // the box of its corners in the plane across gravity: u, v min and max
};

// Coordinates in a plane across gravity.
struct Across {
  double u[3], v[3];
  explicit Across(const double g[3]) {
    // Any vector not along gravity, crossed twice.
    const double t[3] = {std::fabs(g[0]) < 0.9 ? 1.0 : 0.0, std::fabs(g[0]) < 0.9 ? 0.0 : 1.0, 0.0};
    Cross(g, t, u);
    const double lu = std::sqrt(Dot(u, u));
    for (double& x : u) x /= lu;
    Cross(g, u, v);
  }
  void Of(const double p[3], double out[2]) const {
    out[0] = Dot(p, u);
    out[1] = Dot(p, v);
  }
};

// The point q of the triangle's plane lies inside it, edges included: the
// three edge tests agree in sign, whatever the triangle's winding.
bool Inside(const WaterFace& f, const double n[3], const double q[3]) {
  double e[3], w[3], c[3];
  double t[3];
  Minus(f.b, f.a, e);
  Minus(q, f.a, w);
  Cross(e, w, c);
  t[0] = Dot(c, n);
  Minus(f.c, f.b, e);
  Minus(q, f.b, w);
  Cross(e, w, c);
  t[1] = Dot(c, n);
  Minus(f.a, f.c, e);
  Minus(q, f.c, w);
  Cross(e, w, c);
  t[2] = Dot(c, n);
  return (t[0] >= 0.0 && t[1] >= 0.0 && t[2] >= 0.0) || (t[0] <= 0.0 && t[1] <= 0.0 && t[2] <= 0.0);
}

void WriteVec(SaveStream& s, const double v[3]) {
  for (int i = 0; i < 3; ++i) s.WriteF64(v[i]);
}
void ReadVec(SaveStream& s, double v[3]) {
  for (int i = 0; i < 3; ++i) v[i] = s.ReadF64();
}

}  // namespace

WaterTable& TheWaterTable() { return CurrentModel().Part<WaterTable>(); }

void WaterTable::Apply(const Range& range) const {
  const double* gravity = Settings().gravity;
  const double gLength = std::sqrt(Dot(gravity, gravity));
  if (!(gLength > 0.0)) return;
  const double g[3] = {gravity[0] / gLength, gravity[1] / gLength, gravity[2] / gLength};
  const double gamma = gLength * density;
  if (planeForm) {
    const double s = Dot(g, normal);
    if (std::fabs(s) < 1e-14) return;
    for (GridPoint* gp : GridPointList()) {
      if (!range.IsIn(gp)) continue;
      double r[3];
      Minus(gp->position, origin, r);
      const double d = Dot(r, normal) / s;
      gp->porePressure = d > 0.0 ? gamma * d : 0.0;
    }
    return;
  }
  // The triangles' boxes in a plane across gravity, in buckets: a grid-point
  // is tested only against the triangles whose box holds its projection,
  // the last in list order first, and the first that holds it decides.
  const Across across(g);
  std::vector<Prepared> prepared;
  prepared.reserve(faces.size());
  double lo[2] = {1e300, 1e300}, hi[2] = {-1e300, -1e300};
  for (const WaterFace& f : faces) {
    Prepared p{&f, {0, 0, 0}, 0.0, {1e300, 1e300, -1e300, -1e300}};
    double e1[3], e2[3];
    Minus(f.b, f.a, e1);
    Minus(f.c, f.b, e2);
    Cross(e1, e2, p.n);
    const double length = std::sqrt(Dot(p.n, p.n));
    if (!(length > 0.0)) continue;
    for (double& x : p.n) x /= length;
    if (Dot(p.n, gravity) < 0.0)
      for (double& x : p.n) x = -x;
    p.s = Dot(p.n, g);
    if (std::fabs(p.s) < 1e-14) continue;
    for (const double* corner : {f.a, f.b, f.c}) {
      double uv[2];
      across.Of(corner, uv);
      p.box[0] = std::min(p.box[0], uv[0]);
      p.box[1] = std::min(p.box[1], uv[1]);
      p.box[2] = std::max(p.box[2], uv[0]);
      p.box[3] = std::max(p.box[3], uv[1]);
    }
    lo[0] = std::min(lo[0], p.box[0]);
    lo[1] = std::min(lo[1], p.box[1]);
    hi[0] = std::max(hi[0], p.box[2]);
    hi[1] = std::max(hi[1], p.box[3]);
    prepared.push_back(p);
  }
  if (prepared.empty()) return;
  const int cells = std::max(1, static_cast<int>(std::sqrt(static_cast<double>(prepared.size()))));
  const double span[2] = {std::max(hi[0] - lo[0], 1e-300), std::max(hi[1] - lo[1], 1e-300)};
  auto cellOf = [&](double x, int axis) {
    const double t = (x - lo[axis]) / span[axis] * cells;
    return t <= 0.0 ? 0 : t >= cells - 1 ? cells - 1 : static_cast<int>(t);
  };
  std::vector<std::vector<int>> buckets(static_cast<size_t>(cells) * static_cast<size_t>(cells));
  for (int k = 0; k < static_cast<int>(prepared.size()); ++k) {
    const double* b = prepared[static_cast<size_t>(k)].box;
    for (int i = cellOf(b[0], 0); i <= cellOf(b[2], 0); ++i)
      for (int j = cellOf(b[1], 1); j <= cellOf(b[3], 1); ++j) buckets[static_cast<size_t>(i * cells + j)].push_back(k);
  }
  // A point is tested against a triangle's box with a margin for rounding.
  const double margin = 1e-9 * std::max(span[0], span[1]);
  for (GridPoint* gp : GridPointList()) {
    if (!range.IsIn(gp)) continue;
    double uv[2];
    across.Of(gp->position, uv);
    if (uv[0] < lo[0] - margin || uv[0] > hi[0] + margin || uv[1] < lo[1] - margin || uv[1] > hi[1] + margin) continue;
    const std::vector<int>& candidates = buckets[static_cast<size_t>(cellOf(uv[0], 0) * cells + cellOf(uv[1], 1))];
    for (auto it = candidates.rbegin(); it != candidates.rend(); ++it) {
      const Prepared& p = prepared[static_cast<size_t>(*it)];
      if (uv[0] < p.box[0] - margin || uv[0] > p.box[2] + margin || uv[1] < p.box[1] - margin ||
          uv[1] > p.box[3] + margin)
        continue;
      double r[3];
      Minus(gp->position, p.face->a, r);
      const double d = Dot(r, p.n) / p.s;
      const double q[3] = {gp->position[0] - d * g[0], gp->position[1] - d * g[1], gp->position[2] - d * g[2]};
      if (!Inside(*p.face, p.n, q)) continue;
      gp->porePressure = d > 0.0 ? gamma * d : 0.0;
      break;
    }
  }
}

void WaterTable::Save(SaveStream& s) const {
  s.WriteF64(density);
  s.WriteU8(planeForm ? 1 : 0);
  WriteVec(s, origin);
  WriteVec(s, normal);
  s.WriteI32(static_cast<int32_t>(faces.size()));
  for (const WaterFace& f : faces) {
    WriteVec(s, f.a);
    WriteVec(s, f.b);
    WriteVec(s, f.c);
  }
}

void WaterTable::Restore(SaveStream& s) {
  faces.clear();
  density = s.ReadF64();
  planeForm = s.ReadFlag();
  ReadVec(s, origin);
  ReadVec(s, normal);
  const int32_t count = s.ReadI32();
  // A count that the bytes left cannot hold is a damaged file.
  if (count < 0) s.ReadFailure();
  s.CheckAvailable(static_cast<uint64_t>(count) * 72);
  faces.resize(static_cast<size_t>(count));
  for (WaterFace& f : faces) {
    ReadVec(s, f.a);
    ReadVec(s, f.b);
    ReadVec(s, f.c);
  }
}

void WaterTable::List(ModelInterpreter& interp) const {
  PageGuard guard(interp);
  FormatKeeper keeper(interp);
  interp << std::scientific << std::setprecision(3);
  interp << "  Water Table ..."
         << " Water density = " << std::setw(10) << density << "\n";
  if (planeForm) {
    interp << " Water table plane:"
           << "\n";
    interp << "   Origin:        ";
    listing::WriteVector(interp, origin, 10);
    interp << "\n";
    interp << "   Normal vector: ";
    listing::WriteVector(interp, normal, 10);
    interp << "\n";
  } else {
    interp << " Water table discretized into triangular faces:"
           << "\n";
    for (const WaterFace& f : faces) {
      interp << "   Face: ";
      listing::WriteVector(interp, f.a, 10);
      interp << "\n" << String(' ', 9);
      listing::WriteVector(interp, f.b, 10);
      interp << "\n" << String(' ', 9);
      listing::WriteVector(interp, f.c, 10);
      interp << "\n";
    }
  }
  interp.flush();
}
