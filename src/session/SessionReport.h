#pragma once
// The content of a tuning session's commissioning report, apart from its
// drawing: the figures table before and after (with the prediction), the
// model and the factors as text lines, the records of both steps, and the
// figures as CSV. Times in process seconds.

#include <string>
#include <vector>

#include "session/TuningSession.h"

namespace korvane {

struct ReportHeader {
  std::string Date;            // "2026-12-08 10:45"
  std::string Port;            // "COM1, 9600 8N1 RTU, address 1"
  std::string ControllerType;
};

struct FigureRow {
  std::string Name;            // "Rise time (s)"
  std::string Before, After, Predicted;  // empty when not known
};

// Rise, overshoot, settling, steady-state error, IAE and peak output.
std::vector<FigureRow> FigureRows(const SessionOutcome& outcome, double timeScale);
// "figure,before,after,predicted" and one line per row.
std::string FiguresCsv(const SessionOutcome& outcome, double timeScale);
// Replaces `path` with FiguresCsv() without ever leaving half a file; throws FileError.
void SaveFiguresCsv(const std::string& path, const SessionOutcome& outcome, double timeScale);

// The lines under the table: span, model with its spread and R², rule,
// factors before and after, and why the session stopped early.
std::vector<std::string> ReportLines(const SessionOutcome& outcome, const SessionContext& context);

// A relay test's lines: what the relay did and found (levels, swing,
// period, Ku, the delay from switch to PV's turn, in process seconds), and
// the relay rule's factors against the model's proposal. Empty for a step.
std::vector<std::string> RelayLines(const SessionOutcome& outcome, const SessionContext& context);

// A relay test's half cycles as table rows, the heading first: the half
// cycle, the output's level in it, its length, PV's turn and the time from
// the switch to the turn (process s), and whether it is one of the steady
// ones the figures came from. Empty for a step.
std::vector<std::vector<std::string>> RelayCycleRows(const SessionOutcome& outcome, double timeScale);

// What the window shows when it asks whether to write the proposal: the
// model with its spreads and R² (and how far to trust it), the rule, the
// factors proposed beside the present ones, the verification step when it
// is shorter than the way back, and step 2's predicted figures. Times in
// process seconds, marked so when the chart runs on another clock.
std::vector<std::string> ApprovalLines(const SessionOutcome& outcome, const SessionContext& context);

// One step's record for a plot: process seconds from the step's write.
struct StepPlot {
  std::string Title;
  std::string Axis = "process seconds from the step";
  std::vector<TuningSample> Record;
  std::vector<TuningSample> Predicted;  // PV only; empty when none
};
// Step 1 (from a little rest before it) and step 2 when there was one; a
// relay test's record instead of step 1.
std::vector<StepPlot> StepPlots(const SessionOutcome& outcome, const std::vector<TuningSample>& samples,
                                double timeScale);

}  // namespace korvane
