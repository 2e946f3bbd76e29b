// The bisection that skips samples right of the window draws exactly what
// the plain walk from the head draws.
#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <string>
#include <string_view>

#include "plot/ChartHistory.h"
#include "plot/Redraw.h"

namespace korvane {
namespace {

RedrawInput Input(const ChartHistory& h, std::int32_t scroll, std::string_view updates) {
  RedrawInput in;
  in.points = &h.Points();
  in.clock = h.ChartClock();
  in.updatesText = updates;
  in.updatePeriod = h.UpdatePeriod();
  in.scrollPosition = scroll;
  in.bottomMin = 0.0;
  in.bottomMax = 25.0;
  in.leftMinText = "0";
  in.leftMaxText = "100";
  return in;
}

void ExpectSameDrawing(const ChartHistory& h, std::int32_t scroll, const std::string& updates) {
  RedrawInput in = Input(h, scroll, updates);
  in.start = RedrawInput::Start::Head;
  const RedrawResult walked = ComputeRedraw(in);
  in.start = RedrawInput::Start::Bisect;
  const RedrawResult bisected = ComputeRedraw(in);
  ASSERT_EQ(walked, bisected) << "scroll " << scroll << " width " << updates << " clock " << in.clock;
}

// A history fed as the poll cycle feeds it: the drifting clock ticks, and
// each receive event stores a sample at the present clock, often several
// (a reply in pieces) at the same time.
ChartHistory RunningHistory(std::mt19937& rng, int ticks) {
  ChartHistory h;
  std::uniform_int_distribution<int> samplesPerTick(0, 3);
  std::uniform_real_distribution<float> value(-50.0f, 150.0f);
  for (int t = 0; t < ticks; ++t) {
    h.Tick();
    for (int k = samplesPerTick(rng); k > 0; --k) {
      h.InsertDatapoint(h.ChartClock(), value(rng), value(rng), value(rng));
    }
  }
  return h;
}

TEST(BisectionEquivalence, RandomRunsWithEqualTimesAndDriftingClock) {
  std::mt19937 rng(20240607);
  for (int run = 0; run < 16; ++run) {
    std::uniform_int_distribution<int> ticks(0, 8000);
    const ChartHistory h = RunningHistory(rng, ticks(rng));
    const std::int32_t minimum = ScrollMinimum(h.ChartClock());
    std::uniform_int_distribution<std::int32_t> scroll(minimum - 5, 5);
    std::uniform_int_distribution<int> width(-2, 2000);
    for (int i = 0; i < 20; ++i) ExpectSameDrawing(h, scroll(rng), std::to_string(width(rng)));
    ExpectSameDrawing(h, minimum, "400");
    ExpectSameDrawing(h, 0, "1");
  }
}

TEST(BisectionEquivalence, SamplesExactlyOnTheBounds) {
  ChartHistory h;
  for (int t = 0; t <= 1000; ++t) {
    h.InsertDatapoint(static_cast<float>(t), 0, 0, 0);
    h.InsertDatapoint(static_cast<float>(t), 1, 1, 1);
  }
  for (int i = 0; i < 10000; ++i) h.Tick();  // clock 999.90289, not a whole number
  for (std::int32_t scroll = -1000; scroll <= 0; scroll += 7) {
    for (const char* width : {"1", "2", "10", "400"}) ExpectSameDrawing(h, scroll, width);
  }
}

TEST(BisectionEquivalence, OutOfOrderTimesFallBackToTheWalk) {
  ChartHistory h;
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> time(0.0f, 500.0f);
  for (int i = 0; i < 2000; ++i) h.InsertDatapoint(time(rng), 1, 2, 3);
  h.InsertDatapoint(std::numeric_limits<float>::quiet_NaN(), 1, 2, 3);
  for (int i = 0; i < 5000; ++i) h.Tick();
  for (std::int32_t scroll = -500; scroll <= 0; scroll += 50) ExpectSameDrawing(h, scroll, "100");
}

TEST(BisectionEquivalence, ScrolledToTheOldestDataOfALongRun) {
  ChartHistory h;
  for (int i = 0; i < 200000; ++i) h.InsertDatapoint(static_cast<float>(i), 0, static_cast<float>(i), 0);
  for (int i = 0; i < 2000000; ++i) h.Tick();
  const std::int32_t minimum = ScrollMinimum(h.ChartClock());
  RedrawInput in = Input(h, minimum + 400, "400");
  const RedrawResult r = ComputeRedraw(in);
  ASSERT_FALSE(r.setpoint.empty());
  EXPECT_EQ(r.scrollPosition, minimum + 400);
  EXPECT_EQ(r.setpoint.front().y, 0.0f);  // the oldest sample
  ExpectSameDrawing(h, minimum + 400, "400");
  ExpectSameDrawing(h, minimum, "400");
}

}  // namespace
}  // namespace korvane
