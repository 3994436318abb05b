// The apply conditions in the calculation cycle.
//
// PrepareApplyConditions runs once in every preparation for cycling, after
// the zone checks (the tetrahedron volumes are current): every grid-point's
// applied force is rebuilt from its base force, the gravity body force of the
// zones and the constant conditions; constant applied velocities and
// accelerations are written into the grid-points' local blocks.
//
// ApplyConditionsStep runs in the apply phase of every step, after the zone
// stress pass: the conditions with a table or function multiplier write the
// per-step applied force (and their velocities and accelerations) anew. It
// walks only the records that have such conditions and allocates nothing,
// unless the apply records changed since the last preparation.
#pragma once

void PrepareApplyConditions();
void ApplyConditionsStep();
// The preparation restricted to the free-field grid-points and zones (the
// free field calls it when it is built).
void PrepareFreeFieldConditions();
