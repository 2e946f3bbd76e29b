#pragma once
// TConfigForm: the configuration dialog ("Configuration"), a window of its
// own beside the main window. Its logic lives in ConfigCode; this class
// shows it with Qt widgets and routes the events.

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

#include "app/config/ConfigFormLayout.h"
#include "app/config/ControllerTable.h"
#include "config/ConfigCode.h"
#include "master/MasterState.h"

class QTimer;
class QWindow;

namespace korvane {

class PortControl;

struct ConfigFormContext {
  Settings* settings;
  PortControl* port;
  MasterState* master;
  QTimer* pollTimer;
  std::function<void()> displayRegs;
  QString programFolder;
  // Shows an error of a handler (preset file, port). Left empty, the
  // standard critical message box shows it.
  std::function<void(QWidget* parent, const QString& message)> reportError = {};
  // The user's own preset folder, searched before the program's; empty: none.
  QString userPresetFolder = QString::fromStdString(UserPresetFolder());
};

class TConfigForm : public QWidget, private ConfigFormView {
  Q_OBJECT
 public:
  explicit TConfigForm(const ConfigFormContext& context, QWidget* parent = nullptr);
  ~TConfigForm() override;

  const ConfigFormWidgets& Widgets() const { return w_; }

  void FormActivate();
  void updateVals(const QString& name);
  void CboTypeChange();
  void CmdExitClick();

  // Key-down handlers of the 14 map boxes: any key makes the map "Other".
  void TxtAddrPVKeyDown() { MapBoxKeyDown(); }
  void TxtAddrSPKeyDown() { MapBoxKeyDown(); }
  void TxtAddrOutKeyDown() { MapBoxKeyDown(); }
  void TxtAddrHysKeyDown() { MapBoxKeyDown(); }
  void TxtAddrKKeyDown() { MapBoxKeyDown(); }
  void TxtAddrKiKeyDown() { MapBoxKeyDown(); }
  void TxtAddrKdKeyDown() { MapBoxKeyDown(); }
  void TxtFactorPVKeyDown() { MapBoxKeyDown(); }
  void TxtFactorCVKeyDown() { MapBoxKeyDown(); }
  void TxtFactorOutKeyDown() { MapBoxKeyDown(); }
  void TxtFactorHysKeyDown() { MapBoxKeyDown(); }
  void TxtFactorKKeyDown() { MapBoxKeyDown(); }
  void TxtFactorKiKeyDown() { MapBoxKeyDown(); }
  void TxtFactorKdKeyDown() { MapBoxKeyDown(); }

  // What LblPortDevice shows for a port box text, e.g. "COM3 → /dev/ttyUSB0",
  // "COM5 → Modbus TCP 192.0.2.10:502".
  static QString PortDeviceText(const QString& portText);

 protected:
  bool event(QEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void FormCreate();
  void MapBoxKeyDown();
  void UpdatePortDevice();
  // The Controllers list's buttons and the line-time warning's updates.
  void WireControllerList();
  void UpdateLineTimeWarning();
  // After a refused open: the device label adds why, in plain words.
  void ShowPortOpenReason();
  bool CameFromProgramWindow() const;

  // ConfigFormView
  std::string BoxText(ConfigBox box) const override;
  void SetBoxText(ConfigBox box, const std::string& text) override;
  void SetListItems(ConfigBox box, const std::vector<std::string>& items) override;
  void AddListItem(ConfigBox box, const std::string& item) override;
  std::vector<std::string> ListItems(ConfigBox box) const override;
  void SelectListItem(ConfigBox box, int index) override;
  bool Checked(ConfigCheck check) const override;
  void SetChecked(ConfigCheck check, bool on) override;
  MapTexts MapBoxes() const override;
  void SetMapBoxes(const MapTexts& texts) override;
  std::vector<ControllerRow> ControllerRows() const override;
  void SetControllerRows(const std::vector<ControllerRow>& rows) override;
  void HideForm() override;
  void ShowError(const std::string& message) override;

  ConfigFormContext context_;
  ConfigFormWidgets w_;
  std::unique_ptr<ControllerTable> table_;
  std::unique_ptr<ConfigCode> code_;
  // The program's focus window now and the one before it, to tell an
  // activation from another window of the program from one from outside.
  QPointer<QWindow> focusNow_;
  QPointer<QWindow> focusBefore_;
  bool refilledByShow_ = false;
  // While shown: the device line follows a network mapping's connect.
  QTimer* deviceLineTimer_ = nullptr;
};

}  // namespace korvane
