#pragma once
// The text of the data log file and of the trend file. Every line ends with
// CR LF; F below is "%8.3f" with the files' decimal separator (Fixed83).
//
// Data log:   heading
//             "K=" F(Kp) " Ki=" F(Ki) " Kd=" F(Kd)
//             "Secs, Setpoint, PV, Output"
//             count "," F(SP) "," F(PV) "," F(Out)        one per log line
// Trend file: heading
//             "Kp, Ki, Kd"
//             F(Kp) ", " F(Ki) ", " F(Kd)
//             "Time, Setpoint, PV, Output"
//             F(Time) ", " F(Setpoint) ", " F(PV) ", " F(Output)  one per sample
//
// The separator handed in may be the system's or the files' one: each
// function passes it through FileDecimalSeparator.

#include <cstdint>
#include <string>
#include <string_view>

#include "base/ControllerValues.h"
#include "plot/ChartPoint.h"

namespace korvane {


// The longest trend data line AppendTrendLine writes.
inline constexpr std::size_t kMaxTrendLineChars = 4 * 48 + 3 * 2 + 2;

// The data log's three heading lines.
std::string LogHeading(std::string_view heading, const ControllerValues& values, char separator);
// One data log line with the poll count given.
std::string LogDataLine(std::int32_t pollCount, const ControllerValues& values, char separator);
// The trend file's four heading lines.
std::string TrendHeading(std::string_view heading, const ControllerValues& values, char separator);
// Writes one trend data line to `out` (room for kMaxTrendLineChars) and
// returns its end; `separator` must already be the files' one.
char* AppendTrendLine(char* out, const ChartPoint& point, char separator) noexcept;

}  // namespace korvane
