// The model's global settings: time step, gravity, intervals, SOLVE limits,
// damping, flags and extra-variable counts. Saved as one block with the
// model and set back to the defaults by NEW.
#pragma once

#include <cstdint>

class History;
class SaveStream;
class ZoltSymbol;

// The unbalanced-force sums of the last mechanical step.
struct StepSums {
  double unbalanced = 0.0;          // sum over grid-points of |Fx| + |Fy| + |Fz|
  double previousUnbalanced = 0.0;  // the same sum of the step before
  double forces = 0.0;              // sum of the grid-points' force-magnitude sums
  double localRatio = 0.0;          // the largest local ratio of a grid-point

  void Save(SaveStream& stream) const;
  void Restore(SaveStream& stream);
};

struct ModelSettings {
  static constexpr double kLargest = 1.7976931348623157e308;

  // The console window's placement, written into the save file by SAVE and
  // skipped by RESTORE.
  double devicePlacement[4] = {0, 0, 0, 0};
  bool largeStrain = false;   // SET LARGE / SMALL
  double timestep = 0.0;      // current time step
  double forceRatio = 0.0;    // current mechanical (unbalanced-force) ratio
  double waterDensity = 0.0;  // save-format padding (WATER keeps its density on the water table)
  bool porePressure = false;  // fluid configured or switched on
  double gravity[3] = {0, 0, 0};
  int32_t ratioType = 0;         // 0 average, 1 maximum, 2 local
  bool mechanical = true;        // SET MECHANICAL on / off
  bool reserved = false;         // save-format padding: nothing reads it
  int32_t dampingType = 0;       // static damping: local or combined (DampingKind)
  double unbalancedForce = 0.0;  // current maximum unbalanced force
  double areaTotal = 0.0;        // the grid-points' area sums totalled by the last preparation
  StepSums sums;
  double dampingFactor = 0.8;      // local damping coefficient
  int32_t historySteps = 0;        // steps counted towards the history interval
  int32_t totalCycles = 0;         // the step counter
  int32_t solveCount = 0;          // kept by SOLVE
  int32_t geometryInterval = 10;   // SET GEOM_REP
  int32_t historyInterval = 10;    // SET HIST_REP
  int32_t stepLimit = 1000000000;  // SOLVE step limit
  int32_t plotInterval = 20;       // SET PINTERVAL
  double forceLimit = 0.0;         // SOLVE force limit
  double ratioLimit = 0.0;         // SOLVE ratio limit
  int32_t substepLimit = 0;
  bool solveSlave = false;
  int32_t zoneExtras = 0;     // CONFIG ZEXTRA
  int32_t gpExtras = 0;       // CONFIG GPEXTRA
  bool cycleDisplay = false;  // SET DISPLAY
  History* displayHistory = nullptr;
  ZoltSymbol* displaySymbol = nullptr;
  bool cppudm = false;    // CONFIG CPPUDM; NEW leaves it set
  bool fosKnown = false;  // factor of safety available (SOLVE FOS)
  double fos = 0.0;
  double geometryRatio = 0.0;  // SET GEOMETRY
  bool tracking = false;       // SET TRACK
  int32_t trackCount = 0;      // particle tracking's, which is not built yet: save-format
  double trackReal = 0.0;      // padding until then, carried through the file

  // Not saved: kept beside the record and reset with it.
  bool freeField = false;  // a grid-point carries free-field marks
  // Save indices of the display history and symbol read by RESTORE, turned
  // back into objects once every list is restored.
  uint32_t displayHistoryIndex = 0;
  uint32_t displaySymbolIndex = 0;

  // NEW: every field back to its default, except the cppudm flag.
  void Reset();
  // The settings block of the save file, field by field.
  void Save(SaveStream& stream) const;
  // Reads the block of a file of the given program version (older files
  // lack some fields or store them in older forms).
  void Restore(SaveStream& stream, int32_t fileVersion);
  // After RESTORE: the display history and symbol from their save indices.
  void ResolveDisplay();
};

// The one settings record of the model.
ModelSettings& Settings();
