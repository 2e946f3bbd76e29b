#pragma once
// The millisecond tick count behind reply deadlines: a monotonic clock that
// wraps at 2^32 like the system tick counter the deadlines were made for.

#include <chrono>
#include <cstdint>

namespace korvane {

inline std::uint32_t TickCount() {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

}  // namespace korvane
