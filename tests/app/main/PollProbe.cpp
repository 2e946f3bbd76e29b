// korvane_poll_probe: the main window with COM1 configured at 9600 8N1 and
// switched on through the port control, polling once per second until the
// window is closed. COM1 is whatever the user's port folder maps it to.
//
//   korvane_poll_probe [--seconds N] [--shot FILE] [--size WxH] [--docks 1]
//                      [--prefill S] [--poll-ms MS] [--log FILE]
//
// --seconds ends the program after N seconds; --shot saves a picture of the
// window (QWidget::grab) just before that; --size resizes the window first;
// --docks 1 shows the Link and Frames docks (View > Link, View > Frames);
// --prefill stores S seconds of a flood (20 samples a second, values that
// change once a second) first, so the chart's window is full at once;
// --poll-ms sets the poll timer's period; --log records the data log into
// FILE, a line every poll tick (Log > Open, period 1, Log ticked). With
// --poll-ms or --log, a line "reads R answered A" goes to stdout every ten
// seconds: the reads handed to the line and the replies checked Data OK.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cmath>
#include <cstring>
#include <exception>

#include "app/main/MainForm.h"
#include "app/trend/DataLogCommands.h"
#include "master/MasterCode.h"
#include "plot/ChartHistory.h"
#include "poll/PollCycle.h"

namespace {

// Reads handed to the line and reads answered Data OK.
struct PollCounts : korvane::ResultObserver {
  long long Reads = 0, Answered = 0;
  void RequestSent(bool write) override { Reads += write ? 0 : 1; }
  void ReplyChecked(std::int32_t result, bool write) override {
    Answered += !write && result == korvane::PollResult::DataOk ? 1 : 0;
  }
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Korvane");
  int seconds = 0;
  QString shot;
  int width = 0;
  int height = 0;
  bool docks = false;
  int prefill = 0;
  int pollMs = 0;
  QString log;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--shot") == 0) shot = argv[i + 1];
    if (std::strcmp(argv[i], "--size") == 0) std::sscanf(argv[i + 1], "%dx%d", &width, &height);
    if (std::strcmp(argv[i], "--docks") == 0) docks = std::atoi(argv[i + 1]) != 0;
    if (std::strcmp(argv[i], "--prefill") == 0) prefill = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--poll-ms") == 0) pollMs = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--log") == 0) log = argv[i + 1];
  }

  korvane::TMainForm form;
  korvane::ChartHistory& history = form.History();
  for (int tick = 0; tick < prefill * 10; ++tick) {
    history.Tick();
    const int second = tick / 10;
    const float pv = 50.0f + 15.0f * std::sin(float(second) / 7.0f) + float(second * 37 % 7);
    const float setpoint = second / 100 % 2 ? 70.0f : 40.0f;
    const float output = 50.0f + 40.0f * std::sin(float(second) / 6.0f) + float(second * 53 % 5);
    for (int piece = 0; piece < 2; ++piece) history.InsertDatapoint(history.ChartClock(), pv, setpoint, output);
  }
  if (width > 0) form.resize(width, height);
  form.show();
  if (docks) {
    for (const char* name : {"Link1", "Frames1"}) {
      if (auto* item = form.findChild<QAction*>(name)) item->trigger();
    }
  }
  try {
    form.Ports().OpenComm(1, 1024, 1024, 9600, 8, 0, 1);
    form.Ports().PortActivate();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "korvane_poll_probe: %s\n", e.what());
    return 1;
  }
  PollCounts counts;
  form.Poll().AddResultObserver(&counts);
  if (pollMs > 0) form.PollTimer().setInterval(pollMs);
  if (!log.isEmpty()) {
    korvane::DataLogCommands::Questions& ask = form.DataLog().Ask();
    ask.logPath = [&](QWidget*) { return log; };
    ask.heading = [](QWidget*) { return std::optional<QString>("Long run"); };
    form.Menu().Open2->trigger();
    form.Widgets().TxtPeriod->setText("1");
    form.Widgets().ChkLog->click();
  }
  QTimer report;
  if (pollMs > 0 || !log.isEmpty()) {
    QObject::connect(&report, &QTimer::timeout, [&] {
      std::printf("reads %lld answered %lld\n", counts.Reads, counts.Answered);
      std::fflush(stdout);
    });
    report.start(10000);
  }
  std::printf("polling\n");
  std::fflush(stdout);
  if (seconds > 0) {
    QTimer::singleShot(seconds * 1000, &form, [&] {
      if (!shot.isEmpty()) form.grab().save(shot);
      form.close();
    });
  }
  const int status = QApplication::exec();
  form.Poll().RemoveResultObserver(&counts);
  return status;
}
