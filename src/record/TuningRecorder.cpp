#include "record/TuningRecorder.h"

#include <cmath>
#include <cstddef>
#include <utility>

namespace korvane {

TuningRecorder::TuningRecorder(std::function<double()> clock, FigureOptions options, std::size_t maxSamples)
    : clock_(std::move(clock)), options_(options), maxSamples_(maxSamples) {}

void TuningRecorder::StartStep(double time, double from, double to) {
  // The rest before the step: the samples of the last stretch before it
  // (at most kRestSamples), their mean PV and the PV noise.
  std::vector<TuningSample> rest;
  for (auto it = samples_.rbegin(); it != samples_.rend() && rest.size() < kRestSamples; ++it) {
    if (it->Time < time) rest.push_back(*it);
  }
  FigureOptions options = options_;
  if (!rest.empty()) {
    options.RestPv = 0.0;
    for (const TuningSample& s : rest) options.RestPv += s.PV / static_cast<double>(rest.size());
  }
  if (rest.size() >= 5) {
    double sum = 0.0;
    for (std::size_t i = 1; i < rest.size(); ++i) sum += (rest[i].PV - rest[i - 1].PV) * (rest[i].PV - rest[i - 1].PV);
    options.NoiseSd = std::sqrt(sum / static_cast<double>(rest.size() - 1) / 2.0);
  }
  step_.emplace(time, from, to, options);
  stepOptions_ = options;
  interruption_.clear();
  outBefore_ = rest.empty() ? (samples_.empty() ? 0.0 : samples_.back().Out) : rest.front().Out;
}

void TuningRecorder::SetOptions(FigureOptions options) {
  options_ = options;
  if (!step_) return;
  // The running step again under the new band: its samples replayed.
  FigureOptions again = options;
  again.RestPv = stepOptions_.RestPv;
  again.NoiseSd = stepOptions_.NoiseSd;
  const StepFigures old = *step_;
  step_.emplace(old.StepTime(), old.OldSetpoint(), old.NewSetpoint(), again);
  stepOptions_ = again;
  for (const TuningSample& s : samples_) step_->Add(s);
  step_->Refresh();
  if (stepEntry_) journal_.At(*stepEntry_).Figures = step_->Figures();
}

void TuningRecorder::ChartPaused() {
  if (step_) interruption_ = "The chart was paused during the step: the record has a hole. Make the step again.";
}

Identification TuningRecorder::Identify(double before, FitOptions options) const {
  if (!step_) {
    Identification none;
    none.Refusal = samples_.empty() ? "No samples yet: open the port and make a setpoint step."
                                    : "No setpoint step since the chart was last cleared: make one, then Identify.";
    return none;
  }
  if (!interruption_.empty()) {
    Identification none;
    none.Refusal = interruption_;
    return none;
  }
  options.RestUntil = step_->StepTime();
  return IdentifyFopdt(StepRecord(before), options);
}

void TuningRecorder::WriteSent(std::string_view what, double oldValue, double newValue) {
  const double time = clock_();
  awaiting_ = journal_.Add({time, std::string(what), oldValue, newValue, "sent", std::nullopt});
  if (what == "setpoint" && newValue != oldValue) {
    StartStep(time, oldValue, newValue);
    stepEntry_ = awaiting_;
    writtenSetpoint_ = newValue;
  }
}

void TuningRecorder::WriteAnswered(const std::string& text) {
  if (!awaiting_) return;
  journal_.At(*awaiting_).Result = text;
  awaiting_.reset();
}

void TuningRecorder::WriteRefused(std::string_view what, const std::string& reason) {
  const double time = clock_();
  journal_.Add({time, std::string(what), NAN, NAN, reason, std::nullopt});
}

void TuningRecorder::AddSample(const TuningSample& sample) {
  if (!IsUsable(sample)) return;
  if (!samples_.empty() && sample.Time < samples_.back().Time) {
    samples_.clear();
    step_.reset();
    stepEntry_.reset();
    interruption_.clear();
  }
  // A setpoint change nobody wrote from here (the panel) starts a step of its own.
  if (!samples_.empty() && sample.SP != samples_.back().SP) {
    if (writtenSetpoint_ && std::fabs(sample.SP - *writtenSetpoint_) <= 1e-6 * (1.0 + std::fabs(sample.SP))) {
      writtenSetpoint_.reset();
    } else {
      // Seen at this poll, made somewhere since the last one: in the middle
      // of the interval (half a poll of delay for a sampled change).
      StartStep(0.5 * (sample.Time + samples_.back().Time), samples_.back().SP, sample.SP);
      stepEntry_.reset();
    }
  }
  if (samples_.size() >= maxSamples_) samples_.erase(samples_.begin(), samples_.begin() + static_cast<long>(maxSamples_ / 10 + 1));
  samples_.push_back(sample);
  if (step_ && step_->Add(sample) && stepEntry_) journal_.At(*stepEntry_).Figures = step_->Figures();
}

std::vector<TuningSample> TuningRecorder::StepRecord(double before) const {
  if (!step_) return samples_;
  std::vector<TuningSample> record;
  for (const TuningSample& s : samples_) {
    if (s.Time >= step_->StepTime() - before) record.push_back(s);
  }
  return record;
}

}  // namespace korvane
