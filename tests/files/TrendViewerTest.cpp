#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "files/DataLog.h"
#include "files/TrendViewer.h"
#include "support/TempDir.h"

namespace korvane {
namespace {

// A data log of `lines` data lines; line i holds i, i + 0.5, 2 and 3.
std::string LogText(int lines, const std::string& heading = "H") {
  std::string text = heading + "\r\nK=   1.000 Ki=   2.000 Kd=   3.000\r\nSecs, Setpoint, PV, Output\r\n";
  for (int i = 0; i < lines; ++i) text += std::to_string(i) + "," + std::to_string(i) + ".5,2,3\r\n";
  return text;
}

// Everything a viewer shows or keeps, to compare before and after.
std::string State(const TrendViewer& v) {
  std::string s = v.Heading() + '|' + v.KpText() + '|' + v.KiText() + '|' + v.KdText() + '|' +
                  std::to_string(v.TrendCount()) + '|' + std::to_string(v.TrendStart()) + '|';
  for (std::int32_t i = 0; i < kTrendTableRows; ++i) {
    s.append(reinterpret_cast<const char*>(&v.Row(i)), sizeof(TrendRow));
  }
  return s;
}

class TrendViewerTest : public ::testing::Test {
 protected:
  std::optional<std::string> Open(const std::string& bytes, const char* name = "log.txt") {
    dir.Write(name, bytes);
    return viewer.OpenFile(dir.File(name), '.');
  }
  test::TempDir dir;
  TrendViewer viewer;
};

struct Page {
  int lines;
  std::int32_t position;  // -1: the page drawn right after reading
  std::int32_t start;
  std::int32_t rows;
};

class TrendPaging : public TrendViewerTest, public ::testing::WithParamInterface<Page> {};

TEST_P(TrendPaging, ShowsTheRowsFromTrendStart) {
  const Page& p = GetParam();
  ASSERT_EQ(Open(LogText(p.lines)), std::nullopt);
  if (p.position >= 0) viewer.ScrollBar1Change(p.position);
  EXPECT_EQ(viewer.TrendStart(), p.start);
  const TrendDrawing d = viewer.DrawTrend();
  ASSERT_EQ(d.PV.size(), static_cast<std::size_t>(p.rows));
  if (p.rows == 0) {
    EXPECT_FALSE(d.BottomMin || d.BottomMax);
    return;
  }
  EXPECT_EQ(d.BottomMin, p.start);
  EXPECT_EQ(d.BottomMax, p.start + p.rows - 1);
  for (std::int32_t i = 0; i < p.rows; ++i) {
    const float time = static_cast<float>(p.start + i);
    EXPECT_EQ(d.Setpoint[static_cast<std::size_t>(i)], (std::array<float, 2>{time, time + 0.5f}));
    EXPECT_EQ(d.PV[static_cast<std::size_t>(i)], (std::array<float, 2>{time, 2.0f}));
    EXPECT_EQ(d.Output[static_cast<std::size_t>(i)], (std::array<float, 2>{time, 3.0f}));
  }
}

INSTANTIATE_TEST_SUITE_P(Pages, TrendPaging,
                         ::testing::Values(Page{250, -1, 0, 100}, Page{250, 200, 200, 50}, Page{250, 5000, 150, 100},
                                           Page{60, 61, 0, 60}, Page{60, 10000, 0, 60}, Page{60, 60, 60, 0},
                                           Page{12000, 9950, 9950, 50}, Page{0, 0, 0, 0}));

TEST_F(TrendViewerTest, AShorterSecondFileShowsFromItsFirstRow) {
  ASSERT_EQ(Open(LogText(12000)), std::nullopt);
  viewer.ScrollBar1Change(9000);
  ASSERT_EQ(Open(LogText(60, "second")), std::nullopt);
  EXPECT_EQ(viewer.Heading(), "second");
  EXPECT_EQ(viewer.TrendCount(), 60);
  EXPECT_EQ(viewer.TrendStart(), 0);
  EXPECT_EQ(viewer.DrawTrend().BottomMax, 59);
}

TEST_F(TrendViewerTest, AFailedReadLeavesEverythingAsItWas) {
  ASSERT_EQ(Open(LogText(250) + "7,8,9,10\r\n"), std::nullopt);
  viewer.ScrollBar1Change(200);
  const std::string before = State(viewer);
  DataLog exporter;
  PointList points;
  points.PushNewest({0.3f, 74.2f, 75.0f, 31.5f});
  ASSERT_EQ(exporter.ExportTrend(dir.File("trend.csv"), "", {}, points, '.'), std::nullopt);
  EXPECT_EQ(viewer.OpenFile(dir.File("trend.csv"), '.'), "'Time' is not a valid floating point value");
  EXPECT_EQ(viewer.OpenFile(dir.File("missing"), '.'), "File not found");
  EXPECT_EQ(Open("X\r\nK\r\nS\r\n1,2,3,4\r\n5,6,7\r\n", "bad.txt"), "'' is not a valid floating point value");
  EXPECT_EQ(State(viewer), before);
  // The values carried into the next file are still the last good file's.
  ASSERT_EQ(Open("X\r\nK\r\nS\r\n\r\n"), std::nullopt);
  EXPECT_EQ(viewer.Row(0).Output, 10.0f);
}

TEST_F(TrendViewerTest, RoundTripWithACommaAsSystemSeparator) {
  DataLog log;
  const ControllerValues values{.PV = -1.5f, .SP = 75.25f, .Out = 12345.678f, .Kp = 12.5f, .Ki = 0.25f, .Kd = 30.0f};
  ASSERT_EQ(log.OpenTarget(dir.File("log.txt"), "comma", values, ','), std::nullopt);
  log.ChkLogClick(true);
  ASSERT_EQ(log.Step("1", values, ','), std::nullopt);
  ASSERT_EQ(viewer.OpenFile(dir.File("log.txt"), ','), std::nullopt);
  EXPECT_EQ(viewer.KpText() + " " + viewer.KiText() + " " + viewer.KdText(), "12.500 0.250 30.000");
  ASSERT_EQ(viewer.TrendCount(), 1);
  EXPECT_EQ(viewer.Row(0).Time, 1.0f);
  EXPECT_EQ(viewer.Row(0).Setpoint, 75.25f);
  EXPECT_EQ(viewer.Row(0).PV, -1.5f);
  EXPECT_EQ(viewer.Row(0).Output, 12345.678f);
}

}  // namespace
}  // namespace korvane
