#pragma once
// Where the poll cycle puts one chart sample per received piece. The chart
// history implements it; the sample's time is the sink's own chart clock.

namespace korvane {

class SampleSink {
 public:
  virtual ~SampleSink() = default;
  // ChartPaused: while set, the poll cycle neither reads nor adds samples.
  virtual bool ChartPaused() const = 0;
  // Stores one sample at the chart clock and has the chart redrawn.
  virtual void AddSample(float pv, float setpoint, float output) = 0;
};

}  // namespace korvane
