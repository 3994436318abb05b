// What the grid asks of the subsystems above it: apply conditions and attach
// ties, the coupled modes' zone data, structural elements, GENERATE volumes
// and the range subjects those subsystems own. Each subsystem fills in its
// entries at start-up; an entry left empty answers as that subsystem would
// with nothing in it.
#pragma once

#include <cstdint>

class GridPoint;
class LinkListBase;
class LinkListNode;
class LocatedObject;
class RangeElement;
class Zone;
class ZoneRecord;
struct ZoneTetra;

struct GridServices {
  // Apply conditions and attach ties of the mechanical solution.
  const LinkListBase* (*applyList)() = nullptr;
  const LinkListBase* (*attachList)() = nullptr;
  // A deleted grid-point's apply condition leaves the apply list and is deleted.
  void (*releaseApply)(LinkListNode* apply) = nullptr;
  // The applied-velocity record of an apply condition: false when it has none.
  bool (*applyVelocity)(const LinkListNode* apply, bool* localAxes, uint8_t* directions) = nullptr;

  // Coupled modes.
  bool (*fluidBiotOn)() = nullptr;                              // SET fluid biot
  double (*zoneTemperature)(const Zone& zone) = nullptr;        // 0 without thermal mode
  double (*zonePorosity)(const Zone& zone) = nullptr;           // 0 without fluid mode
  double (*fluidStiffness)(Zone& zone) = nullptr;               // 0 without fluid mode
  // Adds the tetrahedron's mass share to its corners (dynamic mode on).
  void (*dynamicTetraMass)(const ZoneTetra& tetra, GridPoint* const corners[4], Zone& zone, int overlays) = nullptr;
  // Empty records of the modes, for RESTORE to read into.
  ZoneRecord* (*newThermalRecord)() = nullptr;
  ZoneRecord* (*newFluidRecord)() = nullptr;
  ZoneRecord* (*newChemistryRecord)() = nullptr;
  bool (*thermalProperty)(const Zone& zone, const char* name, double* value) = nullptr;
  bool (*fluidProperty)(const Zone& zone, const char* name, double* value) = nullptr;

  // Structural elements: every element with a group adds one to its selCount.
  void (*countGroupElements)() = nullptr;

  // Range subjects of other subsystems (kinds 13 to 19, and zone faces for
  // "seltype"): true when the hook decided, with the answer in `inside`.
  bool (*rangeSubjectIsIn)(const RangeElement& element, const double position[3], const LocatedObject* subject,
                           bool* inside) = nullptr;

};

GridServices& GridHooks();
