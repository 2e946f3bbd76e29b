#include <gtest/gtest.h>

#include <string>

#include "files/LogFormat.h"

namespace korvane {
namespace {

const ControllerValues kExample{.PV = 74.2f, .SP = 75.0f, .Out = 31.5f, .Kp = 12.5f, .Ki = 0.25f, .Kd = 30.0f};

TEST(LogFormat, DataLogHeading) {
  EXPECT_EQ(LogHeading("Oven run 3", kExample, '.'),
            "Oven run 3\r\nK=  12.500 Ki=   0.250 Kd=  30.000\r\nSecs, Setpoint, PV, Output\r\n");
  EXPECT_EQ(LogHeading("", ControllerValues{}, '.'),
            "\r\nK=   0.000 Ki=   0.000 Kd=   0.000\r\nSecs, Setpoint, PV, Output\r\n");
}

TEST(LogFormat, DataLogLines) {
  struct Case {
    std::int32_t count;
    ControllerValues values;
    const char* line;
  } cases[] = {
      {10, kExample, "10,  75.000,  74.200,  31.500\r\n"},
      {1, {.PV = 12345.678f, .SP = -1.5f, .Out = 0.0f}, "1,  -1.500,12345.678,   0.000\r\n"},
      {-7, {}, "-7,   0.000,   0.000,   0.000\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(LogDataLine(c.count, c.values, '.'), c.line);
}

TEST(LogFormat, TrendHeadingAndLine) {
  EXPECT_EQ(TrendHeading("", kExample, '.'),
            "\r\nKp, Ki, Kd\r\n  12.500,    0.250,   30.000\r\nTime, Setpoint, PV, Output\r\n");
  char buf[kMaxTrendLineChars];
  const ChartPoint point{0.3f, 74.2f, 75.0f, 31.5f};
  EXPECT_EQ(std::string(buf, AppendTrendLine(buf, point, '.')), "   0.300,   75.000,   74.200,   31.500\r\n");
}

TEST(LogFormat, SystemCommaIsWrittenAsPoint) {
  EXPECT_EQ(LogDataLine(3, kExample, ','), "3,  75.000,  74.200,  31.500\r\n");
  EXPECT_EQ(LogDataLine(3, kExample, '\''), "3,  75'000,  74'200,  31'500\r\n");
}

}  // namespace
}  // namespace korvane
