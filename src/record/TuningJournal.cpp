#include "record/TuningJournal.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "base/SafeWrite.h"

namespace korvane {
namespace {

// A number, or an empty field for one that is not known (a refused write's values).
std::string Number(double value) {
  if (!std::isfinite(value)) return {};
  char text[40];
  std::snprintf(text, sizeof text, "%.6g", value);
  return text;
}

std::string Optional(const std::optional<double>& value) { return value ? Number(*value) : std::string(); }

// A text field in quotes, quotes doubled, so commas and line breaks stay inside it.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + '"';
}

}  // namespace

std::size_t TuningJournal::Add(JournalEntry entry) {
  entries_.push_back(std::move(entry));
  return entries_.size() - 1;
}

std::string TuningJournal::Csv(double timeScale) const {
  // Times in process seconds; the headings say so when that is not the chart's clock.
  const bool process = timeScale != 1.0;
  std::string csv = process ? "process_time_s,what,old,new,result,rise_process_s,overshoot_pct,settling_process_s,"
                              "steady_state_error,iae_process,peak_output_pct,band\n"
                            : "time_s,what,old,new,result,rise_s,overshoot_pct,settling_s,steady_state_error,iae,"
                              "peak_output_pct,band\n";
  for (const JournalEntry& e : entries_) {
    csv += Number(e.Time * timeScale) + ',' + e.What + ',' + Number(e.OldValue) + ',' + Number(e.NewValue) + ',' +
           Quoted(e.Result);
    if (e.Figures) {
      const StepResponseFigures f = InProcessTime(*e.Figures, timeScale);
      csv += ',' + Optional(f.RiseTime) + ',' + Optional(f.Overshoot) + ',' + Optional(f.SettlingTime) + ',' +
             Optional(f.SteadyStateError) + ',' + Number(f.Iae) + ',' + Optional(f.PeakOutput) + ',' +
             Number(f.Band) + '\n';
    } else {
      csv += ",,,,,,,\n";
    }
  }
  return csv;
}

void TuningJournal::SaveCsv(const std::string& path, double timeScale) const {
  ReplaceFileContents(path, Csv(timeScale));
}

}  // namespace korvane
