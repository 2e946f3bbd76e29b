#include "tuning/TuningRecorder.h"

#include <cmath>
#include <utility>

namespace korvane {

TuningRecorder::TuningRecorder(std::function<double()> clock, FigureOptions options, std::size_t maxSamples)
    : clock_(std::move(clock)), options_(options), maxSamples_(maxSamples) {}

void TuningRecorder::StartStep(double time, double from, double to) {
  step_.emplace(time, from, to, options_);
  outBefore_ = samples_.empty() ? 0.0 : samples_.back().Out;
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
  }
  // A setpoint change nobody wrote from here (the panel) starts a step of its own.
  if (!samples_.empty() && sample.SP != samples_.back().SP) {
    if (writtenSetpoint_ && std::fabs(sample.SP - *writtenSetpoint_) <= 1e-6 * (1.0 + std::fabs(sample.SP))) {
      writtenSetpoint_.reset();
    } else {
      StartStep(sample.Time, samples_.back().SP, sample.SP);
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
