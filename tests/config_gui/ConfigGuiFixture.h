#pragma once
// Shared set-up of the configuration dialog's Qt tests: a private program
// folder, a private port map in which every COM1..COM10 points at a missing
// device (so no test ever opens a real serial port), the serial component
// with a Qt main-thread dispatcher, and the dialog's context.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "app/ConfigForm.h"
#include "base/Settings.h"
#include "master/MasterState.h"
#include "app/QtMainThread.h"
#include "serial/PortControl.h"
#include "serial/SerialPort.h"

namespace korvane::test {

class ConfigGuiTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Points COMn at `device` in the private port map.
  void MapPort(int n, const std::string& device);
  std::string MissingDevice(int n) const;
  void WritePreset(const QString& name, const QByteArray& content);
  // Creates the dialog (FormCreate runs); errors go to `errors` unless
  // `realMessageBoxes` is set.
  TConfigForm& CreateForm(bool realMessageBoxes = false);
  // Runs pending events for a moment.
  static void Pump(int milliseconds = 0);

  QTemporaryDir programDir_;
  QTemporaryDir configHome_;
  QByteArray savedConfigHome_;
  bool hadConfigHome_ = false;
  Settings settings_;
  MasterState master_;
  QTimer pollTimer_;
  QtMainThread dispatcher_;
  std::unique_ptr<TSerialPort> serial_;
  std::unique_ptr<PortControl> port_;
  int displayRegsCalls_ = 0;
  QStringList errors_;
  std::unique_ptr<TConfigForm> form_;
};

}  // namespace korvane::test
