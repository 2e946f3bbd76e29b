#pragma once
// Identification of the loop as a first-order process with dead time:
//   PV(t) = K * y(t) + offset,  tau * dy/dt + y = Out(t - theta),
// by least squares: for every dead time on a grid (coarse, then refined
// around the best) the time constant is searched and K and the offset are
// solved linearly. The record is resampled onto at most MaxPoints evenly
// spaced points first, so the time taken is bounded whatever its length.

#include <cstddef>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "tuning/TuningSample.h"

namespace korvane {

struct FopdtModel {
  double Gain = 0.0;          // K, PV units per % output
  double TimeConstant = 0.0;  // tau, s
  double DeadTime = 0.0;      // theta, s
  double Offset = 0.0;        // PV at 0 % output
  double Fit = 0.0;           // R^2 of the fit, 1 = perfect
};

struct FitOptions {
  std::size_t MinSamples = 20;
  std::size_t MaxPoints = 4000;
  double MinOutputMove = 1.0;  // % the output must span
  double LimitShare = 0.9;     // refuse when the output sat on a limit this share of the record
  double OutLow = 0.5;
  double OutHigh = 99.5;
  double MinFit = 0.8;         // refuse a fit with a lower R^2
  // The record before this time was at rest: the filter starts on its mean
  // output (a jittering output at rest would start it off). Unset (NaN): on
  // the first output.
  double RestUntil = std::numeric_limits<double>::quiet_NaN();
};

struct Identification {
  bool Ok = false;
  FopdtModel Model;
  std::string Refusal;  // why no model, when not Ok
};

// Fits the model to `samples` (oldest first). Samples that are not finite
// are skipped; when the time runs backwards (a cleared chart) only the run
// after the last such jump is used.
Identification IdentifyFopdt(std::span<const TuningSample> samples, const FitOptions& options = {});

// The model's PV at each sample's time for the output the samples recorded
// (the fit drawn over the record); starts at rest on the first output.
std::vector<double> ModelResponse(const FopdtModel& model, std::span<const TuningSample> samples);

}  // namespace korvane
