#pragma once
// The chart's own clock: seconds of running time as a 32-bit float.

namespace korvane {

// One tick of the chart clock: 0.1 is added in double precision and the sum
// stored back to 32 bits (nearest, ties to even). The clock therefore
// carries the drift of repeated single-precision sums (1.0000001 after ten
// ticks from 0), and every sample time keeps that value unchanged.
float AdvanceChartClock(float clock) noexcept;

}  // namespace korvane
