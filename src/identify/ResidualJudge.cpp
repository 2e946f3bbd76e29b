#include "identify/ResidualJudge.h"

#include <algorithm>
#include <cmath>

namespace korvane::fit {

Leftover JudgeResiduals(const std::vector<double>& residuals, const std::vector<double>& times, double noiseSd,
                        double pvMove) {
  Leftover left;
  const std::size_t n = std::min(residuals.size(), times.size());
  if (n == 0) return left;
  double sum = 0.0;
  for (std::size_t i = 0; i < n; ++i) sum += residuals[i] * residuals[i];
  left.Sd = std::sqrt(sum / static_cast<double>(n));
  const std::size_t w = std::clamp<std::size_t>(n / 15, 3, 8);
  if (n < w) return left;
  std::vector<double> mean(n - w + 1, 0.0);
  for (std::size_t k = 0; k < mean.size(); ++k) {
    for (std::size_t i = k; i < k + w; ++i) mean[k] += residuals[i] / static_cast<double>(w);
  }
  // Averaged noise: about 4.5 of its standard errors at most, over a record
  // of a few hundred polls; a model close to the process may miss by a few
  // hundredths of PV's move.
  const double limit = 4.5 * noiseSd / std::sqrt(static_cast<double>(w)) + 0.03 * std::fabs(pvMove);
  std::size_t at = 0;
  for (std::size_t k = 1; k < mean.size(); ++k) {
    if (std::fabs(mean[k]) > std::fabs(mean[at])) at = k;
  }
  if (!(std::fabs(mean[at]) > limit)) return left;
  // The run: where the average stays on the same side, over half the limit.
  const bool above = mean[at] > 0.0;
  auto inRun = [&](std::size_t k) { return (mean[k] > 0.0) == above && std::fabs(mean[k]) > 0.5 * limit; };
  std::size_t first = at, last = at;
  while (first > 0 && inRun(first - 1)) --first;
  while (last + 1 < mean.size() && inRun(last + 1)) ++last;
  left.Missed = mean[at];
  // The run's windows by their middles: where the residuals themselves ran off.
  left.From = times[first + (w - 1) / 2];
  left.To = times[last + w / 2];
  return left;
}

}  // namespace korvane::fit
