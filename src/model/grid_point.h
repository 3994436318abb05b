// Grid-points: the nodes of the zone grid. NodeBase holds what every grid
// node has (the kinematic state the calculation step works on, placed first
// and together); GridPoint adds the pore pressure, applied forces, links to
// boundary conditions, the blocks of the coupled modes and the group slots.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "base/linklist.h"
#include "base/memory.h"
#include "base/range.h"
#include "model/gp_fluid.h"
#include "model/model_list.h"
#include "model/zolt_value.h"

class Group;
class SaveStream;

// How the law of motion damps a grid-point: the static schemes (SET
// mechanical damping local / combined) and the dynamic mode's Rayleigh damping.
// Hysteretic damping belongs to zones (INITIAL damping hysteretic); its code
// is never stored in a grid-point.
enum DampingKind : int32_t { kLocalDamping = 0, kRayleighDamping = 1, kCombinedDamping = 2, kHystereticDamping = 3 };

// Blocks of the coupled modes, created by a mode's grid-point hook.
struct GpDynamicData {
  double acceleration[3] = {0, 0, 0};
  double second[3] = {0, 0, 0};  // kept and saved; no calculation writes it yet
  // The grid-point's own time step after preparation, then its multiplier;
  // 0 without multistepping.
  double multiStep = 0.0;
  int32_t dampingKind = kLocalDamping;  // a DampingKind; unknown values damp locally
  double localDamping = 0.0;
  double rayleighAlpha = 0.0;
  double rayleighBeta = 0.0;
  void Save(SaveStream& stream) const;
  void Restore(SaveStream& stream);
};

class NodeBase : public LinkListNode {
 public:
  // Flag word bits.
  enum Flag : uint32_t {
    kFixX = 0x1,
    kFixY = 0x2,
    kFixZ = 0x4,
    kFixVelocity = 0x7,
    kNoMechanicalZone = 0x10,  // touches no zone with a non-null mechanical model
    kDeleteMark = 0x100,       // about to be deleted (DELETE, GENERATE MERGE)
    kFixTemperature = 0x1000,
    kNoThermalZone = 0x2000,
    kFixPorePressure = 0x4000,
    kNoFluidZone = 0x8000,
    kAttached = 0x10000,   // the slave of an attach tie
    kStepMarks = 0xC0000,  // treated specially by the calculation step
    kSlaved = 0x100000,    // slaved to another grid-point
    kLocalSmallStrain = 0x1000000,
    kTopographRange = 0x4000000,   // in the range of GENERATE TOPOGRAPH (scratch)
    kTopographMoved = 0x8000000,   // moved by GENERATE TOPOGRAPH; never cleared
    kModelRangeMark = 0x10000000,  // set by the range element "model"
  };

  // The node's state takes the current damping defaults of SET mechanical.
  NodeBase();
  ~NodeBase() override = default;

  // What the calculation step reads and writes for every node, kept together.
  uint32_t id = 0;
  uint32_t flags = 0;
  double mass = 0.0;
  double stiffness = 0.0;  // nodal stiffness sum (the first mass term)
  double areaSum = 0.0;    // divisor of the out-of-balance measure
  double velocity[3] = {0, 0, 0};
  double position[3] = {0, 0, 0};
  double displacement[3] = {0, 0, 0};
  double smallDisplacement[3] = {0, 0, 0};  // zeroed with the displacement
  double unbalancedForce[3] = {0, 0, 0};
  double lastForce[3] = {0, 0, 0};  // the unbalanced force of the grid-point's last move
  // Sum of |Fx| + |Fy| + |Fz| of every force contribution of the step;
  // cleared with the unbalanced force at the start of every step; not saved.
  double forceSum = 0.0;

  ZoltParamArray extra;
  uint32_t dampingKind = kLocalDamping;  // kLocalDamping or kCombinedDamping
  // Scratch of the step's layouts, which number the grid-points in list
  // order through it while they lay the grid out; 0 otherwise; not saved.
  uint32_t forceStamp = 0;
  double dampingCoefficient = 0.0;
  std::unique_ptr<GpDynamicData> dynamicBlock;

  // The node-base part of the save record.
  void SaveNode(SaveStream& stream) const;
  void RestoreNode(SaveStream& stream);
};

class GridPoint : public NodeBase, public LocatedObject, public ModelObject {
 public:
  static constexpr int kGroupSlots = 12;

  // Takes the next free serial id, sizes the extra variables and announces
  // the grid-point to the calculation modules. The creator appends it.
  GridPoint();
  // A grid-point with the id given by the user; the serial counter is still
  // advanced, as for every new grid-point.
  explicit GridPoint(uint32_t givenId);
  ~GridPoint() override;
  // A grid-point whose record RESTORE reads next: the counter advances, the
  // id comes from the record.
  static GridPoint* NewForRestore() { return new GridPoint(0u); }

  void GetPosition(double out[3]) const override {
    out[0] = position[0];
    out[1] = position[1];
    out[2] = position[2];
  }

  // Group slots. ChangeGroup takes the old group out of its slot (one use
  // less) and puts the new one in (one use more); it changes nothing when it
  // fails ("Gridpoint prevname not found.", "Gridpoint groupnames are full.").
  // Without keepEmpty a group with an empty name counts as none.
  void ChangeGroup(Group* newGroup, Group* oldGroup, bool keepEmpty = false);
  // Throws what ChangeGroup would throw, changing nothing.
  void CheckChangeGroup(const Group* newGroup, const Group* oldGroup, bool keepEmpty = false) const;
  bool InGroup(const Group* group) const;
  bool HasOtherGroup(const Group* group) const;
  int GroupSlotCount() const;
  // -1: the count as text; 0 .. count-1: the name of that used slot.
  String GroupName(int index) const;
  void ClearGroups();
  Group* GroupSlot(int slot) const { return groups_[slot]; }
  int32_t GroupSlotUses(int slot) const { return groupCounts_[slot]; }

  // Copies the state (not the position, id or links) of another grid-point.
  void CopyState(const GridPoint& other);

  // The saved record and the pointer fix-up after every list is read.
  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;
  void RemapPointers() override;

  // The append position in the grid-point list, for "first in list order".
  uint32_t ListSequence() const { return sequence_; }
  void SetListSequence(uint32_t s) { sequence_ = s; }

  // The grid-point's own fields. savedWord, savedValues and linkedScalar
  // are save-format padding: nothing reads them, and they are written back
  // as the file had them so that a restored model saves to the same bytes.
  uint32_t savedWord = 0;
  double porePressure = 0.0;
  double savedValues[2] = {0, 0};
  double linkedScalar = 0.0;
  double appliedForce[2][3] = {{0, 0, 0}, {0, 0, 0}};  // the applied force is their sum
  double load[3] = {0, 0, 0};
  // The grid-point's apply condition and attach tie: members of the apply
  // and attach lists of the mechanical solution, null when there is none.
  LinkListNode* apply = nullptr;
  std::unique_ptr<GpThermalData> thermal;
  std::unique_ptr<GpFluidData> fluid;
  LinkListNode* attach = nullptr;
  // The grid-points slaved to this one.
  struct LinkedEntry {
    GridPoint* gp;
    LinkedEntry* next;
  };
  LinkedEntry* linked = nullptr;

  void AddLinked(GridPoint* gp);
  void ClearLinked();

 private:
  void Init();
  int FindSlot(const Group* group) const;

  Group* groups_[kGroupSlots] = {};
  int32_t groupCounts_[kGroupSlots] = {};
  uint32_t sequence_ = 0;
};

// The grid-point member that holds each flow mode's block, by the block's type.
template <class B>
struct FlowBlockSlot;
template <>
struct FlowBlockSlot<GpFluidData> {
  static constexpr std::unique_ptr<GpFluidData> GridPoint::*kSlot = &GridPoint::fluid;
};
template <>
struct FlowBlockSlot<GpThermalData> {
  static constexpr std::unique_ptr<GpThermalData> GridPoint::*kSlot = &GridPoint::thermal;
};

ModelList<GridPoint>& GridPointList();
// The serial id counter: 0 after NEW.
uint32_t& GridPointIdCounter();
