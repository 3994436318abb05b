// Building and searching the grid. Grid-points and zones are made, joined and
// deleted through these functions, which keep the id maps, the spatial index
// of the grid-points and the map of unjoined zone faces in step with the
// global lists, so that building a grid of n zones takes time in n, not n².
//
// Every creator of grid objects (the GP and ZONE commands, GENERATE, grid
// import) uses them. Code that edits the lists in another way (RESTORE,
// merging) calls GridIndexesChanged afterwards.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/string.h"
#include "model/grid_point.h"
#include "model/group.h"
#include "model/zone.h"

// ---------------------------------------------------------------------------
// Creation

// A new grid-point at the position, appended to the grid-point list. Id 0
// takes the next free serial id; another id is honoured and must be free
// ("Gp with ID %s already exists"). No test of nearby grid-points is made:
// see CoincidentGridpoint.
GridPoint* CreateGridPoint(const double position[3], uint32_t id = 0);

// A new zone of the type (ZoneType) over the type's grid-points in local
// order (8, 6, 5, 7 or 4 of them), appended to the zone list. The unused
// corner slots get the type's repeats. Id 0 takes the next free serial id;
// another id must be free ("Zone ID %s already exists"). A zone whose volume
// is not positive is not kept ("Illegal geometry in zone %s"). With `join`
// the zone is linked to the zones that share a face with it.
Zone* CreateZone(int type, GridPoint* const gps[], uint32_t id = 0, bool join = true);

// Links the zone's unjoined faces with the unjoined faces of the listed zones
// that have the same grid-points (first in list order), both ways.
void JoinNeighbours(Zone& zone);

// Unlinks a zone from its neighbours and from the zone-face list, removes it
// from the zone list and destroys it.
void DeleteZone(Zone* zone);
// Removes a grid-point that no zone uses from the list and destroys it.
void DeleteGridPoint(GridPoint* gp);

// FindGroup, else a new group (see group.h).
Group* FindOrCreateGroup(const String& name);

// ---------------------------------------------------------------------------
// Bulk creation
//
// A generator that makes many objects at once (GENERATE ZONE, GRID) appends
// them through a batch. Every object takes its id and its place in the list
// as above, but the spatial index of the grid-points and the map of unjoined
// faces take the batch's objects in one pass when the batch ends, after the
// generator has set the zones' grid-points and linked their neighbours. The
// batch ends when it goes out of scope, also when the generation stops with
// an error: what was made stays in the grid. No volume test is made.
class GridBatch {
 public:
  // The expected numbers size the id maps once.
  GridBatch(size_t expectedGridPoints, size_t expectedZones);
  ~GridBatch();
  GridBatch(const GridBatch&) = delete;
  GridBatch& operator=(const GridBatch&) = delete;

  // A new grid-point at the position, appended to the grid-point list.
  static GridPoint* NewGridPoint(const double position[3]);
  // A new brick zone without grid-points, appended to the zone list; the
  // generator gives it its grid-points, type, group and neighbours.
  static Zone* NewZone();
  // Links two zones across one face each. A zone that was there before the
  // batch no longer counts its face as unjoined.
  static void Link(Zone* a, int faceA, Zone* b, int faceB);
};

// ---------------------------------------------------------------------------
// Look-ups

GridPoint* FindGridpoint(uint32_t id);
Zone* FindZone(uint32_t id);
bool GridPointIdInUse(uint32_t id);
bool ZoneIdInUse(uint32_t id);
// The grid-point nearest to the position (first in list order on equal
// distances); null for an empty list.
GridPoint* NearestGridpointAny(const double position[3]);
// The same among the grid-points whose flags share no bit with the mask.
GridPoint* NearestGridpoint(const double position[3], uint32_t mask);
// The nearest grid-point closer than the radius, or null.
GridPoint* NearestGridpointWithin(const double position[3], double radius);
// The grid-point that a new one at the position would coincide with: the
// nearest one, when its distance is below 1e-6 times the largest absolute
// coordinate of the two positions (1e-6 when both are at the origin).
GridPoint* CoincidentGridpoint(const double position[3]);
// The zone whose centroid is nearest (first in list order on equal
// distances); NearestZone skips null-model zones.
Zone* NearestZoneAny(const double position[3]);
Zone* NearestZone(const double position[3]);
// Objects of a save index, valid between a restore and the release of the
// index arrays; null for 0 or an index past the count.
GridPoint* GetGridPointByIndex(uint32_t index);
Zone* GetZoneByIndex(uint32_t index);
bool IsGridPoint(const void* object);
bool IsZone(const void* object);

// ---------------------------------------------------------------------------
// Housekeeping

// The lists were edited outside these functions: the indexes are rebuilt
// from the lists at their next use.
void GridIndexesChanged();
// Grid-points were moved (their positions set): the spatial indexes follow.
void GridPointsMoved();
// A count that changes whenever the indexes are to be rebuilt; the nearest-
// zone look-up lays its own index out again when it differs.
uint32_t GridGeometryStamp();
// NEW: every group, grid-point and zone deleted, the id counters at 0.
void ClearGrid();
