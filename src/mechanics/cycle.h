// The calculation cycle behind STEP and CYCLE: the preparation of the model,
// the fixed phase order of one step with its scripting callback points, the
// step table and the run loop. The phases of subsystems that sit above the
// mechanical solution (scripting, histories, coupled modes, structural
// elements, views) and of the apply and attach conditions are reached
// through CyclePhases, which those subsystems fill in at start-up; a phase
// left empty does nothing, as its subsystem would with nothing in it.
#pragma once

#include <cstdint>

#include "base/string.h"

class CommandType;
class GridPoint;
class History;
class ModelInterpreter;
class Zone;
class ZoltSymbol;
struct TetraDef;

// A value shown in the display column of the step table.
struct DisplayValue {
  enum Kind { kNone, kInteger, kReal, kText } kind = kNone;
  int64_t integer = 0;
  double real = 0.0;
  String text;
};

// The applied velocity of a grid-point, as the law of motion reads it.
struct VelocityCondition {
  bool localAxes = false;
  double axes[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};  // rows: the local directions in global axes
  uint8_t directions = 0;  // bit i: a velocity is applied in direction i
  int kind[3] = {0, 0, 0};  // 4 and 5 give the velocity itself, others a rate
  double value[3] = {0, 0, 0};
  double rate[3] = {0, 0, 0};
};

// The zone values of the fluid mode that the zone stress pass reads.
struct ZoneFluidValues {
  double saturation = 1.0;
  double modulus = 0.0;
  double biot = 0.0;
  double thermal = 0.0;
  double tensionLimit = -1e15;
};

// The dynamic mode's settings that the zone pass and the law of motion read.
struct DynamicStepSettings {
  bool multistepping = false;
  bool viscosity = false;        // artificial viscosity
  double quadratic = 0.0;        // its quadratic coefficient
  double linear = 0.0;           // its linear coefficient
};

struct CyclePhases {
  // Apply conditions: phase 1 at every preparation, phase 2 in every step.
  void (*prepareApply)() = nullptr;
  void (*applyStep)() = nullptr;
  // The applied velocity of a grid-point's apply record; false: none.
  bool (*velocityCondition)(const GridPoint& gp, VelocityCondition* out) = nullptr;
  // Viscous-boundary coefficients of a grid-point (dynamic mode): false: none.
  bool (*viscousCoefficients)(const GridPoint& gp, double out[3]) = nullptr;

  // Scripting: every function registered under the callback number.
  void (*zoltCall)(int number) = nullptr;
  // Histories: one sample at the step count.
  void (*sampleHistories)(uint32_t step) = nullptr;
  // The display column: its name and the value of this step.
  String (*displayName)() = nullptr;
  DisplayValue (*displayValue)(CommandType& interp) = nullptr;

  // Views: whether the current view wants a hardcopy after every step, and the hardcopy.
  bool (*refreshCurrentView)() = nullptr;
  void (*hardcopyCurrentView)() = nullptr;

  // Preparation of the other subsystems.
  bool (*checkInterfaces)(bool reprepare, CommandType& interp) = nullptr;
  void (*validateStructures)(CommandType& interp, bool dynamic, bool largeStrain) = nullptr;
  void (*checkAttach)() = nullptr;
  // The fluid model preparation of every zone that has one; false when no zone has one.
  bool (*prepareFluidZones)() = nullptr;
  // The attach and interface fluid preparation, run between the two inversions
  // of the grid-points' fluid volume value, which the fluid mode owns.
  void (*prepareFluidLinks)() = nullptr;
  void (*prepareThermalLinks)() = nullptr;  // attach and interface thermal preparation
  void (*buildGpZoneIndex)() = nullptr;
  void (*particlePostStep)() = nullptr;
  void (*particleStep)(int mode) = nullptr;

  // Phases of one step.
  void (*freeFieldStep)() = nullptr;
  void (*freeFieldCoupling)(int pass) = nullptr;
  void (*fluidMechanicalCoupling)() = nullptr;
  void (*fluidBiotUpdate)() = nullptr;
  bool (*fluidBiotOn)() = nullptr;
  void (*interfaceForces)() = nullptr;
  void (*interfaceMotion)() = nullptr;
  void (*structureStepBegin)() = nullptr;
  void (*structureForces)(double dt, CommandType& interp) = nullptr;
  void (*structureMotion)(bool dynamic, double dt) = nullptr;
  void (*attachForces)() = nullptr;
  void (*attachMotion)() = nullptr;
  void (*thermalStep)(CommandType& interp) = nullptr;
  void (*thermalClearSums)() = nullptr;
  void (*fluidStep)(CommandType& interp) = nullptr;
  void (*fluidZonePressureTerms)() = nullptr;
  void (*fluidClearSums)() = nullptr;
  bool (*chemistryDue)() = nullptr;
  void (*chemistryStep)() = nullptr;

  // Zone values of the coupled modes read by the zone stress pass.
  double (*thermalExpansion)(const Zone& zone) = nullptr;
  double (*tetraTemperatureIncrement)(const Zone& zone, const TetraDef& def) = nullptr;
  void (*fluidZoneValues)(const Zone& zone, ZoneFluidValues* out) = nullptr;
  // Hands the zone's fluid volume change to its grid-points.
  void (*addFluidVolumeChange)(Zone& zone, double change) = nullptr;
  DynamicStepSettings (*dynamicSettings)() = nullptr;
};

// The one table of phases.
CyclePhases& Phases();

// The cycle's model-wide values that are not kept among the model settings.
struct CycleState {
  uint32_t gpCount = 0;           // grid-points that added to the sums of this step
  bool geometryUpdate = false;    // a zone's model asks for geometry updates
  bool hardcopy = false;          // the current view asked for a hardcopy after every step
};
CycleState& TheCycleState();

class Cycle {
 public:
  // STEP / CYCLE of `count` steps.
  static void Run(uint32_t count, CommandType& interp);
  // Per-run set-up before the first preparation.
  static void BeginRun(CommandType& interp);
  // Prepares cycling; false when a zone check stopped it (it printed why).
  static bool Prepare(bool reprepare, CommandType& interp, bool quiet);
  // One calculation step in the fixed phase order.
  static void Step(CommandType& interp);
  // The text of the step table's line after a step (without its carriage return).
  static String TableLine(uint32_t index, uint32_t count, CommandType& interp);
  // The header and dash lines of the step table.
  static void Header(String& header, String& dashes);
};

// Clears the grid-points' pre-cycle sums, checks every zone and totals the
// grid-points' area sums; false when a zone check stopped cycling.
bool CheckModelBeforeCycle(bool reprepare, CommandType& interp);
// Every zone's auxiliary tetrahedra and their volumes.
bool CheckZoneTetraVolumes(CommandType& interp);

// The step's accumulators, kept among the model settings.
struct StepSums {
  double unbalanced = 0.0;    // sum of |Fx| + |Fy| + |Fz|
  double forces = 0.0;        // sum of the grid-points' force-magnitude sums
  double localRatio = 0.0;    // largest local ratio
  double maxUnbalanced = 0.0;
  uint32_t gpCount = 0;
};

// The STEP and CYCLE handler, and its installation among the model words.
void StepCommand(ModelInterpreter& interp);
void InstallMechanicsCycle();
