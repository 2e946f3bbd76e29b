#pragma once
// The second-order process with dead time: a second lag after the first, at
// a share of it searched over a few shares and then between them.

#include "identify/FirstOrderFit.h"

namespace korvane::fit {

// The best second-order model beside the first-order one `first`: the
// second lag takes from the dead time a first-order fit sees, so the dead
// time is searched up to just past `first`'s; refined on the polled
// samples, as `first` was, so the two compare.
Trial BestSecondOrder(const Grid& grid, const Trial& first, double tauLo, double tauHi);

}  // namespace korvane::fit
