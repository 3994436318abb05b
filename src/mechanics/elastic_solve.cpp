// SOLVE ELASTIC: the Mohr-Coulomb model first settles with its strengths out
// of reach, then solves again with the real strengths, so that yielding
// starts from an elastic stress state.
#include <cstdint>
#include <vector>

#include "base/command.h"
#include "base/system.h"
#include "cmodels/constitutive_model.h"
#include "cmodels/mohr_model.h"
#include "mechanics/solve.h"
#include "model/grid.h"
#include "model/model.h"
#include "model/model_interpreter.h"
#include "model/zone.h"

namespace {

// The strengths as the user gave them. The encoding is undone in place,
// which is exact only up to rounding; these put the very values back.
class UserStrengths {
 public:
  UserStrengths() {
    for (const Zone* zone : ZoneList()) {
      const ConstitutiveModel* m = zone->Model();
      if (!m || m->Type() != ConstitutiveModel::kMohrType) continue;
      values_.push_back({zone->Id(), m->GetPropertyByIndex(MohrModel::kCohesion),
                         m->GetPropertyByIndex(MohrModel::kFriction), m->GetPropertyByIndex(MohrModel::kTension)});
    }
  }

  void PutBack() const {
    for (const Entry& e : values_) {
      Zone* zone = FindZone(e.id);
      ConstitutiveModel* m = zone ? zone->Model() : nullptr;
      if (!m || m->Type() != ConstitutiveModel::kMohrType) continue;
      m->SetPropertyByIndex(MohrModel::kCohesion, e.cohesion);
      m->SetPropertyByIndex(MohrModel::kFriction, e.friction);
      m->SetPropertyByIndex(MohrModel::kTension, e.tension);
    }
  }

 private:
  struct Entry {
    uint32_t id;
    double cohesion;
    double friction;
    double tension;
  };
  std::vector<Entry> values_;
};

}  // namespace

void Solve::Elastic(SolveLimits& l, ModelInterpreter& interp) {
  // Checked before the scratch file is written, so a refusal leaves nothing behind.
  for (const Zone* zone : ZoneList()) {
    const ConstitutiveModel* model = zone->Model();
    if (!model || model->Type() != ConstitutiveModel::kMohrType) {
      interp << "*** Only Mohr-Coulomb model allowed "
             << "\n";
      return;
    }
  }
  const ScratchFile scratch(".terrax-elastic-");
  l.scratch = scratch.Name();
  SaveModelFile(interp, l.scratch);
  if (l.ratioLimit == 0.0) l.ratioLimit = 1e-5;

  PrintElasticHeader(interp);
  for (int p = 0; p < 3; ++p) l.master[p] = l.slave[p] = false;
  l.master[kMechanicalProcess] = true;
  l.rolesGiven = true;

  // However the elastic run ends, the zones get their own strengths back.
  const UserStrengths user;
  bool settled = false;
  ToggleElastic(true);
  try {
    settled = Run(l, interp);
  } catch (...) {
    ToggleElastic(false);
    user.PutBack();
    throw;
  }
  ToggleElastic(false);
  user.PutBack();
  // A zone check that stopped the preparation has said why; nothing was stepped.
  if (!settled) return;

  interp << "*** Elastic solution found  "
         << "\n";
  Run(l, interp);
}

void Solve::ToggleElastic(bool elastic) {
  for (Zone* zone : ZoneList()) {
    ConstitutiveModel* m = zone->Model();
    if (!m || m->Type() != ConstitutiveModel::kMohrType) continue;
    const double c = m->GetPropertyByIndex(MohrModel::kCohesion);
    const double t = m->GetPropertyByIndex(MohrModel::kTension);
    const double phi = m->GetPropertyByIndex(MohrModel::kFriction);
    if (elastic) {
      m->SetPropertyByIndex(MohrModel::kCohesion, (c + 1.0) * 1e20);
      m->SetPropertyByIndex(MohrModel::kTension, (t + 1.0) * 1e20);
      m->SetPropertyByIndex(MohrModel::kFriction, phi * 1e-20);
    } else {
      m->SetPropertyByIndex(MohrModel::kCohesion, c * 1e-20 - 1.0);
      m->SetPropertyByIndex(MohrModel::kTension, t * 1e-20 - 1.0);
      m->SetPropertyByIndex(MohrModel::kFriction, phi * 1e20);
    }
  }
  CurrentModel().Participants().ForEach([elastic](StepParticipant& p) { p.SetElastic(elastic); });
}

void Solve::PrintElasticHeader(CommandType& interp) {
  interp << "Elastic Solve Starting at: " << System::TimeStamp() << "\n";
  interp.flush();
}
