#include "app/config/ControllerTable.h"

#include <QComboBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTableWidget>

#include "base/Convert.h"
#include "poll/LineTime.h"
#include "poll/ReadPlan.h"

namespace korvane {
namespace {

enum Column { kName = 0, kAddress = 1, kPreset = 2 };

QString FromStd(const std::string& text) { return QString::fromStdString(text); }

// The preset cell's editor: the Module box's list (the presets and "Other").
class PresetDelegate : public QStyledItemDelegate {
 public:
  PresetDelegate(QComboBox* typeBox, QObject* parent) : QStyledItemDelegate(parent), typeBox_(typeBox) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override {
    auto* box = new QComboBox(parent);
    box->setAccessibleName(QStringLiteral("Preset"));
    for (int i = 0; i < typeBox_->count(); ++i) box->addItem(typeBox_->itemText(i));
    return box;
  }
  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    auto* box = static_cast<QComboBox*>(editor);
    box->setCurrentIndex(box->findText(index.data(Qt::EditRole).toString()));
  }
  void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
    const QString text = static_cast<QComboBox*>(editor)->currentText();
    if (!text.isEmpty()) model->setData(index, text, Qt::EditRole);
  }

 private:
  QComboBox* typeBox_;
};

QTableWidgetItem* Cell(const QVariant& value, bool editable, const QString& toolTip = {}) {
  auto* item = new QTableWidgetItem;
  item->setData(Qt::EditRole, value);
  if (!editable) item->setFlags(item->flags() & ~Qt::ItemIsEditable);
  item->setToolTip(toolTip);
  return item;
}

}  // namespace

ControllerTable::ControllerTable(QTableWidget* table, QComboBox* addressBox, QComboBox* typeBox)
    : table_(table), addressBox_(addressBox), typeBox_(typeBox) {
  table_->setItemDelegateForColumn(kPreset, new PresetDelegate(typeBox_, table_));
}

std::vector<ControllerRow> ControllerTable::Rows() const {
  std::vector<ControllerRow> rows;
  for (int r = 0; r < table_->rowCount(); ++r) {
    auto text = [this, r](int column) {
      const QTableWidgetItem* item = table_->item(r, column);
      return item == nullptr ? std::string() : item->text().toStdString();
    };
    rows.push_back({text(kName), LenientInt(text(kAddress)), text(kPreset)});
  }
  return rows;
}

void ControllerTable::SetRows(const std::vector<ControllerRow>& rows) {
  const QSignalBlocker quiet(table_);
  table_->setRowCount(static_cast<int>(rows.size()));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const int r = static_cast<int>(i);
    table_->setItem(r, kName, Cell(FromStd(rows[i].Name), true));
    if (r == 0) continue;  // MirrorFirstRow fills the rest
    table_->setItem(r, kAddress, Cell(rows[i].Address, true));
    table_->setItem(r, kPreset, Cell(FromStd(rows[i].Type), true));
  }
  MirrorFirstRow();
}

void ControllerTable::MirrorFirstRow() {
  if (table_->rowCount() == 0) return;
  const QString hint = QStringLiteral("Set in the Address and Module boxes");
  table_->setItem(0, kAddress, Cell(addressBox_->currentText(), false, hint));
  table_->setItem(0, kPreset, Cell(typeBox_->currentText(), false, hint));
}

int ControllerTable::SelectedRow() const {
  const QList<QTableWidgetItem*> selected = table_->selectedItems();
  return selected.isEmpty() ? -1 : selected.front()->row();
}

void ShowLineTimeWarning(QLabel* label, const ConfigCode::PendingLine& line) {
  std::vector<PlanRequest> requests;
  for (const RegisterMap& map : line.Maps) {
    const std::vector<PlanRequest> plan = MakeReadPlan(map);
    requests.insert(requests.end(), plan.begin(), plan.end());
  }
  const double seconds = PollLineSeconds(FramingOf(line.Link), requests);
  QString text;
  if (seconds > static_cast<double>(line.PollSeconds)) {
    text = FromStd(PollTimeWarning(static_cast<std::int32_t>(line.Controllers), seconds, line.Link.Baud,
                                   line.PollSeconds));
  }
  if (label->text() == text) return;
  label->setText(text);
  label->setAccessibleName(text);
  label->setVisible(!text.isEmpty());
}

}  // namespace korvane
