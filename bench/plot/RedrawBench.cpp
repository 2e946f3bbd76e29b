// Cost of one chart redraw computation and memory held per stored sample.
//
// Histories hold one sample per second of chart clock (a 1 s poll), so a
// 400-second window draws about 400 samples whatever the history's length.
// Compare:
//   BM_RedrawScroll0/1000 vs BM_RedrawScroll0/2000000     (should be ~1)
//   BM_RedrawOldest*/2000000 vs BM_RedrawScroll0/2000000  (within 2x)
//   BM_RedrawOldestWalkFromHead: the same redraw without the bisection.
//   BM_MemoryPerSample: heap bytes per stored sample (payload 16).
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <map>
#include <memory>

#include "plot/ChartHistory.h"
#include "plot/Redraw.h"

namespace korvane {
namespace {

const ChartHistory& History(std::size_t samples) {
  static std::map<std::size_t, std::unique_ptr<ChartHistory>> cache;
  auto& slot = cache[samples];
  if (!slot) {
    slot = std::make_unique<ChartHistory>();
    for (std::size_t i = 0; i < samples; ++i) {
      const float t = static_cast<float>(i);
      slot->InsertDatapoint(t, 50.0f + 0.001f * t, 60.0f, 30.0f);
    }
  }
  return *slot;
}

RedrawResult Redraw(const ChartHistory& h, float clock, std::int32_t scroll, RedrawInput::Start start) {
  RedrawInput in;
  in.points = &h.Points();
  in.clock = clock;
  in.leftMinText = "0";
  in.leftMaxText = "100";
  in.updatesText = "400";
  in.updatePeriod = 1;
  in.scrollPosition = scroll;
  in.bottomMin = -400.0;
  in.bottomMax = 0.0;
  in.start = start;
  return ComputeRedraw(in);
}

void RunRedraw(benchmark::State& state, bool oldest, bool windowFull, RedrawInput::Start start) {
  const auto samples = static_cast<std::size_t>(state.range(0));
  const ChartHistory& h = History(samples);
  const float clock = static_cast<float>(samples);
  const std::int32_t minimum = ScrollMinimum(clock);
  const std::int32_t scroll = !oldest ? 0 : (windowFull ? minimum + 400 : minimum);
  std::size_t drawn = 0;
  for (auto _ : state) {
    RedrawResult r = Redraw(h, clock, scroll, start);
    drawn = r.setpoint.size();
    benchmark::DoNotOptimize(r);
  }
  state.counters["drawn"] = static_cast<double>(drawn);
}

// Window ending at the present moment.
void BM_RedrawScroll0(benchmark::State& state) { RunRedraw(state, false, false, RedrawInput::Start::Bisect); }
// Window [oldest, oldest + 400 s]: full of the oldest samples.
void BM_RedrawOldestFull(benchmark::State& state) { RunRedraw(state, true, true, RedrawInput::Start::Bisect); }
// Scroll bar at its minimum: the window ends at the oldest sample.
void BM_RedrawOldestEdge(benchmark::State& state) { RunRedraw(state, true, false, RedrawInput::Start::Bisect); }
void BM_RedrawOldestWalkFromHead(benchmark::State& state) { RunRedraw(state, true, true, RedrawInput::Start::Head); }

BENCHMARK(BM_RedrawScroll0)->Arg(1000)->Arg(2000000);
BENCHMARK(BM_RedrawOldestFull)->Arg(2000000);
BENCHMARK(BM_RedrawOldestEdge)->Arg(2000000);
BENCHMARK(BM_RedrawOldestWalkFromHead)->Arg(2000000)->Unit(benchmark::kMillisecond);

void BM_MemoryPerSample(benchmark::State& state) {
  const auto samples = static_cast<std::size_t>(state.range(0));
  double heapPerSample = 0.0;
  double heldPerSample = 0.0;
  for (auto _ : state) {
    const std::size_t before = mallinfo2().uordblks + mallinfo2().hblkhd;
    ChartHistory h;
    for (std::size_t i = 0; i < samples; ++i) h.InsertDatapoint(static_cast<float>(i), 1.0f, 2.0f, 3.0f);
    const std::size_t after = mallinfo2().uordblks + mallinfo2().hblkhd;
    heapPerSample = static_cast<double>(after - before) / static_cast<double>(samples);
    heldPerSample = static_cast<double>(h.Points().BytesHeld()) / static_cast<double>(samples);
    benchmark::DoNotOptimize(h);
  }
  state.counters["heap_bytes_per_sample"] = heapPerSample;
  state.counters["held_bytes_per_sample"] = heldPerSample;
}
BENCHMARK(BM_MemoryPerSample)->Arg(1000)->Arg(2000000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvane

BENCHMARK_MAIN();
