// Pointers of the scripting language to zones and grid-points.
//
// A pointer carries in its owner word the id of its object (low half) and
// the list-removal count at the time it was made (high half). While no node
// has left a list since, the object is certainly still listed; otherwise the
// id map (rebuilt once after removals) must still give that very object.
// Either way a pointer to a zone or grid-point removed since answers null
// instead of reaching freed memory, in constant time.
#pragma once

#include <cstdint>

#include "model/zolt_value.h"

class GridPoint;
class Zone;

// Makes the value a zone (kind 100) or grid-point (kind 101) pointer; null
// gives the null pointer.
void ZoltSetZone(ZoltValue& value, Zone* zone);
void ZoltSetGridPoint(ZoltValue& value, GridPoint* gp);
// The object a zone or grid-point pointer names while it is still listed;
// null for the null pointer and for an object removed since. Another pointer
// kind, or no pointer, is "Bad pointer conversion".
Zone* ZoltLiveZone(const ZoltValue& value);
GridPoint* ZoltLiveGridPoint(const ZoltValue& value);
// Whether a zone or grid-point pointer still names a listed object (other
// values: true).
bool ZoltModelPointerLive(const ZoltValue& value);

// The zone and grid-point sets (ranges 2 and 3), registered at start-up.
class ZoltIntrinsicSet;
ZoltIntrinsicSet& ZoltZoneIntrinsics();
ZoltIntrinsicSet& ZoltGridPointIntrinsics();
void InstallZoltZoneIntrinsics();

// A zone's or grid-point's state to (write) or from (read) the open ZOLT
// file: 0, or the error code of the file operation that failed. A read
// changes the object only when the whole state was read and checked.
int32_t ZoltZoneState(Zone& zone, bool write);
int32_t ZoltGridPointState(GridPoint& gp, bool write);

// SAVE: zone and grid-point pointers in the extra variables of zones and
// grid-points that name removed objects become null. RESTORE: the pointers
// those variables held come back once the lists are read.
void ZoltForgetDeadExtraPointers();
void ZoltRemapExtraPointers();
