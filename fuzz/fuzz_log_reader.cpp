// libFuzzer target: reading a data log file into the trend viewer.
//
// The input is the file's bytes, read by a viewer that already holds
// another file. A failed read must leave the viewer exactly as it was; a
// good one must give a consistent table and pages. The same bytes read in
// small blocks (1 to 64 bytes, chosen by the last byte) must give the same
// result, so line ends, CR LF pairs and Ctrl-Z on block edges are reached
// with short inputs. Both reads keep lines up to a limit chosen by the
// byte before (1 to 128 bytes, or the files' 64 KiB), so cut lines are
// reached with short inputs too. The fast field reading is also checked
// against StrictFloat on the input as one field.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "base/Convert.h"
#include "files/FileNumbers.h"
#include "files/LineSource.h"
#include "files/LogReader.h"
#include "files/TrendViewer.h"

namespace {

using korvane::TrendViewer;

bool Same(const TrendViewer& a, const TrendViewer& b) {
  if (a.Heading() != b.Heading() || a.KpText() != b.KpText() || a.KiText() != b.KiText() ||
      a.KdText() != b.KdText() || a.TrendCount() != b.TrendCount() || a.TrendStart() != b.TrendStart() ||
      a.Loaded() != b.Loaded()) {
    return false;
  }
  // The table is one block of rows: compared whole, in one call.
  return std::memcmp(&a.Row(0), &b.Row(0), sizeof(korvane::TrendRow) * korvane::kTrendTableRows) == 0;
}

// The carried values after the base file: its last line.
constexpr korvane::TrendRow kBaseLineValues{299.0f, 75.0f, 74.2f, 31.5f};

const TrendViewer& Base() {
  static const std::string text = [] {
    std::string t = "Base\r\nK=   1.000 Ki=   2.000 Kd=   3.000\r\nSecs, Setpoint, PV, Output\r\n";
    for (int i = 0; i < 300; ++i) t += std::to_string(i) + ",  75.000,  74.200,  31.500\r\n";
    return t;
  }();
  static const TrendViewer base = [] {
    TrendViewer viewer;
    korvane::LineSource source(korvane::LineSource::Bytes{text});
    if (viewer.Open(source, '.')) std::abort();
    viewer.ScrollBar1Change(250);
    return viewer;
  }();
  return base;
}

// The same bytes read in blocks of `blockBytes` give the same result.
void CheckSmallBlocks(korvane::LineSource::Bytes given, const std::optional<std::string>& error,
                      const TrendViewer& viewer) {
  korvane::LineSource source(given);
  korvane::LogFileContents contents;
  const std::optional<std::string> again = korvane::ReadLog(source, '.', kBaseLineValues, contents);
  if (again != error) std::abort();
  if (error) return;
  if (contents.Heading != viewer.Heading() || contents.Factors.Kp != viewer.KpText() ||
      contents.Factors.Ki != viewer.KiText() || contents.Factors.Kd != viewer.KdText() ||
      contents.Rows.size() != static_cast<std::size_t>(viewer.TrendCount())) {
    std::abort();
  }
  if (!contents.Rows.empty() &&
      std::memcmp(contents.Rows.data(), &viewer.Row(0), contents.Rows.size() * sizeof(korvane::TrendRow)) != 0) {
    std::abort();
  }
}

void CheckFieldReading(std::string_view text) {
  for (char sep : {'.', '\''}) {
    std::optional<double> strict;
    try {
      strict = korvane::StrictFloat(text, sep);
    } catch (const korvane::ConvertError&) {
    }
    const std::optional<double> fast = korvane::ParseFileFloat(text, sep);
    if (fast.has_value() != strict.has_value()) std::abort();
    if (fast && std::memcmp(&*fast, &*strict, sizeof(double)) != 0) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (size <= 64) CheckFieldReading(bytes);
  const std::uint8_t last = size > 0 ? data[size - 1] : 0;
  const std::uint8_t before = size > 1 ? data[size - 2] : 255;
  const std::size_t lineLimit = before < 128 ? std::size_t{1} + before : korvane::kMaxLineBytes;

  static TrendViewer viewer = Base();
  static bool changed = false;  // the last input was read: the viewer holds it
  if (changed) viewer = Base();  // an assignment of equal tables is one block copy
  korvane::LineSource source(korvane::LineSource::Bytes{bytes, korvane::kLineBlockBytes, lineLimit});
  const std::optional<std::string> error = viewer.Open(source, '.');
  changed = !error;
  CheckSmallBlocks({bytes, std::size_t{1} + last % 64, lineLimit}, error, viewer);
  if (error) {
    if (!Same(viewer, Base())) std::abort();
    return 0;
  }
  if (viewer.TrendCount() < 0 || viewer.TrendCount() > korvane::kTrendTableRows || viewer.TrendStart() != 0) {
    std::abort();
  }
  for (std::int32_t position : {0, viewer.TrendCount() / 2, viewer.TrendCount(), viewer.TrendCount() + 1, 10000}) {
    viewer.ScrollBar1Change(position);
    const korvane::TrendDrawing d = viewer.DrawTrend();
    const std::size_t rows = d.PV.size();
    if (rows > TrendViewer::kPageRows || d.Setpoint.size() != rows || d.Output.size() != rows) std::abort();
    if (d.BottomMin.has_value() != (rows > 0)) std::abort();
  }
  return 0;
}
