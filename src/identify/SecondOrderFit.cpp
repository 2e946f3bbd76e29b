#include "identify/SecondOrderFit.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace korvane::fit {

Trial BestSecondOrder(const Grid& grid, const Trial& first, double tauLo, double tauHi) {
  const auto longest = static_cast<std::size_t>(first.Shift) + 2;
  Trial second;
  constexpr double kRatios[] = {0.1, 0.25, 0.5, 1.0};
  std::size_t at = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    const Trial t = BestModel(grid, tauLo, tauHi, kRatios[i], longest, false);
    if (t.Sse < second.Sse) {
      second = t;
      at = i;
    }
  }
  // Then between its neighbours, on a log scale.
  double a = std::log(kRatios[at > 0 ? at - 1 : 0]), b = std::log(kRatios[std::min<std::size_t>(at + 1, 3)]);
  for (int i = 0; i < 5; ++i) {
    const double c = b - kGolden * (b - a), d = a + kGolden * (b - a);
    const Trial tc = BestModel(grid, tauLo, tauHi, std::exp(c), longest, false);
    const Trial td = BestModel(grid, tauLo, tauHi, std::exp(d), longest, false);
    if (tc.Sse < second.Sse) second = tc;
    if (td.Sse < second.Sse) second = td;
    if (tc.Sse <= td.Sse) b = d; else a = c;
  }
  // Compared with the first-order fit on the polled samples, as it was refined.
  return Refined(grid, second, tauLo, tauHi, std::min(longest, grid.Pv.size() / 2));
}

}  // namespace korvane::fit
