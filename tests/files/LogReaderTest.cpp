#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "files/LineSource.h"
#include "files/LogReader.h"
#include "support/TempDir.h"

namespace korvane {
namespace {

bool operator==(const TrendRow& a, const TrendRow& b) {
  return a.Time == b.Time && a.Setpoint == b.Setpoint && a.PV == b.PV && a.Output == b.Output;
}

TEST(SplitFactors, ByCharacterPositions) {
  struct Case {
    const char* line;
    FactorTexts texts;
  } cases[] = {
      {"K=  12.500 Ki=   0.250 Kd=  30.000", {"12.500", "0.250", "30.000"}},
      {"K=12345.678 Ki=   0.250 Kd=  30.000", {"2345.678", "0.250", "30.000"}},  // from the 4th character
      {"Kp, Ki, Kd", {"", "", ""}},
      {"", {"", "", ""}},
      {"abcdefghijklmnopqrstuvwxyz", {"", "", "hijklmnopqrstuvwxy"}},
      {"K= \t1\x01 Ki=2 Kd=3\x1f", {"1", "2", "3"}},
  };
  for (const Case& c : cases) {
    const FactorTexts texts = SplitFactors(c.line);
    EXPECT_EQ(texts.Kp, c.texts.Kp) << c.line;
    EXPECT_EQ(texts.Ki, c.texts.Ki) << c.line;
    EXPECT_EQ(texts.Kd, c.texts.Kd) << c.line;
  }
}

TEST(ExtractVals, FieldsAndMessages) {
  const TrendRow before{9, 8, 7, 6};
  struct Case {
    std::string line;
    TrendRow row;
    std::optional<std::string> message;
    char separator = '.';
  } cases[] = {
      {"5,75,74.2,31.5", {5, 75, 74.2f, 31.5f}, std::nullopt},
      {"5,  75.000,  74.200,  31.500", {5, 75, 74.2f, 31.5f}, std::nullopt},
      {"no comma keeps the values", before, std::nullopt},
      {"", before, std::nullopt},
      {"1,2,3,4" + std::string(35, ' ') + "x", {1, 2, 3, 4}, std::nullopt},  // 40 characters after a comma
      {"1,2.5,3,4", {1, 2.5f, 3, 4}, std::nullopt, ','},                    // a system comma reads "."
      {"5,75,74.2", {5, 75, 7, 6}, "'' is not a valid floating point value"},
      {"Time, Setpoint, PV, Output", before, "'Time' is not a valid floating point value"},
      {"1,2,3,4,5", {1, 2, 3, 6}, "'4,5' is not a valid floating point value"},
  };
  for (const Case& c : cases) {
    TrendRow row = before;
    EXPECT_EQ(ExtractVals(c.line, c.separator, row), c.message) << c.line;
    EXPECT_TRUE(row == c.row) << c.line;
  }
}

class ReadLogFileTest : public ::testing::Test {
 protected:
  std::optional<std::string> Read(const std::string& bytes) {
    dir.Write("log.txt", bytes);
    return ReadLogFile(dir.File("log.txt"), '.', TrendRow{}, contents);
  }
  test::TempDir dir;
  LogFileContents contents;
};

TEST_F(ReadLogFileTest, LineEnds) {
  const std::string head = "Heading\rK=   1.000 Ki=   2.000 Kd=   3.000\rSecs, Setpoint, PV, Output\r";
  struct Case {
    const char* name;
    std::string bytes;
    std::string heading;
    std::size_t rows;
  } cases[] = {
      {"CrLf", "Heading\r\nK=   1.000 Ki=   2.000 Kd=   3.000\r\nSecs\r\n1,2,3,4\r\n5,6,7,8\r\n", "Heading", 2},
      {"CrOnly", head + "1,2,3,4\r5,6,7,8", "Heading", 2},
      {"EmptyLineRepeats", head + "1,2,3,4\r\n\r\n", "Heading", 2},
      {"CtrlZEndsTheFile", head + "1,2,3,4\r\n\x1a" "5,6,7,8\r\n", "Heading", 1},
      {"CtrlZEndsALine", head + "1,2,3,4\x1a" "9\r\n5,6,7,8", "Heading", 1},
      {"LfOnlyIsOneLine", "Heading\nK=   1.000 Ki=   2.000 Kd=   3.000\n1,2,3,4\n",
       "Heading\nK=   1.000 Ki=   2.000 Kd=   3.000\n1,2,3,4\n", 0},
      {"ShortFile", "Heading", "Heading", 0},
      {"EmptyFile", "", "", 0},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Read(c.bytes), std::nullopt) << c.name;
    EXPECT_EQ(contents.Heading, c.heading) << c.name;
    ASSERT_EQ(contents.Rows.size(), c.rows) << c.name;
    if (c.rows > 0) {
      EXPECT_TRUE(contents.Rows[0] == (TrendRow{1, 2, 3, 4})) << c.name;
    }
    if (c.rows > 1) {
      EXPECT_FALSE(contents.Rows[1] == TrendRow{}) << c.name;
    }
    if (c.rows > 0) {
      EXPECT_EQ(contents.Factors.Kd, "3.000") << c.name;
    }
    if (c.rows == 0) {
      EXPECT_EQ(contents.Factors.Kp, "") << c.name;
    }
    // The same bytes from memory, in blocks so small that every line end
    // and CR LF pair falls on a block edge somewhere, read alike.
    for (std::size_t block : {1u, 2u, 7u}) {
      LineSource source(LineSource::Bytes{c.bytes, block});
      LogFileContents fromMemory;
      ASSERT_EQ(ReadLog(source, '.', TrendRow{}, fromMemory), std::nullopt) << c.name;
      EXPECT_EQ(fromMemory.Heading, contents.Heading) << c.name << " " << block;
      EXPECT_EQ(fromMemory.Factors.Kd, contents.Factors.Kd) << c.name << " " << block;
      EXPECT_EQ(fromMemory.Rows.size(), contents.Rows.size()) << c.name << " " << block;
    }
  }
}

TEST_F(ReadLogFileTest, LongLinesAreCutAndBlockEdgesDoNotMatter) {
  // The first line's CR is the last byte of the first block, its LF the
  // first of the next.
  ASSERT_EQ(Read(std::string(65535, 'a') + "\r\nK=   1.000 Ki=   2.000 Kd=   3.000\r\nS\r\n" +
                 std::string(200000, 'b') + "\r\n1,2,3,4\r\n"),
            std::nullopt);
  EXPECT_EQ(contents.Heading.size(), 65535u);
  EXPECT_EQ(contents.Factors.Kp, "1.000");
  EXPECT_EQ(contents.Rows.size(), 2u);
  ASSERT_EQ(Read(std::string(200000, 'h') + "\r\nK\r\nS\r\n1,2,3,4\r\n"), std::nullopt);
  EXPECT_EQ(contents.Heading, std::string(kMaxLineBytes, 'h'));
  ASSERT_EQ(contents.Rows.size(), 1u);
  EXPECT_TRUE(contents.Rows[0] == (TrendRow{1, 2, 3, 4}));
  // Bytes in memory with a line limit of 4 in blocks of 3: a line is cut
  // across a block edge and its rest dropped up to the CR LF.
  LineSource source(LineSource::Bytes{"abcdefgh\r\n12\r\x1a" "x", 3, 4});
  EXPECT_EQ(source.ReadLine(), "abcd");
  EXPECT_EQ(source.ReadLine(), "12");
  EXPECT_TRUE(source.AtEnd());
}

TEST_F(ReadLogFileTest, EntriesThatCannotBeRead) {
  std::vector<std::pair<std::string, std::string>> cases = {{dir.File("missing"), "File not found"},
                                                            {dir.Path(), "File access denied"}};
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);  // must not wait for a writer
  cases.emplace_back(dir.File("fifo"), "File access denied");
  if (geteuid() != 0) {  // root reads a file without read permission anyway
    dir.Write("secret", "x");
    std::filesystem::permissions(dir.File("secret"), std::filesystem::perms::none);
    cases.emplace_back(dir.File("secret"), "File access denied");
  }
  for (const auto& [path, message] : cases) {
    EXPECT_EQ(ReadLogFile(path, '.', TrendRow{}, contents), message) << path;
  }
}

}  // namespace
}  // namespace korvane
