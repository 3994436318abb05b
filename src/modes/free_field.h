// The free-field boundary of dynamic analysis: a one-zone-thick side grid
// beside each vertical side of the model and a one-zone column at each
// vertical corner, running the same models and stresses as the zones they
// copy. In the step the inner side grid-points receive the free-field
// stresses and the dashpot forces driven by the free-field velocities.
//
// The free field owns no container: its zones and grid-points are members of
// the grid lists recognised by their flags, and the coupling lives in the
// apply records (the quiet blocks). The step works from lists of the coupled
// faces and grid-points built at each preparation.
#pragma once

#include <cstdint>
#include <vector>

struct ApplyQuietBlock;
class CommandType;
class GridPoint;
class Zone;
struct ZoneTetra;

namespace free_field {
// Flags of free-field zones and grid-points.
constexpr uint32_t kSideZone = 0x200000;
constexpr uint32_t kCornerZone = 0x100000;
constexpr uint32_t kZoneFlags = kSideZone | kCornerZone;
constexpr uint32_t kSideGp = 0x80000;
constexpr uint32_t kCornerGp = 0x40000;
constexpr uint32_t kGpFlags = kSideGp | kCornerGp;
}  // namespace free_field

class FreeField {
 public:
  // APPLY ff: builds the free field, writes " Created <n> free-field zones "
  // and answers the number of inner faces coupled to it. Refused with
  // "Free-field already exists", or after the boundary check's warnings with
  // "Free-field not created"; nothing is built then.
  static int32_t Create(CommandType& interp);
  // Removes the free-field zones and grid-points with what refers to them.
  static void RemoveAll(CommandType& interp);

  // The step's lists from the apply records (every preparation).
  void Build();
  // The free-field stresses on the coupled inner faces (after the zone pass).
  void Step();
  // The dashpot forces of the corner-column (0) or side-grid (1) grid-points
  // on the grid-points they drive.
  void CouplingPass(int kind);
  // Whether the lists still match the apply records.
  bool Stale() const;

 private:
  struct StressTerm {
    GridPoint* inner;
    const ZoneTetra* tetra;
    double scale[3];  // the tetrahedron's factor times the face's axis mask
    uint8_t corner;
  };
  struct Dashpot {
    GridPoint* gp;
    ApplyQuietBlock* block;
  };
  std::vector<StressTerm> terms_;
  std::vector<Dashpot> dashpots_[2];
  uint64_t edits_ = ~uint64_t{0};
};

// The model's free field as the step reaches it.
FreeField& TheFreeField();
void InstallFreeField();
