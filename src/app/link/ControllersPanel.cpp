#include "app/link/ControllersPanel.h"

#include <QHeaderView>
#include <QTableWidget>

#include "app/link/DockRefresh.h"
#include "base/Convert.h"
#include "poll/ControllerSession.h"

namespace korvane {

namespace {

enum Column { Name, Address, PV, SP, Out, Status, Age, kColumns };
constexpr const char* kHeadings[kColumns] = {"Name", "Address", "PV", "SP", "Output", "Status", "Age"};

QString Value(float value) { return QString::fromStdString(Format83(value, '.')).trimmed(); }

// "4 s", "2 min", or "never" before the first good values.
QString AgeText(bool any, std::uint32_t ms) {
  if (!any) return QStringLiteral("never");
  const std::uint32_t s = ms / 1000;
  if (s < 120) return QString("%1 s").arg(s);
  return QString("%1 min").arg(s / 60);
}

}  // namespace

ControllersPanel::ControllersPanel(ControllerSession& session, LinkMonitor& monitor,
                                   std::function<std::uint32_t()> tick, QWidget* parent)
    : QDockWidget(QStringLiteral("Controllers"), parent), session_(session), tick_(std::move(tick)) {
  setObjectName("ControllersDock");
  setAccessibleName("Controllers");
  table_ = new QTableWidget(0, kColumns, this);
  table_->setObjectName("ControllerRows");
  table_->setAccessibleName("Controllers on the line");
  table_->setAccessibleDescription("One row per controller; selecting a row shows that controller in the main window");
  QStringList headings;
  for (const char* h : kHeadings) headings << h;
  table_->setHorizontalHeaderLabels(headings);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->hide();
  // Every column as wide as its contents, the status taking what is left,
  // so the whole row is seen without scrolling.
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table_->horizontalHeader()->setSectionResizeMode(Status, QHeaderView::Stretch);
  setWidget(table_);
  connect(table_, &QTableWidget::currentCellChanged, this, [this](int row, int, int, int) {
    if (filling_ || row < 0) return;
    if (static_cast<std::size_t>(row) != session_.Selected()) session_.Select(static_cast<std::size_t>(row));
  });
  RefreshWhileShown(this, monitor, "ControllersRefresh", 250, [this] { Refresh(); });
}

void ControllersPanel::SetCell(int row, int column, const QString& text, const QString& spoken) {
  QTableWidgetItem* item = table_->item(row, column);
  if (item == nullptr) {
    item = new QTableWidgetItem;
    table_->setItem(row, column, item);
  }
  if (item->text() != text) item->setText(text);
  // A screen reader reads the cell with its row and column in words.
  if (item->data(Qt::AccessibleTextRole).toString() != spoken) item->setData(Qt::AccessibleTextRole, spoken);
}

void ControllersPanel::Refresh() {
  filling_ = true;
  const int rows = static_cast<int>(session_.ControllerCount());
  if (table_->rowCount() != rows) table_->setRowCount(rows);
  const std::uint32_t now = tick_();
  for (int row = 0; row < rows; ++row) {
    const ControllerSession::Member m = session_.Controller(static_cast<std::size_t>(row));
    const ControllerValues& v = m.poll.Values();
    const QString name = QString::fromStdString(m.Name);
    const bool any = m.poll.AnyGood();
    const QString texts[kColumns] = {name,
                                     QString::number(m.settings.Link.SlaveAddress),
                                     any ? Value(v.PV) : QString(),
                                     any ? Value(v.SP) : QString(),
                                     any ? Value(v.Out) : QString(),
                                     QString::fromStdString(m.view.Status()),
                                     AgeText(any, now - m.poll.LastGoodTick())};
    for (int c = 0; c < kColumns; ++c) {
      const QString shown = texts[c].isEmpty() ? QStringLiteral("none") : texts[c];
      SetCell(row, c, texts[c], name + ", " + kHeadings[c] + ": " + shown);
    }
  }
  const int selected = static_cast<int>(session_.Selected());
  if (table_->currentRow() != selected) table_->setCurrentCell(selected, table_->currentColumn() < 0 ? 0 : table_->currentColumn());
  filling_ = false;
}

}  // namespace korvane
