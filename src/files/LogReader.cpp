#include "files/LogReader.h"

#include <cfloat>
#include <cmath>

#include "base/Convert.h"
#include "files/FileNumbers.h"

namespace korvane {
namespace {

// Up to `count` characters of `s` from the 1-based `position` (from the
// first when below 1); empty when the position lies beyond the end.
std::string_view Copy(std::string_view s, std::size_t position, std::size_t count) {
  if (position < 1) position = 1;
  if (position > s.size()) return {};
  return s.substr(position - 1, count);
}

// 1-based position of the first `c` in `s`, 0 when there is none.
std::size_t Pos(char c, std::string_view s) {
  const std::size_t at = s.find(c);
  return at == std::string_view::npos ? 0 : at + 1;
}

// Drops leading and trailing blanks and control characters.
std::string Trim(std::string_view s) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return std::string(s);
}

// The text before position k (1-based), as "Copy(s, 1, k - 1)".
std::string_view Before(std::string_view s, std::size_t k) { return k > 1 ? s.substr(0, k - 1) : std::string_view(); }

// A value beyond the float range becomes an infinity of its sign.
float ToFloat(double value) {
  if (value > FLT_MAX) return INFINITY;
  if (value < -FLT_MAX) return -INFINITY;
  return static_cast<float>(value);
}

}  // namespace

FactorTexts SplitFactors(std::string_view line) {
  FactorTexts texts;
  std::string_view s = Copy(line, 4, 40);
  std::size_t k = Pos('K', s);
  texts.Kp = Trim(Before(s, k));
  s = Copy(s, k + 3, 20);
  k = Pos('K', s);
  texts.Ki = Trim(Before(s, k));
  s = Copy(s, k + 3, 20);
  texts.Kd = Trim(s);
  return texts;
}

std::optional<std::string> ExtractVals(std::string_view line, char separator, TrendRow& values) {
  std::size_t c = Pos(',', line);
  if (c == 0) return std::nullopt;
  std::string_view fields[4];
  fields[0] = line.substr(0, c - 1);
  std::string_view rest = Copy(line, c + 1, 40);
  for (int f = 1; f <= 2; ++f) {
    c = Pos(',', rest);
    fields[f] = Before(rest, c);
    rest = Copy(rest, c + 1, 40);
  }
  fields[3] = rest;
  float* targets[4] = {&values.Time, &values.Setpoint, &values.PV, &values.Output};
  const char sep = FileDecimalSeparator(separator);
  for (int f = 0; f < 4; ++f) {
    const std::optional<double> value = ParseFileFloat(fields[f], sep);
    if (!value) return InvalidFloatMessage(fields[f]);
    *targets[f] = ToFloat(*value);
  }
  return std::nullopt;
}

std::optional<std::string> ReadLog(LineSource& source, char separator, const TrendRow& lineValues,
                                   LogFileContents& contents) {
  if (auto error = source.Error()) return error;
  contents.Heading = source.ReadLine();
  contents.Factors = SplitFactors(source.ReadLine());
  source.ReadLine();  // the column caption
  contents.Rows.clear();
  contents.DataLines = 0;
  TrendRow values = lineValues;
  while (!source.AtEnd()) {
    if (auto error = ExtractVals(source.ReadLine(), separator, values)) return error;
    ++contents.DataLines;
    if (contents.Rows.size() < static_cast<std::size_t>(kTrendTableRows)) contents.Rows.push_back(values);
  }
  if (auto error = source.Error()) return error;
  contents.LineValues = values;
  return std::nullopt;
}

std::optional<std::string> ReadLogFile(const std::string& path, char separator, const TrendRow& lineValues,
                                       LogFileContents& contents) {
  LineSource source(path);
  return ReadLog(source, separator, lineValues, contents);
}

}  // namespace korvane
