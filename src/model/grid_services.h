// What a grid-point asks of the apply conditions and attach ties that the
// mechanical solution keeps for it: the lists its saved references point
// into, the release of its apply record when it is destroyed, and the
// applied velocities its listing shows. The mechanical solution fills them
// in at start-up; until then a grid-point has no such record.
#pragma once

#include <cstdint>

class CommandType;
class LinkListBase;
class LinkListNode;

struct GridServices {
  const LinkListBase* (*applyList)() = nullptr;
  const LinkListBase* (*attachList)() = nullptr;
  // A deleted grid-point's apply condition leaves the apply list and is deleted.
  void (*releaseApply)(LinkListNode* apply) = nullptr;
  // The applied-velocity record of an apply condition: false when it has none.
  bool (*applyVelocity)(const LinkListNode* apply, bool* localAxes, uint8_t* directions) = nullptr;

  // DELETE and GENERATE MERGE, once the zones that go carry Zone::kDeleted
  // and the grid-points that go NodeBase::kDeleteMark: the interfaces, the
  // apply conditions and the attach ties drop what refers to them.
  void (*removeDeletedInterfaces)(CommandType& out) = nullptr;
  void (*purgeDeletedApply)() = nullptr;
  uint32_t (*removeDeletedTies)() = nullptr;
  // PDELETE INACTIVE: deletes the particles whose active flag is clear and
  // answers how many.
  uint32_t (*deleteInactiveParticles)() = nullptr;
  // A grid-point or zone is about to be destroyed: the histories let go of it.
  void (*objectDeleted)(const void* object) = nullptr;
};

GridServices& GridHooks();
