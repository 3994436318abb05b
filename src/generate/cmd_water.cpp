// WATER [density d] [table item ...] [range phrase]: the water table's
// density and surface, applied to the grid-points of the range at the end of
// a command that succeeds. PRINT WATER lists the table.
#include <array>
#include <cmath>
#include <vector>

#include "base/except.h"
#include "base/range.h"
#include "generate/water_table.h"
#include "model/model_interpreter.h"
#include "model/model_settings.h"

namespace {

double Dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void Cross(const double a[3], const double b[3], double out[3]) {
  out[0] = a[1] * b[2] - a[2] * b[1];
  out[1] = a[2] * b[0] - a[0] * b[2];
  out[2] = a[0] * b[1] - a[1] * b[0];
}

bool Unit(const double v[3], double out[3]) {
  const double length = std::sqrt(Dot(v, v));
  if (!(length > 0.0)) {
    for (int i = 0; i < 3; ++i) out[i] = 0.0;
    return false;
  }
  for (int i = 0; i < 3; ++i) out[i] = v[i] / length;
  return true;
}

// FACE p1 p2 p3 ...: the fan of triangles (p1, pk-1, pk), each appended as
// soon as it passes its checks.
void ReadFace(ModelInterpreter& interp, WaterTable& table) {
  std::vector<std::array<double, 3>> points;
  for (;;) {
    double p[3];
    int at = interp.TokenIndex();
    if (interp.CheckVector(p, &at) != CommandType::kOk) break;
    interp.TokenIndex() = at;
    points.push_back({p[0], p[1], p[2]});
  }
  if (points.size() < 3) throw QJExcept("Face must have a minimum of three vertices");
  const double* gravity = Settings().gravity;
  double first[3] = {0, 0, 0};
  for (size_t k = 2; k < points.size(); ++k) {
    const double* a = points[0].data();
    const double* b = points[k - 1].data();
    const double* c = points[k].data();
    const double e1[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const double e2[3] = {c[0] - b[0], c[1] - b[1], c[2] - b[2]};
    double n[3];
    Cross(e1, e2, n);
    double unit[3];
    if (!Unit(n, unit)) throw QJExcept("Attempt to generate degenerate face (zero area)");
    if (std::fabs(Dot(gravity, n)) < 1e-14) throw QJExcept("Surface parallel to current gravity vector");
    if (k == 2) {
      for (int i = 0; i < 3; ++i) first[i] = unit[i];
    } else {
      const double d[3] = {unit[0] - first[0], unit[1] - first[1], unit[2] - first[2]};
      if (std::sqrt(Dot(d, d)) > 1e-6) throw QJExcept("Face consists of non-planar segments");
    }
    WaterFace face;
    for (int i = 0; i < 3; ++i) {
      face.a[i] = a[i];
      face.b[i] = b[i];
      face.c[i] = c[i];
    }
    table.faces.push_back(face);
  }
}

// The items after TABLE; answers when a word is not one of them (the word
// is then read again by the command's own loop).
void ReadItems(ModelInterpreter& interp, WaterTable& table, bool* any) {
  const double* gravity = Settings().gravity;
  for (;;) {
    if (!interp.HasToken()) return;
    if (table.density == 0.0) throw QJExcept("Must specify water density first");
    if (gravity[0] == 0.0 && gravity[1] == 0.0 && gravity[2] == 0.0)
      throw QJExcept("Must specify gravity vector first");
    int word = 0;
    if (interp.MatchKeyword("origin normal face clear", word) != CommandType::kOk) return;
    *any = true;
    switch (word) {
      case 1:
        interp.GetVector(table.origin);
        table.planeForm = true;
        break;
      case 2: {
        double v[3];
        interp.GetVector(v);
        Unit(v, table.normal);
        if (std::fabs(Dot(gravity, table.normal)) < 1e-14) throw QJExcept("Surface parallel to current gravity vector");
        table.planeForm = true;
        break;
      }
      case 3:
        ReadFace(interp, table);
        table.planeForm = false;
        break;
      default:
        table.faces.clear();
        table.planeForm = false;
        break;
    }
  }
}

}  // namespace

void WaterCommand(ModelInterpreter& interp) {
  Range range;
  range.Parse(interp);
  ModelSettings& settings = Settings();
  settings.porePressure = true;
  WaterTable& table = TheWaterTable();
  bool any = false;
  while (interp.HasToken()) {
    int word = 0;
    if (int code = interp.MatchKeyword("density table", word)) interp.ThrowParamError(code);
    if (word == 1) {
      table.density = interp.GetReal();
      settings.waterDensity = table.density;
      any = true;
    } else {
      ReadItems(interp, table, &any);
    }
  }
  if (!any) throw CommandType::MissingExcept(interp.TokenIndex());
  if (table.planeForm) {
    table.faces.clear();
    if (Dot(settings.gravity, table.normal) < 0.0)
      for (double& x : table.normal) x = 0.0 - x;  // no negative zero in the listing
  }
  table.Apply(range);
}

void PrintWater(ModelInterpreter& interp) { TheWaterTable().List(interp); }
