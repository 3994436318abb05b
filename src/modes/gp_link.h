// Grid-point link groups: a master grid-point owns a chain of the grid-points
// that move with it (flag NodeBase::kSlaved). The free field ties the two
// faces of each of its zones this way; GPATTACH lets the user do the same.
#pragma once

#include <unordered_map>

class CommandType;
class GridPoint;

// Links grid-points into groups. It keeps a map from every chain member to
// its master, built once from the model's chains, so that many links cost
// no search through the grid.
class GpLinker {
 public:
  GpLinker();
  // The grid-point's master: itself when it owns a chain, else the owner of
  // the chain that holds it, else none.
  GridPoint* FindOwner(GridPoint* gp) const;
  // Puts the second grid-point, with its own group, into the first one's
  // group; writes the warnings of a group left with one grid-point.
  void Link(GridPoint* first, GridPoint* second, CommandType& out);

 private:
  std::unordered_map<const GridPoint*, GridPoint*> owner_;
};

// GPATTACH <range>: every grid-point of the range linked to the first one.
void GpAttachCommand(CommandType& interp);
