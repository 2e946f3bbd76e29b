#include "record/TuningSettings.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "base/SafeWrite.h"
#include "poll/WriteValue.h"

namespace korvane {

TuningSettings ParseTuningSettings(const std::string& text, std::string* problem) {
  TuningSettings s;
  std::istringstream in(text);
  std::string line;
  auto complain = [&](const std::string& what) {
    if (problem != nullptr) *problem += (problem->empty() ? "" : "; ") + what;
  };
  while (std::getline(in, line)) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq);
    const std::optional<double> value = ParseWriteNumber(line.substr(eq + 1));
    double* target = key == "span_low" ? &s.SpanLow : key == "span_high" ? &s.SpanHigh
                     : key == "time_scale" ? &s.TimeScale : nullptr;
    if (target == nullptr) continue;
    if (!value || !std::isfinite(*value)) {
      complain(key + " is not a number");
      continue;
    }
    *target = *value;
  }
  const TuningSettings defaults;
  if (!(s.Span() > 0.0) || !std::isfinite(s.Span())) {
    complain("the span is not above 0");
    s.SpanLow = defaults.SpanLow;
    s.SpanHigh = defaults.SpanHigh;
  }
  if (!(s.TimeScale > 0.0)) {
    complain("the time scale is not above 0");
    s.TimeScale = defaults.TimeScale;
  }
  return s;
}

std::string FormatTuningSettings(const TuningSettings& settings) {
  char text[160];
  std::snprintf(text, sizeof text, "span_low=%.9g\nspan_high=%.9g\ntime_scale=%.9g\n", settings.SpanLow,
                settings.SpanHigh, settings.TimeScale);
  return text;
}

std::string TuningSettingsPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  const std::string base = config != nullptr && *config != '\0' ? config
                           : std::string(home != nullptr ? home : ".") + "/.config";
  return base + "/korvane/tuning";
}

TuningSettings LoadTuningSettings(const std::string& path) {
  std::ifstream in(path);
  if (!in) return {};
  std::stringstream text;
  text << in.rdbuf();
  return ParseTuningSettings(text.str());
}

void SaveTuningSettings(const std::string& path, const TuningSettings& settings) {
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
  ReplaceFileContents(path, FormatTuningSettings(settings));
}

}  // namespace korvane
