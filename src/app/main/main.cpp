// Korvane: watches and tunes one PID controller over a Modbus serial line.

#include <QApplication>

#include "app/main/CommandLine.h"
#include "app/main/MainForm.h"
#include "app/main/TerminationSignals.h"

int main(int argc, char** argv) {
  // --help, --version and --list-presets answer without a window or display.
  if (auto code = korvane::AnswerCommandLine(argc, argv, korvane::RunningProgramFolder(argv[0]))) return *code;
  QApplication app(argc, argv);
  QApplication::setApplicationName("Korvane");
  korvane::TMainForm form;
  // A termination request closes the window as "E&xit" would: the port is
  // closed properly before the program ends.
  korvane::TerminationSignals termination([&form] { form.close(); });
  form.show();
  return QApplication::exec();
}
