#pragma once
// The record a step is identified from, prepared for the fit: the samples
// before the step (the rest level and the PV noise), those from the step on,
// the poll interval they were taken at, and the controller's output
// reconstructed between the polls on a time grid much finer than a poll, so
// the dead time is not rounded to whole polls.

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "tuning/FopdtFit.h"

namespace korvane::fit {

struct Record {
  std::vector<TuningSample> Rest;   // before the step, all usable samples
  std::vector<TuningSample> After;  // from the step on, repeated samples left out
  double StepTime = 0.0;
  double Poll = 0.0;                // median interval between the polls after the step
  double RestOut = 0.0;             // mean output at rest
  double RestPv = 0.0;              // mean PV at rest
  double NoiseSd = 0.0;             // PV noise at rest (0 when there is too little rest)
  double Gap = 0.0;                 // longest interval between samples after the step, repeats counted
  std::string Refusal;              // why the record cannot be used
};

// Splits the usable run after the last clock jump at `stepTime` (not finite:
// half a poll before the first sample whose output moved, the middle of the
// interval the change happened in) and measures the rest.
Record PrepareRecord(std::span<const TuningSample> samples, double stepTime);

// The record on an even grid from the step on, centred (means subtracted).
// The output holds its rest level before the step, jumps at the step to the
// first value polled after it and runs straight between later polls (the
// controller computes it far more often than it is polled); PV runs straight
// between its samples.
struct Grid {
  double Dt = 0.0;
  double Rest = 0.0;  // rest output (centred): the output before the grid starts
  std::vector<double> Pv, Out;
  std::vector<std::size_t> Polled;  // grid index of each polled sample after the step
  std::vector<double> PolledAt;     // the same, exact (fractional)
  std::vector<double> PolledPv;     // the PV polled there, centred
  double PvMean = 0.0, OutMean = 0.0;
};
Grid MakeGrid(const Record& record, std::size_t maxPoints);

// Centred model PV on the grid for gain, time constant (s) and dead time (in
// grid steps, fractional), before the offset; through a second lag `tau2`
// (s) after the first when above 0.
std::vector<double> Simulate(const Grid& grid, double gain, double tau, double shift, double tau2 = 0.0);

// The value of the grid series `v` at each polled sample's exact time.
std::vector<double> AtPolls(const Grid& grid, const std::vector<double>& v);

// Half widths of about 95 % (two standard errors) of K, tau and theta (s)
// from the residuals at the polled samples; autocorrelated residuals count
// as fewer independent ones. A second lag `tau2` is fitted with them, so it
// widens theta's (the two trade).
struct Spread {
  double Gain = 0.0, Tau = 0.0, DeadTime = 0.0;
};
Spread ParameterSpread(const Grid& grid, double gain, double tau, double shift, double offset, double tau2 = 0.0);

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

// Half width of about 95 % of an integrator's dead time (s), as
// ParameterSpread's.
double IntegratorDeadTimeSpread(const Grid& grid, const IntegratorFit& fit);

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

// The PV register's resolution as the record shows it: the smallest step
// between two PV samples (0 when PV never moved).
double PvResolution(const Record& record);

}  // namespace korvane::fit
