#include "mechanics/interface_cellspace.h"

#include <cfloat>
#include <iomanip>
#include <ios>

#include "base/stream.h"

namespace {

// Whether the face is exposed: no zone beside it, or a null one.
bool Exposed(const Zone& zone, int face) {
  const Zone* n = zone.Neighbour(face);
  return !n || n->IsNull();
}

void Vector(std::ostream& os, const double v[3]) {
  os << "(" << std::setw(11) << v[0] << "," << std::setw(11) << v[1] << "," << std::setw(11) << v[2] << ")";
}

}  // namespace

void SurfaceFaceCellSpace::CollectFaces() {
  faces_.clear();
  for (Zone* z : ZoneList()) {
    if (z->IsNull()) continue;
    for (int f = 0; f < kZoneFaces; ++f)
      if (z->FaceGpCount(f) >= 3 && Exposed(*z, f)) faces_.emplace_back(z, f);
  }
}

void SurfaceFaceCellSpace::Size() {
  ++sizings;
  double lo[3] = {DBL_MAX, DBL_MAX, DBL_MAX}, hi[3] = {-DBL_MAX, -DBL_MAX, -DBL_MAX};
  for (const ZoneFace& face : faces_) {
    double a[3], b[3];
    face.BoundingBox(a, b);
    for (int i = 0; i < 3; ++i) {
      if (a[i] < lo[i]) lo[i] = a[i];
      if (b[i] > hi[i]) hi[i] = b[i];
    }
  }
  if (faces_.empty()) {
    // One empty cell at the origin: every search finds nothing.
    for (int i = 0; i < 3; ++i) lo[i] = hi[i] = 0.0;
  }
  for (int i = 0; i < 3; ++i) {
    const double extent = hi[i] - lo[i];
    lo[i] -= 0.05 * extent;
    hi[i] += 0.05 * extent;
  }
  Build(lo, hi, FaceCount());
}

void SurfaceFaceCellSpace::Fill() {
  for (int attempt = 0; attempt < 2; ++attempt) {
    ClearCells();
    bool outside = false;
    for (ZoneFace& face : faces_) {
      double a[3], b[3];
      face.BoundingBox(a, b);
      if (AddBox(&face, a, b)) {
        outside = true;
        break;
      }
    }
    if (!outside) return;
    Size();
  }
}

void SurfaceFaceCellSpace::Reset() {
  faces_.clear();
  faces_.shrink_to_fit();
  FreeCells();
}

void SurfaceFaceCellSpace::Print(ConsoleStream& out) const {
  FormatKeeper keeper(out);
  const int32_t* n = Counts();
  out << "Surface Face Cell Space..."
      << "\n";
  out << "     Total Cells : (" << n[0] << "," << n[1] << "," << n[2] << ")"
      << "\n";
  out.setf(std::ios::scientific, std::ios::floatfield);
  out.precision(4);
  out << "  Minimum Extent : ";
  Vector(out, Min());
  out << "\n"
      << "  Maximum Extent : ";
  Vector(out, Max());
  out << "\n"
      << "       Cell Size : ";
  Vector(out, CellSize());
  out << "\n";
  uint64_t entries = 0;
  int32_t at[3];
  for (at[0] = 0; at[0] < n[0]; ++at[0])
    for (at[1] = 0; at[1] < n[1]; ++at[1])
      for (at[2] = 0; at[2] < n[2]; ++at[2]) entries += static_cast<uint64_t>(GetCell(at) - GetCellFirst(at));
  out << "     Total Faces : " << FaceCount() << "\n";
  out << "   Total Entries : " << entries << "\n";
  out << "    Cell      Entries.....\n------------- \n";
  for (at[0] = 0; at[0] < n[0]; ++at[0]) {
    for (at[1] = 0; at[1] < n[1]; ++at[1]) {
      for (at[2] = 0; at[2] < n[2]; ++at[2]) {
        out << "(" << std::setw(2) << at[0] << "," << std::setw(2) << at[1] << "," << std::setw(2) << at[2] << ")"
            << "    ";
        int onLine = 0;
        for (void* const* it = GetCellFirst(at); it != GetCell(at); ++it) {
          if (onLine == 5) {
            out << "\n"
                << "              ";
            onLine = 0;
          }
          const ZoneFace& face = *static_cast<const ZoneFace*>(*it);
          out << "(" << face.GetZone()->Id() << "," << face.Face() << ") ";
          ++onLine;
        }
        out << "\n";
        out.flush();
      }
      out << "\n";
      out.flush();
    }
    out << "\n";
    out.flush();
  }
}
