// The apply conditions' work in the cycle: the constant conditions once per
// preparation, the multiplied ones in every step.
#include <cstdint>
#include <vector>

#include "mechanics/apply.h"
#include "mechanics/apply_condition.h"
#include "mechanics/apply_geometry.h"
#include "model/calc_module.h"
#include "model/grid.h"
#include "model/model.h"
#include "model/model_settings.h"

namespace {

enum Phase { kPrepare = 1, kStep = 2, kFreeField = 11 };

// What every step walks: the records that hold a multiplied condition and
// the grid-points whose per-step force they write. Rebuilt when the records
// change.
struct StepWork {
  uint64_t edits = UINT64_MAX;
  std::vector<ApplyCondition*> records;
  std::vector<GridPoint*> targets;
};

StepWork& Work() { return CurrentModel().Part<StepWork>(); }

bool IsFreeFieldGp(const GridPoint& gp) {
  return (gp.flags & (apply_flags::kFreeFieldA | apply_flags::kFreeFieldB)) != 0;
}

bool IsFreeFieldZone(const Zone& zone) {
  return (zone.Flags() & (apply_flags::kFreeFieldZoneA | apply_flags::kFreeFieldZoneB)) != 0;
}

bool IsStepCode(uint8_t code) {
  return code == kApplyForceHist || code == kApplyBodyForceHist || code == kApplyStressHist ||
         code == kApplyLocalStressHist;
}

bool HasStepWork(const ApplyCondition& record) {
  for (const ApplyValue* v = record.Values(); v; v = v->next) {
    if (IsStepCode(v->quantity)) return true;
    if (v->quantity >= kApplyVelocity && v->quantity <= kApplyLocalAcceleration && v->HasMultiplier()) return true;
  }
  return false;
}

void BuildStepWork() {
  StepWork& work = Work();
  work.records.clear();
  work.targets.clear();
  for (ApplyCondition* c = GlobalApplyList().Head(); c; c = ApplyList::Next(c)) {
    if (!HasStepWork(*c)) continue;
    work.records.push_back(c);
    if (c->TargetKind() == ApplyCondition::kGridPoint) {
      if (c->Gp()) work.targets.push_back(c->Gp());
      continue;
    }
    Zone* zone = c->GetZone();
    if (!zone) continue;
    if (c->TargetKind() == ApplyCondition::kZone) {
      for (int s = 0; s < zone->GpCount(); ++s) work.targets.push_back(zone->Gp(s));
    } else {
      const int face = c->Face()->Face();
      for (int k = 0; k < zone->FaceGpCount(face); ++k) work.targets.push_back(zone->GetFaceGp(face, k));
    }
  }
  work.edits = ApplyEditCount();
}

double Amount(const ApplyValue& v, double* multiplier) {
  *multiplier = v.HasMultiplier() ? v.Multiplier() : 1.0;
  return v.value * *multiplier;
}

// The local axes of a grid-point from its boundary normal.
void AxesOfNormal(const BoundaryIndex& index, const GridPoint& gp, ApplyLocalBlock& block) {
  double n[3];
  index.Normal(&gp, n);
  AxesRowsFromNormal(n, block.axes);
}

void ApplyGridPointRecord(ApplyCondition& record, int phase, BoundaryIndex& index) {
  GridPoint* gp = record.Gp();
  if (!gp || (gp->flags & NodeBase::kNoMechanicalZone)) return;
  if (phase == kFreeField && !IsFreeFieldGp(*gp)) return;
  const bool prepare = phase != kStep;
  ApplyLocalBlock* block = record.Local();
  if (prepare && block && block->local && !block->planeGiven) {
    if (!index.Built()) index.Build();
    AxesOfNormal(index, *gp, *block);
  }
  for (const ApplyValue* v = record.Values(); v; v = v->next) {
    const int d = v->direction - 1;
    if (d < 0 || d > 2) continue;
    double multiplier = 1.0;
    switch (v->quantity) {
      case kApplyForce:
      case kApplyReaction:
        if (prepare) gp->appliedForce[0][d] += Amount(*v, &multiplier);
        break;
      case kApplyForceHist:
        if (!prepare) gp->appliedForce[1][d] += Amount(*v, &multiplier);
        break;
      case kApplyVelocity:
      case kApplyLocalVelocity:
      case kApplyAcceleration:
      case kApplyLocalAcceleration: {
        if (!block || prepare == v->HasMultiplier()) break;
        const bool velocity = v->quantity == kApplyVelocity || v->quantity == kApplyLocalVelocity;
        (velocity ? block->velocity : block->acceleration)[d] = Amount(*v, &multiplier);
        break;
      }
      default:
        break;
    }
  }
}

void ApplyZoneRecord(ApplyCondition& record, int phase) {
  Zone* zone = record.GetZone();
  if (!zone || zone->IsNull()) return;
  if (phase == kFreeField && !IsFreeFieldZone(*zone)) return;
  const uint8_t code = phase == kStep ? kApplyBodyForceHist : kApplyBodyForce;
  double force[3] = {0, 0, 0};
  bool any = false;
  for (const ApplyValue* v = record.Values(); v; v = v->next) {
    if (v->quantity != code || v->direction < 1 || v->direction > 3) continue;
    double multiplier = 1.0;
    force[v->direction - 1] = Amount(*v, &multiplier);
    any = true;
  }
  if (any) SpreadBodyForce(*zone, force, phase == kStep ? 1 : 0);
}

void ApplyFaceRecord(ApplyCondition& record, int phase) {
  Zone* zone = record.GetZone();
  if (!zone || zone->IsNull()) return;
  if (phase == kFreeField && !IsFreeFieldZone(*zone)) return;
  const int face = record.Face()->Face();
  const int slot = phase == kStep ? 1 : 0;
  const uint8_t global = phase == kStep ? kApplyStressHist : kApplyStress;
  const uint8_t local = phase == kStep ? kApplyLocalStressHist : kApplyLocalStress;
  for (const ApplyValue* v = record.Values(); v; v = v->next) {
    if (v->quantity != global && v->quantity != local) continue;
    double multiplier = 1.0;
    const double amount = Amount(*v, &multiplier);
    const double g[3] = {v->gradient[0] * multiplier, v->gradient[1] * multiplier, v->gradient[2] * multiplier};
    if (v->quantity == global)
      ApplyFaceStress(*zone, face, v->direction, amount, g, slot);
    else
      ApplyLocalFaceStress(*zone, face, v->direction, amount, g, slot);
  }
}

void ApplyRecord(ApplyCondition& record, int phase, BoundaryIndex& index) {
  switch (record.TargetKind()) {
    case ApplyCondition::kGridPoint:
      ApplyGridPointRecord(record, phase, index);
      break;
    case ApplyCondition::kZone:
      ApplyZoneRecord(record, phase);
      break;
    case ApplyCondition::kFace:
      ApplyFaceRecord(record, phase);
      break;
    default:
      break;
  }
}

// The applied forces from the base forces, gravity and every constant condition.
void Prepare(int phase) {
  EnsureApplyLinks();
  const bool freeFieldOnly = phase == kFreeField;
  // The per-step part is cleared here for every grid-point, so that each step
  // needs to clear only what its multiplied conditions write.
  for (GridPoint* gp : GridPointList()) {
    if (freeFieldOnly && !IsFreeFieldGp(*gp)) continue;
    for (int i = 0; i < 3; ++i) {
      gp->appliedForce[0][i] = gp->load[i];
      gp->appliedForce[1][i] = 0.0;
    }
  }
  const double* g = Settings().gravity;
  if (g[0] != 0.0 || g[1] != 0.0 || g[2] != 0.0) {
    const FluidCalcModule* fluid = Modes().fluid;
    for (Zone* z : ZoneList()) {
      if (z->IsNull() || (freeFieldOnly && !IsFreeFieldZone(*z))) continue;
      double density = z->Density();
      if (fluid) density += fluid->ZoneFluidDensity(*z);
      const double force[3] = {density * g[0], density * g[1], density * g[2]};
      SpreadBodyForce(*z, force, 0);
    }
  }
  BoundaryIndex index;
  for (ApplyCondition* c = GlobalApplyList().Head(); c; c = ApplyList::Next(c)) ApplyRecord(*c, phase, index);
  BuildStepWork();
}

}  // namespace

void PrepareApplyConditions() { Prepare(kPrepare); }

void PrepareFreeFieldConditions() { Prepare(kFreeField); }

void ApplyConditionsStep() {
  StepWork& work = Work();
  if (work.edits != ApplyEditCount()) {
    // The records changed during the run: what the old ones wrote goes too.
    EnsureApplyLinks();
    for (GridPoint* gp : GridPointList())
      gp->appliedForce[1][0] = gp->appliedForce[1][1] = gp->appliedForce[1][2] = 0.0;
    BuildStepWork();
  }
  for (GridPoint* gp : work.targets) gp->appliedForce[1][0] = gp->appliedForce[1][1] = gp->appliedForce[1][2] = 0.0;
  BoundaryIndex unused;
  for (ApplyCondition* c : work.records) ApplyRecord(*c, kStep, unused);
}
