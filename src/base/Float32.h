#pragma once
// Narrowing a 64-bit value to the 32-bit factors of the register map.

#include <cmath>
#include <limits>

namespace korvane {

// The nearest 32-bit float; values beyond its range become infinite
// (a plain conversion of such a value is undefined in C++).
inline float ToFloat32(double value) {
  constexpr double kMax = static_cast<double>(std::numeric_limits<float>::max());
  if (std::isnan(value)) return std::numeric_limits<float>::quiet_NaN();
  if (value > kMax) return std::numeric_limits<float>::infinity();
  if (value < -kMax) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(value);
}

}  // namespace korvane
