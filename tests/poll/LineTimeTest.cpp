// Line time of a poll and the warning sentence built from it.
#include <gtest/gtest.h>

#include <vector>

#include "poll/LineTime.h"

namespace korvane {
namespace {

constexpr RegisterTable H = RegisterTable::Holding;
constexpr RegisterTable I = RegisterTable::Input;

LinkSettings Link(std::int32_t baud, bool rtu, std::int32_t dataBits, const char* parity) {
  LinkSettings link;
  link.Baud = baud;
  link.RtuMode = rtu;
  link.DataBits = dataBits;
  link.ParityLetter = parity;
  return link;
}

TEST(LineTime, RequestsRepliesAndGapsOfAPoll) {
  const std::vector<PlanRequest> today{{H, 0, 20}};
  const std::vector<PlanRequest> floatMap{{H, 3000, 4}, {H, 4096, 6}, {I, 4096, 4}};
  std::vector<PlanRequest> eight;
  for (int i = 0; i < 8; ++i) eight.insert(eight.end(), floatMap.begin(), floatMap.end());
  struct Row {
    const char* What;
    LinkSettings Link;
    std::vector<PlanRequest> Requests;
    double Seconds;
  };
  const Row rows[] = {
      {"RTU 8N1: (8 + 45 + 2 x 3.5) x 10 bits", Link(9600, true, 8, "N"), today, 60 * 10 / 9600.0},
      {"RTU 8E1: 11 bits a character", Link(9600, true, 8, "E"), today, 60 * 11 / 9600.0},
      {"ASCII 7E1: 17 + 91 characters and the gaps", Link(9600, false, 7, "E"), today, 115 * 10 / 9600.0},
      {"above 19200 baud the gap is 1.75 ms", Link(38400, true, 8, "N"), today, 53 * 10 / 38400.0 + 0.0035},
      {"eight controllers of the float map", Link(9600, true, 8, "N"), eight, 8 * 88 * 10 / 9600.0},
      {"no requests", Link(9600, true, 8, "N"), {}, 0.0},
  };
  for (const Row& row : rows) {
    EXPECT_NEAR(PollLineSeconds(FramingOf(row.Link), row.Requests), row.Seconds, 1e-9) << row.What;
  }
  EXPECT_EQ(FrameGapMilliseconds(FramingOf(Link(9600, true, 8, "N"))), 4u);  // 3.65 ms rounded up
}

TEST(LineTime, TheWarningSentence) {
  struct Row {
    std::int32_t Controllers;
    double Seconds;
    std::int32_t Baud;
    std::int32_t Period;
    const char* Text;
  };
  const Row rows[] = {
      {8, 1.26, 9600, 1, "8 controllers need about 1.3 s per poll at 9600 baud; the poll period is 1 s"},
      {1, 0.0625, 19200, 2, "1 controller needs about 0.1 s per poll at 19200 baud; the poll period is 2 s"},
      {12, 10.04, 1200, 10, "12 controllers need about 10.0 s per poll at 1200 baud; the poll period is 10 s"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(PollTimeWarning(row.Controllers, row.Seconds, row.Baud, row.Period), row.Text);
  }
}

}  // namespace
}  // namespace korvane
