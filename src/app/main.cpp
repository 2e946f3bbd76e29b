// Korvane: watches and tunes one PID controller over a Modbus serial line.

#include <QApplication>

#include "app/MainForm.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Korvane");
  korvane::TMainForm form;
  form.show();
  return QApplication::exec();
}
