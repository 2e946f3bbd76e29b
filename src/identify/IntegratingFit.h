#pragma once
// The integrating process: PV with no level of its own over the record, a
// ramp whose slope follows the output's move after a dead time.

#include <vector>

#include "identify/FitRecord.h"

namespace korvane::fit {

// An integrator with dead time whose balance is fitted too: PV = offset +
// slope * the integral of the output's move off its rest level, delayed
// `shift` grid steps (fractional), + ramp * t. The ramp takes up the
// balance's error: the rest output, the mean of a few noisy polls, is off
// by enough to bend a long ramp and move the dead time. Least squares over
// the polled samples; Model holds the fitted PV at each poll (centred).
struct IntegratorFit {
  double Sse = 0.0;
  double Slope = 0.0;   // PV units per second per % of output
  double Ramp = 0.0;    // PV units per second: -Slope times the balance's error
  double Offset = 0.0;  // centred PV at the step
  double Shift = 0.0;   // grid steps
  std::vector<double> Model;
};
IntegratorFit FitIntegrator(const Grid& grid, double shift);

// The integrator with the best dead time: every grid step up to half the
// record (one pass each), then between grid steps by golden section.
IntegratorFit BestIntegrator(const Grid& grid);

// The integral (%·s) of the output's move off its rest level, delayed
// `shift` grid steps, at each polled sample.
std::vector<double> IntegralAtPolls(const Grid& grid, double shift);

}  // namespace korvane::fit
