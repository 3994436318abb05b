#include "modes/gp_link.h"

#include "base/command.h"
#include "base/range.h"
#include "base/string.h"
#include "model/grid_point.h"

GpLinker::GpLinker() {
  for (GridPoint* gp : GridPointList())
    for (const GridPoint::LinkedEntry* e = gp->linked; e; e = e->next)
      if (e->gp) owner_[e->gp] = gp;
}

GridPoint* GpLinker::FindOwner(GridPoint* gp) const {
  if (!gp) return nullptr;
  if (gp->linked) return gp;
  auto it = owner_.find(gp);
  return it == owner_.end() ? nullptr : it->second;
}

void GpLinker::Link(GridPoint* first, GridPoint* second, CommandType& out) {
  if (!first) {
    out << "+++ Warning!  Gp Attach: no gp found\n";
    return;
  }
  GridPoint* master = FindOwner(first);
  if (!master) master = first;
  GridPoint* other = FindOwner(second);
  if (second && second != master) {
    if (!other) {
      bool held = false;
      for (const GridPoint::LinkedEntry* e = master->linked; e && !held; e = e->next) held = e->gp == second;
      if (!held) {
        master->AddLinked(second);
        owner_[second] = master;
      }
    } else if (other != master) {
      // The other master and its chain go in front of this chain, in their order.
      GridPoint::LinkedEntry* head = other->linked;
      GridPoint::LinkedEntry* tail = head;
      while (tail && tail->next) tail = tail->next;
      for (GridPoint::LinkedEntry* e = head; e; e = e->next) owner_[e->gp] = master;
      if (tail) tail->next = master->linked;
      other->linked = nullptr;
      master->linked = new GridPoint::LinkedEntry{other, head ? head : master->linked};
      owner_[other] = master;
    }
  }
  if (!master->linked) {
    out << "+++ Warning! Gp Attach: only 1 gp found " << UIntToString(master->id) << "\n";
    out << FormatText("+++ Warning! Gp Attach: master: %1", UIntToString(master->id).c_str()) << "\n";
    return;
  }
  master->flags &= ~NodeBase::kSlaved;
  owner_.erase(master);
  for (GridPoint::LinkedEntry* e = master->linked; e; e = e->next) e->gp->flags |= NodeBase::kSlaved;
}

void GpAttachCommand(CommandType& interp) {
  Range range;
  range.Parse(interp);
  const bool everything = range.ElementCount() == 0;
  GridPoint* first = nullptr;
  GpLinker linker;
  bool linkedAny = false;
  for (GridPoint* gp : GridPointList()) {
    if (gp->flags & NodeBase::kDeleteMark) continue;
    if (!everything && !range.IsInAt(gp->position, gp)) continue;
    if (!first) {
      first = gp;
      continue;
    }
    linker.Link(first, gp, interp);
    linkedAny = true;
  }
  if (!first) {
    interp << "+++ Warning!  Gp Attach: no gp found\n";
    return;
  }
  if (!linkedAny) linker.Link(first, first, interp);
}
