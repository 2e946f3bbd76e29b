// Cost of thinning a full flood window to the plot's pixel columns.
//
// A 400 s window filled at 20 samples a second holds 8000 samples; the
// plot is 577 device pixels wide (the main window at its designed size).
// Compare:
//   BM_FloodRedraw vs BM_FloodRedrawDecimated: the redraw computation alone
//     and with the thinning of its three series (points of all three
//     counted), for a smooth wave (/0) and for values held between polls (/1).
//   BM_DecimateSeries/8000 vs /80000: the thinning is linear in the samples,
//     and what it hands on to the chart is bounded by the columns.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "plot/ChartHistory.h"
#include "plot/Decimate.h"
#include "plot/Redraw.h"

namespace korvane {
namespace {

constexpr PixelColumns kPlot{-400.0, 0.0, 61.0, 577.0, 1.0};

// Arg 0: every sample moves (a smooth wave). Arg 1: as under a real flood,
// the values change once a second (one poll) and the 19 pieces between
// repeat them.
ChartHistory* MakeFlood(bool perPoll) {
  auto* h = new ChartHistory;
  float pv = 0.0f, setpoint = 0.0f, output = 0.0f;
  for (int tick = 0; tick < 4100; ++tick) {
    h->Tick();
    for (int piece = 0; piece < 2; ++piece) {
      const float t = h->ChartClock();
      if (!perPoll || tick % 10 == 0) {
        pv = 50.0f + 20.0f * std::sin(t / 7.0f) + float(piece + tick % 7);
        setpoint = tick / 1000 % 2 ? 70.0f : 40.0f;
        output = 50.0f + 40.0f * std::cos(t / 11.0f);
      }
      h->InsertDatapoint(t, pv, setpoint, output);
    }
  }
  return h;
}

const ChartHistory& Flood(std::int64_t kind) {
  static const ChartHistory* smooth = MakeFlood(false);
  static const ChartHistory* perPoll = MakeFlood(true);
  return kind == 0 ? *smooth : *perPoll;
}

RedrawResult Redraw(std::int64_t kind) {
  const ChartHistory& h = Flood(kind);
  RedrawInput in;
  in.points = &h.Points();
  in.clock = h.ChartClock();
  in.leftMinText = "0";
  in.leftMaxText = "100";
  in.updatesText = "400";
  in.bottomMin = -400.0;
  return ComputeRedraw(in);
}

void BM_FloodRedraw(benchmark::State& state) {
  std::size_t drawn = 0;
  for (auto _ : state) {
    RedrawResult r = Redraw(state.range(0));
    drawn = r.setpoint.size() + r.pv.size() + r.output.size();
    benchmark::DoNotOptimize(r);
  }
  state.counters["points"] = static_cast<double>(drawn);
}
BENCHMARK(BM_FloodRedraw)->Arg(0)->Arg(1);

void BM_FloodRedrawDecimated(benchmark::State& state) {
  std::size_t drawn = 0;
  for (auto _ : state) {
    RedrawResult r = Redraw(state.range(0));
    DecimateRedraw(r, kPlot);
    drawn = r.setpoint.size() + r.pv.size() + r.output.size();
    benchmark::DoNotOptimize(r);
  }
  state.counters["points"] = static_cast<double>(drawn);
}
BENCHMARK(BM_FloodRedrawDecimated)->Arg(0)->Arg(1);

void BM_DecimateSeries(benchmark::State& state) {
  const auto n = static_cast<int>(state.range(0));
  std::vector<PlotPoint> series;
  for (int i = 0; i < n; ++i) {
    const float x = -400.0f + 400.0f * float(i) / float(n);
    series.push_back(PlotPoint{x, std::sin(x) * 30.0f + float(i % 13)});
  }
  std::size_t kept = 0;
  for (auto _ : state) {
    std::vector<PlotPoint> out = DecimateForColumns(series, kPlot);
    kept = out.size();
    benchmark::DoNotOptimize(out);
  }
  state.counters["kept"] = static_cast<double>(kept);
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_DecimateSeries)->Arg(8000)->Arg(80000);

}  // namespace
}  // namespace korvane

BENCHMARK_MAIN();
