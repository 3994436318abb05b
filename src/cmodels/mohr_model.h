// Elastic-perfectly-plastic Mohr-Coulomb model with a tension cut-off and
// non-associated shear flow through the dilation angle. Stresses are tension
// positive; the return is made in principal stresses.
#pragma once

#include "cmodels/constitutive_model.h"

namespace cmodels {
// What the returns take from the moduli and the strengths alone, worked out
// once for the model's own moduli (again per zone for others), by the same
// expressions as before (so the same bits): the flows of the planes in
// stress, n . dm of the shear plane and of planes 2 and 3, and the
// elimination of the edges' 2 x 2 systems, which do not depend on the
// right-hand side.
struct MohrReturnConstants {
  // The elimination of an edge's 2 x 2 system: the diagonal as set up, the
  // pivoting and the eliminated rows; `solvable` false where it fails.
  struct Edge {
    double diag[2];
    bool solvable, swap;
    double f, u00, u01, u11;
  };
  double nphi, npsi, shearLimit, tension, alpha1, alpha2, twoG;
  double dm[3], a;  // the shear plane alone
  double dm0[3], dm2[3], dm3[3];
  double a22, a33;  // plane 2 alone, plane 3 alone
  bool plane2, plane3;
  Edge edge02, edge03;  // the edge of planes 0 and 2, and of planes 0 and 3
};
}  // namespace cmodels

class MohrModel final : public ConstitutiveModel {
 public:
  // Property indices; the friction and dilation angles are in degrees.
  enum Property { kBulk = 1, kShear, kCohesion, kFriction, kDilation, kTension, kPropertyCount = 6 };
  // State bits: failure in this step, and failure at some time in the past.
  enum State : uint32_t { kShearNow = 1, kTensionNow = 2, kShearPast = 4, kTensionPast = 8 };

  MohrModel() : ConstitutiveModel(kMohrType) { Recompute(); }

  const char* Name() const override { return "mohr"; }
  const char* Title() const override { return "Mohr-Coulomb"; }
  const char* const* Properties() const override;
  const char* const* States() const override;
  double GetPropertyByIndex(int index) const override;
  std::unique_ptr<ConstitutiveModel> Clone() const override;
  double StiffnessModulus() const override { return alpha1_; }
  double ShearModulus() const override { return prop_[kShear - 1]; }
  int Version() const override { return 1; }
  bool SetPropertyByIndex(int index, double value) override;
  bool Copy(const ConstitutiveModel& source) override;
  const char* Initialize(uint32_t dimensions, ModelState& state) override;
  const char* UpdateStress(uint32_t dimensions, ModelState& state) override;
  const char* UpdateZoneStress(uint32_t dimensions, ZoneStressBlock& block) override;
  const char* SaveRestore(ModelSaveObject& object) override;
  bool SupportsHystDamp() const override { return true; }

  // The tensile strength in force: the tension property, capped at
  // cohesion / tan(friction) when the friction angle is positive.
  double TensionLimit() const { return tensionLimit_; }
  // N = (1 + sin phi) / (1 - sin phi) of the friction angle.
  double FrictionFactor() const { return nphi_; }

 private:
  void Recompute();
  // The moduli of an update: K - 2G/3, 2G and K + 4G/3.
  struct Moduli {
    double lame, twoG, alpha1;
    Moduli(double bulk, double shear)
        : lame(bulk - 2.0 * shear / 3.0), twoG(2.0 * shear), alpha1(bulk + 4.0 * shear / 3.0) {}
  };
  // The strengths the checks before any eigen-solution take.
  struct Limits {
    double nphi, shearLimit, tension;
  };
  // One tetrahedron's elastic trial and the checks before any eigen-solution.
  static bool TrialInside(const Moduli& moduli, const Limits& limits, const double strain[6], double stress[6],
                          uint32_t* state, uint32_t& bits);
  // A run of tetrahedra, compiled for the baseline and for the AVX2 level.
  template <bool kVector>
  void UpdateZone(const Moduli& moduli, const ZoneStressBlock& block) const;
  void UpdateZoneBaseline(const Moduli& moduli, const ZoneStressBlock& block) const;
  void UpdateZoneAvx2(const Moduli& moduli, const ZoneStressBlock& block) const;

  double prop_[kPropertyCount] = {};  // bulk, shear, cohesion, friction, dilation, tension
  // Derived from the properties whenever one changes.
  double alpha1_ = 0.0;        // K + 4G/3
  double nphi_ = 1.0;          // friction factor
  double npsi_ = 1.0;          // dilation factor
  double shearLimit_ = 0.0;    // 2 c sqrt(nphi)
  double tensionLimit_ = 0.0;  // tensile strength in force
  // The returns' constants for the moduli of the properties, and whether the
  // four-lane returns may take them.
  Moduli moduli_{0.0, 0.0};
  cmodels::MohrReturnConstants returns_{};
  bool fourLanes_ = false;
};
