#pragma once
// One sample of the live chart.

namespace korvane {

// The chart clock when the sample was stored, and the controller values of
// that moment as displayed. 16 bytes; the history stores these side by side.
struct ChartPoint {
  float Time = 0.0f;      // seconds of chart clock
  float PV = 0.0f;        // process value
  float Setpoint = 0.0f;  // setpoint
  float Output = 0.0f;    // controller output in percent
};

static_assert(sizeof(ChartPoint) == 16, "a sample is four 32-bit floats");

}  // namespace korvane
