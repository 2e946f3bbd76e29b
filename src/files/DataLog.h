#pragma once
// The data log: its target file, the recording switch and the log step that
// starts every poll tick, and the trend export, which writes through the
// same target. GUI-free; the main window shows the messages returned.
//
// Every file operation opens, writes and closes the file within one call,
// so the file is complete on disk after each line and may be read, copied
// or removed between ticks.
//
// The separator handed in may be the system's or the files' one (see
// FileDecimalSeparator); both give the same files.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "files/LogFormat.h"
#include "plot/PointList.h"

namespace korvane {

// Shown when recording is switched on before a target was chosen.
inline constexpr std::string_view kNoLogFileMessage = "No Log File Has been selected Go to Main Menu-Log-Open";

// The log file of one controller when a line carries several: the file
// name gains the controller's name ("run.csv" -> "run - Zone 3.csv"), with
// characters a file name cannot hold replaced by '_'.
std::string ControllerLogPath(const std::string& path, const std::string& name);

class DataLog {
 public:
  std::string LogFileName;         // the current target; empty: none chosen
  bool LogEnabled = false;         // recording is on
  std::int32_t LogEvery = 0;       // poll ticks per line, read at every tick
  std::int32_t LogTick = 0;        // ticks since the last line
  std::int32_t LogPollCount = 0;   // ticks while recording; the first column

  // The "Log Data to File" box changed. Ticked with a target: recording goes
  // on and the result is true. Ticked without one: false; the window then
  // shows kNoLogFileMessage and unticks the box (which calls this again with
  // false). Unticked: recording goes off, the result is true.
  bool ChkLogClick(bool ticked);

  // The log step, first thing in every poll tick. `periodText` is the text
  // of the update-period box (lenient integer; 0, negative or not a number
  // writes every tick). Empty result: the tick goes on. A message: appending
  // failed, the tick's remaining work is skipped, LogTick stays so that the
  // next tick tries again.
  std::optional<std::string> Step(std::string_view periodText, const ControllerValues& values, char separator);

  // Log > Open, after the operator chose `path` and typed the heading. The
  // window asks for the heading before calling this, and the file is
  // created and given its three heading lines within this one call, so no
  // log step can put a data line into the new file before its heading.
  // LogFileName becomes `path` whatever happens; a file-error message on
  // failure. Recording is not switched on.
  std::optional<std::string> OpenTarget(const std::string& path, std::string_view heading,
                                        const ControllerValues& values, char separator);

  // File > Export Trend Data: the four heading lines, then one line per
  // sample of `points`, oldest first, all within this one call (so no log
  // line can reach the file before the export is complete). LogFileName
  // becomes `path`: the exported file is the log target from now on.
  std::optional<std::string> ExportTrend(const std::string& path, std::string_view heading,
                                         const ControllerValues& values, const PointList& points, char separator);
};

}  // namespace korvane
