#include "poll/DemoCurve.h"

#include "poll/RoundHalfEven.h"

namespace korvane {

std::int32_t DemoRandom::Next(std::uint32_t range) {
  seed_ = seed_ * 134775813u + 1u;  // unsigned arithmetic wraps modulo 2^32
  return static_cast<std::int32_t>((static_cast<std::uint64_t>(seed_) * range) >> 32);
}

std::array<DemoPoint, kDemoPointCount> DemonstrationCurve() {
  // 4/3 with a 64-bit mantissa; long double is the x87 80-bit format on x86-64.
  constexpr long double kGain = 1.3333333333333333334L;
  std::array<DemoPoint, kDemoPointCount> curve{};
  DemoRandom random;
  std::int32_t pv = 0;
  for (std::int32_t x = 0; x < kDemoPointCount; ++x) {
    const std::int32_t sp = x < 5 ? 0 : 75;
    const float difference = static_cast<float>(sp - pv);
    // Nearest integer, halves to even (the products never land on a half).
    const auto out = static_cast<std::int32_t>(RoundHalfEven(static_cast<long double>(difference) * kGain));
    if (out > 50) pv += random.Next(10);
    curve[static_cast<std::size_t>(x)] = DemoPoint{x, sp, out, pv};
  }
  return curve;
}

}  // namespace korvane
