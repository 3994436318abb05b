// The links between grid-points that the flow modes see: attach ties and
// permeable interfaces, passed over in that order at each point of the
// fluid and thermal preparations and steps, and the ties in the dynamic
// preparation. One participant per model does it, whichever of the two
// installs first.
#pragma once

void InstallFlowLinks();
