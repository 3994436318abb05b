// Stand-ins for the window message pumps: a terminal program has no window
// messages to dispatch, so the pumps only keep their counters.
#pragma once

// Called very often from the calculation loops; acts on every 1001st call
// or when forced. Answers whether it acted.
bool YieldWhileCycling(bool force = false);
// Lets pending paint messages through (nothing to do on a terminal).
void PaintPump();
