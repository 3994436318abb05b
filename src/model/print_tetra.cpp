// PRINT TETRA: one row per mechanical tetrahedron of the non-null zones that
// the print range accepts, overlay A before overlay B.
#include <iomanip>
#include <ios>

#include "base/range_named.h"
#include "base/stream.h"
#include "cmodels/stensor.h"
#include "model/grid.h"
#include "model/model_interpreter.h"
#include "model/print_support.h"
#include "model/zone_models.h"

namespace {

using namespace listing;

const char* const kTetraWords = "gp information stress principal";
enum TetraWord { kGp = 1, kInformation, kStress, kPrincipal };

void Columns(ModelInterpreter& interp, int word, const Zone& z, const TetraDef& def, const ZoneTetra& t) {
  switch (word) {
    case kGp:
      for (uint8_t slot : def.gp) interp << std::setw(6) << z.Gp(slot)->id << " ";
      break;
    case kInformation: {
      double c[3] = {0.0, 0.0, 0.0};
      for (uint8_t slot : def.gp)
        for (int i = 0; i < 3; ++i) c[i] += z.Gp(slot)->position[i];
      for (double& x : c) x *= 0.25;
      interp << std::setw(13) << t.volume << " ";
      WriteVector(interp, c, 13);
      break;
    }
    case kStress:
      for (int i = 0; i < 6; ++i) interp << (i ? " " : "") << std::setw(10) << t.stress[i];
      break;
    default: {
      double p[3];
      STensor::PrinValues(t.stress, p);
      interp << std::setw(13) << p[2] << " " << std::setw(13) << p[1] << " " << std::setw(13) << p[0];
      break;
    }
  }
}

}  // namespace

void PrintTetra(ModelInterpreter& interp) {
  int word = 0;
  int code = interp.MatchKeyword(kTetraWords, word);
  if (code == CommandType::kMissing)
    word = kInformation;
  else if (code != CommandType::kOk)
    interp.ThrowParamError(code);
  PageGuard guard(interp);
  FormatKeeper keeper(interp);
  interp.setf(std::ios::right, std::ios::adjustfield);
  switch (word) {
    case kGp:
      Heading(interp, "Tetra Gp Connections ...",
              "  Zone  Ov.   g0     g1     g2     g3\n ------ --- ------ ------ ------ ------\n");
      break;
    case kInformation:
      Heading(interp, "Tetra Information ...",
              "  Zone  Ov.    Volume                      Centroid\n"
              " ------ --- -------------  ------------- ------------- -------------\n");
      ScientificPrecision(interp, 5);
      break;
    case kStress:
      Heading(interp, "Tetra Stresses ...",
              "  Zone  Ov.    S-XX       S-YY       S-ZZ       S-XY       S-XZ       S-YZ\n"
              " ------ --- ---------- ---------- ---------- ---------- ---------- ----------\n");
      ScientificPrecision(interp, 2);
      break;
    default:
      Heading(interp, "Tetra Principal Stresses ... ",
              "  Zone  Ov.    Maximum    Intermediate     Minimum\n"
              " ------ --- ------------- ------------- -------------\n");
      ScientificPrecision(interp, 5);
      break;
  }

  const Range& range = PrintRange();
  for (Zone* z : ZoneList()) {
    if (z->IsNull() || !range.IsIn(z)) continue;
    for (int o = 0; o < 2; ++o) {
      const ZoneTetra* block = z->Tetra(o);
      if (!block) continue;
      const TetraDef* defs = OverlayDefinitions(z->Type(), o);
      for (int k = 0; k < z->TetraPerOverlay(); ++k) {
        interp << " " << std::setw(6) << z->Id() << "  " << (o + 1) << "  ";
        Columns(interp, word, *z, defs[k], block[k]);
        RowEnd(interp);
      }
    }
  }
}
