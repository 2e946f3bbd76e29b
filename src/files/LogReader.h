#pragma once
// Reading a data log file for the trend viewer.
//
// Line 1 is the heading, line 2 holds the PID factors (split into three
// texts by character positions), line 3 (the column caption) is skipped,
// and every further line is a data line read into four values. Lines are
// taken by LineSource's rules (CR ends a line, Ctrl-Z ends the file, at
// most 64 KiB kept per line), so memory stays bounded for any file.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/LineSource.h"

namespace korvane {

// One data line's values; also the values carried from line to line.
struct TrendRow {
  float Time = 0, Setpoint = 0, PV = 0, Output = 0;
};

// Rows kept of one file; further lines are still read and checked.
inline constexpr std::int32_t kTrendTableRows = 10000;

struct FactorTexts {
  std::string Kp, Ki, Kd;
};

// Splits the factor line, with 1-based positions: s = up to 40 characters
// from the 4th; Kp is what precedes the first "K" of s; s becomes up to 20
// characters from 3 past that "K" (from the 3rd when there is none); Ki
// likewise; Kd is the rest. Each text loses leading and trailing blanks and
// control characters. "K=  12.500 Ki=   0.250 Kd=  30.000" gives "12.500",
// "0.250", "30.000".
FactorTexts SplitFactors(std::string_view line);

// Parses one data line into `values`. Without a comma the line is skipped
// and `values` keep the last line's values. Otherwise field 1 is the text
// before the first comma; up to 40 characters after it hold field 2 (up to
// the next comma), up to 40 after that field 3, and the rest is field 4.
// Fields are read by the strict float rules with the files' separator
// (FileDecimalSeparator of `separator`); the first
// that fails gives "'<field>' is not a valid floating point value", the
// fields before it already stored.
std::optional<std::string> ExtractVals(std::string_view line, char separator, TrendRow& values);

// What one file read gives.
struct LogFileContents {
  std::string Heading;
  FactorTexts Factors;
  std::vector<TrendRow> Rows;  // at most kTrendTableRows
  TrendRow LineValues;         // the carried values after the last line
  std::int64_t DataLines = 0;  // data lines read, stored or not
};

// Reads a whole data log from `source` (a file, or a file's bytes),
// starting from the carried values `lineValues`. A file-error text when the
// file cannot be opened or read, or the message of the first bad field;
// `contents` is then incomplete. `separator` may be the system's or the
// files' one (FileDecimalSeparator).
std::optional<std::string> ReadLog(LineSource& source, char separator, const TrendRow& lineValues,
                                   LogFileContents& contents);

// ReadLog of the file at `path`, read block by block.
std::optional<std::string> ReadLogFile(const std::string& path, char separator, const TrendRow& lineValues,
                                       LogFileContents& contents);

}  // namespace korvane
