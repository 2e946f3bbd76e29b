#pragma once
// The main window: chart, Plot and PID Factors groups, menus, the poll and
// chart timers and the serial port. It wires controls and events to the
// poll cycle, the port control and the live chart; it holds no protocol
// logic of its own.

#include <QMainWindow>
#include <QString>

#include <map>
#include <memory>
#include <string>

#include "app/main/MainFormLayout.h"
#include "app/main/MainMenu.h"
#include "app/widgets/HandlerErrors.h"
#include "app/widgets/QtMainThread.h"
#include "poll/ControllerSession.h"
#include "ports/DeviceOpener.h"
#include "serial/SerialDevice.h"

class QCloseEvent;
class QTimer;

namespace korvane {

class ChartTools;
class DataLogCommands;
class LinkPanels;
class LiveChart;
class QtPollView;
class TFrmTrend;
class TuningForm;
class TAboutFrm;
class TConfigForm;

class TMainForm : public QMainWindow {
  Q_OBJECT
 public:
  // The opener decides which device a COM name opens; tests point it at a
  // pseudo-terminal.
  explicit TMainForm(std::shared_ptr<SerialDeviceOpener> opener = SystemSerialDeviceOpener(),
                     QWidget* parent = nullptr);
  ~TMainForm() override;  // FormDestroy

  ControllerSession& Session() { return *session_; }
  Settings& AppSettings() { return session_->settings; }
  MasterState& State() { return session_->state; }
  RegisterImage& Image() { return session_->image; }
  TSerialPort& Serial1() { return session_->port; }
  PortControl& Ports() { return session_->control; }
  TMaster& Master() { return session_->master; }
  PollCycle& Poll() { return session_->poll; }
  // The controller the window shows and writes to (the first when the line carries one).
  ControllerSession::Member Selected() { return session_->Controller(session_->Selected()); }
  QtPollView& View() { return *view_; }
  ChartHistory& History() { return session_->history; }
  LiveChart& Chart() { return *liveChart_; }
  ChartTools& Tools() { return *chartTools_; }
  QTimer& PollTimer() { return *pollTimer_; }
  QTimer& GraphTimeTimer() { return *graphTimeTimer_; }
  const MainFormWidgets& Widgets() const { return w_; }
  const MainMenuActions& Menu() const { return menu_; }
  TAboutFrm& AboutFrm() { return *about_; }
  TConfigForm& ConfigForm() { return *configForm_; }
  TFrmTrend& FrmTrend() { return *frmTrend_; }
  // The tuning window of the selected controller (each controller has its own).
  TuningForm& Tuning() { return TuningOf(session_->Selected()); }
  TuningForm& TuningOf(std::size_t controller);
  DataLogCommands& DataLog() { return *dataLog_; }
  HandlerErrors& Errors() { return errors_; }
  LinkPanels& Link() { return *linkPanels_; }
  // The folder of the running program, where the controller presets lie.
  static QString ProgramFolder();

 public slots:
  void Open1Click();
  void Save1Click();
  void SaveTrend1Click();
  void SaveChartPicture1Click();
  void Exit1Click();
  void Open2Click();
  void Config1Click();
  void Trend1Click();
  void Tuning1Click();
  void About1Click();
  void ChkLogClick();
  void PollTimerTimer();

 protected:
  void closeEvent(QCloseEvent* event) override;  // FormClose

 private:
  void FormCreate();
  void WireControls();
  // A Write button: on a line of several controllers the write is bound to
  // the selected controller and the box's text at the press.
  void WriteClick(ValueBox box, void (PollCycle::*click)());
  void ControllerSelected(std::size_t index);
  // After the configuration dialog's OK or a loaded file: the line's
  // controllers as the settings now list them. A controller with a tuning
  // session running is not taken away; false then, the list put back.
  bool ApplyControllerList();
  bool AnySessionRunning() const;

  QtMainThread mainThread_;
  MainFormWidgets w_;
  MainMenuActions menu_;
  QTimer* pollTimer_ = nullptr;
  QTimer* graphTimeTimer_ = nullptr;
  QTimer* closeWait_ = nullptr;  // waits for a tuning session's write-back before closing
  std::unique_ptr<QtPollView> view_;
  std::unique_ptr<ControllerSession> session_;
  std::unique_ptr<LiveChart> liveChart_;
  std::unique_ptr<ChartTools> chartTools_;  // cursors, zoom and picture on Chart1
  std::unique_ptr<DataLogCommands> dataLog_;
  std::unique_ptr<LinkPanels> linkPanels_;
  HandlerErrors errors_;
  std::unique_ptr<TConfigForm> configForm_;  // a window of its own, owned here
  TAboutFrm* about_ = nullptr;
  std::unique_ptr<TFrmTrend> frmTrend_;  // a window of its own, owned here
  // A tuning window of its own for each controller, made when first asked
  // for, owned here; keyed by the controller's poll cycle.
  std::map<const PollCycle*, std::unique_ptr<TuningForm>> tunings_;
};

}  // namespace korvane
