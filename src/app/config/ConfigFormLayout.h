#pragma once
// The configuration dialog's widgets and their layout: groups "Serial Port",
// "Master", "Modbus" and "Addresses", and the OK button.

#include <array>

#include "config/Presets.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
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
  QPushButton* CmdExit = nullptr;
};

// Builds every control with its design-time text inside `form`.
ConfigFormWidgets BuildConfigFormLayout(QWidget& form);

}  // namespace korvane
