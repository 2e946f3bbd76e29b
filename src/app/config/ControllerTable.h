#pragma once
// The configuration dialog's "Controllers" table as rows of the dialog's
// logic: Name, Address, Preset. The first row is the controller of the
// Address and Module boxes: its address and preset cells show those boxes'
// texts and are edited there; its name is edited in the table. The other
// rows are edited in the table, the preset picked from the Module box's list.

#include <vector>

#include "config/ConfigCode.h"
#include "config/ControllerList.h"

class QComboBox;
class QLabel;
class QTableWidget;

namespace korvane {

class ControllerTable {
 public:
  ControllerTable(QTableWidget* table, QComboBox* addressBox, QComboBox* typeBox);

  // The rows as shown; the first row's address and preset are the boxes'.
  std::vector<ControllerRow> Rows() const;
  // Shows `rows`, the first row's address and preset taken from the boxes.
  void SetRows(const std::vector<ControllerRow>& rows);
  // The first row's address and preset cells follow the boxes.
  void MirrorFirstRow();
  // The selected row, -1 when none.
  int SelectedRow() const;

 private:
  QTableWidget* table_;
  QComboBox* addressBox_;
  QComboBox* typeBox_;
};

// Shows on `label` the warning that one poll of the pending line (the read
// plans of its maps together) keeps the line busy longer than the poll
// period (PollTimeWarning), or hides it; its accessible name is its text.
void ShowLineTimeWarning(QLabel* label, const ConfigCode::PendingLine& line);

}  // namespace korvane
