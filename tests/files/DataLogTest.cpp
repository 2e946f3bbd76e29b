#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "files/DataLog.h"
#include "support/TempDir.h"

namespace korvane {
namespace {

const ControllerValues kValues{.PV = 74.2f, .SP = 75.0f, .Out = 31.5f, .Kp = 12.5f, .Ki = 0.25f, .Kd = 30.0f};
const std::string kHeading = "run\r\nK=  12.500 Ki=   0.250 Kd=  30.000\r\nSecs, Setpoint, PV, Output\r\n";

std::string Lines(const std::vector<int>& counts) {
  std::string text;
  for (int n : counts) text += std::to_string(n) + ",  75.000,  74.200,  31.500\r\n";
  return text;
}

const std::string kTrendHeading = "\r\nKp, Ki, Kd\r\n  12.500,    0.250,   30.000\r\nTime, Setpoint, PV, Output\r\n";

// The trend line of sample i as the tests store it, written by printf.
std::string TrendLine(int i) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%8.3f, %8.3f, %8.3f, %8.3f\r\n", static_cast<double>(0.1f * static_cast<float>(i)),
                60.0, 50.0, static_cast<double>(i));
  return buf;
}

// Lowers the file size limit for one scope, so that writes run out of room
// part-way as on a full disk (EFBIG, which reads as "Disk full").
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    old_signal_ = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &old_);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, old_signal_);
  }

 private:
  rlimit old_{};
  void (*old_signal_)(int);
};

class DataLogTest : public ::testing::Test {
 protected:
  void Open() { ASSERT_EQ(log.OpenTarget(path, "run", kValues, '.'), std::nullopt); }
  std::optional<std::string> Tick(const char* period) { return log.Step(period, kValues, '.'); }

  test::TempDir dir;
  std::string path = dir.File("log.txt");
  DataLog log;
};

TEST_F(DataLogTest, SwitchNeedsATarget) {
  EXPECT_FALSE(log.ChkLogClick(true));
  EXPECT_FALSE(log.LogEnabled);
  Open();
  EXPECT_FALSE(log.LogEnabled);  // choosing a target does not switch recording on
  EXPECT_TRUE(log.ChkLogClick(true));
  EXPECT_TRUE(log.LogEnabled);
  EXPECT_TRUE(log.ChkLogClick(false));
  EXPECT_FALSE(log.LogEnabled);
}

// A script of ticks: the period text, or nullptr for a tick with recording
// off (switched off before it, on again before the next period text).
struct Script {
  const char* name;
  std::vector<const char*> ticks;
  std::vector<int> counts;  // first column of the lines written
};

class LogStepScript : public DataLogTest, public ::testing::WithParamInterface<Script> {};

TEST_P(LogStepScript, WritesTheLinesDue) {
  Open();
  for (const char* period : GetParam().ticks) {
    log.ChkLogClick(period != nullptr);
    ASSERT_EQ(Tick(period != nullptr ? period : "1"), std::nullopt);
  }
  EXPECT_EQ(dir.Read("log.txt"), kHeading + Lines(GetParam().counts));
}

INSTANTIATE_TEST_SUITE_P(
    Ticks, LogStepScript,
    ::testing::Values(Script{"EveryTick", {"1", "1", "1"}, {1, 2, 3}},
                      Script{"EveryThird", {"3", "3", "3", "3", "3", "3", "3", "3", "3"}, {3, 6, 9}},
                      Script{"ZeroAndTextWriteEveryTick", {"0", "abc", "-2", " 1"}, {1, 2, 3, 4}},
                      // LogTick is kept while off, the count starts again from 1.
                      Script{"OffAndOnAgain", {"3", "3", nullptr, nullptr, "3", "3", "3", "3"}, {1, 4}},
                      Script{"PeriodChangedMidway", {"5", "5", "5", "2", "2", "2"}, {4, 6}}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(DataLogTest, RemovedFileFailsUntilANewTargetIsOpened) {
  Open();
  log.ChkLogClick(true);
  ASSERT_EQ(Tick("1"), std::nullopt);
  std::filesystem::remove(path);
  EXPECT_EQ(Tick("1"), "File not found");
  EXPECT_FALSE(std::filesystem::exists(path));  // an append never creates the file
  EXPECT_EQ(log.LogTick, 1);                     // not reset: the next tick tries again
  EXPECT_EQ(log.LogPollCount, 2);
  Open();
  ASSERT_EQ(Tick("1"), std::nullopt);
  EXPECT_EQ(dir.Read("log.txt"), kHeading + Lines({3}));
}

TEST_F(DataLogTest, AppendFailures) {
  std::vector<std::pair<std::string, std::string>> targets = {{dir.Path(), "File access denied"},
                                                               {dir.File("no/such/file"), "File not found"}};
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);  // must not wait for a reader
  targets.emplace_back(dir.File("fifo"), "File access denied");
  if (access("/dev/full", W_OK) == 0) targets.emplace_back("/dev/full", "Disk full");
  if (geteuid() != 0) {  // root writes to a read-only file anyway
    dir.Write("ro.txt", "");
    std::filesystem::permissions(dir.File("ro.txt"), std::filesystem::perms::owner_read);
    targets.emplace_back(dir.File("ro.txt"), "File access denied");
  }
  for (const auto& [target, message] : targets) {
    log.LogFileName = target;
    log.LogTick = 0;
    log.ChkLogClick(true);
    EXPECT_EQ(Tick("1"), message) << target;
    EXPECT_EQ(log.LogTick, 1) << target;
  }
}

TEST_F(DataLogTest, AFullDiskLeavesNoPartOfALine) {
  Open();
  log.ChkLogClick(true);
  ASSERT_EQ(Tick("1"), std::nullopt);
  const std::string before = dir.Read("log.txt");
  {
    FileSizeLimit limit(before.size() + 10);
    EXPECT_EQ(Tick("1"), "Disk full");
  }
  EXPECT_EQ(dir.Read("log.txt"), before);
  ASSERT_EQ(Tick("1"), std::nullopt);
  EXPECT_EQ(dir.Read("log.txt"), before + Lines({3}));
}

TEST_F(DataLogTest, OpenTargetEmptiesTheFileAndNamesItEvenOnFailure) {
  dir.Write("log.txt", "old contents\r\n");
  Open();
  EXPECT_EQ(dir.Read("log.txt"), kHeading);
  EXPECT_EQ(log.OpenTarget(dir.Path(), "", kValues, '.'), "File access denied");
  EXPECT_EQ(log.LogFileName, dir.Path());
}

class ExportTest : public DataLogTest, public ::testing::WithParamInterface<int> {};

TEST_P(ExportTest, WritesEverySampleOldestFirst) {
  PointList points;
  std::string expected = kTrendHeading;
  for (int i = 0; i < GetParam(); ++i) {
    points.PushNewest({0.1f * static_cast<float>(i), 50.0f, 60.0f, static_cast<float>(i)});
    expected += TrendLine(i);
  }
  ASSERT_EQ(log.ExportTrend(path, "", kValues, points, '.'), std::nullopt);
  EXPECT_EQ(dir.Read("log.txt"), expected);
  EXPECT_EQ(log.LogFileName, path);
  EXPECT_TRUE(log.ChkLogClick(true));  // the exported file is the log target now
  ASSERT_EQ(Tick("1"), std::nullopt);
  EXPECT_EQ(dir.Read("log.txt"), expected + Lines({1}));
}

INSTANTIATE_TEST_SUITE_P(Samples, ExportTest, ::testing::Values(0, 1, 3, 70000));

TEST_F(DataLogTest, ExportOnAFullDiskEndsWithAWholeLine) {
  PointList points;
  for (int i = 0; i < 100000; ++i) points.PushNewest({static_cast<float>(i % 1000), 1.0f, 2.0f, 3.0f});
  {
    FileSizeLimit limit(1500000);
    EXPECT_EQ(log.ExportTrend(path, "", kValues, points, '.'), "Disk full");
  }
  const std::string text = dir.Read("log.txt");
  EXPECT_GT(text.size(), 1000000u);
  EXPECT_LE(text.size(), 1500000u);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  EXPECT_EQ((text.size() - kTrendHeading.size()) % 40, 0u);  // every line 40 bytes
}

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

TEST(ControllerLogPath, TheFileNameGainsTheControllersName) {
  const struct {
    const char* path;
    const char* name;
    const char* expected;
  } rows[] = {
      {"/logs/run.csv", "Zone 3", "/logs/run - Zone 3.csv"},
      {"/logs/run", "Zone 3", "/logs/run - Zone 3"},
      {"/logs.old/run", "Zone 3", "/logs.old/run - Zone 3"},
      {"/logs/.hidden", "Zone 3", "/logs/.hidden - Zone 3"},
      {"C:\\logs\\run.csv", "Zone 3", "C:\\logs\\run - Zone 3.csv"},
      {"/logs/run.csv", "Oven 1/2: top", "/logs/run - Oven 1_2_ top.csv"},
  };
  for (const auto& row : rows) EXPECT_EQ(ControllerLogPath(row.path, row.name), row.expected) << row.path;
}

}  // namespace
}  // namespace korvane
