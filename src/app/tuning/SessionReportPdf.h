#pragma once
// The tuning session's commissioning report drawn with Qt: a PDF of one or
// two A4 pages (QPdfWriter) and the step plots as a PNG, from the core's
// report content (tuning/SessionReport.h) and the session's journal.

#include <QImage>
#include <QString>

#include <vector>

#include "record/TuningJournal.h"
#include "session/SessionReport.h"

namespace korvane {

struct ReportContent {
  ReportHeader Header;
  SessionOutcome Outcome;
  SessionContext Context;
  std::vector<TuningSample> Samples;  // the session's record, chart time
  TuningJournal Journal;
};

// Writes the PDF; false (with `error`) when the file cannot be written.
bool WriteReportPdf(const QString& path, const ReportContent& content, QString* error = nullptr);
// The step plots side by side, `width` x `height` pixels.
QImage ReportPlotsImage(const ReportContent& content, int width = 1200, int height = 420);
// The report beside `base`: base + ".pdf", "-figures.csv", "-plots.png".
// Returns the PDF's path, or an empty string with `error`.
QString SaveReportFiles(const QString& base, const ReportContent& content, QString* error);

}  // namespace korvane
