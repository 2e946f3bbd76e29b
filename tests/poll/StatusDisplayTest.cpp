#include <gtest/gtest.h>

#include <string>

#include "PollHarness.h"

namespace korvane {
namespace {

std::string TextOf(std::int32_t result, const std::string& prefix = "Poll 12") {
  std::string text = "unchanged";
  StatusText(result, prefix, text);
  return text;
}

// --- every result of the table -------------------------------------------

TEST(StatusText, CheckResults) {
  EXPECT_EQ(TextOf(0), "Poll 12");
  EXPECT_EQ(TextOf(1), "Poll 12 Data OK");
  EXPECT_EQ(TextOf(2), "Poll 12 Checksum incorrect");
  EXPECT_EQ(TextOf(3), "Poll 12 Time Out occurred");
  EXPECT_EQ(TextOf(4), "Poll 12 Packet Too Long");
  EXPECT_EQ(TextOf(5), "Poll 12 Wrong reply discarded");
}

TEST(StatusText, ExceptionCodesOneToEight) {
  EXPECT_EQ(TextOf(129), "Poll 12 EC1 Illegal Function");
  EXPECT_EQ(TextOf(130), "Poll 12 EC2 Illegal Data Address");
  EXPECT_EQ(TextOf(131), "Poll 12 EC3 Illegal Data Value");
  EXPECT_EQ(TextOf(132), "Poll 12 EC4 Slave Device Failure");
  EXPECT_EQ(TextOf(133), "Poll 12 EC5 Acknowlegde");
  EXPECT_EQ(TextOf(134), "Poll 12 EC6 Slave Device Busy");
  EXPECT_EQ(TextOf(135), "Poll 12 EC7 Negative Acknowledge");
  EXPECT_EQ(TextOf(136), "Poll 12 EC8 Memory Parity Error");
}

TEST(StatusText, HigherExceptionCodesShowOnlyTheNumber) {
  EXPECT_EQ(TextOf(137), "Poll 12 EC9");
  EXPECT_EQ(TextOf(139), "Poll 12 EC11");
  EXPECT_EQ(TextOf(128 + 255), "Poll 12 EC255");
  EXPECT_EQ(TextOf(INT32_MAX), "Poll 12 EC" + std::to_string(INT32_MAX - 128));
}

TEST(StatusText, ResultsOutsideTheTableLeaveTheLine) {
  for (std::int32_t r : {6, 100, 127, 128, -1, INT32_MIN}) {
    std::string text = "unchanged";
    EXPECT_FALSE(StatusText(r, "Poll 1", text)) << r;
    EXPECT_EQ(text, "unchanged") << r;
  }
}

TEST(StatusText, WritePrefixGivesTwoBlanksBeforeTheResult) {
  EXPECT_EQ(TextOf(1, "Write - "), "Write -  Data OK");
  EXPECT_EQ(TextOf(0, "Write -"), "Write -");
}

// --- StatusDisplay: the line, then the values after 0 and 1 --------------

TEST(StatusDisplay, RefreshesTheValuesAfterPendingAndDataOkOnly) {
  test::PollHarness h;
  h.cycle.StatusDisplay(1, "Poll 3");
  EXPECT_EQ(h.view.Status(), "Poll 3 Data OK");
  EXPECT_EQ(h.view.Shown.at(ValueBox::PV), "   0.000");  // before any reply the boxes show 0.000
  h.view.ShowCalls.clear();
  h.cycle.StatusDisplay(2, "Poll 3");
  h.cycle.StatusDisplay(130, "Poll 3");
  EXPECT_TRUE(h.view.ShowCalls.empty());
  h.cycle.StatusDisplay(0, "Poll 4");
  EXPECT_FALSE(h.view.ShowCalls.empty());
}

TEST(StatusDisplay, UnknownResultDoesNotTouchTheLine) {
  test::PollHarness h;
  h.cycle.StatusDisplay(1, "Poll 1");
  h.cycle.StatusDisplay(7, "Poll 2");
  EXPECT_EQ(h.view.Statuses, std::vector<std::string>{"Poll 1 Data OK"});
}

}  // namespace
}  // namespace korvane
