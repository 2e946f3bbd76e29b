#pragma once
// How far a fitted model's parameters can be trusted: their half widths of
// about 95 % from the residuals at the polls.

#include "identify/FitRecord.h"
#include "identify/IntegratingFit.h"

namespace korvane::fit {

// Half widths of about 95 % (two standard errors) of K, tau and theta (s)
// from the residuals at the polled samples; autocorrelated residuals count
// as fewer independent ones. A second lag `tau2` is fitted with them, so it
// widens theta's (the two trade).
struct Spread {
  double Gain = 0.0, Tau = 0.0, DeadTime = 0.0;
};
Spread ParameterSpread(const Grid& grid, double gain, double tau, double shift, double offset, double tau2 = 0.0);

// Half width of about 95 % of an integrator's dead time (s), as
// ParameterSpread's.
double IntegratorDeadTimeSpread(const Grid& grid, const IntegratorFit& fit);

}  // namespace korvane::fit
