// Helpers shared by the built-in models: properties kept as an array of
// doubles, their save form, and the elastic increment.
#pragma once

#include <cstdint>

#include "cmodels/constitutive_model.h"

namespace cmodels {

// Saves the properties as the model's doubles (no integers; the word is the version).
void SaveProperties(ModelSaveObject& object, uint32_t type, int version, const double* values, int count);
// Reads them back; a record of another type is refused with a text, and a
// record with fewer values leaves the remaining properties as they are.
const char* RestoreProperties(const ModelSaveObject& object, uint32_t type, double* values, int count);

// Whether the built-in models' whole-zone updates run their AVX2 code (no
// fused multiply-add, so the same bits as the baseline code): on where the
// processor has it. The step's kernel level sets it with its own.
bool VectorKernels();
// False, and no change, when AVX2 is asked for and the processor lacks it.
bool SetVectorKernels(bool on);

// Adds the isotropic elastic increment for a strain increment with tensor shear
// (K bulk, G shear modulus) to the six stress components.
// The same from Lame's first constant (K - 2G/3) and twice the shear modulus.
inline void AddHookeIncrementLame(double lame, double twoG, const double e[6], double s[6]) {
  double ev = lame * (e[0] + e[1] + e[2]);
  s[0] += ev + twoG * e[0];
  s[1] += ev + twoG * e[1];
  s[2] += ev + twoG * e[2];
  s[3] += twoG * e[3];
  s[4] += twoG * e[4];
  s[5] += twoG * e[5];
}

inline void AddHookeIncrement(double bulk, double shear, const double e[6], double s[6]) {
  AddHookeIncrementLame(bulk - 2.0 * shear / 3.0, 2.0 * shear, e, s);
}

// The shear modulus of this update: scaled by the hysteretic factor when the
// zone carries hysteretic damping (a factor of 0 or more).
inline double EffectiveShear(double shear, const ModelState& state) {
  return state.hystFactor >= 0.0 ? shear * state.hystFactor : shear;
}

}  // namespace cmodels
