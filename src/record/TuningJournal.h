#pragma once
// The tuning journal: every parameter write in order, with the value before
// and after, its chart time (saved in process time), the controller's answer and, for a setpoint,
// the figures of the response that followed. Saved as CSV.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "identify/StepFigures.h"

namespace korvane {

struct JournalEntry {
  double Time = 0.0;      // chart clock, s
  std::string What;       // "setpoint", "Kp", "Ki", "Kd"
  double OldValue = 0.0;
  double NewValue = 0.0;
  std::string Result;     // the status text of the answer, or the refusal
  std::optional<StepResponseFigures> Figures;
};

class TuningJournal {
 public:
  // Appends an entry and returns its index.
  std::size_t Add(JournalEntry entry);
  JournalEntry& At(std::size_t index) { return entries_.at(index); }
  const std::vector<JournalEntry>& Entries() const noexcept { return entries_; }
  void Clear() noexcept { entries_.clear(); }

  // One heading line, then one line per entry; figures not known yet are
  // empty fields. Times in process seconds: the chart's times x `timeScale`
  // (process seconds per chart second); the headings name process time when
  // the scale is not 1.
  std::string Csv(double timeScale = 1.0) const;
  // Replaces `path` with Csv() without ever leaving half a file; throws FileError.
  void SaveCsv(const std::string& path, double timeScale = 1.0) const;

 private:
  std::vector<JournalEntry> entries_;
};

}  // namespace korvane
