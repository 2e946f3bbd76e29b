#include "files/TrendViewer.h"

#include <algorithm>

namespace korvane {

std::optional<std::string> TrendViewer::OpenFile(const std::string& path, char decimalSeparator) {
  LineSource source(path);
  return Open(source, decimalSeparator);
}

std::optional<std::string> TrendViewer::Open(LineSource& source, char decimalSeparator) {
  // The whole file is read aside first, so a file that fails part-way (a
  // bad field, a read error, a trend export file) leaves everything as it
  // was: the table, the texts, the page and the carried values.
  LogFileContents next;
  if (auto error = ReadLog(source, decimalSeparator, lineValues_, next)) return error;
  // Rows beyond the new count keep what an earlier, longer file left; they
  // are never shown.
  std::copy(next.Rows.begin(), next.Rows.end(), table_.begin());
  count_ = static_cast<std::int32_t>(next.Rows.size());
  start_ = 0;
  heading_ = std::move(next.Heading);
  kp_ = std::move(next.Factors.Kp);
  ki_ = std::move(next.Factors.Ki);
  kd_ = std::move(next.Factors.Kd);
  lineValues_ = next.LineValues;
  loaded_ = true;
  return std::nullopt;
}

void TrendViewer::ScrollBar1Change(std::int32_t position) {
  start_ = std::max(position, 0);
  if (start_ > count_) start_ = std::max(count_ - kPageRows, 0);
}

TrendDrawing TrendViewer::DrawTrend() const {
  TrendDrawing drawing;
  const std::int32_t rows = std::min(count_ - start_, kPageRows);
  if (rows <= 0) return drawing;
  const auto first = static_cast<std::size_t>(start_);
  const auto end = first + static_cast<std::size_t>(rows);
  drawing.BottomMin = table_[first].Time;
  drawing.BottomMax = table_[end - 1].Time;
  for (auto* series : {&drawing.Setpoint, &drawing.PV, &drawing.Output}) series->reserve(end - first);
  for (std::size_t i = first; i < end; ++i) {
    const TrendRow& row = table_[i];
    drawing.Setpoint.push_back({row.Time, row.Setpoint});
    drawing.PV.push_back({row.Time, row.PV});
    drawing.Output.push_back({row.Time, row.Output});
  }
  return drawing;
}

}  // namespace korvane
