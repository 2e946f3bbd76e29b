#pragma once
// The first-order process with dead time: for a dead time on the grid the
// time constant is searched and K and the offset are solved linearly; the
// dead time coarse, then every grid step, then between grid steps, and last
// on the polled samples themselves. A second lag at a fixed share of the
// first rides along (`ratio`), so the second-order search reuses it.

#include <cstddef>
#include <limits>

#include "identify/FitRecord.h"

namespace korvane::fit {

struct Trial {
  double Sse = std::numeric_limits<double>::infinity();
  double Gain = 0.0, Offset = 0.0, Tau = 0.0;
  double Shift = 0.0;
  double Ratio = 0.0;  // second lag / first
};

// The best model on the grid for time constants in [tauLo, tauHi] (s).
// `ratio`: the second lag as a share of the first (0: none); `longest`: the
// longest dead time tried, in grid steps (0: half the record); `refine`:
// then between grid steps and on the polled samples (a candidate only
// compared with others is judged to the grid step).
Trial BestModel(const Grid& grid, double tauLo, double tauHi, double ratio = 0.0, std::size_t longest = 0,
                bool refine = true);

// Refined on the polled samples alone, within half a poll either side of
// `best`: PV drawn straight between coarse polls bends the grid's curve, and
// that would move the dead time.
Trial Refined(const Grid& grid, const Trial& best, double tauLo, double tauHi, std::size_t maxShift);

}  // namespace korvane::fit
