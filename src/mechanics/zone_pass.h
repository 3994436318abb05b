// The zone stress pass of a mechanical step: grid-point velocities become
// strain increments of the overlay tetrahedra, each zone's constitutive model
// turns them into stresses, and the stresses go back to the zone's
// grid-points as forces.
#pragma once

// Runs over every zone in list order. Raises "Illegal geometry in zone <id>"
// for a tetrahedron without volume and a model's error text as it is; zones
// done before keep their new stresses and forces.
void ZoneStressPass();
