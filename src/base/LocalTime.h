#pragma once
// The broken-down local time of a moment, thread-safe on every platform
// (localtime_r on POSIX, localtime_s on Windows).

#include <ctime>

namespace korvane {

std::tm LocalTimeOf(std::time_t at);

}  // namespace korvane
