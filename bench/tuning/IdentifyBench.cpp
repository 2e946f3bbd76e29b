// Time of one loop identification over a long window of chart history
// (100,000 samples, a closed-loop step with noise), and of the step figures
// fed the same samples one at a time.

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "identify/FopdtFit.h"
#include "identify/StepFigures.h"
#include "rules/SimcTuning.h"

namespace {

std::vector<korvane::TuningSample> Record(std::size_t n) {
  const korvane::FopdtModel truth{3.0, 60.0, 3.0, 20.0, 0.0};
  const auto loop = korvane::PredictClosedLoop(truth, {11.3, 1.67, 0.0}, 400.0, 100.0, 120.0, 40.0, 600.0);
  std::vector<korvane::TuningSample> record;
  record.reserve(n);
  std::mt19937 random(1);
  std::normal_distribution<double> noise(0.0, 0.3);
  for (std::size_t i = 0; i < n; ++i) {
    const auto& s = loop[i * (loop.size() - 1) / (n - 1)];
    record.push_back({600.0 * static_cast<double>(i) / static_cast<double>(n - 1), s.SP, std::round(s.PV + noise(random)), s.Out});
  }
  return record;
}

void BM_IdentifyFopdt(benchmark::State& state) {
  const auto record = Record(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(korvane::IdentifyFopdt(record));
}
BENCHMARK(BM_IdentifyFopdt)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_StepFigures(benchmark::State& state) {
  const auto record = Record(100000);
  for (auto _ : state) {
    korvane::StepFigures figures(0.0, 100.0, 120.0);
    for (const auto& s : record) figures.Add(s);
    benchmark::DoNotOptimize(figures.Figures());
  }
}
BENCHMARK(BM_StepFigures)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
