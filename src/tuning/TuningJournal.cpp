#include "tuning/TuningJournal.h"

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

std::string TuningJournal::Csv() const {
  std::string csv =
      "time_s,what,old,new,result,rise_s,overshoot_pct,settling_s,steady_state_error,iae,peak_output_pct\n";
  for (const JournalEntry& e : entries_) {
    csv += Number(e.Time) + ',' + e.What + ',' + Number(e.OldValue) + ',' + Number(e.NewValue) + ',' +
           Quoted(e.Result);
    if (e.Figures) {
      const StepResponseFigures& f = *e.Figures;
      csv += ',' + Optional(f.RiseTime) + ',' + Optional(f.Overshoot) + ',' + Optional(f.SettlingTime) + ',' +
             Optional(f.SteadyStateError) + ',' + Number(f.Iae) + ',' + Optional(f.PeakOutput) + '\n';
    } else {
      csv += ",,,,,,\n";
    }
  }
  return csv;
}

void TuningJournal::SaveCsv(const std::string& path) const { ReplaceFileContents(path, Csv()); }

}  // namespace korvane
