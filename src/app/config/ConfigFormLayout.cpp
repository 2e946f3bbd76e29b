#include "app/config/ConfigFormLayout.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QHeaderView>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace korvane {
namespace {

// An editable list: typed texts are kept as typed, never added to the list
// and never completed from it.
QComboBox* EditableList(QWidget* parent, const char* name, const QString& label) {
  auto* box = new QComboBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  box->setCompleter(nullptr);
  box->setAccessibleName(label);
  return box;
}

QLineEdit* EditBox(QWidget* parent, const char* name, const QString& accessibleName, const QString& text = {}) {
  auto* box = new QLineEdit(text, parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setAccessibleName(accessibleName);
  return box;
}

QLabel* BuddyLabel(const QString& text, QWidget* buddy) {
  auto* label = new QLabel(text, buddy->parentWidget());
  label->setBuddy(buddy);
  return label;
}

QGroupBox* SerialPortGroup(QWidget& form, ConfigFormWidgets& w) {
  auto* group = new QGroupBox(QStringLiteral("Serial Port"), &form);
  auto* layout = new QFormLayout(group);
  w.ChkPort = new QCheckBox(QStringLiteral("Port Active"), group);
  w.ChkPort->setObjectName(QStringLiteral("ChkPort"));
  layout->addRow(w.ChkPort);
  w.ComboPort = EditableList(group, "ComboPort", QStringLiteral("Com Port"));
  layout->addRow(BuddyLabel(QStringLiteral("Com Port"), w.ComboPort), w.ComboPort);
  w.LblPortDevice = new QLabel(group);
  w.LblPortDevice->setObjectName(QStringLiteral("LblPortDevice"));
  w.LblPortDevice->setAccessibleName(QStringLiteral("Port device"));
  w.LblPortDevice->setWordWrap(true);
  w.LblPortDevice->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addRow(w.LblPortDevice);
  w.ComboBaud = EditableList(group, "ComboBaud", QStringLiteral("BaudRate"));
  layout->addRow(BuddyLabel(QStringLiteral("BaudRate"), w.ComboBaud), w.ComboBaud);
  w.ComboData = EditableList(group, "ComboData", QStringLiteral("Data Bits"));
  layout->addRow(BuddyLabel(QStringLiteral("Data Bits"), w.ComboData), w.ComboData);
  w.ComboParity = EditableList(group, "ComboParity", QStringLiteral("Parity"));
  layout->addRow(BuddyLabel(QStringLiteral("Parity"), w.ComboParity), w.ComboParity);
  w.ComboStop = EditableList(group, "ComboStop", QStringLiteral("Stop Bits"));
  layout->addRow(BuddyLabel(QStringLiteral("Stop Bits"), w.ComboStop), w.ComboStop);
  return group;
}

QGroupBox* MasterGroup(QWidget& form, ConfigFormWidgets& w) {
  auto* group = new QGroupBox(QStringLiteral("Master"), &form);
  auto* layout = new QVBoxLayout(group);
  w.TxtPollTime = EditBox(group, "TxtPollTime", QStringLiteral("Poll Time 1-30 Sec"));
  layout->addWidget(BuddyLabel(QStringLiteral("Poll Time 1-30 Sec"), w.TxtPollTime));
  layout->addWidget(w.TxtPollTime);
  w.TxtResponseTime = EditBox(group, "TxtResponseTime", QStringLiteral("Response Time mSec"));
  layout->addWidget(BuddyLabel(QStringLiteral("Response Time mSec"), w.TxtResponseTime));
  layout->addWidget(w.TxtResponseTime);
  layout->addStretch();
  return group;
}

QGroupBox* ModbusGroup(QWidget& form, ConfigFormWidgets& w) {
  auto* group = new QGroupBox(QStringLiteral("Modbus"), &form);
  auto* layout = new QVBoxLayout(group);
  layout->addWidget(new QLabel(QStringLiteral("Mode:"), group));
  w.OptRTU = new QRadioButton(QStringLiteral("Binary/RTU"), group);
  w.OptRTU->setObjectName(QStringLiteral("OptRTU"));
  w.OptASCII = new QRadioButton(QStringLiteral("ASCII"), group);
  w.OptASCII->setObjectName(QStringLiteral("OptASCII"));
  auto* modes = new QButtonGroup(group);
  modes->addButton(w.OptRTU);
  modes->addButton(w.OptASCII);
  w.OptRTU->setChecked(true);
  layout->addWidget(w.OptRTU);
  layout->addWidget(w.OptASCII);
  w.ChkSingleReg = new QCheckBox(QStringLiteral("Function 6 For Single Registers"), group);
  w.ChkSingleReg->setObjectName(QStringLiteral("ChkSingleReg"));
  layout->addWidget(w.ChkSingleReg);
  layout->addStretch();
  return group;
}

// The "Controllers" table, its Add and Remove buttons and the warning.
void BuildControllerList(QWidget& form, ConfigFormWidgets& w) {
  auto* list = new QTableWidget(0, 3, &form);
  list->setObjectName(QStringLiteral("ControllerList"));
  list->setAccessibleName(QStringLiteral("Controllers"));
  list->setAccessibleDescription(
      QStringLiteral("The controllers on the line in poll order; the first is set in the Address and Module boxes"));
  list->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Address"), QStringLiteral("Preset")});
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  const int rowHeight = list->fontMetrics().height() + 6;
  list->verticalHeader()->setDefaultSectionSize(rowHeight);
  // Room for one row at least: the dialog keeps its size with one controller.
  list->setMinimumHeight(list->horizontalHeader()->sizeHint().height() + rowHeight + 2 * list->frameWidth());
  w.ControllerList = list;
  w.AddController = new QPushButton(QStringLiteral("Add"), &form);
  w.AddController->setObjectName(QStringLiteral("AddController"));
  w.AddController->setAccessibleName(QStringLiteral("Add controller"));
  w.RemoveController = new QPushButton(QStringLiteral("Remove"), &form);
  w.RemoveController->setObjectName(QStringLiteral("RemoveController"));
  w.RemoveController->setAccessibleName(QStringLiteral("Remove controller"));
  w.LineTimeWarning = new QLabel(&form);
  w.LineTimeWarning->setObjectName(QStringLiteral("LineTimeWarning"));
  w.LineTimeWarning->setWordWrap(true);
  w.LineTimeWarning->setVisible(false);
}

QGroupBox* AddressesGroup(QWidget& form, ConfigFormWidgets& w) {
  auto* group = new QGroupBox(QStringLiteral("Addresses"), &form);
  auto* layout = new QGridLayout(group);
  w.CboType = EditableList(group, "CboType", QStringLiteral("Module"));
  layout->addWidget(BuddyLabel(QStringLiteral("Module"), w.CboType), 0, 0);
  layout->addWidget(w.CboType, 0, 1, 1, 2);
  w.CboAddr = EditableList(group, "CboAddr", QStringLiteral("Address"));
  layout->addWidget(BuddyLabel(QStringLiteral("Address"), w.CboAddr), 1, 0);
  layout->addWidget(w.CboAddr, 1, 1, 1, 2);
  layout->addWidget(new QLabel(QStringLiteral("Register"), group), 2, 1);
  layout->addWidget(new QLabel(QStringLiteral("Factor"), group), 2, 2);
  layout->addWidget(new QLabel(QStringLiteral("Format"), group), 2, 3);
  layout->addWidget(new QLabel(QStringLiteral("Table"), group), 2, 4);
  layout->addWidget(new QLabel(QStringLiteral("Write At"), group), 2, 5);

  struct Row {
    const char* label;
    const char* addrName;
    const char* factorName;
    const char* addrText;
    const char* suffix;      // of the register line's box names
    const char* format;      // today's reading, shown as the empty box's hint
  };
  static constexpr Row kRows[kMapRows] = {
      {"PV", "TxtAddrPV", "TxtFactorPV", "1", "PV", "s16"},
      {"SetPoint", "TxtAddrSP", "TxtFactorCV", "0", "SP", "s16"},
      {"Out", "TxtAddrOut", "TxtFactorOut", "2", "Out", "s16"},
      {"Hysterisis", "TxtAddrHys", "TxtFactorHys", "17", "Hys", "s16"},
      {"Kp", "TxtAddrK", "TxtFactorK", "13", "K", "u16"},
      {"Ki", "TxtAddrKi", "TxtFactorKi", "11", "Ki", "u16"},
      {"Kd", "TxtAddrKd", "TxtFactorKd", "12", "Kd", "u16"},
  };
  for (std::size_t i = 0; i < kMapRows; ++i) {
    const Row& row = kRows[i];
    QString label = QString::fromLatin1(row.label);
    w.TxtAddr[i] = EditBox(group, row.addrName, label + QStringLiteral(" Register"), QString::fromLatin1(row.addrText));
    w.TxtFactor[i] = EditBox(group, row.factorName, label + QStringLiteral(" Factor"), QStringLiteral("0.1"));
    int r = static_cast<int>(i) + 3;
    layout->addWidget(BuddyLabel(label, w.TxtAddr[i]), r, 0);
    layout->addWidget(w.TxtAddr[i], r, 1);
    layout->addWidget(w.TxtFactor[i], r, 2);
    const QString suffix = QString::fromLatin1(row.suffix);
    w.TxtFormat[i] = EditBox(group, ("TxtFormat" + suffix).toLatin1().constData(), label + QStringLiteral(" Format"), QString());
    w.TxtFormat[i]->setPlaceholderText(QString::fromLatin1(row.format));
    w.TxtFormat[i]->setToolTip(QStringLiteral("s16, u16, s32, u32 or f32; a 32-bit format may end in -ABCD, -CDAB, -BADC or -DCBA"));
    w.TxtTable[i] = EditBox(group, ("TxtTable" + suffix).toLatin1().constData(), label + QStringLiteral(" Table"), QString());
    w.TxtTable[i]->setPlaceholderText(QStringLiteral("holding"));
    w.TxtTable[i]->setToolTip(QStringLiteral("holding or input (input registers are read only)"));
    w.TxtWrite[i] = EditBox(group, ("TxtWrite" + suffix).toLatin1().constData(), label + QStringLiteral(" Write Address"), QString());
    w.TxtWrite[i]->setToolTip(QStringLiteral("where a write goes, 0..65535; empty: where the value is read"));
    layout->addWidget(w.TxtFormat[i], r, 3);
    layout->addWidget(w.TxtTable[i], r, 4);
    layout->addWidget(w.TxtWrite[i], r, 5);
  }
  layout->setRowStretch(static_cast<int>(kMapRows) + 3, 1);
  return group;
}

}  // namespace

ConfigFormWidgets BuildConfigFormLayout(QWidget& form) {
  ConfigFormWidgets w;
  auto* grid = new QGridLayout(&form);
  grid->setContentsMargins(6, 6, 6, 6);
  grid->addWidget(SerialPortGroup(form, w), 0, 0);
  grid->addWidget(MasterGroup(form, w), 0, 1);
  grid->addWidget(ModbusGroup(form, w), 1, 0, 1, 2);
  // Below the Addresses group (the first controller's) the line's
  // controllers; Add and Remove on the OK button's row.
  BuildControllerList(form, w);
  auto* right = new QVBoxLayout;
  right->addWidget(AddressesGroup(form, w));
  right->addWidget(BuddyLabel(QStringLiteral("Controllers"), w.ControllerList));
  right->addWidget(w.ControllerList, 1);
  right->addWidget(w.LineTimeWarning);
  grid->addLayout(right, 0, 2, 2, 1);
  w.CmdExit = new QPushButton(QStringLiteral("OK"), &form);
  w.CmdExit->setObjectName(QStringLiteral("CmdExit"));
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(w.AddController);
  buttons->addWidget(w.RemoveController);
  buttons->addStretch();
  buttons->addWidget(w.CmdExit);
  grid->addLayout(buttons, 2, 2);
  grid->setColumnStretch(2, 1);
  return w;
}

}  // namespace korvane
