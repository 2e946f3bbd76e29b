// Thinning a drawn series to its pixel columns keeps the picture: the same
// pixels are lit as by the whole series, repeated points and the inner
// points of horizontal runs go (also from a series too short to thin), and
// nothing else is thinned while the series has no more than four points per
// column.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "plot/Decimate.h"

namespace korvane {
namespace {

// 400 s of axis on 577 device pixels starting at pixel 61.3.
constexpr PixelColumns kColumns{-400.0, 0.0, 61.3, 577.0, 1.0};

// The pixels a polyline lights: every segment sampled at 1/8 pixel steps.
std::set<std::pair<long, long>> Pixels(const std::vector<PlotPoint>& line) {
  std::set<std::pair<long, long>> lit;
  auto px = [](const PlotPoint& p) {
    return std::pair<double, double>{
        kColumns.left + (p.x - kColumns.axisMin) * kColumns.width / 400.0, p.y * 3.0};
  };
  for (std::size_t i = 0; i + 1 < line.size(); ++i) {
    const auto [x0, y0] = px(line[i]);
    const auto [x1, y1] = px(line[i + 1]);
    const int steps = 1 + static_cast<int>(8.0 * std::max(std::fabs(x1 - x0), std::fabs(y1 - y0)));
    for (int s = 0; s <= steps; ++s) {
      const double f = static_cast<double>(s) / steps;
      lit.emplace(static_cast<long>(std::floor(x0 + f * (x1 - x0))),
                  static_cast<long>(std::floor(y0 + f * (y1 - y0))));
    }
  }
  return lit;
}

// A full flood window: 20 samples a second for 400 s, a noisy wave, a
// square wave with spikes, and stretches where several samples share a time.
std::vector<PlotPoint> Flood(int kind) {
  std::mt19937 random(7u + static_cast<unsigned>(kind));
  std::normal_distribution<float> noise(0.0f, 2.0f);
  std::vector<PlotPoint> points;
  for (int i = 0; i <= 8020; ++i) {
    const float x = -401.0f + static_cast<float>(i / 2 * 2) * 0.05f;  // pairs share x
    float y = 50.0f + 30.0f * std::sin(x / 20.0f) + noise(random);
    if (kind == 1) y = ((i / 700) % 2 ? 80.0f : 20.0f) + (i % 997 == 0 ? 60.0f : 0.0f);
    points.push_back(PlotPoint{x, y});
  }
  return points;
}

class DecimateFlood : public ::testing::TestWithParam<int> {};

TEST_P(DecimateFlood, LightsTheSamePixelsWithAtMostFourPointsPerColumn) {
  const std::vector<PlotPoint> all = Flood(GetParam());
  const std::vector<PlotPoint> kept = DecimateForColumns(all, kColumns);
  EXPECT_LE(kept.size(), 4u * (577u + 3u));
  EXPECT_LT(kept.size(), all.size() / 3);
  EXPECT_EQ(Pixels(kept), Pixels(all));
  EXPECT_EQ(kept.front(), all.front());
  EXPECT_EQ(kept.back(), all.back());
  // A subsequence of the series, so x still ascends.
  auto at = all.begin();
  for (const PlotPoint& p : kept) {
    at = std::find(at, all.end(), p);
    ASSERT_NE(at, all.end());
  }
}

TEST_P(DecimateFlood, KeepsNoRepeatedPointAndNoInnerPointOfAHorizontalRun) {
  const std::vector<PlotPoint> kept = DecimateForColumns(Flood(GetParam()), kColumns);
  for (std::size_t i = 1; i < kept.size(); ++i) {
    EXPECT_NE(kept[i], kept[i - 1]) << i;
    const bool run = i >= 2 && kept[i].y == kept[i - 1].y && kept[i - 1].y == kept[i - 2].y;
    EXPECT_FALSE(run) << i;
  }
  // The square wave: a few points per step and per spike.
  if (GetParam() == 1) {
    EXPECT_LT(kept.size(), 4u * (12u + 9u));
  }
}

INSTANTIATE_TEST_SUITE_P(Waves, DecimateFlood, ::testing::Values(0, 1));

TEST(Decimate, KeepsEverythingWhileColumnsOutnumberAQuarterOfThePoints) {
  std::vector<PlotPoint> points;
  for (int i = 0; i < 4 * 577; ++i) points.push_back(PlotPoint{-0.1f * float(i), float(i % 7)});
  std::reverse(points.begin(), points.end());
  EXPECT_EQ(DecimateForColumns(points, kColumns), points);
  EXPECT_EQ(DecimateForColumns(points, PixelColumns{0.0, 0.0, 0.0, 500.0, 1.0}), points);
  // A steady setpoint, a step, a repeated sample: only the ends of each run.
  const std::vector<PlotPoint> steady{{-60, 40}, {-50, 40}, {-40, 40}, {-30, 40}, {-30, 40},
                                      {-30, 70}, {-20, 70}, {-10, 70}, {0, 70}};
  const std::vector<PlotPoint> ends{{-60, 40}, {-30, 40}, {-30, 70}, {0, 70}};
  EXPECT_EQ(DecimateForColumns(steady, kColumns), ends);
}

TEST(Decimate, NanNeverCountsAsAnExtremeAndRedrawThinsAllThreeSeries) {
  RedrawResult r;
  for (int i = 0; i < 8000; ++i) {
    const float x = -400.0f + 0.05f * float(i);
    r.setpoint.push_back(PlotPoint{x, i % 3 == 1 ? NAN : float(i % 5)});
    r.pv.push_back(PlotPoint{x, 1.0f});
    r.output.push_back(PlotPoint{x, float(i)});
  }
  DecimateRedraw(r, kColumns);
  for (const auto* series : {&r.setpoint, &r.pv, &r.output}) EXPECT_LE(series->size(), 4u * 580u);
  float low = 10.0f, high = -10.0f;
  for (const PlotPoint& p : r.setpoint) {
    if (!std::isnan(p.y)) low = std::min(low, p.y), high = std::max(high, p.y);
  }
  EXPECT_EQ(low, 0.0f);
  EXPECT_EQ(high, 4.0f);
  EXPECT_EQ(r.output.back().y, 7999.0f);
}

}  // namespace
}  // namespace korvane
