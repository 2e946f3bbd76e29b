#include "config/PresetForm.h"

#include <array>
#include <exception>
#include <optional>
#include <string>

#include "base/BoundedRead.h"
#include "config/Presets.h"

namespace korvane {
namespace {

constexpr std::string_view kSeparator = ", ";

// The fields of a line split at ", " (the last one runs to the line end).
std::array<std::optional<std::string_view>, 3> FirstFields(std::string_view line) {
  std::array<std::optional<std::string_view>, 3> fields;
  for (auto& field : fields) {
    const std::size_t pos = line.find(kSeparator);
    field = line.substr(0, pos);
    if (pos == std::string_view::npos) break;
    line.remove_prefix(pos + kSeparator.size());
  }
  return fields;
}

template <typename Unit, std::size_t N>
std::optional<Unit> Lookup(std::string_view text, const std::array<std::pair<std::string_view, Unit>, N>& table) {
  for (const auto& [name, unit] : table) {
    if (text == name) return unit;
  }
  return std::nullopt;
}

}  // namespace

PidForm ParsePresetForm(std::string_view content) {
  static constexpr std::array<std::pair<std::string_view, ProportionalUnit>, 3> kK{{
      {"%", ProportionalUnit::BandPercent}, {"units", ProportionalUnit::BandUnits}, {"gain", ProportionalUnit::Gain}}};
  static constexpr std::array<std::pair<std::string_view, IntegralUnit>, 5> kKi{{
      {"rep/min", IntegralUnit::RepeatsPerMinute}, {"1/min", IntegralUnit::RepeatsPerMinute},
      {"1/s", IntegralUnit::RepeatsPerSecond}, {"s", IntegralUnit::TimeSeconds}, {"min", IntegralUnit::TimeMinutes}}};
  static constexpr std::array<std::pair<std::string_view, DerivativeUnit>, 2> kKd{{
      {"s", DerivativeUnit::Seconds}, {"min", DerivativeUnit::Minutes}}};
  static constexpr std::array<std::pair<std::string_view, bool>, 2> kForm{{{"ideal", false}, {"series", true}}};
  PidForm form;
  // The problem of each field, kept per name so a later line mends it.
  std::array<std::string, 4> problems;
  for (const std::string& line : SplitLines(content)) {
    const auto fields = FirstFields(line);
    const std::string_view name = *fields[0];
    const std::optional<std::string_view> unit = name == "Form" ? fields[1] : fields[2];
    auto take = [&](std::size_t at, const auto& table, auto& target, auto fallback) {
      problems[at].clear();
      target = fallback;
      if (!unit) return;
      if (const auto found = Lookup(*unit, table)) target = *found;
      else problems[at] = std::string(name) + (name == "Form" ? " \"" : " unit \"") + std::string(*unit) + "\"";
    };
    if (name == "K") take(0, kK, form.K, ProportionalUnit::BandPercent);
    else if (name == "Ki") take(1, kKi, form.Ki, IntegralUnit::RepeatsPerMinute);
    else if (name == "Kd") take(2, kKd, form.Kd, DerivativeUnit::Seconds);
    else if (name == "Form") take(3, kForm, form.Series, false);
  }
  for (const std::string& problem : problems) {
    if (!problem.empty()) form.Unusable += (form.Unusable.empty() ? "" : ", ") + problem;
  }
  return form;
}

PidForm PresetFormOf(const std::vector<std::string>& folders, const std::string& type) {
  try {
    return ReadPreset(folders, type).Form;
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace korvane
