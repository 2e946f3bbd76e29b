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

#include "identify/FopdtFit.h"

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
  // The output's switch times, ascending (FitOptions::OutputSwitches): the
  // grid holds it between polls and jumps at these. Empty: straight lines.
  std::vector<double> Switches;
  std::string Refusal;              // why the record cannot be used
};

// Splits the usable run after the last clock jump at `stepTime` (not finite:
// half a poll before the first sample whose output moved, the middle of the
// interval the change happened in) and measures the rest.
Record PrepareRecord(std::span<const TuningSample> samples, double stepTime);

// The record on an even grid from the step on, centred (means subtracted).
// The output before the step follows the rest samples' straight line (a
// creeping output creeps on), jumps at the step to the first value polled after it
// and runs straight between later polls (the controller computes it far more
// often than it is polled), or with the record's Switches holds each poll's
// level until the switch before the next poll; PV runs straight between its
// samples.
struct Grid {
  double Dt = 0.0;
  double Rest = 0.0;  // rest output (centred): the mean output before the step
  // The output before the step as the rest samples' straight line: its
  // value at the step (centred) and its slope, % per grid step, shrunk to 0
  // as it nears its own scatter (an output that only scatters does not
  // creep); how long the rest shows it (grid steps).
  double Lead = 0.0, Creep = 0.0, Seen = 0.0;
  std::vector<double> Pv, Out;
  std::vector<std::size_t> Polled;  // grid index of each polled sample after the step
  std::vector<double> PolledAt;     // the same, exact (fractional)
  std::vector<double> PolledPv;     // the PV polled there, centred
  double PvMean = 0.0, OutMean = 0.0;
};
Grid MakeGrid(const Record& record, std::size_t maxPoints);

// Centred model PV on the grid for gain, time constant (s) and dead time (in
// grid steps, fractional), before the offset; through a second lag `tau2`
// (s) after the first when above 0. The process is not taken to rest at the
// step: its lags lag the output's creep before it as a ramp's, one that
// began as long before the step as the record (rest and after) runs.
std::vector<double> Simulate(const Grid& grid, double gain, double tau, double shift, double tau2 = 0.0);

// The value of the grid series `v` at each polled sample's exact time.
std::vector<double> AtPolls(const Grid& grid, const std::vector<double>& v);

// Mean output over the grid interval [lo, hi] (fractional indices, hi - lo
// = 1): the rest level before index 0, where the step's jump is (the
// integrating fit's ramp takes up the rest level's error).
double MeanInput(const Grid& grid, double lo, double hi);

// The PV register's resolution as the record shows it: the smallest step
// between two PV samples (0 when PV never moved).
double PvResolution(const Record& record);

// PV's move: the mean of the last quarter of the samples after the step
// against the rest level.
double PvMove(const Record& record);

// Why the record cannot show the process (empty when it can): too few
// samples after the step, a gap, no output movement, the output on a limit,
// PV not at rest before the step, noise too large for the step.
std::string RecordProblem(const Record& record, const FitOptions& options);

// PV's move the record is judged against: FitOptions::PvMove when set, else
// PvMove(record).
double JudgedMove(const Record& record, const FitOptions& options);

// The golden section's ratio, for the searches of every model kind.
constexpr double kGolden = 0.6180339887498949;

}  // namespace korvane::fit
