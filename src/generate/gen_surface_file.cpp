// GENERATE SURFACE FILE: a surface from a text file of points, one point per
// line, taken as one polygon or (with "import") as a regular grid of
// surveyed points whose quadrilaterals become the surface.
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/command.h"
#include "base/except.h"
#include "base/file.h"
#include "base/message.h"
#include "generate/gen_geometry.h"
#include "generate/gen_surface.h"

namespace {

const char* const kImportWords = "name surfid import";
enum ImportWord { kName = 1, kSurfid, kImport };

// The next line of the file, up to a carriage return, a line feed or a zero
// byte; a last line without an end is a line too. False at the end.
bool NextLine(File& file, std::string& line) {
  line.clear();
  char c;
  if (!file.TryRead(&c, 1)) return false;
  while (c != '\r' && c != '\n' && c != 0) {
    line += c;
    if (!file.TryRead(&c, 1)) break;
  }
  return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The line without the blanks around it.
std::string Trimmed(const std::string& line) {
  size_t begin = 0, end = line.size();
  while (begin < end && IsBlank(line[begin])) ++begin;
  while (end > begin && IsBlank(line[end - 1])) --end;
  return line.substr(begin, end - begin);
}

bool IsWord(const std::string& text, const char* word) { return String(text).Compare(word) == 0; }

// x, y and z at the front of the line, separated by blanks, tabs or commas;
// what follows them is not read.
bool ReadPoint(const std::string& line, Vec3* point) {
  const char* at = line.c_str();
  double v[3];
  for (double& x : v) {
    while (IsBlank(*at) || *at == ',') ++at;
    char* end = nullptr;
    x = std::strtod(at, &end);
    if (end == at || !std::isfinite(x)) return false;
    if (*end != 0 && !IsBlank(*end) && *end != ',') return false;
    at = end;
  }
  *point = Vec3{v[0], v[1], v[2]};
  return true;
}

// Points of the file until "end", "eof" or the end of the file; lines that
// begin with ";" and empty lines are passed over.
std::vector<Vec3> ReadPoints(File& file) {
  std::vector<Vec3> points;
  std::string line;
  uint32_t number = 0;
  while (NextLine(file, line)) {
    ++number;
    const std::string text = Trimmed(line);
    if (text.empty() || text[0] == ';') continue;
    if (IsWord(text, "end") || IsWord(text, "eof")) break;
    Vec3 p;
    if (!ReadPoint(text, &p))
      throw GenExcept(MessageText("Missing number at line %s of file %s", UIntToString(number), file.Name()));
    points.push_back(p);
  }
  return points;
}

// How the points of a grid import lie: runs of `run` points, `runs` of them.
// The first points share their y (a run is a row of the survey) or, when
// they start by sharing their x, a run is a column.
struct SurveyGrid {
  size_t run = 1;
  size_t runs = 1;
};

SurveyGrid CountSurveyGrid(const std::vector<Vec3>& points) {
  const size_t n = points.size();
  size_t nx = 1, ny = 1;
  Vec3 current = points[0];
  for (size_t k = 1; k < n; ++k) {
    if (points[k].y == current.y) {
      current.x = points[k].x;
      ++nx;
    } else if (points[k].x == current.x) {
      current.y = points[k].y;
      ++ny;
    } else {
      break;
    }
  }
  const bool columns = nx == 1 && ny > 1;
  if (nx > 1) ny = static_cast<size_t>((static_cast<double>(n) + 0.5) / static_cast<double>(nx));
  if (ny > 1) nx = static_cast<size_t>((static_cast<double>(n) + 0.5) / static_cast<double>(ny));
  return columns ? SurveyGrid{ny, nx} : SurveyGrid{nx, ny};
}

// Every pair of neighbouring runs gives a strip of quadrilaterals, each a
// quiet polygon of four triangles around its centroid. Afterwards the open
// triangles become free surfaces and are counted; after a failure they are
// free surfaces as well.
void ImportGrid(const std::vector<Vec3>& points, SurfaceParams& params, CommandType& interp) {
  GenGeometry* store = ActiveGenGeometry();
  if (!store) return;
  const SurveyGrid grid = CountSurveyGrid(points);
  params.vertices.resize(4);
  try {
    for (size_t r = 0; r + 1 < grid.runs; ++r) {
      if (r > 0 && interp.EscPressed()) throw ESCInterrupt();
      for (size_t c = 0; c + 1 < grid.run; ++c) {
        const size_t at = r * grid.run + c;
        params.vertices[0] = points[at];
        params.vertices[1] = points[at + 1];
        params.vertices[2] = points[at + grid.run + 1];
        params.vertices[3] = points[at + grid.run];
        BuildPolygonSurface(params, interp, false);
      }
    }
  } catch (...) {
    store->ReleaseOpenTriangles();
    throw;
  }
  const int32_t open = store->ReleaseOpenTriangles();
  if (open != 0) interp << "\n" << open << MessageText(" Surfaces present") << "\n";
}

}  // namespace

void ImportSurfaceFile(File& file, CommandType& interp) {
  SurfaceParams params;
  bool grid = false;
  while (interp.HasToken()) {
    switch (interp.GetKeyword(kImportWords)) {
      case kName:
        params.name = interp.GetString();
        break;
      case kSurfid: {
        const int32_t id = interp.GetInt();
        if (id <= 0) throw GenExcept(MessageText("Surface Id must be greater than 0"));
        params.surfaceId = id;
        break;
      }
      case kImport:
        grid = true;
        break;
      default:
        break;
    }
  }
  std::vector<Vec3> points = ReadPoints(file);
  if (points.size() < 3) throw GenExcept(MessageText("Insufficient number of vertices defined"));
  if (grid) {
    ImportGrid(points, params, interp);
  } else {
    params.vertices = std::move(points);
    BuildPolygonSurface(params, interp);
  }
}
