#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "record/TuningRecorder.h"
#include "record/TuningSettings.h"
#include "support/TempDir.h"

namespace korvane {
namespace {

TEST(TuningRecorder, JournalsEveryWriteWithItsAnswerAndTheStepFigures) {
  double clock = 10.0;
  TuningRecorder recorder([&] { return clock; }, {0.05});
  for (int i = 0; i <= 10; ++i) recorder.AddSample({i * 1.0, 100, 100, 40});
  recorder.WriteSent("setpoint", 100, 120);
  recorder.WriteAnswered("Write -  Data OK");
  recorder.WriteRefused("Kp", "Kp 0 cannot be written");
  for (int i = 11; i <= 100; ++i) recorder.AddSample({i * 1.0, 120, i < 20 ? 100.0 + 2 * (i - 10) : 120.0, 50});
  recorder.AddSample({101, 150, 120, 50});  // a setpoint changed at the panel: a step of its own

  const auto& entries = recorder.Journal().Entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].What, "setpoint");
  EXPECT_EQ(entries[0].Result, "Write -  Data OK");
  ASSERT_TRUE(entries[0].Figures && entries[0].Figures->RiseTime);
  EXPECT_NEAR(*entries[0].Figures->RiseTime, 8.0, 1e-9);
  EXPECT_EQ(entries[1].Result, "Kp 0 cannot be written");
  ASSERT_TRUE(recorder.Step());
  EXPECT_EQ(recorder.Step()->Figures().Step, 30.0);
  EXPECT_EQ(recorder.Step()->StepTime(), 100.5);  // seen at 101, made since the poll at 100

  recorder.AddSample({0.5, 150, 120, 50});  // the chart was cleared
  EXPECT_FALSE(recorder.Step());
  EXPECT_EQ(recorder.Samples().size(), 1u);
  EXPECT_EQ(recorder.Journal().Entries().size(), 2u);

  test::TempDir dir;
  const std::string path = dir.Path() + "/journal.csv";
  recorder.Journal().SaveCsv(path);
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(),
            "time_s,what,old,new,result,rise_s,overshoot_pct,settling_s,steady_state_error,iae,peak_output_pct,band\n"
            "10,setpoint,100,120,\"Write -  Data OK\",8,0,9.5,0,81,50,1\n"
            "10,Kp,,,\"Kp 0 cannot be written\",,,,,,,\n");
  // Three process seconds per chart second: every time and the IAE in process seconds, and the headings say so.
  EXPECT_EQ(recorder.Journal().Csv(3.0).substr(0, 30), "process_time_s,what,old,new,re");
  EXPECT_NE(recorder.Journal().Csv(3.0).find("\n30,setpoint,100,120,\"Write -  Data OK\",24,0,28.5,0,243,50,1\n"),
            std::string::npos);
}

TEST(TuningRecorder, AChangedBandAppliesToTheRunningStepAndAnInterruptedStepIsNotIdentified) {
  TuningRecorder recorder([] { return 10.0; });
  for (int i = 0; i <= 10; ++i) recorder.AddSample({i * 1.0, 100, 100, 40});
  recorder.WriteSent("setpoint", 100, 120);
  for (int i = 11; i <= 60; ++i) recorder.AddSample({i * 1.0, 120, i < 15 ? 110.0 : 120.0 + (i % 2 ? 1 : -1), 50});
  EXPECT_FALSE(recorder.Journal().Entries()[0].Figures->SettlingTime);  // +-1 swings past +-0.4
  recorder.SetOptions({0.1});
  EXPECT_EQ(recorder.Step()->Figures().Band, 2.0);
  ASSERT_TRUE(recorder.Journal().Entries()[0].Figures->SettlingTime);
  EXPECT_NEAR(*recorder.Journal().Entries()[0].Figures->SettlingTime, 4.0 + 8.0 / 11, 1e-9);  // 110 -> 121 crosses 118

  recorder.ChartPaused();
  EXPECT_NE(recorder.Identify(10.0).Refusal.find("paused"), std::string::npos);
  recorder.AddSample({0.0, 120, 120, 50});  // cleared
  EXPECT_NE(recorder.Identify(10.0).Refusal.find("No setpoint step since the chart was last cleared"),
            std::string::npos);
}

TEST(TuningSettings, SideFileKeepsTheSpanAndRefusesBadValuesByName) {
  test::TempDir dir;
  const std::string path = dir.Path() + "/korvane/tuning";
  EXPECT_EQ(LoadTuningSettings(path).Span(), 400.0);  // no file: the defaults
  SaveTuningSettings(path, {-50, 1250, 2});
  const TuningSettings back = LoadTuningSettings(path);
  EXPECT_EQ(back.SpanLow, -50.0);
  EXPECT_EQ(back.Span(), 1300.0);
  EXPECT_EQ(back.TimeScale, 2.0);

  std::string problem;
  const TuningSettings bad = ParseTuningSettings("span_low=500\nspan_high=abc\ntime_scale=0\n", &problem);
  EXPECT_EQ(problem, "span_high is not a number; the span is not above 0; the time scale is not above 0");
  EXPECT_EQ(bad.Span(), 400.0);
  EXPECT_EQ(bad.TimeScale, 1.0);
}

}  // namespace
}  // namespace korvane
