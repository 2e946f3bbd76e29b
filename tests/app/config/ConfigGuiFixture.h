#pragma once
// Shared set-up of the configuration dialog's Qt tests: a private program
// folder, a private port map in which every COM1..COM10 points at a missing
// device (so no test ever opens a real serial port), the program's core
// (ControllerSession) with a Qt main-thread dispatcher, and the dialog's
// context.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/config/ConfigForm.h"
#include "app/widgets/QtMainThread.h"
#include "poll/ControllerSession.h"
#include "support/FakePollView.h"
#include "support/ScopedEnv.h"

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
  std::optional<ScopedEnv> configHomeEnv_;
  QTimer pollTimer_;
  QtMainThread dispatcher_;
  FakePollView view_;
  std::unique_ptr<ControllerSession> session_;
  int displayRegsCalls_ = 0;
  QStringList errors_;
  std::unique_ptr<TConfigForm> form_;
};

}  // namespace korvane::test
