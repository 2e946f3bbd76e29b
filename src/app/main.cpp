// Korvane: watches and tunes one PID controller over a Modbus serial line.

#include <QApplication>

#include "app/MainForm.h"
#include "app/TerminationSignals.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Korvane");
  korvane::TMainForm form;
  // A termination request closes the window as "E&xit" would: the port is
  // closed properly before the program ends.
  korvane::TerminationSignals termination([&form] { form.close(); });
  form.show();
  return QApplication::exec();
}
