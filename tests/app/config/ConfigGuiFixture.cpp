#include "app/config/ConfigGuiFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMetaObject>
#include <QThread>

#include <chrono>
#include <exception>
#include <stdexcept>
#include <thread>

#include "ports/ComNameMap.h"
#include "ports/DeviceOpener.h"

namespace korvane::test {
namespace {

std::uint32_t Tick() {
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

}  // namespace

void ConfigGuiTest::SetUp() {
  ASSERT_TRUE(programDir_.isValid());
  ASSERT_TRUE(configHome_.isValid());
  configHomeEnv_.emplace("XDG_CONFIG_HOME", configHome_.path().toStdString());
  for (int n = 1; n <= 10; ++n) MapPort(n, MissingDevice(n));
  pollTimer_.setInterval(1000);
  session_ = std::make_unique<ControllerSession>(dispatcher_, SystemSerialDeviceOpener(), &Tick, view_);
}

void ConfigGuiTest::TearDown() {
  form_.reset();
  session_.reset();
  configHomeEnv_.reset();
}

std::string ConfigGuiTest::MissingDevice(int n) const {
  return (configHome_.path() + QStringLiteral("/no-such-device-%1").arg(n)).toStdString();
}

void ConfigGuiTest::MapPort(int n, const std::string& device) {
  ComNameMap map = ComNameMap::UserDefault();
  std::string name = "COM" + std::to_string(n);
  QFile::remove(QString::fromStdString(map.Directory() + "/" + name));
  std::string error;
  ASSERT_TRUE(map.Add(name, device, &error)) << error;
}

void ConfigGuiTest::WritePreset(const QString& name, const QByteArray& content) {
  QFile file(programDir_.filePath(name + QStringLiteral(".Korvane")));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(content);
}

TConfigForm& ConfigGuiTest::CreateForm(bool realMessageBoxes) {
  ConfigFormContext context{&session_->settings, &session_->control, &session_->state, &pollTimer_, [this] { ++displayRegsCalls_; },
                            programDir_.path()};
  context.userPresetFolder.clear();  // only the private program folder
  if (!realMessageBoxes) {
    context.reportError = [this](QWidget*, const QString& message) { errors_.append(message); };
  }
  form_ = std::make_unique<TConfigForm>(context);
  return *form_;
}

void ConfigGuiTest::Pump(int milliseconds) {
  QElapsedTimer clock;
  clock.start();
  do {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  } while (clock.elapsed() < milliseconds);
}

}  // namespace korvane::test
