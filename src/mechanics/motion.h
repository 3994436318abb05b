// The grid-point law of motion of a mechanical step: unbalanced force, mass
// (scaled from the stiffness in static mode), damping, fixity and applied
// velocities, the move, and the step's unbalanced-force sums.
#pragma once

#include <cstdint>

class GridPoint;

// The applied velocity of a grid-point, as the law of motion reads it from
// the grid-point's apply record.
struct VelocityCondition {
  bool localAxes = false;
  double axes[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};  // rows: the local directions in global axes
  uint8_t directions = 0;                                 // bit i: a velocity is applied in direction i
  int kind[3] = {0, 0, 0};                                // 4 and 5 give the velocity itself, others a rate
  double value[3] = {0, 0, 0};
  double rate[3] = {0, 0, 0};
};
// The grid-point's applied velocities; false when its record has none.
bool AppliedVelocity(const GridPoint& gp, VelocityCondition* out);
// The quiet-boundary dashpot coefficients of the grid-point's record (dynamic
// mode); false when it has none.
bool QuietCoefficients(const GridPoint& gp, double out[3]);

// Every grid-point in list order (free-field grid-points first when there
// are some). Resets the maximum unbalanced force and adds to the step's sums.
void GridPointMotion();

// One grid-point. Raises "Viscous damping too high", "Zero stiffness in
// grid-point <id>" or "Zero mass in grid-point <id>".
void MoveGridPoint(GridPoint& gp);
