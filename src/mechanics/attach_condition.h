// Attach ties: a slave grid-point tied to a master grid-point, to a point of
// an edge between two grid-points, or to a point of a zone face. A tied
// slave takes no part in the law of motion: in every step its force goes to
// its masters with the tie's weights, and after the masters have moved its
// velocity (and, with snap, its position) is interpolated back from them.
// Stiffness and mass go the same way when cycling is prepared. Ties may form
// chains (a master may itself be a slave): sums are passed on up the chain
// and an interpolation brings the master up to date first.
//
// The ties live in the model's attach list, which SAVE, RESTORE and NEW
// handle. The list keeps a packed copy of every tie (masters, weights and
// the place of each master's own tie) in list order, rebuilt at every
// preparation and after every change of the list, which the step's passes
// walk without allocating.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "base/linklist.h"
#include "base/memory.h"
#include "model/grid_point.h"
#include "model/zone.h"

class GridPoint;
class Range;
class SaveStream;
class StepParticipant;

// The masters of a tie with their weights: one grid-point, the two ends of
// an edge, or the three or four corners of a zone face.
struct AttachMasters {
  GridPoint* gp[4] = {nullptr, nullptr, nullptr, nullptr};
  double weight[4] = {0, 0, 0, 0};
  int count = 0;
  // Bit k: master k is followed up its chain (brought up to date first,
  // handed the sums on, looked at for cycles). A face follows only the
  // corners of weight 0.05 or more.
  uint8_t follow = 0;
};

class AttachCondition : public LinkListNode, public ModelObject {
 public:
  enum Kind : uint32_t { kGp = 1, kEdge = 2, kFace = 3 };

  // Clears the slave's attach pointer and attached flag (when they are this tie's).
  ~AttachCondition() override;

  GridPoint* Slave() const { return slave_; }
  bool Snap() const { return snap_ != 0; }

  // "Gp", "Edge" or "Face".
  virtual const char* TypeName() const = 0;
  virtual void Masters(AttachMasters& out) const = 0;
  // True: the tie is skipped by the mechanical passes (an inactive slave or
  // master; for a face, a null zone).
  virtual bool IsInactive() const;
  // True: the tie is skipped by the fluid (thermal) passes: the slave or a
  // master lies in no zone of a fluid (thermal) model or has no block of
  // the mode; for a face, the slave or the face's zone.
  virtual bool IsFluidInactive() const;
  virtual bool IsThermalInactive() const;
  // True: the tie refers to a grid-point (or, for a face, a zone) being deleted.
  virtual bool IsDeleted() const;
  // One line of PRINT ATTACH.
  void PrintLine(std::ostream& out) const;

  // Whether the grid-point is a followed master of this tie or of any tie up its chain.
  bool DependsOn(const GridPoint* gp) const;
  // The slave's displacement, small-strain displacement and position from
  // its masters; a master tied with snap is brought up to date first.
  void UpdatePosition();

  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;
  void RemapPointers() override;
  // After a restore: every grid-point (and the face's zone) was found.
  virtual bool Resolved() const { return slave_ != nullptr; }

 protected:
  // An empty tie that RESTORE reads into.
  explicit AttachCondition(uint32_t kind);
  // Ties the slave: AttachExcept "Gp <id> already has an attach condition"
  // when it has one. A kind's constructor that fails after this leaves the
  // slave untied (this destructor runs).
  AttachCondition(uint32_t kind, GridPoint* slave, bool snap);

  virtual void PrintInfo(std::ostream& out) const = 0;
  // Whether the slave or a master carries one of the grid-point flags.
  bool AnyCarries(uint32_t flags) const;

 private:
  friend class AttachList;
  GridPoint* slave_ = nullptr;
  uint8_t snap_ = 0;
  int32_t packed_ = -1;  // place in the list's packed form; scratch of the restore checks
};

class AttachGp : public AttachCondition {
 public:
  AttachGp() : AttachCondition(kGp) {}
  AttachGp(GridPoint* slave, GridPoint* master, bool snap);
  GridPoint* Master() const { return master_; }
  const char* TypeName() const override { return "Gp"; }
  void Masters(AttachMasters& out) const override;
  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;
  void RemapPointers() override;
  bool Resolved() const override { return AttachCondition::Resolved() && master_; }

 protected:
  void PrintInfo(std::ostream& out) const override;

 private:
  GridPoint* master_ = nullptr;
};

class AttachEdge : public AttachCondition {
 public:
  AttachEdge() : AttachCondition(kEdge) {}
  // A weight below 0 asks for the slave's place along the edge (1 at A, 0 at
  // B). Any weight more than 1e-14 outside [0, 1] fails with AttachExcept
  // "Illegal edge attach weighting"; others are clamped into it.
  AttachEdge(GridPoint* slave, GridPoint* a, GridPoint* b, double weight, bool snap);
  double Weight() const { return weight_; }
  const char* TypeName() const override { return "Edge"; }
  void Masters(AttachMasters& out) const override;
  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;
  void RemapPointers() override;
  bool Resolved() const override { return AttachCondition::Resolved() && a_ && b_; }

 protected:
  void PrintInfo(std::ostream& out) const override;

 private:
  GridPoint* a_ = nullptr;
  GridPoint* b_ = nullptr;
  double weight_ = 0.0;  // A's; B takes 1 - weight
};

class AttachFace : public AttachCondition {
 public:
  AttachFace() : AttachCondition(kFace) {}
  // With weights, they are kept as given; without, the slave is projected
  // onto the face (tolerance 1), and AttachExcept "Automatic weighting
  // requested of point not on face <zone>,<face>" when it does not land on it.
  AttachFace(GridPoint* slave, const ZoneFace& face, const FaceWeights* weights, bool snap);
  const ZoneFace& Face() const { return face_; }
  const FaceWeights& Weights() const { return weights_; }
  const char* TypeName() const override { return "Face"; }
  // The face's own corners: three or four. A face that has no three corners gives none.
  void Masters(AttachMasters& out) const override;
  bool IsInactive() const override;
  bool IsFluidInactive() const override;
  bool IsThermalInactive() const override;
  bool IsDeleted() const override;
  void Save(SaveStream& stream) const override;
  void Restore(SaveStream& stream) override;
  void RemapPointers() override;
  bool Resolved() const override;

 protected:
  void PrintInfo(std::ostream& out) const override;

 private:
  ZoneFace face_;
  FaceWeights weights_;
};

// The model's attach ties in list order.
//
// Whether a tie is inactive (a null zone, a grid-point of null zones only)
// changes only with the zones' models, which MODEL sets between runs; it is
// taken when the list is packed, at every preparation and after every change
// of the list.
class AttachList : public LinkListBase {
 public:
  // An empty tie of the kind for RESTORE; an unknown kind is the save file's
  // read error "Error reading save file".
  LinkListNode* Create(uint32_t typeCode) override;

  AttachCondition* Head() const { return static_cast<AttachCondition*>(First()); }
  static AttachCondition* Next(const AttachCondition* tie) { return static_cast<AttachCondition*>(tie->NextNode()); }

  // Appends a tie that its constructor has just made.
  void Add(AttachCondition* tie);
  // Unlinks and destroys one tie.
  void Delete(AttachCondition* tie);
  // Every tie destroyed (NEW, RESTORE).
  void DeleteAll();
  // Destroys the ties whose slave lies in the range; answers how many.
  uint32_t DeleteInRange(const Range& range);
  // Destroys the ties that refer to what is being deleted (grid-points
  // flagged 0x100, zones flagged as deleted); answers how many. DELETE and
  // GENERATE MERGE call it after flagging.
  uint32_t RemoveDeleted();

  // The list was read by RESTORE (its packed form is out of date).
  void Restored() { ++edits_; }
  // After the remapping of a restore: false when a tie names no grid-point
  // or zone, when a slave and its grid-point record disagree (two ties of
  // one slave, a flag or pointer without its tie) or when ties form a cycle.
  bool CheckRestored();

  // The passes of the calculation. The preparation: the ties with snap
  // put their slaves in place, then stiffness and ratio weight (and in
  // dynamic mode the mass) go from the slaves to their masters.
  void CheckAll(bool dynamic);
  // Before the law of motion: the slaves' forces to their masters.
  void ForcePass();
  // After the law of motion: the slaves' velocities from their masters;
  // a tie with snap puts its slave in place, one without moves the slave's
  // displacement (and in large strain its position) by dt x velocity.
  void MotionPass(double dt, bool largeStrain);

  // The fluid mode. The preparation (run while the blocks hold nodal
  // volumes, not their inverses): each slave's conductance sum, volume and
  // pore volume go to its masters, and its pore pressure and pressure
  // increment come back from them. Pass 1 (before the grid-point update of
  // the fluid step and of the fluid coupling): the slave's flow and flow
  // magnitude go to its masters. Pass 2 (after it): the slave's increment
  // and saturation come back from them.
  void PrepareFluid();
  void FluidPass1();
  void FluidPass2();
  // The thermal mode, likewise: capacity and conductance sum up, temperature
  // and temperature increment back; heat flow and magnitude up before the
  // update, the increment back after it.
  void PrepareThermal();
  void ThermalPass1();
  void ThermalPass2();
  // Dynamic preparation with multistepping: a slave's step multiplier
  // becomes its master's (a grid-point tie), the smaller of its edge ends',
  // or the smallest of its face corners'.
  void DynamicCheck();
  // Whether a tie takes part in the fluid (thermal) passes, as of the last packing.
  bool AnyFluid() const { return anyFluid_; }
  bool AnyThermal() const { return anyThermal_; }

  // The participant that runs the passes in the step, once per model.
  StepParticipant* participant = nullptr;

 private:
  // One tie as the passes read it: 80 bytes, so that the passes stream
  // through the ties and spend their memory reads on the grid-points.
  struct Packed {
    GridPoint* slave;
    GridPoint* master[4];  // the slots after the tie's own `count` masters repeat the first with weight 0
    double weight[4];
    int32_t chain;  // the entry of chains_ of a tie with a followed master that is a slave, else -1
    uint8_t count;  // the tie's own masters
    uint8_t flags;  // the kPacked... bits
    uint16_t kind;  // AttachCondition::Kind
  };
  enum : uint8_t {
    kPackedInactive = 1,  // the tests when the tie was packed
    kPackedFluidInactive = 2,
    kPackedThermalInactive = 4,
    kPackedSnap = 8,
    kPackedChainTarget = 16,  // the slave is a followed master of another tie
  };
  // The packed ties of a tie's four masters when they are followed slaves, else -1.
  struct Chain {
    int32_t tie[4];
  };

  void Pack();
  void EnsurePacked() {
    if (packedEdits_ != edits_) Pack();
  }
  void TransferStiffness(Packed& t);
  void TransferMass(Packed& t);
  void TransferForce(Packed& t);
  void UpdateVelocity(Packed& t);
  void UpdatePosition(Packed& t);
  // The motion pass's walk over the ties, compiled once for each
  // instruction-set level of the step's kernels (the same bits in both).
  void MotionWalk(double dt, bool largeStrain);
  void MotionWalkBaseline(double dt, bool largeStrain);
  void MotionWalkAvx2(double dt, bool largeStrain);
  // An operation on a tie after (Up) or before (Down) the same operation on
  // the ties of its followed masters that are slaves, skipping ties with
  // the flag.
  template <class Op>
  void Up(Packed& t, uint8_t skip, Op& op);
  template <class Op>
  void Down(Packed& t, uint8_t skip, Op& op);

  std::vector<Packed> packed_;
  std::vector<Chain> chains_;
  // Beside packed_: the last force pass that sent a chain target's applied
  // forces on (a tie that is no chain target sends them from its own place).
  std::vector<uint32_t> forceStamps_;
  uint64_t edits_ = 1;
  uint64_t packedEdits_ = 0;
  uint32_t forcePass_ = 0;
  bool anyFluid_ = false;
  bool anyThermal_ = false;
};

// Sets the slave's displacement, small-strain displacement and position to
// the weighted sums of its masters'.
inline void InterpolateSlavePosition(GridPoint& slave, GridPoint* const master[4], const double weight[4], int count) {
  // Sums in scalars: they stay in registers while the masters are read.
  double dx = 0, dy = 0, dz = 0, sx = 0, sy = 0, sz = 0, px = 0, py = 0, pz = 0;
  for (int k = 0; k < count; ++k) {
    const GridPoint& m = *master[k];
    const double w = weight[k];
    dx += w * m.displacement[0];
    dy += w * m.displacement[1];
    dz += w * m.displacement[2];
    sx += w * m.smallDisplacement[0];
    sy += w * m.smallDisplacement[1];
    sz += w * m.smallDisplacement[2];
    px += w * m.position[0];
    py += w * m.position[1];
    pz += w * m.position[2];
  }
  slave.displacement[0] = dx;
  slave.displacement[1] = dy;
  slave.displacement[2] = dz;
  slave.smallDisplacement[0] = sx;
  slave.smallDisplacement[1] = sy;
  slave.smallDisplacement[2] = sz;
  slave.position[0] = px;
  slave.position[1] = py;
  slave.position[2] = pz;
}

// The current model's attach list.
AttachList& GlobalAttachList();

// The attach section of the whole-model save file; NEW empties the list.
void SaveAttachSection(SaveStream& stream);
void RestoreAttachSection(SaveStream& stream);
void RemapAttachSection();
void ClearAttachList();
