// What a grid-point asks of the apply conditions and attach ties that the
// mechanical solution keeps for it: the lists its saved references point
// into, the release of its apply record when it is destroyed, and the
// applied velocities its listing shows. The mechanical solution fills them
// in at start-up; until then a grid-point has no such record.
#pragma once

#include <cstdint>

class LinkListBase;
class LinkListNode;

struct GridServices {
  const LinkListBase* (*applyList)() = nullptr;
  const LinkListBase* (*attachList)() = nullptr;
  // A deleted grid-point's apply condition leaves the apply list and is deleted.
  void (*releaseApply)(LinkListNode* apply) = nullptr;
  // The applied-velocity record of an apply condition: false when it has none.
  bool (*applyVelocity)(const LinkListNode* apply, bool* localAxes, uint8_t* directions) = nullptr;
  // A grid-point or zone is about to be destroyed: the histories let go of it.
  void (*objectDeleted)(const void* object) = nullptr;
};

GridServices& GridHooks();
