// libFuzzer target: reading a data log file into the trend viewer.
//
// The input becomes a file that a viewer already holding another file
// reads. A failed read must leave the viewer exactly as it was; a good one
// must give a consistent table and pages. An input starting with 0xFF n is
// repeated n times, so lines longer than a read block and line ends on
// block edges are reached with short inputs. The fast field reading is
// also checked against StrictFloat on the input as one field.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "base/Convert.h"
#include "files/FileNumbers.h"
#include "files/TrendViewer.h"

namespace {

using korvane::TrendViewer;

std::string Path(const char* name) { return "/tmp/korvane-fuzz-" + std::to_string(getpid()) + name; }

void WriteFile(const std::string& path, std::string_view bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
  std::fclose(f);
}

bool Same(const TrendViewer& a, const TrendViewer& b) {
  if (a.Heading() != b.Heading() || a.KpText() != b.KpText() || a.KiText() != b.KiText() ||
      a.KdText() != b.KdText() || a.TrendCount() != b.TrendCount() || a.TrendStart() != b.TrendStart() ||
      a.Loaded() != b.Loaded()) {
    return false;
  }
  // The table is one block of rows: compared whole, in one call.
  return std::memcmp(&a.Row(0), &b.Row(0), sizeof(korvane::TrendRow) * korvane::kTrendTableRows) == 0;
}

const TrendViewer& Base() {
  static const TrendViewer base = [] {
    std::string text = "Base\r\nK=   1.000 Ki=   2.000 Kd=   3.000\r\nSecs, Setpoint, PV, Output\r\n";
    for (int i = 0; i < 300; ++i) text += std::to_string(i) + ",  75.000,  74.200,  31.500\r\n";
    const std::string path = Path("-base.txt");
    WriteFile(path, text);
    TrendViewer viewer;
    if (viewer.OpenFile(path, '.')) std::abort();
    std::remove(path.c_str());
    viewer.ScrollBar1Change(250);
    return viewer;
  }();
  return base;
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
  std::string_view input(reinterpret_cast<const char*>(data), size);
  if (size <= 64) CheckFieldReading(input);
  std::string bytes(input);
  if (size >= 2 && data[0] == 0xFF) {
    bytes.clear();
    for (int i = 0; i < data[1]; ++i) bytes.append(input.substr(2));
  }
  static const std::string path = [] {
    std::atexit([] { std::remove(Path(".txt").c_str()); });
    return Path(".txt");
  }();
  WriteFile(path, bytes);
  static TrendViewer viewer;
  viewer = Base();  // an assignment of equal tables is one block copy
  const std::optional<std::string> error = viewer.OpenFile(path, '.');
  if (error) {
    if (!Same(viewer, Base())) std::abort();
    return 0;
  }
  if (viewer.TrendCount() < 0 || viewer.TrendCount() > korvane::kTrendTableRows || viewer.TrendStart() != 0) {
    std::abort();
  }
  for (std::int32_t position : {0, viewer.TrendCount() / 2, viewer.TrendCount(), viewer.TrendCount() + 1, 10000}) {
    viewer.ScrollBar1Change(position);
    const korvane::TrendDrawing d = viewer.DrawTrend({});
    const std::size_t rows = d.PV.size();
    if (rows > TrendViewer::kPageRows || d.Setpoint.size() != rows || d.Output.size() != rows) std::abort();
    if (d.BottomMin.has_value() != (rows > 0)) std::abort();
  }
  return 0;
}
