#include "app/tuning/SessionReportPdf.h"

#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>

#include "base/FileError.h"

namespace korvane {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// One step's plot in `box`: PV (green), setpoint (red), prediction (green,
// dashed) on the left axis, output (blue) on the right axis 0-100 %.
void DrawPlot(QPainter& p, const QRectF& box, const StepPlot& plot) {
  const QFontMetricsF fm(p.font());
  const double pad = fm.height();
  const QRectF area = box.adjusted(4.0 * pad, 1.5 * pad, -3.5 * pad, -3.2 * pad);
  p.setPen(QPen(Qt::black, 0));
  p.drawText(QRectF(box.left(), box.top(), box.width(), 1.2 * pad), Qt::AlignHCenter, Q(plot.Title));
  if (plot.Record.empty()) {
    p.drawText(area, Qt::AlignCenter, "No record");
    return;
  }
  double t0 = plot.Record.front().Time, t1 = plot.Record.back().Time;
  double lo = INFINITY, hi = -INFINITY;
  for (const TuningSample& s : plot.Record) lo = std::min({lo, s.PV, s.SP}), hi = std::max({hi, s.PV, s.SP});
  for (const TuningSample& s : plot.Predicted) lo = std::min(lo, s.PV), hi = std::max(hi, s.PV);
  if (!(t1 > t0)) t1 = t0 + 1.0;
  const double margin = std::max(0.08 * (hi - lo), 0.5);
  lo -= margin;
  hi += margin;
  auto x = [&](double t) { return area.left() + (t - t0) / (t1 - t0) * area.width(); };
  auto y = [&](double v) { return area.bottom() - (v - lo) / (hi - lo) * area.height(); };
  auto yOut = [&](double v) { return area.bottom() - v / 100.0 * area.height(); };
  p.setPen(QPen(QColor(200, 200, 200), 0));
  for (int i = 0; i <= 4; ++i) {
    const double v = lo + i * (hi - lo) / 4.0, yy = y(v);
    p.drawLine(QPointF(area.left(), yy), QPointF(area.right(), yy));
    p.setPen(Qt::black);
    p.drawText(QRectF(box.left(), yy - pad / 2, 3.8 * pad, pad), Qt::AlignRight | Qt::AlignVCenter,
               QString::number(v, 'f', 1));
    p.drawText(QRectF(area.right() + 0.3 * pad, yy - pad / 2, 3.0 * pad, pad), Qt::AlignLeft | Qt::AlignVCenter,
               QString::number(i * 25) + " %");
    p.setPen(QPen(QColor(200, 200, 200), 0));
  }
  p.setPen(Qt::black);
  for (int i = 0; i <= 4; ++i) {
    const double t = t0 + i * (t1 - t0) / 4.0;
    p.drawText(QRectF(x(t) - 2 * pad, area.bottom() + 0.2 * pad, 4 * pad, pad), Qt::AlignHCenter,
               QString::number(t, 'f', 0));
  }
  p.drawText(QRectF(area.left(), area.bottom() + 1.2 * pad, area.width(), pad), Qt::AlignHCenter,
             QString::fromStdString(plot.Axis));
  p.drawRect(area);
  auto line = [&](auto value, auto yOf, const QPen& pen, const std::vector<TuningSample>& samples) {
    QPainterPath path;
    bool first = true;
    for (const TuningSample& s : samples) {
      const QPointF pt(x(s.Time), yOf(value(s)));
      if (first) path.moveTo(pt);
      else path.lineTo(pt);
      first = false;
    }
    p.setPen(pen);
    p.drawPath(path);
  };
  const double w = std::max(1.0, area.width() / 400.0);
  p.save();
  p.setClipRect(area);
  line([](const TuningSample& s) { return s.Out; }, yOut, QPen(QColor(0, 0, 200), w), plot.Record);
  line([](const TuningSample& s) { return s.SP; }, y, QPen(QColor(200, 0, 0), w), plot.Record);
  line([](const TuningSample& s) { return s.PV; }, y, QPen(QColor(0, 140, 0), 1.5 * w), plot.Record);
  if (!plot.Predicted.empty()) {
    line([](const TuningSample& s) { return s.PV; }, y, QPen(QColor(0, 0, 0), 1.5 * w, Qt::DashLine),
         plot.Predicted);
  }
  p.restore();
}

void DrawPlots(QPainter& p, const QRectF& box, const ReportContent& c) {
  const auto plots = StepPlots(c.Outcome, c.Samples, c.Context.TimeScale);
  const int n = std::max<int>(1, static_cast<int>(plots.size()));
  for (int i = 0; i < static_cast<int>(plots.size()); ++i) {
    DrawPlot(p, QRectF(box.left() + i * box.width() / n, box.top(), box.width() / n, box.height()),
             plots[static_cast<std::size_t>(i)]);
  }
  const QFontMetricsF fm(p.font());
  p.setPen(Qt::black);
  const bool predicted = std::any_of(plots.begin(), plots.end(), [](const StepPlot& s) { return !s.Predicted.empty(); });
  p.drawText(QRectF(box.left(), box.bottom() - 0.1 * fm.height(), box.width(), fm.height()), Qt::AlignHCenter,
             predicted ? "PV green, setpoint red, output blue (right axis), predicted PV dashed"
                       : "PV green, setpoint red, output blue (right axis)");
}

// Rows of text in columns; returns the y below the table.
double DrawTable(QPainter& p, double top, double left, const std::vector<double>& widths,
                 const std::vector<QStringList>& rows) {
  const double h = QFontMetricsF(p.font()).height() * 1.25;
  double yy = top;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    double xx = left;
    QFont f = p.font();
    f.setBold(r == 0);
    p.setFont(f);
    for (int col = 0; col < rows[r].size() && col < static_cast<int>(widths.size()); ++col) {
      p.drawText(QRectF(xx, yy, widths[static_cast<std::size_t>(col)], h), Qt::AlignLeft | Qt::AlignVCenter,
                 rows[r][col]);
      xx += widths[static_cast<std::size_t>(col)];
    }
    yy += h;
  }
  QFont f = p.font();
  f.setBold(false);
  p.setFont(f);
  return yy;
}

}  // namespace

QImage ReportPlotsImage(const ReportContent& content, int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QFont f = p.font();
  f.setPixelSize(std::max(10, height / 30));
  p.setFont(f);
  DrawPlots(p, QRectF(0, 0, width, height - f.pixelSize() * 1.5), content);
  return image;
}

bool WriteReportPdf(const QString& path, const ReportContent& c, QString* error) {
  QPdfWriter pdf(path);
  pdf.setPageSize(QPageSize(QPageSize::A4));
  pdf.setResolution(150);
  pdf.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
  pdf.setTitle("Korvane commissioning report");
  pdf.setCreator("Korvane");
  QPainter p;
  if (!p.begin(&pdf)) {
    if (error) *error = "The report cannot be written to " + path + ".";
    return false;
  }
  const QRectF page(QPointF(0, 0), QSizeF(pdf.width(), pdf.height()));
  QFont f("DejaVu Sans");
  f.setPointSizeF(9.0);
  p.setFont(f);
  const double line = QFontMetricsF(f).height() * 1.2;
  QFont title = f;
  title.setPointSizeF(15.0);
  title.setBold(true);
  p.setFont(title);
  p.drawText(QRectF(0, 0, page.width(), 2 * line), Qt::AlignLeft | Qt::AlignVCenter, "Commissioning report: PID loop tuning");
  p.setFont(f);
  double yy = 2.2 * line;
  const QString head = QString("%1    Port %2    Controller %3").arg(Q(c.Header.Date), Q(c.Header.Port),
                                                                       Q(c.Header.ControllerType));
  p.drawText(QRectF(0, yy, page.width(), line), Qt::AlignLeft, head);
  yy += 1.5 * line;
  const double plotHeight = page.height() * 0.33;
  DrawPlots(p, QRectF(0, yy, page.width(), plotHeight), c);
  yy += plotHeight + 1.5 * line;

  const double w = page.width();
  const auto cycles = RelayCycleRows(c.Outcome, c.Context.TimeScale);
  if (!cycles.empty()) {
    // A relay test: its half cycles instead of the two steps' figures.
    std::vector<QStringList> rows;
    for (const auto& cells : cycles) {
      QStringList row;
      for (const std::string& cell : cells) row << Q(cell);
      rows.push_back(row);
    }
    yy = DrawTable(p, yy, 0, {0.14 * w, 0.16 * w, 0.16 * w, 0.16 * w, 0.24 * w, 0.14 * w}, rows) + 0.8 * line;
  } else {
    std::vector<QStringList> rows{{"Figure (process time)", "Before (step 1)", "After (step 2)", "Predicted"}};
    for (const FigureRow& r : FigureRows(c.Outcome, c.Context.TimeScale)) {
      rows.push_back({Q(r.Name), Q(r.Before), Q(r.After), Q(r.Predicted)});
    }
    yy = DrawTable(p, yy, 0, {0.34 * w, 0.22 * w, 0.22 * w, 0.22 * w}, rows) + 0.8 * line;
  }
  for (const std::string& text : ReportLines(c.Outcome, c.Context)) {
    const QRectF r = p.boundingRect(QRectF(0, yy, w, 10 * line), Qt::TextWordWrap, Q(text));
    p.drawText(QRectF(0, yy, w, r.height()), Qt::TextWordWrap, Q(text));
    yy += r.height() + 0.3 * line;
  }
  yy += 0.7 * line;
  // The journal of every write, onto a second page when it does not fit.
  std::vector<QStringList> journal{{"Time s (process)", "What", "Old", "New", "Answer"}};
  for (const JournalEntry& e : c.Journal.Entries()) {
    journal.push_back({QString::number((e.Time - c.Outcome.Started) * c.Context.TimeScale, 'f', 1), Q(e.What),
                       std::isfinite(e.OldValue) ? QString::number(e.OldValue, 'g', 6) : QString(),
                       std::isfinite(e.NewValue) ? QString::number(e.NewValue, 'g', 6) : QString(), Q(e.Result)});
  }
  if (yy + (static_cast<double>(journal.size()) + 1.5) * line * 1.05 > page.height()) {
    pdf.newPage();
    yy = 0;
  }
  QFont bold = f;
  bold.setBold(true);
  p.setFont(bold);
  p.drawText(QRectF(0, yy, w, line), Qt::AlignLeft, "Journal of writes");
  p.setFont(f);
  yy += 1.2 * line;
  DrawTable(p, yy, 0, {0.2 * w, 0.14 * w, 0.14 * w, 0.14 * w, 0.38 * w}, journal);
  p.end();
  return true;
}

QString SaveReportFiles(const QString& base, const ReportContent& content, QString* error) {
  const QString pdf = base + ".pdf";
  if (!WriteReportPdf(pdf, content, error)) return {};
  try {
    SaveFiguresCsv((base + "-figures.csv").toStdString(), content.Outcome, content.Context.TimeScale);
  } catch (const FileError& e) {
    if (error) *error = QString::fromStdString(e.what());
    return {};
  }
  if (!ReportPlotsImage(content).save(base + "-plots.png")) {
    if (error) *error = "The plots cannot be written to " + base + "-plots.png.";
    return {};
  }
  return pdf;
}

}  // namespace korvane
