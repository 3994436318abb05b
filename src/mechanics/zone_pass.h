// The zone stress pass of a mechanical step: grid-point velocities become
// strain increments of the overlay tetrahedra, each zone's constitutive model
// turns them into stresses, and the stresses go back to the zone's
// grid-points as forces.
#pragma once

#include <cstddef>

// Runs over every zone in list order. Raises "Illegal geometry in zone <id>"
// for a tetrahedron without volume and a model's error text as it is; zones
// done before keep their new stresses and forces. The zones' forces are
// added to the grid-points' sums; with `startSums` the sums of the last step
// are replaced instead (every grid-point's sums are the pass's alone, zero
// where no zone reaches it), which saves zeroing them beforehand.
void ZoneStressPass(bool startSums = false, bool sumsWait = false, bool keepVelocities = false);
// With `sumsWait` the pass leaves the sums in the step's packed slots for the
// law of motion, which hands them to the grid-points as it moves them (and
// with `keepVelocities` leaves the new velocities there for the next pass):
// the caller promises that nothing reads or adds grid-point forces in
// between (nor writes velocities before the next pass). Hands sums that still
// wait to the grid-points (all of them, or the slots [begin, end)).
void HandBackStepSums();
void HandBackStepSums(size_t begin, size_t end);

// The instruction-set level of the step's kernels: the baseline x86-64 code,
// or AVX2 (x86-64-v3 without fused multiply-add, so that both give the same
// bits), taken by default where the processor has it.
enum class KernelLevel { kBaseline, kAvx2 };
// Chooses the level; false, and the level kept, where the processor lacks it.
bool SetKernelLevel(KernelLevel level);
KernelLevel CurrentKernelLevel();
