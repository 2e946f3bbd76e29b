#pragma once
// Rounding to the nearest integer with halves going to the even neighbour,
// independent of the floating-point environment's rounding mode.

#include <cmath>

namespace korvane {

template <typename Real>
Real RoundHalfEven(Real value) {
  const Real below = std::floor(value);
  const Real fraction = value - below;  // exact for every finite value
  if (fraction > Real(0.5)) return below + 1;
  if (fraction < Real(0.5)) return below;
  return std::fmod(below, Real(2)) == 0 ? below : below + 1;
}

}  // namespace korvane
