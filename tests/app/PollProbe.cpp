// korvane_poll_probe: the main window with COM1 configured at 9600 8N1 and
// switched on through the port control, polling once per second until the
// window is closed. COM1 is whatever the user's port folder maps it to.
//
//   korvane_poll_probe [--seconds N] [--shot FILE] [--size WxH]
//
// --seconds ends the program after N seconds; --shot saves a picture of the
// window (QWidget::grab) just before that; --size resizes the window first.

#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "app/MainForm.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Korvane");
  int seconds = 0;
  QString shot;
  int width = 0;
  int height = 0;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--shot") == 0) shot = argv[i + 1];
    if (std::strcmp(argv[i], "--size") == 0) std::sscanf(argv[i + 1], "%dx%d", &width, &height);
  }

  korvane::TMainForm form;
  if (width > 0) form.resize(width, height);
  form.show();
  try {
    form.Ports().OpenComm(1, 1024, 1024, 9600, 8, 0, 1);
    form.Ports().PortActivate();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "korvane_poll_probe: %s\n", e.what());
    return 1;
  }
  std::printf("polling\n");
  std::fflush(stdout);
  if (seconds > 0) {
    QTimer::singleShot(seconds * 1000, &form, [&] {
      if (!shot.isEmpty()) form.grab().save(shot);
      form.close();
    });
  }
  return QApplication::exec();
}
