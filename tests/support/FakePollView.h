#pragma once
// The main window as the poll cycle sees it, recording instead of showing:
// the status line and value boxes (ValueView), the live chart (SampleSink,
// sample time = Clock) and the data-log step at the start of a tick
// (TickHook). Header only; link the poll library to use it.

#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "plot/SampleSink.h"
#include "poll/PollHooks.h"
#include "poll/ValueView.h"

namespace korvane::test {

class FakePollView : public ValueView, public SampleSink, public TickHook {
 public:
  struct Sample {
    float Time, PV, SP, Out;
  };

  void SetStatus(const std::string& text) override { Statuses.push_back(text); }
  void ShowValue(ValueBox box, const std::string& text) override {
    Shown[box] = text;
    ShowCalls.emplace_back(box, text);
  }
  std::string EntryText(ValueBox box) const override {
    const auto it = Entries.find(box);
    return it == Entries.end() ? std::string() : it->second;
  }
  bool UpdateValuesOnPoll() const override { return Update; }
  char DecimalSeparator() const override { return Separator; }
  void WriteRefused(const std::string& message) override { Refusals.push_back(message); }

  bool BeforePoll() override {
    ++DataLogSteps;
    return LogContinues;
  }

  bool ChartPaused() const override { return Paused; }
  void AddSample(float pv, float setpoint, float output) override {
    if (ChartFails) throw std::runtime_error("chart failed");
    Samples.push_back({Clock, pv, setpoint, output});
    ++RePlots;
  }

  std::string Status() const { return Statuses.empty() ? std::string() : Statuses.back(); }

  std::vector<std::string> Statuses;
  std::map<ValueBox, std::string> Shown;
  std::vector<std::pair<ValueBox, std::string>> ShowCalls;
  std::map<ValueBox, std::string> Entries;
  bool Update = true;
  char Separator = '.';
  bool LogContinues = true;
  int DataLogSteps = 0;
  bool Paused = false;
  bool ChartFails = false;
  float Clock = 0;
  std::vector<Sample> Samples;
  int RePlots = 0;
  std::vector<std::string> Refusals;
};

}  // namespace korvane::test
