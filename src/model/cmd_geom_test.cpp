// GEOM_TEST: the worst orthogonality, aspect ratio and face planarity of the
// zones in a range, with a table of how the zones spread over twenty bins,
// and the reports of degenerate zones and broken numbering on the way.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <iomanip>
#include <ios>

#include "base/range.h"
#include "model/grid_commands.h"
#include "model/model_interpreter.h"
#include "model/zone.h"

namespace {

constexpr int kBins = 20;

// floor(10 (v + 1)) within 0..19; a value whose bin is no 32-bit integer (the
// largest double of a zone whose corners all degenerate) counts in bin 0.
int Bin(double v) {
  const double k = std::floor(10.0 * (v + 1.0));
  if (!(k >= static_cast<double>(INT32_MIN) && k <= static_cast<double>(INT32_MAX))) return 0;
  if (k < 0.0) return 0;
  if (k > kBins - 1) return kBins - 1;
  return static_cast<int>(k);
}

}  // namespace

void GeomTestCommand(ModelInterpreter& interp) {
  Range range;
  range.Parse(interp);
  if (interp.HasToken()) throw CommandType::UnrecognizedExcept(interp.TokenIndex(), interp.Token());

  interp << "\n";
  int32_t ortho[kBins] = {};
  int32_t aspect[kBins] = {};
  int32_t planar[kBins] = {};
  double worstOrtho = DBL_MAX;
  double worstAspect = DBL_MAX;
  double worstPlanar = -DBL_MAX;
  String text;
  for (Zone* z : ZoneList()) {
    if (!range.IsIn(z)) continue;
    const double o = z->Orthogonality();
    ++ortho[Bin(o)];
    worstOrtho = std::min(worstOrtho, o);
    const double a = z->AspectRatio();
    ++aspect[Bin(a)];
    worstAspect = std::min(worstAspect, a);
    const double p = ZoneFacePlanarity(*z);
    if (p != -DBL_MAX) {
      ++planar[Bin(p)];
      worstPlanar = std::max(worstPlanar, p);
    }
    if (z->CheckDegenerate(text)) interp << text;
    if (!z->CheckNumbering(text)) interp << text;
  }

  const std::ios::fmtflags flags = interp.flags();
  const std::streamsize precision = interp.precision();
  interp.flags(std::ios::fmtflags());
  interp.precision(6);
  interp << "*** After looping through all zones in the range the worst case results are \n"
         << "*** Orthogonality  ( must be close to 1.0 ): " << worstOrtho << "\n"
         << "*** Aspect ratio   ( must be close to 1.0 ): " << worstAspect << "\n"
         << "*** Face Planarity ( must be close to 0.0 ): " << worstPlanar << "\n";

  interp.setf(std::ios::right, std::ios::adjustfield);
  interp << "Range" << std::setw(33) << " Orthogonality " << std::setw(20) << "Aspect Ratio " << std::setw(20)
         << "Face Planarity "
         << "\n";
  interp << "-----" << std::setw(33) << "---------------" << std::setw(20) << "-------------" << std::setw(20)
         << "---------------"
         << "\n";
  for (int i = 0; i < kBins; ++i) {
    interp << "[ " << std::fixed << std::setprecision(3) << std::setw(6) << 0.1 * i - 1.0 << " - " << std::setw(6)
           << 0.1 * (i + 1) - 1.0 << " ] " << std::setw(10) << ortho[i] << std::setw(20) << aspect[i] << std::setw(20)
           << planar[i] << "\n";
  }
  interp.flush();
  interp.flags(flags);
  interp.precision(precision);
  interp.setf(std::ios::right, std::ios::adjustfield);
}
