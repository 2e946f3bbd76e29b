#pragma once
// What the tuning assistant needs to know beyond the configuration: the
// controller's input span (its band is a share of it) and how many process
// seconds one chart second is. Kept in a small side file of its own
// ("span_low=0", "span_high=400", "time_scale=1", one a line), never in the
// configuration file.

#include <optional>
#include <string>

namespace korvane {

struct TuningSettings {
  double SpanLow = 0.0;
  double SpanHigh = 400.0;
  double TimeScale = 1.0;  // process seconds per chart second

  double Span() const noexcept { return SpanHigh - SpanLow; }
};

// Reads the side file's text; unknown lines are skipped, a value that is not
// a finite number (or a span not above 0, a time scale not above 0) leaves
// the default and is named in `problem`.
TuningSettings ParseTuningSettings(const std::string& text, std::string* problem = nullptr);
std::string FormatTuningSettings(const TuningSettings& settings);

// The side file: $XDG_CONFIG_HOME/korvane/tuning, else ~/.config/korvane/tuning.
std::string TuningSettingsPath();
// Loads the side file (defaults when it is missing); saves it through the
// safe replace (throws FileError).
TuningSettings LoadTuningSettings(const std::string& path);
void SaveTuningSettings(const std::string& path, const TuningSettings& settings);

}  // namespace korvane
