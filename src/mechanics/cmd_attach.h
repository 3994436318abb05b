// ATTACH: ties one grid-point to a grid-point, an edge or a zone face, finds
// the ties between touching outer faces of the grid, or deletes ties in a
// range; PRINT ATTACH lists the ties.
#pragma once

#include <cstdint>

class ModelInterpreter;
class Range;

void AttachCommand(ModelInterpreter& interp);
void PrintAttach(ModelInterpreter& interp);

// The settings of the automatic face search.
struct AttachSearchOptions {
  bool global = false;      // every outer face may be a master; only those in the range are scanned
  double tolerance = 1e-6;  // largest distance of a grid-point from a candidate face's plane
  bool snap = true;
  double angleTolerance = 0.5;  // degrees from opposite that two face normals may differ by
};

// ATTACH face: ties the corners of the outer faces to the opposite outer
// faces they lie on; answers the number of ties made.
uint32_t AttachFaceSearch(ModelInterpreter& interp, const Range& range, const AttachSearchOptions& options);
