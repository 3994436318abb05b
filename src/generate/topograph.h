// GENERATE TOPOGRAPH: grid-points fitted in z to the surface triangles of the
// GENERATE geometry store.
#pragma once

#include <cstdint>

#include "base/string.h"

class ConsoleStream;
class ModelInterpreter;
class Range;

enum TopographMode : int { kTopographAbove = 1, kTopographBelow = 2 };

// GENERATE TOPOGRAPH [above | below] (name s | surfid n) [range phrase].
void TopographCommand(ModelInterpreter& interp);

// Moves the grid-points of the range that no TOPOGRAPH moved before so that
// the top of the range (above) or its bottom (below) takes the height of the
// selected triangles at the grid-point's x and y, the others in proportion
// to their height in the range; where triangles overlap, the last in list
// order decides. Surface id 0 and a null name select every triangle. A range
// whose grid-points all share one z is refused before anything moves.
void ProjectToTopography(ConsoleStream& console, const Range& range, int32_t surfaceId, const String* name, int mode);
