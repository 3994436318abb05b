// The exposed zone faces of the model and a cell space over them: the
// interface nodes look up the faces near them there when they search for
// their targets. The interface list owns one; a preparation that starts a
// calculation collects the faces and sizes the cells, every preparation
// fills the cells again.
#pragma once

#include <cstdint>
#include <vector>

#include "model/cell_space.h"
#include "model/zone.h"

class ConsoleStream;

class SurfaceFaceCellSpace : public CellSpace {
 public:
  SurfaceFaceCellSpace() : CellSpace(5) {}

  // The faces of non-null zones with three or more corners and no
  // neighbour across them, or a null one; in zone-list and face order.
  void CollectFaces();
  // Cells over the faces' box widened by 5 % on every side, about five
  // faces to a cell; one empty cell without faces.
  void Size();
  // Every face into every cell its bounding box overlaps; when a face has
  // moved out of the cells since they were sized, they are sized again once
  // and the fill starts over.
  void Fill();
  // Forgets the faces and the cells (the zones they name may be gone).
  void Reset();
  // PRINT INTERFACE cellspace.
  void Print(ConsoleStream& out) const;

  uint32_t FaceCount() const { return static_cast<uint32_t>(faces_.size()); }
  const ZoneFace& FaceAt(uint32_t i) const { return faces_[i]; }
  // How many times the cells were sized (a test of the re-sizing).
  uint32_t sizings = 0;

 private:
  std::vector<ZoneFace> faces_;
};
