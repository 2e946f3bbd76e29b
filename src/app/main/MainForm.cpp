#include "app/main/MainForm.h"

#include <QAction>
#include <QChart>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFont>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "app/widgets/AboutForm.h"
#include "app/chart/ChartTools.h"
#include "app/config/ConfigFileMenu.h"
#include "app/config/ConfigForm.h"
#include "app/trend/DataLogCommands.h"
#include "app/link/LinkPanels.h"
#include "app/chart/LiveChart.h"
#include "app/main/QtPollView.h"
#include "app/main/StartupCurve.h"
#include "app/trend/TrendForm.h"
#include "app/main/TickCount.h"
#include "app/tuning/TuningForm.h"

namespace korvane {

namespace {

QTimer* MakeTimer(QObject* owner, const char* name, int interval) {
  auto* timer = new QTimer(owner);
  timer->setObjectName(name);
  timer->setInterval(interval);
  return timer;
}

}  // namespace

TMainForm::TMainForm(std::shared_ptr<SerialDeviceOpener> opener, QWidget* parent)
    : QMainWindow(parent), errors_(this) {
  setObjectName("MainForm");
  setWindowTitle("Korvane v1.5.2");
  setAccessibleName("Korvane");
  setMinimumSize(600, 623);
  // The designed font; systems without it take their own sans-serif face.
  QFont font("MS Sans Serif", 8);
  font.setStyleHint(QFont::SansSerif);
  setFont(font);

  w_ = BuildMainFormLayout(*this);
  menu_ = BuildMainMenu(*this);
  pollTimer_ = MakeTimer(this, "PollTimer", 1000);
  graphTimeTimer_ = MakeTimer(this, "GraphTimeTimer", 100);

  view_ = std::make_unique<QtPollView>(w_);
  session_ = std::make_unique<ControllerSession>(mainThread_, std::move(opener), &TickCount, *view_);
  liveChart_ = std::make_unique<LiveChart>(w_.ForLiveChart(graphTimeTimer_), session_->history);
  chartTools_ = AttachChartTools(*liveChart_, w_.Chart1View);
  dataLog_ = std::make_unique<DataLogCommands>(this, w_.ChkLog, w_.TxtPeriod, *session_, errors_);
  session_->SetTickHooks([this](std::size_t index) { return dataLog_->HookOf(index); });
  session_->OnSelected = [this](std::size_t index) { ControllerSelected(index); };
  // A controller that goes takes its tuning window with it.
  session_->OnControllerGoes = [this](PollCycle& poll) { tunings_.erase(&poll); };
  linkPanels_ = std::make_unique<LinkPanels>(*this, *session_, errors_, &TickCount);
  WireControls();

  FormCreate();
  pollTimer_->start();
  graphTimeTimer_->start();

  // Created after the main window, hidden until asked for: the configuration
  // dialog (which scans the controller presets now, so it sees the defaults
  // set above), then the About box.
  configForm_ = std::make_unique<TConfigForm>(ConfigFormContext{
      &session_->settings, &session_->control, &session_->state, pollTimer_,
      [this] {
        // OK has stored the map and the form of the chosen preset.
        ApplyControllerList();
        ShowPidUnits(w_, Selected().settings.Map.Form);
        Selected().poll.DisplayRegs();
      },
      ProgramFolder()});
  // The dialog is a window of its own; left open, it must not keep the
  // program running once the main window has closed.
  configForm_->setAttribute(Qt::WA_QuitOnClose, false);
  about_ = new TAboutFrm(this);
  frmTrend_ = std::make_unique<TFrmTrend>();
  frmTrend_->setAttribute(Qt::WA_QuitOnClose, false);
  TuningOf(0);
  liveChart_->AddRedrawHooks(nullptr, [this] {
    // The marks on the chart are the selected controller's.
    auto form = tunings_.find(&Selected().poll);
    if (form != tunings_.end()) form->second->ChartRedrawn();
  });
  connect(menu_.Tuning1, &QAction::triggered, this, &TMainForm::Tuning1Click);
}

TMainForm::~TMainForm() {
  configForm_.reset();
  frmTrend_.reset();
  tunings_.clear();
  pollTimer_->stop();
  graphTimeTimer_->stop();
  // The chart and the data log go first: the session must not call them.
  session_->SetTickHooks(nullptr);
  session_->OnSelected = nullptr;
  session_->OnControllerGoes = nullptr;
  dataLog_.reset();
  linkPanels_.reset();
  liveChart_.reset();
  session_.reset();  // closes the port
}

void TMainForm::WireControls() {
  connect(pollTimer_, &QTimer::timeout, this, &TMainForm::PollTimerTimer);
  // The read plan's next request goes out when a reply is overdue.
  connect(graphTimeTimer_, &QTimer::timeout, this,
          [this] { errors_.Run([this] { session_->CheckPlanDeadline(); }); });
  auto guarded = [this](ValueBox box, void (PollCycle::*click)()) {
    return [this, box, click] { errors_.Run([this, box, click] { WriteClick(box, click); }); };
  };
  connect(w_.SPWrite, &QPushButton::clicked, this, guarded(ValueBox::SetPt, &PollCycle::SPWriteClick));
  connect(w_.KWrite, &QPushButton::clicked, this, guarded(ValueBox::K, &PollCycle::KWriteClick));
  connect(w_.KiWrite, &QPushButton::clicked, this, guarded(ValueBox::Ki, &PollCycle::KiWriteClick));
  connect(w_.KdWrite, &QPushButton::clicked, this, guarded(ValueBox::Kd, &PollCycle::KdWriteClick));
  connect(w_.ChkLog, &QCheckBox::clicked, this, &TMainForm::ChkLogClick);

  connect(menu_.Open1, &QAction::triggered, this, &TMainForm::Open1Click);
  connect(menu_.Save1, &QAction::triggered, this, &TMainForm::Save1Click);
  connect(menu_.SaveTrend1, &QAction::triggered, this, &TMainForm::SaveTrend1Click);
  connect(menu_.SaveChartPicture1, &QAction::triggered, this, &TMainForm::SaveChartPicture1Click);
  connect(menu_.Exit1, &QAction::triggered, this, &TMainForm::Exit1Click);
  connect(menu_.Open2, &QAction::triggered, this, &TMainForm::Open2Click);
  connect(menu_.Config1, &QAction::triggered, this, &TMainForm::Config1Click);
  connect(menu_.Trend1, &QAction::triggered, this, &TMainForm::Trend1Click);
  connect(menu_.About1, &QAction::triggered, this, &TMainForm::About1Click);
}

void TMainForm::WriteClick(ValueBox box, void (PollCycle::*click)()) {
  if (session_->ControllerCount() == 1) {
    (session_->poll.*click)();  // one controller: the box is read when the write goes out
    return;
  }
  // The controller selected now and the text typed now: selecting another
  // row before the write goes out changes neither.
  Selected().poll.WriteTextClick(box, View().EntryText(box));
}

void TMainForm::ControllerSelected(std::size_t index) {
  const ControllerSession::Member m = session_->Controller(index);
  liveChart_->ShowHistory(m.history);
  ShowPidUnits(w_, m.settings.Map.Form);
  // Where every Write button can be seen: whose values these are.
  const bool several = session_->ControllerCount() > 1;
  const QString who = QString::fromStdString(m.Name) + ", address " + QString::number(m.settings.Link.SlaveAddress);
  w_.GrpPID->setTitle(several ? "PID Factors - " + who : QStringLiteral("PID Factors"));
  w_.GrpPID->setAccessibleName(w_.GrpPID->title());
  setWindowTitle(several ? "Korvane v1.5.2 - " + who : QStringLiteral("Korvane v1.5.2"));
  for (auto& [poll, form] : tunings_) {
    if (poll != &m.poll) form->HideMarks();
  }
  liveChart_->RePlot();
}

bool TMainForm::AnySessionRunning() const {
  for (const auto& [poll, form] : tunings_) {
    if (form->SessionRunning()) return true;
  }
  return false;
}

bool TMainForm::ApplyControllerList() {
  for (std::size_t i = 1; i < session_->ControllerCount(); ++i) {
    auto form = tunings_.find(&session_->Controller(i).poll);
    if (form == tunings_.end() || !form->second->SessionRunning() || session_->ControllerStays(i)) continue;
    // The session must be able to write back what it changed to its controller.
    const std::string name = session_->Controller(i).Name;
    AppSettings().Others = session_->RunningOthers();
    errors_.Show(QString::fromStdString("The controller list was not changed: a tuning session runs on " + name +
                                        ". Stop the session first."));
    session_->SyncControllers();
    return false;
  }
  session_->SyncControllers();
  dataLog_->ControllersChanged();
  ControllerSelected(session_->Selected());
  return true;
}

TuningForm& TMainForm::TuningOf(std::size_t controller) {
  const ControllerSession::Member m = session_->Controller(controller);
  auto& form = tunings_[&m.poll];
  if (!form) {
    form = std::make_unique<TuningForm>(m.poll, m.history, m.settings, w_.ForLiveChart(graphTimeTimer_),
                                        TuningSettingsPath());
    form->setAttribute(Qt::WA_QuitOnClose, false);
    form->SetPortOpen([this] { return session_->control.PortActive(); });
    if (session_->ControllerCount() > 1) form->setWindowTitle(form->windowTitle() + " - " + QString::fromStdString(m.Name));
  }
  return *form;
}

void TMainForm::FormCreate() {
  w_.Chart1->setTitle("PID");
  DrawDemonstrationCurve(w_);

  AppSettings() = Settings{};
  pollTimer_->setInterval(AppSettings().Poll.PollTime * 1000);

  w_.ChkAuto->setChecked(false);
  w_.TxtMin->setText("0");
  w_.TxtMax->setText("100");
  w_.ChkUpdate->setChecked(true);

  History().ClearData();
  History().ResetClock();
  History().SetUpdatePeriod(1);

  resize(1000, 623);
}

QString TMainForm::ProgramFolder() { return QCoreApplication::applicationDirPath(); }

void TMainForm::PollTimerTimer() {
  errors_.Run([this] { session_->PollTimerTimer(); });
}

void TMainForm::Exit1Click() {
  // A tuning session writes back what it changed through the open port first.
  if (!AnySessionRunning()) errors_.Run([this] { Ports().CloseComm(); });
  close();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  if (AnySessionRunning()) {
    // The session is stopped and writes back the original setpoint and
    // factors; Korvane closes once that is done. Closing again gives the
    // write-back up (the tuning window then says what the controller holds).
    event->ignore();
    for (auto& [poll, form] : tunings_) {
      if (!form->SessionRunning()) continue;
      form->AbortSession("Korvane is closing.");
      form->ShowForward();
    }
    if (closeWait_ == nullptr) {
      closeWait_ = new QTimer(this);
      closeWait_->setInterval(200);
      connect(closeWait_, &QTimer::timeout, this, [this] {
        if (AnySessionRunning()) return;
        closeWait_->stop();
        close();
      });
    }
    closeWait_->start();
    return;
  }
  errors_.Run([this] { Ports().CloseComm(); });
  event->accept();
}

void TMainForm::About1Click() { about_->ShowForward(); }

void TMainForm::Config1Click() {
  configForm_->show();
  configForm_->raise();
  configForm_->activateWindow();
}

void TMainForm::Open1Click() {
  configfile::Open1Click(this, AppSettings(), w_.TxtSetPt, w_.TxtK, w_.TxtKi, w_.TxtKd);
  ApplyControllerList();
  // A loaded file takes the form of its controller type's preset.
  ShowPidUnits(w_, Selected().settings.Map.Form);
}

void TMainForm::Save1Click() {
  configfile::Save1Click(this, AppSettings(), w_.TxtSetPt, w_.TxtK, w_.TxtKi, w_.TxtKd);
}

void TMainForm::SaveTrend1Click() {
  errors_.Run([this] { dataLog_->SaveTrend1Click(); });
}

void TMainForm::SaveChartPicture1Click() { chartTools_->SavePictureDialog(); }

void TMainForm::Open2Click() {
  errors_.Run([this] { dataLog_->Open2Click(); });
}

void TMainForm::ChkLogClick() {
  errors_.Run([this] { dataLog_->ChkLogClick(); });
}

void TMainForm::Trend1Click() { frmTrend_->ShowForward(); }

void TMainForm::Tuning1Click() { Tuning().ShowForward(); }

}  // namespace korvane
