#pragma once
// printf-style text for the tuning messages of the fit, the rules and the
// session (numbers only, "." as the decimal point whatever the locale is not
// promised: the core never sets one).

#include <cmath>
#include <cstdio>
#include <string>

namespace korvane {

template <typename... Args>
std::string TuningText(const char* format, Args... args) {
  char text[512];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

// A time taken on the chart clock as the process knows it: "30 s", or
// "30 s (process)" when the chart runs on another clock (`scale` process
// seconds per chart second).
inline std::string ProcessSecondsText(double chartSeconds, double scale) {
  const double seconds = chartSeconds * scale;
  return TuningText(std::fabs(seconds) >= 100.0 ? "%.0f s" : "%.3g s", seconds) + (scale == 1.0 ? "" : " (process)");
}

}  // namespace korvane
