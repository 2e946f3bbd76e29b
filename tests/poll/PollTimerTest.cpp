#include <gtest/gtest.h>

#include "PollHarness.h"

namespace korvane {
namespace {

// --- a read per tick ------------------------------------------------------

TEST(PollTimer, DefaultsReadTwentyHoldingRegistersAndCount) {
  test::PollHarness h;
  h.cycle.PollTimerTimer();
  EXPECT_EQ(h.LastSent(), "01 03 00 00 00 14 45 C5");
  EXPECT_EQ(h.view.Status(), "Poll 1");
  h.cycle.PollTimerTimer();
  EXPECT_EQ(h.view.Status(), "Poll 2");
  EXPECT_EQ(h.cycle.PollCount(), 2);
  EXPECT_EQ(h.sent.size(), 2u);
  EXPECT_EQ(h.state.ChunkStart, 1);
  EXPECT_EQ(h.state.ChunkSize, 20);
  EXPECT_EQ(h.state.WriteActive, 0);
}

TEST(PollTimer, ReplyDeadlineIsTickPlusResponseTime) {
  test::PollHarness h;
  h.now = 5000;
  h.cycle.PollTimerTimer();
  EXPECT_EQ(h.state.ReplyDeadline, 5400);
}

TEST(PollTimer, ReplyDeadlineWrapsWithTheTickCount) {
  test::PollHarness h;
  h.now = 0xFFFFFF00u;
  h.cycle.PollTimerTimer();
  EXPECT_EQ(h.state.ReplyDeadline, 0x90);  // 0xFFFFFF00 + 400 mod 2^32
  h.now = 0x7FFFFFFFu;
  h.cycle.PollTimerTimer();
  EXPECT_EQ(static_cast<std::uint32_t>(h.state.ReplyDeadline), 0x7FFFFFFFu + 400u);
}

TEST(PollTimer, EveryTickRefreshesTheValueBoxes) {
  test::PollHarness h;
  h.image.SetHoldingRegister(1, 2, 42);
  h.cycle.PollTimerTimer();
  EXPECT_EQ(h.view.Shown.at(ValueBox::PV), "  42.000");
}

// --- what stops a tick ----------------------------------------------------

TEST(PollTimer, DataLogStepRunsFirstAndCanEndTheTick) {
  test::PollHarness h;
  h.view.LogContinues = false;
  h.cycle.SPWriteClick();
  h.view.Entries[ValueBox::SetPt] = "5";
  h.cycle.PollTimerTimer();
  EXPECT_EQ(h.view.DataLogSteps, 1);
  EXPECT_TRUE(h.sent.empty());
  EXPECT_EQ(h.cycle.PollCount(), 0);
}

TEST(PollTimer, NothingWithoutMasterMode) {
  test::PollHarness h;
  h.settings.Poll.MasterMode = false;
  h.cycle.PollTimerTimer();
  EXPECT_EQ(h.view.DataLogSteps, 1);
  EXPECT_TRUE(h.sent.empty());
  EXPECT_TRUE(h.view.Statuses.empty());
}

TEST(PollTimer, PausedChartSendsNoReadAndDoesNotCount) {
  test::PollHarness h;
  h.view.Paused = true;
  h.cycle.PollTimerTimer();
  h.cycle.PollTimerTimer();
  EXPECT_TRUE(h.sent.empty());
  EXPECT_EQ(h.cycle.PollCount(), 0);
  EXPECT_TRUE(h.view.Statuses.empty());
}

TEST(PollTimer, PausedChartStillSendsAPendingWrite) {
  test::PollHarness h;
  h.view.Paused = true;
  h.view.Entries[ValueBox::K] = "12";
  h.cycle.KWriteClick();
  h.cycle.PollTimerTimer();
  ASSERT_EQ(h.sent.size(), 1u);
  EXPECT_EQ(h.LastSent().substr(0, 17), "01 06 00 0D 00 78");  // 12 / 0.1 to register 14
  EXPECT_EQ(h.cycle.PollCount(), 0);
}

// --- the write tick ---------------------------------------------------------

TEST(PollTimer, WriteTickDoesNotCountAndTheNextTickReads) {
  test::PollHarness h;
  h.cycle.PollTimerTimer();
  h.view.Entries[ValueBox::SetPt] = "25";
  h.settings.Map.FactorSP = 0.1f;
  h.cycle.SPWriteClick();
  h.cycle.PollTimerTimer();
  EXPECT_EQ(h.LastSent(), "01 06 00 19 00 FA D8 4E");
  EXPECT_EQ(h.cycle.PollCount(), 1);
  EXPECT_EQ(h.cycle.PendingWrite(), 0);
  EXPECT_EQ(h.view.Status(), "Write -");
  EXPECT_EQ(h.state.WriteActive, 1);
  h.cycle.PollTimerTimer();
  EXPECT_EQ(h.LastSent(), "01 03 00 00 00 14 45 C5");
  EXPECT_EQ(h.cycle.PollCount(), 2);
  EXPECT_EQ(h.view.Status(), "Poll 2");
  EXPECT_EQ(h.state.WriteActive, 0);
}

TEST(PollTimer, AWriteWhoseTextDoesNotParseStillTakesTheTick) {
  test::PollHarness h;
  h.view.Entries[ValueBox::Kd] = "abc";
  h.cycle.KdWriteClick();
  h.cycle.PollTimerTimer();
  EXPECT_TRUE(h.sent.empty());
  EXPECT_EQ(h.cycle.PollCount(), 0);
  h.cycle.PollTimerTimer();
  EXPECT_EQ(h.sent.size(), 1u);
}

// --- a sender that fails ----------------------------------------------------

TEST(PollTimer, SendErrorGoesToTheCallerWithoutCountingThePoll) {
  test::PollHarness h;
  h.sendFails = true;
  EXPECT_THROW(h.cycle.PollTimerTimer(), std::runtime_error);
  EXPECT_EQ(h.cycle.PollCount(), 0);
  h.sendFails = false;
  h.cycle.PollTimerTimer();
  EXPECT_EQ(h.cycle.PollCount(), 1);
  EXPECT_EQ(h.view.Status(), "Poll 1");
}

TEST(PollTimer, SendErrorOnAWriteClearsTheWrite) {
  test::PollHarness h;
  h.view.Entries[ValueBox::SetPt] = "10";
  h.cycle.SPWriteClick();
  h.sendFails = true;
  EXPECT_THROW(h.cycle.PollTimerTimer(), std::runtime_error);
  EXPECT_EQ(h.cycle.PendingWrite(), 0);
  h.sendFails = false;
  h.cycle.PollTimerTimer();
  EXPECT_EQ(h.LastSent().substr(0, 5), "01 03");
}

// --- tables other than the register tables ----------------------------------

TEST(PollTimer, BitTablesKeepTheChunkFields) {
  test::PollHarness h;
  h.settings.Poll.TableType = 0;
  h.state.ChunkStart = 7;
  h.state.ChunkSize = 3;
  h.cycle.PollTimerTimer();
  EXPECT_EQ(h.state.ChunkStart, 7);
  EXPECT_EQ(h.state.ChunkSize, 3);
  EXPECT_EQ(h.LastSent().substr(0, 17), "01 01 00 00 00 14");
  EXPECT_EQ(h.cycle.PollCount(), 1);
}

}  // namespace
}  // namespace korvane
