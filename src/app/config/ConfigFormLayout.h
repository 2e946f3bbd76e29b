#pragma once
// The configuration dialog's widgets and their layout: groups "Serial Port",
// "Master", "Modbus" and "Addresses", the "Controllers" list with its Add
// and Remove buttons and line-time warning, and the OK button.

#include <array>

#include "config/Presets.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QWidget;

namespace korvane {

struct ConfigFormWidgets {
  QCheckBox* ChkPort = nullptr;
  QComboBox* ComboPort = nullptr;
  QLabel* LblPortDevice = nullptr;
  QComboBox* ComboBaud = nullptr;
  QComboBox* ComboData = nullptr;
  QComboBox* ComboParity = nullptr;
  QComboBox* ComboStop = nullptr;
  QLineEdit* TxtPollTime = nullptr;
  QLineEdit* TxtResponseTime = nullptr;
  QRadioButton* OptRTU = nullptr;
  QRadioButton* OptASCII = nullptr;
  QCheckBox* ChkSingleReg = nullptr;
  QComboBox* CboType = nullptr;
  QComboBox* CboAddr = nullptr;
  // Rows PV, SP, Out, Hys, Kp, Ki, Kd (TxtAddrPV ... TxtAddrKd,
  // TxtFactorPV, TxtFactorCV, TxtFactorOut ... TxtFactorKd).
  std::array<QLineEdit*, kMapRows> TxtAddr{};
  std::array<QLineEdit*, kMapRows> TxtFactor{};
  // Each row's register line: format, table and write address (TxtFormatPV,
  // TxtTablePV, TxtWritePV, ...); empty boxes mean today's reading.
  std::array<QLineEdit*, kMapRows> TxtFormat{};
  std::array<QLineEdit*, kMapRows> TxtTable{};
  std::array<QLineEdit*, kMapRows> TxtWrite{};
  // The line's controllers: Name, Address, Preset; the first row is the
  // Address and Module boxes' controller.
  QTableWidget* ControllerList = nullptr;
  QPushButton* AddController = nullptr;
  QPushButton* RemoveController = nullptr;
  // Shown while one poll's line time is longer than the poll period.
  QLabel* LineTimeWarning = nullptr;
  QPushButton* CmdExit = nullptr;
};

// Builds every control with its design-time text inside `form`.
ConfigFormWidgets BuildConfigFormLayout(QWidget& form);

}  // namespace korvane
