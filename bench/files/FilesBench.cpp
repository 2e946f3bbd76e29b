// Time per line of reading a data log file into the trend viewer and of
// exporting the chart history to a trend file. The counter "per_line" (CPU
// time per line) is the figure to watch; aim: well under 1 us.
//
// The files live in the system's temporary folder and stay in the page
// cache, so the figures are parsing and formatting cost, not disk speed.
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "files/DataLog.h"
#include "files/LogReader.h"
#include "files/TrendViewer.h"

namespace korvane {
namespace {

std::string TempPath(const char* name) {
  return (std::filesystem::temp_directory_path() / (std::string("korvane-bench-") + std::to_string(getpid()) + name))
      .string();
}

// A log file as recording writes it: heading lines, then one line per tick.
std::string MakeLogFile(std::int64_t lines) {
  const std::string path = TempPath("-log.txt");
  DataLog log;
  ControllerValues values{.PV = 74.2f, .SP = 75.0f, .Out = 31.5f, .Kp = 12.5f, .Ki = 0.25f, .Kd = 30.0f};
  log.OpenTarget(path, "bench", values, '.');
  std::string text;
  for (std::int64_t i = 1; i <= lines; ++i) {
    values.PV = 70.0f + static_cast<float>(i % 1000) * 0.01f;
    values.Out = static_cast<float>(i % 100);
    text += LogDataLine(static_cast<std::int32_t>(i), values, '.');
  }
  FILE* f = std::fopen(path.c_str(), "ab");
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
  return path;
}

void BM_ReadLogFile(benchmark::State& state) {
  const std::int64_t lines = state.range(0);
  const std::string path = MakeLogFile(lines);
  auto viewer = std::make_unique<TrendViewer>();
  for (auto _ : state) {
    auto error = viewer->OpenFile(path, '.');
    if (error) state.SkipWithError(error->c_str());
    benchmark::DoNotOptimize(viewer->TrendCount());
  }
  std::filesystem::remove(path);
  state.SetItemsProcessed(state.iterations() * lines);
  state.counters["per_line"] = benchmark::Counter(
      static_cast<double>(lines), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_ExportTrend(benchmark::State& state) {
  const std::int64_t samples = state.range(0);
  PointList points;
  for (std::int64_t i = 0; i < samples; ++i) {
    const float t = 0.1f * static_cast<float>(i);
    points.PushNewest({t, 50.0f + static_cast<float>(i % 1000) * 0.01f, 60.0f, static_cast<float>(i % 100)});
  }
  const std::string path = TempPath("-trend.csv");
  DataLog log;
  for (auto _ : state) {
    auto error = log.ExportTrend(path, "bench", ControllerValues{}, points, '.');
    if (error) state.SkipWithError(error->c_str());
  }
  std::filesystem::remove(path);
  state.SetItemsProcessed(state.iterations() * samples);
  state.counters["per_line"] = benchmark::Counter(
      static_cast<double>(samples), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_ReadLogFile)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportTrend)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvane

BENCHMARK_MAIN();
