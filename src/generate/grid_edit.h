// Editing the grid that is there: copies of a selection mirrored in a plane
// or shifted (GENERATE ZONE REFLECT and COPY), the merge of coincident
// boundary grid-points (GENERATE MERGE), cutting a group loose (GENERATE
// SEPARATE), and DELETE and PDELETE.
#pragma once

#include <cstdint>

class CommandType;
class ModelInterpreter;
class Plane;
class Range;

// GENERATE ZONE REFLECT [range] [dip a] [dd a] [normal x y z] [origin x y z]
// [nomerge]; GENERATE ZONE COPY [range] x y z [nomerge].
void GenerateReflect(CommandType& interp);
void GenerateCopy(CommandType& interp);

enum class CopyMode { kReflect, kCopy };
// Copies the zones whose centroid the range holds, mirrored in the plane or
// shifted by the plane's origin, with new grid-points (merged with the
// boundary grid-points of the grid that was there unless `merge` is off),
// the same types and groups, and the face links among the copies and to the
// old grid.
void CopyZoneSelection(const Plane& plane, const Range& range, CommandType& interp, CopyMode mode, bool merge);

// GENERATE MERGE [range] findtol | tolerance.
void MergeCommand(ModelInterpreter& interp);
// The shortest edge of the free faces at boundary grid-points in the range.
void FindMergeTolerance(const Range& range, CommandType& interp);
// Merges boundary grid-points in the range closer than the tolerance, joins
// the free faces that then hold the same grid-points and deletes the
// grid-points no zone uses any more.
void MergeGridPoints(double tolerance, const Range& range, CommandType& interp);

// GENERATE SEPARATE group.
void SeparateCommand(ModelInterpreter& interp);

// DELETE namedrange s | volumes | [range]; PDELETE inactive | [range].
void DeleteCommand(ModelInterpreter& interp);
void PDeleteCommand(ModelInterpreter& interp);

// Deletes the zones whose centroid the range holds and the grid-points that
// only they used, with every reference other objects hold to them.
struct DeletedCounts {
  uint32_t zones = 0;
  uint32_t gridPoints = 0;
};
DeletedCounts DeleteZonesInRange(const Range& range, CommandType& interp);

// The grid-points that carry NodeBase::kDeleteMark leave the apply
// conditions and attach ties.
void ReleaseDeletedGridPoints();
