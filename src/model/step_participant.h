// The participants of the calculation step. A subsystem whose objects act in
// the step (interfaces, attach ties, structural elements, the free field,
// particles, the scripting callbacks, histories, views) registers one
// participant on the model at start-up; the cycle walks the participants in
// list order at each of its phases. Every operation does nothing by default,
// so a participant overrides only the phases where it acts, and a subsystem
// that registers none costs nothing. The calculation modules' own steps go
// through CalcModule.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class CommandType;

// The numbered points of the preparation and the step at which the scripting
// level runs the functions registered under each number (0 to 49; the cycle
// fires these, structural elements 16).
enum CallbackPoint : int {
  kCallbackTimestep = 0,        // after the time-step negotiation
  kCallbackPrepared = 1,        // end of every preparation
  kCallbackStepStart = 2,       // start of every step
  kCallbackBeforeZones = 3,     // before the zone stress pass
  kCallbackBeforeMotion = 4,    // before the law of motion
  kCallbackAfterMotion = 5,     // after the law of motion
  kCallbackMechanicalDone = 6,  // end of the mechanical part
  kCallbackBeforeThermal = 7,
  kCallbackAfterThermal = 8,
  kCallbackBeforeFluid = 9,
  kCallbackAfterFluid = 10,
  kCallbackAfterFluidStep = 11,
  kCallbackFluidDone = 12,
  kCallbackModesDone = 13,   // after the coupled modes
  kCallbackStructures = 16,  // after the structural-element pass
  kCallbackBeforeChemistry = 17,
  kCallbackAfterChemistry = 18,
  kCallbackCount = 50
};

class StepParticipant {
 public:
  virtual ~StepParticipant() = default;

  // Set-up of a run (STEP, SOLVE), before its first preparation.
  virtual void BeginRun(CommandType&) {}
  // Every preparation of a run, before the grid's geometry is worked out anew.
  virtual void BeforePrepare() {}
  // Preparation, after the zones' pre-cycle checks: the participant checks
  // its own objects (interface stiffness, structural elements, attach ties).
  virtual void CheckBeforeCycle(CommandType&, bool /*reprepare*/, bool /*dynamic*/, bool /*largeStrain*/) {}
  // Preparation of the participant's links in the fluid and thermal modes
  // (only while the mode is configured).
  virtual void PrepareFluid() {}
  virtual void PrepareThermal() {}
  // Whether the participant links grid-points in that mode (asked after
  // its preparation): the mode then keeps its update and its new values
  // apart, so that the links can pass the increments on in between.
  virtual bool LinksFluid() const { return false; }
  virtual bool LinksThermal() const { return false; }
  // Dynamic preparation with multistepping: the participant's linked
  // grid-points take their step multipliers from those they follow.
  virtual void PrepareDynamic() {}

  // The mechanical part of a step, in this order around the cycle's own work:
  // zone stress pass, AfterZonePass, (fluid coupling, apply conditions),
  // Forces, TieForces, law of motion, Motion, AfterMechanical.
  virtual void AfterZonePass() {}                          // the free field
  virtual void Forces(CommandType&, double /*dt*/) {}      // interfaces, structural elements
  virtual void TieForces() {}                              // slaves' forces handed to their masters
  virtual void Motion(bool /*dynamic*/, double /*dt*/) {}  // interfaces, ties, structural elements
  virtual void AfterMechanical() {}                        // particles in large strain
  // Inside the fluid step and the fluid coupling of the mechanical step
  // (pass 1: before the grid-point update, the linked grid-points' flows
  // go on; pass 2: after it, their increments come back), and likewise
  // inside the thermal step.
  virtual void FluidPass(int /*pass*/) {}
  virtual void ThermalPass(int /*pass*/) {}
  // After the coupled modes' part of a step.
  virtual void AfterModes() {}  // particles
  // The law of motion's free-field passes: between the corner columns and
  // the side grids (0), and after the side grids (1).
  virtual void FreeFieldCoupling(int /*pass*/) {}

  // A numbered callback point, and whether the participant has anything
  // to run there.
  virtual void Callback(int /*point*/) {}
  virtual bool HasCallback(int /*point*/) const { return false; }
  // After a step of a run is counted: a sample at the history interval.
  virtual void Sample(uint32_t /*step*/) {}
  // After the step's table line (STEP) or the sweep's status (SOLVE): a
  // hardcopy of the current view when it asked for one.
  virtual void AfterStepShown() {}

  // SOLVE FOS: the strengths of the participant's materials (interface
  // nodes) divided by the factor 1 / reduction, or set to the replacement
  // when the reduction is 0; SOLVE ELASTIC: their strengths encoded as
  // elastic (true) and back (false).
  virtual void ReduceStrengths(double /*reduction*/, double /*replacement*/, bool /*associated*/) {}
  virtual void SetElastic(bool /*elastic*/) {}
};

// The model's participants in the order of registration.
class StepParticipants {
 public:
  // Appends the participant and answers it.
  StepParticipant& Add(std::unique_ptr<StepParticipant> participant);
  void Remove(StepParticipant* participant);
  size_t Count() const { return list_.size(); }

  // Runs an operation on every participant in list order.
  template <class Op>
  void ForEach(Op&& op) const {
    for (const auto& p : list_) op(*p);
  }

 private:
  std::vector<std::unique_ptr<StepParticipant>> list_;
};
