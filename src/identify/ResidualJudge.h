#pragma once
// What a fit leaves: the residuals judged against the PV noise at rest.

#include <vector>

namespace korvane::fit {

// What the residuals at the polls (PV less the model, oldest first, at
// `times` s after the step) leave against the noise at rest `noiseSd`:
// their spread, and the largest run of them a moving average over a few
// polls shows beyond what the noise gives it (white noise shrinks by the
// square root of the window, a shape the model missed does not).
struct Leftover {
  double Sd = 0.0;
  double Missed = 0.0, From = 0.0, To = 0.0;  // Missed 0: only noise
};
Leftover JudgeResiduals(const std::vector<double>& residuals, const std::vector<double>& times, double noiseSd,
                        double pvMove);

}  // namespace korvane::fit
