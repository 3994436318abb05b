// PRINT GENERATE: the listings of surfaces, reference points and volumes.
#include "base/command.h"
#include "base/message.h"
#include "base/stream.h"
#include "generate/gen_geometry.h"

String GenVectorText(const Vec3& v, int precision, int width, int notation) {
  return "(" + DoubleToString(v.x, precision, width, notation) + "," + DoubleToString(v.y, precision, width, notation) +
         "," + DoubleToString(v.z, precision, width, notation) + ")";
}

namespace {
const char* const kPrintWords = "surface point volume";

String IdText(int32_t id, int width) {
  String text = IntToString(id);
  return text.Length() < width ? String(' ', width - text.Length()) + text : text;
}

// The title (when there is one) and the column header; the header starts
// every later page.
void Header(CommandType& interp, const char* title, const char* columns, const char* dashes) {
  if (title) interp << MessageText(title) << "\n";
  const String header = MessageText(columns) + "\n" + MessageText(dashes) + "\n";
  interp << header;
  interp.SetPageHeader(header);
}
}  // namespace

void GenGeometry::Print(CommandType& interp) const {
  switch (interp.GetKeyword(kPrintWords)) {
    case 1:
      PrintSurfaces(interp);
      break;
    case 2:
      PrintPoints(interp);
      break;
    default:
      PrintVolumes(interp);
      break;
  }
}

void GenGeometry::PrintSurfaces(CommandType& interp) const {
  PageGuard guard(interp);
  Header(interp, nullptr, " ID  P0  P1  P2  Normal                 J0  J1  J2",
         "--- --- --- ---  ------ ------ ------  --- --- ---");
  for (const GenTriangle* t : triangles_) {
    String row = IdText(t->Id(), 3);
    for (int k = 0; k < 3; ++k) row += " " + IdText(t->Point(k)->Id(), 3);
    row += " " + GenVectorText(t->Normal(), 3, 6, 0);
    for (int k = 0; k < 3; ++k) row += " " + (t->Neighbour(k) ? IdText(t->Neighbour(k)->Id(), 3) : String("NUL"));
    interp << row << "\n";
  }
  interp.flush();
}

void GenGeometry::PrintPoints(CommandType& interp) const {
  PageGuard guard(interp);
  Header(interp, "Reference Point List", " ID       X           Y           Z",
         "---  ----------- ----------- -----------");
  for (const GenPoint* p : points_)
    interp << IdText(p->Id(), 3) << " " << GenVectorText(p->Position(), 3, 11, 1) << "\n";
  interp.flush();
}

void GenGeometry::PrintVolumes(CommandType& interp) const {
  PageGuard guard(interp);
  Header(interp, "Volume List", " ID Surf.           Minimum Extent                     Maximum Extent",
         "--- -----  ---------- ---------- ----------   ---------- ---------- ----------");
  for (const GenVolume* v : volumes_) {
    interp << IdText(v->Number(), 3) << " " << IdText(v->TriangleCount(), 5) << " "
           << GenVectorText(v->MinExtent(), 2, 10, 1) << " " << GenVectorText(v->MaxExtent(), 2, 10, 1) << "\n";
  }
  interp.flush();
}
