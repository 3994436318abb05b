// Apply conditions: the boundary and loading conditions that APPLY sets on
// grid-points, zones and zone faces. One record per target that carries any
// condition lives in the global apply list; each record holds a chain of
// applied quantities (newest first) and, for grid-points, a block of applied
// velocities and accelerations with their axes, and a block of quiet-boundary
// and free-field data.
//
// Grid-point forces written by the conditions: appliedForce[0] is the applied
// force (rebuilt from the base force `load` at every preparation),
// appliedForce[1] the per-step applied force (rebuilt in every step). The law
// of motion adds both to the zone forces and imposes the velocity and
// acceleration slots of the grid-point's ApplyLocalBlock.
#pragma once

#include <cstdint>
#include <memory>

#include "base/linklist.h"
#include "base/memory.h"
#include "base/string.h"
#include "model/zone.h"

class CalcModule;
class CommandType;
class GridPoint;
class SaveStream;
class ZoltSymbol;

// Quantity codes of the applied values. Where two codes stand for one
// quantity, the second is used when the value has a multiplier.
enum ApplyCode : uint8_t {
  kApplyForce = 1,
  kApplyForceHist = 2,
  kApplyReaction = 3,
  kApplyVelocity = 4,
  kApplyLocalVelocity = 5,
  kApplyAcceleration = 6,
  kApplyLocalAcceleration = 7,
  kApplyBodyForce = 8,
  kApplyBodyForceHist = 9,
  kApplyStress = 10,
  kApplyStressHist = 11,
  kApplyLocalStress = 12,
  kApplyLocalStressHist = 13,
  kApplyFixCheck = 14,  // FIX asking whether a direction may be fixed
  kApplyQuiet = 16,
  kApplyPointSource = 17,
  kApplyPointSourceHist = 18,
  kApplyVolumeSource = 19,
  kApplyVolumeSourceHist = 20,
  kApplyFlux = 21,
  kApplyFluxHist = 22,
  kApplyConvection = 23,
  kApplyPointWell = 24,
  kApplyPointWellHist = 25,
  kApplyVolumeWell = 26,
  kApplyVolumeWellHist = 27,
  kApplyDischarge = 28,
  kApplyDischargeHist = 29,
  kApplyLeakage = 30,
  kApplyFreeFieldLink = 31,
  kApplyPorePressure = 32,
  kApplyPorePressureHist = 33,
};

// The code that a quantity takes with a multiplier (the code itself when it has none).
uint8_t ApplyHistoryCode(uint8_t code);

// Grid-point flag bits that apply conditions set and read, beside the
// fixity bits 0x1, 0x2, 0x4 and the exclusion bits of NodeBase.
namespace apply_flags {
constexpr uint32_t kQuietX = 0x200;
constexpr uint32_t kQuietY = 0x400;
constexpr uint32_t kQuietZ = 0x800;
constexpr uint32_t kQuiet = 0xE00;
constexpr uint32_t kFreeFieldA = 0x40000;
constexpr uint32_t kFreeFieldB = 0x80000;
constexpr uint32_t kDischarge = 0x200000;
constexpr uint32_t kLeakage = 0x400000;
constexpr uint32_t kPointWell = 0x800000;
// What removing every condition of a grid-point clears; the pore-pressure
// fixity goes with the applied pore pressure itself.
constexpr uint32_t kOwned = kQuiet | kDischarge | kLeakage | kPointWell;
// Zone flag bits of the free field.
constexpr uint32_t kFreeFieldZoneA = 0x100000;
constexpr uint32_t kFreeFieldZoneB = 0x200000;
}  // namespace apply_flags

// Multiplier kinds of a value.
enum ApplyMultiplier : uint8_t { kMultiplierNone = 1, kMultiplierTable = 2, kMultiplierFunction = 3 };

// One applied quantity of a record's chain.
class ApplyValue : public ModelObject {
 public:
  uint8_t quantity = 0;
  uint8_t direction = 0;  // 1-3 x, y, z (or dip, strike, normal); 1-6 stress xx, yy, zz, xy, yz, zx
  uint8_t multiplierKind = kMultiplierNone;
  uint32_t table = 0;
  ZoltSymbol* function = nullptr;
  double value = 0.0;
  double second = 0.0;  // the second parameter of convection and leakage
  double gradient[3] = {0, 0, 0};
  CalcModule* timeBase = nullptr;  // whose time is a table's abscissa; none: the step number
  ApplyValue* next = nullptr;

  // Stores quantity, direction, multiplier and second value; then adds value
  // and gradient (add), multiplies the stored value (multiply), or replaces both.
  void Set(uint8_t quantity, uint8_t direction, uint8_t multiplierKind, uint32_t table, ZoltSymbol* function,
           CalcModule* timeBase, double value, double second, const double gradient[3], bool add, bool multiply);
  bool HasMultiplier() const { return multiplierKind == kMultiplierTable || multiplierKind == kMultiplierFunction; }
  // 1.0 for a constant; the table at the step number or the time base's time;
  // the function's value.
  double Multiplier() const;

  void Save(SaveStream& stream) const;
  void Restore(SaveStream& stream);
  // The function and the time base from what Restore read.
  void RemapPointers();

 private:
  uint32_t savedFunction_ = 0;
  uint8_t savedTimeBase_ = 0;
};

// The applied velocities and accelerations of one grid-point with their axes.
struct ApplyLocalBlock {
  uint8_t local = 0;             // 0 global axes, 1 local axes
  uint8_t planeGiven = 0;        // the local axes came from a plane of the command
  uint32_t mask = 0;             // bits 1, 2, 4: directions 1, 2, 3 that hold a velocity or acceleration
  uint32_t kind[3] = {0, 0, 0};  // quantity code (4 to 7) per direction
  double axes[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};  // dip, strike, normal, row by row
  double velocity[3] = {0, 0, 0};
  double acceleration[3] = {0, 0, 0};

  void Set(uint8_t quantity, int direction, const double axes[3][3], bool planeGiven);
};

// Quiet-boundary dashpots and free-field links of a grid-point or face.
struct ApplyQuietBlock {
  double quiet[3] = {0, 0, 0};
  GridPoint* gpA = nullptr;
  GridPoint* gpB = nullptr;
  double ffA[3] = {0, 0, 0};
  double ffB[3] = {0, 0, 0};
  double ffSum[3] = {0, 0, 0};
  std::unique_ptr<ZoneFace> ffFace;
  uint32_t savedA = 0, savedB = 0;

  ApplyQuietBlock();
  ~ApplyQuietBlock();
  // Links null, free-field coefficients and face cleared.
  void ResetFreeField();
};

class ApplyCondition : public LinkListNode, public ModelObject {
 public:
  enum Kind : uint8_t { kGridPoint = 1, kZone = 2, kFace = 3 };

  // An empty record, for RESTORE to read into.
  ApplyCondition() = default;
  ~ApplyCondition() override;

  // A new record with empty chains, appended to the apply list; a grid-point
  // record is also stored in the grid-point. A face record owns its face.
  static ApplyCondition* Create(GridPoint* gp);
  static ApplyCondition* Create(Zone* zone);
  static ApplyCondition* Create(std::unique_ptr<ZoneFace> face);

  int TargetKind() const { return kind_; }
  GridPoint* Gp() const { return gp_; }
  Zone* GetZone() const;  // the zone, or the face's zone
  ZoneFace* Face() const { return face_.get(); }
  ApplyValue* Values() const { return values_; }
  ApplyLocalBlock* Local() const { return local_.get(); }
  ApplyQuietBlock* Quiet() const { return quiet_.get(); }

  // A new item at the front of the chain.
  ApplyValue* NewValue();
  ApplyLocalBlock* NewLocalBlock();
  ApplyQuietBlock* NewQuietBlock();
  ApplyValue* FindValue(uint8_t quantity, uint8_t direction) const;
  // Unlinks and frees the item; false when it is not in the chain.
  bool DeleteValue(ApplyValue* item);
  // Removes the first item of the code and direction with what goes with it
  // (the local block's slot, quiet and free-field data, the grid-points'
  // marks); a record left empty is removed from the list and deleted, so the
  // record must not be used afterwards when this answers true for `deleted`.
  void RemoveValue(uint8_t quantity, uint8_t direction, bool* deleted = nullptr);
  // Removes every item in the same way; false when the record is not in the list.
  bool RemoveAll();
  // Frees the quiet block; a record left empty is removed and deleted.
  void DropQuietBlock();
  bool IsEmpty() const { return !values_ && !quiet_; }

  // Throws when a new velocity or acceleration (code 4 to 7), or FIX (code
  // 14), conflicts with what the grid-point already has.
  static void CheckVelocityConflict(const GridPoint& gp, uint8_t code, int direction, const double axes[3][3],
                                    bool planeGiven);
  // Throws when a new stress (code 10 to 13) mixes global and local axes on the face.
  void CheckFaceStressConflict(uint8_t code) const;
  // The grid-point's current reaction in a direction becomes its code-3 value.
  static void AddReactionForce(GridPoint& gp, int direction);
  // Fixities and applied velocities give way to the reactions as forces.
  static void FixityToReaction(GridPoint& gp);

  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;
  void RemapPointers() override;

 private:
  friend void RelinkApplyGridPoints();

  uint8_t kind_ = 0;
  GridPoint* gp_ = nullptr;
  Zone* zone_ = nullptr;
  std::unique_ptr<ZoneFace> face_;
  ApplyValue* values_ = nullptr;
  std::unique_ptr<ApplyLocalBlock> local_;
  std::unique_ptr<ApplyQuietBlock> quiet_;
  uint32_t savedTarget_ = 0;
};

// While one lives, the quiet blocks of grid-points that removed quiet or
// free-field faces leave unneeded are only collected; the last one to end
// drops them in one pass over the records (removing many faces stays linear).
class ApplyQuietBatch {
 public:
  ApplyQuietBatch();
  ~ApplyQuietBatch();
  ApplyQuietBatch(const ApplyQuietBatch&) = delete;
  ApplyQuietBatch& operator=(const ApplyQuietBatch&) = delete;
};

// The global list of apply records.
class ApplyList : public LinkListBase {
 public:
  LinkListNode* Create(uint32_t) override { return new ApplyCondition(); }
  ApplyCondition* Head() const { return static_cast<ApplyCondition*>(First()); }
  static ApplyCondition* Next(const ApplyCondition* c) { return static_cast<ApplyCondition*>(c->NextNode()); }

  // The record of a zone face, walking the list.
  ApplyCondition* FindFace(const Zone* zone, int face) const;
  // A record that has become empty comes back to the list, which takes it
  // out and deletes it.
  void Discard(ApplyCondition* record);
  // Removes and deletes every record whose grid-point, zone or face zone is
  // being deleted.
  void PurgeDeleted();
  // Before cycling in dynamic mode: the quiet (code 16) or free-field
  // (code 31) value of a face record in one direction becomes dashpot
  // coefficients of the face's grid-points.
  void DynamicCheck(ApplyCondition& face, int direction, uint8_t code);
};
ApplyList& GlobalApplyList();

// Counts every change to the apply records, so that work prepared from them
// can tell that it is out of date.
uint64_t ApplyEditCount();
void NoteApplyEdit();

// After a restore: every grid-point's record pointer from the records that
// name it (one record per grid-point; a second one loses its target).
void RelinkApplyGridPoints();
// Relinks when a restore left the links unchecked; every user of the records
// calls it first.
void EnsureApplyLinks();

// The apply section of the whole-model save file (the list's own save form;
// NumberAllLists runs first). RESTORE reads it back and, once every list is
// read, remaps it (RemapApplySection) and links the grid-points again.
void SaveApplySection(SaveStream& stream);
void RestoreApplySection(SaveStream& stream);
void RemapApplySection();

// NEW: every record deleted.
void ClearApplyList();

// "Table %s not found" / "Table '%s' not found" unless the table exists.
void CheckTableNumber(int32_t number);
int32_t TableNumberOfName(const String& name);
