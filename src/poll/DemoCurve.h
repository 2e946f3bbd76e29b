#pragma once
// The curve the chart shows from start-up until its first redraw: a
// setpoint step to 75 at x = 5, a proportional output and a process value
// that climbs by pseudo-random steps while the output stays above 50.
// The generator is seeded with 0, so every start draws the same curve.

#include <array>
#include <cstdint>

namespace korvane {

struct DemoPoint {
  std::int32_t X = 0;
  std::int32_t Setpoint = 0;
  std::int32_t Output = 0;
  std::int32_t PV = 0;
};

inline constexpr std::int32_t kDemoPointCount = 401;  // x = 0..400

std::array<DemoPoint, kDemoPointCount> DemonstrationCurve();

// The 32-bit linear congruential generator behind the curve:
// seed <- seed * 134775813 + 1 (mod 2^32), then (seed * range) div 2^32.
class DemoRandom {
 public:
  explicit DemoRandom(std::uint32_t seed = 0) : seed_(seed) {}
  std::int32_t Next(std::uint32_t range);

 private:
  std::uint32_t seed_;
};

}  // namespace korvane
