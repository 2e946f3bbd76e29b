#pragma once
// The tuning workbench's record of the loop: the journal of writes (a write
// observer of the poll cycle), the samples since the chart was last cleared,
// and the figures of the latest setpoint step, whether Korvane wrote it or
// the polled setpoint changed on its own.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "identify/FopdtFit.h"
#include "identify/StepFigures.h"
#include "poll/WriteObserver.h"
#include "record/TuningJournal.h"

namespace korvane {

class TuningRecorder : public WriteObserver {
 public:
  // `clock` gives the chart time of a write. At most `maxSamples` newest
  // samples are kept.
  explicit TuningRecorder(std::function<double()> clock, FigureOptions options = {},
                          std::size_t maxSamples = 200000);

  void WriteSent(std::string_view what, double oldValue, double newValue) override;
  void WriteAnswered(const std::string& text) override;
  void WriteRefused(std::string_view what, const std::string& reason) override;

  // One sample in time order. A time earlier than the last one means the
  // chart was cleared: the samples and the step are dropped (the journal stays).
  void AddSample(const TuningSample& sample);
  // New figure options (the settling band, the PV resolution); the step
  // that runs is evaluated again under them.
  void SetOptions(FigureOptions options);
  // The chart stopped taking samples while the step ran: its record has a
  // hole, and identification says so.
  void ChartPaused();

  const TuningJournal& Journal() const noexcept { return journal_; }
  TuningJournal& Journal() noexcept { return journal_; }
  const std::vector<TuningSample>& Samples() const noexcept { return samples_; }
  // The latest step, when there was one since the chart was cleared.
  const std::optional<StepFigures>& Step() const noexcept { return step_; }
  // Output just before the latest step.
  double OutputBeforeStep() const noexcept { return outBefore_; }
  // The samples from `before` seconds ahead of the latest step up to now
  // (all of them when there was no step): the record to identify from.
  std::vector<TuningSample> StepRecord(double before) const;
  // The latest step identified from StepRecord(before), the step's time as
  // the rest level's end; refused when there is no step or it was interrupted.
  Identification Identify(double before, FitOptions options = {}) const;

 private:
  void StartStep(double time, double from, double to);

  std::function<double()> clock_;
  static constexpr std::size_t kRestSamples = 30;

  FigureOptions options_;
  FigureOptions stepOptions_;  // the latest step's, with its rest level and noise
  std::string interruption_;   // why the latest step cannot be identified
  std::size_t maxSamples_;
  TuningJournal journal_;
  std::vector<TuningSample> samples_;
  std::optional<StepFigures> step_;
  std::optional<std::size_t> stepEntry_;    // journal entry the step's figures belong to
  std::optional<std::size_t> awaiting_;     // entry waiting for its answer
  std::optional<double> writtenSetpoint_;   // a written setpoint not yet seen in the samples
  double outBefore_ = 0.0;
};

}  // namespace korvane
