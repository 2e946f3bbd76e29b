// The data files byte for byte on every platform: a log written by DataLog
// holds exactly its CR LF line ends (no text-mode translation), and the
// reader sees CR, LF and Ctrl-Z as the log format has them, not as a C
// library's text mode would.
#include <gtest/gtest.h>

#include <string>

#include "files/DataLog.h"
#include "files/LogReader.h"
#include "support/TempDir.h"

namespace korvane {
namespace {

const ControllerValues kValues{.PV = 74.2f, .SP = 75.0f, .Out = 31.5f, .Kp = 12.5f, .Ki = 0.25f, .Kd = 30.0f};

TEST(FileBytes, ALogIsWrittenAndReadBackByteForByte) {
  test::TempDir dir;
  const std::string path = dir.File("log.txt");
  DataLog log;
  ASSERT_EQ(log.OpenTarget(path, "run", kValues, '.'), std::nullopt);
  log.ChkLogClick(true);
  for (int tick = 0; tick < 2; ++tick) ASSERT_EQ(log.Step("1", kValues, '.'), std::nullopt);
  EXPECT_EQ(dir.Read("log.txt"),
            "run\r\nK=  12.500 Ki=   0.250 Kd=  30.000\r\nSecs, Setpoint, PV, Output\r\n"
            "1,  75.000,  74.200,  31.500\r\n2,  75.000,  74.200,  31.500\r\n");

  LogFileContents contents;
  ASSERT_EQ(ReadLogFile(path, '.', TrendRow{}, contents), std::nullopt);
  EXPECT_EQ(contents.Heading, "run");
  ASSERT_EQ(contents.Rows.size(), 2u);
  EXPECT_FLOAT_EQ(contents.Rows[1].Time, 2.0f);
  EXPECT_FLOAT_EQ(contents.Rows[1].PV, 74.2f);
}

TEST(FileBytes, LoneLineFeedsAndCtrlZReachTheReaderAsWritten) {
  test::TempDir dir;
  // A lone LF is no line end; Ctrl-Z ends the file.
  dir.Write("log.txt", "a\nb\r\nK=   1.000 Ki=   2.000 Kd=   3.000\r\nSecs\r\n1,2,3,4\r\n\x1a" "5,6,7,8\r\n");
  LogFileContents contents;
  ASSERT_EQ(ReadLogFile(dir.File("log.txt"), '.', TrendRow{}, contents), std::nullopt);
  EXPECT_EQ(contents.Heading, "a\nb");
  EXPECT_EQ(contents.Factors.Kd, "3.000");
  ASSERT_EQ(contents.Rows.size(), 1u);
  EXPECT_FLOAT_EQ(contents.Rows[0].Output, 4.0f);
}

}  // namespace
}  // namespace korvane
