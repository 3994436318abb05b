// The grid-point law of motion of a mechanical step: unbalanced force, mass
// (scaled from the stiffness in static mode), damping, fixity and applied
// velocities, the move, and the step's unbalanced-force sums.
#pragma once

class GridPoint;

// Every grid-point in list order (free-field grid-points first when there
// are some). Resets the maximum unbalanced force and adds to the step's sums.
void GridPointMotion();

// One grid-point. Raises "Viscous damping too high", "Zero stiffness in
// grid-point <id>" or "Zero mass in grid-point <id>".
void MoveGridPoint(GridPoint& gp);
