#pragma once
// The trend viewer's model, free of any GUI toolkit: the table of rows read
// from a data log file, the page shown, and the plan of one drawing. The
// "Trends" window only shows what this class computes.
//
// A file is read into a separate table and committed only when the whole
// file has been read: on any failure the viewer keeps the previous file
// completely (heading, factor texts, rows, count, page and the carried line
// values).

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "files/LogReader.h"

namespace korvane {

// One drawing of a page: the bottom axis span and the points of the three
// series (x = Time). An empty page has no points and no bottom range.
struct TrendDrawing {
  std::optional<double> BottomMin;  // Time of the page's first row
  std::optional<double> BottomMax;  // Time of the page's last row
  std::vector<std::array<float, 2>> Setpoint, PV, Output;
};

class TrendViewer {
 public:
  static constexpr std::int32_t kPageRows = 100;

  // Reads a data log file. On success the table, heading, factor texts and
  // TrendCount are replaced, TrendStart becomes 0, and the result is empty.
  // On failure nothing changes and the result is the message to show (a
  // file-error text, or "'<field>' is not a valid floating point value").
  // `decimalSeparator` is the system's; the reader maps it to the files'
  // one (FileDecimalSeparator).
  std::optional<std::string> OpenFile(const std::string& path, char decimalSeparator);
  // The same with the file's lines taken from `source` (a file's bytes).
  std::optional<std::string> Open(LineSource& source, char decimalSeparator);

  // Scroll bar position p: TrendStart becomes p; above TrendCount it becomes
  // TrendCount - 100, and 0 if that is below 0.
  void ScrollBar1Change(std::int32_t position);

  // The page that starts at TrendStart.
  TrendDrawing DrawTrend() const;

  const std::string& Heading() const { return heading_; }
  const std::string& KpText() const { return kp_; }
  const std::string& KiText() const { return ki_; }
  const std::string& KdText() const { return kd_; }
  std::int32_t TrendCount() const { return count_; }
  std::int32_t TrendStart() const { return start_; }
  bool Loaded() const { return loaded_; }
  const TrendRow& Row(std::int32_t index) const { return table_[static_cast<std::size_t>(index)]; }

 private:
  std::vector<TrendRow> table_ = std::vector<TrendRow>(kTrendTableRows);
  std::string heading_, kp_, ki_, kd_;
  std::int32_t count_ = 0;
  std::int32_t start_ = 0;
  TrendRow lineValues_{};  // TrendLineValues, carried from line to line and file to file
  bool loaded_ = false;
};

}  // namespace korvane
