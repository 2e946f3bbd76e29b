#include "app/link/LinkPanel.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <functional>

#include "app/link/DockRefresh.h"
#include "app/widgets/FormControls.h"
#include "app/widgets/PanelPicture.h"
#include "link/LinkMonitor.h"

namespace korvane {

namespace {

struct Row {
  const char* name;
  const char* caption;
  std::function<QString(const LinkCounts&)> text;
};

QString Number(std::uint64_t n) { return QString::number(n); }

QString Exceptions(const LinkCounts& c) {
  QString text = Number(c.ExceptionReplies());
  QStringList codes;
  for (const auto& [code, count] : c.Exceptions) codes << QString("EC%1: %2").arg(code).arg(count);
  return codes.isEmpty() ? text : text + " (" + codes.join(", ") + ")";
}

QString ReplyTimes(const LinkCounts& c) {
  const auto& r = c.Reply;
  if (r.Count == 0) return "-";
  return QString("%1 / %2 / %3 / %4").arg(r.Last).arg(r.Min).arg(r.Mean, 0, 'f', 1).arg(r.Max);
}

const std::vector<Row>& Rows() {
  static const std::vector<Row> rows{
      {"LblLinkRequests", "Requests sent:", [](const LinkCounts& c) { return Number(c.RequestsSent); }},
      {"LblLinkGood", "Good replies:", [](const LinkCounts& c) { return Number(c.GoodReplies); }},
      {"LblLinkChecksum", "Checksum errors:", [](const LinkCounts& c) { return Number(c.ChecksumErrors); }},
      {"LblLinkExceptions", "Exception replies:", Exceptions},
      {"LblLinkTimeOuts", "Time-outs:", [](const LinkCounts& c) { return Number(c.TimeOuts); }},
      {"LblLinkTooLong", "Replies too long:", [](const LinkCounts& c) { return Number(c.TooLong); }},
      {"LblLinkBytesSent", "Bytes sent:", [](const LinkCounts& c) { return Number(c.BytesSent); }},
      {"LblLinkBytesReceived", "Bytes received:", [](const LinkCounts& c) { return Number(c.BytesReceived); }},
      {"LblLinkReplyTime", "Reply ms last / min / mean / max:", ReplyTimes},
      {"LblLinkReplyP95", "Reply ms 95th percentile:",
       [](const LinkCounts& c) { return c.Reply.Count == 0 ? QString("-") : Number(c.Reply.P95); }},
  };
  return rows;
}

}  // namespace

LinkPanel::LinkPanel(LinkMonitor& monitor, QWidget* parent) : QDockWidget("Link", parent), monitor_(monitor) {
  setObjectName("LinkDock");
  setAccessibleName("Link");
  auto* body = new QWidget(this);
  body->setObjectName("LinkBody");
  auto* form = new QFormLayout;
  // Values in read-only boxes without a frame: a new text repaints the box
  // alone, where a label would ask its layout to measure every row again.
  auto addRow = [&](const char* name, const char* caption) {
    QLabel* label = MakeLabel(body, (QByteArray(name) + "Caption").constData(), caption);
    QLineEdit* value = MakeEdit(body, name, label, "-");
    value->setReadOnly(true);
    value->setFrame(false);
    value->setFocusPolicy(Qt::ClickFocus);
    value->setMinimumWidth(value->fontMetrics().horizontalAdvance("0000 / 0000 / 0000.0 / 0000") + 8);
    // Opaque in the dock's own colour: a new text then repaints the box
    // alone, not the dock and its title beneath it as well.
    QPalette palette = value->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    value->setPalette(palette);
    value->setAutoFillBackground(true);
    KeepPanelPicture(value);  // and its panel drawn once, not at each new text
    form->addRow(label, value);
    values_.push_back(value);
  };
  addRow("LblLinkPort", "Port:");
  for (const Row& row : Rows()) addRow(row.name, row.caption);
  reset_ = MakeButton(body, "CmdLinkReset", "Reset", "Reset link counters");
  perController_ = new QTableWidget(0, 5, body);
  perController_->setObjectName("LinkPerController");
  perController_->setAccessibleName("Link counts per controller");
  perController_->setHorizontalHeaderLabels({"Address", "Requests", "Good", "Time-outs", "Reply ms mean / max"});
  perController_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  perController_->verticalHeader()->hide();
  perController_->horizontalHeader()->setStretchLastSection(true);
  perController_->hide();
  auto* column = new QVBoxLayout(body);
  column->addLayout(form);
  column->addWidget(perController_);
  column->addWidget(reset_, 0, Qt::AlignLeft);
  column->addStretch(1);
  setWidget(body);

  timer_ = RefreshWhileShown(this, monitor_, "LinkRefreshTimer", kRefreshMs, [this] { Refresh(); });
  connect(reset_, &QPushButton::clicked, this, [this] {
    monitor_.ResetCounts();
    Refresh();
  });
  Refresh();
}

void LinkPanel::Refresh() {
  if (monitor_.Changes() == shown_) return;
  shown_ = monitor_.Changes();
  auto show = [](QLineEdit* box, const QString& text) {
    if (box->text() != text) box->setText(text);
  };
  const LinkCounts counts = monitor_.Counts();
  show(values_[0], QString::fromStdString(monitor_.PortWords()));
  for (std::size_t i = 0; i < Rows().size(); ++i) show(values_[i + 1], Rows()[i].text(counts));
  ShowPerController();
}

void LinkPanel::ShowPerController() {
  const auto byAddress = monitor_.CountsByAddress();
  perController_->setVisible(byAddress.size() > 1);
  if (byAddress.size() <= 1) return;
  perController_->setRowCount(static_cast<int>(byAddress.size()));
  int row = 0;
  for (const auto& [address, c] : byAddress) {
    const QString times = c.Reply.Count == 0 ? QString("-") : QString("%1 / %2").arg(c.Reply.Mean, 0, 'f', 1).arg(c.Reply.Max);
    const QString texts[] = {QString::number(address), Number(c.RequestsSent), Number(c.GoodReplies),
                             Number(c.TimeOuts), times};
    for (int col = 0; col < 5; ++col) {
      QTableWidgetItem* item = perController_->item(row, col);
      if (item == nullptr) perController_->setItem(row, col, item = new QTableWidgetItem);
      if (item->text() != texts[col]) item->setText(texts[col]);
      // Read out with its address and column.
      item->setData(Qt::AccessibleTextRole, "Address " + texts[0] + ", " +
                                                perController_->horizontalHeaderItem(col)->text() + ": " + texts[col]);
    }
    ++row;
  }
}

QLineEdit* LinkPanel::Value(const char* objectName) const {
  for (QLineEdit* value : values_) {
    if (value->objectName() == objectName) return value;
  }
  return nullptr;
}

}  // namespace korvane
