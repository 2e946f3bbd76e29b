#pragma once
// Identification of the loop as a first-order process with dead time:
//   PV(t) = K * y(t) + offset,  tau * dy/dt + y = Out(t - theta),
// beside which a second lag after the first and an integrating process
// (the lag longer than many records) are tried, and the residuals pick;
// by least squares over the record from the step on (what came before is
// the rest level): for every dead time on a grid an eighth of a poll fine
// (coarse, then refined, then between grid steps) the time constant is
// searched and K and the offset are solved linearly. The output is known
// only at the polls; the write time of the step tells when it jumped, so the
// dead time is not rounded to whole polls. The grid has at most MaxPoints
// points, so the time taken is bounded whatever the record's length.

#include <cstddef>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "identify/TuningSample.h"

namespace korvane {

struct FopdtModel {
  double Gain = 0.0;          // K, PV units per % output
  double TimeConstant = 0.0;  // tau, s
  double DeadTime = 0.0;      // theta, s
  double Offset = 0.0;        // PV at 0 % output
  double Fit = 0.0;           // R^2 of the fit, 1 = perfect
  double Sampling = 0.0;      // poll interval of the record, s (0: not known)
  // Half widths of about 95 % (two standard errors), 0 when not known.
  double GainSpread = 0.0, TimeConstantSpread = 0.0, DeadTimeSpread = 0.0;
  // The fitted dead time was shorter than the sampling resolves (a quarter
  // of a poll): DeadTime holds that floor.
  bool DeadTimeFloored = false;
  // What the fit leaves: the residuals' spread at the polls against the PV
  // noise measured at rest (its register resolution included), and a shape
  // the model missed. MissedSize 0: the residuals look like the noise;
  // otherwise PV ran MissedSize units off the model (positive: above it)
  // from MissedFrom to MissedTo s after the step.
  double ResidualSd = 0.0, NoiseSd = 0.0;
  double MissedSize = 0.0, MissedFrom = 0.0, MissedTo = 0.0;
  // The kind of process the residuals picked: a second lag (s) after the
  // first when above 0 (second order plus dead time); or integrating, PV
  // with no level of its own over the record: then Gain / TimeConstant is
  // its slope (units/s per %) and TimeConstant a lag far past the record,
  // which is how SIMC's rule for integrating processes treats it.
  double SecondLag = 0.0;
  bool Integrating = false;
  std::string Why{};  // the model picked and why, in process seconds
};

// The time the model takes to answer a step (s): tau + the second lag +
// theta, or for an integrating process what a calm controller takes to
// take the ramp back (a few dead times).
double ResponseTime(const FopdtModel& model);

// The model with its times (tau, theta, sampling, their spreads) in process
// seconds, for a model fitted on a clock `scale` times slower.
FopdtModel InProcessTime(const FopdtModel& model, double scale);

// The shortest dead time a record polled every `sampling` s resolves.
inline double DeadTimeFloor(double sampling) { return sampling / 4.0; }

// How the fit judged against the noise reads: "the fit leaves only the
// noise (...)" or "the fit misses a shape: ...".
std::string FitVerdict(const FopdtModel& model);

// Why the model should not be trusted (empty when it may): a shape the fit
// missed, or the spread of K, tau or theta (R^2 is not judged: on a noisy
// loop it measures the noise). `forApply` uses the wider limits past which a
// proposal is not offered for Apply; otherwise the limits of a warning.
std::string ModelDoubt(const FopdtModel& model, bool forApply);

struct FitOptions {
  std::size_t MinSamples = 20;
  std::size_t MaxPoints = 4000;
  double MinOutputMove = 1.0;  // % the output must span
  double LimitShare = 0.9;     // refuse when the output sat on a limit this share of the record
  double OutLow = 0.5;
  double OutHigh = 99.5;
  double MinFit = 0.8;         // refuse a fit that misses a shape and has a lower R^2
  double MaxMissed = 0.05;     // refuse a fit that misses a shape this share of PV's move or more
  // The step's time (the write of the setpoint): the record before it is
  // the rest level, the output jumped at it. Unset (NaN): half a poll before
  // the first sample whose output moved.
  double RestUntil = std::numeric_limits<double>::quiet_NaN();
  // Process seconds per record second: times in the refusals are given in
  // process seconds.
  double TimeScale = 1.0;
  // The times the output switched (a relay's square wave): between two polls
  // it holds the earlier poll's level and, when the later one polled another,
  // jumps to it at the first switch between them (at the later poll when
  // none lies between). Empty: it runs straight between the polls, as a
  // controller's output does.
  std::vector<double> OutputSwitches{};
  // PV's move, which the noise, the rest's drift and swing and what the fit
  // misses are judged against. Unset (NaN): the step's, the mean of the last
  // quarter of the record against the rest level.
  double PvMove = std::numeric_limits<double>::quiet_NaN();
  // Every model kind fitted (first order, integrating, second order) and
  // the one that leaves the least kept, a second lag only when it stands out
  // as a step's would. Off: the integrator only when the first-order lag runs
  // past a few times the record, a second lag only when the first order
  // leaves more than the noise. A record that shows the process about one
  // frequency (a relay's oscillation) cannot tell a long lag from an
  // integrator, or from two shorter lags, by the first-order lag's length.
  bool EveryKind = false;
  // The record before the step is checked for rest (PV's drift and swing
  // there). Off for a record that never starts at rest (a relay test: the
  // oscillation it is fitted to is far larger than what the loop did before).
  bool RestChecked = true;
};

struct Identification {
  bool Ok = false;
  FopdtModel Model;
  std::string Refusal;  // why no model, when not Ok
  std::string Warning;  // how far to trust the model, when Ok (empty: it may be trusted)
  double NoiseSd = 0.0; // PV noise measured at rest before the step
};

// Fits the model to `samples` (oldest first). Samples that are not finite
// are skipped; when the time runs backwards (a cleared chart) only the run
// after the last such jump is used. Refused, with the reason: too few
// samples after the step, a gap in them (a paused chart), no output
// movement, the output on a limit for most of the time after the step, a
// loop not at rest before the step, PV noise too large for the step, a fit
// that misses a shape (a large one, or with a poor R^2), a record shorter
// than the process's time constant.
Identification IdentifyFopdt(std::span<const TuningSample> samples, const FitOptions& options = {});

// The model's PV at each sample's time for the output the samples recorded
// (the fit drawn over the record); starts at rest on the first output.
std::vector<double> ModelResponse(const FopdtModel& model, std::span<const TuningSample> samples);

}  // namespace korvane
