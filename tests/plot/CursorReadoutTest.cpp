// The cursors' read-outs are stored samples: the one nearest the cursor's
// time, the newest of equal times, found by bisection in an ordered history
// and by a walk otherwise; differences and the read-out text.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "plot/ChartHistory.h"
#include "plot/CursorReadout.h"

namespace korvane {
namespace {

// A flood: two pieces per clock tick share a Time, each with its own values.
ChartHistory Flood(int ticks) {
  ChartHistory h;
  for (int i = 0; i < ticks; ++i) {
    h.Tick();
    for (int piece = 0; piece < 2; ++piece) {
      h.InsertDatapoint(h.ChartClock(), float(i) + 0.5f * float(piece), float(100 - i), float(piece));
    }
  }
  return h;
}

TEST(CursorReadout, ReadsTheStoredSampleAtEveryCursorTime) {
  const ChartHistory h = Flood(4000);
  std::vector<ChartPoint> stored;
  h.ForEachOldestFirst([&](const ChartPoint& p) { stored.push_back(p); });
  for (std::size_t i = 1; i < stored.size(); i += 2) {  // the newer of each pair
    const ChartPoint& p = stored[i];
    for (float t : {p.Time, p.Time + 0.02f, p.Time - 0.02f}) {
      const auto read = NearestSample(h.Points(), t);
      ASSERT_TRUE(read);
      EXPECT_EQ(read->Time, p.Time);
      EXPECT_EQ(read->PV, p.PV);
      EXPECT_EQ(read->Setpoint, p.Setpoint);
      EXPECT_EQ(read->Output, p.Output);
      EXPECT_EQ(NearestSample(stored, t)->PV, p.PV);
    }
  }
}

TEST(CursorReadout, OutsideTheRunReadsTheOldestOrNewestAndNothingWhenEmpty) {
  const ChartHistory h = Flood(10);
  EXPECT_EQ(NearestSample(h.Points(), -50.0f)->PV, 0.5f);
  EXPECT_EQ(NearestSample(h.Points(), 1e6f)->PV, 9.5f);
  EXPECT_FALSE(NearestSample(h.Points(), NAN));
  EXPECT_FALSE(NearestSample(ChartHistory{}.Points(), 1.0f));
  EXPECT_FALSE(NearestSample(std::vector<ChartPoint>{}, 1.0f));
}

TEST(CursorReadout, UnorderedHistoryIsWalkedWhole) {
  ChartHistory h;
  for (float t : {5.0f, 1.0f, 9.0f, 3.0f}) h.InsertDatapoint(t, t * 10, 0, 0);
  ASSERT_FALSE(h.Points().TimesNeverRise());
  EXPECT_EQ(NearestSample(h.Points(), 2.2f)->PV, 30.0f);
  EXPECT_EQ(NearestSample(h.Points(), 8.0f)->PV, 90.0f);
}

TEST(CursorReadout, DifferenceAndTextNeedBothCursors) {
  CursorReadout r{ChartPoint{10.0f, 50.0f, 60.0f, 25.5f}, std::nullopt};
  EXPECT_FALSE(r.Difference());
  EXPECT_EQ(r.Text(','), "C1  t   10,000  PV   50,000  SP   60,000  Out   25,500\n"
                         "C2  no sample\n\xCE\x94   no sample");
  r.second = ChartPoint{12.5f, 47.0f, 65.0f, 30.0f};  // the setpoint was raised in between
  const ChartPoint d = *r.Difference();
  EXPECT_EQ((std::vector<float>{d.Time, d.PV, d.Setpoint, d.Output}),
            (std::vector<float>{2.5f, -3.0f, 5.0f, 4.5f}));
}

}  // namespace
}  // namespace korvane
