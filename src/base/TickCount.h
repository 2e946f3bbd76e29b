#pragma once
// The millisecond tick count behind reply deadlines. It wraps at 2^32, as
// the system tick counter the deadlines were made for: GetTickCount on
// Windows, the monotonic clock elsewhere.

#include <cstdint>

namespace korvane {

std::uint32_t TickCount();

}  // namespace korvane
